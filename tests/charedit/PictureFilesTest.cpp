#include "charedit/PictureFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "character/BitmapFile.h"
#include "platform/Files.h"
#include "tests/charedit/FakePictureHost.h"

namespace mf {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr Colour kRed = MakeColour(255, 0, 0);

class PictureFilesTest : public ::testing::Test {
 protected:
  void Put(int number, bool withMirror = true) {
    ASSERT_TRUE(SaveBitmapFile(PicturePath(host_.CharDir(), number), Bitmap(46, 46, kWhite)));
    if (withMirror) {
      ASSERT_TRUE(SaveBitmapFile(MirrorPicturePath(host_.MirrorDir(), number), Bitmap(46, 46, kWhite)));
    }
  }

  // White with a red left column, so its mirror is told apart.
  static Bitmap Drawn() {
    Bitmap picture(46, 46, kWhite);
    for (int y = 0; y < 46; ++y) picture.Set(0, y, kRed);
    return picture;
  }

  testing::FakePictureHost host_;
};

TEST_F(PictureFilesTest, FirstPictureOfANewCharacterIsImage1WithItsMirror) {
  ASSERT_EQ(SaveNewPicture(host_, Drawn()), 1);
  EXPECT_EQ(LoadBitmapFile(host_.CharDir() + "/image1.bmp"), Drawn());
  auto mirror = LoadBitmapFile(host_.MirrorDir() + "/image1r.bmp");
  ASSERT_TRUE(mirror);
  EXPECT_EQ(mirror->At(45, 10), kRed);
  EXPECT_EQ(mirror->At(0, 10), kWhite);
  EXPECT_EQ(host_.count, 1);
}

TEST_F(PictureFilesTest, AGapIsFilledFirstAndTheCountStays) {
  Put(1);
  Put(3);
  host_.count = 3;
  ASSERT_EQ(SaveNewPicture(host_, Drawn()), 2);
  EXPECT_TRUE(platform::FileExists(host_.MirrorDir() + "/image2r.bmp"));
  EXPECT_EQ(host_.count, 3);
}

TEST_F(PictureFilesTest, TheCountRisesToTheNewNumber) {
  struct Case {
    int countBefore;
    int countAfter;
  };
  // Two pictures on disk: the next is 3 whatever line 3 claimed.
  for (Case c : {Case{0, 3}, Case{2, 3}, Case{3, 3}, Case{7, 7}}) {
    testing::FakePictureHost host;
    for (int n : {1, 2}) ASSERT_TRUE(SaveBitmapFile(PicturePath(host.CharDir(), n), Drawn()));
    host.count = c.countBefore;
    ASSERT_EQ(SaveNewPicture(host, Drawn()), 3);
    EXPECT_EQ(host.count, c.countAfter) << "count before " << c.countBefore;
  }
}

TEST_F(PictureFilesTest, AMirrorThatCannotBeWrittenLeavesNoPictureAndTheCountAlone) {
  ASSERT_TRUE(platform::RemoveFolderInside(host_.folder.Path(), host_.MirrorDir()));
  EXPECT_FALSE(SaveNewPicture(host_, Drawn()));
  EXPECT_FALSE(platform::FileExists(host_.CharDir() + "/image1.bmp"));
  EXPECT_EQ(host_.count, 0);
}

TEST_F(PictureFilesTest, UsablePicturesNeedBothFilesAndLieWithinTheCount) {
  Put(1);
  Put(2, false);
  Put(3);
  Put(5);
  EXPECT_EQ(UsablePictures(host_.CharDir(), host_.MirrorDir(), 4), (std::vector<int>{1, 3}));
  EXPECT_EQ(UsablePictures(host_.CharDir(), host_.MirrorDir(), 2147483647), (std::vector<int>{1, 3, 5}));
  EXPECT_TRUE(UsablePictures(host_.CharDir(), host_.MirrorDir(), 0).empty());
}

TEST_F(PictureFilesTest, DeletingAPictureTakesBothFilesAndToleratesAMissingOne) {
  Put(1);
  Put(2, false);
  EXPECT_TRUE(DeletePicturePair(host_.CharDir(), host_.MirrorDir(), 1));
  EXPECT_TRUE(DeletePicturePair(host_.CharDir(), host_.MirrorDir(), 2));
  EXPECT_FALSE(platform::FileExists(host_.CharDir() + "/image1.bmp"));
  EXPECT_FALSE(platform::FileExists(host_.MirrorDir() + "/image1r.bmp"));
  EXPECT_FALSE(platform::FileExists(host_.CharDir() + "/image2.bmp"));
  EXPECT_EQ(NextFreePictureNumber(host_.CharDir()), 1);
}

}  // namespace
}  // namespace mf
