#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "character/Bitmap.h"
#include "character/BitmapFile.h"
#include "character/CharacterPackage.h"
#include "character/PictureRuns.h"
#include "platform/Files.h"

namespace mf {
namespace {

constexpr Colour kBack = MakeColour(0x00, 0xFF, 0x00);
constexpr Colour kInk = MakeColour(0x20, 0x10, 0x08);

std::string BigEndian(std::uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
  return out;
}

struct Record {
  std::string name;
  std::string runs;
};

// A package assembled byte by byte, independent of the packer.
std::string MakePackage(const std::string& scene, int width, int height,
                        const std::vector<Record>& records, bool endMark = true) {
  std::string content = BigEndian(scene.size(), 2) + scene;
  content.push_back(static_cast<char>(width));
  content.push_back(static_cast<char>(height));
  for (const auto& record : records) {
    content.push_back(static_cast<char>(record.name.size()));
    content += record.name + BigEndian(record.runs.size(), 2) + record.runs;
  }
  if (endMark) content.push_back('\0');
  std::string body = std::string(kPackageName) + content;
  return BigEndian(body.size() + 4, 4) + body;
}

Bitmap Face(Colour eye) {
  Bitmap picture(46, 46, kBack);
  for (int x = 10; x < 36; ++x) picture.Set(x, 30, kInk);
  picture.Set(15, 12, eye);
  picture.Set(30, 12, eye);
  picture.Set(45, 45, kInk);  // differs from its left neighbour
  return picture;
}

std::string Run46() { return EncodePictureRuns(Face(kInk)); }

std::vector<std::string> Names(const std::string& folder) {
  return platform::ListFolder(folder, "*");
}

class CharacterPackageTest : public ::testing::Test {
 protected:
  std::string Character() { return home_.Path() + "char1/"; }
  std::string Target() { return home_.Path() + "char2/"; }
  std::string PackagePath() { return home_.Path() + "MofutanData.mfd"; }

  void MakeCharacter() {
    ASSERT_TRUE(platform::CreateFolder(Character()));
    // LF line ends and no final line end: the package carries CR LF lines.
    ASSERT_TRUE(platform::WriteFileAtomic(Character() + "scene.txt", "<id>\nname\n2\n2"));
    ASSERT_TRUE(SaveBitmapFile(Character() + "image1.bmp", Face(kInk)));
    ASSERT_TRUE(SaveBitmapFile(Character() + "image2.bmp", Face(MakeColour(0xFF, 0, 0))));
  }

  std::string WriteTemp(const std::string& bytes) {
    std::string path = home_.Path() + "in.mfd";
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  // A hostile package must fail and leave no trace: no folder when there was none.
  void ExpectRefused(const std::string& package) {
    EXPECT_FALSE(UnpackCharacter(WriteTemp(package), Target()));
    EXPECT_FALSE(platform::DirectoryExists(Target()));
    EXPECT_EQ(Names(home_.Path()), std::vector<std::string>{"in.mfd"});
  }

  platform::TemporaryFolder home_;
};

TEST_F(CharacterPackageTest, TwoPictureCharacterRoundTripsPixelForPixel) {
  MakeCharacter();
  ASSERT_TRUE(PackCharacter(Character(), PackagePath()));
  auto bytes = platform::ReadFile(PackagePath());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->substr(0, 4), BigEndian(bytes->size(), 4));
  EXPECT_EQ(bytes->substr(4, 15), "MofutanData.mfd");
  EXPECT_EQ(bytes->back(), '\0');
  auto content = CheckPackage(*bytes);
  ASSERT_TRUE(content);
  EXPECT_EQ(content->size(), bytes->size() - 19);

