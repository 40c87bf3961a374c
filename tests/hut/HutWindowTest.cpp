// The hut window's menu bar, right-click menu and character commands,
// driven through real mouse and key events on the offscreen platform.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "base/DateTime.h"
#include "base/ShiftJis.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "hut/gui/HutMenuBar.h"
#include "hut/gui/HutWindow.h"
#include "hut/gui/PassingNotice.h"
#include "platform/DesktopWindows.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

using namespace menu_cursor;
using testing::CharacterSetup;
using testing::MakeCharacter;

class HutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("MFMAIL_HOME", Home().c_str(), 1); }

  std::string Home() const { return folder_.Path(); }

  void MakeCharacters(int count) {
    std::vector<std::string> visible;
    for (int n = 1; n <= count; ++n) {
      std::string id = "<" + std::to_string(n) + ">";
      MakeCharacter(Home(), CharacterSetup{.folderName = "char" + std::to_string(n), .id = id,
                                          .name = "C" + std::to_string(n), .scenes = testing::StandingScenes()});
      visible.push_back(id);
    }
    testing::WriteList(Home() + "visibleDB.dat", visible);
  }

  std::unique_ptr<HutWindow> Start() {
    HutStartup startup{Home(), Home() + "MFMail.ini", ""};
    startup.clock = &clock_;
    startup.dialogs = &dialogs_;
    startup.trayAvailable = [this] { return tray_; };
    auto hut = std::make_unique<HutWindow>(startup, edges_);
    HutLinks links;
    links.showMailList = [this] { ++mailLists_; };
    links.receive = [this] { ++receives_; };
    links.receiveEnabled = [this] { return receiveEnabled_; };
    links.mailTransferBusy = [this] { return busy_; };
    links.showVersion = [this] { ++versions_; };
    links.notifyDesktop = [this](const std::string& title, const std::string& text,
                                 std::function<void()> unavailable) {
      notices_.push_back(title + "|" + text);
      if (!notificationService_) unavailable();
    };
    hut->SetLinks(std::move(links));
    hut->show();
    hut->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(hut.get()));
    return hut;
  }

  static QColor Fill(const MenuLabel* label) { return label->Fill(); }

  platform::TemporaryFolder folder_;
  platform::FakeDesktopWindows desktop_;
  WindowEdgeSearch edges_{desktop_};
  FixedClock clock_{DateTime{2024, 5, 10, 10, 0, 0, 0, 540}};
  platform::FakeDialogs dialogs_;
  int mailLists_ = 0;
  int receives_ = 0;
  int versions_ = 0;
  bool receiveEnabled_ = true;
  bool busy_ = false;
  bool tray_ = true;
  bool notificationService_ = true;
  std::vector<std::string> notices_;
};

// The items of a drop-down start at one indent, the long one that has to be
// squeezed into the menu's width included.
TEST_F(HutWindowTest, DropDownItemsLineUp) {
  auto hut = Start();
  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  QTest::mouseRelease(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  ASSERT_TRUE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  // Where the text of an item starts: its first column holding a pixel of
  // the text's colour.
  auto textStart = [](MenuLabel* item) {
    const QImage picture = item->grab().toImage();
    for (int x = 0; x < picture.width(); ++x) {
      for (int y = 0; y < picture.height(); ++y) {
        if (qGray(picture.pixel(x, y)) < 96) return x;
      }
    }
    return -1;
  };
  std::vector<int> starts;
  for (MenuLabel* item : {Control<MenuLabel>(*hut, "mailListItem"), Control<MenuLabel>(*hut, "newCharacterItem"),
                          Control<MenuLabel>(*hut, "receiveMailItem"), Control<MenuLabel>(*hut, "closeItem")})
    starts.push_back(textStart(item));
  for (int start : starts) {
    EXPECT_GT(start, 4) << "indented";
    EXPECT_NEAR(start, starts.front(), 2) << ::testing::PrintToString(starts);
  }
}

TEST_F(HutWindowTest, PressOnFileMoveToMailListAndReleaseOpensTheMailList) {
  auto hut = Start();
  HutMenuBar& bar = hut->MenuBar();
  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  ASSERT_TRUE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  EXPECT_FALSE(Control<QWidget>(*hut, "helpDropDown")->isVisible());
  // Under the title: one pixel right of its left edge, one below its bottom.
  QPoint title =
      Control<QWidget>(*hut, "fileMenuHolder")
          ->mapTo(Control<QWidget>(*hut, "bodyPanel"), QPoint(0, Control<QWidget>(*hut, "fileMenuHolder")->height()));
  EXPECT_EQ(Control<QWidget>(*hut, "fileDropDown")->pos(), title + QPoint(1, 1));
  EXPECT_EQ(Control<MenuLabel>(*hut, "fileMenuLabel")->Look(), TitleLook::Lowered);

  QTest::mouseMove(Control<MenuLabel>(*hut, "mailListItem"));
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "mailListItem")), kHutHighlightColour);
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "newCharacterItem")), kHutNormalColour);
  QTest::mouseRelease(Control<MenuLabel>(*hut, "mailListItem"), Qt::LeftButton);
  EXPECT_EQ(mailLists_, 1);
  EXPECT_FALSE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  EXPECT_EQ(bar.State().Cursor(), kClosed);

  // The same gesture ending on the title itself chooses nothing.
  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  QTest::mouseRelease(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  EXPECT_TRUE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  EXPECT_EQ(mailLists_, 1);
  // A press on the list closes the menu.
  QTest::mousePress(Control<QListWidget>(*hut, "characterList")->viewport(), Qt::LeftButton, {}, QPoint(200, 200));
  EXPECT_FALSE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
}

