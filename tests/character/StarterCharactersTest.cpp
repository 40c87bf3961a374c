#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/Integer.h"
#include "base/Text.h"
#include "character/Bitmap.h"
#include "character/BitmapFile.h"
#include "character/CharacterPackage.h"
#include "platform/Files.h"

namespace mf {
namespace {

// The characters a first start shows: if one is broken, nothing walks.
std::string Assets() {
  const char* source = std::getenv("MFMAIL_SOURCE_DIR");
  return std::string(source ? source : ".") + "/assets/";
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t at; (at = line.find('\\', start)) != std::string::npos; start = at + 1) {
    fields.push_back(line.substr(start, at - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

std::vector<std::string> ReadLines(const std::string& path) {
  auto text = platform::ReadFile(path);
  return text ? SplitLines(*text) : std::vector<std::string>{};
}

TEST(StarterCharacters, EveryFolderIsACompleteCharacter) {
  auto folders = platform::ListFolder(Assets(), "char*", platform::ListKind::FoldersOnly);
  std::set<std::string> ids;
  int characters = 0;
  for (const auto& name : folders) {
    if (!IsInteger(name.substr(4))) continue;
    SCOPED_TRACE(name);
    ++characters;
    std::string folder = Assets() + name + "/";
    auto lines = ReadLines(folder + "scene.txt");
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0].front(), '<');
    EXPECT_EQ(lines[0].back(), '>');
    EXPECT_TRUE(ids.insert(lines[0]).second) << "ids must differ";
    int count = ToIntegerOr(lines[3], 0);
    ASSERT_GE(count, 1);

    for (int key = 1; key <= count; ++key) {
      auto picture = LoadBitmapFile(folder + "image" + std::to_string(key) + ".bmp");
      ASSERT_TRUE(picture) << key;
      ASSERT_EQ(picture->Width(), 46);
      ASSERT_EQ(picture->Height(), 46);
      // The window never shows row 0 and column 0, so they must be background,
      // in the mirrored picture too (whose column 0 is the last one here).
      Colour background = picture->At(0, 0);
      for (int i = 0; i < 46; ++i) {
        EXPECT_EQ(picture->At(i, 0), background) << key;
        EXPECT_EQ(picture->At(0, i), background) << key;
        EXPECT_EQ(picture->At(45, i), background) << key;
      }
      auto mirrored = LoadBitmapFile(Assets() + name + "r/image" + std::to_string(key) + "r.bmp");
      ASSERT_TRUE(mirrored) << key;
      EXPECT_EQ(*mirrored, MirrorLeftRight(*picture)) << key;
    }

    std::set<int> places;
    for (std::size_t i = 4; i < lines.size(); ++i) {
      auto fields = Fields(lines[i]);
      ASSERT_GE(fields.size(), 8u) << lines[i];
      places.insert(ToIntegerOr(fields[2], -1));
      for (std::size_t f = 5; f + 1 < fields.size(); f += 2) {
        int key = ToIntegerOr(fields[f], 0);
        EXPECT_TRUE(key >= 1 && key <= count) << lines[i];
      }
    }
    EXPECT_EQ(places, (std::set<int>{0, 1, 2, 3, 4}));

    platform::TemporaryFolder scratch;
    EXPECT_TRUE(PackCharacter(folder, scratch.Path() + std::string(kPackageName)));
  }
  EXPECT_GE(characters, 3);

  auto visible = ReadLines(Assets() + "visibleDB.dat");
  auto out = ReadLines(Assets() + "outDB.dat");
  EXPECT_FALSE(out.empty());
  for (const auto& id : visible) EXPECT_TRUE(ids.count(id)) << id;
  for (const auto& id : out) {
    EXPECT_TRUE(ids.count(id)) << id;
    EXPECT_NE(std::find(visible.begin(), visible.end(), id), visible.end()) << id;
  }
}

}  // namespace
}  // namespace mf
