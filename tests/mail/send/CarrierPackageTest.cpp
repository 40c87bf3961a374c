#include <gtest/gtest.h>

#include <string>

#include "character/CharacterPackage.h"
#include "mail/send/CarrierPackage.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

class CarrierPackageTest : public ::testing::Test {
 protected:
  std::string Folder() const { return folder_.Path() + "char1"; }
  std::string Package() const { return Folder() + "/MofutanData.mfd"; }
  bool PackageSound() const {
    auto bytes = platform::ReadFile(Package());
    return bytes && CheckPackage(*bytes).has_value();
  }

  platform::TemporaryFolder folder_;
};

TEST_F(CarrierPackageTest, AMissingPackageIsMade) {
  testing::MakeCharacter(folder_.Path(), {.id = "<7@test>"});
  ASSERT_FALSE(platform::FileExists(Package()));
  EXPECT_EQ(PrepareCarrierPackage(Folder()), Package());
  EXPECT_TRUE(PackageSound());
  EXPECT_EQ(CharacterIdOf(Folder()), "<7@test>");
}

TEST_F(CarrierPackageTest, ABrokenPackageIsMadeAnew) {
  testing::MakeCharacter(folder_.Path(), {});
  ASSERT_TRUE(platform::WriteFileAtomic(Package(), "not a package"));
  EXPECT_EQ(PrepareCarrierPackage(Folder()), Package());
  EXPECT_TRUE(PackageSound());
}

TEST_F(CarrierPackageTest, ACharacterThatCannotBePackedGivesNothing) {
  // A picture of another size cannot go into one package with the others.
  testing::MakeCharacter(folder_.Path(), {});
  ASSERT_TRUE(platform::WriteFileAtomic(Folder() + "/image3.bmp",
                                        testing::BitmapBytes(20, 20, [](int, int) { return 0u; })));
  ASSERT_TRUE(platform::WriteFileAtomic(Package(), "not a package"));
  EXPECT_FALSE(PrepareCarrierPackage(Folder()));
  EXPECT_FALSE(CharacterIdOf(folder_.Path() + "char9"));
}

}  // namespace
}  // namespace mf
