#include <gtest/gtest.h>

#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "base/DateTime.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "hut/gui/HutWindow.h"
#include "platform/DesktopWindows.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Shell.h"
#include "roster/StarterIds.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

class Hut : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("MFMAIL_HOME", Home().c_str(), 1); }

  std::string Home() const { return folder_.Path(); }
  std::string Settings() const { return Home() + "MFMail.ini"; }

  std::unique_ptr<HutWindow> Start(const std::string& argument = "") {
    HutStartup startup{Home(), Settings(), argument};
    startup.dialogs = &dialogs_;
    startup.shell = &shell_;
    startup.guideFolders = {Home() + "guide/"};
    startup.trayAvailable = [this] { return tray_; };
    startup.trayWaitMs = 20;
    auto hut = std::make_unique<HutWindow>(startup, edges_);
    hut->SetEndProgram([this] { ++ended_; });
    return hut;
  }
  // The usual start-up: two visible characters, the second one out.
  void MakeTwo() {
    MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<home>", .name = "Home",
                                        .scenes = testing::StandingScenes()});
    MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<out>", .name = "Out",
                                        .scenes = testing::StandingScenes()});
    testing::WriteList(Home() + "visibleDB.dat", {"<home>", "<out>"});
    testing::WriteList(Home() + "outDB.dat", {"<out>"});
  }
  std::string SavedHandle() const {
    return platform::IniFile(Settings()).ReadString("Main", "Handle", "");
  }

  platform::TemporaryFolder folder_;
  platform::FakeDesktopWindows desktop_;
  WindowEdgeSearch edges_{desktop_};
  platform::FakeDialogs dialogs_;
  platform::FakeShell shell_;
  bool tray_ = true;
  int ended_ = 0;
};

TEST_F(Hut, StartUpListsVisibleCharactersAndPutsOutOnesOnTheDesktop) {
  MakeTwo();
  // Out, but only able to walk on windows: listed as out, not on the desktop.
  MakeCharacter(Home(), CharacterSetup{.folderName = "char3", .id = "<stuck>", .name = "Stuck",
                                      .scenes = {"walk\\3\\0\\1\\\\1\\1:4:0\\"}});
  MakeCharacter(Home(), CharacterSetup{.folderName = "char4", .id = "<gone>", .name = "Gone",
                                      .scenes = testing::StandingScenes()});
  testing::WriteList(Home() + "visibleDB.dat", {"<home>", "<out>", "<stuck>"});
  testing::WriteList(Home() + "outDB.dat", {"<out>", "<stuck>"});

  auto hut = Start();
  ASSERT_EQ(hut->ItemCount(), 3);
  EXPECT_EQ(hut->Item(0)->text(), "Home");
  EXPECT_EQ(hut->Item(2)->text(), "Stuck");
  EXPECT_EQ(hut->CharacterIcons().size(), 3u);
  EXPECT_FALSE(hut->Item(0)->icon().isNull());
  ASSERT_EQ(hut->CharacterWindows().size(), 3u);

  for (int row = 0; row < 3; ++row) {
    const CharacterRecord& data = hut->Item(row)->data;
    EXPECT_EQ(data.index, row);
    EXPECT_EQ(hut->CharacterWindows()[row]->Id(), data.id);
    EXPECT_EQ(hut->CharacterWindows()[row]->Folder(), data.folder);
  }
  EXPECT_FALSE(hut->Item(0)->data.out);
  EXPECT_FALSE(hut->CharacterWindows()[0]->isVisible());

  EXPECT_TRUE(hut->Item(1)->data.out);
  EXPECT_TRUE(hut->CharacterWindows()[1]->isVisible());
  EXPECT_TRUE(Control<QTimer>(*hut->CharacterWindows()[1], "walkTimer")->isActive());

  EXPECT_TRUE(hut->Item(2)->data.out);
  EXPECT_FALSE(hut->CharacterWindows()[2]->isVisible());
  EXPECT_FALSE(Control<QTimer>(*hut->CharacterWindows()[2], "walkTimer")->isActive());

  EXPECT_EQ(hut->Registry().charDB.size(), 8u);
  EXPECT_EQ(hut->HelpFile(), Home() + "guide/help/index.html");
  EXPECT_FALSE(hut->ExitPermitted());
}

