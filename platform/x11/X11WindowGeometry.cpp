#include "platform/x11/X11WindowGeometry.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <climits>

namespace mf::platform {
namespace {

std::int16_t Coordinate(int value) { return static_cast<std::int16_t>(std::clamp(value, SHRT_MIN, SHRT_MAX)); }
std::uint16_t Extent(int value) { return static_cast<std::uint16_t>(std::clamp(value, 0, USHRT_MAX)); }

}  // namespace

void SetWindowShape(xcb_connection_t* connection, std::uint32_t window, const std::vector<Rect>& rects) {
  if (!connection || xcb_connection_has_error(connection)) return;
  std::vector<xcb_rectangle_t> shape;
  shape.reserve(rects.size());
  for (const auto& r : rects) {
    shape.push_back(xcb_rectangle_t{Coordinate(r.left), Coordinate(r.top), Extent(r.Width()), Extent(r.Height())});
  }
  xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                       static_cast<std::uint32_t>(shape.size()), shape.data());
}

void MoveWindowTo(xcb_connection_t* connection, std::uint32_t window, int x, int y) {
  const std::uint32_t values[] = {static_cast<std::uint32_t>(static_cast<std::int32_t>(Coordinate(x))),
                                  static_cast<std::uint32_t>(static_cast<std::int32_t>(Coordinate(y)))};
  xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
}

void SendRequests(xcb_connection_t* connection) {
  if (connection) xcb_flush(connection);
}

}  // namespace mf::platform
