#include "charedit/gui/PictureViews.h"

#include <QMouseEvent>
#include <QPainter>

#include "charedit/Palette.h"
#include "charedit/PixelEditor.h"
#include "platform/qt/AccessibleControls.h"

namespace mf {
namespace {

QColor ToQColor(Colour colour) { return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

// Grid lines every `cell` pixels, both outer edges included.
void DrawGrid(QPainter& painter, int columns, int rows, int cell) {
  painter.setPen(Qt::black);
  for (int i = 0; i <= columns; ++i) painter.drawLine(i * cell, 0, i * cell, rows * cell);
  for (int i = 0; i <= rows; ++i) painter.drawLine(0, i * cell, columns * cell, i * cell);
}

}  // namespace

QImage ToQImage(const Bitmap& picture) {
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  for (int y = 0; y < picture.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < picture.Width(); ++x) line[x] = 0xFF000000u | picture.At(x, y);
  }
  return image;
}

MagnifiedView::MagnifiedView(const PixelEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
  setFixedSize(PixelEditor::kViewSide, PixelEditor::kViewSide);
  setCursor(Qt::CrossCursor);
  platform::MakeAccessible(*this, {QAccessible::Canvas, [] { return QString::fromUtf8("拡大画像"); }, {}, {}});
}

void MagnifiedView::paintEvent(QPaintEvent*) {
  constexpr int kCell = PixelEditor::kCellSize;
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const Bitmap& shown = editor_.Shown();
  for (int y = 0; y < shown.Height(); ++y) {
    for (int x = 0; x < shown.Width(); ++x) {
      painter.fillRect(x * kCell + 1, y * kCell + 1, kCell - 1, kCell - 1, ToQColor(shown.At(x, y)));
    }
  }
  DrawGrid(painter, shown.Width(), shown.Height(), kCell);
}

void MagnifiedView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (onPress) onPress(event->position().toPoint());
}

void MagnifiedView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  if (onMove) onMove(event->position().toPoint());
}

void MagnifiedView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  if (onRelease) onRelease(event->position().toPoint());
}

PaletteView::PaletteView(const Palette& palette, QWidget* parent) : QWidget(parent), palette_(palette) {
  setFixedSize(Palette::kWidth, Palette::kHeight);
  platform::MakeAccessible(*this, {QAccessible::Canvas, [] { return QString::fromUtf8("パレット"); }, {}, {}});
}

void PaletteView::paintEvent(QPaintEvent*) {
  constexpr int kCell = Palette::kCellSize;
  QPainter painter(this);
  for (int row = 0; row < Palette::kRows; ++row) {
    for (int column = 0; column < Palette::kColumns; ++column) {
      painter.fillRect(column * kCell + 1, row * kCell + 1, kCell - 1, kCell - 1,
                       ToQColor(palette_.CellColour(column, row)));
    }
  }
  DrawGrid(painter, Palette::kColumns, Palette::kRows, kCell);
}

void PaletteView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (onClick) onClick(event->position().toPoint());
}

}  // namespace mf
