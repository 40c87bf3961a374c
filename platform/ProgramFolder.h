#pragma once

#include <string>

namespace mf::platform {

// The path of the running executable (Shift_JIS), or empty when unknown.
std::string ExecutablePath();

// The settings file of an executable: "x.exe" becomes "x.ini", any other
// name gets ".ini" appended ("MFMail" -> "MFMail.ini").
std::string SettingsPathFor(const std::string& executablePath);

// Where the program keeps its files, with a trailing separator:
// $MFMAIL_HOME when set; else the executable's folder when it is writable
// and not an install (no starter folder beside it, see StarterFolderFor);
// else $XDG_DATA_HOME/MFMail (default ~/.local/share/MFMail), created on
// demand.
std::string ProgramFolder();

// The choice ProgramFolder() makes when $MFMAIL_HOME is not set, for an
// executable in `executableFolder`. A data folder made here for the first
// time is seeded from the install's starter folder.
std::string ProgramFolderBeside(const std::string& executableFolder, bool executableFolderWritable);

// Where an install under a prefix keeps the starter characters and lists:
// <prefix>/share/MFMail/ for an executable in <prefix>/bin/.
std::string StarterFolderFor(const std::string& executableFolder);

// Copies each entry of `starter` (character folders, list files, not the
// user guide) into `target` unless an entry of that name is there already,
// so a user's characters and lists are never overwritten.
void SeedProgramFolder(const std::string& starter, const std::string& target);

// A user folder of the XDG layout, without a trailing separator: the
// folder `variable` names, else `belowHome` inside $HOME; empty when
// neither is set.
std::string XdgUserFolder(const char* variable, const std::string& belowHome);

// The settings file inside the program folder.
std::string SettingsPath();

}  // namespace mf::platform
