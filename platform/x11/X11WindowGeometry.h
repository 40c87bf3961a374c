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

// Puts a window's top-left corner at a point in the X server's pixels. A
// toolkit takes positions in its own scaled coordinates, and at a scale of
// 1.5 one server pixel in three cannot be reached that way, at 2 one in two.
void MoveWindowTo(xcb_connection_t* connection, std::uint32_t window, int x, int y);

// The shapes, moves and pictures above wait in the connection until this
// sends them: a character's step (picture, shape and move) then reaches the
// server in one piece, and the server answers it in one piece.
void SendRequests(xcb_connection_t* connection);

}  // namespace mf::platform
