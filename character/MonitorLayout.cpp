#include "character/MonitorLayout.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace mf {
namespace {

using platform::Rect;

bool Contains(const Rect& r, int x, int y) {
  return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

Rect Intersection(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.Width() <= 0 || r.Height() <= 0) return Rect{};
  return r;
}

std::int64_t Area(const Rect& r) {
  return r.Width() <= 0 || r.Height() <= 0 ? 0 : std::int64_t{r.Width()} * r.Height();
}

// Squared distance from a point to the nearest pixel of a rectangle.
std::int64_t DistanceSquared(const Rect& r, int x, int y) {
  std::int64_t dx = x < r.left ? std::int64_t{r.left} - x : (x >= r.right ? std::int64_t{x} - r.right + 1 : 0);
  std::int64_t dy = y < r.top ? std::int64_t{r.top} - y : (y >= r.bottom ? std::int64_t{y} - r.bottom + 1 : 0);
  return dx * dx + dy * dy;
}

int Clamp(int value, int low, int high) { return high < low ? low : std::clamp(value, low, high); }

}  // namespace

MonitorLayout::MonitorLayout(std::vector<Monitor> monitors) : monitors_(std::move(monitors)) {
  if (monitors_.empty()) return;
  bounds_ = monitors_[0].area;
  for (const auto& m : monitors_) {
    bounds_.left = std::min(bounds_.left, m.area.left);
    bounds_.top = std::min(bounds_.top, m.area.top);
    bounds_.right = std::max(bounds_.right, m.area.right);
    bounds_.bottom = std::max(bounds_.bottom, m.area.bottom);
  }

  std::vector<FloorSpan> spans;
  for (const auto& m : monitors_) spans.push_back(FloorSpan{m.work.bottom, m.work.left, m.work.right});
  std::sort(spans.begin(), spans.end(), [](const FloorSpan& a, const FloorSpan& b) {
    return a.y != b.y ? a.y < b.y : a.left < b.left;
  });
  // Side by side at one height the floor simply goes on; anywhere else the
  // border is a wall (a taller neighbour, a gap).
  for (const auto& span : spans) {
    if (!floors_.empty() && floors_.back().y == span.y && span.left <= floors_.back().right) {
      floors_.back().right = std::max(floors_.back().right, span.right);
    } else {
      floors_.push_back(span);
    }
  }
  for (auto& floor : floors_) {
    if (floor.left <= bounds_.left) floor.left = bounds_.left - kFloorOverhang;
    if (floor.right >= bounds_.right) floor.right = bounds_.right + kFloorOverhang;
  }
}

MonitorLayout MonitorLayout::Single(const Rect& screen) {
  return MonitorLayout({Monitor{screen, screen, 1.0}});
}

int MonitorLayout::MonitorAt(int x, int y) const {
  for (std::size_t i = 0; i < monitors_.size(); ++i) {
    if (Contains(monitors_[i].area, x, y)) return static_cast<int>(i);
  }
  return -1;
}

int MonitorLayout::NearestMonitor(int x, int y) const {
  int best = -1;
  std::int64_t bestDistance = INT64_MAX;
  for (std::size_t i = 0; i < monitors_.size(); ++i) {
    std::int64_t distance = DistanceSquared(monitors_[i].area, x, y);
    if (distance < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = distance;
    }
  }
  return best;
}

int MonitorLayout::NearestMonitor(const Rect& rect) const {
  int best = -1;
  std::int64_t bestArea = 0;
  for (std::size_t i = 0; i < monitors_.size(); ++i) {
    std::int64_t area = Area(Intersection(monitors_[i].area, rect));
    if (area > bestArea) {
      best = static_cast<int>(i);
      bestArea = area;
    }
  }
  if (best >= 0) return best;
  return NearestMonitor(rect.left + rect.Width() / 2, rect.top + rect.Height() / 2);
}

double MonitorLayout::ScaleAt(int x, int y) const {
  int index = NearestMonitor(x, y);
  return index < 0 ? 1.0 : monitors_[index].scale;
}

bool MonitorLayout::Shows(const Rect& rect) const {
  Rect inside = Intersection(rect, bounds_);
  if (Area(inside) == 0) return true;
  // Cut the rectangle along every monitor edge that crosses it; each piece
  // then lies wholly inside or wholly outside each monitor.
  std::vector<int> xs{inside.left, inside.right};
  std::vector<int> ys{inside.top, inside.bottom};
  for (const auto& m : monitors_) {
    for (int x : {m.area.left, m.area.right}) {
      if (inside.left < x && x < inside.right) xs.push_back(x);
    }
    for (int y : {m.area.top, m.area.bottom}) {
      if (inside.top < y && y < inside.bottom) ys.push_back(y);
    }
  }
  std::sort(xs.begin(), xs.end());
  std::sort(ys.begin(), ys.end());
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    if (xs[i] == xs[i + 1]) continue;
    for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
      if (ys[j] == ys[j + 1]) continue;
      if (MonitorAt(xs[i], ys[j]) < 0) return false;
    }
  }
  return true;
}

FloorSpan MonitorLayout::FloorBelow(int x, int y) const {
  const FloorSpan* best = nullptr;
  for (const auto& floor : floors_) {
    if (floor.left <= x && x < floor.right && floor.y > y && (!best || floor.y < best->y)) best = &floor;
  }
  if (best) return *best;
  int nearest = NearestMonitor(x, y);
  if (nearest < 0) return FloorSpan{};
  const Rect& work = monitors_[nearest].work;
  for (const auto& floor : floors_) {
    if (floor.y == work.bottom && floor.left <= work.left && work.left < floor.right) return floor;
  }
  return FloorSpan{work.bottom, work.left, work.right};
}

Rect MonitorLayout::BringOnto(const Rect& rect, int index) const {
  if (index < 0 || index >= static_cast<int>(monitors_.size())) return rect;
  const Rect& work = monitors_[index].work;
  int left = Clamp(rect.left, work.left, work.right - rect.Width());
  int top = Clamp(rect.top, work.top, work.bottom - rect.Height());
  return Rect{left, top, left + rect.Width(), top + rect.Height()};
}

Rect MonitorLayout::BringOnto(const Rect& rect) const {
  for (const auto& m : monitors_) {
    if (Intersection(m.area, rect) == rect) return rect;
  }
  return BringOnto(rect, NearestMonitor(rect));
}

}  // namespace mf
