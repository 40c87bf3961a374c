#include "charedit/CellLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "charedit/PixelEditor.h"

namespace mf {
namespace {

constexpr int kCell = PixelEditor::kCellSize;

std::vector<Cell> Sorted(std::vector<Cell> cells) {
  std::sort(cells.begin(), cells.end(),
            [](Cell a, Cell b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
  return cells;
}

struct LineCase {
  Cell from;
  Cell to;
  std::vector<Cell> cells;  // in any order
};

class CellLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(CellLines, PaintsExactlyTheseCells) {
  const LineCase& c = GetParam();
  EXPECT_EQ(Sorted(CellLine(c.from, c.to, kCell)), Sorted(c.cells));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, CellLines,
    ::testing::Values(
        LineCase{{5, 5}, {5, 5}, {{5, 5}}},
        LineCase{{2, 3}, {5, 3}, {{2, 3}, {3, 3}, {4, 3}, {5, 3}}},
        LineCase{{7, 4}, {7, 1}, {{7, 1}, {7, 2}, {7, 3}, {7, 4}}},
        // Shallow: the row follows the view pixels, snapped down to a cell.
        LineCase{{0, 0}, {4, 1}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}}},
        LineCase{{0, 0}, {2, 1}, {{0, 0}, {1, 0}, {2, 1}}},
        // Steep, the same rule with the axes swapped.
        LineCase{{0, 0}, {1, 3}, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
        LineCase{{3, 0}, {0, 3}, {{3, 0}, {2, 1}, {1, 2}, {0, 3}}}));

TEST(CellLine, DiagonalAcrossThePicturePaintsEveryDiagonalCell) {
  auto cells = CellLine({0, 0}, {45, 45}, kCell);
  ASSERT_EQ(cells.size(), 46u);
  for (int i = 0; i < 46; ++i) EXPECT_EQ(cells[static_cast<std::size_t>(i)], (Cell{i, i}));
}

// Every pair of cells in a corner of the grid: both ends are painted, the
// line has no gaps, one cell per step of its longer axis, and dragging it
// the other way paints the same cells.
TEST(CellLine, BothEndsNoGapsAndTheSameCellsBothWays) {
  constexpr int kSpan = 14;
  for (int a = 0; a < kSpan * kSpan; ++a) {
    for (int b = 0; b < kSpan * kSpan; ++b) {
      Cell from{a % kSpan, a / kSpan};
      Cell to{b % kSpan + 30, b / kSpan + 30 - kSpan};
      auto forward = CellLine(from, to, kCell);
      auto backward = CellLine(to, from, kCell);
      ASSERT_EQ(Sorted(forward), Sorted(backward)) << from.x << "," << from.y << " " << to.x << "," << to.y;
      ASSERT_NE(std::find(forward.begin(), forward.end(), from), forward.end());
      ASSERT_NE(std::find(forward.begin(), forward.end(), to), forward.end());
      std::size_t steps = static_cast<std::size_t>(std::max(std::abs(to.x - from.x), std::abs(to.y - from.y)));
      ASSERT_EQ(forward.size(), steps + 1);
      for (std::size_t i = 1; i < forward.size(); ++i) {
        ASSERT_LE(std::abs(forward[i].x - forward[i - 1].x), 1);
        ASSERT_LE(std::abs(forward[i].y - forward[i - 1].y), 1);
      }
    }
  }
}

}  // namespace
}  // namespace mf
