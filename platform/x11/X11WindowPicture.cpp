#include "platform/x11/X11WindowPicture.h"

#include <xcb/xcb.h>

#include <bit>
#include <cstdlib>

namespace mf::platform {
namespace {

bool TakesOurPixels(const xcb_setup_t* setup) {
  const bool lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  if (lsbFirst != (std::endian::native == std::endian::little)) return false;
  if (xcb_setup_roots_iterator(setup).data->root_depth != 24) return false;
  for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format)) {
    if (format.data->depth == 24) return format.data->bits_per_pixel == 32;
  }
  return false;
}

}  // namespace

X11WindowPicture::X11WindowPicture(xcb_connection_t* connection, std::uint32_t window)
    : connection_(connection), window_(window) {
  if (!connection_ || xcb_connection_has_error(connection_) || !TakesOurPixels(xcb_get_setup(connection_))) return;
  // A window of another depth (one with an alpha channel) would refuse the
  // pixels; one question per window, asked once.
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window_), nullptr);
  const bool ourDepth = geometry != nullptr && geometry->depth == 24;
  std::free(geometry);
  if (!ourDepth) return;
  context_ = xcb_generate_id(connection_);
  const std::uint32_t noExposures = 0;
  xcb_create_gc(connection_, context_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
}

X11WindowPicture::~X11WindowPicture() {
  if (context_ != 0 && !xcb_connection_has_error(connection_)) xcb_free_gc(connection_, context_);
}

std::uint32_t X11WindowPicture::Draw(const std::uint32_t* pixels, int width, int height) {
  if (!Usable() || width <= 0 || height <= 0 || xcb_connection_has_error(connection_)) return 0;
  const auto bytes = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4;
  // Larger than one request may be (a huge scale): the toolkit draws it.
  if (bytes + 24 > xcb_get_maximum_request_length(connection_) * 4u) return 0;
  auto cookie = xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, context_, static_cast<std::uint16_t>(width),
                              static_cast<std::uint16_t>(height), 0, 0, 0, 24, bytes,
                              reinterpret_cast<const std::uint8_t*>(pixels));
  return cookie.sequence;
}

bool X11WindowPicture::DrawnAfter(std::uint16_t eventSequence, std::uint32_t request) {
  const auto ahead = static_cast<std::uint16_t>(static_cast<std::uint16_t>(request) - eventSequence);
  return ahead != 0 && ahead < 0x8000;
}

}  // namespace mf::platform
