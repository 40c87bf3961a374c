#include "mail/gui/ProgressArt.h"

#include <QPainter>
#include <QPainterPath>

#include "mail/gui/ProgressAnimation.h"

namespace mf {
namespace {

const QColor kOutline(70, 50, 60);
const QColor kPostBoxRed(214, 40, 40);
const QColor kPaper(255, 253, 245);
const QColor kWing(200, 230, 255);

QPixmap Blank(int width, int height) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

}  // namespace

QPixmap PostBoxPicture() {
  QPixmap pixmap = Blank(kFixedPictureSide, kFixedPictureSide);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kOutline, 1.5));
  // Post and box with a rounded cap.
  painter.setBrush(QColor(90, 90, 90));
  painter.drawRect(QRectF(20, 38, 8, 9));
  QPainterPath box;
  box.moveTo(9, 40);
  box.lineTo(9, 14);
  box.arcTo(QRectF(9, 3, 30, 22), 180, -180);
  box.lineTo(39, 40);
  box.closeSubpath();
  painter.setBrush(kPostBoxRed);
  painter.drawPath(box);
  // The slot, and the postal mark on a white plate.
  painter.setBrush(QColor(60, 20, 20));
  painter.drawRoundedRect(QRectF(14, 16, 20, 4), 2, 2);
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(17, 24, 14, 12));
  painter.setPen(QPen(kPostBoxRed, 2));
  painter.drawLine(QPointF(19.5, 27), QPointF(28.5, 27));
  painter.drawLine(QPointF(19.5, 30), QPointF(28.5, 30));
  painter.drawLine(QPointF(24, 30), QPointF(24, 34.5));
  return pixmap;
}

QPixmap HomePicture() {
  QPixmap pixmap = Blank(kFixedPictureSide, kFixedPictureSide);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kOutline, 1.5));
  painter.setBrush(QColor(255, 191, 250));
  painter.drawRect(QRectF(8, 22, 32, 23));
  painter.setBrush(QColor(180, 86, 60));
  painter.drawPolygon(QPolygonF({QPointF(24, 3), QPointF(3, 24), QPointF(45, 24)}));
  painter.setBrush(QColor(143, 166, 203));
  painter.drawRect(QRectF(20, 31, 9, 14));
  painter.setBrush(QColor(255, 255, 200));
  painter.drawRect(QRectF(11, 27, 6, 6));
  painter.drawRect(QRectF(31, 27, 6, 6));
  return pixmap;
}

std::vector<QPixmap> FlyingLetterFrames() {
  // Wing tips from high to low, and the letter bobbing with them.
  static constexpr qreal kWingLift[ProgressAnimation::kFrames] = {-14, -8, -2, 4, 9};
  static constexpr qreal kBob[ProgressAnimation::kFrames] = {2, 1, 0, -1, -2};
  std::vector<QPixmap> frames;
  for (int frame = 0; frame < ProgressAnimation::kFrames; ++frame) {
    QPixmap pixmap = Blank(kLetterFrameWidth, kLetterFrameHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal top = 16 + kBob[frame];
    const QRectF letter(12, top, 31, 20);

    // Two wings behind the letter, one beyond each of its top corners.
    painter.setPen(QPen(kOutline, 1.2));
    painter.setBrush(kWing);
    for (int side : {-1, 1}) {
      const QPointF root(27.5 + side * 9, top + 4);
      const QPointF tip(27.5 + side * 24, top + kWingLift[frame]);
      QPainterPath wing;
      wing.moveTo(root);
      wing.quadTo(QPointF((root.x() + tip.x()) / 2, tip.y() - 4), tip);
      wing.quadTo(QPointF((root.x() + tip.x()) / 2 + side * 2, root.y() + 4), root + QPointF(-side * 6, 2));
      wing.closeSubpath();
      painter.drawPath(wing);
    }

    painter.setBrush(kPaper);
    painter.drawRect(letter);
    painter.drawLine(letter.topLeft(), QPointF(letter.center().x(), letter.top() + 11));
    painter.drawLine(letter.topRight(), QPointF(letter.center().x(), letter.top() + 11));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPostBoxRed);
    painter.drawRect(QRectF(letter.right() - 8, letter.top() + 3, 5, 6));
    frames.push_back(pixmap);
  }
  return frames;
}

}  // namespace mf
