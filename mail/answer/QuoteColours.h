#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace mf {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// How many ">" marks lead the line, blanks around them ignored.
int QuoteDepth(std::string_view line);

// Depth 1 green, 2 blue, 3 red, 4 fuchsia; other depths keep the default.
std::optional<Rgb> QuoteColour(int depth);

// The colour of every line of a text (lines end at CR LF, LF or CR), for a
// window to paint its quotes.
std::vector<std::optional<Rgb>> QuoteColoursByLine(std::string_view text);

}  // namespace mf
