#include "character/WindowEdgeSearch.h"

namespace mf {
namespace {

// How far above the desktop a rising character looks for an edge before it
// gives up and leaves.
constexpr int kNoCeilingAbove = 500;
constexpr std::size_t kStorageStep = 100;

// Whether a window's top edge shows on a monitor: below the monitor's top
// (a top touching it leaves out maximised windows; the desktop layer marks
// the others of that kind, panels and full-screen windows, as not counting)
// and above its bottom.
bool EdgeShown(const MonitorLayout& monitors, const platform::Rect& r) {
  for (const auto& m : monitors.Monitors()) {
    if (m.area.top < r.top && r.top < m.area.bottom && r.left < m.area.right && m.area.left < r.right) {
      return true;
    }
  }
  return false;
}

}  // namespace

WindowEdgeSearch::WindowEdgeSearch(platform::DesktopWindows& desktop) : desktop_(desktop) {
  windows_.reserve(kStorageStep);
  edges_.reserve(kStorageStep);
  ReadScreen();
}

void WindowEdgeSearch::SetMonitors(MonitorLayout monitors) {
  monitors_ = std::move(monitors);
  monitorsGiven_ = true;
}

const MonitorLayout& WindowEdgeSearch::Monitors() {
  ReadScreen();
  return monitors_;
}

void WindowEdgeSearch::ReadScreen() {
  if (monitorsGiven_) return;
  auto screen = desktop_.Screen();
  if (monitors_.Empty() || !(monitors_.Bounds() == screen)) monitors_ = MonitorLayout::Single(screen);
}

void WindowEdgeSearch::Collect(int x) {
  ReadScreen();
  desktop_.ListTopLevelWindows(windows_);
  edges_.clear();
  for (const auto& window : windows_) {
    const auto& r = window.rect;
    if (!window.counts || r.Width() <= 0 || r.Height() <= 0 || x < r.left || x > r.right ||
        !EdgeShown(monitors_, r)) {
      continue;
    }
    if (edges_.size() == edges_.capacity()) edges_.reserve(edges_.capacity() + kStorageStep);
    edges_.push_back(Edges{r.top, r.bottom, r.left, r.right});
  }
}

bool WindowEdgeSearch::Hidden(std::size_t index, int t) const {
  for (std::size_t j = 0; j < index; ++j) {
    if (edges_[j].top <= t && t < edges_[j].bottom) return true;
  }
  return false;
}

Floor WindowEdgeSearch::FindFloor(int x, int y) {
  Collect(x);
  FloorSpan below = monitors_.FloorBelow(x, y);
  Floor floor{below.y, below.left, below.right};
  for (std::size_t i = 0; i < edges_.size(); ++i) {
    int t = edges_[i].top;
    if (y < t && t < floor.y && !Hidden(i, t)) floor = Floor{t, edges_[i].left, edges_[i].right};
  }
  return floor;
}

int WindowEdgeSearch::FindCeiling(int x, int y) {
  Collect(x);
  int ceiling = monitors_.Bounds().top - kNoCeilingAbove;
  for (std::size_t i = 0; i < edges_.size(); ++i) {
    int t = edges_[i].top;
    if (ceiling < t && t < y && !Hidden(i, t)) ceiling = t;
  }
  return ceiling;
}

}  // namespace mf
