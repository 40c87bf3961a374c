#pragma once

#include <vector>

#include "platform/DesktopWindows.h"

namespace mf::platform {

// The parts of a shaped window a character can stand on and climb, as
// rectangles: the shape's rows of one piece grouped while their ends stay
// within `tolerance` pixels of the first row's, so that a sloping edge (the
// hut's roof) becomes a few steps instead of one per row. Each step keeps
// the ends its rows share, so its top never reaches over a transparent
// corner. `shape` is the window's shape (rectangles in any order, rows of
// equal height side by side); the steps are in the same coordinates.
std::vector<Rect> ShapeSteps(std::vector<Rect> shape, int tolerance);

}  // namespace mf::platform
