#include "widgets/LabelButton.h"

#include <QMouseEvent>

#include "platform/qt/AccessibleControls.h"

namespace mf {

LabelButton::LabelButton(const QString& caption, QColor normal, QColor hover, QWidget* parent)
    : QLabel(caption, parent), normal_(normal), hover_(hover) {
  setAlignment(Qt::AlignCenter);
  setAutoFillBackground(true);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setCursor(Qt::PointingHandCursor);
  Repaint();
  // A screen reader sees a button named by its caption, pressed as a click.
  platform::MakeAccessible(*this, {QAccessible::Button, [this] { return platform::AccessibleCaption(text()); },
                                   [this] { emit clicked(); }, {}});
}

QColor LabelButton::Colour() const { return palette().color(QPalette::Window); }

void LabelButton::SetHovered(bool hovered) {
  hovered_ = hovered;
  Repaint();
}

void LabelButton::Repaint() {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, hovered_ && isEnabled() ? hover_ : normal_);
  colours.setColor(QPalette::WindowText, Qt::black);
  colours.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
  setPalette(colours);
}

void LabelButton::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetHovered(true);
}

void LabelButton::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetHovered(false);
}

void LabelButton::mousePressEvent(QMouseEvent* event) {
  // Taken here so that a press on a button never starts a window drag.
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void LabelButton::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click && isEnabled()) emit clicked();
}

void LabelButton::hideEvent(QHideEvent* event) {
  QLabel::hideEvent(event);
  // Hidden, or its window closed, under the pointer: no leave event comes,
  // and the window opened again must not show it hovered.
  pressed_ = false;
  SetHovered(false);
}

void LabelButton::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) Repaint();
}

}  // namespace mf
