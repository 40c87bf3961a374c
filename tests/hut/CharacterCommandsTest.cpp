// The hut's new-character, evolution and child commands through the real
// editor window, down to the hut's list, its lists on disk and the folders.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <cstdlib>
#include <functional>

#include "base/ShiftJis.h"
#include "character/SceneScript.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "charedit/gui/CharacterEditorWindow.h"
#include "hut/gui/HutWindow.h"
#include "platform/DesktopWindows.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/qt/QtDialogs.h"
#include "roster/CharacterMaking.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

constexpr const char* kAddress = "tama@example.jp";

// Opens the editor as the program does, then lets the test act in it
// instead of waiting for the user.
class ScriptedEditor final : public CharacterEditorLauncher {
 public:
  explicit ScriptedEditor(CharacterEditorWindow& window) : window_(window) {}
  void EditCharacter(const EditorOpening& opening) override {
    ++openings;
    window_.Open(opening);
    if (user) user(window_);
  }
  std::function<void(CharacterEditorWindow&)> user;
  int openings = 0;

 private:
  CharacterEditorWindow& window_;
};

class CharacterCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("MFMAIL_HOME", Home().c_str(), 1);
    MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = "<home>", .name = "Home", .modesty = "3",
                                        .scenes = testing::StandingScenes()});
    MakeCharacter(Home(), CharacterSetup{.folderName = "char2", .id = "<out>", .name = "Out",
                                        .scenes = testing::StandingScenes()});
    testing::WriteList(Home() + "visibleDB.dat", {"<home>", "<out>"});
    testing::WriteList(Home() + "outDB.dat", {"<out>"});
    hut_ = std::make_unique<HutWindow>(HutStartup{Home(), Home() + "MFMail.ini", "", nullptr, &dialogs_}, edges_);
    hut_->SetCharacterEditor(&launcher_, [this] { return address_; });
  }
  void TearDown() override { hut_.reset(); }

  std::string Home() const { return folder_.Path(); }
  std::string Dir(int n) const { return Home() + "char" + std::to_string(n); }
  std::vector<std::string> Lines(const std::string& path) const {
    return SplitLines(platform::ReadFile(path).value_or(""));
  }
  void Select(int row) { Control<QListWidget>(*hut_, "characterList")->setCurrentRow(row); }

  platform::TemporaryFolder folder_;
  platform::FakeDesktopWindows desktop_;
  WindowEdgeSearch edges_{desktop_};
  platform::FakeDialogs dialogs_;
  std::string address_ = kAddress;
  std::unique_ptr<HutWindow> hut_;
  CharacterEditorWindow window_{dialogs_, [this](int n, const std::string& id) { hut_->RegisterCharacter(n, id); }};
  ScriptedEditor launcher_{window_};
};

TEST_F(CharacterCommands, EvolutionKeepsFolderPicturesAndPlaceUnderANewId) {
  const auto picture = platform::ReadFile(Dir(1) + "/image1.bmp");
  launcher_.user = [](CharacterEditorWindow& editor) {
    EXPECT_EQ(Control<QLineEdit>(editor, "nameEdit")->text(), "Home");
    EXPECT_EQ(Control<QComboBox>(editor, "modestyCombo")->currentIndex(), 3);
    EXPECT_EQ(Control<QComboBox>(editor, "sceneCombo")->count(), 2);
    Control<QComboBox>(editor, "modestyCombo")->setCurrentIndex(0);
    editor.Accept();
  };
  Select(0);
  hut_->EditCharacter();
  ASSERT_EQ(launcher_.openings, 1);
  EXPECT_TRUE(dialogs_.calls.empty());

  const auto scene = *ReadSceneFile(Dir(1));
  const std::string id = scene[0];
  EXPECT_NE(id, "<home>");
  EXPECT_NE(id.find(kAddress), std::string::npos);
  EXPECT_EQ(scene[2], "0");
  EXPECT_EQ(Lines(Home() + "visibleDB.dat"), (std::vector<std::string>{id, "<out>"}));
  ASSERT_EQ(hut_->ItemCount(), 2);
  EXPECT_EQ(hut_->Item(0)->data.id, id);
  EXPECT_EQ(hut_->Item(0)->data.folder, Dir(1));
  EXPECT_EQ(hut_->Item(0)->text(), "Home");
  EXPECT_EQ(hut_->CharacterWindows()[hut_->Item(0)->data.index]->Id(), id);
  EXPECT_EQ(platform::ReadFile(Dir(1) + "/image1.bmp"), picture);
  EXPECT_TRUE(platform::FileExists(Dir(1) + "/MofutanData.mfd"));
  EXPECT_FALSE(platform::DirectoryExists(Dir(3)));
}

