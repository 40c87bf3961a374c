#include "platform/x11/X11DesktopWindows.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

namespace mf::platform {
namespace {

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Collects a reply; an error (the window is gone, for one) becomes an empty
// reply and is dropped here, so it never reaches anyone's event queue.
template <typename T, typename Cookie>
Reply<T> Take(T* (*reply)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
              xcb_connection_t* connection, Cookie cookie) {
  xcb_generic_error_t* error = nullptr;
  Reply<T> result(reply(connection, cookie, &error));
  std::free(error);
  return result;
}

// Frames of common window managers put the client one to three levels down.
constexpr int kClientSearchDepth = 3;
// A frame with more children than this is not a plain frame; stop there.
constexpr int kMostChildrenLooked = 16;
constexpr std::uint32_t kAtomsRead = 32;
// How long a window's description and the screen's size are trusted.
// Maximising a window or changing the screen mode is rare and a character
// may stand on the old edge for this long; asking on every tick of every
// character cost the program and the server several per cent of a core.
constexpr auto kDescriptionLifetime = std::chrono::seconds(1);
// Following the structure events, a window that is maximised or goes full
// screen changes size and is described again at once; the age only catches
// a state changed without a change of size.
constexpr auto kFollowedDescriptionLifetime = std::chrono::seconds(10);
constexpr auto kScreenLifetime = std::chrono::seconds(1);

xcb_get_property_cookie_t AskProperty(xcb_connection_t* connection, xcb_window_t window,
                                      std::uint32_t atom) {
  return xcb_get_property(connection, 0, window, atom, XCB_ATOM_ANY, 0, kAtomsRead);
}

bool HasAtom(const xcb_get_property_reply_t* reply, std::uint32_t atom) {
  if (!reply || reply->format != 32 || atom == XCB_ATOM_NONE) return false;
  const auto* values = static_cast<const std::uint32_t*>(
      xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(reply)));
  int count = xcb_get_property_value_length(const_cast<xcb_get_property_reply_t*>(reply)) / 4;
  return std::find(values, values + count, atom) != values + count;
}

}  // namespace

X11DesktopWindows::X11DesktopWindows(const std::string& displayName,
                                     std::chrono::milliseconds listReuse)
    : listReuse_(listReuse) {
  xcb_connection_t* connection =
      xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return;
  }
  connection_ = connection;
  ownsConnection_ = true;
  Initialise();
}

X11DesktopWindows::X11DesktopWindows(xcb_connection_t* connection,
                                     std::chrono::milliseconds listReuse)
    : listReuse_(listReuse) {
  if (!connection || xcb_connection_has_error(connection)) return;
  connection_ = connection;
  Initialise();
}

X11DesktopWindows::~X11DesktopWindows() {
  if (ownsConnection_) xcb_disconnect(connection_);
}

void X11DesktopWindows::Initialise() {
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  const char* names[] = {"WM_STATE",
                         "_NET_WM_WINDOW_TYPE",
                         "_NET_WM_WINDOW_TYPE_DESKTOP",
                         "_NET_WM_WINDOW_TYPE_DOCK",
                         "_NET_WM_STATE",
                         "_NET_WM_STATE_FULLSCREEN",
                         "_NET_WM_STATE_MAXIMIZED_VERT",
                         "_NET_WM_STATE_HIDDEN",
                         "_GTK_FRAME_EXTENTS"};
  std::uint32_t* targets[] = {&atoms_.wmState,    &atoms_.windowType,      &atoms_.typeDesktop,
                              &atoms_.typeDock,   &atoms_.state,           &atoms_.stateFullscreen,
                              &atoms_.stateMaximizedVert, &atoms_.stateHidden,
                              &atoms_.gtkFrameExtents};
  constexpr std::size_t kCount = sizeof(names) / sizeof(names[0]);
  xcb_intern_atom_cookie_t cookies[kCount];
  for (std::size_t i = 0; i < kCount; ++i) {
    cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(names[i])),
                                 names[i]);
  }
  for (std::size_t i = 0; i < kCount; ++i) {
    auto reply = Take(xcb_intern_atom_reply, connection_, cookies[i]);
    *targets[i] = reply ? reply->atom : std::uint32_t{XCB_ATOM_NONE};
  }
}

