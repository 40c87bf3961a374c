#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace mf::platform {

// A private window message of the program (a number and two parameters),
// carried between copies of the program as an X11 client message of the
// type below, format 32: the number, then the two parameters.
struct WindowMessage {
  std::uint32_t message = 0;
  std::int32_t wParam = 0;
  std::int32_t lParam = 0;
  bool operator==(const WindowMessage&) const = default;
};

inline constexpr const char* kWindowMessageType = "MofutanMail_WindowMessage";

// Sends `message` to `window` on the display (DISPLAY when empty) through a
// connection of its own, so the sender needs no window. False when the
// display cannot be opened or the window does not exist.
bool PostWindowMessage(std::uint64_t window, const WindowMessage& message,
                       const std::string& displayName = {});

// Picks the program's window messages out of the events of a connection.
class WindowMessageReader {
 public:
  // Borrows the connection for the moment it needs to look up the type.
  explicit WindowMessageReader(xcb_connection_t* connection);

  // The message an event (an xcb_generic_event_t) carries, if it is one.
  std::optional<WindowMessage> Read(const void* event) const;

 private:
  std::uint32_t type_ = 0;
};

}  // namespace mf::platform
