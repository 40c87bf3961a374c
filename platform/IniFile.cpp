#include "platform/IniFile.h"

#include <cstdlib>
#include <optional>

#include "base/Integer.h"
#include "base/Text.h"
#include "platform/Files.h"

namespace mf::platform {
namespace {

// The section name of a "[name]" line, if it is one.
std::optional<std::string> SectionName(const std::string& line) {
  std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
  auto close = trimmed.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

// Splits "key=value"; lines without "=" and comments have no key.
bool SplitEntry(const std::string& line, std::string& key, std::string& value) {
  std::string trimmed = TrimLeft(line);
  if (trimmed.empty() || trimmed[0] == ';') return false;
  auto equals = line.find('=');
  if (equals == std::string::npos) return false;
  key = Trim(line.substr(0, equals));
  value = Trim(line.substr(equals + 1));
  // The profile calls strip one pair of surrounding quotes.
  if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                            (value.front() == '\'' && value.back() == '\''))) {
    value = value.substr(1, value.size() - 2);
  }
  return true;
}

struct Location {
  std::optional<std::size_t> section;  // index of the "[section]" line
  std::size_t sectionEnd = 0;          // index after the section's last entry
  std::optional<std::size_t> entry;    // index of the key's line
  std::string value;
};

Location Find(const std::vector<std::string>& lines, const std::string& section,
              const std::string& key) {
  Location where;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (name) {
      if (where.section) break;
      if (EqualsIgnoreAsciiCase(*name, section)) {
        where.section = i;
        where.sectionEnd = i + 1;
      }
      continue;
    }
    if (!where.section) continue;
    std::string entryKey, value;
    if (SplitEntry(lines[i], entryKey, value)) {
      where.sectionEnd = i + 1;
      if (!where.entry && !key.empty() && EqualsIgnoreAsciiCase(entryKey, key)) {
        where.entry = i;
        where.value = value;
      }
    }
  }
  return where;
}

}  // namespace

std::vector<std::string> IniFile::Load() const {
  auto data = ReadFile(path_);
  return data ? SplitLines(*data) : std::vector<std::string>{};
}

bool IniFile::Save(const std::vector<std::string>& lines) {
  return WriteFileAtomic(path_, JoinLines(lines));
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  auto where = Find(Load(), section, key);
  return where.entry ? where.value : fallback;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
  std::string text = ReadString(section, key, "");
  if (auto value = ToInteger(text)) return *value;
  std::string digits;
  if (StartsWith(text, "$")) digits = text.substr(1);
  if (StartsWithIgnoreAsciiCase(text, "0x")) digits = text.substr(2);
  if (digits.empty() || digits.size() > 8) return fallback;
  char* end = nullptr;
  unsigned long value = std::strtoul(digits.c_str(), &end, 16);
  if (*end != '\0') return fallback;
  return static_cast<int>(static_cast<unsigned int>(value));
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  auto lines = Load();
  auto where = Find(lines, section, key);
  std::string entry = key + "=" + value;
  if (where.entry) {
    lines[*where.entry] = entry;
  } else if (where.section) {
    lines.insert(lines.begin() + static_cast<long>(where.sectionEnd), entry);
  } else {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  return Save(lines);
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
  auto lines = Load();
  auto where = Find(lines, section, key);
  if (!where.entry) return true;
  lines.erase(lines.begin() + static_cast<long>(*where.entry));
  return Save(lines);
}

bool IniFile::EraseSection(const std::string& section) {
  auto lines = Load();
  auto where = Find(lines, section, "");
  if (!where.section) return true;
  std::size_t end = *where.section + 1;
  while (end < lines.size() && !SectionName(lines[end])) ++end;
  lines.erase(lines.begin() + static_cast<long>(*where.section), lines.begin() + static_cast<long>(end));
  return Save(lines);
}

bool IniFile::SectionExists(const std::string& section) const {
  return Find(Load(), section, "").section.has_value();
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Find(Load(), section, key).entry.has_value();
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const {
  auto lines = Load();
  auto where = Find(lines, section, "");
  std::vector<std::string> keys;
  if (!where.section) return keys;
  for (std::size_t i = *where.section + 1; i < lines.size() && !SectionName(lines[i]); ++i) {
    std::string key, value;
    if (SplitEntry(lines[i], key, value)) keys.push_back(key);
  }
  return keys;
}

}  // namespace mf::platform
