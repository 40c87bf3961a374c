#include "charedit/CellLine.h"

#include <cstdlib>
#include <utility>

namespace mf {
namespace {

long long FloorDiv(long long numerator, long long denominator) {
  long long quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
  return quotient;
}

// numerator / denominator (denominator > 0) to the nearest integer, halves
// to even, in exact arithmetic: a floating slope can land a hair off a cell
// boundary and move the line by a cell in one direction only.
long long RoundHalfEven(long long numerator, long long denominator) {
  long long floor = FloorDiv(numerator, denominator);
  long long twiceRest = 2 * (numerator - floor * denominator);
  if (twiceRest > denominator) return floor + 1;
  if (twiceRest == denominator) return floor + (floor & 1);
  return floor;
}

// Steps one cell at a time along the major axis from `major0` for `steps`
// cells; the minor coordinate follows the line's slope in view pixels and is
// snapped down to the cell it falls in.
template <typename MakeCell>
void Walk(int major0, int minor0, int steps, int minorDelta, int cellSize, MakeCell make,
          std::vector<Cell>& cells) {
  for (int i = 0; i <= steps; ++i) {
    long long offset = RoundHalfEven(static_cast<long long>(cellSize) * i * minorDelta, steps);
    long long minor = FloorDiv(static_cast<long long>(minor0) * cellSize + offset, cellSize);
    cells.push_back(make(major0 + i, static_cast<int>(minor)));
  }
}

}  // namespace

std::vector<Cell> CellLine(Cell from, Cell to, int cellSize) {
  std::vector<Cell> cells;
  int dx = to.x - from.x;
  int dy = to.y - from.y;
  if (dx == 0 && dy == 0) {
    cells.push_back(from);
    return cells;
  }
  if (std::abs(dy) <= std::abs(dx)) {
    if (from.x > to.x) std::swap(from, to);
    cells.reserve(static_cast<std::size_t>(to.x - from.x) + 1);
    Walk(from.x, from.y, to.x - from.x, to.y - from.y, cellSize,
         [](int major, int minor) { return Cell{major, minor}; }, cells);
  } else {
    if (from.y > to.y) std::swap(from, to);
    cells.reserve(static_cast<std::size_t>(to.y - from.y) + 1);
    Walk(from.y, from.x, to.y - from.y, to.x - from.x, cellSize,
         [](int major, int minor) { return Cell{minor, major}; }, cells);
  }
  return cells;
}

}  // namespace mf
