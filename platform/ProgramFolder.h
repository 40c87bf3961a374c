#pragma once

#include <string>

namespace mf::platform {

// The path of the running executable (Shift_JIS), or empty when unknown.
std::string ExecutablePath();

// The settings file of an executable: "x.exe" becomes "x.ini", any other
// name gets ".ini" appended ("MFMail" -> "MFMail.ini").
std::string SettingsPathFor(const std::string& executablePath);

// Where the program keeps its files, with a trailing separator:
// $MFMAIL_HOME when set; else the executable's folder when writable; else
// $XDG_DATA_HOME/MFMail (default ~/.local/share/MFMail), created on demand.
std::string ProgramFolder();

// The settings file inside the program folder.
std::string SettingsPath();

}  // namespace mf::platform
