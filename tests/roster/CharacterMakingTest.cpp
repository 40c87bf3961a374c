#include "roster/CharacterMaking.h"

#include <gtest/gtest.h>

#include "base/DateTime.h"
#include "base/Identifiers.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "character/SceneScript.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "roster/FolderPair.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

constexpr const char* kAddress = "tama@example.jp";

// The editor window as the commands see it: it remembers how it was opened.
class RecordingEditor final : public CharacterEditorLauncher {
 public:
  void EditCharacter(const EditorOpening& opening) override { openings.push_back(opening); }
  std::vector<EditorOpening> openings;
};

class Making : public ::testing::Test {
 protected:
  std::string Home() const { return folder_.Path(); }
  std::string Dir(int n) const { return Home() + "char" + std::to_string(n); }
  // What the next new id will be: the clock is fixed and the draws run out
  // the same way each time.
  std::string ExpectedId() {
    ScriptedRandom random;
    return MakeCharacterId(clock_.Now(), random, kAddress);
  }
  void MakeParent() {
    MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<p@x>", .name = "Tama", .modesty = "4",
                                        .scenes = testing::StandingScenes()});
  }
  std::vector<std::string> Files(const std::string& folder) const {
    return platform::ListFolder(folder, "*", platform::ListKind::FilesOnly);
  }

  platform::TemporaryFolder folder_;
  FixedClock clock_{DateTime{2026, 12, 8, 14, 5, 9, 0, 540}};
  ScriptedRandom random_;
  platform::FakeDialogs dialogs_;
  RecordingEditor editor_;
  CharacterMaking making_{Home(), clock_, random_, dialogs_};
};

TEST_F(Making, FolderPairsTakeTheLowestNumberWhoseFoldersAreBothFree) {
  platform::CreateFolder(Dir(1));
  platform::CreateFolder(Dir(3) + "r");  // a stray mirror is not taken over
  auto pair = CreateNextFolderPair(Home());
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair->number, 2);
  EXPECT_EQ(pair->main, Dir(2));
  EXPECT_EQ(pair->mirror, Dir(2) + "r");
  EXPECT_TRUE(platform::DirectoryExists(Dir(2) + "r"));
  EXPECT_EQ(CreateNextFolderPair(Home())->number, 4);
}

