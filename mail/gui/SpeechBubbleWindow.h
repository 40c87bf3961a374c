#pragma once

#include <QColor>
#include <QDialog>
#include <QPoint>
#include <QRegion>

#include "mail/gui/MailHost.h"
#include "platform/IniFile.h"

class QAbstractScrollArea;

namespace mf {

// What the composition window and the mail viewer share: a borderless pale
// yellow speech bubble with a rounded body and a tail pointing left at the
// character beside it, dragged by its surface with the character following,
// the mail position kept in the settings after a drag, the character brought
// into view when the window is activated, and text that the wheel scrolls
// one line per notch.
class SpeechBubbleWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kCornerSize = 80;    // width and height of the corner ellipses
  static constexpr int kTailTip = 70;       // the tail's tip at (0, 70) ...
  static constexpr int kTailTop = 40;       // ... its base from (body left, 40) to (body left, 70)
  static constexpr int kCarrierDrop = 50;   // the character stands this much below the window's top
  static const QColor kColour;
  static const QColor kButtonColour;
  static const QColor kButtonHoverColour;

  // The bubble of a window of `size` whose body starts at `bodyLeft`: a
  // rounded rectangle from there to the right edge over the full height,
  // and the tail's triangle.
  static QRegion BubbleRegion(QSize size, int bodyLeft);

  // Reads the mail position from [CharPosition] of `settings`.
  SpeechBubbleWindow(MailHost& host, platform::IniFile settings);

  const QRegion& Shape() const { return shape_; }
  bool Dragging() const { return dragging_; }

  // Where the window stands beside a character at `carrierTopLeft` whose
  // picture is `pictureWidth` wide.
  static QPoint BesideCarrier(ScreenPoint carrierTopLeft, int pictureWidth);
  // Where a character of `picture` size stands so that it and a window of
  // `window` size beside it both lie on the monitor of `carrierTopLeft`:
  // moved as one, the bubble's tail still points at the character.
  static ScreenPoint CarrierOnScreen(ScreenPoint carrierTopLeft, QSize picture, QSize window);

 protected:
  // The character lent to this window, or an empty one.
  virtual CarrierRef Carrier() const = 0;
  // The window moved during a drag (the composition window takes the viewer along).
  virtual void Dragged() {}

  // The body starts at `bodyLeft` (left of the first caption − 24).
  void SetBodyLeft(int bodyLeft);
  // The wheel over `area` scrolls its text one line per notch.
  void ScrollOneLinePerNotch(QAbstractScrollArea* area);

  MailHost& Host() { return host_; }

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Reshape();

  MailHost& host_;
  platform::IniFile settings_;
  int bodyLeft_ = 0;
  QRegion shape_;
  bool dragging_ = false;
  QPoint dragPoint_;           // where the drag started, in window coordinates
  QAbstractScrollArea* wheelArea_ = nullptr;
  int wheelRemainder_ = 0;     // eighths of a degree not yet worth a line
};

}  // namespace mf
