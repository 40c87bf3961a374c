#include "character/CharacterEngine.h"

#include <gtest/gtest.h>

#include <climits>

#include "character/WindowEdgeSearch.h"
#include "tests/character/CharacterFolder.h"

namespace mf {
namespace {

using platform::DesktopWindow;
using platform::Rect;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kSize = CharacterEngine::kWindowSize;

class Engine : public ::testing::Test {
 protected:
  Engine() {
    for (const char* key : {"1", "2", "3", "4"}) character.AddPicture(key);
    engine.SetFolder(character.Path());
  }

  void Load(const std::vector<std::string>& scenes) {
    character.WriteScenes(scenes);
    ASSERT_TRUE(engine.LoadScenes());
  }

  // Puts the character in `mode` with a scene chosen by the next draws, at
  // frame 0, at (left, top).
  void Start(Place mode, int left, int top, bool mirrored = false) {
    engine.SetMode(mode);
    random.PushAll(mirrored ? 1 : 0, 0);
    engine.PickScene();
    engine.PlaceOnEntry();
    engine.MoveTo(left, top);
  }

  std::string SceneName() const {
    return engine.CurrentScene() ? engine.CurrentScene()->name : std::string("(none)");
  }

  testing::CharacterFolder character;
  platform::FakeDesktopWindows desktop;
  WindowEdgeSearch edges{desktop};
  BitmapFileCheck pictures;
  ScriptedRandom random;
  CharacterEngine engine{edges, pictures, random};
};

TEST_F(Engine, LoadScenesNeedsAWeightedFreeScene) {
  EXPECT_FALSE(engine.LoadScenes());  // no scene.txt
  character.WriteLines({"<id>", "name", "1", "4"});
  EXPECT_FALSE(engine.LoadScenes());  // four lines
  character.WriteScenes({"walk\\1\\0\\4\\\\1\\1:4:0\\", "idle\\1\\4\\0\\\\1\\1:0:0\\"});
  EXPECT_FALSE(engine.LoadScenes());  // Free only with weight 0
  EXPECT_EQ(engine.Left(), CharacterEngine::kOffScreen);
  EXPECT_EQ(engine.Scenes().size(), 2u);
  EXPECT_EQ(engine.Total(Place::OnWindowTop), 4);

  character.WriteScenes({"idle\\1\\4\\1\\\\1\\1:0:0\\", "bad\\0\\4\\4\\\\1\\1:0:0\\"}, "3");
  random.PushAll(0 /*Free*/, 0 /*mirror*/, 0 /*scene*/, 100 /*top*/, 200 /*left*/);
  EXPECT_TRUE(engine.LoadScenes());
  EXPECT_EQ(engine.Modesty(), 3);
  EXPECT_EQ(engine.Scenes().size(), 1u);
  EXPECT_EQ(engine.Mode(), Place::Free);
  EXPECT_EQ(SceneName(), "idle");
  // A frame that does not move enters anywhere in the middle 80 %.
  EXPECT_EQ(engine.Top(), 100 + kScreenHeight / 10);
  EXPECT_EQ(engine.Left(), 200 + kScreenWidth / 10);
  ASSERT_NE(engine.ShownPicture(), nullptr);
  EXPECT_EQ(engine.ShownPicture()->path, character.Path() + "/image1.bmp");
}

TEST_F(Engine, WeightedChoiceFollowsFileOrder) {
  Load({"A\\1\\4\\1\\\\1\\1:0:0\\", "other\\1\\0\\4\\\\1\\1:0:0\\", "B\\1\\4\\3\\\\2\\1:0:0\\"});
  engine.SetMode(Place::Free);
  for (int draw = 0; draw < 4; ++draw) {
    random.PushAll(0, draw);
    engine.PickScene();
    EXPECT_EQ(SceneName(), draw == 0 ? "A" : "B") << draw;
  }
}

TEST_F(Engine, ModeWithoutWeightFallsBackToFree) {
  Load({"idle\\1\\4\\2\\\\1\\1:0:0\\"});
  engine.SetMode(Place::Rising);
  random.PushAll(1, 0);
  engine.PickScene();
  EXPECT_EQ(engine.Mode(), Place::Free);
  EXPECT_TRUE(engine.Mirrored());
  EXPECT_EQ(SceneName(), "idle");
}

TEST_F(Engine, RisingMovesUpByDyOrSevenAndLandsOnTheEdgeAbove) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "rise\\1\\3\\1\\\\1\\1:9:0\\",
        "stand\\1\\0\\1\\\\2\\1:0:0\\"});
  desktop.windows = {DesktopWindow{1, Rect{0, 200, 1024, 400}}};
  Start(Place::Rising, 500, 480);
  EXPECT_EQ(engine.Frames()[0], (Frame{"1", 1, 0, -7}));
  EXPECT_EQ(engine.PassLimit(), 100000);
  engine.Tick();
  EXPECT_EQ(engine.Top(), 473);
  EXPECT_EQ(engine.Left(), 500);
  engine.MoveTo(500, 205);
  random.PushAll(0, 0);
  engine.Tick();
  EXPECT_EQ(engine.Top(), 200 - kSize);
  EXPECT_EQ(engine.Mode(), Place::OnWindowTop);

  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "rise\\1\\3\\1\\\\1\\1:0:5\\2\\1:0:-3\\"});
  Start(Place::Rising, 500, 480, /*mirrored=*/true);
  EXPECT_EQ(engine.Frames()[0].dy, -5);
  EXPECT_EQ(engine.Frames()[1].dy, -3);
}

