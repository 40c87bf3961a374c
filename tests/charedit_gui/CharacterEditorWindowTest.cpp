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
#include "charedit/gui/CharacterEditorWindow.h"
#include "charedit/gui/PictureImportWindow.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"

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
  EXPECT_TRUE(Control<QLineEdit>(window_, "nameEdit")->text().isEmpty());
  EXPECT_EQ(Control<QComboBox>(window_, "modestyCombo")->currentText(), "3");
  EXPECT_EQ(Control<QComboBox>(window_, "sceneCombo")->count(), 0);
  EXPECT_EQ(Control<QComboBox>(window_, "placeCombo")->currentText(), Q("自由"));
  EXPECT_EQ(Control<QLineEdit>(window_, "repeatEdit")->text(), "0");
  EXPECT_EQ(Control<QLineEdit>(window_, "frequencyEdit")->text(), "0");
  EXPECT_FALSE(Control<QPushButton>(window_, "newSceneButton")->isEnabled());
  EXPECT_FALSE(Control<QPushButton>(window_, "addPictureButton")->isEnabled());
  EXPECT_FALSE(Control<QLineEdit>(window_, "repeatEdit")->isEnabled());

  QTest::keyClicks(Control<QLineEdit>(window_, "nameEdit"), "Pochi");
  EXPECT_TRUE(Control<QPushButton>(window_, "newSceneButton")->isEnabled());
  EXPECT_EQ(window_.Editor().ScriptLines()[1], "Pochi");
  Control<QComboBox>(window_, "modestyCombo")->setCurrentIndex(0);
  EXPECT_EQ(window_.Editor().ScriptLines()[2], "0") << "modesty 5 stores 0";
}

