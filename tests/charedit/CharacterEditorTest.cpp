#include "charedit/CharacterEditor.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "character/SceneScript.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

constexpr const char* kId = "<20261208.1f@example.jp>";

class Editor : public ::testing::Test {
 protected:
  std::string Home() const { return program_.Path(); }
  std::string Dir(int n) const { return Home() + "char" + std::to_string(n); }
  std::string SceneText(int n) const { return platform::ReadFile(Dir(n) + "/scene.txt").value_or(""); }
  std::string Package(int n) const { return Dir(n) + "/MofutanData.mfd"; }

  // A fresh folder pair with two pictures, opened as the new-character
  // command opens it.
  void OpenNew(int n = 1) {
    platform::CreateFolder(Dir(n));
    platform::CreateFolder(Dir(n) + "r");
    editor_.Open(EditorOpening{Home(), Dir(n), Dir(n) + "r", {kId, "", "2", "0"}, "", kNewModestyChoice, true});
  }
  void AddPictures(int n, std::initializer_list<int> keys) {
    for (int key : keys) {
      const std::string name = "/image" + std::to_string(key);
      platform::WriteFileAtomic(Dir(n) + name + ".bmp", testing::SquarePicture());
      platform::WriteFileAtomic(Dir(n) + "r" + name + "r.bmp", testing::SquarePicture());
    }
  }
  // An existing character, opened as evolution opens it (same id here).
  void OpenExisting(int n, const std::vector<std::string>& scenes) {
    MakeCharacter(Home(), CharacterSetup{.folderName = "char" + std::to_string(n), .id = kId,
                                        .name = "Tama", .modesty = "2", .scenes = scenes});
    ASSERT_TRUE(PackCharacter(Dir(n), Package(n)));
    auto script = ReadSceneFile(Dir(n));
    editor_.Open(EditorOpening{Home(), Dir(n), Dir(n) + "r", *script, "Tama", 2, false});
  }
  void Answer(std::optional<std::string> text) { dialogs_.texts.push_back(std::move(text)); }
  // A named scene with one frame of picture 1.
  void MakeScene(const std::string& name) {
    Answer(name);
    editor_.NewScene();
    editor_.AddFrame(1, "2:4:0");
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& call : dialogs_.calls) {
      if (call.kind == "Error") texts.push_back(SjisToUtf8(call.text));
    }
    return texts;
  }

  platform::TemporaryFolder program_;
  platform::FakeDialogs dialogs_;
  std::vector<std::pair<int, std::string>> registered_;
  CharacterEditor editor_{dialogs_, [this](int n, const std::string& id) { registered_.emplace_back(n, id); }};
};

TEST_F(Editor, NewCharacterIsSavedPackedAndRegistered) {
  OpenNew(3);
  AddPictures(3, {1, 2});
  editor_.SetPictureCount(2);
  editor_.SetName("Pochi");
  MakeScene("walk");
  editor_.AddFrame(2, "2:4:0");
  editor_.SetRepeat("3");
  editor_.SetPlace(4);
  editor_.SetFrequency("2");

  EXPECT_EQ(editor_.Ok(), EditorResult::Close);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(SceneText(3), std::string(kId) + "\r\nPochi\r\n2\r\n2\r\nwalk\\3\\4\\2\\\\1\\2:4:0\\2\\2:4:0\\\r\n");
  auto package = platform::ReadFile(Package(3));
  ASSERT_TRUE(package);
  EXPECT_TRUE(CheckPackage(*package));
  EXPECT_EQ(registered_, (std::vector<std::pair<int, std::string>>{{3, kId}}));
  EXPECT_FALSE(editor_.IsNew());
  // The engine takes the scene.
  EXPECT_EQ(LoadSceneScript(Dir(3)).scenes.size(), 1u);
}