// The starter characters ship with the same ids in every copy of the
// program; a copy's first start gives them ids of its own, so that one
// user's ミケ visiting another is never taken for the other's own. A program
// folder that has run before keeps the ids its mail already names.
TEST_F(Hut, StarterCharactersTakeIdsOfTheirOwnAtTheFirstStartOnly) {
  const char* source = std::getenv("MFMAIL_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  platform::TemporaryFolder other;
  auto seed = [&](const std::string& home) {
    std::filesystem::copy(std::filesystem::path(source) / "assets", platform::NativePath(home),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    // A package made under the shipped id must not travel any more.
    platform::WriteFileAtomic(home + "char1/MofutanData.mfd", "old package");
  };
  auto idOf = [](const std::string& home, const char* character) {
    return SplitLines(*platform::ReadFile(home + character + "/scene.txt")).front();
  };
  const std::string shipped = idOf(std::string(source) + "/assets/", "char1");
  ASSERT_TRUE(IsStarterId(shipped));

  // A folder that has run before: nothing changes.
  seed(Home());
  platform::IniFile(Settings()).WriteString("Main", "Handle", "4711");
  Start().reset();
  EXPECT_EQ(idOf(Home(), "char1"), shipped);
  EXPECT_TRUE(platform::FileExists(Home() + "char1/MofutanData.mfd"));

  // Two first starts from the same starters.
  platform::DeleteFileInside(Home(), Settings());
  seed(other.Path());
  std::vector<std::string> firstIds;
  // Two copies started a second apart: ids of one second share their stamp
  // and would differ only by chance.
  FixedClock clock(DateTime{2026, 12, 9, 5, 0, 0});
  for (const std::string& home : {Home(), other.Path()}) {
    SCOPED_TRACE(home);
    clock.AdvanceSeconds(1);
    HutStartup startup{home, home + "MFMail.ini", ""};
    startup.dialogs = &dialogs_;
    startup.clock = &clock;
    startup.trayAvailable = [] { return true; };
    HutWindow hut(startup, edges_);
    const std::vector<std::string> scene = SplitLines(*platform::ReadFile(home + "char1/scene.txt"));
    const std::vector<std::string> shippedScene =
        SplitLines(*platform::ReadFile(std::string(source) + "/assets/char1/scene.txt"));
    EXPECT_FALSE(IsStarterId(scene.front())) << scene.front();
    EXPECT_EQ(std::vector<std::string>(scene.begin() + 1, scene.end()),
              std::vector<std::string>(shippedScene.begin() + 1, shippedScene.end()));
    EXPECT_FALSE(platform::FileExists(home + "char1/MofutanData.mfd"));
    // Listed and out under the new ids, as the shipped lists had them.
    ASSERT_GE(hut.ItemCount(), 2);
    std::vector<std::string> ids;
    for (int row = 0; row < hut.ItemCount(); ++row) {
      EXPECT_FALSE(IsStarterId(hut.Item(row)->data.id));
      ids.push_back(hut.Item(row)->data.id);
    }
    EXPECT_EQ(SplitLines(*platform::ReadFile(home + "visibleDB.dat")), ids);
    for (const std::string& out : SplitLines(*platform::ReadFile(home + "outDB.dat"))) {
      EXPECT_NE(std::find(ids.begin(), ids.end(), out), ids.end()) << out;
    }
    EXPECT_NE(ids[0], ids[1]);
    firstIds.push_back(idOf(home, "char1"));
  }
  EXPECT_NE(firstIds[0], firstIds[1]);
}

TEST_F(Hut, SilentStartStaysHiddenButRecordsTheHutWindow) {
  auto hut = Start("/s");
  EXPECT_FALSE(hut->ShowAtStart());
  EXPECT_FALSE(hut->isVisible());
  EXPECT_EQ(SavedHandle(), std::to_string(hut->winId()));

  // Only exactly "/s" counts.
  platform::DeleteFileInside(Home(), Settings());
  auto other = Start("/S");
  EXPECT_TRUE(other->ShowAtStart());
  EXPECT_EQ(SavedHandle(), "");
}

TEST_F(Hut, ShowingAndHidingRewriteTheHandle) {
  auto hut = Start();
  hut->show();
  EXPECT_EQ(SavedHandle(), std::to_string(hut->winId()));
  platform::IniFile(Settings()).WriteString("Main", "Handle", "0");
  hut->hide();
  EXPECT_EQ(SavedHandle(), std::to_string(hut->winId()));
}

TEST_F(Hut, ClosingOnlyHidesUntilTheSessionEnds) {
  auto hut = Start();
  hut->show();
  EXPECT_FALSE(hut->close());
  EXPECT_FALSE(hut->isVisible());
  EXPECT_EQ(ended_, 0);

  // The window message of a second start brings it back.
  hut->WindowMessage(WM_SHOWHUT, 0, 0);
  EXPECT_TRUE(hut->isVisible());

  // A log-out: the question sets the flag, the close that follows ends the
  // program once, and the flag is spent.
  hut->QueryEndSession();
  EXPECT_TRUE(hut->close());
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(hut->ExitPermitted());
}

// Without a tray nothing else could bring the hut back or end the program:
// every way of closing the hut ends it, as the tray's "終了(&X)" does.
struct Closing {
  const char* name;
  std::function<void(HutWindow&)> close;
};

class HutClosing : public Hut, public ::testing::WithParamInterface<Closing> {};

TEST_P(HutClosing, HidesWithATrayAndEndsTheProgramWithout) {
  auto hut = Start();
  hut->show();
  GetParam().close(*hut);
  EXPECT_FALSE(hut->isVisible());
  EXPECT_EQ(ended_, 0);

  tray_ = false;
  hut->show();
  GetParam().close(*hut);
  EXPECT_FALSE(hut->isVisible());
  EXPECT_EQ(ended_, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, HutClosing,
    ::testing::Values(Closing{"WindowManager", [](HutWindow& hut) { hut.close(); }},
                      Closing{"CloseItem", [](HutWindow& hut) { hut.RunMenuCommand(MenuCommand::CloseHut); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hut, SilentStartShowsTheHutWhenNoTrayComesUp) {
  tray_ = false;
  auto hut = Start("/s");
  EXPECT_FALSE(hut->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&hut] { return hut->isVisible(); }, 2000));

  // A tray that comes up while the program waits keeps the hut hidden.
  auto waited = Start("/s");
  tray_ = true;
  QTest::qWait(100);
  EXPECT_FALSE(waited->isVisible());

  auto withTray = Start("/s");
  tray_ = false;
  QTest::qWait(100);
  EXPECT_FALSE(withTray->isVisible()) << "a tray at the start: no waiting, the hut stays hidden";
  EXPECT_EQ(ended_, 0);
}

struct HelpCase {
  const char* name;
  bool guideThere;
  bool opens;
  std::vector<std::string> opened;      // below the program folder
  std::vector<std::string> information;  // Shift_JIS, each followed by the guide's path
};

class HutHelp : public Hut, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(HutHelp, OpensTheGuideOrSaysWhereItIs) {
  if (GetParam().guideThere) {
    ASSERT_TRUE(platform::CreateFolders(Home() + "guide/help"));
    ASSERT_TRUE(platform::WriteFileAtomic(Home() + "guide/help/index.html", "<html></html>"));
  }
  shell_.answer = GetParam().opens;
  auto hut = Start();
  hut->RunMenuCommand(MenuCommand::Help);

  const std::string guide = Home() + "guide/help/index.html";
  std::vector<std::string> opened;
  for (const auto& path : GetParam().opened) opened.push_back(Home() + path);
  EXPECT_EQ(shell_.opened, opened);
  std::vector<std::string> information;
  for (const auto& call : dialogs_.calls) information.push_back(call.kind + ":" + call.text);
  std::vector<std::string> expected;
  for (const auto& text : GetParam().information) expected.push_back("Information:" + text + guide);
  EXPECT_EQ(information, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Guides, HutHelp,
    ::testing::Values(HelpCase{"Opened", true, true, {"guide/help/index.html"}, {}},
                      HelpCase{"NothingOpensIt", true, false, {"guide/help/index.html"},
                               {Sj("ヘルプを開くプログラムが見つかりません。ヘルプはこのファイルです:\n")}},
                      HelpCase{"Missing", false, true, {}, {Sj("ヘルプファイルが見つかりません。\n")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hut, SignalEndsTheProgramEvenWithTheHutHidden) {
  auto hut = Start("/s");
  hut->EndSession();
  EXPECT_EQ(ended_, 1);
}

TEST_F(Hut, TrayMenuOpensOnRightButtonOnlyAndExitEnds) {
  auto hut = Start();
  hut->show();
  ASSERT_EQ(Control<QMenu>(*hut, "trayMenu")->actions().size(), 2);
  EXPECT_EQ(Control<QAction>(*hut, "openHutAction")->text(), QString::fromUtf8("小屋を開く(&O)"));
  EXPECT_EQ(Control<QAction>(*hut, "exitAction")->text(), QString::fromUtf8("終了(&X)"));

  hut->WindowMessage(WM_TRAYNOTIFY, HutWindow::kTrayIconId, kTrayLeftButtonUp);
  hut->WindowMessage(WM_TRAYNOTIFY, HutWindow::kTrayIconId, kTrayLeftDoubleClick);
  EXPECT_FALSE(Control<QMenu>(*hut, "trayMenu")->isVisible());
  hut->WindowMessage(WM_TRAYNOTIFY, HutWindow::kTrayIconId, kTrayRightButtonUp);
  EXPECT_TRUE(Control<QMenu>(*hut, "trayMenu")->isVisible());
  Control<QMenu>(*hut, "trayMenu")->hide();

  Control<QAction>(*hut, "exitAction")->trigger();
  EXPECT_FALSE(hut->isVisible());
  EXPECT_EQ(ended_, 1);
}

TEST_F(Hut, ShapeIsARoofOverTheBodyWithoutTheSideStrips) {
  auto hut = Start();
  const QRegion& shape = hut->HutRegion();
  EXPECT_TRUE(shape.contains(QPoint(222, 0)));    // flat top of the roof
  EXPECT_FALSE(shape.contains(QPoint(10, 5)));    // beside the roof
  EXPECT_TRUE(shape.contains(QPoint(5, 95)));     // the eaves reach the sides
  EXPECT_FALSE(shape.contains(QPoint(20, 200)));  // left strip
  EXPECT_FALSE(shape.contains(QPoint(420, 200))); // right strip
  EXPECT_TRUE(shape.contains(QPoint(60, 200)));   // body
  EXPECT_TRUE(shape.contains(QPoint(393, 353)));
  EXPECT_FALSE(shape.contains(QPoint(394, 353)));
}

TEST_F(Hut, CharacterMenuBringsItHome) {
  MakeTwo();
  auto hut = Start();
  CharacterWindow& out = *hut->CharacterWindows()[1];
  ASSERT_TRUE(out.isVisible());

  Control<QAction>(out, "comeInAction")->trigger();
  EXPECT_FALSE(out.isVisible());
  EXPECT_FALSE(Control<QTimer>(out, "walkTimer")->isActive());
  EXPECT_FALSE(hut->Item(1)->data.out);
  EXPECT_EQ(*platform::ReadFile(Home() + "outDB.dat"), "");

  // Mail by a character the hut no longer lists: nothing happens.
  out.SetId("<unknown>");
  Control<QAction>(out, "writeMailAction")->trigger();
  EXPECT_FALSE(out.isVisible());
}

TEST_F(Hut, UnreadableIconAndSlotReuse) {
  MakeTwo();
  platform::WriteFileAtomic(Home() + "char1/image1.bmp", "BM but no picture");
  auto hut = Start();
  ASSERT_EQ(hut->ItemCount(), 2);
  EXPECT_TRUE(hut->Item(0)->icon().isNull());
  EXPECT_EQ(hut->Item(0)->imageIndex, -1);
  EXPECT_EQ(hut->FreeSlot(), 2);

  // A slot emptied by a departure is the next one used.
  hut->CharacterWindows()[0].reset();
  ASSERT_EQ(hut->FreeSlot(), 0);
  CharacterItem* item = hut->AddCharacter("Again", Home() + "char1", "<home>", false,
                                      Home() + "char1/image2.bmp", hut->FreeSlot());
  EXPECT_EQ(item->data.index, 0);
  ASSERT_NE(hut->CharacterWindows()[0], nullptr);
  EXPECT_EQ(hut->CharacterWindows()[0]->Index(), 0);
  EXPECT_FALSE(item->icon().isNull());
  EXPECT_EQ(hut->CharacterWindows().size(), 2u);
}

}  // namespace
}  // namespace mf
