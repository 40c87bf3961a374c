#pragma once

#include <QDialog>
#include <string>

#include "charedit/CharacterEditor.h"
#include "charedit/PictureHost.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace mf {

namespace platform {
class Dialogs;
}
class UpDown;
class PictureImportWindow;

// "キャラクターの作成・編集": the modal window in which a character gets its
// name, modesty and scenes with their frames. It only mirrors the editor
// core's state in its controls and hands the user's changes to it.
class CharacterEditorWindow final : public QDialog, public PictureHost {
  Q_OBJECT

 public:
  CharacterEditorWindow(platform::Dialogs& dialogs, RegisterCharacterFn registerCharacter, QWidget* parent = nullptr);
  ~CharacterEditorWindow() override;

  // The picture import window that the add-picture command prepares and
  // shows; created after this window.
  void SetImportWindow(PictureImportWindow* window) { importWindow_ = window; }

  // Fills the window for a new, evolving or newborn character; the hut
  // then shows it modally.
  void Open(EditorOpening opening);
  const CharacterEditor& Editor() const { return editor_; }

  // PictureHost: what the picture windows work on.
  std::string CharDir() const override { return editor_.CharDir(); }
  std::string MirrorDir() const override { return editor_.MirrorDir(); }
  int PictureCount() const override { return editor_.PictureCount(); }
  void SetPictureCount(int count) override { editor_.SetPictureCount(count); }
  void AddFrame(int pictureNumber, const std::string& caption) override;
  void RefreshPictureList() override { AddScenePicture(); }

  // Commands, named after the buttons.
  void CreateScene();         // "新規シーンの作成"
  void RemoveScene();         // "シーンを削除"
  void AddScenePicture();     // "画像を追加"
  void RemoveScenePicture();  // "画像を削除"
  void Accept();              // "OK"
  void Cancel();              // "取り消し"
  // A scene chosen in the scene list (-1: none).
  void ChooseScene(int index);

  // Every way of closing ends the editing: a new character's folders go
  // unless OK has kept them.
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  // Shows the core's state in the controls, with `loading_` on.
  void ShowCharacter();
  void ShowScene();
  void ShowFrames();
  void UpdateEnabling();

  CharacterEditor editor_;
  PictureImportWindow* importWindow_ = nullptr;
  bool loading_ = false;

  // Controls; the tests find them by these names without the underscore.
  QLineEdit* nameEdit_;
  QComboBox* modestyCombo_;
  QComboBox* sceneCombo_;
  QLabel* sceneNameLabel_;
  QLineEdit* repeatEdit_;
  UpDown* repeatUpDown_;
  QComboBox* placeCombo_;
  QLineEdit* frequencyEdit_;
  UpDown* frequencyUpDown_;
  QComboBox* nextCombo_;        // item 0 is "none"
  QListWidget* frameList_;
  QMenu* frameMenu_;
  QAction* addPictureAction_;
  QAction* deletePictureAction_;
  QPushButton* newSceneButton_;
  QPushButton* deleteSceneButton_;
  QPushButton* addPictureButton_;
  QPushButton* deletePictureButton_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace mf