// A character saved without a scene it can enter the desktop in is kept,
// and the user learns at once that it cannot go out.
TEST_F(Editor, SavingACharacterThatCannotGoOutSaysSo) {
  struct Case {
    const char* name;
    int place;
    const char* frequency;
    bool told;
  };
  const Case cases[] = {
      {"walks on windows only", 0, "2", true},
      {"free but never chosen", 4, "0", true},
      {"free", 4, "1", false},
  };
  int n = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs_.calls.clear();
    OpenNew(n);
    AddPictures(n, {1});
    editor_.SetPictureCount(1);
    editor_.SetName("Robo");
    MakeScene("walk");
    editor_.SetPlace(c.place);
    editor_.SetFrequency(c.frequency);
    EXPECT_EQ(editor_.Ok(), EditorResult::Close);
    EXPECT_TRUE(platform::FileExists(Dir(n) + "/scene.txt"));
    std::vector<std::string> told;
    for (const auto& call : dialogs_.calls) {
      if (call.kind == "Information") told.push_back(SjisToUtf8(call.text));
    }
    EXPECT_EQ(told, c.told ? std::vector<std::string>{"「自由」の場所のシーンがないので外に出られません。"
                                                      "場所が「自由」で出現頻度が1以上のシーンを作ると外に出られます。"}
                           : std::vector<std::string>{});
    ++n;
  }
}

TEST_F(Editor, AbandonedNewCharacterLeavesNoFolder) {
  OpenNew(1);
  AddPictures(1, {1});
  editor_.Cancel();
  EXPECT_FALSE(platform::DirectoryExists(Dir(1)));
  EXPECT_FALSE(platform::DirectoryExists(Dir(1) + "r"));
  // A closing after OK removes nothing.
  OpenExisting(2, testing::StandingScenes());
  editor_.Cancel();
  EXPECT_TRUE(platform::FileExists(Dir(2) + "/scene.txt"));
}

TEST_F(Editor, OkRefusesWhatCannotBeACharacterInThisOrder) {
  OpenNew();
  AddPictures(1, {1});
  EXPECT_EQ(editor_.Ok(), EditorResult::StayOpen);
  editor_.SetName("Pochi");
  EXPECT_EQ(editor_.Ok(), EditorResult::StayOpen);
  editor_.SetPictureCount(1);
  EXPECT_EQ(editor_.Ok(), EditorResult::StayOpen) << "no scene";
  // A new scene saved without frames is bad data.
  Answer("stand");
  editor_.NewScene();
  EXPECT_EQ(editor_.ScriptLines().back(), "stand\\1\\0\\0\\\\");
  EXPECT_EQ(editor_.Ok(), EditorResult::StayOpen);
  EXPECT_EQ(Errors(), (std::vector<std::string>{"キャラクター名がありません", "画像がありません",
                                                "データが不正です", "データが不正です"}));
  EXPECT_TRUE(registered_.empty());
  EXPECT_FALSE(platform::FileExists(Dir(1) + "/scene.txt"));
  EXPECT_TRUE(editor_.IsNew());
}

TEST_F(Editor, NewSceneNamesAreCheckedByCharacter) {
  OpenNew();
  AddPictures(1, {1});
  EXPECT_FALSE(editor_.CanAddScene());
  editor_.SetName("Pochi");
  ASSERT_TRUE(editor_.CanAddScene());
  MakeScene("walk");
  const std::string sofa = Sj("ソファで寝る");
  for (const std::optional<std::string>& answer :
       {std::optional<std::string>("walk"), std::optional<std::string>("a\\b"), std::optional<std::string>("  "),
        std::optional<std::string>()}) {
    Answer(answer);
    editor_.NewScene();
  }
  EXPECT_EQ(Errors(), (std::vector<std::string>{"既存のシーンに同名のものが存在します",
                                                "シーン名に\\を含むことはできません"}));
  EXPECT_EQ(editor_.SceneNames(), (std::vector<std::string>{"walk"}));

  MakeScene(sofa);
  EXPECT_EQ(editor_.SceneNames(), (std::vector<std::string>{"walk", sofa}));
  EXPECT_EQ(editor_.SceneLine(), 5);
  EXPECT_EQ(editor_.Scene().repeat, "5");
  EXPECT_EQ(editor_.Scene().frequency, "3");
  EXPECT_EQ(editor_.Scene().place, 0);
}

