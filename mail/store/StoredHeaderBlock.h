#pragma once

#include <string>
#include <string_view>

namespace mf {

// A stored mail text (a body record as the store reads it) cut at its first
// empty line: the header block the program wrote and the mail text.
struct StoredMailParts {
  std::string_view header;  // without the line end of its last line
  std::string_view text;    // everything after the empty line
};
StoredMailParts SplitStoredMail(std::string_view stored);

// The value of the first header-block line that starts with `name` (given
// with its colon, "Subject:"), trimmed; empty when there is none. Only the
// header block is searched, so a mail text that happens to hold a line like
// "To: someone" is never read as a field.
std::string StoredFieldValue(std::string_view header, std::string_view name);

}  // namespace mf