TEST_F(Making, NewCharacterOpensTheEditorOnAFreshPair) {
  MakeParent();
  making_.NewCharacter(kAddress, editor_);
  ASSERT_EQ(editor_.openings.size(), 1u);
  const EditorOpening& opening = editor_.openings[0];
  EXPECT_EQ(opening.charDir, Dir(2));
  EXPECT_EQ(opening.mirrorDir, Dir(2) + "r");
  EXPECT_EQ(opening.programFolder, Home());
  EXPECT_EQ(opening.script, (std::vector<std::string>{ExpectedId(), "", "2", "0"}));
  EXPECT_EQ(opening.name, "");
  EXPECT_EQ(opening.modestyChoice, kNewModestyChoice);
  EXPECT_TRUE(opening.isNew);
  EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(Making, AWrongAddressStopsEachCommandWithItsMessage) {
  MakeParent();
  const CharacterRecord parent{Dir(1), "<p@x>", false, 0};
  making_.NewCharacter("", editor_);
  making_.Evolve("Tama", parent, "tama.example.jp", editor_);
  making_.GiveBirth("Tama", parent, "", editor_);
  EXPECT_TRUE(editor_.openings.empty());
  ASSERT_EQ(dialogs_.calls.size(), 3u);
  for (const auto& call : dialogs_.calls) {
    EXPECT_EQ(call.kind, "Error");
    EXPECT_EQ(SjisToUtf8(call.text), "設定されているメールアドレスが不正です");
  }
  // The new-character command made its pair first and leaves it empty; the
  // child's command checks first and makes none.
  EXPECT_TRUE(platform::DirectoryExists(Dir(2)));
  EXPECT_TRUE(Files(Dir(2)).empty());
  EXPECT_FALSE(platform::DirectoryExists(Dir(3)));
  making_.NewCharacter(kAddress, editor_);
  ASSERT_EQ(editor_.openings.size(), 1u);
  EXPECT_EQ(editor_.openings[0].charDir, Dir(3));
}

TEST_F(Making, EvolutionKeepsTheFolderAndGivesANewId) {
  MakeParent();
  making_.Evolve("Tama", CharacterRecord{Dir(1), "<p@x>", false, 0}, kAddress, editor_);
  ASSERT_EQ(editor_.openings.size(), 1u);
  const EditorOpening& opening = editor_.openings[0];
  EXPECT_EQ(opening.charDir, Dir(1));
  EXPECT_EQ(opening.mirrorDir, Dir(1) + "r");
  EXPECT_EQ(opening.script[0], ExpectedId());
  EXPECT_EQ(opening.script[1], "Tama");
  EXPECT_EQ(opening.script.size(), 6u);
  EXPECT_EQ(opening.name, "Tama");
  EXPECT_EQ(opening.modestyChoice, 4);
  EXPECT_FALSE(opening.isNew);
  // Nothing on disk changes before the editor accepts.
  EXPECT_EQ(ReadSceneFile(Dir(1))->at(0), "<p@x>");
}

TEST_F(Making, EvolutionOnlyOfTheCharacterTheItemNames) {
  MakeParent();
  MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<q@x>", .name = "Mike",
                                      .scenes = testing::StandingScenes(), .companion = false});
  MakeCharacter(Home(), CharacterSetup{.folderName = "char3", .id = "<s@x>", .name = "Short"});
  making_.Evolve("Pochi", CharacterRecord{Dir(1), "<p@x>", false, 0}, kAddress, editor_);  // other caption
  making_.Evolve("Tama", CharacterRecord{Dir(1), "<other>", false, 0}, kAddress, editor_);  // other id
  making_.Evolve("Mike", CharacterRecord{Dir(2), "<q@x>", false, 1}, kAddress, editor_);   // no mirror folder
  making_.Evolve("Short", CharacterRecord{Dir(3), "<s@x>", false, 2}, kAddress, editor_);  // no scene line
  making_.Evolve("Gone", CharacterRecord{Dir(9), "<g@x>", false, 3}, kAddress, editor_);   // no folder
  EXPECT_TRUE(editor_.openings.empty());
  EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(Making, ChildGetsItsParentsPicturePairsAndScriptUnderANewName) {
  MakeParent();
  platform::CreateFolder(Dir(2));  // taken: the child goes to 3
  // Only numbered pictures with a mirror are copied.
  platform::WriteFileAtomic(Dir(1) + "/image3.bmp", testing::SquarePicture());
  platform::WriteFileAtomic(Dir(1) + "/imageA.bmp", testing::SquarePicture());
  platform::WriteFileAtomic(Dir(1) + "/MofutanData.mfd", "package");
  making_.GiveBirth("Tama", CharacterRecord{Dir(1), "<p@x>", false, 0}, kAddress, editor_);

  ASSERT_EQ(editor_.openings.size(), 1u);
  const EditorOpening& opening = editor_.openings[0];
  const std::string child = Sj("Tamaの子供");
  EXPECT_EQ(opening.charDir, Dir(3));
  EXPECT_EQ(opening.name, child);
  EXPECT_EQ(opening.script[0], ExpectedId());
  EXPECT_EQ(opening.script[1], child);
  EXPECT_EQ(opening.modestyChoice, 4);
  EXPECT_TRUE(opening.isNew);
  EXPECT_EQ(Files(Dir(3)), (std::vector<std::string>{"image1.bmp", "image2.bmp", "scene.txt"}));
  EXPECT_EQ(Files(Dir(3) + "r"), (std::vector<std::string>{"image1r.bmp", "image2r.bmp"}));
  EXPECT_EQ(*ReadSceneFile(Dir(3)), opening.script);
  EXPECT_EQ(platform::ReadFile(Dir(3) + "/image1.bmp"), platform::ReadFile(Dir(1) + "/image1.bmp"));
  // The parent is untouched.
  EXPECT_EQ(ReadSceneFile(Dir(1))->at(0), "<p@x>");
}

TEST_F(Making, ChildThatTheEditorWouldRefuseLeavesNoFolders) {
  // The parent's scene uses a picture it does not have.
  MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<p@x>", .name = "Tama",
                                      .scenes = {"walk\\1\\4\\1\\\\9\\1:0:0\\"}});
  making_.GiveBirth("Tama", CharacterRecord{Dir(1), "<p@x>", false, 0}, kAddress, editor_);
  EXPECT_TRUE(editor_.openings.empty());
  EXPECT_FALSE(platform::DirectoryExists(Dir(2)));
  EXPECT_FALSE(platform::DirectoryExists(Dir(2) + "r"));
  EXPECT_TRUE(dialogs_.calls.empty());
}

}  // namespace
}  // namespace mf
