#include "charedit/PictureLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "character/BitmapFile.h"
#include "charedit/JpegFile.h"
#include "platform/Files.h"
#include "tests/charedit/TestJpeg.h"

namespace mf {
namespace {

using testing::JpegKind;
using testing::MakeJpeg;
using testing::QuarterColour;

constexpr Colour kRed = MakeColour(255, 0, 0);
constexpr Colour kBlue = MakeColour(0, 0, 255);

// JPEG's loss on flat areas at quality 95.
void ExpectNear(Colour actual, Colour expected, int x, int y) {
  constexpr int kTolerance = 12;
  EXPECT_NEAR(RedOf(actual), RedOf(expected), kTolerance) << x << "," << y;
  EXPECT_NEAR(GreenOf(actual), GreenOf(expected), kTolerance) << x << "," << y;
  EXPECT_NEAR(BlueOf(actual), BlueOf(expected), kTolerance) << x << "," << y;
}

TEST(JpegDecoding, AColourPictureLandsWithItsColoursWithinJpegsLoss) {
  for (JpegKind kind : {JpegKind::Colour, JpegKind::Progressive}) {
    auto picture = DecodeJpegFile(MakeJpeg(32, 24, kind), 46, 46);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->Width(), 32);
    ASSERT_EQ(picture->Height(), 24);
    // Away from the edges between the quarters and the 8-pixel blocks' seams.
    for (auto [x, y] : {std::pair{3, 3}, std::pair{28, 3}, std::pair{3, 20}, std::pair{28, 20}}) {
      ExpectNear(picture->At(x, y), QuarterColour(x, y, 32, 24), x, y);
    }
  }
}

TEST(JpegDecoding, AGreyPictureBecomesGreyColours) {
  auto picture = DecodeJpegFile(MakeJpeg(16, 16, JpegKind::Grey), 46, 46);
  ASSERT_TRUE(picture);
  Colour c = picture->At(2, 2);
  EXPECT_EQ(RedOf(c), GreenOf(c));
  EXPECT_EQ(GreenOf(c), BlueOf(c));
  EXPECT_NEAR(GreenOf(c), 30, 8);
}

TEST(JpegDecoding, OnlyTheCornerThatFitsIsDecoded) {
  std::string file = MakeJpeg(200, 300, JpegKind::Colour);
  auto picture = DecodeJpegFile(file, 46, 46);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 46);
  EXPECT_EQ(picture->Height(), 46);
  ExpectNear(picture->At(40, 40), QuarterColour(0, 0, 200, 300), 40, 40);
  // The rows below the corner are never read: a file cut short there still
  // gives its corner.
  auto cut = DecodeJpegFile(std::string_view(file).substr(0, file.size() * 2 / 3), 46, 46);
  ASSERT_TRUE(cut);
  EXPECT_EQ(*cut, *picture);
}

TEST(JpegDecoding, DamagedAndUnsupportedFilesAreRefused) {
  std::string good = MakeJpeg(46, 46, JpegKind::Colour);
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string flipped = good;
  flipped[2] = 0;  // the first marker after SOI is broken
  // A progressive header claiming 60000 x 60000 pixels: decoding it would
  // need gigabytes for the picture's coefficients.
  std::string huge = MakeJpeg(16, 16, JpegKind::Progressive);
  std::size_t frame = huge.find("\xFF\xC2");
  ASSERT_NE(frame, std::string::npos);
  huge.replace(frame + 5, 4, "\xEA\x60\xEA\x60");
  for (const Case& c : {Case{"truncated", good.substr(0, good.size() / 2)},
                        Case{"header only", good.substr(0, 200)}, Case{"CMYK", MakeJpeg(16, 16, JpegKind::Cmyk)},
                        Case{"empty", ""}, Case{"not a JPEG", "BM not a picture at all"},
                        Case{"broken marker", flipped}, Case{"huge progressive", huge}}) {
    EXPECT_FALSE(DecodeJpegFile(c.bytes, 46, 46)) << c.what;
  }
}

TEST(PictureLoading, TheExtensionChoosesTheDecoder) {
  struct Case {
    const char* name;
    PictureFormat format;
  };
  for (Case c : {Case{"a.jpg", PictureFormat::Jpeg}, Case{"a.JPEG", PictureFormat::Jpeg},
                 Case{"dir.jpg/a.bmp", PictureFormat::WindowsBitmap}, Case{"a.bmp", PictureFormat::WindowsBitmap},
                 Case{"jpg", PictureFormat::WindowsBitmap}, Case{"a.jpe", PictureFormat::WindowsBitmap}}) {
    EXPECT_EQ(PictureFormatOf(c.name), c.format) << c.name;
  }
}

TEST(PictureLoading, FilesAreDecodedByTheirNameAndCutToTheCorner) {
  platform::TemporaryFolder folder;
  Bitmap wide(60, 20, kRed);
  wide.Set(50, 5, kBlue);
  ASSERT_TRUE(SaveBitmapFile(folder.Path() + "wide.bmp", wide));
  auto corner = LoadPictureCorner(folder.Path() + "wide.bmp", 46, 46);
  ASSERT_TRUE(corner);
  EXPECT_EQ(*corner, Bitmap(46, 20, kRed));

  ASSERT_TRUE(platform::WriteFileAtomic(folder.Path() + "photo.JPG", MakeJpeg(30, 20, JpegKind::Colour)));
  auto photo = LoadPictureCorner(folder.Path() + "photo.JPG", 46, 46);
  ASSERT_TRUE(photo);
  EXPECT_EQ(photo->Width(), 30);

  // A JPEG under a bitmap's name is not a bitmap.
  ASSERT_TRUE(platform::WriteFileAtomic(folder.Path() + "photo.bmp", MakeJpeg(30, 20, JpegKind::Colour)));
  EXPECT_FALSE(LoadPictureCorner(folder.Path() + "photo.bmp", 46, 46));
  EXPECT_FALSE(LoadPictureCorner(folder.Path() + "missing.bmp", 46, 46));
}

}  // namespace
}  // namespace mf
