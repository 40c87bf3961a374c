#include "charedit/gui/NewPictureWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "base/ShiftJis.h"
#include "character/BitmapFile.h"
#include "charedit/PictureFiles.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "tests/charedit/FakePictureHost.h"
#include "tests/charedit/TestJpeg.h"

namespace mf {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kRed = MakeColour(255, 0, 0);

// The centre of a cell of the magnified view.
QPoint CellCentre(int x, int y) { return {x * 12 + 6, y * 12 + 6}; }

class NewPictureWindowTest : public ::testing::Test {
 protected:
  QWidget* View() { return window_.findChild<QWidget*>("magnifiedView"); }

  void Drag(DrawingTool tool, QPoint from, QPoint to) {
    window_.SelectTool(tool);
    window_.ViewPress(from);
    window_.ViewMove((from + to) / 2);
    window_.ViewMove(to);
    window_.ViewRelease(to);
  }

  // Answers the file dialog with a file holding `bytes`.
  std::string OfferFile(const std::string& name, const std::string& bytes) {
    std::string path = host_.folder.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    dialogs_.paths.push_back(path);
    return path;
  }

  void ExpectLoadRefused() {
    Bitmap before = window_.Editor().Picture();
    window_.LoadPicture();
    ASSERT_FALSE(dialogs_.calls.empty());
    EXPECT_EQ(dialogs_.calls.back().kind, "Error");
    EXPECT_EQ(window_.Editor().Picture(), before);
  }

  testing::FakePictureHost host_;
  platform::FakeDialogs dialogs_;
  NewPictureWindow window_{host_, dialogs_};
};

TEST_F(NewPictureWindowTest, ShowsTheMagnifiedGridThePaletteAndNoTool) {
  EXPECT_EQ(window_.windowTitle(), QString::fromUtf8("新規画像作成"));
  ASSERT_NE(View(), nullptr);
  EXPECT_EQ(View()->size(), QSize(553, 553));
  EXPECT_EQ(window_.findChild<QWidget*>("palette")->size(), QSize(241, 121));
  EXPECT_EQ(window_.Editor().Tool(), DrawingTool::None);
  auto actions = window_.actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions[0]->text(), QString::fromUtf8("元に戻す(&U)"));
  EXPECT_EQ(actions[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
}

TEST_F(NewPictureWindowTest, TheMouseOnTheViewDraws) {
  window_.PickPaletteColour(QPoint(5, 5));  // black
  window_.SelectTool(DrawingTool::Freehand);
  QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, CellCentre(4, 7));
  EXPECT_EQ(window_.Editor().Picture().At(4, 7), kBlack);
  // The right button belongs to the popup menu.
  QTest::mouseClick(View(), Qt::RightButton, Qt::NoModifier, CellCentre(5, 7));
  EXPECT_EQ(window_.Editor().Picture().At(5, 7), kWhite);
}

TEST_F(NewPictureWindowTest, ADiagonalLineSavedWithOkBecomesTheFirstPictureAndItsMirror) {
  window_.PickPaletteColour(QPoint(45, 5));  // red, the third cell
  EXPECT_EQ(window_.Editor().CurrentColour(), kRed);
  Drag(DrawingTool::Line, CellCentre(0, 0), QPoint(552, 552));
  window_.Accept();
  EXPECT_EQ(window_.result(), QDialog::Accepted);
  auto picture = LoadBitmapFile(host_.CharDir() + "/image1.bmp");
  auto mirror = LoadBitmapFile(host_.MirrorDir() + "/image1r.bmp");
  ASSERT_TRUE(picture && mirror);
  for (int i = 0; i < 46; ++i) {
    EXPECT_EQ(picture->At(i, i), kRed);
    EXPECT_EQ(mirror->At(45 - i, i), kRed);
  }
  EXPECT_EQ(picture->At(1, 0), kWhite);
  EXPECT_EQ(host_.count, 1);
  EXPECT_EQ(host_.refreshes, 1);
}

TEST_F(NewPictureWindowTest, OkWhenThePictureCannotBeSavedSaysSoAndStaysOpen) {
  ASSERT_TRUE(platform::RemoveFolderInside(host_.folder.Path(), host_.MirrorDir()));
  window_.Accept();
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].kind, "Error");
  EXPECT_NE(window_.result(), QDialog::Accepted);
  EXPECT_FALSE(platform::FileExists(host_.CharDir() + "/image1.bmp"));
  EXPECT_EQ(host_.refreshes, 0);
}

