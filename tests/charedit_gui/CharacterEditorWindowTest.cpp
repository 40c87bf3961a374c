#include "charedit/gui/CharacterEditorWindow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/ShiftJis.h"
#include "character/CharacterPackage.h"
#include "character/SceneScript.h"
#include "charedit/gui/PictureImportWindow.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

constexpr const char* kId = "<20261208.2a@example.jp>";

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class EditorWindow : public ::testing::Test {
 protected:
  std::string Home() const { return program_.Path(); }
  std::string Dir() const { return Home() + "char1"; }

  // As the hut's new-character command leaves it: an empty pair, opened new.
  void OpenNew() {
    platform::CreateFolder(Dir());
    platform::CreateFolder(Dir() + "r");
    window_.Open(EditorOpening{Home(), Dir(), Dir() + "r", {kId, "", "2", "0"}, "", kNewModestyChoice, true});
  }
  void OpenExisting(const std::vector<std::string>& scenes) {
    MakeCharacter(Home(), CharacterSetup{.folderName = "char1", .id = kId, .name = "Tama", .modesty = "4",
                                        .scenes = scenes});
    window_.Open(EditorOpening{Home(), Dir(), Dir() + "r", *ReadSceneFile(Dir()), "Tama", 4, false});
  }
  // A picture pair as the creation window saves it, and line 3 raised.
  void DrawPicture(int number) {
    const std::string key = std::to_string(number);
    platform::WriteFileAtomic(Dir() + "/image" + key + ".bmp", testing::SquarePicture());
    platform::WriteFileAtomic(Dir() + "r/image" + key + "r.bmp", testing::SquarePicture());
    PictureHost& host = window_;
    if (number >= host.PictureCount()) host.SetPictureCount(number);
  }
  QPushButton* Button(const char* caption) {
    for (auto* button : window_.findChildren<QPushButton*>()) {
      if (button->text() == Q(caption)) return button;
    }
    return nullptr;
  }
  int Errors() const {
    int count = 0;
    for (const auto& call : dialogs_.calls) count += call.kind == "Error";
    return count;
  }

  platform::TemporaryFolder program_;
  platform::FakeDialogs dialogs_;
  std::vector<std::pair<int, std::string>> registered_;
  CharacterEditorWindow window_{dialogs_, [this](int n, const std::string& id) { registered_.emplace_back(n, id); }};
};

TEST_F(EditorWindow, NewCharacterStartsEmptyWithOnlyTheNameToFillIn) {
  OpenNew();
  EXPECT_EQ(window_.windowTitle(), Q("キャラクターの作成・編集"));
  EXPECT_TRUE(window_.NameEdit()->text().isEmpty());
  EXPECT_EQ(window_.ModestyCombo()->currentText(), "3");
  EXPECT_EQ(window_.SceneCombo()->count(), 0);
  EXPECT_EQ(window_.PlaceCombo()->currentText(), Q("自由"));
  EXPECT_EQ(window_.RepeatEdit()->text(), "0");
  EXPECT_EQ(window_.FrequencyEdit()->text(), "0");
  EXPECT_FALSE(window_.NewSceneButton()->isEnabled());
  EXPECT_FALSE(window_.AddPictureButton()->isEnabled());
  EXPECT_FALSE(window_.RepeatEdit()->isEnabled());

  QTest::keyClicks(window_.NameEdit(), "Pochi");
  EXPECT_TRUE(window_.NewSceneButton()->isEnabled());
  EXPECT_EQ(window_.Editor().ScriptLines()[1], "Pochi");
  window_.ModestyCombo()->setCurrentIndex(0);
  EXPECT_EQ(window_.Editor().ScriptLines()[2], "0") << "modesty 5 stores 0";
}

TEST_F(EditorWindow, CharacterMadeThroughTheControlsIsSavedAndRegistered) {
  OpenNew();
  QTest::keyClicks(window_.NameEdit(), "Pochi");
  DrawPicture(1);
  DrawPicture(2);
  const std::string sofa = Sj("ソファで寝る");
  dialogs_.texts.push_back(sofa);
  window_.CreateScene();
  EXPECT_EQ(window_.SceneCombo()->currentText(), Q("ソファで寝る"));
  EXPECT_EQ(window_.SceneNameLabel()->text(), Q("ソファで寝る"));
  EXPECT_EQ(window_.RepeatEdit()->text(), "5");
  EXPECT_EQ(window_.PlaceCombo()->currentText(), Q("ウィンドウ上部"));
  EXPECT_EQ(window_.FrequencyEdit()->text(), "3");
  EXPECT_TRUE(window_.AddPictureButton()->isEnabled());

  PictureHost& host = window_;
  host.AddFrame(1, "2:4:0");
  host.AddFrame(2, "2:4:0");
  EXPECT_EQ(window_.FrameList()->count(), 2);
  EXPECT_EQ(window_.FrameList()->item(1)->text(), "2:4:0");
  EXPECT_FALSE(window_.FrameList()->item(0)->icon().isNull());
  window_.RepeatEdit()->selectAll();
  QTest::keyClicks(window_.RepeatEdit(), "2");
  window_.PlaceCombo()->setCurrentIndex(4);
  window_.NextCombo()->setCurrentIndex(1);
  EXPECT_EQ(window_.Editor().ScriptLines()[4], sofa + "\\2\\4\\3\\" + sofa + "\\1\\2:4:0\\2\\2:4:0\\");

  QTest::mouseClick(Button("OK"), Qt::LeftButton);
  EXPECT_EQ(Errors(), 0);
  EXPECT_EQ(window_.result(), QDialog::Accepted);
  EXPECT_EQ(registered_, (std::vector<std::pair<int, std::string>>{{1, kId}}));
  EXPECT_TRUE(platform::FileExists(Dir() + "/MofutanData.mfd"));
  EXPECT_EQ(LoadSceneScript(Dir()).scenes.size(), 1u);
  EXPECT_TRUE(platform::DirectoryExists(Dir())) << "closing after OK keeps the character";
}

