#include "mail/answer/QuoteColours.h"

#include <array>

#include "base/Text.h"

namespace mf {

int QuoteDepth(std::string_view line) {
  int depth = 0;
  std::string rest = Trim(line);
  while (!rest.empty() && rest.front() == '>') {
    ++depth;
    rest = Trim(std::string_view(rest).substr(1));
  }
  return depth;
}

std::optional<Rgb> QuoteColour(int depth) {
  static constexpr std::array<Rgb, 4> colours = {Rgb{0, 128, 0}, Rgb{0, 0, 255}, Rgb{255, 0, 0},
                                                 Rgb{255, 0, 255}};
  if (depth < 1 || depth > static_cast<int>(colours.size())) return std::nullopt;
  return colours[static_cast<std::size_t>(depth - 1)];
}

std::vector<std::optional<Rgb>> QuoteColoursByLine(std::string_view text) {
  std::vector<std::optional<Rgb>> colours;
  for (const std::string& line : SplitLines(text)) colours.push_back(QuoteColour(QuoteDepth(line)));
  return colours;
}

}  // namespace mf
