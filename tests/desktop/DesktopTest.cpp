// Starts MFMail on a private X server and checks what a user would see:
// windows, their places and shapes, and how copies of the program meet.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/PrivateXServer.h"

// Xlib defines macros (None, Status, Bool) that clash with other headers:
// it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

extern char** environ;

namespace mf {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
// The window the characters should land on: full width, low enough that
// every entry point of a character lies above it.
constexpr int kFloorTop = 590;

// Waits for a condition, looking every 50 ms.
bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return condition();
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& log = "/dev/null") {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status of a child, once it has ended within the timeout.
std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
  std::optional<int> status;
  PollUntil(
      [&] {
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) != pid) return false;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
      },
      timeout);
  return status;
}

struct WindowInfo {
  Window id = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool viewable = false;
};

class Desktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<testing::PrivateXServer>(kScreenWidth, kScreenHeight); }
  static void TearDownTestSuite() {
    server_.reset();
  }

  void SetUp() override {
    if (server_->Name().empty()) GTEST_SKIP() << "Xvfb is not available";
    display_ = XOpenDisplay(server_->Name().c_str());
    ASSERT_NE(display_, nullptr);
    runtime_ = std::make_unique<platform::TemporaryFolder>();
  }

  void TearDown() override {
    for (pid_t pid : programs_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (display_) XCloseDisplay(display_);  // the test's windows go with it
  }

  std::string Home() const { return home_.Path(); }

  std::vector<std::string> Environment() const {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
      std::string text = *entry;
      // No desktop services of the user's session: whether a tray shows is
      // the test's choice.
      for (const char* name :
           {"DISPLAY=", "MFMAIL_HOME=", "XDG_RUNTIME_DIR=", "QT_QPA_PLATFORM=", "DBUS_SESSION_BUS_ADDRESS="}) {
        if (text.rfind(name, 0) == 0) text.clear();
      }
      // The X keyboard library hands strndup a buffer without a terminating
      // zero, which strndup allows but ASan's strict string checks report;
      // the program itself is still checked with every other option.
      if (text.rfind("ASAN_OPTIONS=", 0) == 0) text += ":strict_string_checks=0";
      if (!text.empty()) env.push_back(text);
    }
    env.push_back("DISPLAY=" + server_->Name());
    env.push_back("MFMAIL_HOME=" + Home());
    std::string runtime = runtime_->Path();
    runtime.pop_back();
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    env.push_back("QT_QPA_PLATFORM=xcb");
    return env;
  }

  pid_t StartProgram(std::vector<std::string> args = {}) {
    args.insert(args.begin(), MFMAIL_EXECUTABLE);
    // What the program says (sanitizer reports included) is kept beside
    // the screenshots.
    pid_t pid = Spawn(args, Environment(), std::string(DESKTOP_ARTEFACTS) + "/program.log");
    if (pid > 0) programs_.push_back(pid);
    return pid;
  }

  // Ends a program the way a session does; true when it ended by itself.
  bool Terminate(pid_t pid, int* status) {
    kill(pid, SIGTERM);
    auto result = WaitForExit(pid, 10s);
    if (!result) return false;
    programs_.erase(std::remove(programs_.begin(), programs_.end(), pid), programs_.end());
    *status = *result;
    return true;
  }

  // A character that drops from where it enters, lands and walks.
  void MakeWalker() {
    testing::CharacterSetup setup;
    setup.id = "<walker@test>";
    setup.name = "Walker";
    setup.scenes = {"drop\\1\\4\\1\\fall\\1\\1:0:0\\", "fall\\1\\2\\1\\\\1\\1:0:0\\",
                   "walk\\100\\0\\1\\\\1\\1:4:0\\2\\1:4:0\\"};
    testing::MakeCharacter(Home(), setup);
    testing::WriteList(Home() + "visibleDB.dat", {setup.id});
    testing::WriteList(Home() + "outDB.dat", {setup.id});
  }

  Window MakeWindow(int x, int y, int width, int height) {
    int screen = DefaultScreen(display_);
    Window window = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y, width, height, 0,
                                        BlackPixel(display_, screen), 0xC0C0C0);
    XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }

  std::string Name(Window window) {
    Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display_, window, netName, 0, 256, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
      name.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    return name;
  }

  // The top-level windows with that title, bottom to top.
  std::vector<WindowInfo> Windows(const std::string& title) {
    std::vector<WindowInfo> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
      return found;
    }
    for (unsigned int i = 0; i < count; ++i) {
      if (Name(children[i]) != title) continue;
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
      found.push_back(WindowInfo{children[i], attributes.x, attributes.y, attributes.width,
                                 attributes.height, attributes.map_state == IsViewable});
    }
    if (children) XFree(children);
    return found;
  }

  // The open pop-up menu: a shown override-redirect window wider than a character.
  std::optional<WindowInfo> Popup() {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return std::nullopt;
    std::optional<WindowInfo> popup;
    for (unsigned int i = 0; i < count && !popup; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
      if (attributes.override_redirect && attributes.map_state == IsViewable && attributes.width > 46) {
        popup = WindowInfo{children[i], attributes.x, attributes.y, attributes.width, attributes.height, true};
      }
    }
    if (children) XFree(children);
    return popup;
  }

  std::optional<WindowInfo> Viewable(const std::string& title) {
    for (const auto& window : Windows(title)) {
      if (window.viewable) return window;
    }
    return std::nullopt;
  }

  long ShapeArea(Window window) {
    int count = 0;
    int ordering = 0;
    XRectangle* rects = XShapeGetRectangles(display_, window, ShapeBounding, &count, &ordering);
    long area = 0;
    for (int i = 0; i < count; ++i) area += static_cast<long>(rects[i].width) * rects[i].height;
    if (rects) XFree(rects);
    return area;
  }

  void Screenshot(const std::string& name) {
    std::string path = std::string(DESKTOP_ARTEFACTS) + "/" + name;
    pid_t pid = Spawn({"import", "-display", server_->Name(), "-window", "root", path}, Environment());
    if (pid > 0) WaitForExit(pid, 20s);
  }

  bool Xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    pid_t pid = Spawn(args, Environment());
    if (pid <= 0) return false;
    auto status = WaitForExit(pid, 10s);
    return status && *status == 0;
  }

  // Clicks the hut's own close button.
  bool ClickHutClose(const WindowInfo& hut) {
    // The close button: 17 x 17 at (323, 4) of the menu strip, which starts
    // at (50, 97) of the hut.
    return Xdotool({"mousemove", std::to_string(hut.x + 50 + 323 + 8), std::to_string(hut.y + 97 + 4 + 8),
                    "click", "1"});
  }

  // Becomes the system tray of the screen, as a panel starting does; it
  // goes with the test's connection.
  Window StartTray() {
    Window root = DefaultRootWindow(display_);
    Window tray = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
    Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
    XSetSelectionOwner(display_, selection, tray, CurrentTime);
    XEvent manager{};
    manager.xclient.type = ClientMessage;
    manager.xclient.window = root;
    manager.xclient.message_type = XInternAtom(display_, "MANAGER", False);
    manager.xclient.format = 32;
    manager.xclient.data.l[0] = CurrentTime;
    manager.xclient.data.l[1] = static_cast<long>(selection);
    manager.xclient.data.l[2] = static_cast<long>(tray);
    XSendEvent(display_, root, False, StructureNotifyMask, &manager);
    XSync(display_, False);
    return tray;
  }

  // Whether an icon asked the tray to take it in (the system tray
  // protocol's dock request).
  bool IconDocked() {
    Atom opcode = XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == ClientMessage && event.xclient.message_type == opcode && event.xclient.data.l[1] == 0) {
        return true;
      }
    }
    return false;
  }

  bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

  static std::unique_ptr<testing::PrivateXServer> server_;
  Display* display_ = nullptr;
  platform::TemporaryFolder home_;
  std::unique_ptr<platform::TemporaryFolder> runtime_;
  std::vector<pid_t> programs_;
};