Rect X11DesktopWindows::Screen() {
  if (!connection_) return {};
  auto now = Clock::now();
  if (screen_.Width() > 0 && now - screenRead_ < kScreenLifetime) return screen_;
  auto geometry = Take(xcb_get_geometry_reply, connection_, xcb_get_geometry(connection_, root_));
  if (!geometry) return {};
  screen_ = Rect{0, 0, geometry->width, geometry->height};
  screenRead_ = now;
  return screen_;
}

std::vector<DesktopWindow> X11DesktopWindows::TopLevelWindows() {
  std::vector<DesktopWindow> windows;
  ListTopLevelWindows(windows);
  return windows;
}

void X11DesktopWindows::ListTopLevelWindows(std::vector<DesktopWindow>& windows) {
  windows.clear();
  if (!connection_) return;
  auto now = Clock::now();
  if (listed_ && now - listedAt_ < listReuse_) {
    windows.assign(scratch_.rbegin(), scratch_.rend());
    return;
  }
  listed_ = false;
  std::vector<DesktopWindow>& bottomUp = scratch_;
  bottomUp.clear();
  if (following_) {
    ReadEvents();
    if (!treeKnown_) {
      if (!ReadTree(bottomUp)) return;
      treeKnown_ = true;
    }
    // Windows created since the last list: whether they can be seen at all.
    std::vector<std::pair<Child*, xcb_get_window_attributes_cookie_t>> asked;
    for (auto& child : children_) {
      if (child.classKnown) continue;
      asked.emplace_back(&child, xcb_get_window_attributes(connection_, child.id));
      ++requests_;
    }
    for (auto& [child, cookie] : asked) {
      auto attributes = Take(xcb_get_window_attributes_reply, connection_, cookie);
      child->classKnown = true;
      if (!attributes) continue;
      child->inputOnly = attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
      child->mapped = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    }
    bottomUp.clear();
    for (const auto& child : children_) {
      if (child.mapped && !child.inputOnly) bottomUp.push_back(DesktopWindow{child.id, child.rect, true});
    }
  } else if (!ReadTree(bottomUp)) {
    return;
  }

  ApplyDescriptions(bottomUp);
  listed_ = true;
  listedAt_ = now;
  // The server lists the root's children bottom to top.
  windows.assign(bottomUp.rbegin(), bottomUp.rend());
}

bool X11DesktopWindows::ReadTree(std::vector<DesktopWindow>& bottomUp) {
  auto tree = Take(xcb_query_tree_reply, connection_, xcb_query_tree(connection_, root_));
  ++requests_;
  if (!tree) return false;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  int count = xcb_query_tree_children_length(tree.get());

  std::vector<xcb_get_window_attributes_cookie_t> attributeCookies(count);
  std::vector<xcb_get_geometry_cookie_t> geometryCookies(count);
  for (int i = 0; i < count; ++i) {
    attributeCookies[i] = xcb_get_window_attributes(connection_, children[i]);
    geometryCookies[i] = xcb_get_geometry(connection_, children[i]);
  }
  requests_ += 2 * static_cast<std::uint64_t>(count);
  bottomUp.clear();
  if (following_) children_.clear();
  for (int i = 0; i < count; ++i) {
    auto attributes = Take(xcb_get_window_attributes_reply, connection_, attributeCookies[i]);
    auto geometry = Take(xcb_get_geometry_reply, connection_, geometryCookies[i]);
    if (!attributes || !geometry) continue;
    int border = geometry->border_width;
    Rect rect{geometry->x, geometry->y, geometry->x + geometry->width + 2 * border,
              geometry->y + geometry->height + 2 * border};
    const bool inputOnly = attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
    const bool viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    if (following_) children_.push_back(Child{children[i], rect, viewable, inputOnly, true});
    // Input-only windows cannot be seen, so nothing can stand on them.
    if (!viewable || inputOnly) continue;
    bottomUp.push_back(DesktopWindow{children[i], rect, true});
  }
  return true;
}

bool X11DesktopWindows::FollowEvents(EventLoop& loop) {
  if (!connection_ || !ownsConnection_) return false;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_);
  following_ = true;
  treeKnown_ = false;
  listed_ = false;
  eventWatch_ = std::make_unique<FdWatch>(loop);
  eventWatch_->Start(xcb_get_file_descriptor(connection_), EventLoop::Readiness::Read, [this] { ReadEvents(); });
  return true;
}

void X11DesktopWindows::ReadEvents() {
  if (!connection_) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if (following_ && treeKnown_) ApplyEvent(event);
    std::free(event);
    listed_ = false;
  }
}

