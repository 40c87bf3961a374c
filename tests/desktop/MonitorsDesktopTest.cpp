// The real program on several monitors (Xorg's dummy driver, arranged with
// xrandr while it runs) and on scaled screens (Xvfb with Qt's scale
// factors), looked at through X11: where the characters are, how large,
// and which of their pixels show and take clicks.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "character/MonitorLayout.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/DummyXorg.h"
#include "tests/support/PrivateXServer.h"

// Xlib's macros clash with other headers: it comes last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

extern char** environ;

namespace mf {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::Rect;

const std::string kCharacterTitle = "モフタンキャラクター";

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = 50ms) {
  auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(step);
  }
  return condition();
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& log) {
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

bool Finished(pid_t pid, std::chrono::milliseconds timeout, int* status) {
  return PollUntil(
      [&] {
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) != pid) return false;
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
      },
      timeout, 20ms);
}

struct Shown {
  Window id = 0;
  Rect rect;
};

// The desktop a test sees: its own X connection, the program it started.
class ProgramOnDisplay {
 public:
  ProgramOnDisplay(std::string display, std::vector<std::string> extraEnv)
      : display_(std::move(display)), extraEnv_(std::move(extraEnv)) {
    x_ = XOpenDisplay(display_.c_str());
  }
  ~ProgramOnDisplay() {
    Stop();
    if (x_) XCloseDisplay(x_);
  }

  Display* X() const { return x_; }
  std::string Home() const { return home_.Path(); }