TEST_F(Engine, FallsFasterEachStepAndLands) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "walk\\5\\0\\1\\\\1\\1:4:0\\",
        "fall\\1\\2\\1\\\\2\\1:5:3\\"});
  desktop.windows = {DesktopWindow{1, Rect{100, 300, 900, 600}}};
  Start(Place::OnWindowTop, 400, 300 - kSize);
  engine.Tick();
  EXPECT_EQ(engine.Left(), 404);

  desktop.windows.clear();  // the floor window closes
  random.PushAll(0);
  engine.Tick();
  EXPECT_EQ(engine.Mode(), Place::Falling);
  EXPECT_EQ(SceneName(), "fall");
  EXPECT_EQ(engine.Frames()[0].dx, 0);
  int top = engine.Top();
  EXPECT_EQ(top, 300 - kSize);
  for (int step : {8, 15, 22, 29}) {
    engine.Tick();
    EXPECT_EQ(engine.Top(), top + step);
    top = engine.Top();
  }
  EXPECT_EQ(engine.Left(), 404);
  for (int i = 0; i < 20 && engine.Mode() == Place::Falling; ++i) {
    random.PushAll(0, 0);
    engine.Tick();
  }
  EXPECT_EQ(engine.Mode(), Place::OnWindowTop);
  EXPECT_EQ(engine.Top(), kScreenHeight - kSize);
}

TEST_F(Engine, LandsOnAWindowBelow) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "fall\\1\\2\\1\\\\2\\1:0:0\\",
        "stand\\1\\0\\1\\\\2\\1:0:0\\"});
  desktop.windows = {DesktopWindow{1, Rect{300, 250, 700, 600}}};
  Start(Place::Falling, 400, 100);
  random.PushAll(0, 0);
  for (int i = 0; i < 10 && engine.Mode() == Place::Falling; ++i) engine.Tick();
  EXPECT_EQ(engine.Mode(), Place::OnWindowTop);
  EXPECT_EQ(engine.Top(), 250 - kSize);
}

TEST_F(Engine, StopsAndTurnsAtTheEndOfAWindow) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "walk\\9\\0\\1\\\\1\\1:4:0\\",
        "edge\\1\\1\\1\\\\3\\1:4:0\\"});
  desktop.windows = {DesktopWindow{1, Rect{100, 300, 400, 600}}};
  Start(Place::OnWindowTop, 340, 300 - kSize);
  for (int left : {344, 348, 352}) {
    engine.Tick();
    EXPECT_EQ(engine.Left(), left);
  }
  random.PushAll(0);
  engine.Tick();
  EXPECT_EQ(engine.Left(), 400 - kSize);
  EXPECT_EQ(engine.Top(), 300 - kSize);
  EXPECT_TRUE(engine.Mirrored());
  EXPECT_EQ(engine.Mode(), Place::AtWindowEdge);
  EXPECT_EQ(SceneName(), "edge");
  EXPECT_EQ(engine.Frames()[0].dx, -4);
  ASSERT_NE(engine.ShownPicture(), nullptr);
  EXPECT_EQ(engine.ShownPicture()->path, character.Path() + "r/image3r.bmp");

  // Walking left, it stops with its left side on the window's left edge.
  Start(Place::OnWindowTop, 106, 300 - kSize, /*mirrored=*/true);
  random.PushAll(0);
  engine.Tick();
  engine.Tick();
  EXPECT_EQ(engine.Left(), 100);
  EXPECT_FALSE(engine.Mirrored());
  EXPECT_EQ(engine.Mode(), Place::AtWindowEdge);
}

