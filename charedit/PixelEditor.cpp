#include "charedit/PixelEditor.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace mf {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);

}  // namespace

PixelEditor::PixelEditor() { Reset(); }

void PixelEditor::Reset() {
  picture_ = Bitmap(kSide, kSide, kWhite);
  shown_ = picture_;
  pictureBackup_ = picture_;
  shownBackup_ = shown_;
  colour_ = kWhite;
  tool_ = DrawingTool::None;
  drawing_ = false;
  hasLast_ = false;
}

Cell PixelEditor::CellAt(int viewX, int viewY) {
  auto snap = [](int v) { return v < 0 ? 0 : std::min(v / kCellSize, kSide - 1); };
  return {snap(viewX), snap(viewY)};
}

void PixelEditor::Press(Cell cell) {
  drawing_ = true;
  if (tool_ == DrawingTool::None) return;
  start_ = cell;
  hasLast_ = false;
  pictureBackup_ = picture_;
  shownBackup_ = shown_;
}

void PixelEditor::Move(Cell cell) {
  if (!drawing_) return;
  if (hasLast_ && cell == last_) return;
  switch (tool_) {
    case DrawingTool::Line:
      shown_ = shownBackup_;
      Paint(start_, cell);
      break;
    case DrawingTool::Freehand:
      // Each step joins the previous cell, so a fast drag leaves no gaps.
      Paint(start_, cell);
      start_ = cell;
      break;
    case DrawingTool::None:
    case DrawingTool::Fill:
      break;
  }
  last_ = cell;
  hasLast_ = true;
}

void PixelEditor::Release(Cell cell) {
  if (!drawing_) return;
  drawing_ = false;
  switch (tool_) {
    case DrawingTool::Line:
      // The preview may still show the line to the cell of the last move.
      shown_ = shownBackup_;
      Paint(start_, cell);
      picture_ = shown_;
      break;
    case DrawingTool::Freehand:
      Paint(start_, cell);
      picture_ = shown_;
      break;
    case DrawingTool::Fill:
      FloodFill(picture_, cell.x, cell.y, colour_);
      shown_ = picture_;
      break;
    case DrawingTool::None:
      break;
  }
  hasLast_ = false;
}

void PixelEditor::Undo() {
  picture_ = pictureBackup_;
  shown_ = shownBackup_;
}

void PixelEditor::LoadCorner(const Bitmap& loaded) {
  int width = std::min(kSide, loaded.Width());
  int height = std::min(kSide, loaded.Height());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) picture_.Set(x, y, loaded.At(x, y));
  }
  shown_ = picture_;
}

void PixelEditor::Paint(Cell from, Cell to) {
  for (Cell cell : CellLine(from, to, kCellSize)) shown_.Set(cell.x, cell.y, colour_);
}

bool FloodFill(Bitmap& picture, int x, int y, Colour colour) {
  colour &= 0xFFFFFFu;
  if (x < 0 || y < 0 || x >= picture.Width() || y >= picture.Height()) return false;
  Colour area = picture.At(x, y);
  if (area == colour) return false;
  // An explicit stack: a recursive fill of a large area would exhaust the
  // call stack. A pixel is painted when it is pushed, so it is pushed once.
  std::vector<std::pair<int, int>> pending{{x, y}};
  picture.Set(x, y, colour);
  while (!pending.empty()) {
    auto [px, py] = pending.back();
    pending.pop_back();
    for (auto [nx, ny] : {std::pair{px - 1, py}, std::pair{px + 1, py}, std::pair{px, py - 1},
                          std::pair{px, py + 1}}) {
      if (nx < 0 || ny < 0 || nx >= picture.Width() || ny >= picture.Height()) continue;
      if (picture.At(nx, ny) != area) continue;
      picture.Set(nx, ny, colour);
      pending.emplace_back(nx, ny);
    }
  }
  return true;
}

}  // namespace mf
