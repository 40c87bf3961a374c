#pragma once

#include <string>

namespace mf::platform {

// The desktop's start-with-the-session entry for the program:
// $XDG_CONFIG_HOME/autostart/Mofutan.desktop (default ~/.config/autostart),
// whose Exec line is the executable path followed by " /s".
std::string AutostartEntryPath();

// Writes or removes the entry. Failures are silent: the caller shows nothing.
void SetAutostart(bool enabled, const std::string& executablePath);

}  // namespace mf::platform
