#pragma once

#include <optional>
#include <string_view>

namespace mf {

// True for a non-empty run of decimal digits, optionally led by "-" when at
// least one digit follows, whose value fits a 32-bit signed integer.
bool IsInteger(std::string_view text);

// The value of an integer text, or nothing when IsInteger says no.
std::optional<int> ToInteger(std::string_view text);

// The value of an integer text, or the fallback.
int ToIntegerOr(std::string_view text, int fallback);

}  // namespace mf
