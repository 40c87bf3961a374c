#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "base/Text.h"
#include "platform/Files.h"

namespace mf::platform {
namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return FromNativePath(std::string(buffer, static_cast<std::size_t>(length)));
}

std::string SettingsPathFor(const std::string& executablePath) {
  std::string name = ExtractFileName(executablePath);
  if (name.size() >= 4 && EqualsIgnoreAsciiCase(name.substr(name.size() - 4), ".exe")) {
    return executablePath.substr(0, executablePath.size() - 3) + "ini";
  }
  return executablePath + ".ini";
}

std::string ProgramFolder() {
  if (const char* home = std::getenv("MFMAIL_HOME"); home && *home) {
    std::string folder = WithSeparator(FromNativePath(home));
    CreateFolders(folder);
    return folder;
  }
  std::string exeFolder = ExtractFilePath(ExecutablePath());
  if (!exeFolder.empty() && ::access(NativePath(exeFolder).c_str(), W_OK) == 0) return exeFolder;
  std::string data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    data = std::string(home) + "/.local/share";
  } else {
    data = "/tmp";
  }
  std::string folder = WithSeparator(FromNativePath(data)) + "MFMail/";
  CreateFolders(folder);
  return folder;
}

std::string SettingsPath() {
  std::string exe = ExecutablePath();
  std::string name = exe.empty() ? std::string("MFMail") : ExtractFileName(exe);
  return SettingsPathFor(ProgramFolder() + name);
}

}  // namespace mf::platform
