#pragma once

#include <QPoint>
#include <QWidget>
#include <string>

class QLabel;
class QTimer;

namespace mf {

// A notice of the program's own for a desktop that shows neither a tray
// balloon nor desktop notifications: a small pale window near where the
// user looks, which takes no focus, blocks nothing and goes away by itself
// (or at a click).
class PassingNotice final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kShownMs = 8000;

  PassingNotice();

  // Shows `title` and `text` (Shift_JIS) with the window's top left near
  // `near`, kept on the screen that holds that point; a notice still shown
  // is replaced.
  void Show(const std::string& title, const std::string& text, QPoint near);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Controls.
  QLabel* titleLabel_;
  QLabel* textLabel_;
  QTimer* hideTimer_;
};

}  // namespace mf