  std::vector<std::string> Environment() const {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
      std::string text = *entry;
      for (const char* name : {"DISPLAY=", "MFMAIL_HOME=", "XDG_RUNTIME_DIR=", "QT_QPA_PLATFORM=",
                               "DBUS_SESSION_BUS_ADDRESS=", "QT_SCALE_FACTOR=", "QT_SCREEN_SCALE_FACTORS="}) {
        if (text.rfind(name, 0) == 0) text.clear();
      }
      if (text.rfind("ASAN_OPTIONS=", 0) == 0) text += ":strict_string_checks=0";
      if (!text.empty()) env.push_back(text);
    }
    env.push_back("DISPLAY=" + display_);
    env.push_back("MFMAIL_HOME=" + Home());
    std::string runtime = runtime_.Path();
    runtime.pop_back();
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    env.push_back("QT_QPA_PLATFORM=xcb");
    env.insert(env.end(), extraEnv_.begin(), extraEnv_.end());
    return env;
  }

  // Characters of the starter kind, all out: they walk, fall, climb and fly.
  void StarterCharacters(int count) {
    std::vector<std::string> ids;
    for (int n = 1; n <= count; ++n) {
      const std::string starter = "char" + std::to_string((n - 1) % 3 + 1);
      const std::string folder = Home() + "char" + std::to_string(n);
      CopyFolder(std::string(MFMAIL_ASSETS) + "/" + starter, folder);
      CopyFolder(std::string(MFMAIL_ASSETS) + "/" + starter + "r", folder + "r");
      auto scene = platform::ReadFile(folder + "/scene.txt");
      ASSERT_TRUE(scene.has_value());
      const std::string id = "<monitors" + std::to_string(n) + "@test>";
      platform::WriteFileAtomic(folder + "/scene.txt", id + scene->substr(scene->find("\r\n")));
      ids.push_back(id);
    }
    testing::WriteList(Home() + "visibleDB.dat", ids);
    testing::WriteList(Home() + "outDB.dat", ids);
  }

  // Characters of square pictures, out, with the given scenes.
  void SquareCharacters(const std::vector<std::string>& scenes, int count = 1) {
    std::vector<std::string> ids;
    for (int n = 1; n <= count; ++n) {
      testing::CharacterSetup setup;
      setup.folderName = "char" + std::to_string(n);
      setup.id = "<square" + std::to_string(n) + "@test>";
      setup.scenes = scenes;
      testing::MakeCharacter(Home(), setup);
      ids.push_back(setup.id);
    }
    testing::WriteList(Home() + "visibleDB.dat", ids);
    testing::WriteList(Home() + "outDB.dat", ids);
  }

  bool Start() {
    pid_ = Spawn({MFMAIL_EXECUTABLE, "/s"}, Environment(), std::string(DESKTOP_ARTEFACTS) + "/monitors-program.log");
    return pid_ > 0;
  }
  bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!Finished(pid_, 10s, &status)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  bool Run(std::vector<std::string> args) {
    pid_t pid = Spawn(args, Environment(), std::string(DESKTOP_ARTEFACTS) + "/monitors-tools.log");
    int status = -1;
    return pid > 0 && Finished(pid, 20s, &status) && status == 0;
  }

  void Screenshot(const std::string& name) {
    Run({"import", "-display", display_, "-window", "root", std::string(DESKTOP_ARTEFACTS) + "/" + name});
  }

  // The character windows shown now.
  std::vector<Shown> Characters() { return Titled(kCharacterTitle); }

  // The windows of that title shown now.
  std::vector<Shown> Titled(const std::string& title) {
    std::vector<Shown> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count)) return found;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(x_, children[i], &attributes) || attributes.map_state != IsViewable) continue;
      if (Title(children[i]) != title) continue;
      found.push_back(Shown{children[i], Rect{attributes.x, attributes.y, attributes.x + attributes.width,
                                              attributes.y + attributes.height}});
    }
    if (children) XFree(children);
    return found;
  }

  std::vector<XRectangle> ShapeOf(Window window) {
    int count = 0;
    int ordering = 0;
    XRectangle* rects = XShapeGetRectangles(x_, window, ShapeBounding, &count, &ordering);
    std::vector<XRectangle> shape(rects, rects + count);
    if (rects) XFree(rects);
    return shape;
  }

 private:
  static void CopyFolder(const std::string& from, const std::string& to) {
    platform::CreateFolder(to);
    for (const auto& name : platform::ListFolder(from, "*", platform::ListKind::FilesOnly)) {
      auto bytes = platform::ReadFile(from + "/" + name);
      if (bytes) platform::WriteFileAtomic(to + "/" + name, *bytes);
    }
  }

  std::string Title(Window window) {
    Atom utf8 = XInternAtom(x_, "UTF8_STRING", False);
    Atom netName = XInternAtom(x_, "_NET_WM_NAME", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(x_, window, netName, 0, 256, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
      name.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    return name;
  }

  std::string display_;
  std::vector<std::string> extraEnv_;
  Display* x_ = nullptr;
  platform::TemporaryFolder home_;
  platform::TemporaryFolder runtime_;
  pid_t pid_ = -1;
};

// ---------------------------------------------------------------- several monitors

struct Arrangement {
  const char* name;
  // The second monitor: its mode and place (xrandr), the first being
  // 1280 x 800 at the origin.
  const char* mode;
  int x;
  int y;
};

Rect SecondMonitor(const Arrangement& a) {
  int width = std::atoi(a.mode);
  int height = std::atoi(std::string(a.mode).substr(std::string(a.mode).find('x') + 1).c_str());
  return Rect{a.x, a.y, a.x + width, a.y + height};
}

MonitorLayout LayoutOf(const Arrangement& a) {
  const Rect first{0, 0, 1280, 800};
  const Rect second = SecondMonitor(a);
  return MonitorLayout({Monitor{first, first, 1.0}, Monitor{second, second, 1.0}});
}

class Monitors : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    artefacts_ = std::make_unique<platform::TemporaryFolder>();
    xorg_ = std::make_unique<testing::DummyXorg>(artefacts_->Path());
    // No Xorg with the dummy driver here: the whole program skips (77).
    if (xorg_->Name().empty()) std::exit(77);
  }
  static void TearDownTestSuite() {
    xorg_.reset();
    artefacts_.reset();
  }

  void Arrange(ProgramOnDisplay& desktop, const Arrangement& a) {
    const std::string position = std::to_string(a.x) + "x" + std::to_string(a.y);
    ASSERT_TRUE(desktop.Run({"xrandr", "--output", "DUMMY0", "--mode", "1280x800", "--pos", "0x0"}));
    desktop.Run({"xrandr", "--addmode", "DUMMY1", a.mode});  // fails harmlessly when added before
    ASSERT_TRUE(desktop.Run({"xrandr", "--output", "DUMMY1", "--mode", a.mode, "--pos", position}));
    const Rect second = SecondMonitor(a);
    ASSERT_TRUE(desktop.Run({"xrandr", "--fb",
                             std::to_string(std::max(1280, second.right)) + "x" +
                                 std::to_string(std::max(800, second.bottom))}));
    desktop.Run({"xsetroot", "-solid", "#3a6ea5"});
  }

  static std::unique_ptr<platform::TemporaryFolder> artefacts_;
  static std::unique_ptr<testing::DummyXorg> xorg_;
};

