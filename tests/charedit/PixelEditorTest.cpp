#include "charedit/PixelEditor.h"

#include <gtest/gtest.h>

#include "charedit/Palette.h"

namespace mf {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kRed = MakeColour(255, 0, 0);
constexpr Colour kBlue = MakeColour(0, 0, 255);

int CountOf(const Bitmap& picture, Colour colour) {
  int count = 0;
  for (Colour c : picture.Pixels()) count += c == colour;
  return count;
}

class PixelEditorTest : public ::testing::Test {
 protected:
  void Stroke(DrawingTool tool, Colour colour, std::initializer_list<Cell> path) {
    editor_.SetTool(tool);
    editor_.SetCurrentColour(colour);
    auto cell = path.begin();
    editor_.Press(*cell);
    for (++cell; cell != path.end(); ++cell) editor_.Move(*cell);
    editor_.Release(*(path.end() - 1));
  }

  PixelEditor editor_;
};

TEST_F(PixelEditorTest, StartsWhiteWithWhiteAndNoTool) {
  EXPECT_EQ(editor_.Picture(), Bitmap(46, 46, kWhite));
  EXPECT_EQ(editor_.Shown(), editor_.Picture());
  EXPECT_EQ(editor_.CurrentColour(), kWhite);
  EXPECT_EQ(editor_.Tool(), DrawingTool::None);
}

TEST_F(PixelEditorTest, ViewPointsSnapToTwelvePixelCellsAndStayOnTheGrid) {
  EXPECT_EQ(PixelEditor::kCellSize, 12);
  EXPECT_EQ(PixelEditor::CellAt(0, 0), (Cell{0, 0}));
  EXPECT_EQ(PixelEditor::CellAt(11, 12), (Cell{0, 1}));
  EXPECT_EQ(PixelEditor::CellAt(551, 540), (Cell{45, 45}));
  EXPECT_EQ(PixelEditor::CellAt(552, 700), (Cell{45, 45}));
  EXPECT_EQ(PixelEditor::CellAt(-30, -1), (Cell{0, 0}));
}

TEST_F(PixelEditorTest, LineFromCornerToCornerPaintsTheDiagonal) {
  Stroke(DrawingTool::Line, kBlack, {{0, 0}, {10, 3}, {45, 45}});
  EXPECT_EQ(CountOf(editor_.Picture(), kBlack), 46);
  for (int i = 0; i < 46; ++i) EXPECT_EQ(editor_.Picture().At(i, i), kBlack);
}

TEST_F(PixelEditorTest, LinePreviewFollowsTheMouseAndOnlyTheFinalLineStays) {
  editor_.SetTool(DrawingTool::Line);
  editor_.SetCurrentColour(kRed);
  editor_.Press({0, 0});
  editor_.Move({0, 9});
  EXPECT_EQ(CountOf(editor_.Shown(), kRed), 10);
  EXPECT_EQ(CountOf(editor_.Picture(), kRed), 0) << "the picture changes only on release";
  editor_.Move({4, 0});
  EXPECT_EQ(CountOf(editor_.Shown(), kRed), 5);
  // Released on a cell the last move never previewed.
  editor_.Release({9, 0});
  EXPECT_EQ(CountOf(editor_.Picture(), kRed), 10);
  EXPECT_EQ(editor_.Picture().At(0, 9), kWhite);
  EXPECT_EQ(editor_.Shown(), editor_.Picture());
}

TEST_F(PixelEditorTest, FreehandJoinsEveryStepWithoutGaps) {
  Stroke(DrawingTool::Freehand, kBlue, {{2, 2}, {2, 2}, {6, 2}, {6, 8}});
  EXPECT_EQ(CountOf(editor_.Picture(), kBlue), 5 + 6);
  EXPECT_EQ(editor_.Picture().At(4, 2), kBlue);
  EXPECT_EQ(editor_.Picture().At(6, 5), kBlue);
}

TEST_F(PixelEditorTest, AClickWithFreehandPaintsTheCell) {
  Stroke(DrawingTool::Freehand, kBlue, {{7, 7}});
  EXPECT_EQ(CountOf(editor_.Picture(), kBlue), 1);
}

TEST_F(PixelEditorTest, NoToolPaintsNothing) {
  Stroke(DrawingTool::None, kBlack, {{0, 0}, {45, 45}});
  EXPECT_EQ(editor_.Picture(), Bitmap(46, 46, kWhite));
  EXPECT_FALSE(editor_.Drawing());
}

TEST_F(PixelEditorTest, MovesAndReleasesWithoutAPressDoNothing) {
  editor_.SetTool(DrawingTool::Freehand);
  editor_.SetCurrentColour(kBlack);
  editor_.Move({3, 3});
  editor_.Release({4, 4});
  EXPECT_EQ(editor_.Picture(), Bitmap(46, 46, kWhite));
}

TEST_F(PixelEditorTest, FillPaintsTheEnclosedAreaOnly) {
  // A closed box of black from (10,10) to (20,20).
  Stroke(DrawingTool::Line, kBlack, {{10, 10}, {20, 10}});
  Stroke(DrawingTool::Line, kBlack, {{20, 10}, {20, 20}});
  Stroke(DrawingTool::Line, kBlack, {{20, 20}, {10, 20}});
  Stroke(DrawingTool::Line, kBlack, {{10, 20}, {10, 10}});
  Stroke(DrawingTool::Fill, kRed, {{15, 15}});
  EXPECT_EQ(CountOf(editor_.Picture(), kRed), 9 * 9);
  EXPECT_EQ(editor_.Picture().At(0, 0), kWhite);
  EXPECT_EQ(editor_.Shown(), editor_.Picture());
}

TEST_F(PixelEditorTest, UndoAfterAFillRestoresThePictureBeforeIt) {
  Stroke(DrawingTool::Line, kBlack, {{0, 5}, {45, 5}});
  Bitmap beforeFill = editor_.Picture();
  Stroke(DrawingTool::Fill, kRed, {{3, 30}});
  EXPECT_EQ(CountOf(editor_.Picture(), kRed), 46 * 40);
  editor_.Undo();
  EXPECT_EQ(editor_.Picture(), beforeFill);
  EXPECT_EQ(editor_.Shown(), beforeFill);
}

TEST_F(PixelEditorTest, UndoIsOneLevelDeep) {
  Stroke(DrawingTool::Freehand, kBlack, {{1, 1}});
  Bitmap afterFirst = editor_.Picture();
  Stroke(DrawingTool::Freehand, kBlack, {{2, 2}});
  editor_.Undo();
  editor_.Undo();
  EXPECT_EQ(editor_.Picture(), afterFirst);
}

TEST_F(PixelEditorTest, FillWithTheColourAlreadyThereChangesNothing) {
  Bitmap picture(46, 46, kWhite);
  picture.Set(3, 3, kBlack);
  Bitmap before = picture;
  EXPECT_FALSE(FloodFill(picture, 0, 0, kWhite));
  EXPECT_EQ(picture, before);
  // A whole picture of one colour is the worst case for a fill that checks
  // nothing: it must end and paint every pixel once.
  Bitmap plain(46, 46, kWhite);
  EXPECT_TRUE(FloodFill(plain, 45, 45, kBlue));
  EXPECT_EQ(plain, Bitmap(46, 46, kBlue));
}

TEST_F(PixelEditorTest, FillDoesNotLeakThroughDiagonalGaps) {
  Bitmap picture(3, 3, kWhite);
  picture.Set(1, 0, kBlack);
  picture.Set(0, 1, kBlack);
  EXPECT_TRUE(FloodFill(picture, 0, 0, kRed));
  EXPECT_EQ(CountOf(picture, kRed), 1);
}

TEST_F(PixelEditorTest, LoadingA30By20PictureChangesOnlyThatCorner) {
  Stroke(DrawingTool::Fill, kBlue, {{40, 40}});
  editor_.LoadCorner(Bitmap(30, 20, kRed));
  for (int y = 0; y < 46; ++y) {
    for (int x = 0; x < 46; ++x) {
      ASSERT_EQ(editor_.Picture().At(x, y), x < 30 && y < 20 ? kRed : kBlue) << x << "," << y;
    }
  }
  EXPECT_EQ(editor_.Shown(), editor_.Picture());
}

TEST_F(PixelEditorTest, LoadingALargerPictureTakesItsTopLeft46By46) {
  Bitmap large(100, 60, kBlue);
  large.Set(45, 45, kRed);
  large.Set(46, 0, kRed);
  editor_.LoadCorner(large);
  EXPECT_EQ(CountOf(editor_.Picture(), kRed), 1);
  EXPECT_EQ(editor_.Picture().At(45, 45), kRed);
}

TEST_F(PixelEditorTest, ResetForgetsThePictureAndTheTool) {
  Stroke(DrawingTool::Fill, kBlue, {{0, 0}});
  editor_.Reset();
  editor_.Undo();
  EXPECT_EQ(editor_.Picture(), Bitmap(46, 46, kWhite));
  EXPECT_EQ(editor_.Tool(), DrawingTool::None);
  EXPECT_EQ(editor_.CurrentColour(), kWhite);
}

TEST(PaletteTest, CellsHoldTheFixedColoursRowByRow) {
  Palette palette;
  EXPECT_EQ(Palette::kWidth, 241);
  EXPECT_EQ(Palette::kHeight, 121);
  struct Probe {
    int x, y;
    Colour colour;
  };
  for (Probe probe : {Probe{0, 0, kBlack}, Probe{25, 5, kWhite}, Probe{239, 19, MakeColour(255, 251, 240)},
                      Probe{20 * 9 + 10, 30, MakeColour(238, 140, 0)}, Probe{10, 50, MakeColour(245, 160, 10)},
                      Probe{230, 79, MakeColour(244, 207, 216)}, Probe{50, 90, kWhite}}) {
    EXPECT_EQ(palette.ColourAt(probe.x, probe.y), probe.colour) << probe.x << "," << probe.y;
  }
}

TEST(PaletteTest, TheOtherColourCellShowsTheLastChosenColour) {
  Palette palette;
  EXPECT_EQ(palette.ColourAt(230, 110), kWhite);
  palette.SetOtherColour(MakeColour(1, 2, 3));
  EXPECT_EQ(palette.ColourAt(221, 101), MakeColour(1, 2, 3));
  EXPECT_EQ(palette.ColourAt(240, 120), MakeColour(1, 2, 3)) << "the closing grid line belongs to the last cell";
  EXPECT_EQ(palette.ColourAt(219, 110), kWhite);
}

}  // namespace
}  // namespace mf
