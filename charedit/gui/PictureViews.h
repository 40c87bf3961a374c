#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "character/Bitmap.h"

namespace mf {

class Palette;
class PixelEditor;

QImage ToQImage(const Bitmap& picture);

// The magnified picture: one 12-pixel cell per picture pixel inside a black
// grid. It paints what the editor shows and hands the left button's
// press, drag and release (in view pixels) to its window.
class MagnifiedView final : public QWidget {
 public:
  MagnifiedView(const PixelEditor& editor, QWidget* parent);

  std::function<void(QPoint)> onPress;
  std::function<void(QPoint)> onMove;
  std::function<void(QPoint)> onRelease;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const PixelEditor& editor_;
};

// The palette's grid of colour cells; reports the clicked point.
class PaletteView final : public QWidget {
 public:
  PaletteView(const Palette& palette, QWidget* parent);

  std::function<void(QPoint)> onClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const Palette& palette_;
};

}  // namespace mf
