#include "roster/CharacterScan.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/Files.h"
#include "roster/CharacterRegistry.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

class CharacterScan : public ::testing::Test {
 protected:
  std::string Home() const { return folder_.Path(); }
  void MakeVisible(const std::vector<std::string>& ids) {
    testing::WriteList(Home() + "visibleDB.dat", ids);
  }
  std::vector<ScannedCharacter> Scan() {
    registry_.ClearLists();
    registry_.LoadLists();
    return ScanCharacterFolders(registry_);
  }

  platform::TemporaryFolder folder_;
  CharacterRegistry registry_{folder_.Path()};
};

TEST_F(CharacterScan, FoldersThatAreNoCharactersAreIgnoredWithoutTouchingThem) {
  // char5r alone, charX, a file char7, a folder without companion, one
  // without scene.txt: none is a character, none is removed.
  platform::CreateFolder(Home() + "char5r");
  MakeCharacter(Home(), CharacterSetup{.folderName = "charX", .id = "<x>"});
  platform::WriteFileAtomic(Home() + "char7", "not a folder");
  MakeCharacter(Home(), CharacterSetup{.folderName = "char8", .id = "<8>", .companion = false});
  platform::CreateFolder(Home() + "char9");
  platform::CreateFolder(Home() + "char9r");
  MakeVisible({"<x>", "<8>"});

  EXPECT_TRUE(Scan().empty());
  EXPECT_TRUE(registry_.charDB.empty());
  EXPECT_TRUE(platform::FileExists(Home() + "char7"));
  EXPECT_TRUE(platform::DirectoryExists(Home() + "char5r"));
}

TEST_F(CharacterScan, NegativeFolderNumberIsANormalCharacter) {
  MakeCharacter(Home(), CharacterSetup{.folderName = "char-2", .id = "<minus>", .name = "Minus"});
  MakeVisible({"<minus>"});

  auto listed = Scan();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].number, "-2");
  EXPECT_EQ(listed[0].folder, Home() + "char-2");
  EXPECT_EQ(listed[0].name, "Minus");
  EXPECT_EQ(registry_.charDB, (std::vector<std::string>{"-2", "<minus>"}));
}

TEST_F(CharacterScan, IconIsTheFirstExistingPictureUpToTheCount) {
  MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<a>", .pictureCount = "3",
                                      .pictures = {2, 3}});
  // A picture numbered above the count never counts, nor a name written
  // differently from the number.
  MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<b>", .pictureCount = "2",
                                      .pictures = {3}});
  platform::WriteFileAtomic(Home() + "char2/image01.bmp", testing::SquarePicture());
  MakeVisible({"<a>", "<b>"});

  auto listed = Scan();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].iconPath, Home() + "char1/image2.bmp");
  // Both folders are still known to the registry.
  EXPECT_EQ(registry_.charDB, (std::vector<std::string>{"1", "<a>", "2", "<b>"}));
}

TEST_F(CharacterScan, VisibilityOutFlagAndShortScripts) {
  MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<in>"});
  MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<out>"});
  MakeCharacter(Home(), CharacterSetup{.folderName = "char3", .id = "<hidden>"});
  // A script of three lines has no id and no pictures to show.
  platform::CreateFolder(Home() + "char4");
  platform::CreateFolder(Home() + "char4r");
  platform::WriteFileAtomic(Home() + "char4/scene.txt", "<short>\r\nShort\r\n2\r\n");
  platform::WriteFileAtomic(Home() + "char4/image1.bmp", testing::SquarePicture());
  MakeVisible({"<in>", "<out>", "<short>", ""});
  testing::WriteList(Home() + "outDB.dat", {"<out>"});

  auto listed = Scan();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].id, "<in>");
  EXPECT_FALSE(listed[0].out);
  EXPECT_EQ(listed[1].id, "<out>");
  EXPECT_TRUE(listed[1].out);
  EXPECT_EQ(registry_.charDB,
            (std::vector<std::string>{"1", "<in>", "2", "<out>", "3", "<hidden>", "4", ""}));
}

TEST_F(CharacterScan, PictureCountThatIsNoNumberOrHugeStillFindsTheIcon) {
  MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<text>", .pictureCount = "many",
                                      .pictures = {9999}});
  MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<huge>",
                                      .pictureCount = "2147483647", .pictures = {}});
  MakeCharacter(Home(), CharacterSetup{.folderName = "char3", .id = "<none>", .pictureCount = "0"});
  MakeVisible({"<text>", "<huge>", "<none>"});

  auto started = std::chrono::steady_clock::now();
  auto listed = Scan();
  // A count of two billion with no pictures must not be probed one by one.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].id, "<text>");
  EXPECT_EQ(listed[0].iconPath, Home() + "char1/image9999.bmp");
}

TEST(CharacterRegistry, ListsRoundTripAndMissingFilesKeepTheLists) {
  platform::TemporaryFolder folder;
  CharacterRegistry registry(folder.Path());
  registry.VisibleDB = {"<a>", "<b>"};
  registry.outDB = {"<b>"};
  registry.resurrDB = {"<c>", "46000.5"};
  ASSERT_TRUE(registry.SaveVisible());
  ASSERT_TRUE(registry.SaveOut());
  ASSERT_TRUE(registry.SaveResurr());
  EXPECT_EQ(*platform::ReadFile(folder.Path() + "visibleDB.dat"), "<a>\r\n<b>\r\n");

  CharacterRegistry loaded(folder.Path());
  loaded.LoadLists();
  EXPECT_EQ(loaded.VisibleDB, registry.VisibleDB);
  EXPECT_EQ(loaded.outDB, registry.outDB);
  EXPECT_EQ(loaded.resurrDB, registry.resurrDB);

  platform::TemporaryFolder empty;
  CharacterRegistry fresh(empty.Path());
  fresh.resurrDB = {"<kept>", "1"};
  fresh.LoadLists();
  EXPECT_TRUE(fresh.VisibleDB.empty());
  EXPECT_EQ(fresh.resurrDB, (std::vector<std::string>{"<kept>", "1"}));
}

TEST(CharacterRegistry, RemoveFirstTakesOnlyTheFirstExactMatch) {
  std::vector<std::string> list = {"<a>", "<A>", "<a>"};
  EXPECT_TRUE(CharacterRegistry::RemoveFirst(list, "<a>"));
  EXPECT_EQ(list, (std::vector<std::string>{"<A>", "<a>"}));
  EXPECT_FALSE(CharacterRegistry::RemoveFirst(list, "<b>"));
}

}  // namespace
}  // namespace mf
