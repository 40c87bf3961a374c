#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// RFC 5322 section 2.1.1: a line of a message is at most 998 bytes
// before its CR LF.
inline constexpr std::size_t kMaxWireLineBytes = 998;

// The data lines of a mail text held in the program's Shift_JIS: each line
// converted to ISO-2022-JP. A line whose converted form is longer than
// `maxBytes` goes out as several lines, split between characters, each
// starting in ASCII and switched back to ASCII at its end, so that every
// one is valid ISO-2022-JP on its own. Nothing is dropped: the pieces of a
// line, converted back and joined, give the line again. A piece that would
// begin with "." leaves room for the dot the client stuffs in front. Bytes
// that are no text (0x00-0x07, 0xFF) go out as blanks.
std::vector<std::string> BodyWireLines(std::string_view text, std::size_t maxBytes = kMaxWireLineBytes);

}  // namespace mf
