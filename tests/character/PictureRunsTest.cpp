#include <gtest/gtest.h>

#include <string>

#include "character/Bitmap.h"
#include "character/PictureRuns.h"

namespace mf {
namespace {

constexpr Colour kSky = MakeColour(0x80, 0xC0, 0xFF);
constexpr Colour kInk = MakeColour(0x10, 0x20, 0x30);

std::string RunOf(int count, Colour colour) {
  return {static_cast<char>(count), static_cast<char>(RedOf(colour)),
          static_cast<char>(GreenOf(colour)), static_cast<char>(BlueOf(colour))};
}

TEST(EncodePictureRuns, SplitsLongStretchesAt255) {
  EXPECT_EQ(EncodePictureRuns(Bitmap(20, 15, kSky)), RunOf(255, kSky) + RunOf(45, kSky));
  // Exactly 255 pixels make one run, 256 a run of 255 and one of 1.
  EXPECT_EQ(EncodePictureRuns(Bitmap(255, 1, kSky)), RunOf(255, kSky));
  EXPECT_EQ(EncodePictureRuns(Bitmap(256, 1, kSky)), RunOf(255, kSky) + RunOf(1, kSky));
}

TEST(EncodePictureRuns, RunsFollowRowsFromTheTopAndKeepTheLastPixel) {
  Bitmap picture(3, 2, kSky);
  picture.Set(2, 0, kInk);
  picture.Set(2, 1, kInk);  // the bottom-right pixel differs from its left neighbour
  EXPECT_EQ(EncodePictureRuns(picture), RunOf(2, kSky) + RunOf(1, kInk) + RunOf(2, kSky) + RunOf(1, kInk));
  auto back = DecodePictureRuns(EncodePictureRuns(picture), 3, 2);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, picture);
}

TEST(EncodePictureRuns, SinglePixelPictureYieldsNothing) {
  EXPECT_EQ(EncodePictureRuns(Bitmap(1, 1, kSky)), "");
  EXPECT_EQ(EncodePictureRuns(Bitmap()), "");
}

TEST(DecodePictureRuns, WrapsRowsAndIgnoresRunsAfterTheLastPixel) {
  // A run wraps across the row end; the 5 of the last run is cut to what is left.
  auto picture = DecodePictureRuns(RunOf(4, kInk) + RunOf(5, kSky) + RunOf(9, kInk), 3, 2);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 1), kInk);
  EXPECT_EQ(picture->At(1, 1), kSky);
  EXPECT_EQ(picture->At(2, 1), kSky);
}

TEST(DecodePictureRuns, RefusesRunsThatLeavePixelsUnpainted) {
  EXPECT_FALSE(RunsCoverPicture(RunOf(5, kInk), 3, 2));
  // A zero count paints nothing and must not count as coverage.
  EXPECT_FALSE(RunsCoverPicture(RunOf(5, kInk) + RunOf(0, kSky), 3, 2));
  // A truncated run where one is still needed.
  EXPECT_FALSE(RunsCoverPicture(RunOf(5, kInk) + "\x01\x02", 3, 2));
  EXPECT_FALSE(DecodePictureRuns("", 3, 2));
  EXPECT_FALSE(DecodePictureRuns(RunOf(6, kInk), 0, 2));
  EXPECT_TRUE(RunsCoverPicture(RunOf(6, kInk) + "\x01", 3, 2));  // leftover bytes after the end
}

}  // namespace
}  // namespace mf