TEST_F(Editor, SofaSceneRoundTripsThroughTheEditorAndTheEngine) {
  const std::string sofa = Sj("ソファで寝る");
  OpenNew();
  AddPictures(1, {1});
  editor_.SetPictureCount(1);
  editor_.SetName("Pochi");
  MakeScene(sofa);
  editor_.SetPlace(4);
  editor_.SetNext(sofa);
  ASSERT_EQ(editor_.Ok(), EditorResult::Close);

  editor_.Open(EditorOpening{Home(), Dir(1), Dir(1) + "r", *ReadSceneFile(Dir(1)), "Pochi", 2, false});
  EXPECT_EQ(editor_.SceneNames(), (std::vector<std::string>{sofa}));
  editor_.SelectScene(0);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(editor_.Scene(), (SceneFields{sofa, "5", 4, "3", sofa, {{"1", "2:4:0"}}}));
  auto script = LoadSceneScript(Dir(1));
  ASSERT_EQ(script.scenes.size(), 1u);
  EXPECT_EQ(script.scenes[0].name, sofa);
  EXPECT_EQ(script.scenes[0].next, sofa);
}

TEST_F(Editor, FieldChangesRewriteTheSelectedLine) {
  OpenNew();
  AddPictures(1, {1});
  editor_.SetName("Pochi");
  MakeScene("walk");
  EXPECT_EQ(editor_.ScriptLines()[4], "walk\\5\\0\\3\\\\1\\2:4:0\\");
  editor_.SetRepeat("");
  EXPECT_EQ(editor_.Scene().repeat, "0") << "an emptied repeat becomes 0";
  EXPECT_EQ(editor_.ScriptLines()[4], "walk\\0\\0\\3\\\\1\\2:4:0\\");
  editor_.SetFrequency("");
  editor_.SetRepeat("2");
  EXPECT_EQ(editor_.ScriptLines()[4], "walk\\0\\0\\3\\\\1\\2:4:0\\") << "an empty frequency does not rewrite";
  editor_.SetFrequency("1");
  EXPECT_EQ(editor_.ScriptLines()[4], "walk\\2\\0\\1\\\\1\\2:4:0\\");
  // Modesty "5" is the first choice and stores 0; "1" stores 4.
  editor_.SetModestyChoice(0);
  EXPECT_EQ(editor_.ScriptLines()[2], "0");
  editor_.SetModestyChoice(4);
  EXPECT_EQ(editor_.ScriptLines()[2], "4");
  EXPECT_EQ(editor_.ScriptLines()[1], "Pochi");
}

TEST_F(Editor, DeletingTheLastFrameIsQuietAndLeavesTheSceneEmpty) {
  OpenExisting(1, {"walk\\3\\0\\1\\\\1\\1:4:0\\2\\1:4:0\\"});
  editor_.SelectScene(0);
  ASSERT_EQ(editor_.Scene().frames.size(), 2u);
  editor_.DeleteFrame(0);
  EXPECT_EQ(editor_.Scene().frames, (std::vector<EditorFrame>{{"2", "1:4:0"}}));
  editor_.DeleteFrame(0);
  EXPECT_TRUE(editor_.Scene().frames.empty());
  EXPECT_EQ(editor_.ScriptLines()[4], "walk\\3\\0\\1\\\\");
  EXPECT_TRUE(Errors().empty());
  // Choosing it again says what is wrong with it.
  editor_.SelectScene(0);
  EXPECT_EQ(Errors(), (std::vector<std::string>{"シーンwalkのデータに誤りがあります"}));
  EXPECT_EQ(editor_.Scene().repeat, "3");
}

TEST_F(Editor, DeletedSceneLeavesNothingSelectedThatCouldOverwriteTheNextOne) {
  OpenExisting(1, testing::StandingScenes());
  editor_.SelectScene(0);
  editor_.DeleteScene();  // the fake answers No
  EXPECT_EQ(editor_.SceneNames().size(), 2u);
  dialogs_.yesNo.push_back(true);
  editor_.DeleteScene();
  EXPECT_EQ(SjisToUtf8(dialogs_.calls.back().text), "シーンstandを削除してよろしいですか");
  EXPECT_EQ(editor_.SceneNames(), (std::vector<std::string>{"walk"}));
  EXPECT_EQ(editor_.SelectedScene(), -1);
  EXPECT_EQ(editor_.SceneLine(), -1);
  const std::string walk = editor_.ScriptLines()[4];
  editor_.SetRepeat("9");
  editor_.AddFrame(2, "1:0:0");
  EXPECT_EQ(editor_.ScriptLines()[4], walk);
  EXPECT_EQ(editor_.ScriptLines().size(), 5u);
}

