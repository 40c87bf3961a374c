#include "platform/x11/X11DesktopWindows.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/PollEventLoop.h"
#include "tests/support/PrivateXServer.h"

namespace mf::platform {
namespace {

class X11Windows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<testing::PrivateXServer>(1024, 768); }
  static void TearDownTestSuite() {
    server_.reset();
  }

  void SetUp() override {
    if (server_->Name().empty()) GTEST_SKIP() << "Xvfb is not available";
    connection_ = xcb_connect(server_->Name().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection_));
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Every list read afresh, so that each check sees the change before it.
    desktop_ = std::make_unique<X11DesktopWindows>(server_->Name(), std::chrono::milliseconds(0));
    ASSERT_TRUE(desktop_->Connected());
  }
  void TearDown() override {
    desktop_.reset();
    if (connection_) xcb_disconnect(connection_);  // its windows go with it
  }

  xcb_window_t MakeWindow(xcb_window_t parent, int x, int y, int width, int height, int border = 0,
                          bool map = true) {
    xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, parent, x, y, width, height,
                      border, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (map) xcb_map_window(connection_, window);
    return window;
  }
  xcb_atom_t Atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
    xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
  }
  void SetAtoms(xcb_window_t window, const char* property, std::initializer_list<const char*> values) {
    std::vector<xcb_atom_t> atoms;
    for (const char* value : values) atoms.push_back(Atom(value));
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom(property), XCB_ATOM_ATOM,
                        32, atoms.size(), atoms.data());
  }
  // Makes sure the server has handled everything sent so far.
  void Sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

  const DesktopWindow* Find(const std::vector<DesktopWindow>& windows, xcb_window_t id) {
    for (const auto& window : windows) {
      if (window.id == id) return &window;
    }
    return nullptr;
  }
  int IndexOf(const std::vector<DesktopWindow>& windows, xcb_window_t id) {
    for (std::size_t i = 0; i < windows.size(); ++i) {
      if (windows[i].id == id) return static_cast<int>(i);
    }
    return -1;
  }

  static std::unique_ptr<testing::PrivateXServer> server_;
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  std::unique_ptr<X11DesktopWindows> desktop_;
};

std::unique_ptr<testing::PrivateXServer> X11Windows::server_;

TEST_F(X11Windows, TopmostFirstWithOuterRectangles) {
  xcb_window_t lower = MakeWindow(root_, 100, 200, 300, 150);
  xcb_window_t upper = MakeWindow(root_, 150, 250, 200, 100, /*border=*/2);
  xcb_window_t hidden = MakeWindow(root_, 10, 10, 50, 50, 0, /*map=*/false);
  Sync();

  auto windows = desktop_->TopLevelWindows();
  ASSERT_NE(Find(windows, lower), nullptr);
  ASSERT_NE(Find(windows, upper), nullptr);
  EXPECT_EQ(Find(windows, hidden), nullptr);
  EXPECT_LT(IndexOf(windows, upper), IndexOf(windows, lower));
  EXPECT_EQ(Find(windows, lower)->rect, (Rect{100, 200, 400, 350}));
  EXPECT_EQ(Find(windows, upper)->rect, (Rect{150, 250, 354, 354}));
  EXPECT_TRUE(Find(windows, lower)->counts);

  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_, lower, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  Sync();
  desktop_->ListTopLevelWindows(windows);
  EXPECT_LT(IndexOf(windows, lower), IndexOf(windows, upper));
  EXPECT_EQ(desktop_->Screen(), (Rect{0, 0, 1024, 768}));
}

TEST_F(X11Windows, PanelsMaximisedAndFullScreenClientsDoNotCount) {
  xcb_window_t dock = MakeWindow(root_, 0, 10, 1024, 30);
  SetAtoms(dock, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DOCK"});
  xcb_window_t maximised = MakeWindow(root_, 0, 40, 1024, 700);
  SetAtoms(maximised, "_NET_WM_STATE", {"_NET_WM_STATE_FOCUSED", "_NET_WM_STATE_MAXIMIZED_VERT"});
  xcb_window_t wide = MakeWindow(root_, 0, 300, 1024, 100);
  SetAtoms(wide, "_NET_WM_STATE", {"_NET_WM_STATE_MAXIMIZED_HORZ"});
  // A window manager's frame with the client two levels down.
  xcb_window_t frame = MakeWindow(root_, 50, 60, 500, 400);
  xcb_window_t wrapper = MakeWindow(frame, 5, 25, 490, 370);
  xcb_window_t client = MakeWindow(wrapper, 0, 0, 490, 370);
  std::uint32_t normal[2] = {1, 0};
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, client, Atom("WM_STATE"),
                      Atom("WM_STATE"), 32, 2, normal);
  SetAtoms(client, "_NET_WM_STATE", {"_NET_WM_STATE_FULLSCREEN"});
  xcb_window_t minimised = MakeWindow(root_, 600, 500, 100, 100);
  SetAtoms(minimised, "_NET_WM_STATE", {"_NET_WM_STATE_HIDDEN"});
  Sync();

  auto windows = desktop_->TopLevelWindows();
  ASSERT_NE(Find(windows, dock), nullptr);
  EXPECT_FALSE(Find(windows, dock)->counts);
  EXPECT_FALSE(Find(windows, maximised)->counts);
  EXPECT_TRUE(Find(windows, wide)->counts);
  ASSERT_NE(Find(windows, frame), nullptr);
  EXPECT_EQ(Find(windows, client), nullptr);
  EXPECT_EQ(Find(windows, frame)->rect, (Rect{50, 60, 550, 460}));
  EXPECT_FALSE(Find(windows, frame)->counts);
  EXPECT_FALSE(Find(windows, minimised)->counts);
}

