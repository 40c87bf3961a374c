#include "platform/x11/X11WindowMessages.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace mf::platform {
namespace {

xcb_atom_t InternType(xcb_connection_t* connection) {
  auto cookie = xcb_intern_atom(connection, 0, std::strlen(kWindowMessageType), kWindowMessageType);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

struct Connection {
  explicit Connection(const std::string& name)
      : handle(xcb_connect(name.empty() ? nullptr : name.c_str(), nullptr)) {}
  ~Connection() { xcb_disconnect(handle); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  xcb_connection_t* handle;
};

}  // namespace

bool PostWindowMessage(std::uint64_t window, const WindowMessage& message,
                       const std::string& displayName) {
  if (window == 0 || window > 0xFFFFFFFFu) return false;
  Connection connection(displayName);
  if (xcb_connection_has_error(connection.handle)) return false;
  auto target = static_cast<xcb_window_t>(window);

  // A stale id would make the server report an error nobody reads; ask first.
  auto* attributes = xcb_get_window_attributes_reply(
      connection.handle, xcb_get_window_attributes(connection.handle, target), nullptr);
  if (!attributes) return false;
  std::free(attributes);

  xcb_atom_t type = InternType(connection.handle);
  if (type == XCB_ATOM_NONE) return false;

  xcb_client_message_event_t event;
  std::memset(&event, 0, sizeof event);
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = target;
  event.type = type;
  event.data.data32[0] = message.message;
  event.data.data32[1] = static_cast<std::uint32_t>(message.wParam);
  event.data.data32[2] = static_cast<std::uint32_t>(message.lParam);
  auto cookie = xcb_send_event_checked(connection.handle, 0, target, XCB_EVENT_MASK_NO_EVENT,
                                       reinterpret_cast<const char*>(&event));
  xcb_generic_error_t* error = xcb_request_check(connection.handle, cookie);
  if (error) {
    std::free(error);
    return false;
  }
  return true;
}

WindowMessageReader::WindowMessageReader(xcb_connection_t* connection) {
  if (connection && !xcb_connection_has_error(connection)) type_ = InternType(connection);
}

std::optional<WindowMessage> WindowMessageReader::Read(const void* event) const {
  if (!event || type_ == XCB_ATOM_NONE) return std::nullopt;
  const auto* generic = static_cast<const xcb_generic_event_t*>(event);
  if ((generic->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return std::nullopt;
  const auto* client = static_cast<const xcb_client_message_event_t*>(event);
  if (client->type != type_ || client->format != 32) return std::nullopt;
  return WindowMessage{client->data.data32[0], static_cast<std::int32_t>(client->data.data32[1]),
                       static_cast<std::int32_t>(client->data.data32[2])};
}

}  // namespace mf::platform
