#include "mail/gui/SpeechBubbleWindow.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>

#include "mail/gui/CharPosition.h"
#include "platform/qt/ScreenPlacement.h"
#include "widgets/LongTextView.h"

namespace mf {
namespace {

// One notch of an ordinary mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

QPainterPath BubblePath(QSize size, int bodyLeft) {
  QPainterPath body;
  const qreal radius = SpeechBubbleWindow::kCornerSize / 2.0;
  body.addRoundedRect(QRectF(bodyLeft, 0, size.width() - bodyLeft, size.height()), radius, radius);
  QPainterPath tail;
  tail.addPolygon(QPolygonF({QPointF(0, SpeechBubbleWindow::kTailTip), QPointF(bodyLeft, SpeechBubbleWindow::kTailTop),
                             QPointF(bodyLeft, SpeechBubbleWindow::kTailTip)}));
  tail.closeSubpath();
  return body.united(tail);
}

}  // namespace

const QColor SpeechBubbleWindow::kColour(255, 255, 140);
const QColor SpeechBubbleWindow::kButtonColour(255, 221, 255);
const QColor SpeechBubbleWindow::kButtonHoverColour(221, 255, 255);

QRegion SpeechBubbleWindow::BubbleRegion(QSize size, int bodyLeft) {
  return QRegion(BubblePath(size, bodyLeft).toFillPolygon().toPolygon(), Qt::WindingFill);
}

QPoint SpeechBubbleWindow::BesideCarrier(ScreenPoint carrierTopLeft, int pictureWidth) {
  return QPoint(carrierTopLeft.x + pictureWidth, carrierTopLeft.y - kCarrierDrop);
}

ScreenPoint SpeechBubbleWindow::CarrierOnScreen(ScreenPoint carrierTopLeft, QSize picture, QSize window) {
  const QPoint carrier(carrierTopLeft.x, carrierTopLeft.y);
  const QRect pair = QRect(carrier, picture).united(QRect(BesideCarrier(carrierTopLeft, picture.width()), window));
  const QPoint shift = platform::OntoScreenOf(pair, carrier).topLeft() - pair.topLeft();
  return ScreenPoint{carrierTopLeft.x + shift.x(), carrierTopLeft.y + shift.y()};
}

SpeechBubbleWindow::SpeechBubbleWindow(MailHost& host, platform::IniFile settings)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint), host_(host), settings_(std::move(settings)) {
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, kColour);
  setPalette(colours);
  LoadCharPosition(settings_, host_.MailPosition());
}

void SpeechBubbleWindow::SetBodyLeft(int bodyLeft) {
  bodyLeft_ = bodyLeft;
  Reshape();
}

void SpeechBubbleWindow::Reshape() {
  shape_ = BubbleRegion(size(), bodyLeft_);
  setMask(shape_);
  update();
}

void SpeechBubbleWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Reshape();
}

void SpeechBubbleWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), kColour);
  // A darker rim inside the cut edge, so the bubble stands out on a pale desktop.
  painter.setPen(QPen(kColour.darker(135), 3));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(BubblePath(size(), bodyLeft_));
}

void SpeechBubbleWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  dragging_ = true;
  dragPoint_ = event->position().toPoint();
}

void SpeechBubbleWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QDialog::mouseMoveEvent(event);
  move(event->globalPosition().toPoint() - dragPoint_);
  const CarrierRef carrier = Carrier();
  if (auto place = host_.PlaceOf(carrier)) {
    host_.MoveCarrier(carrier, ScreenPoint{x() - place->pictureWidth, y() + kCarrierDrop});
  }
  Dragged();
}

void SpeechBubbleWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return QDialog::mouseReleaseEvent(event);
  dragging_ = false;
  // Where the user put the character is where characters stand with mail
  // from now on, this session and the next.
  if (auto place = host_.PlaceOf(Carrier())) {
    host_.MailPosition() = place->topLeft;
    SaveCharPosition(settings_, place->topLeft);
  }
}

void SpeechBubbleWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    host_.BringCarrierIntoView(Carrier());
  }
}

void SpeechBubbleWindow::ScrollOneLinePerNotch(QAbstractScrollArea* area) {
  wheelArea_ = area;
  area->viewport()->installEventFilter(this);
}

bool SpeechBubbleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (wheelArea_ && watched == wheelArea_->viewport() && event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    wheelRemainder_ += wheel->angleDelta().y();
    const int notches = wheelRemainder_ / kWheelNotch;
    wheelRemainder_ %= kWheelNotch;
    // A long-text view counts its scroll bar in rows, a rich edit in pixels.
    const int line = qobject_cast<LongTextView*>(wheelArea_) ? 1 : wheelArea_->fontMetrics().lineSpacing();
    QScrollBar* bar = wheelArea_->verticalScrollBar();
    bar->setValue(bar->value() - notches * line);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace mf