TEST_F(EditorWindow, CharacterMadeThroughTheControlsIsSavedAndRegistered) {
  OpenNew();
  QTest::keyClicks(Control<QLineEdit>(window_, "nameEdit"), "Pochi");
  DrawPicture(1);
  DrawPicture(2);
  const std::string sofa = Sj("ソファで寝る");
  dialogs_.texts.push_back(sofa);
  window_.CreateScene();
  EXPECT_EQ(Control<QComboBox>(window_, "sceneCombo")->currentText(), Q("ソファで寝る"));
  EXPECT_EQ(Control<QLabel>(window_, "sceneNameLabel")->text(), Q("ソファで寝る"));
  EXPECT_EQ(Control<QLineEdit>(window_, "repeatEdit")->text(), "5");
  EXPECT_EQ(Control<QComboBox>(window_, "placeCombo")->currentText(), Q("ウィンドウ上部"));
  EXPECT_EQ(Control<QLineEdit>(window_, "frequencyEdit")->text(), "3");
  EXPECT_TRUE(Control<QPushButton>(window_, "addPictureButton")->isEnabled());

  PictureHost& host = window_;
  host.AddFrame(1, "2:4:0");
  host.AddFrame(2, "2:4:0");
  EXPECT_EQ(Control<QListWidget>(window_, "frameList")->count(), 2);
  EXPECT_EQ(Control<QListWidget>(window_, "frameList")->item(1)->text(), "2:4:0");
  EXPECT_FALSE(Control<QListWidget>(window_, "frameList")->item(0)->icon().isNull());
  Control<QLineEdit>(window_, "repeatEdit")->selectAll();
  QTest::keyClicks(Control<QLineEdit>(window_, "repeatEdit"), "2");
  Control<QComboBox>(window_, "placeCombo")->setCurrentIndex(4);
  Control<QComboBox>(window_, "nextCombo")->setCurrentIndex(1);
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
  Control<QComboBox>(window_, "sceneCombo")->setCurrentIndex(1);
  Control<QLineEdit>(window_, "repeatEdit")->clear();
  EXPECT_EQ(Control<QLineEdit>(window_, "repeatEdit")->text(), "0") << "an emptied repeat shows 0";
  Control<QLineEdit>(window_, "repeatEdit")->selectAll();
  QTest::keyClicks(Control<QLineEdit>(window_, "repeatEdit"), "1x-2");
  EXPECT_EQ(Control<QLineEdit>(window_, "repeatEdit")->text(), "12");
  Control<QLineEdit>(window_, "frequencyEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(window_, "frequencyEdit"), "5");
  EXPECT_TRUE(Control<QLineEdit>(window_, "frequencyEdit")->text().isEmpty());
  QTest::keyClicks(Control<QLineEdit>(window_, "frequencyEdit"), "32");
  EXPECT_EQ(Control<QLineEdit>(window_, "frequencyEdit")->text(), "3");
  Control<QLineEdit>(window_, "frequencyEdit")->selectAll();
  QTest::keyClicks(Control<QLineEdit>(window_, "frequencyEdit"), "4");
  EXPECT_EQ(Control<QLineEdit>(window_, "frequencyEdit")->text(), "4") << "a digit replaces the selected one";
  QTest::keyClick(Control<QLineEdit>(window_, "frequencyEdit"), Qt::Key_Backspace);
  QTest::keyClicks(Control<QLineEdit>(window_, "frequencyEdit"), "3");
  EXPECT_EQ(window_.Editor().ScriptLines()[5], "walk\\12\\0\\3\\\\1\\1:4:0\\2\\1:4:0\\");
}

TEST_F(EditorWindow, ChosenSceneFillsTheFieldsAndFrames) {
  OpenExisting(testing::StandingScenes());
  EXPECT_EQ(Control<QComboBox>(window_, "modestyCombo")->currentText(), "1");
  ASSERT_EQ(Control<QComboBox>(window_, "sceneCombo")->count(), 2);
  EXPECT_EQ(Control<QComboBox>(window_, "sceneCombo")->currentIndex(), -1);
  Control<QComboBox>(window_, "sceneCombo")->setCurrentIndex(0);
  EXPECT_EQ(Control<QLabel>(window_, "sceneNameLabel")->text(), "stand");
  EXPECT_EQ(Control<QLineEdit>(window_, "repeatEdit")->text(), "1");
  EXPECT_EQ(Control<QComboBox>(window_, "placeCombo")->currentText(), Q("自由"));
  EXPECT_EQ(Control<QLineEdit>(window_, "frequencyEdit")->text(), "1");
  EXPECT_EQ(Control<QComboBox>(window_, "nextCombo")->currentIndex(), 0);
  ASSERT_EQ(Control<QListWidget>(window_, "frameList")->count(), 2);
  EXPECT_EQ(Control<QListWidget>(window_, "frameList")->item(0)->data(Qt::UserRole).toString(), "1");
  EXPECT_FALSE(Control<QPushButton>(window_, "deletePictureButton")->isEnabled());

  // Deleting both frames says nothing and leaves the scene empty.
  for (int i = 0; i < 2; ++i) {
    Control<QListWidget>(window_, "frameList")->setCurrentRow(0);
    ASSERT_TRUE(Control<QPushButton>(window_, "deletePictureButton")->isEnabled());
    window_.RemoveScenePicture();
  }
  EXPECT_EQ(Control<QListWidget>(window_, "frameList")->count(), 0);
  EXPECT_EQ(Errors(), 0);
  EXPECT_EQ(window_.Editor().ScriptLines()[4], "stand\\1\\4\\1\\\\");
}

TEST_F(EditorWindow, DeletedSceneLeavesTheChoicesAndNothingSelected) {
  OpenExisting(testing::StandingScenes());
  Control<QComboBox>(window_, "sceneCombo")->setCurrentIndex(0);
  dialogs_.yesNo.push_back(true);
  window_.RemoveScene();
  ASSERT_EQ(Control<QComboBox>(window_, "sceneCombo")->count(), 1);
  EXPECT_EQ(Control<QComboBox>(window_, "sceneCombo")->currentIndex(), -1);
  EXPECT_EQ(Control<QComboBox>(window_, "nextCombo")->count(), 2);  // none and "walk"
  EXPECT_FALSE(Control<QLineEdit>(window_, "repeatEdit")->isEnabled());
  EXPECT_EQ(Control<QListWidget>(window_, "frameList")->count(), 0);
}

TEST_F(EditorWindow, AddPictureOffersTheUsablePicturesInTheImportWindow) {
  OpenExisting(testing::StandingScenes());
  PictureImportWindow import(window_, dialogs_, &window_);
  window_.SetImportWindow(&import);
  Control<QComboBox>(window_, "sceneCombo")->setCurrentIndex(1);  // walk, on a window's top
  std::vector<int> listed;
  QString dy;
  QTimer::singleShot(0, &import, [&] {
    listed = import.ListedPictures();
    dy = Control<QLineEdit>(import, "dyEdit")->text();
    import.reject();
  });
  window_.AddScenePicture();
  EXPECT_EQ(listed, (std::vector<int>{1, 2}));
  EXPECT_EQ(dy, "0");
}

}  // namespace
}  // namespace mf
