#include "charedit/Palette.h"

#include <algorithm>

namespace mf {

const std::array<Colour, Palette::kFixedColours>& Palette::FixedColours() {
  static constexpr std::array<Colour, kFixedColours> kColours = {
      MakeColour(0, 0, 0),       MakeColour(255, 255, 255), MakeColour(255, 0, 0),
      MakeColour(255, 0, 255),   MakeColour(128, 0, 0),     MakeColour(128, 0, 128),
      MakeColour(0, 0, 255),     MakeColour(0, 0, 128),     MakeColour(0, 255, 255),
      MakeColour(166, 202, 240), MakeColour(255, 255, 0),   MakeColour(255, 251, 240),

      MakeColour(0, 128, 128),   MakeColour(0, 128, 0),     MakeColour(0, 255, 0),
      MakeColour(192, 220, 192), MakeColour(128, 128, 0),   MakeColour(128, 128, 128),
      MakeColour(192, 192, 192), MakeColour(192, 192, 192), MakeColour(160, 160, 164),
      MakeColour(238, 140, 0),   MakeColour(248, 220, 108), MakeColour(246, 160, 128),

      MakeColour(245, 160, 10),  MakeColour(245, 196, 17),  MakeColour(255, 224, 40),
      MakeColour(206, 208, 2),   MakeColour(147, 188, 4),   MakeColour(138, 213, 0),
      MakeColour(88, 138, 8),    MakeColour(25, 255, 68),   MakeColour(161, 245, 67),
      MakeColour(209, 244, 190), MakeColour(134, 246, 93),  MakeColour(108, 248, 207),

      MakeColour(2, 207, 214),   MakeColour(86, 183, 250),  MakeColour(8, 23, 132),
      MakeColour(79, 7, 147),    MakeColour(196, 153, 245), MakeColour(238, 113, 120),
      MakeColour(255, 53, 232),  MakeColour(204, 168, 244), MakeColour(245, 71, 251),
      MakeColour(251, 77, 212),  MakeColour(252, 47, 231),  MakeColour(244, 207, 216),
  };
  return kColours;
}

Colour Palette::CellColour(int column, int row) const {
  if (column == kOtherColumn && row == kOtherRow) return other_;
  int index = row * kColumns + column;
  if (column >= 0 && column < kColumns && row >= 0 && index < kFixedColours) {
    return FixedColours()[static_cast<std::size_t>(index)];
  }
  return MakeColour(255, 255, 255);
}

Colour Palette::ColourAt(int x, int y) const {
  int column = std::clamp(x / kCellSize, 0, kColumns - 1);
  int row = std::clamp(y / kCellSize, 0, kRows - 1);
  return CellColour(column, row);
}

}  // namespace mf
