#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// The file name the user typed, with ".txt" added when its name part has
// no extension of its own ("memo" and "memo." become "memo.txt"; a leading
// dot alone does not make an extension).
std::string WithTextExtension(const std::string& path);

// Writes a stored mail (header block and text) as Shift_JIS text with CR LF
// line ends, replacing the file whole; false when it could not be written.
bool SaveMailAsText(const std::string& path, std::string_view text);

// True when the file name asks for a standard message: it ends in ".eml"
// in any letter case.
bool IsMessageFileName(const std::string& path);

struct SavedMail {
  bool written = false;
  std::vector<std::string> missingFiles;  // attachments the message went without
};

// "名前を付けて保存": a name ending in ".eml" gets the mail as a standard
// message (MessageFile.h), any other name the stored text, with ".txt"
// added when it has no extension. The file is replaced whole.
SavedMail SaveStoredMail(const std::string& path, std::string_view stored);

}  // namespace mf
