#pragma once

#include <cstdint>
#include <vector>

namespace mf::platform {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;   // exclusive
  int bottom = 0;  // exclusive
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct DesktopWindow {
  std::uint64_t id = 0;
  Rect rect;  // outer rectangle, window manager frame included
  // False for windows a character must not stand on even though they are
  // shown: maximised and full-screen windows, docks, panels, the desktop.
  bool counts = true;
  bool operator==(const DesktopWindow&) const = default;
};

// The shown top-level windows of the desktop, topmost first.
class DesktopWindows {
 public:
  virtual ~DesktopWindows() = default;
  virtual std::vector<DesktopWindow> TopLevelWindows() = 0;
  // The same list into `windows`, reusing its storage: the window-edge search
  // asks for it on every animation tick of every character.
  virtual void ListTopLevelWindows(std::vector<DesktopWindow>& windows) {
    auto fresh = TopLevelWindows();
    windows.assign(fresh.begin(), fresh.end());
  }
  virtual Rect Screen() = 0;
};

class FakeDesktopWindows final : public DesktopWindows {
 public:
  std::vector<DesktopWindow> TopLevelWindows() override { return windows; }
  void ListTopLevelWindows(std::vector<DesktopWindow>& into) override {
    into.assign(windows.begin(), windows.end());
  }
  Rect Screen() override { return screen; }

  std::vector<DesktopWindow> windows;  // topmost first
  Rect screen{0, 0, 1024, 768};
};

}  // namespace mf::platform
