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
  const std::string exeFolder = ExtractFilePath(ExecutablePath());
  return ProgramFolderBeside(exeFolder, !exeFolder.empty() && ::access(NativePath(exeFolder).c_str(), W_OK) == 0);
}

std::string ProgramFolderBeside(const std::string& executableFolder, bool executableFolderWritable) {
  // An install is never its own program folder, even where it may write:
  // run by root from /usr/bin, or installed under a prefix in the home
  // folder, it would leave the user's mail among the programs.
  const bool installed = DirectoryExists(StarterFolderFor(executableFolder));
  if (executableFolderWritable && !installed) return executableFolder;
  std::string data = XdgUserFolder("XDG_DATA_HOME", ".local/share");
  if (data.empty()) data = "/tmp";
  std::string folder = WithSeparator(data) + "MFMail/";
  // Only on the first start: a character the user has since deleted must
  // not come back.
  const bool firstStart = !DirectoryExists(folder);
  CreateFolders(folder);
  if (firstStart) SeedProgramFolder(StarterFolderFor(executableFolder), folder);
  return folder;
}

std::string XdgUserFolder(const char* variable, const std::string& belowHome) {
  if (const char* folder = std::getenv(variable); folder && *folder) return FromNativePath(folder);
  if (const char* home = std::getenv("HOME"); home && *home) return FromNativePath(home) + "/" + belowHome;
  return {};
}

std::string StarterFolderFor(const std::string& executableFolder) {
  return WithSeparator(executableFolder) + "../share/MFMail/";
}

void SeedProgramFolder(const std::string& starter, const std::string& target) {
  for (const std::string& name : ListFolder(starter, "*")) {
    // The user guide is read where it is installed; a copy would only age.
    if (name == "README.md" || name == "help") continue;
    const std::string to = WithSeparator(target) + name;
    if (FileExists(to) || DirectoryExists(to)) continue;
    CopyTree(WithSeparator(starter) + name, to);
  }
}

std::string SettingsPath() {
  std::string exe = ExecutablePath();
  std::string name = exe.empty() ? std::string("MFMail") : ExtractFileName(exe);
  return SettingsPathFor(ProgramFolder() + name);
}

}  // namespace mf::platform
