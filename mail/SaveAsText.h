#pragma once

#include <string>
#include <string_view>

namespace mf {

// The file name the user typed, with ".txt" added when its name part has
// no extension of its own ("memo" and "memo." become "memo.txt"; a leading
// dot alone does not make an extension).
std::string WithTextExtension(const std::string& path);

// Writes a stored mail (header block and text) as Shift_JIS text with CR LF
// line ends, replacing the file whole; false when it could not be written.
bool SaveMailAsText(const std::string& path, std::string_view text);

}  // namespace mf
