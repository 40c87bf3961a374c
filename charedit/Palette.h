#pragma once

#include <array>

#include "character/Bitmap.h"

namespace mf {

// The colour chooser of the picture editor: a grid of 20-pixel cells, 12
// across and 6 down, whose first four rows hold fixed colours and whose last
// cell holds the colour last chosen in the colour dialog.
class Palette {
 public:
  static constexpr int kCellSize = 20;
  static constexpr int kColumns = 12;
  static constexpr int kRows = 6;
  static constexpr int kWidth = kColumns * kCellSize + 1;  // grid lines on both edges
  static constexpr int kHeight = kRows * kCellSize + 1;
  static constexpr int kFixedColours = 48;
  static constexpr int kOtherColumn = kColumns - 1;
  static constexpr int kOtherRow = kRows - 1;

  static const std::array<Colour, kFixedColours>& FixedColours();

  // The colour a cell shows: a fixed colour, the other colour, or white.
  Colour CellColour(int column, int row) const;
  // The colour of the cell under a point of the palette; points past its
  // edges count as the nearest cell.
  Colour ColourAt(int x, int y) const;

  Colour OtherColour() const { return other_; }
  void SetOtherColour(Colour colour) { other_ = colour & 0xFFFFFFu; }

 private:
  Colour other_ = MakeColour(255, 255, 255);
};

}  // namespace mf
