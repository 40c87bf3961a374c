#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
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
//
// Only the stacking, the mapping and the geometry are read on every call.
// What a window is (its client, type, state and frame extents) takes many
// more requests and seldom changes, so it is kept per window: a new window
// is described at once, a known one again when its size changes or its
// description is a second old, and a window that is no longer shown is
// forgotten. A window that is maximised therefore usually stops counting
// at once, and always within about a second. The screen's size is kept for
// a second as well, and a whole list for a few milliseconds, so that the
// characters ticking together share one.
class X11DesktopWindows final : public DesktopWindows {
 public:
  // How long a list is handed out again instead of being read afresh. The
  // characters tick five times a second, mostly within a few milliseconds of
  // each other; a list shared among them misses at most the step each of
  // the others took just before.
  static constexpr std::chrono::milliseconds kListReuse{30};

  // Opens a connection of its own to `displayName` ($DISPLAY when empty).
  explicit X11DesktopWindows(const std::string& displayName = {},
                             std::chrono::milliseconds listReuse = kListReuse);
  // Borrows a connection (Qt's, for instance) that outlives this object.
  explicit X11DesktopWindows(xcb_connection_t* connection,
                             std::chrono::milliseconds listReuse = kListReuse);
  ~X11DesktopWindows() override;
  X11DesktopWindows(const X11DesktopWindows&) = delete;
  X11DesktopWindows& operator=(const X11DesktopWindows&) = delete;

  // False when the display could not be opened; the lists are then empty.
  bool Connected() const { return connection_ != nullptr; }

  std::vector<DesktopWindow> TopLevelWindows() override;
  void ListTopLevelWindows(std::vector<DesktopWindow>& windows) override;
  Rect Screen() override;

  // Windows whose description is kept (the shown ones of the last list).
  std::size_t DescribedWindows() const { return described_.size(); }

 private:
  using Clock = std::chrono::steady_clock;

  // What the slow part of the query found out about one top-level window.
  struct Description {
    bool counts = true;
    // The invisible shadow of a client drawing its own frame, taken off the
    // outer rectangle: left, right, top, bottom.
    int margin[4] = {0, 0, 0, 0};
    Clock::time_point when;
    // The outer size it was described at: maximising or going full screen
    // changes it, so a window that changes size is described again at once.
    int width = 0;
    int height = 0;
    std::uint64_t lastList = 0;  // the list that last showed the window
  };

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
  void Describe(const std::vector<std::uint32_t>& clients, std::vector<Description*>& descriptions);
  // Applies the kept descriptions to the freshly read rectangles, first
  // describing the windows that are new, have changed size or whose
  // description has aged.
  void ApplyDescriptions(std::vector<DesktopWindow>& windows);

  xcb_connection_t* connection_ = nullptr;
  bool ownsConnection_ = false;
  std::uint32_t root_ = 0;
  Atoms atoms_;
  std::chrono::milliseconds listReuse_;
  // The last list, bottom to top, and when it was read; `listed_` is false
  // until a list has been read in full.
  std::vector<DesktopWindow> scratch_;
  bool listed_ = false;
  Clock::time_point listedAt_;
  std::unordered_map<std::uint32_t, Description> described_;
  std::uint64_t lists_ = 0;
  Rect screen_;
  Clock::time_point screenRead_;
};

}  // namespace mf::platform
