#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mf {

// Code page 932 <-> UTF-8 for the platform edge (widgets, file names) and
// for Japanese literals, which are written in UTF-8 in the sources.
// A character code page 932 cannot hold becomes "〓"; a byte sequence that
// is not Shift_JIS becomes U+FFFD.
std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

// Converts between any two charsets iconv knows; each sequence it cannot read
// or write becomes `replacement`. Empty when iconv does not know a charset.
std::optional<std::string> ConvertCharset(std::string_view input, const char* to, const char* from,
                                          std::string_view replacement);

// Shorthand for a Japanese literal in the program's own encoding.
inline std::string Sj(std::string_view utf8) { return Utf8ToSjis(utf8); }

// True for the first byte of a two-byte Shift_JIS character.
constexpr bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True for a byte that can follow a lead byte.
constexpr bool IsSjisTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// The position of an ASCII character at or after `from`, found by character:
// the second byte of a two-byte character ("ソ" ends in 0x5C, "ァ" in 0x40)
// never matches. npos when there is none.
std::size_t FindSjisChar(std::string_view text, char ascii, std::size_t from = 0);

}  // namespace mf
