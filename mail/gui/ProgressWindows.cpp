#include "mail/gui/ProgressWindows.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "mail/gui/ProgressArt.h"
#include "platform/qt/AccessibleControls.h"
#include "platform/qt/ScreenPlacement.h"

namespace mf {
namespace {

constexpr int kFixedLeft = 10;
constexpr int kFixedTop = 11;
// The letter flies a little lower than the fixed picture's top.
constexpr int kLetterDrop = 10;

}  // namespace

const QColor ProgressWindow::kColour(250, 191, 255);

ProgressWindow::ProgressWindow(const QString& caption, const QPixmap& fixedPicture,
                               ProgressAnimation::Direction direction, int frameMs)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      animation_(direction, kFixedLeft + kFixedPictureSide, kClientWidth, kLetterFrameWidth),
      frames_(FlyingLetterFrames()) {
  setWindowTitle(caption);
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kColour);
  setPalette(colours);

  stillPicture_ = new QLabel(this);
  stillPicture_->setObjectName("stillPicture");
  stillPicture_->setGeometry(kFixedLeft, kFixedTop, kFixedPictureSide, kFixedPictureSide);
  stillPicture_->setPixmap(fixedPicture);
  flyingLetter_ = new QLabel(this);
  flyingLetter_->setObjectName("flyingLetter");
  flyingLetter_->resize(kLetterFrameWidth, kLetterFrameHeight);

  frameTimer_ = new QTimer(this);
  frameTimer_->setObjectName("frameTimer");
  frameTimer_->setInterval(frameMs);
  connect(frameTimer_, &QTimer::timeout, this, [this] { NextFrame(); });
  platform::MakeAccessible(*this, {QAccessible::Window, {}, {}, {}});
}

bool ProgressWindow::Running() const { return frameTimer_->isActive(); }

void ProgressWindow::DrawFrame() {
  flyingLetter_->move(animation_.Left(), stillPicture_->y() + kLetterDrop);
  flyingLetter_->setPixmap(frames_[animation_.Frame()]);
}

void ProgressWindow::ShowProgress() {
  // First shown centred in the upper part of the monitor the user works on,
  // clear of the character and its bubble, which stand at the middle until
  // the user moves them; where the user moves this window, it stays, as long
  // as a monitor still shows it.
  if (!placed_) {
    if (QScreen* screen = platform::WorkingScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.center().x() - kClientWidth / 2, area.top() + area.height() / 5);
    }
    placed_ = true;
  } else {
    move(platform::OntoOneScreen(frameGeometry()).topLeft());
  }
  animation_.Start();
  DrawFrame();
  frameTimer_->start();
  show();
}

void ProgressWindow::NextFrame() {
  animation_.Tick();
  DrawFrame();
}

void ProgressWindow::HideProgress() {
  frameTimer_->stop();
  hide();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  // Closing by the title bar only hides: the session goes on, and so does
  // the window, to be shown again.
  event->ignore();
  HideProgress();
}

SendingProgressWindow::SendingProgressWindow()
    : ProgressWindow(QString::fromUtf8("送信中"), PostBoxPicture(), ProgressAnimation::Direction::AwayFromPicture,
                     kFrameMs) {}

ReceivingProgressWindow::ReceivingProgressWindow()
    : ProgressWindow(QString::fromUtf8("受信中"), HomePicture(), ProgressAnimation::Direction::TowardsPicture,
                     kFrameMs) {}

void ReceivingProgressWindow::ShowProgress() {
  if (showSwitch_) ProgressWindow::ShowProgress();
}

void ReceivingProgressWindow::HideProgress() {
  ProgressWindow::HideProgress();
  showSwitch_ = true;
}

}  // namespace mf