TEST_F(NewPictureWindowTest, CtrlZUndoesTheLastFill) {
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  window_.PickPaletteColour(QPoint(5, 5));
  Drag(DrawingTool::Line, CellCentre(0, 10), CellCentre(45, 10));
  Bitmap beforeFill = window_.Editor().Picture();
  window_.PickPaletteColour(QPoint(45, 5));
  Drag(DrawingTool::Fill, CellCentre(3, 3), CellCentre(3, 3));
  EXPECT_EQ(window_.Editor().Picture().At(20, 5), kRed);
  QTest::keyClick(&window_, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(window_.Editor().Picture(), beforeFill);
}

TEST_F(NewPictureWindowTest, OtherColourFillsTheLastPaletteCellAndBecomesCurrent) {
  dialogs_.colours.push_back(0x00332211u);  // blue 0x33, green 0x22, red 0x11
  window_.PickOtherColour();
  EXPECT_EQ(window_.Editor().CurrentColour(), MakeColour(0x11, 0x22, 0x33));
  EXPECT_EQ(window_.Colours().ColourAt(230, 110), MakeColour(0x11, 0x22, 0x33));
  // Cancelling the dialog changes nothing.
  window_.PickPaletteColour(QPoint(5, 5));
  window_.PickOtherColour();
  EXPECT_EQ(window_.Editor().CurrentColour(), kBlack);
}

TEST_F(NewPictureWindowTest, LoadingABitmapFillsOnlyItsCorner) {
  OfferFile("small.bmp", EncodeBitmapFile(Bitmap(30, 20, kRed)));
  window_.LoadPicture();
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].kind, "OpenFile");
  EXPECT_EQ(dialogs_.calls[0].text, Sj("画像ファイル　（*.bmp）|*.bmp"));
  const Bitmap& picture = window_.Editor().Picture();
  EXPECT_EQ(picture.At(29, 19), kRed);
  EXPECT_EQ(picture.At(30, 19), kWhite);
  EXPECT_EQ(picture.At(29, 20), kWhite);
}

TEST_F(NewPictureWindowTest, LoadingAJpegByItsNamePutsItsColoursInTheCorner) {
  OfferFile("photo.jpg", testing::MakeJpeg(40, 40, testing::JpegKind::Colour));
  window_.LoadPicture();
  Colour topLeft = window_.Editor().Picture().At(3, 3);
  EXPECT_NEAR(RedOf(topLeft), 200, 12);
  EXPECT_NEAR(GreenOf(topLeft), 30, 12);
  EXPECT_EQ(window_.Editor().Picture().At(45, 45), kWhite);
}

TEST_F(NewPictureWindowTest, FilesThatAreNotPicturesShowAnErrorAndChangeNothing) {
  window_.PickPaletteColour(QPoint(5, 5));
  Drag(DrawingTool::Line, CellCentre(0, 0), CellCentre(10, 0));
  std::string jpeg = testing::MakeJpeg(46, 46, testing::JpegKind::Colour);
  OfferFile("cut.jpg", jpeg.substr(0, jpeg.size() / 2));
  ExpectLoadRefused();
  OfferFile("cmyk.jpeg", testing::MakeJpeg(16, 16, testing::JpegKind::Cmyk));
  ExpectLoadRefused();
  OfferFile("text.bmp", "BM this is no bitmap");
  ExpectLoadRefused();
  dialogs_.paths.push_back(host_.folder.Path() + "missing.bmp");
  ExpectLoadRefused();
}

TEST_F(NewPictureWindowTest, CancelSavesNothingAndAShowingStartsAfresh) {
  window_.PickPaletteColour(QPoint(5, 5));
  Drag(DrawingTool::Fill, CellCentre(1, 1), CellCentre(1, 1));
  QTimer::singleShot(0, &window_, [this] { window_.reject(); });
  EXPECT_EQ(window_.exec(), QDialog::Rejected);
  EXPECT_FALSE(platform::FileExists(host_.CharDir() + "/image1.bmp"));
  window_.Reset();
  EXPECT_EQ(window_.Editor().Picture(), Bitmap(46, 46, kWhite));
  EXPECT_EQ(window_.Editor().CurrentColour(), kWhite);
  EXPECT_TRUE(window_.findChildren<QToolButton*>().front()->isChecked());
}

}  // namespace
}  // namespace mf