TEST_F(Engine, WalksOffTheScreenSideWithoutTurning) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "walk\\9\\0\\1\\\\1\\1:4:0\\"});
  Start(Place::OnWindowTop, kScreenWidth - kSize - 2, kScreenHeight - kSize);
  engine.Tick();
  EXPECT_EQ(engine.Left(), kScreenWidth - kSize + 2);
  EXPECT_EQ(engine.Mode(), Place::OnWindowTop);
}

Monitor Screen(Rect area, double scale = 1.0) { return Monitor{area, area, scale}; }

// Walking along a floor up to the border of two monitors: across where the
// floor goes on, a wall where it does not.
struct BorderCase {
  const char* name;
  std::vector<Monitor> monitors;
  std::vector<DesktopWindow> windows;
  int left;
  int feet;
  bool mirrored;  // walking left
  int ticks;
  Place mode;     // after the ticks
  int expectedLeft;
  int expectedSize;
};

TEST_F(Engine, WalkingToTheBorderOfTwoMonitors) {
  const Rect left{0, 0, 1280, 800};
  const BorderCase cases[] = {
      {"taller to smaller", {Screen(left), Screen({1280, 0, 2304, 768})}, {}, 1228, 800, false, 3,
       Place::AtWindowEdge, 1280 - kSize, kSize},
      {"smaller to taller", {Screen(left), Screen({1280, 0, 2304, 768})}, {}, 1288, 768, true, 3,
       Place::AtWindowEdge, 1280, kSize},
      {"apart", {Screen(left), Screen({1400, 0, 2424, 800})}, {}, 1228, 800, false, 3,
       Place::AtWindowEdge, 1280 - kSize, kSize},
      {"one height", {Screen(left), Screen({1280, 0, 2560, 800})}, {}, 1228, 800, false, 5,
       Place::OnWindowTop, 1248, kSize},
      // On a window reaching across, into the part below the smaller one.
      {"window across", {Screen(left), Screen({1280, 0, 2304, 768})}, {DesktopWindow{1, Rect{1000, 780, 1600, 900}}},
       1228, 780, false, 3, Place::AtWindowEdge, 1232, kSize},
      // Onto a monitor of scale 2: twice the size once its middle is over,
      // grown about its feet.
      {"onto scale 2", {Screen(left), Screen({1280, 0, 2560, 800}, 2.0)}, {}, 1228, 800, false, 9,
       Place::OnWindowTop, 1283 - kSize + 8, 2 * kSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "walk\\99\\0\\1\\\\1\\1:4:0\\", "edge\\1\\1\\1\\\\3\\1:0:0\\"});
    edges.SetMonitors(MonitorLayout(c.monitors));
    desktop.windows = c.windows;
    Start(Place::OnWindowTop, c.left, c.feet - kSize, c.mirrored);
    for (int i = 0; i < c.ticks; ++i) {
      random.PushAll(0, 0);
      engine.Tick();
    }
    EXPECT_EQ(engine.Mode(), c.mode);
    EXPECT_EQ(engine.Left(), c.expectedLeft);
    EXPECT_EQ(engine.Width(), c.expectedSize);
    EXPECT_EQ(engine.Top() + engine.Height(), c.feet);
    if (c.mode == Place::AtWindowEdge) {
      EXPECT_EQ(engine.Mirrored(), !c.mirrored);
    }
  }
}

TEST_F(Engine, AMonitorSwitchedOffShedsItsCharacters) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "walk\\99\\0\\1\\\\1\\1:4:0\\", "fall\\1\\2\\1\\\\1\\1:0:0\\"});
  edges.SetMonitors(MonitorLayout({Screen({0, 0, 1280, 800}), Screen({1280, 0, 2304, 768}, 2.0)}));
  Start(Place::OnWindowTop, 1500, 768 - 2 * kSize, /*mirrored=*/true);
  engine.SetScale(2.0);
  edges.SetMonitors(MonitorLayout({Screen({0, 0, 1280, 800})}));
  engine.KeepOnMonitors();
  EXPECT_EQ(engine.Left(), 1280 - kSize);
  EXPECT_EQ(engine.Top(), 768 - 2 * kSize);
  EXPECT_EQ(engine.Width(), kSize);
  // And it falls to the floor of the monitor it is on now.
  for (int i = 0; i < 10; ++i) {
    random.PushAll(0, 0);
    engine.Tick();
  }
  EXPECT_EQ(engine.Top() + engine.Height(), 800);
}