TEST_F(HutWindowTest, AltRightDownOpensHelpAndUpFromMailListReachesClose) {
  auto hut = Start();
  HutMenuBar& bar = hut->MenuBar();
  QTest::keyPress(hut.get(), Qt::Key_Alt);
  QTest::keyRelease(hut.get(), Qt::Key_Alt);
  EXPECT_EQ(Control<MenuLabel>(*hut, "fileMenuLabel")->Look(), TitleLook::Raised);
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "fileMenuLabel")), kHutHighlightColour);
  QTest::keyClick(hut.get(), Qt::Key_Right);
  EXPECT_EQ(Control<MenuLabel>(*hut, "fileMenuLabel")->Look(), TitleLook::Plain);
  EXPECT_EQ(Control<MenuLabel>(*hut, "helpMenuLabel")->Look(), TitleLook::Raised);
  QTest::keyClick(hut.get(), Qt::Key_Down);
  ASSERT_TRUE(Control<QWidget>(*hut, "helpDropDown")->isVisible());
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "helpItem")), kHutHighlightColour);
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "versionItem")), kHutNormalColour);

  // To the File menu, then up from its first item.
  QTest::keyClick(hut.get(), Qt::Key_Left);
  ASSERT_TRUE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  EXPECT_FALSE(Control<QWidget>(*hut, "helpDropDown")->isVisible());
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "mailListItem")), kHutHighlightColour);
  QTest::keyClick(hut.get(), Qt::Key_Up);
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "closeItem")), kHutHighlightColour);
  EXPECT_EQ(Fill(Control<MenuLabel>(*hut, "mailListItem")), kHutNormalColour);

  // Esc closes; the arrows then go to the list again.
  QTest::keyClick(hut.get(), Qt::Key_Escape);
  EXPECT_FALSE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  EXPECT_FALSE(bar.State().KeyboardMode());

  // Version by keys.
  QTest::keyPress(hut.get(), Qt::Key_Alt);
  QTest::keyRelease(hut.get(), Qt::Key_Alt);
  QTest::keyClick(hut.get(), Qt::Key_H);
  QTest::keyClick(hut.get(), Qt::Key_V);
  EXPECT_EQ(versions_, 1);
  EXPECT_FALSE(Control<QWidget>(*hut, "helpDropDown")->isVisible());
}