TEST_F(X11Windows, OwnFrameShadowIsNotPartOfTheWindow) {
  xcb_window_t drawn = MakeWindow(root_, 200, 100, 400, 300);
  std::uint32_t margin[4] = {10, 10, 20, 30};  // left, right, top, bottom
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, drawn, Atom("_GTK_FRAME_EXTENTS"),
                      XCB_ATOM_CARDINAL, 32, 4, margin);
  Sync();
  auto windows = desktop_->TopLevelWindows();
  ASSERT_NE(Find(windows, drawn), nullptr);
  EXPECT_EQ(Find(windows, drawn)->rect, (Rect{210, 120, 590, 370}));
  EXPECT_TRUE(Find(windows, drawn)->counts);
}

// What a window is gets read again only now and then; where it is and
// whether it is shown must still be right on every call.
TEST_F(X11Windows, KeptDescriptionsFollowTheDesktop) {
  xcb_window_t plain = MakeWindow(root_, 100, 100, 300, 200);
  xcb_window_t drawn = MakeWindow(root_, 500, 100, 200, 200);
  std::uint32_t margin[4] = {10, 10, 20, 30};
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, drawn, Atom("_GTK_FRAME_EXTENTS"),
                      XCB_ATOM_CARDINAL, 32, 4, margin);
  xcb_window_t doomed = MakeWindow(root_, 50, 600, 100, 100);
  xcb_window_t growing = MakeWindow(root_, 700, 500, 100, 100);
  Sync();
  auto windows = desktop_->TopLevelWindows();
  ASSERT_NE(Find(windows, plain), nullptr);
  EXPECT_TRUE(Find(windows, plain)->counts);
  ASSERT_NE(Find(windows, doomed), nullptr);
  std::size_t described = desktop_->DescribedWindows();

  // Moved, resized and destroyed windows show at once, and a new window is
  // described the first time it is seen; a change of size (as maximising
  // brings) has the window described again.
  SetAtoms(growing, "_NET_WM_STATE", {"_NET_WM_STATE_MAXIMIZED_VERT"});
  const std::uint32_t size[2] = {100, 700};
  xcb_configure_window(connection_, growing, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  const std::uint32_t place[2] = {520, 140};
  xcb_configure_window(connection_, drawn, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
  xcb_destroy_window(connection_, doomed);
  xcb_window_t dock = MakeWindow(root_, 0, 10, 1024, 30);
  SetAtoms(dock, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DOCK"});
  xcb_window_t fresh = MakeWindow(root_, 300, 400, 100, 100);
  Sync();
  desktop_->ListTopLevelWindows(windows);
  EXPECT_EQ(Find(windows, doomed), nullptr);
  ASSERT_NE(Find(windows, drawn), nullptr);
  EXPECT_EQ(Find(windows, drawn)->rect, (Rect{530, 160, 710, 310}));
  ASSERT_NE(Find(windows, dock), nullptr);
  EXPECT_FALSE(Find(windows, dock)->counts);
  ASSERT_NE(Find(windows, fresh), nullptr);
  EXPECT_TRUE(Find(windows, fresh)->counts);
  ASSERT_NE(Find(windows, growing), nullptr);
  EXPECT_FALSE(Find(windows, growing)->counts);
  // The destroyed window is forgotten, not kept for ever.
  EXPECT_EQ(desktop_->DescribedWindows(), described + 1);

  // Maximising without a change of size and losing the own frame take
  // effect within about a second.
  SetAtoms(plain, "_NET_WM_STATE", {"_NET_WM_STATE_MAXIMIZED_VERT"});
  xcb_delete_property(connection_, drawn, Atom("_GTK_FRAME_EXTENTS"));
  xcb_unmap_window(connection_, fresh);
  Sync();
  desktop_->ListTopLevelWindows(windows);
  EXPECT_EQ(Find(windows, fresh), nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  desktop_->ListTopLevelWindows(windows);
  ASSERT_NE(Find(windows, plain), nullptr);
  EXPECT_FALSE(Find(windows, plain)->counts);
  ASSERT_NE(Find(windows, drawn), nullptr);
  EXPECT_EQ(Find(windows, drawn)->rect, (Rect{520, 140, 720, 340}));

  // Shown again, a window is described afresh.
  xcb_map_window(connection_, fresh);
  SetAtoms(fresh, "_NET_WM_STATE", {"_NET_WM_STATE_FULLSCREEN"});
  Sync();
  desktop_->ListTopLevelWindows(windows);
  ASSERT_NE(Find(windows, fresh), nullptr);
  EXPECT_FALSE(Find(windows, fresh)->counts);
}

// Characters ticking together share one list; it is read again once it
// has aged.
TEST_F(X11Windows, ListIsSharedForAShortTime) {
  using namespace std::chrono;
  constexpr auto kReuse = milliseconds(1000);
  X11DesktopWindows shared(server_->Name(), kReuse);
  xcb_window_t window = MakeWindow(root_, 100, 100, 200, 200);
  Sync();
  auto read = steady_clock::now();
  auto first = shared.TopLevelWindows();
  ASSERT_NE(Find(first, window), nullptr);

  const std::uint32_t place[2] = {300, 400};
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
  Sync();
  std::vector<DesktopWindow> again;
  shared.ListTopLevelWindows(again);
  // A slow machine may have let the list age already.
  if (steady_clock::now() - read < kReuse) {
    EXPECT_EQ(again.size(), first.size());
    ASSERT_NE(Find(again, window), nullptr);
    EXPECT_EQ(Find(again, window)->rect, (Rect{100, 100, 300, 300}));
  }

  std::this_thread::sleep_for(kReuse + milliseconds(50));
  shared.ListTopLevelWindows(again);
  ASSERT_NE(Find(again, window), nullptr);
  EXPECT_EQ(Find(again, window)->rect, (Rect{300, 400, 500, 600}));
}

// Following the structure events, each list equals one read afresh from
// the server, and a list with nothing changed asks the server nothing.
TEST_F(X11Windows, FollowingEventsListsWhatTheServerHas) {
  PollEventLoop loop;
  ASSERT_TRUE(desktop_->FollowEvents(loop));
  X11DesktopWindows fresh(server_->Name(), std::chrono::milliseconds(0));
  auto same = [&] {
    // Events reach the followed connection a moment after the change.
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (desktop_->TopLevelWindows() == fresh.TopLevelWindows()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  xcb_window_t a = MakeWindow(root_, 10, 300, 200, 100);
  xcb_window_t b = MakeWindow(root_, 100, 350, 200, 100, 2);
  xcb_window_t c = MakeWindow(root_, 500, 400, 100, 100, 0, /*map=*/false);
  Sync();
  ASSERT_TRUE(same());
  const std::uint32_t moved[] = {40, 320, 250, 90};
  const std::uint32_t raised[] = {XCB_STACK_MODE_ABOVE};
  const std::uint32_t lowered[] = {XCB_STACK_MODE_BELOW};
  const std::function<void()> steps[] = {
      [&] { xcb_map_window(connection_, c); },
      [&] {
        xcb_configure_window(connection_, a,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             moved);
      },
      [&] { xcb_configure_window(connection_, a, XCB_CONFIG_WINDOW_STACK_MODE, raised); },
      [&] { xcb_configure_window(connection_, c, XCB_CONFIG_WINDOW_STACK_MODE, lowered); },
      [&] { xcb_circulate_window(connection_, XCB_CIRCULATE_RAISE_LOWEST, root_); },
      [&] { xcb_unmap_window(connection_, b); },
      [&] { xcb_reparent_window(connection_, c, a, 0, 0); },
      [&] { xcb_map_window(connection_, b); },
      [&] { xcb_destroy_window(connection_, a); },
      [&] { MakeWindow(root_, 0, 600, 1024, 100); },
  };
  int step = 0;
  for (const auto& change : steps) {
    change();
    Sync();
    EXPECT_TRUE(same()) << "after step " << step;
    ++step;
  }
  const std::uint64_t before = desktop_->Requests();
  for (int i = 0; i < 10; ++i) desktop_->TopLevelWindows();
  EXPECT_EQ(desktop_->Requests(), before);
  desktop_.reset();  // its event watch goes before the loop
}

TEST_F(X11Windows, NoDisplayGivesAnEmptyList) {
  X11DesktopWindows nowhere(":99999");
  EXPECT_FALSE(nowhere.Connected());
  EXPECT_TRUE(nowhere.TopLevelWindows().empty());
  EXPECT_EQ(nowhere.Screen(), Rect{});
}

}  // namespace
}  // namespace mf::platform
