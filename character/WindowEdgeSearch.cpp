#include "character/WindowEdgeSearch.h"

namespace mf {
namespace {

// The bottom of the screen is a floor that reaches this far beyond both
// sides, so a character walking off an edge keeps its footing for a while.
constexpr int kScreenFloorOverhang = 300;
constexpr int kNoCeiling = -500;
constexpr std::size_t kStorageStep = 100;

}  // namespace

WindowEdgeSearch::WindowEdgeSearch(platform::DesktopWindows& desktop) : desktop_(desktop) {
  windows_.reserve(kStorageStep);
  edges_.reserve(kStorageStep);
  auto screen = desktop_.Screen();
  screenWidth_ = screen.Width();
  screenHeight_ = screen.Height();
}

void WindowEdgeSearch::Collect(int x) {
  auto screen = desktop_.Screen();
  screenWidth_ = screen.Width();
  screenHeight_ = screen.Height();
  desktop_.ListTopLevelWindows(windows_);
  edges_.clear();
  for (const auto& window : windows_) {
    const auto& r = window.rect;
    // A top at or above 0 leaves out maximised windows; the desktop layer
    // marks the others of that kind (panels, full-screen windows) as not
    // counting.
    if (!window.counts || r.Width() <= 0 || r.Height() <= 0 || r.top <= 0 ||
        r.left >= screenWidth_ || r.top >= screenHeight_ || x < r.left || x > r.right) {
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
  Floor floor{screenHeight_, -kScreenFloorOverhang, screenWidth_ + kScreenFloorOverhang};
  for (std::size_t i = 0; i < edges_.size(); ++i) {
    int t = edges_[i].top;
    if (y < t && t < floor.y && !Hidden(i, t)) floor = Floor{t, edges_[i].left, edges_[i].right};
  }
  return floor;
}

int WindowEdgeSearch::FindCeiling(int x, int y) {
  Collect(x);
  int ceiling = kNoCeiling;
  for (std::size_t i = 0; i < edges_.size(); ++i) {
    int t = edges_[i].top;
    if (ceiling < t && t < y && !Hidden(i, t)) ceiling = t;
  }
  return ceiling;
}

}  // namespace mf