std::vector<X11DesktopWindows::Child>::iterator X11DesktopWindows::FindChild(std::uint32_t id) {
  return std::find_if(children_.begin(), children_.end(), [id](const Child& c) { return c.id == id; });
}

void X11DesktopWindows::Restack(std::uint32_t id, std::uint32_t above, bool top) {
  auto it = FindChild(id);
  if (it == children_.end()) return;
  Child child = *it;
  children_.erase(it);
  if (top) {
    children_.push_back(child);
    return;
  }
  // Right above its sibling; at the bottom when it has none.
  auto sibling = above == XCB_NONE ? children_.end() : FindChild(above);
  children_.insert(sibling == children_.end() ? children_.begin() : sibling + 1, child);
}

void X11DesktopWindows::ApplyEvent(const void* generic) {
  const auto* event = static_cast<const xcb_generic_event_t*>(generic);
  // Several notifications carry the window they are about at the same place
  // as their own kinds; each is read through its own layout.
  switch (event->response_type & 0x7F) {
    case XCB_CREATE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(event);
      if (e->parent != root_) break;
      Rect rect{e->x, e->y, e->x + e->width + 2 * e->border_width, e->y + e->height + 2 * e->border_width};
      auto it = FindChild(e->window);
      if (it != children_.end()) children_.erase(it);
      // A new window starts unmapped on top of its siblings.
      children_.push_back(Child{e->window, rect, false, false, false});
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
      auto it = FindChild(e->window);
      if (it != children_.end()) children_.erase(it);
      break;
    }
    case XCB_MAP_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      auto it = FindChild(e->window);
      if (it != children_.end()) it->mapped = true;
      break;
    }
    case XCB_UNMAP_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
      auto it = FindChild(e->window);
      if (it != children_.end()) it->mapped = false;
      break;
    }
    case XCB_REPARENT_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
      auto it = FindChild(e->window);
      if (e->parent != root_) {
        if (it != children_.end()) children_.erase(it);
      } else if (it == children_.end()) {
        // Back on the root (its window manager let it go): its size and
        // state are asked with the next list.
        children_.push_back(Child{e->window, Rect{e->x, e->y, e->x, e->y}, false, false, false});
        treeKnown_ = false;
      }
      break;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      if (e->event != root_) break;
      auto it = FindChild(e->window);
      if (it == children_.end()) break;
      it->rect = Rect{e->x, e->y, e->x + e->width + 2 * e->border_width, e->y + e->height + 2 * e->border_width};
      Restack(e->window, e->above_sibling, false);
      break;
    }
    case XCB_GRAVITY_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_gravity_notify_event_t*>(event);
      auto it = FindChild(e->window);
      if (it == children_.end()) break;
      it->rect = Rect{e->x, e->y, e->x + it->rect.Width(), e->y + it->rect.Height()};
      break;
    }
    case XCB_CIRCULATE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_circulate_notify_event_t*>(event);
      auto it = FindChild(e->window);
      if (it == children_.end()) break;
      if (e->place == XCB_PLACE_ON_TOP) {
        Restack(e->window, XCB_NONE, true);
      } else {
        Child child = *it;
        children_.erase(it);
        children_.insert(children_.begin(), child);
      }
      break;
    }
    default:
      break;
  }
}

std::vector<std::uint32_t> X11DesktopWindows::ClientWindows(
    const std::vector<std::uint32_t>& frames) {
  std::vector<std::uint32_t> clients(frames);
  // Candidates still to look at, each with the frame it belongs to.
  std::vector<std::pair<std::size_t, xcb_window_t>> level;
  for (std::size_t i = 0; i < frames.size(); ++i) level.emplace_back(i, frames[i]);
  std::vector<bool> found(frames.size(), false);

  for (int depth = 0; depth <= kClientSearchDepth && !level.empty(); ++depth) {
    std::vector<xcb_get_property_cookie_t> stateCookies;
    std::vector<xcb_query_tree_cookie_t> treeCookies;
    for (const auto& [frame, window] : level) {
      stateCookies.push_back(AskProperty(connection_, window, atoms_.wmState));
      treeCookies.push_back(xcb_query_tree(connection_, window));
    }
    requests_ += 2 * level.size();
    std::vector<std::pair<std::size_t, xcb_window_t>> next;
    for (std::size_t k = 0; k < level.size(); ++k) {
      auto [frame, window] = level[k];
      auto state = Take(xcb_get_property_reply, connection_, stateCookies[k]);
      auto tree = Take(xcb_query_tree_reply, connection_, treeCookies[k]);
      if (found[frame]) continue;
      if (state && state->type != XCB_ATOM_NONE) {
        found[frame] = true;
        clients[frame] = window;
        continue;
      }
      if (!tree) continue;
      int childCount = xcb_query_tree_children_length(tree.get());
      if (childCount > kMostChildrenLooked) continue;
      const xcb_window_t* children = xcb_query_tree_children(tree.get());
      for (int c = 0; c < childCount; ++c) next.emplace_back(frame, children[c]);
    }
    level = std::move(next);
  }
  return clients;
}

