#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "character/gui/ShapedPicture.h"
#include "platform/DesktopWindows.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

using testing::CharacterSetup;

class FakeHost final : public CharacterHost {
 public:
  void ReturnHome(int index) override { returned.push_back(index); }
  void SendMailByCharacter(const std::string& id) override { mailed.push_back(id); }
  ScreenPoint& MailPosition() override { return position; }

  std::vector<int> returned;
  std::vector<std::string> mailed;
  ScreenPoint position{300, 200};
};

class CharacterWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeCharacter(folder_.Path(), CharacterSetup{.scenes = testing::StandingScenes()});
    form_.SetIdentity(4, "<1@test>", folder_.Path() + "char1");
  }

  void Press(Qt::MouseButton button, QPoint local) {
    QPoint global = form_.mapToGlobal(local);
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(local), QPointF(global), button, button,
                      Qt::NoModifier);
    form_.PictureMouseDown(&event);
  }
  void MoveTo(QPoint global) {
    QMouseEvent event(QEvent::MouseMove, QPointF(form_.mapFromGlobal(global)), QPointF(global),
                      Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    form_.PictureMouseMove(&event);
  }
  void Release(QPoint global) {
    QMouseEvent event(QEvent::MouseButtonRelease, QPointF(form_.mapFromGlobal(global)),
                      QPointF(global), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    form_.PictureMouseUp(&event);
  }

  platform::TemporaryFolder folder_;
  platform::FakeDesktopWindows desktop_;
  WindowEdgeSearch edges_{desktop_};
  FakeHost host_;
  CharacterWindow form_{host_, edges_};
};

TEST_F(CharacterWindowTest, IsASmallBorderlessToolWindow) {
  EXPECT_EQ(form_.windowTitle(), QString::fromUtf8("モフタンキャラクター"));
  EXPECT_EQ(form_.size(), QSize(46, 46));
  EXPECT_TRUE(form_.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(form_.windowType(), Qt::Tool);
  EXPECT_FALSE(Control<QTimer>(form_, "walkTimer")->isActive());
  EXPECT_EQ(Control<QTimer>(form_, "walkTimer")->interval(), 200);
  ASSERT_EQ(Control<QMenu>(form_, "characterMenu")->actions().size(), 2);
  EXPECT_EQ(Control<QAction>(form_, "comeInAction")->text(), QString::fromUtf8("小屋に戻す(&R)"));
  EXPECT_EQ(Control<QAction>(form_, "writeMailAction")->text(), QString::fromUtf8("メールを送る(&M)"));
}

TEST_F(CharacterWindowTest, ShapeIsTheOpaquePartOfTheShownPicture) {
  ASSERT_TRUE(form_.LoadScenes());
  QRegion shape = form_.mask();
  EXPECT_EQ(shape.boundingRect(), QRect(10, 10, 26, 26));
  EXPECT_TRUE(shape.contains(QPoint(20, 20)));
  EXPECT_FALSE(shape.contains(QPoint(5, 5)));
  EXPECT_EQ(Control<ShapedPicture>(form_, "pictureView")->TransparentColor & 0xFFFFFF, testing::kBackground);
}

TEST_F(CharacterWindowTest, TicksMoveTheWindowWithTheEngine) {
  ASSERT_TRUE(form_.LoadScenes());
  form_.show();
  for (int i = 0; i < 20; ++i) {
    form_.TakeStep();
    ASSERT_EQ(form_.pos(), QPoint(form_.Engine().Left(), form_.Engine().Top())) << "tick " << i;
  }
}

TEST_F(CharacterWindowTest, DraggingPausesTheAnimationUntilRelease) {
  ASSERT_TRUE(form_.LoadScenes());
  form_.move(100, 100);
  form_.Engine().MoveTo(100, 100);
  form_.show();
  Control<QTimer>(form_, "walkTimer")->start();

  Press(Qt::RightButton, QPoint(20, 20));
  EXPECT_FALSE(form_.Dragging());
  EXPECT_TRUE(Control<QTimer>(form_, "walkTimer")->isActive());

  Press(Qt::LeftButton, QPoint(20, 20));
  EXPECT_TRUE(form_.Dragging());
  EXPECT_FALSE(Control<QTimer>(form_, "walkTimer")->isActive());
  MoveTo(QPoint(320, 420));
  EXPECT_EQ(form_.pos(), QPoint(300, 400));
  EXPECT_EQ(form_.Engine().Left(), 300);
  EXPECT_EQ(form_.Engine().Top(), 400);
  Release(QPoint(320, 420));
  EXPECT_FALSE(form_.Dragging());
  EXPECT_TRUE(Control<QTimer>(form_, "walkTimer")->isActive());

  // A character that stood still stays still after a drag.
  Control<QTimer>(form_, "walkTimer")->stop();
  Press(Qt::LeftButton, QPoint(20, 20));
  Release(QPoint(330, 430));
  EXPECT_FALSE(Control<QTimer>(form_, "walkTimer")->isActive());
}

TEST_F(CharacterWindowTest, ParkingForMailAndBack) {
  ASSERT_TRUE(form_.LoadScenes());
  // A modest character walks out of the topmost band once it comes back
  // onto the screen.
  form_.show();
  form_.Engine().MoveTo(-1000, -1000);
  for (int tick = 0; tick < 10 && form_.TopmostFlag(); ++tick) form_.TakeStep();
  ASSERT_FALSE(form_.IsTopmost());
  form_.move(100, 150);
  form_.Engine().MoveTo(100, 150);
  Control<QTimer>(form_, "walkTimer")->start();
  // A mail position left beyond the right edge of a smaller screen.
  host_.position = ScreenPoint{100000, 120};

  form_.ParkForMail();
  QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(host_.position, (ScreenPoint{screen.width() / 2, 120}));
  EXPECT_EQ(form_.pos(), QPoint(screen.width() / 2, 120));
  EXPECT_FALSE(Control<QTimer>(form_, "walkTimer")->isActive());
  EXPECT_TRUE(form_.isVisible());
  // Above the program's windows beside its bubble, even a modest one ...
  ASSERT_FALSE(form_.TopmostFlag());
  EXPECT_TRUE(form_.IsTopmost());

  form_.RestoreAfterMail();
  EXPECT_EQ(form_.pos(), QPoint(100, 150));
  EXPECT_TRUE(Control<QTimer>(form_, "walkTimer")->isActive());
  EXPECT_TRUE(form_.isVisible());
  // ... which walks on where its scene puts it.
  EXPECT_FALSE(form_.IsTopmost());

  // A hidden character is hidden again afterwards.
  form_.hide();
  Control<QTimer>(form_, "walkTimer")->stop();
  form_.ParkForMail();
  form_.RestoreAfterMail();
  EXPECT_FALSE(form_.isVisible());
  EXPECT_FALSE(Control<QTimer>(form_, "walkTimer")->isActive());
}

TEST_F(CharacterWindowTest, TopmostSwitchKeepsTheWindow) {
  form_.move(50, 60);
  form_.show();
  WId id = form_.winId();
  EXPECT_TRUE(form_.IsTopmost());
  form_.SetTopmost(false);
  EXPECT_FALSE(form_.IsTopmost());
  EXPECT_FALSE(form_.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form_.winId(), id);
  EXPECT_EQ(form_.pos(), QPoint(50, 60));
  EXPECT_TRUE(form_.isVisible());
  form_.SetTopmost(true);
  EXPECT_TRUE(form_.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form_.winId(), id);
}

// A character never covers the program window the user works in: a click
// meant for a field there must reach the field.
struct Covering {
  const char* name;
  QPoint at;           // the character's top left from the dialog's outer top left (300 x 200 inside)
  const char* active;  // "dialog", "character" or "none"
  bool walking;
  bool givesWay;
};

class GivingWay : public CharacterWindowTest, public ::testing::WithParamInterface<Covering> {};

TEST_P(GivingWay, OnlyAWalkingCharacterOverTheActiveProgramWindowPassesBehindIt) {
  QDialog dialog;
  dialog.setGeometry(200, 200, 300, 200);
  dialog.show();
  const QRect frame = dialog.frameGeometry();
  const QPoint at = frame.topLeft() + GetParam().at;
  CharacterWindow other{host_, edges_};
  other.move(at);
  ASSERT_TRUE(form_.LoadScenes());
  form_.move(at);
  form_.Engine().MoveTo(at.x(), at.y());
  form_.show();
  ASSERT_TRUE(form_.IsTopmost());
  if (GetParam().walking) Control<QTimer>(form_, "walkTimer")->start();
  const std::string active = GetParam().active;
  if (active == "dialog") {
    QApplication::setActiveWindow(&dialog);
  } else if (active == "character") {
    other.show();
    QApplication::setActiveWindow(&other);
  } else {
    QApplication::setActiveWindow(nullptr);
  }
  form_.GiveWayToActiveWindow();
  EXPECT_EQ(form_.GivingWay(), GetParam().givesWay);
  EXPECT_EQ(form_.IsTopmost(), !GetParam().givesWay);
  EXPECT_TRUE(form_.TopmostFlag()) << "the engine keeps its choice";
}

INSTANTIATE_TEST_SUITE_P(
    Situations, GivingWay,
    ::testing::Values(Covering{"OverTheActiveDialog", QPoint(100, 100), "dialog", true, true},
                      Covering{"OverItsTopCorner", QPoint(-20, -30), "dialog", true, true},
                      Covering{"StandingOnItsTop", QPoint(100, -46), "dialog", true, false},
                      Covering{"Beside", QPoint(400, 50), "dialog", true, false},
                      Covering{"AnotherProgramInFront", QPoint(100, 100), "none", true, false},
                      Covering{"AnotherCharacterActive", QPoint(100, 100), "character", true, false},
                      Covering{"HeldOrParked", QPoint(100, 100), "dialog", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CharacterWindowTest, GivingWayStartsWithTheDialogAndEndsOnceClear) {
  QDialog dialog;
  dialog.setGeometry(200, 200, 300, 200);
  ASSERT_TRUE(form_.LoadScenes());
  form_.move(300, 300);
  form_.Engine().MoveTo(300, 300);
  form_.show();
  Control<QTimer>(form_, "walkTimer")->start();

  // A dialog opening under it: no step needed.
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitFor([this] { return form_.GivingWay(); }, 1000));
  EXPECT_FALSE(form_.IsTopmost());

  // Walking off it, it takes its place on top again.
  form_.Engine().MoveTo(600, 300);
  form_.TakeStep();
  EXPECT_FALSE(form_.GivingWay());
  EXPECT_TRUE(form_.IsTopmost());

  // Parked beside a mail it stands above the active window, whatever it
  // gave way to before.
  form_.Engine().MoveTo(300, 300);
  form_.TakeStep();
  ASSERT_TRUE(form_.GivingWay());
  form_.ParkForMail();
  form_.GiveWayToActiveWindow();
  EXPECT_FALSE(form_.GivingWay());
  EXPECT_TRUE(form_.IsTopmost());
  form_.RestoreAfterMail();
  EXPECT_TRUE(form_.IsTopmost());
}

TEST_F(CharacterWindowTest, FirstImagePassesOverUnreadableFiles) {
  std::string folder = folder_.Path() + "char1";
  platform::WriteFileAtomic(folder + "/image1.bmp", "not a bitmap");
  platform::WriteFileAtomic(folder + "/image2.bmp",
                            testing::BitmapBytes(46, 46, [](int, int) { return 0x123456u; }));
  form_.ShowFirstImage();
  EXPECT_EQ(Control<ShapedPicture>(form_, "pictureView")->Picture().pixel(5, 5) & 0xFFFFFF, 0x123456u);
}

TEST_F(CharacterWindowTest, PictureWithoutOpaquePixelsShowsNothing) {
  platform::WriteFileAtomic(folder_.Path() + "char1/image1.bmp",
                            testing::BitmapBytes(46, 46, [](int, int) { return testing::kBackground; }));
  form_.ShowFirstImage();
  // An empty mask would mean "no mask": the whole square would show.
  EXPECT_FALSE(form_.mask().isEmpty());
  EXPECT_FALSE(form_.mask().intersects(form_.rect()));
}

TEST_F(CharacterWindowTest, MenuCommandsGoToTheHut) {
  Control<QAction>(form_, "comeInAction")->trigger();
  Control<QAction>(form_, "writeMailAction")->trigger();
  EXPECT_EQ(host_.returned, std::vector<int>{4});
  EXPECT_EQ(host_.mailed, std::vector<std::string>{"<1@test>"});
}

}  // namespace
}  // namespace mf