TEST_F(HutWindowTest, ReceiveItemIsGreyAndDeadWhileReceivingIsDisabled) {
  auto hut = Start();
  receiveEnabled_ = false;
  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  EXPECT_EQ(Control<MenuLabel>(*hut, "receiveMailItem")->TextColour(), kHutDisabledTextColour);
  QTest::mouseMove(Control<MenuLabel>(*hut, "receiveMailItem"));
  QTest::mouseRelease(Control<MenuLabel>(*hut, "receiveMailItem"), Qt::LeftButton);
  EXPECT_EQ(receives_, 0);
  EXPECT_TRUE(Control<QWidget>(*hut, "fileDropDown")->isVisible());
  // Chosen by its key it runs nothing either, and the menu closes.
  QTest::keyClick(hut.get(), Qt::Key_J);
  EXPECT_EQ(receives_, 0);
  EXPECT_FALSE(Control<QWidget>(*hut, "fileDropDown")->isVisible());

  receiveEnabled_ = true;
  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  EXPECT_EQ(Control<MenuLabel>(*hut, "receiveMailItem")->TextColour(), QColor(Qt::black));
  QTest::mouseMove(Control<MenuLabel>(*hut, "receiveMailItem"));
  QTest::mouseRelease(Control<MenuLabel>(*hut, "receiveMailItem"), Qt::LeftButton);
  EXPECT_EQ(receives_, 1);

  // The close item and the close button hide the hut.
  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  QTest::mouseMove(Control<MenuLabel>(*hut, "closeItem"));
  QTest::mouseRelease(Control<MenuLabel>(*hut, "closeItem"), Qt::LeftButton);
  EXPECT_FALSE(hut->isVisible());
  hut->show();
  QTest::mouseClick(Control<QWidget>(*hut, "closeButton"), Qt::LeftButton);
  EXPECT_FALSE(hut->isVisible());
}

TEST_F(HutWindowTest, RightClickMenuFollowsTheSelection) {
  MakeCharacters(1);
  auto hut = Start();
  auto enabled = [&hut] {
    hut->PrepareCharacterMenu();
    std::string on;
    for (QAction* action : Control<QMenu>(*hut, "characterMenu")->actions()) {
      if (!action->isSeparator() && action->isEnabled()) on += action->objectName().toStdString() + " ";
    }
    return on;
  };
  EXPECT_EQ(enabled(), "newCharacterAction receiveAction ");
  busy_ = true;
  receiveEnabled_ = false;
  EXPECT_EQ(enabled(), "newCharacterAction ");
  Control<QListWidget>(*hut, "characterList")->setCurrentRow(0);
  // The only character: no journey.
  EXPECT_EQ(enabled(), "goOutAction writeMailAction evolveAction haveChildAction ");
}

// Neither a tray nor a notification service: the departure is still told,
// by a notice of the program's own where the character stood, which takes
// no focus, blocks nothing and goes away by itself.
TEST_F(HutWindowTest, WithoutTrayOrNotificationsTheProgramTellsOfADepartureItself) {
  MakeCharacters(2);
  tray_ = false;
  notificationService_ = false;
  auto hut = Start();
  CharacterWindow& carrier = *hut->CharacterWindows()[1];
  carrier.move(300, 250);
  carrier.show();
  PassingNotice& notice = hut->OwnNotice();
  Control<QTimer>(notice, "hideTimer")->setInterval(100);

  hut->DepartWithMail("<2>");
  ASSERT_TRUE(notice.isVisible());
  EXPECT_EQ(Control<QLabel>(notice, "textLabel")->text(),
            QString::fromUtf8("C2がメールを届けに出かけました。明日の10:00ごろ戻ります。"));
  EXPECT_EQ(notice.pos(), QPoint(300, 250));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(QApplication::activeWindow(), hut.get());
  EXPECT_TRUE(notice.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(dialogs_.calls.empty());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !notice.isVisible(); }, 2000));
}

