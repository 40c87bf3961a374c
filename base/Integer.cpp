#include "base/Integer.h"

#include <charconv>

namespace mf {

std::optional<int> ToInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::size_t start = text[0] == '-' ? 1 : 0;
  if (start == text.size()) return std::nullopt;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool IsInteger(std::string_view text) { return ToInteger(text).has_value(); }

int ToIntegerOr(std::string_view text, int fallback) {
  return ToInteger(text).value_or(fallback);
}

}  // namespace mf
