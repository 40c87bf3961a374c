#pragma once

#include <string>
#include <vector>

namespace mf::platform {

// The desktop's own handling of a document: opening a file with the
// application the user chose for its kind. Paths are Shift_JIS.
class Shell {
 public:
  virtual ~Shell() = default;
  // Opens `path` with the desktop's default application; `workingFolder`
  // (may be empty) is where that application starts. False when the file
  // does not exist, the desktop has no application for its kind, or nothing
  // could be started for it.
  virtual bool OpenDocument(const std::string& path, const std::string& workingFolder) = 0;
};

// Records what would have been opened.
class FakeShell final : public Shell {
 public:
  bool OpenDocument(const std::string& path, const std::string&) override {
    opened.push_back(path);
    return answer;
  }
  std::vector<std::string> opened;
  bool answer = true;
};

}  // namespace mf::platform
