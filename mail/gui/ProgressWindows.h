#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

#include "mail/gui/ProgressAnimation.h"

class QLabel;
class QTimer;

namespace mf {

// A small window with a fixed picture and a winged letter crossing it, shown
// while a POP3 or SMTP session runs.
class ProgressWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 320;
  static constexpr int kClientHeight = 70;
  static const QColor kColour;

  // Places the letter at its start, draws its first frame, starts the frame
  // timer and shows the window.
  virtual void ShowProgress();
  // Stops the timer and hides the window.
  virtual void HideProgress();

  // One frame step.
  void NextFrame();

  int FrameIndex() const { return animation_.Frame(); }
  bool Running() const;

 protected:
  ProgressWindow(const QString& caption, const QPixmap& fixedPicture, ProgressAnimation::Direction direction,
                 int frameMs);
  void closeEvent(QCloseEvent* event) override;

 private:
  void DrawFrame();

  ProgressAnimation animation_;
  std::vector<QPixmap> frames_;
  bool placed_ = false;

  // Controls.
  QLabel* stillPicture_;  // the fixed picture
  QLabel* flyingLetter_;  // the moving letter
  QTimer* frameTimer_;
};

// "送信中": a letter flies away from the post box, one frame in 200 ms.
class SendingProgressWindow final : public ProgressWindow {
  Q_OBJECT

 public:
  static constexpr int kFrameMs = 200;
  SendingProgressWindow();
};

// "受信中": a letter flies home, one frame in 500 ms. A periodic receive
// turns the show switch off just before it starts, so that it runs silently;
// the next hide turns it on again.
class ReceivingProgressWindow final : public ProgressWindow {
  Q_OBJECT

 public:
  static constexpr int kFrameMs = 500;
  ReceivingProgressWindow();

  void ShowProgress() override;
  void HideProgress() override;
  bool ShowSwitch() const { return showSwitch_; }
  void SetShowSwitch(bool on) { showSwitch_ = on; }

 private:
  bool showSwitch_ = true;
};

}  // namespace mf