std::unique_ptr<platform::TemporaryFolder> Monitors::artefacts_;
std::unique_ptr<testing::DummyXorg> Monitors::xorg_;

const Arrangement kDifferentHeights{"different-heights", "1024x768", 1280, 0};

// Appears still somewhere on a monitor, falls to its floor and walks one way
// (left or right, as its scene is mirrored or not) until it leaves.
std::vector<std::string> Walker(const std::string& step) {
  return {"drop\\1\\4\\1\\fall\\1\\1:0:0\\", "fall\\1\\2\\1\\\\1\\1:0:0\\",
          "walk\\1000\\0\\1\\\\1\\1:" + step + ":0\\2\\1:" + step + ":0\\"};
}

// For each arrangement, ten characters out for a while: none is ever seen
// where no monitor shows it, and each monitor's own floor is stood on.
TEST_F(Monitors, CharactersStayOnTheMonitorsOfEveryArrangement) {
  const Arrangement arrangements[] = {
      kDifferentHeights,
      {"stacked", "1024x768", 0, 800},
      {"apart", "1024x768", 1400, 0},
  };
  for (const auto& arrangement : arrangements) {
    SCOPED_TRACE(arrangement.name);
    // The same walks in every run: where a character comes on is drawn at
    // random, and a run that put nobody on the second monitor would fail.
    ProgramOnDisplay desktop(xorg_->Name(), {"MFMAIL_RANDOM_SEED=1"});
    ASSERT_NE(desktop.X(), nullptr);
    Arrange(desktop, arrangement);
    desktop.StarterCharacters(10);
    ASSERT_TRUE(desktop.Start());
    const MonitorLayout layout = LayoutOf(arrangement);
    const Rect second = SecondMonitor(arrangement);
    ASSERT_TRUE(PollUntil([&] { return desktop.Characters().size() == 10; }, 20s));

    std::map<int, int> standingOn;  // floor height -> samples
    int outside = 0;
    auto until = Clock::now() + 25s;
    while (Clock::now() < until) {
      for (const auto& c : desktop.Characters()) {
        if (!layout.Shows(c.rect)) {
          ++outside;
          ADD_FAILURE() << "a character at " << c.rect.left << "," << c.rect.top << " where no monitor shows it";
        }
        if (c.rect.bottom == 800 && c.rect.right <= 1280 && c.rect.left >= 0) ++standingOn[800];
        if (c.rect.bottom == second.bottom && c.rect.left >= second.left && c.rect.right <= second.right) {
          ++standingOn[second.bottom];
        }
      }
      if (outside > 5) break;
      std::this_thread::sleep_for(100ms);
    }
    EXPECT_GT(standingOn[800], 0) << "nobody stood on the first monitor's floor";
    EXPECT_GT(standingOn[second.bottom], 0) << "nobody stood on the second monitor's floor";
    desktop.Screenshot(std::string("monitors-") + arrangement.name + ".png");
    EXPECT_TRUE(desktop.Running());
  }
}

