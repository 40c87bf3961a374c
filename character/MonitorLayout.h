#pragma once

#include <vector>

#include "platform/DesktopWindows.h"

namespace mf {

// One monitor of the desktop, in the X server's (device) pixels, which are
// also the pixels of the window list the characters walk on.
struct Monitor {
  platform::Rect area;  // everything it shows
  platform::Rect work;  // the part panels and docks leave free
  double scale = 1.0;   // device pixels per pixel of the program's windows
  bool operator==(const Monitor&) const = default;
};

// A floor reaching from left to right (exclusive) at height y.
struct FloorSpan {
  int y = 0;
  int left = 0;
  int right = 0;
  bool operator==(const FloorSpan&) const = default;
};

// The monitors side by side, stacked or apart, and the questions a desktop
// character asks about them: where the floor is, whether a place is shown at
// all, which monitor is nearest. Parts of the virtual desktop that no
// monitor shows (below a smaller monitor beside a taller one, a gap between
// two) are never a place to stand, walk or fall; beyond the desktop's outer
// edges lies the outside, where characters leave and come from.
class MonitorLayout {
 public:
  // How far the floor of an outer edge reaches beyond it, so a character
  // walking off the desktop keeps its footing for a while.
  static constexpr int kFloorOverhang = 300;

  MonitorLayout() = default;
  explicit MonitorLayout(std::vector<Monitor> monitors);
  // One monitor of the whole screen, at scale 1.
  static MonitorLayout Single(const platform::Rect& screen);

  const std::vector<Monitor>& Monitors() const { return monitors_; }
  bool Empty() const { return monitors_.empty(); }
  // The box around every monitor.
  const platform::Rect& Bounds() const { return bounds_; }

  // The monitor showing the point, -1 when none does.
  int MonitorAt(int x, int y) const;
  // The monitor showing the point, else the one closest to it (-1 without
  // monitors).
  int NearestMonitor(int x, int y) const;
  // The monitor showing most of the rectangle, else the one closest to it.
  int NearestMonitor(const platform::Rect& rect) const;
  double ScaleAt(int x, int y) const;

  // Whether every part of the rectangle that lies within Bounds() is shown
  // by some monitor: a rectangle wholly outside the desktop counts as shown,
  // one reaching into a gap or below a smaller monitor does not.
  bool Shows(const platform::Rect& rect) const;

  // The floor under column x below height y: the work area's bottom of the
  // monitor there (the nearest one below y when monitors are stacked).
  // Floors of monitors side by side at one height join into one; a floor
  // ending at the desktop's outer edge reaches kFloorOverhang beyond it.
  // Without a monitor under x, the floor of the nearest monitor.
  FloorSpan FloorBelow(int x, int y) const;

  // The rectangle moved (never resized) onto the work area of monitor
  // `index`; a rectangle larger than the work area keeps its top-left corner
  // in it.
  platform::Rect BringOnto(const platform::Rect& rect, int index) const;
  // Onto the monitor that shows most of it (or is nearest); unchanged when
  // one monitor already shows all of it.
  platform::Rect BringOnto(const platform::Rect& rect) const;

  bool operator==(const MonitorLayout& other) const { return monitors_ == other.monitors_; }

 private:
  std::vector<Monitor> monitors_;
  platform::Rect bounds_;
  std::vector<FloorSpan> floors_;
};

}  // namespace mf
