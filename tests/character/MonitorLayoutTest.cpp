#include "character/MonitorLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace mf {
namespace {

using platform::Rect;

Monitor Plain(Rect area) { return Monitor{area, area, 1.0}; }

// Side by side of different heights, side by side at one height, stacked,
// apart, and what is left when the second monitor is switched off.
const std::map<std::string, MonitorLayout>& Layouts() {
  static const std::map<std::string, MonitorLayout> layouts{
      {"different heights", MonitorLayout({Plain({0, 0, 1280, 800}), Plain({1280, 0, 2304, 768})})},
      {"one height", MonitorLayout({Plain({0, 0, 1280, 800}), Plain({1280, 0, 2560, 800})})},
      {"stacked", MonitorLayout({Plain({0, 0, 1280, 800}), Plain({0, 800, 1024, 1568})})},
      {"apart", MonitorLayout({Plain({0, 0, 1280, 800}), Plain({1400, 0, 2424, 800})})},
      {"switched off", MonitorLayout({Plain({0, 0, 1280, 800})})},
      {"with a panel", MonitorLayout({Monitor{{0, 0, 1280, 800}, {0, 0, 1280, 770}, 1.0},
                                      Monitor{{1280, 0, 2304, 768}, {1280, 0, 2304, 768}, 2.0}})},
  };
  return layouts;
}

struct FloorCase {
  const char* layout;
  int x;
  int y;
  FloorSpan floor;
};

class MonitorFloors : public ::testing::TestWithParam<FloorCase> {};

TEST_P(MonitorFloors, FloorIsTheBottomOfTheMonitorUnderTheColumn) {
  const FloorCase& c = GetParam();
  EXPECT_EQ(Layouts().at(c.layout).FloorBelow(c.x, c.y), c.floor) << c.layout << " at " << c.x << "," << c.y;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MonitorFloors,
    ::testing::Values(
        // Each monitor has its own floor; the border between them ends both
        // (a wall), the outer edges reach beyond the desktop.
        FloorCase{"different heights", 600, 100, {800, -300, 1280}},
        FloorCase{"different heights", 1500, 100, {768, 1280, 2604}},
        FloorCase{"different heights", 1279, 100, {800, -300, 1280}},
        FloorCase{"different heights", 1280, 100, {768, 1280, 2604}},
        // At one height the floor goes on across the border.
        FloorCase{"one height", 1279, 100, {800, -300, 2860}},
        // Stacked: the upper monitor's bottom is its floor; below it, the
        // lower one's; the column only the upper one covers has one floor.
        FloorCase{"stacked", 500, 100, {800, -300, 1580}},
        FloorCase{"stacked", 500, 900, {1568, -300, 1024}},
        FloorCase{"stacked", 1100, 100, {800, -300, 1580}},
        // In a gap the nearest monitor's floor counts.
        FloorCase{"apart", 1300, 100, {800, -300, 1280}},
        FloorCase{"apart", 1390, 100, {800, 1400, 2724}},
        FloorCase{"switched off", 1500, 100, {800, -300, 1580}},
        // The work area's bottom, above a panel.
        FloorCase{"with a panel", 100, 100, {770, -300, 1280}}));

struct ShownCase {
  const char* layout;
  Rect rect;
  bool shown;
};

class MonitorShows : public ::testing::TestWithParam<ShownCase> {};

TEST_P(MonitorShows, PartsNoMonitorShowsAreNoPlaceToBe) {
  const ShownCase& c = GetParam();
  EXPECT_EQ(Layouts().at(c.layout).Shows(c.rect), c.shown)
      << c.layout << " " << c.rect.left << "," << c.rect.top;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MonitorShows,
    ::testing::Values(
        ShownCase{"different heights", {1257, 700, 1303, 746}, true},    // across the border
        ShownCase{"different heights", {1257, 754, 1303, 800}, false},   // below the smaller one
        ShownCase{"different heights", {2000, 760, 2046, 806}, false},
        ShownCase{"different heights", {-46, 754, 0, 800}, true},        // outside the desktop
        ShownCase{"different heights", {-20, 754, 26, 800}, true},       // half out at an outer edge
        ShownCase{"one height", {1257, 754, 1303, 800}, true},
        ShownCase{"stacked", {1000, 780, 1046, 826}, false},
        ShownCase{"stacked", {500, 780, 546, 826}, true},
        ShownCase{"apart", {1290, 100, 1336, 146}, false},
        ShownCase{"switched off", {1300, 100, 1346, 146}, true}));       // beyond everything now

TEST(MonitorLayout, NearestMonitorAndBringingOnto) {
  const MonitorLayout& layout = Layouts().at("different heights");
  EXPECT_EQ(layout.MonitorAt(1279, 799), 0);
  EXPECT_EQ(layout.MonitorAt(1280, 799), -1);
  EXPECT_EQ(layout.NearestMonitor(1290, 790), 0);  // in the part below the smaller one
  EXPECT_EQ(layout.NearestMonitor(1300, 780), 1);
  EXPECT_EQ(layout.NearestMonitor(Rect{1200, 100, 1400, 200}), 1);  // mostly on the second

  // A window across the border goes onto the monitor that shows most of it;
  // one shown in full stays; one far away comes back.
  EXPECT_EQ(layout.BringOnto(Rect{1200, 100, 1400, 200}), (Rect{1280, 100, 1480, 200}));
  EXPECT_EQ(layout.BringOnto(Rect{100, 100, 300, 200}), (Rect{100, 100, 300, 200}));
  EXPECT_EQ(Layouts().at("switched off").BringOnto(Rect{2000, 300, 2400, 600}), (Rect{880, 300, 1280, 600}));
  // Larger than the work area: its top-left corner stays on it.
  EXPECT_EQ(layout.BringOnto(Rect{1000, 0, 2400, 100}, 1), (Rect{1280, 0, 2680, 100}));
  EXPECT_EQ(Layouts().at("with a panel").ScaleAt(1500, 10), 2.0);
}

}  // namespace
}  // namespace mf
