#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DesktopWindows.h"

struct xcb_connection_t;

namespace mf::platform {

// The desktop's top-level windows as the X server stacks them. Every
// viewable child of the root counts with its outer rectangle (the window
// manager's frame included), the program's own windows too. Windows a
// character should not stand on although they are shown - maximised and
// full-screen windows, docks and panels, the desktop - are reported with
// `counts = false`; on X11 a maximised window starts below a top panel
// instead of above the screen, so its top alone cannot leave it out.
//
// Requests are pipelined (one round trip per level of the query, not per
// window) because every walking character asks five times a second. A
// window that vanishes while it is being looked at comes back as an error
// reply to its own request and is skipped.
class X11DesktopWindows final : public DesktopWindows {
 public:
  // Opens a connection of its own to `displayName` ($DISPLAY when empty).
  explicit X11DesktopWindows(const std::string& displayName = {});
  // Borrows a connection (Qt's, for instance) that outlives this object.
  explicit X11DesktopWindows(xcb_connection_t* connection);
  ~X11DesktopWindows() override;
  X11DesktopWindows(const X11DesktopWindows&) = delete;
  X11DesktopWindows& operator=(const X11DesktopWindows&) = delete;

  // False when the display could not be opened; the lists are then empty.
  bool Connected() const { return connection_ != nullptr; }

  std::vector<DesktopWindow> TopLevelWindows() override;
  void ListTopLevelWindows(std::vector<DesktopWindow>& windows) override;
  Rect Screen() override;

 private:
  struct Atoms {
    std::uint32_t wmState = 0;
    std::uint32_t windowType = 0;
    std::uint32_t typeDesktop = 0;
    std::uint32_t typeDock = 0;
    std::uint32_t state = 0;
    std::uint32_t stateFullscreen = 0;
    std::uint32_t stateMaximizedVert = 0;
    std::uint32_t stateHidden = 0;
    std::uint32_t gtkFrameExtents = 0;
  };

  void Initialise();
  // For each window, the window inside it that the client owns (the one
  // with WM_STATE), looking a few levels down a window manager's frame;
  // the window itself when there is none.
  std::vector<std::uint32_t> ClientWindows(const std::vector<std::uint32_t>& frames);
  // From each client's type and state, whether a character may stand on
  // its window; a client drawing its own frame has its shadow taken off.
  void Describe(const std::vector<std::uint32_t>& clients, std::vector<DesktopWindow>& windows);

  xcb_connection_t* connection_ = nullptr;
  bool ownsConnection_ = false;
  std::uint32_t root_ = 0;
  Atoms atoms_;
  std::vector<DesktopWindow> scratch_;  // bottom to top, kept between calls
};

}  // namespace mf::platform
