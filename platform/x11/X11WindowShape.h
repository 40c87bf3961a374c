#pragma once

#include <cstdint>
#include <vector>

#include "platform/DesktopWindows.h"

struct xcb_connection_t;

namespace mf::platform {

// Cuts a window to rectangles given in the X server's pixels, relative to
// the window's top-left corner; without rectangles nothing of it shows.
// Toolkits take shapes in their own scaled coordinates and round each
// rectangle on its own, which at a fractional scale leaves the shape a pixel
// off the picture here and there; this sets exactly the pixels given.
void SetWindowShape(xcb_connection_t* connection, std::uint32_t window, const std::vector<Rect>& rects);

}  // namespace mf::platform
