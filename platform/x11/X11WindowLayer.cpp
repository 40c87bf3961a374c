#include "platform/x11/X11WindowLayer.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace mf::platform {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

// The state property and the two names of the band: older window managers
// know only the second.
struct LayerAtoms {
  xcb_atom_t state = XCB_ATOM_NONE;
  xcb_atom_t above = XCB_ATOM_NONE;
  xcb_atom_t staysOnTop = XCB_ATOM_NONE;
};

LayerAtoms InternAtoms(xcb_connection_t* connection) {
  static constexpr std::array<const char*, 3> kNames{"_NET_WM_STATE", "_NET_WM_STATE_ABOVE",
                                                     "_NET_WM_STATE_STAYS_ON_TOP"};
  std::array<xcb_intern_atom_cookie_t, 3> cookies{};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    cookies[i] = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(kNames[i])), kNames[i]);
  }
  std::array<xcb_atom_t, 3> atoms{};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(xcb_intern_atom_reply(connection, cookies[i], nullptr));
    atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  return LayerAtoms{atoms[0], atoms[1], atoms[2]};
}

void AskWindowManager(xcb_connection_t* connection, std::uint32_t window, bool above, const LayerAtoms& atoms) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = atoms.state;
  event.data.data32[0] = above ? 1 : 0;  // add or remove
  event.data.data32[1] = atoms.above;
  event.data.data32[2] = atoms.staysOnTop;
  event.data.data32[3] = 1;  // asked by an application
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
}

// The other states in the property (set by the toolkit or the window
// manager) are kept.
void WriteState(xcb_connection_t* connection, std::uint32_t window, bool above, const LayerAtoms& atoms) {
  std::vector<xcb_atom_t> states;
  std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, atoms.state, XCB_ATOM_ATOM, 0, 1024), nullptr));
  if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    states.assign(values, values + xcb_get_property_value_length(reply.get()) / 4);
  }
  std::erase_if(states, [&](xcb_atom_t state) { return state == atoms.above || state == atoms.staysOnTop; });
  if (above) {
    states.push_back(atoms.above);
    states.push_back(atoms.staysOnTop);
  }
  if (states.empty()) {
    xcb_delete_property(connection, window, atoms.state);
  } else {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
  }
}

}  // namespace

void KeepAbove(xcb_connection_t* connection, std::uint32_t window, bool above, bool onScreen) {
  if (!connection || xcb_connection_has_error(connection) || window == 0) return;
  const LayerAtoms atoms = InternAtoms(connection);
  if (atoms.state == XCB_ATOM_NONE || atoms.above == XCB_ATOM_NONE || atoms.staysOnTop == XCB_ATOM_NONE) return;
  if (onScreen) {
    AskWindowManager(connection, window, above, atoms);
  } else {
    WriteState(connection, window, above, atoms);
  }
}

}  // namespace mf::platform
