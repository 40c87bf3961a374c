#pragma once

#include <string>
#include <vector>

namespace mf::platform {

// A settings file read and written with the semantics of the Windows
// profile-string calls: sections and keys are found without regard to ASCII
// case, a missing file or key gives the default, the first write creates the
// file, and every write rewrites the whole file atomically (Shift_JIS, CR LF).
class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // The whole value must be an integer (decimal, or hexadecimal after "$" or
  // "0x"); anything else gives the fallback.
  int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
  // An integer other than 0 is true.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);

  bool DeleteKey(const std::string& section, const std::string& key);
  bool EraseSection(const std::string& section);

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::vector<std::string> ReadSection(const std::string& section) const;  // the keys

 private:
  std::vector<std::string> Load() const;
  bool Save(const std::vector<std::string>& lines);

  std::string path_;
};

}  // namespace mf::platform
