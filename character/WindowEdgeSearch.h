#pragma once

#include <cstddef>
#include <vector>

#include "character/MonitorLayout.h"
#include "platform/DesktopWindows.h"

namespace mf {

// The edge a character can stand on below a point.
struct Floor {
  int y = 0;
  int left = 0;
  int right = 0;
  bool operator==(const Floor&) const = default;
};

// Finds the top edges of the desktop's windows above and below a point.
// One search is shared by every character window; it lists the windows
// afresh on each call (they move all the time) but keeps its storage, as it
// runs on every tick of every walking, falling or rising character.
class WindowEdgeSearch {
 public:
  explicit WindowEdgeSearch(platform::DesktopWindows& desktop);

  // The highest visible top edge below y (y < edge) over column x; the
  // floor of the monitors (MonitorLayout::FloorBelow) when none.
  Floor FindFloor(int x, int y);

  // The lowest visible top edge above y (edge < y) over column x; 500
  // pixels above the desktop when none.
  int FindCeiling(int x, int y);

  // The monitors the characters live on. Until they are given, the desktop's
  // screen is taken as one monitor (and asked again now and then).
  void SetMonitors(MonitorLayout monitors);
  const MonitorLayout& Monitors();
  // Room kept for windows between calls (grows by 100 at a time).
  std::size_t Capacity() const { return edges_.capacity(); }

 private:
  struct Edges {
    int top;
    int bottom;
    int left;
    int right;
  };

  // Fills edges_ with the windows that count over column x, topmost first.
  void Collect(int x);
  void ReadScreen();
  // Whether a window higher in Z order than `index` covers height t.
  bool Hidden(std::size_t index, int t) const;

  platform::DesktopWindows& desktop_;
  std::vector<platform::DesktopWindow> windows_;
  std::vector<Edges> edges_;
  MonitorLayout monitors_;
  bool monitorsGiven_ = false;
};

}  // namespace mf
