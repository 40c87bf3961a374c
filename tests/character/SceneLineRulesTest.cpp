#include "character/SceneLineRules.h"

#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

class SceneRules : public ::testing::Test {
 protected:
  void SetUp() override {
    // Pictures 1 and 2 exist; 3 does not.
    MakeCharacter(program_.Path(), CharacterSetup{.folderName = "char1"});
  }
  std::string CharDir() const { return program_.Path() + "char1"; }

  platform::TemporaryFolder program_;
};

TEST_F(SceneRules, WritesTheFieldsAndFramesTheCheckReadsBack) {
  const SceneFields walk{"walk", "3", 4, "2", "stand", {{"1", "2:4:0"}, {"2", "2:-4:1"}}};
  const std::string line = WriteSceneLine(walk);
  EXPECT_EQ(line, "walk\\3\\4\\2\\stand\\1\\2:4:0\\2\\2:-4:1\\");
  EXPECT_EQ(CheckSceneLine(line, CharDir(), nullptr), walk);
  EXPECT_EQ(WriteSceneLine(SceneFields{"new", "5", 0, "3", "", {}}), "new\\5\\0\\3\\\\");
}

TEST_F(SceneRules, ScenesNamedWithA5CCharacterKeepTheirName) {
  const std::string sofa = Sj("ソファで寝る");
  const std::string table = Sj("表");
  const SceneFields scene{sofa, "1", 4, "1", table, {{"1", "1:0:0"}}};
  const std::vector<std::string> names = {sofa, table};
  EXPECT_EQ(CheckSceneLine(WriteSceneLine(scene), CharDir(), &names), scene);
  EXPECT_EQ(SceneNameOf(WriteSceneLine(scene)), sofa);
  EXPECT_EQ(SceneNamesOf({"<a@b>", "n", "2", "2", WriteSceneLine(scene), "plain"}),
            (std::vector<std::string>{sofa, "plain"}));
}

TEST_F(SceneRules, RefusesLinesThatBreakARule) {
  const std::vector<std::string> names = {"walk", "stand"};
  struct Case {
    const char* line;
    const char* why;
  };
  for (const Case& c : {
           Case{"walk\\3\\4\\2\\1\\2:4:0\\", "four separators before the frames"},
           Case{"\\3\\4\\2\\\\1\\2:4:0\\", "no name"},
           Case{"walk\\0\\4\\2\\\\1\\2:4:0\\", "repeat 0"},
           Case{"walk\\-\\4\\2\\\\1\\2:4:0\\", "repeat a lone minus"},
           Case{"walk\\ 3\\4\\2\\\\1\\2:4:0\\", "repeat with a space"},
           Case{"walk\\3\\5\\2\\\\1\\2:4:0\\", "place 5"},
           Case{"walk\\3\\4\\-1\\\\1\\2:4:0\\", "frequency -1"},
           Case{"walk\\3\\4\\2\\run\\1\\2:4:0\\", "unknown follow-on"},
           Case{"walk\\3\\4\\2\\\\", "no frames"},
           Case{"walk\\3\\4\\2\\\\   ", "blank frames"},
           Case{"walk\\3\\4\\2\\\\3\\2:4:0\\", "picture 3 does not exist"},
           Case{"walk\\3\\4\\2\\\\x\\2:4:0\\", "picture not a number"},
           Case{"walk\\3\\4\\2\\\\1\\ \\", "blank part"},
           Case{"walk\\3\\4\\2\\\\1\\2:4:0\\2", "last group not closed"},
           Case{"walk\\3\\4\\2\\\\1\\2:4:0", "last part not closed"},
       }) {
    EXPECT_FALSE(CheckSceneLine(c.line, CharDir(), &names)) << c.why;
  }
  // Without the follow-on rule any follow-on goes.
  EXPECT_TRUE(CheckSceneLine("walk\\3\\4\\2\\run\\1\\2:4:0\\", CharDir(), nullptr));
  // The editor does not read the part: that is the import window's job.
  EXPECT_TRUE(CheckSceneLine("walk\\3\\4\\2\\\\1\\any\\", CharDir(), &names));
}

TEST_F(SceneRules, WholeScriptNeedsAnAddressNameModestyCountAndGoodScenes) {
  const std::vector<std::string> good = {"<1.2@example.jp>", "Tama", "2", "2",
                                         "walk\\3\\4\\2\\stand\\1\\2:4:0\\", "stand\\1\\0\\1\\\\2\\1:0:0\\"};
  EXPECT_TRUE(CheckScript(good, CharDir()));
  struct Case {
    std::size_t line;
    const char* value;
  };
  for (const Case& c : {Case{0, "<no address>"}, Case{1, ""}, Case{2, "5"},
                        Case{2, "x"}, Case{3, "-1"}, Case{3, ""}, Case{5, "stand\\1\\0\\1\\\\"}}) {
    auto script = good;
    script[c.line] = c.value;
    EXPECT_FALSE(CheckScript(script, CharDir())) << c.line << " " << c.value;
  }
  // "ァ" ends in the byte of "@" but is no address.
  EXPECT_FALSE(CheckScript({"<\x83\x40>", "Tama", "2", "2", good[5]}, CharDir()));
  EXPECT_FALSE(CheckScript({good.begin(), good.begin() + 4}, CharDir())) << "no scene line";
}

}  // namespace
}  // namespace mf
