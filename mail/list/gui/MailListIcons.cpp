#include "mail/list/gui/MailListIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace mf {

namespace {

constexpr int kSize = 16;

// What each pair of positions shows: the envelope's colour and a mark.
enum class Mark { None, OpenFlap, Arrow, Clock, Pin, Curve, CurveArrow, Inward, Question };
struct Look {
  QColor paper;
  Mark mark;
};
constexpr int kKinds = MailListIcons::kCount / 2;
const Look& LookOf(int kind) {
  static const Look looks[kKinds] = {
      {QColor(240, 240, 232), Mark::OpenFlap},   // read
      {QColor(255, 236, 140), Mark::None},       // unread
      {QColor(200, 225, 255), Mark::Arrow},      // sent
      {QColor(255, 210, 170), Mark::Clock},      // waiting
      {QColor(205, 240, 200), Mark::Pin},        // kept
      {QColor(240, 240, 232), Mark::Curve},      // replied
      {QColor(200, 225, 255), Mark::CurveArrow}, // sent reply
      {QColor(225, 210, 245), Mark::Inward},     // imported
      {QColor(255, 190, 190), Mark::Question},   // unconfirmed: may have arrived
  };
  return looks[kind];
}

void DrawEnvelope(QPainter& p, const Look& look) {
  const QRectF body(1.5, 4.5, 12, 9);
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(look.paper);
  p.drawRect(body);
  if (look.mark == Mark::OpenFlap) {
    QPainterPath flap;
    flap.moveTo(1.5, 4.5);
    flap.lineTo(7.5, 0.5);
    flap.lineTo(13.5, 4.5);
    p.drawPath(flap);
    p.drawLine(QPointF(1.5, 4.5), QPointF(7.5, 9.5));
    p.drawLine(QPointF(13.5, 4.5), QPointF(7.5, 9.5));
  } else {
    p.drawLine(QPointF(1.5, 4.5), QPointF(7.5, 9.5));
    p.drawLine(QPointF(13.5, 4.5), QPointF(7.5, 9.5));
  }
}

void DrawMark(QPainter& p, Mark mark) {
  QPen pen(QColor(30, 60, 160), 1.5);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  switch (mark) {
    case Mark::None:
    case Mark::OpenFlap:
      return;
    case Mark::Arrow:
    case Mark::CurveArrow:
      p.drawLine(QPointF(9, 13), QPointF(15, 13));
      p.drawLine(QPointF(12.5, 10.5), QPointF(15, 13));
      p.drawLine(QPointF(12.5, 15.5), QPointF(15, 13));
      if (mark == Mark::CurveArrow) p.drawArc(QRectF(3, 6, 6, 6), 0, 180 * 16);
      return;
    case Mark::Clock:
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(9, 9, 6.5, 6.5));
      p.drawLine(QPointF(12.25, 12.25), QPointF(12.25, 10.5));
      p.drawLine(QPointF(12.25, 12.25), QPointF(14, 12.25));
      return;
    case Mark::Pin:
      p.setPen(QPen(QColor(200, 40, 40), 1));
      p.setBrush(QColor(230, 60, 60));
      p.drawEllipse(QRectF(10, 9, 5, 5));
      return;
    case Mark::Curve:
      p.setPen(QPen(QColor(200, 110, 20), 1.5));
      p.drawArc(QRectF(8, 9, 7, 7), 90 * 16, 180 * 16);
      p.drawLine(QPointF(11.5, 9), QPointF(14, 9));
      return;
    case Mark::Question:
      p.setPen(QPen(QColor(190, 30, 30), 1));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(8.5, 8.5, 7, 7));
      p.setPen(QPen(QColor(190, 30, 30), 1.3));
      p.drawArc(QRectF(10.5, 9.8, 3, 2.8), -90 * 16, 270 * 16);
      p.drawLine(QPointF(12, 12.6), QPointF(12, 13.2));
      p.drawPoint(QPointF(12, 14.4));
      return;
    case Mark::Inward:
      p.setPen(QPen(QColor(110, 40, 160), 1.5));
      p.drawLine(QPointF(15, 13), QPointF(9, 13));
      p.drawLine(QPointF(11.5, 10.5), QPointF(9, 13));
      p.drawLine(QPointF(11.5, 15.5), QPointF(9, 13));
      return;
  }
}

void DrawClip(QPainter& p) {
  p.setPen(QPen(QColor(60, 60, 60), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(12.5, 0.5, 3, 8), 1.5, 1.5);
  p.drawLine(QPointF(14, 2.5), QPointF(14, 7));
}

QIcon Paint(int position) {
  QPixmap picture(kSize, kSize);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  const Look& look = LookOf(position / 2);
  DrawEnvelope(p, look);
  DrawMark(p, look.mark);
  if (position % 2 == 1) DrawClip(p);
  p.end();
  return QIcon(picture);
}

}  // namespace

MailListIcons::MailListIcons() {
  for (int i = 0; i < kCount; ++i) icons_[static_cast<std::size_t>(i)] = Paint(i);
}

const QIcon& MailListIcons::At(int position) const {
  if (position < 0 || position >= kCount) position = 0;
  return icons_[static_cast<std::size_t>(position)];
}

}  // namespace mf
