#include "platform/x11/X11WindowLayer.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

namespace mf::platform {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

// The state property and the two names of the band: older window managers
// know only the second.
struct StateAtoms {
  xcb_atom_t state = XCB_ATOM_NONE;
  // The band kept above: older window managers know only the second name.
  xcb_atom_t above = XCB_ATOM_NONE;
  xcb_atom_t staysOnTop = XCB_ATOM_NONE;
  xcb_atom_t skipTaskbar = XCB_ATOM_NONE;
  xcb_atom_t skipPager = XCB_ATOM_NONE;
  bool Known() const {
    return state != XCB_ATOM_NONE && above != XCB_ATOM_NONE && staysOnTop != XCB_ATOM_NONE &&
           skipTaskbar != XCB_ATOM_NONE && skipPager != XCB_ATOM_NONE;
  }
};

StateAtoms InternAtoms(xcb_connection_t* connection) {
  static constexpr std::array<const char*, 5> kNames{"_NET_WM_STATE", "_NET_WM_STATE_ABOVE",
                                                     "_NET_WM_STATE_STAYS_ON_TOP", "_NET_WM_STATE_SKIP_TASKBAR",
                                                     "_NET_WM_STATE_SKIP_PAGER"};
  std::array<xcb_intern_atom_cookie_t, kNames.size()> cookies{};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    cookies[i] = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(kNames[i])), kNames[i]);
  }
  std::array<xcb_atom_t, kNames.size()> atoms{};
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(xcb_intern_atom_reply(connection, cookies[i], nullptr));
    atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  return StateAtoms{atoms[0], atoms[1], atoms[2], atoms[3], atoms[4]};
}

void AskWindowManager(xcb_connection_t* connection, std::uint32_t window, bool add, xcb_atom_t first,
                      xcb_atom_t second, const StateAtoms& atoms) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = atoms.state;
  event.data.data32[0] = add ? 1 : 0;
  event.data.data32[1] = first;
  event.data.data32[2] = second;
  event.data.data32[3] = 1;  // asked by an application
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
}

// Takes `removed` out of the property of a window not on the screen and
// adds `added`; the other states in it (set by the toolkit) are kept.
void WriteStates(xcb_connection_t* connection, std::uint32_t window, const StateAtoms& atoms,
                 std::initializer_list<xcb_atom_t> removed, std::initializer_list<xcb_atom_t> added) {
  std::vector<xcb_atom_t> states;
  std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, atoms.state, XCB_ATOM_ATOM, 0, 1024), nullptr));
  if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    states.assign(values, values + xcb_get_property_value_length(reply.get()) / 4);
  }
  std::erase_if(states, [&](xcb_atom_t state) {
    return std::find(removed.begin(), removed.end(), state) != removed.end() ||
           std::find(added.begin(), added.end(), state) != added.end();
  });
  states.insert(states.end(), added.begin(), added.end());
  if (states.empty()) {
    xcb_delete_property(connection, window, atoms.state);
  } else {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
  }
}

bool Usable(xcb_connection_t* connection, std::uint32_t window) {
  return connection != nullptr && xcb_connection_has_error(connection) == 0 && window != 0;
}

}  // namespace

void KeepAbove(xcb_connection_t* connection, std::uint32_t window, bool above, bool onScreen) {
  if (!Usable(connection, window)) return;
  const StateAtoms atoms = InternAtoms(connection);
  if (!atoms.Known()) return;
  if (onScreen) {
    AskWindowManager(connection, window, above, atoms.above, atoms.staysOnTop, atoms);
  } else if (above) {
    WriteStates(connection, window, atoms, {}, {atoms.above, atoms.staysOnTop});
  } else {
    WriteStates(connection, window, atoms, {atoms.above, atoms.staysOnTop}, {});
  }
}

void LeaveOutOfWindowLists(xcb_connection_t* connection, std::uint32_t window) {
  if (!Usable(connection, window)) return;
  const StateAtoms atoms = InternAtoms(connection);
  if (atoms.Known()) WriteStates(connection, window, atoms, {}, {atoms.skipTaskbar, atoms.skipPager});
}

}  // namespace mf::platform
