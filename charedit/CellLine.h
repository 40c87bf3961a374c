#pragma once

#include <vector>

namespace mf {

// A cell of the magnified picture: the picture pixel it stands for.
struct Cell {
  int x = 0;
  int y = 0;
  friend bool operator==(const Cell&, const Cell&) = default;
};

// The cells a stroke from `from` to `to` paints, both ends included. The line
// is worked out in the magnified view's pixels (`cellSize` to a cell) and
// always from its left or upper end, so dragging either way paints the same
// cells.
std::vector<Cell> CellLine(Cell from, Cell to, int cellSize);

}  // namespace mf
