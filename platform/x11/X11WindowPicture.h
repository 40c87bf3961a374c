#pragma once

#include <cstdint>

struct xcb_connection_t;

namespace mf::platform {

// Draws pictures of 32-bit pixels in the toolkit's RGB32 layout straight
// into one window: one request a picture, no shared memory to wait for and
// no round trip. Only where the server keeps 24-bit colour in 32-bit pixels
// of this machine's byte order and the window has the screen's depth of 24,
// which Usable() tells; elsewhere the toolkit draws.
class X11WindowPicture {
 public:
  X11WindowPicture(xcb_connection_t* connection, std::uint32_t window);
  ~X11WindowPicture();
  X11WindowPicture(const X11WindowPicture&) = delete;
  X11WindowPicture& operator=(const X11WindowPicture&) = delete;

  bool Usable() const { return context_ != 0; }
  std::uint32_t Window() const { return window_; }

  // Rows of `width` pixels, one after the other; returns the request's
  // sequence number, 0 when nothing was queued. SendRequests sends it.
  std::uint32_t Draw(const std::uint32_t* pixels, int width, int height);

  // Whether the server sent an event (numbered by the last request it had
  // done then) before it did the drawing request `request`.
  static bool DrawnAfter(std::uint16_t eventSequence, std::uint32_t request);

 private:
  xcb_connection_t* connection_;
  std::uint32_t window_;
  std::uint32_t context_ = 0;
};

}  // namespace mf::platform