TEST_F(HutWindowTest, OutHomeAwayAndJourneyThroughTheWindow) {
  MakeCharacters(3);
  auto hut = Start();
  ASSERT_EQ(hut->ItemCount(), 3);

  Control<QListWidget>(*hut, "characterList")->setCurrentRow(1);
  Control<QAction>(*hut, "goOutAction")->trigger();
  EXPECT_TRUE(hut->CharacterWindows()[1]->isVisible());
  EXPECT_TRUE(Control<QTimer>(*hut->CharacterWindows()[1], "walkTimer")->isActive());
  EXPECT_EQ(*platform::ReadFile(Home() + "outDB.dat"), "<2>\r\n");
  Control<QAction>(*hut, "returnHomeAction")->trigger();
  EXPECT_FALSE(hut->CharacterWindows()[1]->isVisible());
  EXPECT_EQ(*platform::ReadFile(Home() + "outDB.dat"), "");

  // The first one leaves with a mail: its icon stays, unused. Without a
  // tray for a balloon the desktop tells who left and when it is due back.
  tray_ = false;
  hut->DepartWithMail("<1>");
  ASSERT_EQ(hut->ItemCount(), 2);
  EXPECT_EQ(hut->CharacterWindows()[0], nullptr);
  EXPECT_EQ(hut->CharacterIcons().size(), 3u);
  EXPECT_EQ(notices_, std::vector<std::string>{Sj("モフタンメール|C1がメールを届けに出かけました。明日の10:00ごろ戻ります。")});
  EXPECT_FALSE(hut->OwnNotice().isVisible()) << "the desktop showed it";
  tray_ = true;

  // The journey of <2> takes its icon and moves <3>'s icon number down.
  Control<QListWidget>(*hut, "characterList")->setCurrentRow(0);
  dialogs_.yesNo = {true};
  Control<QAction>(*hut, "leaveForGoodAction")->trigger();
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].text, Sj("旅に出ると二度と戻ってきません。よろしいですか。"));
  ASSERT_EQ(hut->ItemCount(), 1);
  EXPECT_EQ(hut->CharacterIcons().size(), 2u);
  EXPECT_EQ(hut->Item(0)->data.id, "<3>");
  EXPECT_EQ(hut->Item(0)->imageIndex, 1);
  EXPECT_FALSE(platform::DirectoryExists(Home() + "char2"));
  EXPECT_FALSE(platform::DirectoryExists(Home() + "char2r"));

  // A day later the first one is back, in its old slot, in the hut.
  clock_.AdvanceSeconds(24 * 3600 + 60);
  hut->ReturnDueCharacters();
  ASSERT_EQ(hut->ItemCount(), 2);
  EXPECT_EQ(hut->Item(1)->data.id, "<1>");
  ASSERT_NE(hut->CharacterWindows()[0], nullptr);
  EXPECT_EQ(hut->CharacterWindows()[0]->Id(), "<1>");
  EXPECT_FALSE(hut->CharacterWindows()[0]->isVisible());
  EXPECT_EQ(Control<QTimer>(*hut, "returnTimer")->interval(), 900000);
  EXPECT_TRUE(Control<QTimer>(*hut, "returnTimer")->isActive());
}

TEST_F(HutWindowTest, EvolutionRenamesTheItemAndItsWindow) {
  MakeCharacters(2);
  auto hut = Start();
  MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<2b>", .name = "Grown",
                                      .scenes = testing::StandingScenes()});
  hut->RegisterCharacter(2, "<2b>");
  EXPECT_EQ(hut->Item(1)->text(), "Grown");
  EXPECT_EQ(hut->Item(1)->data.id, "<2b>");
  EXPECT_EQ(hut->CharacterWindows()[1]->Id(), "<2b>");
  EXPECT_EQ(*platform::ReadFile(Home() + "visibleDB.dat"), "<1>\r\n<2b>\r\n");
  EXPECT_EQ(hut->Item(0)->text(), "C1");
}

TEST_F(HutWindowTest, MenusCloseWhenTheHutGoesAndHelpWithoutAFileDoesNothing) {
  auto hut = Start();
  HutMenuBar& bar = hut->MenuBar();
  QTest::mousePress(Control<MenuLabel>(*hut, "helpMenuLabel"), Qt::LeftButton);
  ASSERT_TRUE(Control<QWidget>(*hut, "helpDropDown")->isVisible());
  // F1 closes the menu; the help file is not there, so nothing opens.
  QTest::keyClick(hut.get(), Qt::Key_F1);
  EXPECT_FALSE(Control<QWidget>(*hut, "helpDropDown")->isVisible());
  EXPECT_FALSE(platform::FileExists(hut->HelpFile()));

  QTest::mousePress(Control<MenuLabel>(*hut, "fileMenuLabel"), Qt::LeftButton);
  ASSERT_TRUE(bar.State().MenuOpen());
  hut->hide();
  EXPECT_FALSE(bar.State().MenuOpen());
  EXPECT_EQ(bar.State().Cursor(), kClosed);
  EXPECT_FALSE(Control<QTimer>(bar, "hoverTimer")->isActive());
}

}  // namespace
}  // namespace mf
