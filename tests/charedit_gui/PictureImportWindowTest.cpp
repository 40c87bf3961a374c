#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "base/ShiftJis.h"
#include "character/BitmapFile.h"
#include "charedit/PictureFiles.h"
#include "charedit/gui/NewPictureWindow.h"
#include "charedit/gui/PictureImportWindow.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "tests/charedit/FakePictureHost.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);

class AddImageWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int number : {1, 3}) PutPicture(number, true);
    PutPicture(2, false);
    PutPicture(5, true);
    host_.count = 4;
    // The editor's add-picture command refills the list.
    host_.onRefresh = [this] { window_.Prepare(false); };
  }

  void PutPicture(int number, bool withMirror) {
    ASSERT_TRUE(SaveBitmapFile(PicturePath(host_.CharDir(), number), Bitmap(46, 46, kWhite)));
    if (withMirror) {
      ASSERT_TRUE(SaveBitmapFile(MirrorPicturePath(host_.MirrorDir(), number), Bitmap(46, 46, kWhite)));
    }
  }

  testing::FakePictureHost host_;
  platform::FakeDialogs dialogs_;
  PictureImportWindow window_{host_, dialogs_};
};

TEST_F(AddImageWindow, ListsThePicturesWithBothFilesUpToTheCountWithTheFieldsOff) {
  window_.Prepare(false);
  EXPECT_EQ(window_.windowTitle(), QString::fromUtf8("画像の追加"));
  EXPECT_EQ(window_.ListedPictures(), (std::vector<int>{1, 3}));
  EXPECT_FALSE(Control<QLineEdit>(window_, "speedEdit")->isEnabled());
  EXPECT_FALSE(Control<QLineEdit>(window_, "dxEdit")->isEnabled());
  EXPECT_EQ(Control<QLineEdit>(window_, "speedEdit")->text(), "2");
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "-10");
  EXPECT_EQ(Control<QLineEdit>(window_, "dyEdit")->text(), "0");
}

TEST_F(AddImageWindow, ASceneOnTheWindowTopGetsNoVerticalMovement) {
  Control<QLineEdit>(window_, "dyEdit")->setText("7");
  window_.Prepare(false);
  EXPECT_EQ(Control<QLineEdit>(window_, "dyEdit")->text(), "7");
  window_.Prepare(true);
  EXPECT_EQ(Control<QLineEdit>(window_, "dyEdit")->text(), "0");
}

TEST_F(AddImageWindow, AddingASelectedPictureAppendsTheFrameAsTypedAndCloses) {
  window_.Prepare(false);
  ASSERT_TRUE(window_.SelectPicture(3));
  EXPECT_TRUE(Control<QLineEdit>(window_, "dxEdit")->isEnabled());
  Control<QLineEdit>(window_, "dxEdit")->setText("-5");
  window_.AddSelectedPicture();
  ASSERT_EQ(host_.frames.size(), 1u);
  EXPECT_EQ(host_.frames[0], (std::pair<int, std::string>{3, "2:-5:0"}));
  EXPECT_EQ(window_.result(), QDialog::Accepted);
  EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(AddImageWindow, BadFieldsAreRefusedWithTheMessageAndNoFrame) {
  window_.Prepare(false);
  ASSERT_TRUE(window_.SelectPicture(1));
  for (auto [speed, dx, dy] : {std::tuple{"2", "-", "0"}, std::tuple{"", "1", "0"}, std::tuple{"2", "1", "-"}}) {
    Control<QLineEdit>(window_, "speedEdit")->setText(speed);
    Control<QLineEdit>(window_, "dxEdit")->setText(dx);
    Control<QLineEdit>(window_, "dyEdit")->setText(dy);
    dialogs_.calls.clear();
    window_.AddSelectedPicture();
    ASSERT_EQ(dialogs_.calls.size(), 1u) << speed << "|" << dx << "|" << dy;
    EXPECT_EQ(dialogs_.calls[0].kind, "Error");
    EXPECT_EQ(dialogs_.calls[0].text, Sj("データが不正です"));
  }
  EXPECT_TRUE(host_.frames.empty());
  EXPECT_NE(window_.result(), QDialog::Accepted);
}

TEST_F(AddImageWindow, TypedKeysAreFiltered) {
  window_.Prepare(false);
  ASSERT_TRUE(window_.SelectPicture(1));
  Control<QLineEdit>(window_, "speedEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(window_, "speedEdit"), "0-a15");
  EXPECT_EQ(Control<QLineEdit>(window_, "speedEdit")->text(), "15");
  Control<QLineEdit>(window_, "dxEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(window_, "dxEdit"), "-0-3");
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "-03");
  QTest::keyClick(Control<QLineEdit>(window_, "dxEdit"), Qt::Key_Backspace);
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "-0");
  // Typing over the whole field judges the key as if the field were empty.
  Control<QLineEdit>(window_, "dxEdit")->setText("-10");
  Control<QLineEdit>(window_, "dxEdit")->selectAll();
  QTest::keyClicks(Control<QLineEdit>(window_, "dxEdit"), "-");
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "-");
  Control<QLineEdit>(window_, "speedEdit")->setText("15");
  Control<QLineEdit>(window_, "speedEdit")->selectAll();
  QTest::keyClicks(Control<QLineEdit>(window_, "speedEdit"), "0");
  EXPECT_EQ(Control<QLineEdit>(window_, "speedEdit")->text(), "15");
}

TEST_F(AddImageWindow, TheArrowsStepFromTheTypedNumberWithinTheirRange) {
  window_.Prepare(false);
  ASSERT_TRUE(window_.SelectPicture(1));
  auto arrows = window_.findChild<QWidget*>("dxUpDown")->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  Control<QLineEdit>(window_, "dxEdit")->setText("-5");
  arrows[0]->click();
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "-4");
  Control<QLineEdit>(window_, "dxEdit")->setText("100");
  arrows[0]->click();
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "100");
  arrows[1]->click();
  EXPECT_EQ(Control<QLineEdit>(window_, "dxEdit")->text(), "99");
}

TEST_F(AddImageWindow, DeletingAPictureRemovesBothFilesAndRefillsTheList) {
  window_.Prepare(false);
  ASSERT_TRUE(window_.SelectPicture(3));
  window_.DeletePicture();
  EXPECT_FALSE(platform::FileExists(PicturePath(host_.CharDir(), 3)));
  EXPECT_FALSE(platform::FileExists(MirrorPicturePath(host_.MirrorDir(), 3)));
  EXPECT_EQ(window_.ListedPictures(), (std::vector<int>{1}));
  EXPECT_EQ(host_.refreshes, 1);
  EXPECT_EQ(host_.count, 4) << "the picture count is never lowered";
}

TEST_F(AddImageWindow, ANewPictureIsSavedAsTheNextFreeNumberAndListed) {
  window_.Prepare(false);
  bool showing = false;
  QTimer::singleShot(0, &window_, [this, &showing] {
    showing = window_.PictureWindowShowing();
    window_.PictureEditor().Accept();
  });
  window_.NewPicture();
  EXPECT_TRUE(showing);
  EXPECT_FALSE(window_.PictureWindowShowing());
  // image2 existed without its mirror, so 4 is the first free number.
  EXPECT_TRUE(platform::FileExists(MirrorPicturePath(host_.MirrorDir(), 4)));
  EXPECT_EQ(host_.count, 4);
  EXPECT_EQ(window_.ListedPictures(), (std::vector<int>{1, 3, 4}));
}

}  // namespace
}  // namespace mf
