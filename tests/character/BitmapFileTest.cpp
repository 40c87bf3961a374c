#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "character/Bitmap.h"
#include "character/BitmapFile.h"
#include "platform/Files.h"

namespace mf {
namespace {

// Little-endian pieces, so each test spells out its file byte by byte.
std::string U16(std::uint32_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// A file with the 40-byte header; `extra` is the palette or the masks.
std::string InfoFile(int width, int height, int bits, const std::string& extra,
                     const std::string& pixels, std::uint32_t compression = 0,
                     std::uint32_t coloursUsed = 0) {
  std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(extra.size());
  return "BM" + U32(offset + static_cast<std::uint32_t>(pixels.size())) + U32(0) + U32(offset) +
         U32(40) + U32(static_cast<std::uint32_t>(width)) + U32(static_cast<std::uint32_t>(height)) +
         U16(1) + U16(static_cast<std::uint32_t>(bits)) + U32(compression) + U32(0) + U32(0) + U32(0) +
         U32(coloursUsed) + U32(0) + extra + pixels;
}

constexpr Colour kRed = MakeColour(0xFF, 0, 0);
constexpr Colour kGreen = MakeColour(0, 0xFF, 0);
constexpr Colour kBlue = MakeColour(0, 0, 0xFF);
constexpr Colour kOdd = MakeColour(0x12, 0x34, 0x56);

// Palette entries are blue, green, red, reserved.
const std::string kPalette = Bytes({0, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0x56, 0x34, 0x12, 0, 0, 0xFF, 0, 0});

TEST(DecodeBitmapFile, OneBitBottomUp) {
  // 3 x 2; the first stored row is the bottom one. Rows pad to four bytes.
  std::string pixels = Bytes({0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0});
  auto picture = DecodeBitmapFile(InfoFile(3, 2, 1, kPalette.substr(0, 8), pixels));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 3);
  EXPECT_EQ(picture->Height(), 2);
  EXPECT_EQ(picture->At(0, 0), kRed);
  EXPECT_EQ(picture->At(1, 0), kBlue);
  EXPECT_EQ(picture->At(2, 0), kRed);
  EXPECT_EQ(picture->At(0, 1), kBlue);
  EXPECT_EQ(picture->At(1, 1), kRed);
  EXPECT_EQ(picture->At(2, 1), kBlue);
}

TEST(DecodeBitmapFile, FourBitTopDown) {
  std::string pixels = Bytes({0x01, 0x20, 0, 0, 0x32, 0x10, 0, 0});
  auto picture = DecodeBitmapFile(InfoFile(3, -2, 4, kPalette, pixels, 0, 4));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), kRed);
  EXPECT_EQ(picture->At(1, 0), kBlue);
  EXPECT_EQ(picture->At(2, 0), kOdd);
  EXPECT_EQ(picture->At(0, 1), kGreen);
  EXPECT_EQ(picture->At(1, 1), kOdd);
  EXPECT_EQ(picture->At(2, 1), kBlue);
}

TEST(DecodeBitmapFile, EightBitWithShortPaletteAndStrayIndex) {
  // Index 9 lies beyond the three colours used: it shows black, as Windows does.
  std::string pixels = Bytes({2, 9, 0, 0, 0, 1, 0, 0});
  auto picture = DecodeBitmapFile(InfoFile(2, 2, 8, kPalette.substr(0, 12), pixels, 0, 3));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 1), kOdd);
  EXPECT_EQ(picture->At(1, 1), 0u);
  EXPECT_EQ(picture->At(0, 0), kRed);
  EXPECT_EQ(picture->At(1, 0), kBlue);
}

TEST(DecodeBitmapFile, TwentyFourBitBothOrders) {
  // 2 x 2: six bytes of colour and two of padding per row.
  std::string bottom = Bytes({0x56, 0x34, 0x12, 0, 0, 0xFF, 0, 0});
  std::string top = Bytes({0xFF, 0, 0, 0, 0xFF, 0, 0, 0});
  auto upward = DecodeBitmapFile(InfoFile(2, 2, 24, "", bottom + top));
  auto downward = DecodeBitmapFile(InfoFile(2, -2, 24, "", top + bottom));
  ASSERT_TRUE(upward);
  ASSERT_TRUE(downward);
  EXPECT_EQ(*upward, *downward);
  EXPECT_EQ(upward->At(0, 0), kBlue);
  EXPECT_EQ(upward->At(1, 0), kGreen);
  EXPECT_EQ(upward->At(0, 1), kOdd);
  EXPECT_EQ(upward->At(1, 1), kRed);
}

TEST(DecodeBitmapFile, ThirtyTwoBitPlainAndWithMasks) {
  auto plain = DecodeBitmapFile(InfoFile(2, 1, 32, "", Bytes({0x56, 0x34, 0x12, 0x99, 0, 0, 0xFF, 0})));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->At(0, 0), kOdd);  // the fourth byte is not part of the colour
  EXPECT_EQ(plain->At(1, 0), kRed);

  // Masks in the order red, green, blue: here red sits in the lowest byte.
  std::string masks = U32(0x000000FF) + U32(0x0000FF00) + U32(0x00FF0000);
  auto masked = DecodeBitmapFile(InfoFile(1, 1, 32, masks, Bytes({0x12, 0x34, 0x56, 0}), 3));
  ASSERT_TRUE(masked);
  EXPECT_EQ(masked->At(0, 0), kOdd);
}

