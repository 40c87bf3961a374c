#include "platform/Autostart.h"

#include <unistd.h>


#include "platform/Files.h"
#include "platform/ProgramFolder.h"

namespace mf::platform {
namespace {

// Desktop entries quote an argument that holds blanks or special characters.
std::string QuoteForExec(const std::string& path) {
  if (path.find_first_of(" \t\"'\\`$") == std::string::npos) return path;
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string AutostartEntryPath() {
  const std::string config = XdgUserFolder("XDG_CONFIG_HOME", ".config");
  return config.empty() ? std::string() : config + "/autostart/Mofutan.desktop";
}

void SetAutostart(bool enabled, const std::string& executablePath) {
  std::string path = AutostartEntryPath();
  if (path.empty()) return;
  if (!enabled) {
    ::unlink(NativePath(path).c_str());
    return;
  }
  if (!CreateFolders(ExtractFilePath(path))) return;
  std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=MFMail\n"
      "Exec=" + QuoteForExec(NativePath(executablePath)) + " /s\n"
      "X-GNOME-Autostart-enabled=true\n";
  WriteFileAtomic(path, entry);
}

}  // namespace mf::platform
