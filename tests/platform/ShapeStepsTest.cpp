// The steps characters find on a shaped window: a roof that widens row by
// row becomes a few steps, each no wider than its top row.

#include <gtest/gtest.h>

#include <vector>

#include "platform/ShapeSteps.h"

namespace mf::platform {
namespace {

// A roof: rows one pixel high, each a pixel wider on both sides than the
// one above, over a narrower body.
std::vector<Rect> HutShape() {
  std::vector<Rect> shape;
  for (int y = 0; y < 30; ++y) shape.push_back(Rect{40 - y, y, 60 + y, y + 1});
  shape.push_back(Rect{30, 30, 70, 100});
  return shape;
}

TEST(ShapeSteps, ARoofBecomesStepsNoWiderThanTheirTopRows) {
  const std::vector<Rect> steps = ShapeSteps(HutShape(), 12);
  // Rows 0-12, 13-25 and 26-29 of the roof, then the body.
  const std::vector<Rect> expected{{40, 0, 60, 13}, {27, 13, 73, 26}, {14, 26, 86, 30}, {30, 30, 70, 100}};
  EXPECT_EQ(steps, expected);
}

TEST(ShapeSteps, RowsOfOnePieceAndSeparatePieces) {
  struct Case {
    const char* what;
    std::vector<Rect> shape;
    std::vector<Rect> expected;
  };
  const Case cases[] = {
      {"a plain rectangle in rows", {{0, 0, 50, 10}, {0, 10, 50, 20}}, {{0, 0, 50, 20}}},
      {"given in any order", {{0, 10, 50, 20}, {0, 0, 50, 10}}, {{0, 0, 50, 20}}},
      {"two pieces side by side", {{0, 0, 10, 5}, {30, 0, 40, 5}, {0, 5, 10, 9}, {30, 5, 40, 9}},
       {{0, 0, 10, 9}, {30, 0, 40, 9}}},
      {"a gap between rows", {{0, 0, 50, 10}, {0, 12, 50, 20}}, {{0, 0, 50, 10}, {0, 12, 50, 20}}},
      {"a narrower top", {{10, 0, 40, 5}, {0, 5, 50, 10}}, {{10, 0, 40, 10}}},
      {"a much narrower top", {{20, 0, 30, 5}, {0, 5, 50, 10}}, {{20, 0, 30, 5}, {0, 5, 50, 10}}},
      {"empty rectangles", {{0, 0, 0, 5}, {0, 0, 50, 0}}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ShapeSteps(c.shape, 12), c.expected) << c.what;
}

}  // namespace
}  // namespace mf::platform