TEST_F(Engine, CharactersComeInOverAnOuterEdgeOfTheDesktop) {
  // Two monitors apart: a character coming in from the left enters the left
  // one from outside, one from the right the right one; one that appears
  // in place lands on either monitor, never in the gap.
  Load({"in\\1\\4\\1\\\\1\\1:4:0\\", "out\\1\\4\\1\\\\1\\1:-4:0\\", "here\\1\\4\\1\\\\1\\1:0:0\\"});
  edges.SetMonitors(MonitorLayout({Screen({0, 0, 1280, 800}), Screen({1400, 100, 2424, 868}, 2.0)}));
  struct Entry {
    int scene;
    std::vector<int> draws;  // monitor (when there is a choice), top and/or left
    int left;
    int top;
    int size;
  };
  const Entry entries[] = {
      {0, {0}, -kSize, 80, kSize},                      // only the left one reaches the left edge
      {1, {0}, 2424, 100 + 76, 2 * kSize},              // only the right one the right edge
      {2, {0, 0, 0}, 128, 80, kSize},                   // either
      {2, {1, 0, 0}, 1400 + 102, 100 + 76, 2 * kSize},
  };
  for (const auto& entry : entries) {
    engine.SetMode(Place::Free);
    random.PushAll(0, entry.scene);
    for (int draw : entry.draws) random.PushAll(draw);
    engine.PickScene();
    engine.PlaceOnEntry();
    SCOPED_TRACE(engine.CurrentScene()->name);
    EXPECT_EQ(engine.Left(), entry.left);
    EXPECT_EQ(engine.Top(), entry.top);
    EXPECT_EQ(engine.Width(), entry.size);
  }
}

TEST_F(Engine, DraggedIntoTheAirFalls) {
  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "walk\\9\\0\\1\\\\1\\1:4:0\\",
        "fall\\1\\2\\1\\\\2\\1:0:0\\"});
  Start(Place::OnWindowTop, 500, kScreenHeight - kSize);
  engine.Tick();
  EXPECT_EQ(engine.Mode(), Place::OnWindowTop);
  engine.MoveTo(500, 300);
  random.PushAll(0);
  engine.Tick();
  EXPECT_EQ(engine.Mode(), Place::Falling);
  EXPECT_EQ(engine.Top(), 300);
}

TEST_F(Engine, ReEntersFromTheSideItsNextSceneWalksFrom) {
  Load({"walk\\9\\4\\1\\\\1\\1:4:0\\"});
  Start(Place::Free, -kSize + 2, 300, /*mirrored=*/true);  // walking left
  random.PushAll(4 /*not topmost*/, 1, 0 /*first pick*/, 0 /*Free*/, 0 /*not mirrored*/, 0,
                 100 /*top*/);
  TickResult result = engine.Tick();
  EXPECT_TRUE(result.reentered);
  EXPECT_FALSE(engine.Topmost());
  EXPECT_EQ(engine.Mode(), Place::Free);
  EXPECT_FALSE(engine.Mirrored());
  EXPECT_EQ(engine.Left(), -kSize);
  EXPECT_EQ(engine.Top(), 100 + kScreenHeight / 10);
  EXPECT_EQ(engine.FrameIndex(), 0);
  EXPECT_EQ(random.Remaining(), 0u);
  EXPECT_FALSE(engine.Tick().reentered);
  EXPECT_EQ(engine.Left(), -kSize + 4);

  // Mirrored, it comes in from the right; modesty 2 makes a draw of 1 topmost.
  engine.MoveTo(-500, 300);
  random.PushAll(1, 0, 0, 0, 1, 0, 100);
  engine.Tick();
  EXPECT_TRUE(engine.Topmost());
  EXPECT_EQ(engine.Left(), kScreenWidth);
}