// Side by side at one height, the second at twice the scale: characters
// walk across, changing size at the border with their feet on the floor.
TEST_F(Monitors, CharactersCrossWhereTheFloorsMeetAndTakeTheScaleOfTheOtherSide) {
  ProgramOnDisplay desktop(xorg_->Name(), {"QT_SCREEN_SCALE_FACTORS=DUMMY0=1;DUMMY1=2"});
  ASSERT_NE(desktop.X(), nullptr);
  Arrange(desktop, {"one-height", "1280x800", 1280, 0});
  desktop.SquareCharacters(Walker("12"), 4);
  ASSERT_TRUE(desktop.Start());
  ASSERT_TRUE(PollUntil([&] { return desktop.Characters().size() == 4; }, 20s));

  std::map<Window, Rect> before;
  bool crossed = false;
  int sizesRight = 0;
  int sizesWrong = 0;
  auto until = Clock::now() + 90s;
  while (Clock::now() < until && !crossed) {
    for (const auto& c : desktop.Characters()) {
      const int middle = (c.rect.left + c.rect.right) / 2;
      // Where it stands, its size is the scale of that monitor.
      if (c.rect.left >= 0 && c.rect.right <= 2560 && c.rect.bottom == 800) {
        (c.rect.Width() == (middle < 1280 ? 46 : 92) ? sizesRight : sizesWrong) += 1;
      }
      auto last = before.find(c.id);
      if (last != before.end() && last->second.bottom == 800 && c.rect.bottom == 800) {
        const int was = (last->second.left + last->second.right) / 2;
        if ((was < 1280) != (middle < 1280) && std::abs(middle - was) < 40) crossed = true;
      }
      before[c.id] = c.rect;
    }
    std::this_thread::sleep_for(50ms);
  }
  desktop.Screenshot("monitors-one-height-scales.png");
  EXPECT_TRUE(crossed) << "no character walked across the border in 90 s";
  EXPECT_GT(sizesRight, 0);
  EXPECT_LE(sizesWrong, sizesRight / 50) << "standing characters of the other side's size";
}

