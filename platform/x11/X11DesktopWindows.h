#pragma once

#include <chrono>
#include <memory>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/DesktopWindows.h"
#include "platform/EventLoop.h"

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

  // On a connection of its own: follows the root's children through the
  // server's structure events (created, destroyed, mapped, moved,
  // restacked) instead of asking for the whole list each time, so a list
  // costs the server nothing but the descriptions of windows that are new or
  // changed size. `loop` reads the events as they come, so they never pile
  // up while no character asks. False on a borrowed connection (its events
  // belong to its owner) or without a display.
  bool FollowEvents(EventLoop& loop);
  // Reads the structure events that have arrived.
  void ReadEvents();
  // Requests sent to the server since this object was made, for tests and
  // the desktop benchmark.
  std::uint64_t Requests() const { return requests_; }

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

  // One of the root's children as the structure events describe it.
  struct Child {
    std::uint32_t id = 0;
    Rect rect;
    bool mapped = false;
    bool inputOnly = false;
    bool classKnown = false;  // created since the last list: ask once
  };
  // The whole list read afresh (the only way without events).
  bool ReadTree(std::vector<DesktopWindow>& bottomUp);
  // `event` is an xcb_generic_event_t.
  void ApplyEvent(const void* event);
  std::vector<Child>::iterator FindChild(std::uint32_t id);
  void Restack(std::uint32_t id, std::uint32_t above, bool top);

  xcb_connection_t* connection_ = nullptr;
  bool ownsConnection_ = false;
  std::unique_ptr<FdWatch> eventWatch_;
  bool following_ = false;
  bool treeKnown_ = false;
  std::vector<Child> children_;  // bottom to top
  std::uint64_t requests_ = 0;
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