TEST_F(Editor, UnchangedCharacterIsNeitherRewrittenNorRepacked) {
  OpenExisting(1, testing::StandingScenes());
  const auto before = platform::ReadFile(Dir(1) + "/scene.txt");
  platform::DeleteFileInside(Home(), Package(1));
  // Selecting and a new id in line 0 alone change nothing on disk.
  editor_.SelectScene(1);
  EXPECT_EQ(editor_.Ok(), EditorResult::Close);
  EXPECT_FALSE(platform::FileExists(Package(1)));
  EXPECT_EQ(platform::ReadFile(Dir(1) + "/scene.txt"), before);
  EXPECT_TRUE(registered_.empty());

  editor_.SetModestyChoice(4);
  EXPECT_EQ(editor_.Ok(), EditorResult::Close);
  EXPECT_TRUE(platform::FileExists(Package(1)));
  EXPECT_EQ(registered_, (std::vector<std::pair<int, std::string>>{{1, kId}}));
}

TEST_F(Editor, FailedPackLeavesThePreviousCharacterAndSaysSo) {
  OpenExisting(1, testing::StandingScenes());
  const auto scene = platform::ReadFile(Dir(1) + "/scene.txt");
  const auto package = platform::ReadFile(Package(1));
  // A picture that cannot be packed.
  platform::WriteFileAtomic(Dir(1) + "/image7.bmp", "not a picture");
  editor_.SetName("Mike");
  EXPECT_EQ(editor_.Ok(), EditorResult::StayOpen);
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_EQ(platform::ReadFile(Dir(1) + "/scene.txt"), scene);
  EXPECT_EQ(platform::ReadFile(Package(1)), package);
  EXPECT_TRUE(registered_.empty());

  // Once the picture is gone, OK goes through.
  platform::DeleteFileInside(Home(), Dir(1) + "/image7.bmp");
  EXPECT_EQ(editor_.Ok(), EditorResult::Close);
  EXPECT_EQ(registered_.size(), 1u);
}

TEST_F(Editor, NewCharacterThatCannotBeWrittenLeavesNoScriptAndGoesOnCancel) {
  OpenNew();
  AddPictures(1, {1});
  editor_.SetPictureCount(1);
  editor_.SetName("Pochi");
  MakeScene("walk");
  editor_.SetPlace(4);
  // A folder in the way of scene.txt stands for a full disk.
  ASSERT_TRUE(platform::CreateFolder(Dir(1) + "/scene.txt"));
  EXPECT_EQ(editor_.Ok(), EditorResult::StayOpen);
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_TRUE(registered_.empty());
  EXPECT_FALSE(platform::FileExists(Package(1)));
  EXPECT_TRUE(editor_.IsNew());
  editor_.Cancel();
  EXPECT_FALSE(platform::DirectoryExists(Dir(1)));
}

TEST(EditorKeys, RepeatTakesDigitsFrequencyOneDigitUpToFour) {
  for (char key : std::string("0123456789\b")) EXPECT_TRUE(CharacterEditor::AcceptRepeatKey(key)) << key;
  for (char key : std::string("-a .")) EXPECT_FALSE(CharacterEditor::AcceptRepeatKey(key)) << key;
  for (char key : std::string("01234\b")) EXPECT_TRUE(CharacterEditor::AcceptFrequencyKey(key, "")) << key;
  for (char key : std::string("5-a")) EXPECT_FALSE(CharacterEditor::AcceptFrequencyKey(key, "")) << key;
  EXPECT_FALSE(CharacterEditor::AcceptFrequencyKey('1', "2"));
  EXPECT_TRUE(CharacterEditor::AcceptFrequencyKey('\b', "2"));
}

TEST(EditorFolders, NumberComesFromTheFolderName) {
  EXPECT_EQ(FolderNumberOf("/p/char12"), 12);
  EXPECT_EQ(FolderNumberOf("/p/char-3"), -3);
  EXPECT_EQ(FolderNumberOf("/p/chars"), 0);
  EXPECT_EQ(FolderNumberOf("/p/dog12"), 0);
}

}  // namespace
}  // namespace mf
