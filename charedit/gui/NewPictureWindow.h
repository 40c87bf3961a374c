#pragma once

#include <QDialog>
#include <array>

#include "charedit/Palette.h"
#include "charedit/PixelEditor.h"

class QAction;
class QLabel;
class QToolButton;

namespace mf {

class MagnifiedView;
class PaletteView;
class PictureHost;
namespace platform {
class Dialogs;
}

// "新規画像作成": a small pixel editor for one 46 x 46 picture. On OK the
// picture and its mirror become the character's next free picture number.
class NewPictureWindow final : public QDialog {
  Q_OBJECT

 public:
  NewPictureWindow(PictureHost& host, platform::Dialogs& dialogs, QWidget* parent = nullptr);
  ~NewPictureWindow() override;

  // Every showing starts from a white picture, white and no tool.
  void Reset();

  const PixelEditor& Editor() const { return editor_; }
  const Palette& Colours() const { return palette_; }

  // The window's commands, also driven by the tests.
  void SelectTool(DrawingTool tool);
  void PickPaletteColour(QPoint point);
  void PickOtherColour();
  void LoadPicture();
  void UndoStroke();
  void Accept();
  // The left button on the magnified view, in its pixels.
  void ViewPress(QPoint point);
  void ViewMove(QPoint point);
  void ViewRelease(QPoint point);

 private:
  QToolButton* MakeToolButton(const QString& hint, DrawingTool tool);
  void ShowPicture();
  void ShowColour();

  PictureHost& host_;
  platform::Dialogs& dialogs_;
  PixelEditor editor_;
  Palette palette_;

  MagnifiedView* magnifiedView_;  // 拡大画像
  QLabel* actualSizeView_;        // 実寸画像
  PaletteView* paletteView_;
  QLabel* colourSwatch_;          // 色の選択
  std::array<QToolButton*, 4> toolButtons_{};
  QAction* undoAction_;
};

}  // namespace mf