std::unique_ptr<testing::PrivateXServer> Desktop::server_;

const std::string kHutTitle = "小屋";
const std::string kCharacterTitle = "モフタンキャラクター";

TEST_F(Desktop, SilentStartPutsCharactersOutAndASecondStartShowsTheHut) {
  MakeWalker();
  MakeWindow(0, kFloorTop, kScreenWidth, kScreenHeight - kFloorTop);
  // A tray: the one way back to a hut hidden from the start.
  StartTray();
  pid_t first = StartProgram({"/s"});
  ASSERT_GT(first, 0);

  // The character window appears; the hut exists but stays hidden, and the
  // settings file names it.
  std::optional<WindowInfo> character;
  ASSERT_TRUE(PollUntil([&] { return (character = Viewable(kCharacterTitle)).has_value(); }, 15s));
  auto huts = Windows(kHutTitle);
  ASSERT_EQ(huts.size(), 1u);
  EXPECT_FALSE(huts[0].viewable);
  std::string handle = platform::IniFile(Home() + "MFMail.ini").ReadString("Main", "Handle", "");
  EXPECT_EQ(handle, std::to_string(huts[0].id));

  // Shaped to the picture: the square, not the whole 46 x 46.
  EXPECT_EQ(character->width, 46);
  long area = ShapeArea(character->id);
  EXPECT_GT(area, 0);
  EXPECT_LT(area, 46 * 46);

  // It lands on the window's top edge and walks along it.
  auto onFloor = [&] {
    character = Viewable(kCharacterTitle);
    return character && character->y + character->height == kFloorTop;
  };
  ASSERT_TRUE(PollUntil(onFloor, 20s)) << "character at " << (character ? character->y : -1);
  int landedAt = character->x;
  ASSERT_TRUE(PollUntil([&] { return onFloor() && character->x != landedAt; }, 30s));
  Screenshot("desktop-walking.png");

  // Dragged into the air it stands still while held, then falls back.
  int grabX = character->x + 22;
  int grabY = character->y + 22;
  ASSERT_TRUE(Xdotool({"mousemove", std::to_string(grabX), std::to_string(grabY), "mousedown", "1",
                       "mousemove", "400", "200", "sleep", "0.1", "mousemove", "402", "202"}));
  std::optional<WindowInfo> held;
  ASSERT_TRUE(PollUntil([&] { return (held = Viewable(kCharacterTitle)) && held->y == 202 - 22; }, 5s));
  std::this_thread::sleep_for(600ms);
  auto still = Viewable(kCharacterTitle);
  ASSERT_TRUE(still.has_value());
  EXPECT_EQ(still->x, held->x);
  EXPECT_EQ(still->y, held->y);
  ASSERT_TRUE(Xdotool({"mouseup", "1", "mousemove", "5", "5"}));
  EXPECT_TRUE(PollUntil(onFloor, 10s));

  // A second copy asks the first to show its hut and ends by itself.
  pid_t second = StartProgram();
  ASSERT_GT(second, 0);
  auto status = WaitForExit(second, 15s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  programs_.erase(std::remove(programs_.begin(), programs_.end(), second), programs_.end());
  EXPECT_TRUE(PollUntil([&] { return Viewable(kHutTitle).has_value(); }, 10s));
  EXPECT_EQ(Windows(kHutTitle).size(), 1u);
  Screenshot("desktop-hut.png");

  // The session ends: the program leaves cleanly.
  int exit = -1;
  ASSERT_TRUE(Terminate(first, &exit));
  EXPECT_EQ(exit, 0);
}

TEST_F(Desktop, NormalStartShowsTheHutShapedLikeAHouse) {
  MakeWalker();
  testing::WriteList(Home() + "outDB.dat", {});
  pid_t program = StartProgram();
  ASSERT_GT(program, 0);

  std::optional<WindowInfo> hut;
  ASSERT_TRUE(PollUntil([&] { return (hut = Viewable(kHutTitle)).has_value(); }, 15s));
  EXPECT_EQ(hut->width, 444);
  EXPECT_EQ(hut->height, 354);
  long area = ShapeArea(hut->id);
  EXPECT_LT(area, 444 * 354 - 2 * 50 * (354 - 97));
  EXPECT_GT(area, (444 - 100) * (354 - 97));
  // Nobody is out.
  EXPECT_FALSE(Viewable(kCharacterTitle).has_value());

  int exit = -1;
  ASSERT_TRUE(Terminate(program, &exit));
  EXPECT_EQ(exit, 0);
}

// Going out from the hut's menu and coming home from the character's own
// menu, and both states kept across a restart.
TEST_F(Desktop, GoingOutAndComingHomeSurviveARestart) {
  testing::CharacterSetup home;
  home.folderName = "char1";
  home.id = "<home@test>";
  home.name = "Home";
  home.scenes = testing::StandingScenes();
  testing::CharacterSetup out = home;
  out.folderName = "char2";
  out.id = "<out@test>";
  out.name = "Out";
  testing::MakeCharacter(Home(), home);
  testing::MakeCharacter(Home(), out);
  testing::WriteList(Home() + "visibleDB.dat", {home.id, out.id});
  testing::WriteList(Home() + "outDB.dat", {out.id});
  MakeWindow(0, kFloorTop, kScreenWidth, kScreenHeight - kFloorTop);

  // Started with the desktop, so the hut stays out of the way at first (the
  // tray could bring it back).
  StartTray();
  pid_t program = StartProgram({"/s"});
  ASSERT_GT(program, 0);

  // The character that is out comes home from its own right-click menu.
  std::optional<WindowInfo> walker;
  ASSERT_TRUE(PollUntil([&] { return (walker = Viewable(kCharacterTitle)).has_value(); }, 15s));
  // It may stand in the air, fall or walk, so aim at where it is now and try
  // again if it moved away before the click.
  bool cameHome = false;
  for (int attempt = 0; attempt < 10 && !cameHome; ++attempt) {
    walker = Viewable(kCharacterTitle);
    ASSERT_TRUE(walker.has_value());
    ASSERT_TRUE(Xdotool({"mousemove", std::to_string(walker->x + 23), std::to_string(walker->y + 30), "click", "3"}));
    std::optional<WindowInfo> menu;
    if (!PollUntil([&] { return (menu = Popup()).has_value(); }, 5s)) continue;
    // "小屋に戻す(&R)" is the first of its two items.
    ASSERT_TRUE(Xdotool({"mousemove", std::to_string(menu->x + menu->width / 2),
                         std::to_string(menu->y + menu->height / 4), "sleep", "0.2", "click", "1"}));
    cameHome = PollUntil([&] { return !Viewable(kCharacterTitle).has_value(); }, 3s);
    if (!cameHome) PollUntil([&] { return !Popup().has_value(); }, 3s);
  }
  EXPECT_TRUE(cameHome);

  // A second start shows the hut; the character in it goes out from the
  // hut's right-click menu: the first list item sits at the top left of the
  // list, under the menu bar.
  pid_t second = StartProgram();
  ASSERT_GT(second, 0);
  ASSERT_TRUE(WaitForExit(second, 15s).has_value());
  programs_.erase(std::remove(programs_.begin(), programs_.end(), second), programs_.end());
  std::optional<WindowInfo> hut;
  ASSERT_TRUE(PollUntil([&] { return (hut = Viewable(kHutTitle)).has_value(); }, 15s));
  ASSERT_TRUE(Xdotool({"mousemove", std::to_string(hut->x + 85), std::to_string(hut->y + 150), "click", "3"}));
  ASSERT_TRUE(PollUntil([&] { return Popup().has_value(); }, 5s));
  std::this_thread::sleep_for(300ms);  // the menu takes the keyboard once shown
  Screenshot("desktop-hut-menu.png");
  ASSERT_TRUE(Xdotool({"key", "o"}));
  EXPECT_TRUE(PollUntil([&] { return Viewable(kCharacterTitle).has_value(); }, 10s));
  EXPECT_TRUE(PollUntil([&] {
    auto lines = platform::ReadFile(Home() + "outDB.dat");
    return lines && *lines == home.id + "\r\n";
  }, 5s));

  int exit = -1;
  ASSERT_TRUE(Terminate(program, &exit));
  EXPECT_EQ(exit, 0);

  // After a restart the same character is out and the other stays home.
  program = StartProgram({"/s"});
  ASSERT_GT(program, 0);
  ASSERT_TRUE(PollUntil([&] { return Viewable(kCharacterTitle).has_value(); }, 15s));
  std::this_thread::sleep_for(1s);
  int shown = 0;
  for (const auto& window : Windows(kCharacterTitle)) shown += window.viewable ? 1 : 0;
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(*platform::ReadFile(Home() + "outDB.dat"), home.id + "\r\n");
  ASSERT_TRUE(Terminate(program, &exit));
  EXPECT_EQ(exit, 0);
}

// On a desktop without a tray nothing else could end the program or bring
// the hut back: closing the hut ends the program. A tray that comes up later
// takes the icon, and the hut only hides again.
TEST_F(Desktop, WithoutATrayClosingTheHutEndsTheProgram) {
  MakeWalker();
  pid_t program = StartProgram();
  ASSERT_GT(program, 0);
  std::optional<WindowInfo> hut;
  ASSERT_TRUE(PollUntil([&] { return (hut = Viewable(kHutTitle)).has_value(); }, 15s));
  ASSERT_TRUE(ClickHutClose(*hut));
  auto status = WaitForExit(program, 15s);
  ASSERT_TRUE(status.has_value()) << "the program still runs with its hut closed and no tray";
  programs_.erase(std::remove(programs_.begin(), programs_.end(), program), programs_.end());
  EXPECT_EQ(*status, 0);
}

TEST_F(Desktop, ATrayThatComesUpLaterTakesTheIconAndTheHutOnlyHides) {
  MakeWalker();
  pid_t program = StartProgram();
  ASSERT_GT(program, 0);
  std::optional<WindowInfo> hut;
  ASSERT_TRUE(PollUntil([&] { return (hut = Viewable(kHutTitle)).has_value(); }, 15s));
  StartTray();
  EXPECT_TRUE(PollUntil([&] { return IconDocked(); }, 10s));

  ASSERT_TRUE(ClickHutClose(*hut));
  EXPECT_TRUE(PollUntil([&] { return !Viewable(kHutTitle).has_value(); }, 10s));
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(Running(program));
  int exit = -1;
  ASSERT_TRUE(Terminate(program, &exit));
  EXPECT_EQ(exit, 0);
}

}  // namespace
}  // namespace mf