// A monitor switched off sheds its characters onto the other within a
// second; switched on again, characters come onto it.
TEST_F(Monitors, AMonitorSwitchedOffShedsItsCharacters) {
  ProgramOnDisplay desktop(xorg_->Name(), {});
  ASSERT_NE(desktop.X(), nullptr);
  Arrange(desktop, kDifferentHeights);
  desktop.StarterCharacters(10);
  ASSERT_TRUE(desktop.Start());
  auto onSecond = [&] {
    int count = 0;
    for (const auto& c : desktop.Characters()) count += c.rect.left >= 1280 && c.rect.right <= 2304 ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(PollUntil([&] { return onSecond() >= 2; }, 40s));
  // The hut goes over to the second monitor too.
  const std::string hutTitle = "小屋";
  ASSERT_TRUE(PollUntil([&] { return !desktop.Titled(hutTitle).empty(); }, 10s));
  ASSERT_TRUE(desktop.Run({"xdotool", "search", "--name", hutTitle, "windowmove", "1500", "100"}));
  ASSERT_TRUE(PollUntil([&] { return desktop.Titled(hutTitle).front().rect.left >= 1280; }, 5s));
  desktop.Screenshot("monitors-before-off.png");

  ASSERT_TRUE(desktop.Run({"xrandr", "--output", "DUMMY1", "--off"}));
  const auto off = Clock::now();
  ASSERT_TRUE(PollUntil(
      [&] {
        for (const auto& c : desktop.Characters()) {
          if (c.rect.left >= 1280) return false;
        }
        return true;
      },
      1s, 20ms))
      << "characters still beyond the first monitor a second after the second went off";
  EXPECT_LT(Clock::now() - off, 1s);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(desktop.Running());
  EXPECT_EQ(desktop.Characters().size(), 10u);
  EXPECT_TRUE(PollUntil(
      [&] {
        auto hut = desktop.Titled(hutTitle);
        return !hut.empty() && hut.front().rect.right <= 1280 && hut.front().rect.bottom <= 800;
      },
      2s))
      << "the hut stayed where no monitor shows it";
  desktop.Screenshot("monitors-after-off.png");

  ASSERT_TRUE(desktop.Run({"xrandr", "--output", "DUMMY1", "--mode", "1024x768", "--pos", "1280x0"}));
  EXPECT_TRUE(PollUntil([&] { return onSecond() >= 1; }, 90s)) << "no character came onto the monitor switched on";
  EXPECT_TRUE(desktop.Running());
}

// Dragged from one monitor and dropped on the other, a character stays
// there: it falls to that monitor's floor.
TEST_F(Monitors, ACharacterDroppedOnTheOtherMonitorStaysThere) {
  ProgramOnDisplay desktop(xorg_->Name(), {});
  ASSERT_NE(desktop.X(), nullptr);
  Arrange(desktop, kDifferentHeights);
  // Slowly walking on a floor when it is picked up.
  desktop.SquareCharacters(Walker("1"));
  ASSERT_TRUE(desktop.Start());
  std::optional<Shown> character;
  ASSERT_TRUE(PollUntil(
      [&] {
        auto shown = desktop.Characters();
        if (!shown.empty() && (shown[0].rect.bottom == 800 || shown[0].rect.bottom == 768)) character = shown[0];
        return character.has_value();
      },
      20s));
  const int grabX = character->rect.left + 23;
  const int grabY = character->rect.top + 23;
  const std::string target = character->rect.left < 1280 ? "1700" : "600";
  ASSERT_TRUE(desktop.Run({"xdotool", "mousemove", std::to_string(grabX), std::to_string(grabY), "mousedown", "1",
                           "mousemove", target, "300", "sleep", "0.2", "mousemove", target, "302", "sleep",
                           "0.2", "mouseup", "1"}));
  const bool toSecond = target == "1700";
  std::optional<Shown> landed;
  ASSERT_TRUE(PollUntil(
      [&] {
        auto shown = desktop.Characters();
        if (shown.empty()) return false;
        landed = shown[0];
        return landed->rect.bottom == (toSecond ? 768 : 800);
      },
      10s))
      << "at " << (landed ? landed->rect.left : -1) << "," << (landed ? landed->rect.top : -1);
  EXPECT_EQ(landed->rect.left >= 1280, toSecond);
  desktop.Screenshot("monitors-dropped.png");
}

// ---------------------------------------------------------------- scaled screens

struct ScaleCase {
  const char* factor;
  double scale;
};

class ScaledScreen : public ::testing::TestWithParam<ScaleCase> {};

// A still character at scale 1, 1.5 and 2: its window and shape are the
// picture enlarged with square pixels, every pixel it shows has one of the
// picture's colours, and a click on a transparent pixel reaches the window
// below it while one on the character does not.
TEST_P(ScaledScreen, CharactersAreSharpAndLetClicksThroughWhereTransparent) {
  const ScaleCase& c = GetParam();
  testing::PrivateXServer server(1024, 768);
  if (server.Name().empty()) GTEST_SKIP() << "Xvfb is not available";
  ProgramOnDisplay desktop(server.Name(), {std::string("QT_SCREEN_SCALE_FACTORS=") + c.factor});
  ASSERT_NE(desktop.X(), nullptr);
  // It drops onto a window below it and walks on the spot there. No whole
  // logical pixel maps to these tops at 1.5 or 2; a character appears high
  // enough to land on one of them.
  desktop.SquareCharacters(Walker("0"));
  const int floors[] = {601, 739, 763};
  for (const int top : floors) {
    Window floor = XCreateSimpleWindow(desktop.X(), DefaultRootWindow(desktop.X()), 0, top, 1024, 768 - top, 0, 0,
                                       0x808080);
    XMapWindow(desktop.X(), floor);
  }
  XSync(desktop.X(), False);
  ASSERT_TRUE(desktop.Start());
  std::optional<Shown> character;
  ASSERT_TRUE(PollUntil(
      [&] {
        auto shown = desktop.Characters();
        if (!shown.empty() && !desktop.ShapeOf(shown[0].id).empty()) character = shown[0];
        return character.has_value();
      },
      20s));
  EXPECT_TRUE(PollUntil(
      [&] {
        character = desktop.Characters().at(0);
        // The screen's bottom, for one that appears lower than all three.
        return character->rect.bottom == 768 ||
               std::find(std::begin(floors), std::end(floors), character->rect.bottom) != std::end(floors);
      },
      10s))
      << "not standing on a window: its feet at " << character->rect.bottom;
  std::this_thread::sleep_for(500ms);
  character = desktop.Characters().at(0);
  const int size = static_cast<int>(std::lround(46 * c.scale));
  EXPECT_EQ(character->rect.Width(), size);
  EXPECT_EQ(character->rect.Height(), size);

  // The square from (10, 10) to (36, 36) of the picture, enlarged.
  auto edge = [&](int p) { return (p * size + 45) / 46; };
  const Rect square{edge(10), edge(10), edge(36), edge(36)};
  long area = 0;
  Rect bounds{size, size, 0, 0};
  for (const auto& r : desktop.ShapeOf(character->id)) {
    area += static_cast<long>(r.width) * r.height;
    bounds = Rect{std::min(bounds.left, int{r.x}), std::min(bounds.top, int{r.y}),
                  std::max(bounds.right, r.x + r.width), std::max(bounds.bottom, r.y + r.height)};
  }
  EXPECT_EQ(bounds, square);
  EXPECT_EQ(area, static_cast<long>(square.Width()) * square.Height());

  // Sharp: every shown pixel is the body colour, none a blend (once drawn).
  Window root = DefaultRootWindow(desktop.X());
  auto blended = [&] {
    XImage* image = XGetImage(desktop.X(), root, character->rect.left + square.left,
                              character->rect.top + square.top, square.Width(), square.Height(), AllPlanes, ZPixmap);
    if (!image) return -1;
    int count = 0;
    for (int y = 0; y < square.Height(); ++y) {
      for (int x = 0; x < square.Width(); ++x) count += (XGetPixel(image, x, y) & 0xFFFFFF) != testing::kBody;
    }
    XDestroyImage(image);
    return count;
  };
  EXPECT_TRUE(PollUntil([&] { return blended() == 0; }, 5s)) << blended() << " pixels not of the picture";
  desktop.Screenshot(std::string("scaled-") + c.factor + ".png");

  // Covered by another window and uncovered again, it is drawn again (its
  // picture does not change while it walks on the spot, so only the
  // uncovering can bring it back).
  Display* x = desktop.X();
  XSetWindowAttributes overrideRedirect;
  overrideRedirect.override_redirect = True;
  Window cover = XCreateSimpleWindow(x, root, character->rect.left - 5, character->rect.top - 5, size + 10, size + 10,
                                     0, 0, 0x00FF00);
  XChangeWindowAttributes(x, cover, CWOverrideRedirect, &overrideRedirect);
  XMapRaised(x, cover);
  XSync(x, False);
  EXPECT_TRUE(PollUntil([&] { return blended() == square.Width() * square.Height(); }, 5s)) << "never covered";
  XDestroyWindow(x, cover);
  XSync(x, False);
  EXPECT_TRUE(PollUntil([&] { return blended() == 0; }, 5s)) << blended() << " pixels not drawn again";

  // Clicks: a window of the test's own below the character.
  Window below = XCreateSimpleWindow(x, root, character->rect.left - 10, character->rect.top - 10, size + 20,
                                     size + 20, 0, 0, 0xC0C0C0);
  XChangeWindowAttributes(x, below, CWOverrideRedirect, &overrideRedirect);
  XSelectInput(x, below, ButtonPressMask);
  XMapWindow(x, below);
  // Right under the character, above the windows it stands on.
  XWindowChanges under;
  under.sibling = character->id;
  under.stack_mode = Below;
  XConfigureWindow(x, below, CWSibling | CWStackMode, &under);
  XSync(x, False);
  auto clickReaches = [&](int dx, int dy) {
    desktop.Run({"xdotool", "mousemove", std::to_string(character->rect.left + dx),
                 std::to_string(character->rect.top + dy), "click", "1"});
    bool pressed = false;
    PollUntil(
        [&] {
          while (XPending(x) > 0) {
            XEvent event;
            XNextEvent(x, &event);
            pressed = pressed || (event.type == ButtonPress && event.xbutton.window == below);
          }
          return pressed;
        },
        1s);
    return pressed;
  };
  EXPECT_TRUE(clickReaches(square.left - 1, square.top - 1)) << "a click beside the character was taken";
  EXPECT_FALSE(clickReaches(square.left + 2, square.top + 2)) << "a click on the character went through";
  XDestroyWindow(x, below);
  XSync(x, False);
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledScreen,
                         ::testing::Values(ScaleCase{"1", 1.0}, ScaleCase{"1.5", 1.5}, ScaleCase{"2", 2.0}),
                         [](const auto& info) { return std::to_string(static_cast<int>(info.param.scale * 10)); });

}  // namespace
}  // namespace mf
