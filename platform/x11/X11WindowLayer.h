#pragma once

#include <cstdint>

struct xcb_connection_t;

namespace mf::platform {

// Puts a top-level window into the window manager's band of windows kept
// above the others, or takes it out (_NET_WM_STATE_ABOVE). A window on the
// screen is moved by asking the window manager; a window off the screen
// carries the state in its property, which the window manager reads when
// the window comes onto the screen. Queued; SendRequests sends it.
void KeepAbove(xcb_connection_t* connection, std::uint32_t window, bool above, bool onScreen);

// Keeps a window that is not on the screen yet out of taskbars, pagers and
// the window manager's list of windows to switch to (_NET_WM_STATE_SKIP_*).
void LeaveOutOfWindowLists(xcb_connection_t* connection, std::uint32_t window);

}  // namespace mf::platform