  ASSERT_TRUE(UnpackCharacter(PackagePath(), Target()));
  EXPECT_EQ(platform::ReadFile(Target() + "scene.txt"), "<id>\r\nname\r\n2\r\n2\r\n");
  EXPECT_EQ(LoadBitmapFile(Target() + "image1.bmp"), Face(kInk));
  EXPECT_EQ(LoadBitmapFile(Target() + "image2.bmp"), Face(MakeColour(0xFF, 0, 0)));
  EXPECT_EQ(Names(Target()), (std::vector<std::string>{"image1.bmp", "image2.bmp", "scene.txt"}));
}

TEST_F(CharacterPackageTest, BadFoldersPackNothing) {
  MakeCharacter();
  ASSERT_TRUE(platform::WriteFileAtomic(PackagePath(), "old"));
  auto expectNoPack = [&] {
    EXPECT_FALSE(PackCharacter(Character(), PackagePath()));
    EXPECT_EQ(platform::ReadFile(PackagePath()), "old");  // the earlier package stays
  };

  ASSERT_TRUE(SaveBitmapFile(Character() + "imageA.bmp", Face(kInk)));
  expectNoPack();
  ASSERT_TRUE(platform::DeleteFileInside(home_.Path(), Character() + "imageA.bmp"));

  ASSERT_TRUE(SaveBitmapFile(Character() + "image3.bmp", Bitmap(46, 45, kBack)));
  expectNoPack();
  ASSERT_TRUE(platform::WriteFileAtomic(Character() + "image3.bmp", "not a picture"));
  expectNoPack();
  ASSERT_TRUE(platform::DeleteFileInside(home_.Path(), Character() + "image3.bmp"));

  ASSERT_TRUE(platform::DeleteFileInside(home_.Path(), Character() + "scene.txt"));
  expectNoPack();
}

TEST_F(CharacterPackageTest, ContentBeyondTheLayoutIsNotPacked) {
  ASSERT_TRUE(platform::CreateFolder(Character()));
  ASSERT_TRUE(platform::WriteFileAtomic(Character() + "scene.txt", "<id>\r\nname\r\n"));
  // A frame side of 256 would be stored as 0.
  ASSERT_TRUE(SaveBitmapFile(Character() + "image1.bmp", Bitmap(256, 2, kBack)));
  EXPECT_FALSE(PackCharacter(Character(), PackagePath()));

  // 255 x 255 pixels that all differ from their neighbours need 260100 bytes of runs.
  Bitmap noisy(255, 255);
  for (int y = 0; y < 255; ++y) {
    for (int x = 0; x < 255; ++x) noisy.Set(x, y, (x + y) % 2 ? kInk : kBack);
  }
  ASSERT_TRUE(SaveBitmapFile(Character() + "image1.bmp", noisy));
  EXPECT_FALSE(PackCharacter(Character(), PackagePath()));

  ASSERT_TRUE(SaveBitmapFile(Character() + "image1.bmp", Bitmap(255, 255, kBack)));
  EXPECT_TRUE(PackCharacter(Character(), PackagePath()));  // the largest frame still fits
  ASSERT_TRUE(platform::WriteFileAtomic(Character() + "scene.txt", std::string(70000, 'x')));
  ASSERT_TRUE(platform::DeleteFileInside(home_.Path(), PackagePath()));
  EXPECT_FALSE(PackCharacter(Character(), PackagePath()));
  EXPECT_FALSE(platform::FileExists(PackagePath()));
}

TEST(CheckPackage, NeedsItsOwnLengthTheNameAndTheEndMark) {
  std::string good = MakePackage("s\r\n", 1, 2, {{"image1.bmp", std::string("\x02\x01\x02\x03", 4)}});
  ASSERT_TRUE(CheckPackage(good));
  EXPECT_EQ(*CheckPackage(good), good.substr(19));

  std::string longer = good;
  longer[3] = static_cast<char>(longer[3] + 1);
  EXPECT_FALSE(CheckPackage(longer));
  std::string shorter = good;
  shorter[3] = static_cast<char>(shorter[3] - 1);
  EXPECT_FALSE(CheckPackage(shorter));
  std::string noMark = good;
  noMark.back() = '\x01';
  EXPECT_FALSE(CheckPackage(noMark));
  std::string otherName = good;
  otherName[4] = 'm';
  EXPECT_FALSE(CheckPackage(otherName));
  EXPECT_FALSE(CheckPackage(MakePackage("", 1, 1, {}, false)));  // ends right after W and H
  EXPECT_FALSE(CheckPackage(""));
}

TEST_F(CharacterPackageTest, EndMarkWithoutPictureFailsToUnpack) {
  std::string package = MakePackage("<id>\r\n", 46, 46, {});
  ASSERT_TRUE(CheckPackage(package));
  ExpectRefused(package);
}

TEST_F(CharacterPackageTest, HostileNamesAreRefusedWhole) {
  std::string runs = Run46();
  for (std::string name : {"../image1.bmp", "/tmp/image1.bmp", "sub/image1.bmp", "image1.bmp/",
                           "..", "image\x01" "1.bmp", "image1.bmp\n", "imageA.bmp", "image1.txt",
                           "scene.txt", "MofutanData.mfd", "image99999999999.bmp", "image 1.bmp",
                           "image1.bm"}) {
    SCOPED_TRACE(name);
    // The bad record comes second, so a sound first picture must not be written either.
    ExpectRefused(MakePackage("<id>\r\n", 46, 46, {{"image1.bmp", runs}, {name, runs}}));
  }
  std::string longName = "image" + std::string(240, '1') + ".bmp";
  ExpectRefused(MakePackage("<id>\r\n", 46, 46, {{longName, runs}}));
}

TEST_F(CharacterPackageTest, BrokenRecordsAreRefusedWhole) {
  std::string runs = Run46();
  ExpectRefused(MakePackage("<id>\r\n", 0, 46, {{"image1.bmp", runs}}));
  ExpectRefused(MakePackage("<id>\r\n", 46, 0, {{"image1.bmp", runs}}));
  // Run data cut inside a run, and run data that paints only part of the frame.
  ExpectRefused(MakePackage("<id>\r\n", 46, 46, {{"image1.bmp", runs}, {"image2.bmp", runs.substr(0, 30)}}));
  ExpectRefused(MakePackage("<id>\r\n", 46, 46, {{"image1.bmp", runs}, {"image2.bmp", runs.substr(0, 32)}}));
  // A run length that points past the end of the package.
  std::string package = MakePackage("<id>\r\n", 46, 46, {{"image1.bmp", runs}});
  package[19 + 2 + 6 + 2 + 1 + 10] = '\x7F';
  ExpectRefused(package);
}

TEST_F(CharacterPackageTest, NamesAreWrittenInTheFormTheProgramLooksFor) {
  std::string runs = Run46();
  ASSERT_TRUE(UnpackCharacterBytes(
      MakePackage("<id>\r\n", 46, 46, {{"IMAGE2.BMP", runs}, {"image-3.bmp", runs}, {"image.bmp", runs}}),
      Target()));
  EXPECT_EQ(Names(Target()),
            (std::vector<std::string>{"image-3.bmp", "image.bmp", "image2.bmp", "scene.txt"}));
}

TEST_F(CharacterPackageTest, FailedWriteRemovesWhatThisUnpackWrote) {
  std::string runs = Run46();
  ASSERT_TRUE(platform::CreateFolder(Target()));
  ASSERT_TRUE(platform::WriteFileAtomic(Target() + "keep.txt", "mine"));
  // A folder where the second picture should go makes its write fail.
  ASSERT_TRUE(platform::CreateFolder(Target() + "image2.bmp"));
  EXPECT_FALSE(UnpackCharacterBytes(
      MakePackage("<id>\r\n", 46, 46, {{"image1.bmp", runs}, {"image2.bmp", runs}}), Target()));
  EXPECT_EQ(Names(Target()), (std::vector<std::string>{"image2.bmp", "keep.txt"}));
  EXPECT_EQ(platform::ReadFile(Target() + "keep.txt"), "mine");
}

TEST_F(CharacterPackageTest, MissingPackageFileFails) {
  EXPECT_FALSE(UnpackCharacter(home_.Path() + "none.mfd", Target()));
  EXPECT_FALSE(platform::DirectoryExists(Target()));
}

}  // namespace
}  // namespace mf
