#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>

#include "mail/gui/ProgressWindows.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

TEST(ProgressWindows, TheirLookAndTiming) {
  SendingProgressWindow sending;
  ReceivingProgressWindow receiving;
  EXPECT_EQ(sending.windowTitle(), QString::fromUtf8("送信中"));
  EXPECT_EQ(receiving.windowTitle(), QString::fromUtf8("受信中"));
  EXPECT_EQ(Control<QTimer>(sending, "frameTimer")->interval(), 200);
  EXPECT_EQ(Control<QTimer>(receiving, "frameTimer")->interval(), 500);
  EXPECT_EQ(sending.palette().color(QPalette::Window), QColor(250, 191, 255));
  EXPECT_FALSE(Control<QLabel>(sending, "stillPicture")->pixmap().isNull());
  EXPECT_FALSE(sending.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(sending.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST(ProgressWindows, TheSendingLetterAdvancesTenPixelsATick) {
  SendingProgressWindow sending;
  sending.ShowProgress();
  EXPECT_TRUE(sending.isVisible());
  EXPECT_TRUE(sending.Running());
  const int start = Control<QLabel>(sending, "stillPicture")->x() + Control<QLabel>(sending, "stillPicture")->width();
  EXPECT_EQ(Control<QLabel>(sending, "flyingLetter")->x(), start);
  EXPECT_EQ(Control<QLabel>(sending, "flyingLetter")->y(), Control<QLabel>(sending, "stillPicture")->y() + 10);
  EXPECT_EQ(Control<QLabel>(sending, "flyingLetter")->size(), QSize(55, 44));
  EXPECT_EQ(sending.FrameIndex(), 0);
  sending.NextFrame();
  EXPECT_EQ(Control<QLabel>(sending, "flyingLetter")->x(), start + 10);
  EXPECT_EQ(sending.FrameIndex(), 1);
  // Closing by the title bar only hides it.
  sending.close();
  EXPECT_FALSE(sending.isVisible());
  EXPECT_FALSE(sending.Running());
  // Shown again, it starts over.
  sending.ShowProgress();
  EXPECT_EQ(Control<QLabel>(sending, "flyingLetter")->x(), start);
  sending.HideProgress();
}

TEST(ProgressWindows, APeriodicReceiveRunsSilentlyOnce) {
  ReceivingProgressWindow receiving;
  EXPECT_EQ(Control<QLabel>(receiving, "flyingLetter")->x(), 0);
  receiving.SetShowSwitch(false);
  receiving.ShowProgress();
  EXPECT_FALSE(receiving.isVisible());
  EXPECT_FALSE(receiving.Running());
  receiving.HideProgress();
  EXPECT_TRUE(receiving.ShowSwitch());

  receiving.ShowProgress();
  EXPECT_TRUE(receiving.isVisible());
  const int start = ProgressWindow::kClientWidth - 55 - 10;
  EXPECT_EQ(Control<QLabel>(receiving, "flyingLetter")->x(), start);
  receiving.NextFrame();
  EXPECT_EQ(Control<QLabel>(receiving, "flyingLetter")->x(), start - 10);
  receiving.HideProgress();
  EXPECT_FALSE(receiving.isVisible());
}

}  // namespace
}  // namespace mf
