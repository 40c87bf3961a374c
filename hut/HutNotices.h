#pragma once

#include <string>
#include <vector>

#include "base/DateTime.h"

namespace mf {

// The tray tip, and the title of every notice the program gives in passing.
std::string ProgramTitle();

// What the user is told when a character leaves with a mail: who carries it
// and when it is due back, said from `now` ("明日の12:40ごろ"). The
// character really comes at the first return check after that time, hence
// "ごろ". Shift_JIS, as `name` is.
std::string DepartureNoticeText(const std::string& name, const DateTime& back, const DateTime& now);

// The user guide: "help/index.html" in the first of `folders` (each with a
// trailing separator) that holds it; empty when none does.
std::string FindUserGuide(const std::vector<std::string>& folders);
// Where the guide of a program in `executableFolder` may be: beside it (a
// build's program folder, a portable copy), then in an install's shared
// folder.
std::vector<std::string> UserGuideFolders(const std::string& executableFolder);
// Where the guide is looked for first, for a message when it is missing.
std::string ExpectedUserGuide(const std::string& executableFolder);

// Messages about the guide, naming its place so the user can open it.
std::string UserGuideMissingText(const std::string& expectedPath);
std::string UserGuideNotOpenedText(const std::string& path);

}  // namespace mf
