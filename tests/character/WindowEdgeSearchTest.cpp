#include "character/WindowEdgeSearch.h"

#include <gtest/gtest.h>

namespace mf {
namespace {

using platform::DesktopWindow;
using platform::Rect;

DesktopWindow Window(int left, int top, int right, int bottom, bool counts = true) {
  static std::uint64_t next = 1;
  return DesktopWindow{next++, Rect{left, top, right, bottom}, counts};
}

class EdgeSearch : public ::testing::Test {
 protected:
  platform::FakeDesktopWindows desktop;  // 1024 x 768
  WindowEdgeSearch search{desktop};
};

TEST_F(EdgeSearch, ScreenBottomIsTheFloorWithoutWindows) {
  EXPECT_EQ(search.FindFloor(500, 100), (Floor{768, -300, 1324}));
  EXPECT_EQ(search.FindCeiling(500, 700), -500);
}

TEST_F(EdgeSearch, NearestEdgeBelowAndAbove) {
  desktop.windows = {Window(100, 500, 600, 700), Window(200, 200, 400, 300),
                     Window(0, 400, 150, 450)};
  EXPECT_EQ(search.FindFloor(300, 100), (Floor{200, 200, 400}));
  EXPECT_EQ(search.FindFloor(300, 200), (Floor{500, 100, 600}));  // strictly below
  EXPECT_EQ(search.FindFloor(120, 100), (Floor{400, 0, 150}));
  EXPECT_EQ(search.FindCeiling(300, 600), 500);
  EXPECT_EQ(search.FindCeiling(300, 500), 200);  // strictly above
  EXPECT_EQ(search.FindCeiling(300, 200), -500);
}

TEST_F(EdgeSearch, ColumnTouchesBothEndsOfAWindow) {
  desktop.windows = {Window(100, 500, 600, 700)};
  EXPECT_EQ(search.FindFloor(100, 0).y, 500);
  EXPECT_EQ(search.FindFloor(600, 0).y, 500);
  EXPECT_EQ(search.FindFloor(99, 0).y, 768);
  EXPECT_EQ(search.FindFloor(601, 0).y, 768);
}

TEST_F(EdgeSearch, EdgeCoveredByAHigherWindowIsHidden) {
  // The front window covers the top edge of the one behind it at 300.
  desktop.windows = {Window(0, 250, 500, 400), Window(100, 300, 600, 700)};
  EXPECT_EQ(search.FindFloor(200, 100).y, 250);
  EXPECT_EQ(search.FindFloor(200, 260).y, 768);
  EXPECT_EQ(search.FindCeiling(200, 500), 250);
  // Behind a window that only reaches to the column from the side, it shows.
  desktop.windows = {Window(0, 250, 150, 400), Window(100, 300, 600, 700)};
  EXPECT_EQ(search.FindFloor(200, 260).y, 300);
  // The top row of the covering window itself hides the edge too.
  desktop.windows = {Window(0, 300, 500, 400), Window(100, 300, 600, 700)};
  EXPECT_EQ(search.FindFloor(200, 100), (Floor{300, 0, 500}));
}

TEST_F(EdgeSearch, WindowsThatDoNotCount) {
  desktop.windows = {Window(0, 0, 1024, 700),        // touches the top: maximised
                     Window(0, -8, 1024, 776),       // above the top
                     Window(0, 30, 1024, 700, false),  // maximised under a panel
                     Window(1024, 100, 1100, 200),   // right of the screen
                     Window(0, 768, 1024, 800),      // below the screen
                     Window(300, 300, 300, 400),     // no width
                     Window(300, 350, 400, 350)};    // no height
  EXPECT_EQ(search.FindFloor(300, 10).y, 768);
  EXPECT_EQ(search.FindCeiling(300, 700), -500);
  // A window that does not count hides nothing either.
  desktop.windows = {Window(0, 30, 1024, 700, false), Window(100, 300, 600, 500)};
  EXPECT_EQ(search.FindFloor(300, 100).y, 300);
}

TEST_F(EdgeSearch, KeepsItsStorageBetweenCalls) {
  EXPECT_EQ(search.Capacity(), 100u);
  for (int i = 0; i < 150; ++i) desktop.windows.push_back(Window(0, 100 + i, 500, 700));
  search.FindFloor(10, 0);
  EXPECT_EQ(search.Capacity(), 200u);
  desktop.windows.resize(3);
  EXPECT_EQ(search.FindFloor(10, 0).y, 100);
  EXPECT_EQ(search.Capacity(), 200u);
}

}  // namespace
}  // namespace mf