TEST_F(EditorWindow, EveryOtherClosingRemovesTheNewFolders) {
  OpenNew();
  DrawPicture(1);
  QTest::mouseClick(Button("取り消し"), Qt::LeftButton);
  EXPECT_FALSE(platform::DirectoryExists(Dir()));
  EXPECT_FALSE(platform::DirectoryExists(Dir() + "r"));
  EXPECT_EQ(window_.result(), QDialog::Rejected);

  OpenNew();
  window_.show();
  window_.close();
  EXPECT_FALSE(platform::DirectoryExists(Dir()));
}

TEST_F(EditorWindow, RepeatAndFrequencyTakeOnlyWhatTheyMayHold) {
  OpenExisting(testing::StandingScenes());
  window_.SceneCombo()->setCurrentIndex(1);
  window_.RepeatEdit()->clear();
  EXPECT_EQ(window_.RepeatEdit()->text(), "0") << "an emptied repeat shows 0";
  window_.RepeatEdit()->selectAll();
  QTest::keyClicks(window_.RepeatEdit(), "1x-2");
  EXPECT_EQ(window_.RepeatEdit()->text(), "12");
  window_.FrequencyEdit()->clear();
  QTest::keyClicks(window_.FrequencyEdit(), "5");
  EXPECT_TRUE(window_.FrequencyEdit()->text().isEmpty());
  QTest::keyClicks(window_.FrequencyEdit(), "32");
  EXPECT_EQ(window_.FrequencyEdit()->text(), "3");
  window_.FrequencyEdit()->selectAll();
  QTest::keyClicks(window_.FrequencyEdit(), "4");
  EXPECT_EQ(window_.FrequencyEdit()->text(), "4") << "a digit replaces the selected one";
  QTest::keyClick(window_.FrequencyEdit(), Qt::Key_Backspace);
  QTest::keyClicks(window_.FrequencyEdit(), "3");
  EXPECT_EQ(window_.Editor().ScriptLines()[5], "walk\\12\\0\\3\\\\1\\1:4:0\\2\\1:4:0\\");
}

TEST_F(EditorWindow, ChosenSceneFillsTheFieldsAndFrames) {
  OpenExisting(testing::StandingScenes());
  EXPECT_EQ(window_.ModestyCombo()->currentText(), "1");
  ASSERT_EQ(window_.SceneCombo()->count(), 2);
  EXPECT_EQ(window_.SceneCombo()->currentIndex(), -1);
  window_.SceneCombo()->setCurrentIndex(0);
  EXPECT_EQ(window_.SceneNameLabel()->text(), "stand");
  EXPECT_EQ(window_.RepeatEdit()->text(), "1");
  EXPECT_EQ(window_.PlaceCombo()->currentText(), Q("自由"));
  EXPECT_EQ(window_.FrequencyEdit()->text(), "1");
  EXPECT_EQ(window_.NextCombo()->currentIndex(), 0);
  ASSERT_EQ(window_.FrameList()->count(), 2);
  EXPECT_EQ(window_.FrameList()->item(0)->data(Qt::UserRole).toString(), "1");
  EXPECT_FALSE(window_.DeletePictureButton()->isEnabled());

  // Deleting both frames says nothing and leaves the scene empty.
  for (int i = 0; i < 2; ++i) {
    window_.FrameList()->setCurrentRow(0);
    ASSERT_TRUE(window_.DeletePictureButton()->isEnabled());
    window_.RemoveScenePicture();
  }
  EXPECT_EQ(window_.FrameList()->count(), 0);
  EXPECT_EQ(Errors(), 0);
  EXPECT_EQ(window_.Editor().ScriptLines()[4], "stand\\1\\4\\1\\\\");
}

TEST_F(EditorWindow, DeletedSceneLeavesTheChoicesAndNothingSelected) {
  OpenExisting(testing::StandingScenes());
  window_.SceneCombo()->setCurrentIndex(0);
  dialogs_.yesNo.push_back(true);
  window_.RemoveScene();
  ASSERT_EQ(window_.SceneCombo()->count(), 1);
  EXPECT_EQ(window_.SceneCombo()->currentIndex(), -1);
  EXPECT_EQ(window_.NextCombo()->count(), 2);  // none and "walk"
  EXPECT_FALSE(window_.RepeatEdit()->isEnabled());
  EXPECT_EQ(window_.FrameList()->count(), 0);
}

TEST_F(EditorWindow, AddPictureOffersTheUsablePicturesInTheImportWindow) {
  OpenExisting(testing::StandingScenes());
  PictureImportWindow import(window_, dialogs_, &window_);
  window_.SetImportWindow(&import);
  window_.SceneCombo()->setCurrentIndex(1);  // walk, on a window's top
  std::vector<int> listed;
  QString dy;
  QTimer::singleShot(0, &import, [&] {
    listed = import.ListedPictures();
    dy = import.DyEdit()->text();
    import.reject();
  });
  window_.AddScenePicture();
  EXPECT_EQ(listed, (std::vector<int>{1, 2}));
  EXPECT_EQ(dy, "0");
}

}  // namespace
}  // namespace mf