TEST_F(Engine, ReEntersFromAboveOrBelowWhenTheSceneMovesUpright) {
  Load({"idle\\9\\4\\1\\\\1\\1:1:6\\", "up\\1\\4\\0\\\\1\\1:0:-6\\"});
  engine.MoveTo(0, kScreenHeight + 100);
  engine.SetMode(Place::Free);
  random.PushAll(0, 0, 0, 0 /*Free*/, 0, 0, 300 /*left*/);
  engine.Tick();
  EXPECT_EQ(random.Remaining(), 0u);
  EXPECT_EQ(engine.Top(), -kSize);
  EXPECT_EQ(engine.Left(), 300 + kScreenWidth / 10);
}

TEST_F(Engine, SpeedSetsTheTickDivisorForTheWholeScene) {
  Load({"slow\\9\\4\\1\\\\1\\3:1:0\\2\\1:1:0\\"});
  Start(Place::Free, 500, 300);
  EXPECT_EQ(engine.TickDivisor(), 2);
  std::vector<int> lefts;
  for (int i = 0; i < 6; ++i) {
    engine.Tick();
    lefts.push_back(engine.Left());
  }
  EXPECT_EQ(lefts, (std::vector<int>{500, 501, 501, 502, 502, 503}));
}

TEST_F(Engine, RepeatsThenPlaysTheFollowOnSceneInItsPlace) {
  Load({"a\\2\\4\\1\\b\\1\\1:0:0\\2\\1:0:0\\", "b\\1\\0\\0\\\\3\\1:2:0\\"});
  Start(Place::Free, 500, 300, /*mirrored=*/true);
  for (int i = 0; i < 3; ++i) engine.Tick();
  EXPECT_EQ(SceneName(), "a");
  EXPECT_EQ(engine.PassCounter(), 1);
  engine.Tick();
  EXPECT_EQ(SceneName(), "b");
  EXPECT_EQ(engine.Mode(), Place::OnWindowTop);
  EXPECT_TRUE(engine.Mirrored());
  EXPECT_EQ(engine.Frames()[0].dx, -2);
  EXPECT_EQ(engine.FrameIndex(), 0);
  EXPECT_EQ(engine.PassCounter(), 0);
}

TEST_F(Engine, UnreadablePicturesAreLeftOutButFramesKeepTheirMoves) {
  character.AddPicture("2", /*readable=*/false);
  Load({"walk\\9\\4\\1\\\\2\\1:1:0\\3\\1:5:0\\"});
  Start(Place::Free, 500, 300);
  ASSERT_EQ(engine.Pictures().size(), 1u);
  EXPECT_EQ(engine.Pictures()[0].key, "3");
  EXPECT_EQ(engine.ShownPicture()->key, "3");
  // One picture: the scene stays on frame 0 and moves by frame 0's offsets.
  engine.Tick();
  engine.Tick();
  EXPECT_EQ(engine.Left(), 502);

  character.AddPicture("3", /*readable=*/false);
  Start(Place::Free, 500, 300);
  EXPECT_TRUE(engine.Pictures().empty());
  EXPECT_EQ(engine.ShownPicture(), nullptr);
  engine.Tick();
  EXPECT_EQ(engine.ShownPictureIndex(), -1);
}

TEST_F(Engine, TickingWithoutScenesKeepsTheCharacterAway) {
  // The window's timer may run before the character ever went out.
  for (int i = 0; i < 3; ++i) engine.Tick();
  EXPECT_EQ(engine.CurrentSceneIndex(), -1);
  EXPECT_EQ(engine.ShownPicture(), nullptr);
  EXPECT_LT(engine.Left(), -kSize);
}

TEST_F(Engine, HugeOffsetsAndATinyScreenStayDefined) {
  Load({"far\\1\\4\\1\\\\1\\1:2147483647:-2147483648\\"});
  Start(Place::Free, 500, 300);
  EXPECT_TRUE(engine.Tick().reentered);

  Load({"idle\\1\\4\\1\\\\1\\1:0:0\\", "far\\1\\3\\1\\\\1\\1:2147483647:-2147483648\\"});
  Start(Place::Rising, 500, 300);
  EXPECT_EQ(engine.Frames()[0].dy, -INT_MAX);
  engine.Tick();

  edges.SetMonitors(MonitorLayout::Single(Rect{0, 0, 1, 1}));
  CharacterEngine tiny{edges, pictures, random};
  tiny.SetFolder(character.Path());
  character.WriteScenes({"idle\\1\\4\\1\\\\1\\1:0:0\\"});
  EXPECT_TRUE(tiny.LoadScenes());
  EXPECT_EQ(tiny.Left(), 0);
  EXPECT_EQ(tiny.Top(), 0);
}

}  // namespace
}  // namespace mf
