#pragma once

#include <functional>
#include <string>
#include <vector>

#include "character/SceneLineRules.h"
#include "roster/EditorOpening.h"

namespace mf {

namespace platform {
class Dialogs;
}

// Lists the character of folder pair `number` under `id` in the hut.
using RegisterCharacterFn = std::function<void(int number, const std::string& id)>;

enum class EditorResult { StayOpen, Close };

// The character editor without its window: the scene script being edited
// and the values its controls show, with the commands that change them.
// The window only mirrors this state and forwards the user's changes.
class CharacterEditor {
 public:
  CharacterEditor(platform::Dialogs& dialogs, RegisterCharacterFn registerCharacter);

  void Open(EditorOpening opening);

  const std::vector<std::string>& ScriptLines() const { return lines_; }
  const std::string& CharDir() const { return charDir_; }
  const std::string& MirrorDir() const { return mirrorDir_; }
  bool IsNew() const { return isNew_; }
  // Script line of the selected scene, -1 when none.
  int SceneLine() const { return sceneLine_; }
  // Line 3; 0 when it is not a number.
  int PictureCount() const;
  void SetPictureCount(int count);

  // The name field and the modesty choice.
  const std::string& Name() const { return name_; }
  int ModestyChoice() const { return modestyChoice_; }
  void SetName(const std::string& name);
  void SetModestyChoice(int choice);

  // The scene choices (and follow-on choices) in script order; the selected
  // one (-1: none) and the fields shown for it.
  const std::vector<std::string>& SceneNames() const { return sceneNames_; }
  int SelectedScene() const { return selected_; }
  const SceneFields& Scene() const { return scene_; }  // place -1 when cleared

  // A scene is chosen: its line is checked and loaded into the fields. A
  // bad line is reported unless `quiet`.
  void SelectScene(int index, bool quiet = false);
  // Field changes of the selected scene; each rewrites its line.
  void SetRepeat(const std::string& text);
  void SetPlace(int place);
  void SetFrequency(const std::string& text);
  void SetNext(const std::string& name);

  // "新規シーンの作成" is offered only while the character has a name.
  bool CanAddScene() const { return !name_.empty(); }
  void NewScene();
  void DeleteScene();
  // Frames of the selected scene; the picture files stay.
  void AddFrame(int pictureNumber, const std::string& caption);
  void DeleteFrame(int index);

  // Saves, packs and registers a new or changed character. A failure on the
  // way leaves the files of the character as they were, says so and keeps
  // the editor open.
  EditorResult Ok();
  // Abandons the editing: a folder pair made for it is removed.
  void Cancel();

  // Input filters; '\b' is backspace.
  static bool AcceptRepeatKey(char key);
  static bool AcceptFrequencyKey(char key, const std::string& current);

 private:
  void RewriteScene();
  void ClearScene();
  bool Changed() const;
  bool Save();

  platform::Dialogs& dialogs_;
  RegisterCharacterFn registerCharacter_;
  std::string programFolder_;
  std::string charDir_;
  std::string mirrorDir_;
  std::vector<std::string> lines_;
  bool isNew_ = false;
  int sceneLine_ = -1;
  std::string name_;
  int modestyChoice_ = kNewModestyChoice;
  std::vector<std::string> sceneNames_;
  int selected_ = -1;
  SceneFields scene_;
};

// The folder number N of a folder "char" + N, or 0 when it has no number.
int FolderNumberOf(const std::string& charDir);

}  // namespace mf
