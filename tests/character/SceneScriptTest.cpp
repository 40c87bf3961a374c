#include "character/SceneScript.h"

#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "tests/character/CharacterFolder.h"

namespace mf {
namespace {

TEST(SceneLine, ReadsEveryField) {
  auto scene = ParseSceneLine("walk\\3\\4\\4\\\\1\\2:4:0\\2\\2:4:0\\");
  ASSERT_TRUE(scene);
  EXPECT_EQ(scene->name, "walk");
  EXPECT_EQ(scene->repeat, 3);
  EXPECT_EQ(scene->place, 4);
  EXPECT_EQ(scene->frequency, 4);
  EXPECT_EQ(scene->next, "");
  EXPECT_EQ(scene->frames, "1\\2:4:0\\2\\2:4:0\\");
  EXPECT_EQ(ParseFrameList(scene->frames),
            (std::vector<Frame>{{"1", 2, 4, 0}, {"2", 2, 4, 0}}));
}

TEST(SceneLine, TrimsNameAndNextButTakesNumbersAsWritten) {
  auto scene = ParseSceneLine(" jump \\1\\0\\0\\ land \\1\\1:0:-3\\");
  ASSERT_TRUE(scene);
  EXPECT_EQ(scene->name, "jump");
  EXPECT_EQ(scene->next, "land");
  EXPECT_FALSE(ParseSceneLine("walk\\ 3\\4\\4\\\\1\\2:4:0\\"));
  EXPECT_FALSE(ParseSceneLine("walk\\3\\4 \\4\\\\1\\2:4:0\\"));
}

TEST(SceneLine, RejectsBrokenRules) {
  std::string why;
  for (const char* line : {
           "walk\\3\\4\\4\\1\\2:4:0\\",              // five fields
           "walk",                                   // one field
           "walk\\0\\4\\4\\\\1\\2:4:0\\",            // repeat 0
           "walk\\x\\4\\4\\\\1\\2:4:0\\",            // repeat not a number
           "walk\\3\\5\\4\\\\1\\2:4:0\\",            // place 5
           "walk\\3\\-1\\4\\\\1\\2:4:0\\",           // place -1
           "walk\\3\\4\\-1\\\\1\\2:4:0\\",           // frequency -1
           "walk\\3\\4\\5\\\\1\\2:4:0\\",            // frequency 5
           "walk\\3\\4\\4\\\\1\\0:4:0\\",            // speed 0
           "walk\\3\\4\\4\\\\",                      // no frame group
           "walk\\3\\4\\4\\\\1\\2:4:0\\junk",        // text after the last group
           "walk\\3\\4\\4\\\\1\\2:4\\",              // two numbers in a group
           "walk\\3\\4\\4\\\\1\\2:4:0",              // last group not closed
           "walk\\99999999999\\4\\4\\\\1\\2:4:0\\",  // beyond 32 bits
           "walk\\3\\4\\4\\\\1\\2:4000000000:0\\",   // beyond 32 bits
       }) {
    why.clear();
    EXPECT_FALSE(ParseSceneLine(line, &why)) << line;
    EXPECT_FALSE(why.empty()) << line;
  }
}

TEST(FrameList, KeyAsWrittenNumbersTrimmedAndSigned) {
  bool complete = false;
  auto frames = ParseFrameList(" 1\\ 2 : -4 :  3 \\x\\1:0:-2147483648\\   ", &complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(frames, (std::vector<Frame>{{" 1", 2, -4, 3}, {"x", 1, 0, -2147483647 - 1}}));
}

TEST(FrameList, KeepsTheGroupsBeforeABrokenOne) {
  bool complete = true;
  auto frames = ParseFrameList("1\\2:4:0\\2\\0:4:0\\3\\2:4:0\\", &complete);
  EXPECT_FALSE(complete);
  EXPECT_EQ(frames, (std::vector<Frame>{{"1", 2, 4, 0}}));
  EXPECT_FALSE(IsValidFrameList(""));
  EXPECT_TRUE(IsValidFrameList("1\\1:0:0\\"));
}

// "ソ", "表", "能" and "十" end in the byte 0x5C, the separator.
TEST(SceneLine, SeparatorIsFoundByCharacterNotByByte) {
  for (const char* utf8 : {"ソファで寝る", "表", "能力", "十字"}) {
    const std::string name = Sj(utf8);
    ASSERT_NE(name.find('\\'), std::string::npos) << utf8;
    auto scene = ParseSceneLine(name + "\\2\\4\\1\\" + name + "\\1\\1:0:0\\");
    ASSERT_TRUE(scene) << utf8;
    EXPECT_EQ(scene->name, name);
    EXPECT_EQ(scene->next, name);
    EXPECT_EQ(scene->repeat, 2);
    EXPECT_EQ(FindSceneSeparator(name + "\\x"), name.size());
  }
  EXPECT_EQ(FindSceneSeparator("\x83\\"), std::string::npos);  // "ソ" alone
  EXPECT_EQ(FindSceneSeparator("x\\\x83"), 1u);  // a lead byte at the end stands alone
  EXPECT_EQ(FindSceneSeparator("a\\b\\", 2), 3u);
}

TEST(PictureKeys, NeverLeaveTheCharacterFolder) {
  EXPECT_EQ(PicturePath("/p/char3", "12", false), "/p/char3/image12.bmp");
  EXPECT_EQ(PicturePath("/p/char3", "12", true), "/p/char3r/image12r.bmp");
  EXPECT_TRUE(IsSafePictureKey("12"));
  EXPECT_TRUE(IsSafePictureKey(" 1"));
  EXPECT_FALSE(IsSafePictureKey("/../../x"));
  EXPECT_FALSE(IsSafePictureKey("1\n"));
}

class SceneScriptFile : public ::testing::Test {
 protected:
  testing::CharacterFolder character;
};

TEST_F(SceneScriptFile, KeepsValidScenesWithBothPicturesInFileOrder) {
  character.AddPicture("1");
  character.AddPicture("2");
  character.AddPictureIn(false, "3");  // no mirrored copy
  character.WriteScenes({
      "  a\\1\\4\\1\\\\1\\1:0:0\\  ",
      "broken\\1\\4\\1\\\\1\\1:0:0",
      "b\\1\\0\\2\\\\2\\1:0:0\\1\\1:0:0\\",
      "nomirror\\1\\4\\1\\\\3\\1:0:0\\",
      "nofile\\1\\4\\1\\\\9\\1:0:0\\",
      "escape\\1\\4\\1\\\\/../1\\1:0:0\\",
  });
  auto script = LoadSceneScript(character.Path());
  EXPECT_TRUE(script.enoughLines);
  EXPECT_EQ(script.modesty, 2);
  ASSERT_EQ(script.scenes.size(), 2u);
  EXPECT_EQ(script.scenes[0].name, "a");
  EXPECT_EQ(script.scenes[1].name, "b");
  EXPECT_EQ(MissingPicture(character.Path(), ParseFrameList("3\\1:0:0\\")),
            character.Path() + "r/image3r.bmp");
}

TEST_F(SceneScriptFile, SceneNamedWithA5CCharacterIsLoaded) {
  character.AddPicture("1");
  const std::string sofa = Sj("ソファで寝る");
  character.WriteScenes({sofa + "\\1\\4\\1\\" + sofa + "\\1\\1:0:0\\"});
  auto script = LoadSceneScript(character.Path());
  ASSERT_EQ(script.scenes.size(), 1u);
  EXPECT_EQ(script.scenes[0].name, sofa);
  EXPECT_EQ(script.scenes[0].next, sofa);
}

TEST_F(SceneScriptFile, ShortMissingOrOddHeader) {
  EXPECT_FALSE(LoadSceneScript(character.Path()).enoughLines);
  character.WriteLines({"<id>", "name", "2", "0"});
  EXPECT_FALSE(LoadSceneScript(character.Path()).enoughLines);
  character.AddPicture("1");
  character.WriteScenes({"a\\1\\4\\1\\\\1\\1:0:0\\"}, "shy");
  auto script = LoadSceneScript(character.Path());
  EXPECT_TRUE(script.enoughLines);
  EXPECT_EQ(script.modesty, kDefaultModesty);
  EXPECT_EQ(script.scenes.size(), 1u);
}

}  // namespace
}  // namespace mf
