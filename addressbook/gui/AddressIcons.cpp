#include "addressbook/gui/AddressIcons.h"

#include <cmath>
#include <numbers>

#include <QPainter>
#include <QPainterPath>

#include "addressbook/AddressFile.h"

namespace mf {
namespace {

// Pictures are drawn on a 16 x 16 grid and scaled to the size asked for.
constexpr qreal kGrid = 16.0;
constexpr int kListIconSize = 16;

void Person(QPainter& p, QPointF at, qreal scale, QColor fill) {
  p.setPen(QPen(fill.darker(160), 0.8));
  p.setBrush(fill);
  p.drawEllipse(QPointF(at.x(), at.y() - 4.2 * scale), 2.8 * scale, 2.8 * scale);
  QPainterPath body;
  body.moveTo(at.x() - 5.2 * scale, at.y() + 5.5 * scale);
  body.cubicTo(at.x() - 5.2 * scale, at.y() - 1.0 * scale, at.x() + 5.2 * scale, at.y() - 1.0 * scale,
               at.x() + 5.2 * scale, at.y() + 5.5 * scale);
  body.closeSubpath();
  p.drawPath(body);
}

void House(QPainter& p) {
  p.setPen(QPen(QColor(120, 60, 20), 0.8));
  p.setBrush(QColor(214, 66, 52));
  p.drawPolygon(QPolygonF({QPointF(1, 8), QPointF(8, 1.5), QPointF(15, 8)}));
  p.setBrush(QColor(250, 232, 180));
  p.drawRect(QRectF(3, 8, 10, 7));
  p.setBrush(QColor(150, 95, 45));
  p.drawRect(QRectF(6.5, 10, 3, 5));
}

void Office(QPainter& p) {
  p.setPen(QPen(QColor(60, 70, 90), 0.8));
  p.setBrush(QColor(150, 170, 200));
  p.drawRect(QRectF(3, 1.5, 10, 13.5));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 240, 150));
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 3; ++column) p.drawRect(QRectF(4.5 + column * 2.8, 3 + row * 2.8, 1.6, 1.6));
  }
}

void Heart(QPainter& p) {
  QPainterPath heart;
  heart.moveTo(8, 14.5);
  heart.cubicTo(1, 9.5, 0.5, 4.5, 4, 2.8);
  heart.cubicTo(6, 2, 7.5, 3, 8, 4.8);
  heart.cubicTo(8.5, 3, 10, 2, 12, 2.8);
  heart.cubicTo(15.5, 4.5, 15, 9.5, 8, 14.5);
  p.setPen(QPen(QColor(160, 20, 70), 0.8));
  p.setBrush(QColor(240, 80, 130));
  p.drawPath(heart);
}

void Star(QPainter& p) {
  QPolygonF star;
  for (int i = 0; i < 10; ++i) {
    const qreal radius = i % 2 == 0 ? 7.2 : 3.0;
    const qreal angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    star << QPointF(8 + radius * std::cos(angle), 8.6 + radius * std::sin(angle));
  }
  p.setPen(QPen(QColor(190, 120, 0), 0.8));
  p.setBrush(QColor(255, 204, 40));
  p.drawPolygon(star);
}

void Letter(QPainter& p) {
  p.setPen(QPen(QColor(90, 90, 120), 0.8));
  p.setBrush(QColor(255, 255, 245));
  p.drawRect(QRectF(1.5, 3.5, 13, 9.5));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
}

void Cat(QPainter& p) {
  p.setPen(QPen(QColor(120, 80, 30), 0.8));
  p.setBrush(QColor(250, 180, 90));
  p.drawPolygon(QPolygonF({QPointF(2, 8), QPointF(2.5, 1.5), QPointF(7, 5)}));
  p.drawPolygon(QPolygonF({QPointF(14, 8), QPointF(13.5, 1.5), QPointF(9, 5)}));
  p.drawEllipse(QRectF(1.5, 4, 13, 11));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 30, 20));
  p.drawEllipse(QPointF(5.5, 9), 1.0, 1.3);
  p.drawEllipse(QPointF(10.5, 9), 1.0, 1.3);
  p.setBrush(QColor(230, 100, 110));
  p.drawEllipse(QPointF(8, 11.3), 0.9, 0.7);
}

}  // namespace

QPixmap DrawAddressIcon(int number, int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kGrid, size / kGrid);
  switch (number) {
    case 1: Person(p, {8, 9}, 1.0, QColor(236, 110, 150)); break;
    case 2: Person(p, {8, 9}, 1.0, QColor(90, 180, 90)); break;
    case 3: Person(p, {8, 9}, 1.0, QColor(240, 150, 50)); break;
    case 4:
      Person(p, {10.5, 9.5}, 0.8, QColor(90, 180, 90));
      Person(p, {5.5, 9.5}, 0.8, QColor(70, 130, 220));
      break;
    case 5: House(p); break;
    case 6: Office(p); break;
    case 7: Heart(p); break;
    case 8: Star(p); break;
    case 9: Letter(p); break;
    case 10: Cat(p); break;
    default: Person(p, {8, 9}, 1.0, QColor(70, 130, 220)); break;
  }
  return picture;
}

AddressIcons::AddressIcons() {
  for (int number = 0; number < kAddressIconCount; ++number) {
    QIcon icon;
    // The same picture on a selected row: the style's tinted version washes
    // the light colours out.
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Selected}) {
      icon.addPixmap(DrawAddressIcon(number, kListIconSize), mode);
      icon.addPixmap(DrawAddressIcon(number, 2 * kListIconSize), mode);
    }
    icons_.push_back(icon);
  }
}

const QIcon& AddressIcons::Icon(int number) const {
  if (number < 0 || number >= Count()) return icons_.front();
  return icons_[static_cast<std::size_t>(number)];
}

}  // namespace mf