void X11DesktopWindows::ApplyDescriptions(std::vector<DesktopWindow>& windows) {
  auto now = Clock::now();
  ++lists_;
  std::vector<std::uint32_t> unknown;
  std::vector<Description*> toDescribe;
  for (const auto& window : windows) {
    auto id = static_cast<std::uint32_t>(window.id);
    auto [entry, added] = described_.try_emplace(id);
    Description& description = entry->second;
    description.lastList = lists_;
    const auto lifetime = following_ ? kFollowedDescriptionLifetime : kDescriptionLifetime;
    if (added || now - description.when >= lifetime ||
        description.width != window.rect.Width() || description.height != window.rect.Height()) {
      unknown.push_back(id);
      toDescribe.push_back(&description);
      description.width = window.rect.Width();
      description.height = window.rect.Height();
    }
  }
  if (!unknown.empty()) {
    // The pointers stay valid although the map grew: its elements never move.
    Describe(ClientWindows(unknown), toDescribe);
    for (auto* description : toDescribe) description->when = now;
  }
  // Windows gone or unmapped since the last list; a window shown again is
  // simply described anew.
  std::erase_if(described_, [this](const auto& entry) { return entry.second.lastList != lists_; });

  for (auto& window : windows) {
    const Description& description = described_.at(static_cast<std::uint32_t>(window.id));
    window.counts = description.counts;
    const int* margin = description.margin;
    Rect& r = window.rect;
    Rect inner{r.left + margin[0], r.top + margin[2], r.right - margin[1], r.bottom - margin[3]};
    if (inner.Width() > 0 && inner.Height() > 0) r = inner;
  }
}

void X11DesktopWindows::Describe(const std::vector<std::uint32_t>& clients,
                                 std::vector<Description*>& descriptions) {
  std::vector<xcb_get_property_cookie_t> typeCookies;
  std::vector<xcb_get_property_cookie_t> stateCookies;
  std::vector<xcb_get_property_cookie_t> extentCookies;
  for (auto client : clients) {
    typeCookies.push_back(AskProperty(connection_, client, atoms_.windowType));
    stateCookies.push_back(AskProperty(connection_, client, atoms_.state));
    extentCookies.push_back(AskProperty(connection_, client, atoms_.gtkFrameExtents));
  }
  requests_ += 3 * clients.size();
  for (std::size_t i = 0; i < clients.size(); ++i) {
    auto type = Take(xcb_get_property_reply, connection_, typeCookies[i]);
    auto state = Take(xcb_get_property_reply, connection_, stateCookies[i]);
    auto extents = Take(xcb_get_property_reply, connection_, extentCookies[i]);
    Description& description = *descriptions[i];
    // Vertical maximising alone is enough: it is what brings a window's top
    // to the top of the work area. A hidden (minimised) window that stays
    // mapped shows nothing to stand on.
    description.counts =
        !(HasAtom(type.get(), atoms_.typeDesktop) || HasAtom(type.get(), atoms_.typeDock) ||
          HasAtom(state.get(), atoms_.stateFullscreen) ||
          HasAtom(state.get(), atoms_.stateMaximizedVert) ||
          HasAtom(state.get(), atoms_.stateHidden));
    // A window that draws its own frame includes an invisible shadow margin;
    // without it a character would stand in the air above the title bar.
    std::fill(std::begin(description.margin), std::end(description.margin), 0);
    if (extents && extents->format == 32 &&
        xcb_get_property_value_length(extents.get()) == 4 * 4) {
      const auto* margin = static_cast<const std::uint32_t*>(xcb_get_property_value(extents.get()));
      for (int k = 0; k < 4; ++k) description.margin[k] = static_cast<int>(margin[k]);
    }
  }
}

}  // namespace mf::platform