TEST_F(CharacterCommands, EvolutionThatChangesNothingKeepsTheOldId) {
  launcher_.user = [](CharacterEditorWindow& editor) { editor.Accept(); };
  Select(0);
  hut_->EditCharacter();
  EXPECT_EQ(ReadSceneFile(Dir(1))->at(0), "<home>");
  EXPECT_EQ(hut_->Item(0)->data.id, "<home>");
  EXPECT_FALSE(platform::FileExists(Dir(1) + "/MofutanData.mfd"));
}

TEST_F(CharacterCommands, ChildIsListedUnderItsParentsNameInTheNextFreePair) {
  platform::CreateFolder(Dir(3));  // taken by something else
  launcher_.user = [](CharacterEditorWindow& editor) { editor.Accept(); };
  Select(1);
  hut_->HaveChild();
  ASSERT_EQ(launcher_.openings, 1);
  ASSERT_EQ(hut_->ItemCount(), 3);
  const std::string child = Sj("Outの子供");
  EXPECT_EQ(platform::FromQString(hut_->Item(2)->text()), child);
  EXPECT_EQ(hut_->Item(2)->data.folder, Dir(4));
  const auto scene = *ReadSceneFile(Dir(4));
  EXPECT_EQ(scene[1], child);
  EXPECT_EQ(hut_->Item(2)->data.id, scene[0]);
  EXPECT_EQ(Lines(Home() + "visibleDB.dat").back(), scene[0]);
  EXPECT_TRUE(platform::FileExists(Dir(4) + "r/image2r.bmp"));
  EXPECT_EQ(ReadSceneFile(Dir(2))->at(1), "Out") << "the parent is untouched";
}

TEST_F(CharacterCommands, AbandonedChildLeavesNoFolders) {
  launcher_.user = [](CharacterEditorWindow& editor) { editor.Cancel(); };
  Select(0);
  hut_->HaveChild();
  ASSERT_EQ(launcher_.openings, 1);
  EXPECT_FALSE(platform::DirectoryExists(Dir(3)));
  EXPECT_FALSE(platform::DirectoryExists(Dir(3) + "r"));
  EXPECT_EQ(hut_->ItemCount(), 2);
}

TEST_F(CharacterCommands, EmptyAddressLeavesAnEmptyPairAndTheNextAttemptTakesTheNext) {
  address_.clear();
  hut_->NewCharacter();
  EXPECT_EQ(launcher_.openings, 0);
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(SjisToUtf8(dialogs_.calls[0].text), "設定されているメールアドレスが不正です");
  EXPECT_TRUE(platform::DirectoryExists(Dir(3)));
  EXPECT_TRUE(platform::DirectoryExists(Dir(3) + "r"));

  address_ = kAddress;
  launcher_.user = [this](CharacterEditorWindow& editor) {
    EXPECT_EQ(editor.CharDir(), Dir(4));
    editor.Cancel();
  };
  hut_->NewCharacter();
  EXPECT_EQ(launcher_.openings, 1);
  EXPECT_FALSE(platform::DirectoryExists(Dir(4)));
  EXPECT_TRUE(platform::DirectoryExists(Dir(3)));
}

TEST_F(CharacterCommands, NewCharacterMadeInTheEditorJoinsTheHut) {
  launcher_.user = [this](CharacterEditorWindow& editor) {
    Control<QLineEdit>(editor, "nameEdit")->setText("Pochi");
    platform::WriteFileAtomic(Dir(3) + "/image1.bmp", testing::SquarePicture());
    platform::WriteFileAtomic(Dir(3) + "r/image1r.bmp", testing::SquarePicture());
    PictureHost& host = editor;
    host.SetPictureCount(1);
    dialogs_.texts.push_back(std::string("fly"));
    editor.CreateScene();
    host.AddFrame(1, "2:3:0");
    Control<QComboBox>(editor, "placeCombo")->setCurrentIndex(4);
    editor.Accept();
  };
  hut_->NewCharacter();
  ASSERT_EQ(hut_->ItemCount(), 3);
  EXPECT_EQ(hut_->Item(2)->text(), "Pochi");
  EXPECT_TRUE(dialogs_.calls.size() == 1u && dialogs_.calls[0].kind == "InputBox");
  // It can go out at once.
  Select(2);
  hut_->GoOut();
  EXPECT_TRUE(hut_->Item(2)->data.out);
  EXPECT_TRUE(hut_->CharacterWindows()[hut_->Item(2)->data.index]->isVisible());
}

}  // namespace
}  // namespace mf
