#pragma once

#include "character/Bitmap.h"
#include "charedit/CellLine.h"

namespace mf {

enum class DrawingTool { None, Line, Freehand, Fill };

// The picture being drawn in the picture editor, without pixels on screen.
// `Picture` is the 46 x 46 picture itself; `Shown` is what each cell of the
// magnified view shows, which runs ahead of the picture while a stroke is
// being dragged (the line's preview, the freehand trail) and is copied into
// it when the button is released. One level of undo goes back to the state
// before the last stroke.
class PixelEditor {
 public:
  static constexpr int kSide = 46;
  static constexpr int kViewSide = 553;
  static constexpr int kCellSize = kViewSide / kSide;  // 12: cell interiors are 11 pixels

  PixelEditor();

  // A white picture, white as the current colour, no tool, nothing to undo.
  void Reset();

  const Bitmap& Picture() const { return picture_; }
  const Bitmap& Shown() const { return shown_; }

  Colour CurrentColour() const { return colour_; }
  void SetCurrentColour(Colour colour) { colour_ = colour & 0xFFFFFFu; }
  DrawingTool Tool() const { return tool_; }
  void SetTool(DrawingTool tool) { tool_ = tool; }
  bool Drawing() const { return drawing_; }

  // The cell under a point of the magnified view; points off the grid (the
  // mouse dragged out of the view) count as the nearest edge cell.
  static Cell CellAt(int viewX, int viewY);

  // The left button on the magnified view.
  void Press(Cell cell);
  void Move(Cell cell);
  void Release(Cell cell);

  void Undo();

  // Copies the top-left corner of `loaded` (as much as fits) into the
  // picture; the rest of the picture keeps its colours. Takes no undo copy.
  void LoadCorner(const Bitmap& loaded);

 private:
  void Paint(Cell from, Cell to);

  Bitmap picture_;
  Bitmap shown_;
  Bitmap pictureBackup_;
  Bitmap shownBackup_;
  Colour colour_ = 0;
  DrawingTool tool_ = DrawingTool::None;
  bool drawing_ = false;
  Cell start_;
  Cell last_;
  bool hasLast_ = false;
};

// Paints the 4-connected area of (x, y)'s colour with `colour`. Returns
// false, changing nothing, when (x, y) already has that colour.
bool FloodFill(Bitmap& picture, int x, int y, Colour colour);

}  // namespace mf
