#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// Splits a text into lines at CR LF, LF or CR; a final line end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// Joins lines, each followed by CR LF (the form of every text file of the program).
std::string JoinLines(const std::vector<std::string>& lines);

// Removes leading and trailing blanks and control characters (bytes <= 0x20).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// ASCII case changes that leave the second byte of a Shift_JIS character alone.
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view text, std::string_view prefix);
bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);

}  // namespace mf
