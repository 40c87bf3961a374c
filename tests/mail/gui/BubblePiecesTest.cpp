#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "mail/gui/CharPosition.h"
#include "mail/gui/ProgressAnimation.h"
#include "mail/gui/SpeechBubbleWindow.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

TEST(BubbleRegion, RoundedBodyAndATailPointingLeft) {
  const QRegion shape = SpeechBubbleWindow::BubbleRegion(QSize(400, 300), 40);
  struct Case {
    QPoint point;
    bool inside;
  };
  const Case cases[] = {
      {{200, 150}, true},   // the body
      {{41, 150}, true},    // its left edge, clear of the corners
      {{2, 69}, true},      // the tail's tip
      {{39, 42}, true},     // the tail's upper base corner
      {{20, 50}, false},    // above the tail's slope
      {{20, 75}, false},    // below the tail
      {{41, 2}, false},     // cut by the upper left corner ellipse
      {{398, 2}, false},    // upper right
      {{398, 298}, false},  // lower right
      {{380, 150}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(shape.contains(c.point), c.inside) << c.point.x() << "," << c.point.y();
}

TEST(BubbleRegion, TheWindowStandsBesideTheCharacter) {
  EXPECT_EQ(SpeechBubbleWindow::BesideCarrier(ScreenPoint{300, 250}, 46), QPoint(346, 200));
}

TEST(BubbleRegion, ACharacterAndItsBubbleMoveOntoTheScreenTogether) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QSize picture(46, 46);
  const QSize bubble(300, 200);
  struct Case {
    ScreenPoint asked;
    ScreenPoint stands;
  };
  const Case cases[] = {
      {{area.left() + 10, area.top() + 60}, {area.left() + 10, area.top() + 60}},  // both fit: unchanged
      {{area.right() - 100, area.top() + 60}, {area.right() + 1 - 346, area.top() + 60}},  // bubble past the right
      {{area.left() + 10, area.bottom() - 20}, {area.left() + 10, area.bottom() + 1 - 150}},  // bubble past the bottom
      {{area.left() + 10, area.top() + 10}, {area.left() + 10, area.top() + 50}},  // bubble above the top
      {{area.left() - 30, area.top() + 60}, {area.left(), area.top() + 60}},       // character past the left
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SpeechBubbleWindow::CarrierOnScreen(c.asked, picture, bubble), c.stands) << c.asked.x << "," << c.asked.y;
  }
}

TEST(CharPosition, OnlyIntegersReplaceACoordinate) {
  struct Case {
    const char* left;
    const char* top;
    ScreenPoint expected;
  };
  const Case cases[] = {
      {"A", "A", {512, 384}},      // never set: the screen centre stays
      {"120", "-30", {120, -30}},
      {"12x", "40", {512, 40}},    // each coordinate on its own
      {"", "99999999999", {512, 384}},
      {"-", "7", {512, 7}},
  };
  for (const Case& c : cases) {
    platform::TemporaryFolder folder;
    platform::IniFile settings(folder.Path() + "MFMail.ini");
    settings.WriteString("CharPosition", "Left", c.left);
    settings.WriteString("CharPosition", "Top", c.top);
    ScreenPoint position{512, 384};
    LoadCharPosition(settings, position);
    EXPECT_EQ(position, c.expected) << c.left << " " << c.top;
  }
}

TEST(CharPosition, WrittenAsDecimalTextAndReadBack) {
  platform::TemporaryFolder folder;
  platform::IniFile settings(folder.Path() + "MFMail.ini");
  SaveCharPosition(settings, ScreenPoint{-12, 640});
  EXPECT_EQ(settings.ReadString("CharPosition", "Left", ""), "-12");
  EXPECT_EQ(settings.ReadString("CharPosition", "Top", ""), "640");
  ScreenPoint position;
  LoadCharPosition(settings, position);
  EXPECT_EQ(position, (ScreenPoint{-12, 640}));
}

TEST(ProgressAnimation, FramesRunForthAndBack) {
  ProgressAnimation animation(ProgressAnimation::Direction::AwayFromPicture, 60, 320, 55);
  EXPECT_EQ(animation.Frame(), 0);
  std::vector<int> frames;
  for (int i = 0; i < 10; ++i) {
    animation.Tick();
    frames.push_back(animation.Frame());
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 4, 3, 2, 1, 0, 1, 2}));
  animation.Start();
  EXPECT_EQ(animation.Frame(), 0);
  animation.Tick();
  EXPECT_EQ(animation.Frame(), 1) << "a restart runs forward again";
}

TEST(ProgressAnimation, TheLetterCrossesAndStartsOver) {
  struct Case {
    ProgressAnimation::Direction direction;
    int start;
    int afterOne;
    int ticksToWrap;  // the tick that puts it back at the start
  };
  // Client 320, letter 55, fixed picture ending at 60: sending runs from 60
  // while it stays at or left of 255; receiving from 255 while it stays at or
  // right of 30.
  const Case cases[] = {
      {ProgressAnimation::Direction::AwayFromPicture, 60, 70, 20},
      {ProgressAnimation::Direction::TowardsPicture, 255, 245, 23},
  };
  for (const Case& c : cases) {
    ProgressAnimation animation(c.direction, 60, 320, 55);
    EXPECT_EQ(animation.Left(), c.start);
    animation.Tick();
    EXPECT_EQ(animation.Left(), c.afterOne);
    for (int tick = 2; tick < c.ticksToWrap; ++tick) {
      animation.Tick();
      EXPECT_NE(animation.Left(), c.start) << "tick " << tick;
    }
    animation.Tick();
    EXPECT_EQ(animation.Left(), c.start);
  }
}

TEST(LabelButton, ChangesColourUnderTheMouseAndClicksOnRelease) {
  QWidget parent;
  LabelButton button(QStringLiteral("OK"), QColor(255, 221, 255), QColor(221, 255, 255), &parent);
  button.resize(60, 20);
  parent.show();
  QSignalSpy clicks(&button, &LabelButton::clicked);

  EXPECT_EQ(button.Colour(), QColor(255, 221, 255));
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.Colour(), QColor(221, 255, 255));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.Colour(), QColor(255, 221, 255));

  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  QTest::mouseClick(&button, Qt::RightButton);
  EXPECT_EQ(clicks.count(), 1);
  // Pressed on the button, released beside it: no click.
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 5));
  EXPECT_EQ(clicks.count(), 1);
  button.setEnabled(false);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
  button.setEnabled(true);

  // Its window closes under the pointer (the composition window after
  // "送る"), or the button itself is hidden: no leave event comes, and it
  // must not come back hovered.
  for (QWidget* hidden : {&parent, static_cast<QWidget*>(&button)}) {
    QApplication::sendEvent(&button, &enter);
    ASSERT_EQ(button.Colour(), QColor(221, 255, 255));
    hidden->hide();
    hidden->show();
    EXPECT_EQ(button.Colour(), QColor(255, 221, 255));
  }
}

}  // namespace
}  // namespace mf