TEST(DecodeBitmapFile, OldCoreHeaderWithThreeBytePalette) {
  std::string palette = Bytes({0, 0, 0xFF, 0xFF, 0, 0});
  std::string file = "BM" + U32(14 + 12 + 6 + 4) + U32(0) + U32(14 + 12 + 6) + U32(12) + U16(2) +
                     U16(1) + U16(1) + U16(8) + palette + Bytes({1, 0, 0, 0});
  auto picture = DecodeBitmapFile(file);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), kBlue);
  EXPECT_EQ(picture->At(1, 0), kRed);
}

TEST(DecodeBitmapFile, RunLengthEightBit) {
  // Three of colour 1 on the bottom row, end of line, then an absolute run of
  // three on the top row (padded to an even length), end of picture.
  std::string codes = Bytes({3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 0, 1});
  auto picture = DecodeBitmapFile(InfoFile(3, 2, 8, kPalette, codes, 1));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 1), kBlue);
  EXPECT_EQ(picture->At(2, 1), kBlue);
  EXPECT_EQ(picture->At(0, 0), kOdd);
  EXPECT_EQ(picture->At(1, 0), kRed);
  EXPECT_EQ(picture->At(2, 0), kBlue);
}

TEST(DecodeBitmapFile, RefusesBrokenFiles) {
  std::string good = InfoFile(2, 2, 24, "", std::string(16, '\x7F'));
  ASSERT_TRUE(DecodeBitmapFile(good));
  EXPECT_FALSE(DecodeBitmapFile(""));
  EXPECT_FALSE(DecodeBitmapFile("XM" + good.substr(2)));
  EXPECT_FALSE(DecodeBitmapFile(good.substr(0, good.size() - 7)));                  // pixels cut short
  EXPECT_FALSE(DecodeBitmapFile(InfoFile(0, 2, 24, "", std::string(16, '\0'))));    // no width
  EXPECT_FALSE(DecodeBitmapFile(InfoFile(2, 0, 24, "", std::string(16, '\0'))));    // no height
  EXPECT_FALSE(DecodeBitmapFile(InfoFile(2, 2, 7, "", std::string(16, '\0'))));     // no such depth
  EXPECT_FALSE(DecodeBitmapFile(InfoFile(2, 2, 8, "", std::string(16, '\0'))));     // no palette
  // A header that claims a huge picture is refused before anything is allocated.
  EXPECT_FALSE(DecodeBitmapFile(InfoFile(30000, 30000, 1, kPalette.substr(0, 8), "")));
  EXPECT_FALSE(DecodeBitmapFile(InfoFile(-2, 2, 24, "", std::string(16, '\0'))));
}

TEST(EncodeBitmapFile, TwentyFourBitRoundTripKeepsEveryColour) {
  // An odd width needs row padding; every pixel gets its own colour.
  Bitmap picture(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      picture.Set(x, y, MakeColour(static_cast<std::uint8_t>(x * 51), static_cast<std::uint8_t>(y * 99 + 1),
                                   static_cast<std::uint8_t>(x * y + 7)));
    }
  }
  std::string file = EncodeBitmapFile(picture);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(file.size(), 14u + 40u + 3u * 16u);
  EXPECT_EQ(file[28], 24);  // bits per pixel
  auto back = DecodeBitmapFile(file);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, picture);

  platform::TemporaryFolder folder;
  ASSERT_TRUE(SaveBitmapFile(folder.Path() + "p.bmp", picture));
  auto loaded = LoadBitmapFile(folder.Path() + "p.bmp");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(*loaded, picture);
  EXPECT_FALSE(SaveBitmapFile(folder.Path() + "empty.bmp", Bitmap()));
  EXPECT_FALSE(platform::FileExists(folder.Path() + "empty.bmp"));
}

TEST(MirrorLeftRight, FlipsEachRow) {
  Bitmap picture(3, 2, kRed);
  picture.Set(0, 0, kBlue);
  picture.Set(1, 1, kGreen);
  Bitmap mirrored = MirrorLeftRight(picture);
  EXPECT_EQ(mirrored.At(2, 0), kBlue);
  EXPECT_EQ(mirrored.At(0, 0), kRed);
  EXPECT_EQ(mirrored.At(1, 1), kGreen);
  EXPECT_EQ(MirrorLeftRight(mirrored), picture);
}

TEST(Colour, ColorRefFormSwapsRedAndBlue) {
  EXPECT_EQ(ColorRefFromColour(kOdd), 0x563412u);
  EXPECT_EQ(ColourFromColorRef(0x563412u), kOdd);
}

}  // namespace
}  // namespace mf
