#include "charedit/CharacterEditor.h"

#include <algorithm>
#include <optional>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "character/SceneScript.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

namespace mf {
namespace {

constexpr int kFreePlace = static_cast<int>(Place::Free);
// What a new scene's controls show; its stored line keeps "1", "0", "0"
// until a field changes.
constexpr const char* kNewSceneRepeat = "5";
constexpr int kNewScenePlace = static_cast<int>(Place::OnWindowTop);
constexpr const char* kNewSceneFrequency = "3";
constexpr const char* kNewSceneLineTail = "\\1\\0\\0\\\\";
constexpr const char* kFolderPrefix = "char";

std::string SceneFile(const std::string& charDir) { return charDir + "/scene.txt"; }
std::string PackageFile(const std::string& charDir) { return charDir + "/" + std::string(kPackageName); }

// The fields a bad line still shows: whatever of its first five fields
// can be read, and no frames.
SceneFields LooseFields(const std::string& line, const std::string& name) {
  SceneFields fields{name, "0", kNewScenePlace, "0", "", {}};
  std::vector<std::string> parts;
  std::string_view rest = line;
  for (int i = 0; i < 5; ++i) {
    auto at = FindSceneSeparator(rest);
    if (at == std::string_view::npos) break;
    parts.emplace_back(rest.substr(0, at));
    rest.remove_prefix(at + 1);
  }
  if (parts.size() > 1) fields.repeat = parts[1];
  if (parts.size() > 2) {
    auto place = ToInteger(parts[2]);
    if (place && *place >= 0 && *place < kPlaceCount) fields.place = *place;
  }
  if (parts.size() > 3) fields.frequency = parts[3];
  if (parts.size() > 4) fields.next = parts[4];
  return fields;
}

}  // namespace

int FolderNumberOf(const std::string& charDir) {
  std::string name = platform::ExtractFileName(charDir);
  if (!StartsWith(name, kFolderPrefix)) return 0;
  auto number = ToInteger(std::string_view(name).substr(std::string_view(kFolderPrefix).size()));
  return number ? *number : 0;
}

CharacterEditor::CharacterEditor(platform::Dialogs& dialogs, RegisterCharacterFn registerCharacter)
    : dialogs_(dialogs), registerCharacter_(std::move(registerCharacter)) {}

void CharacterEditor::Open(EditorOpening opening) {
  programFolder_ = std::move(opening.programFolder);
  charDir_ = std::move(opening.charDir);
  mirrorDir_ = std::move(opening.mirrorDir);
  lines_ = std::move(opening.script);
  // The header lines are written to by the name, modesty and picture
  // commands, so they always exist.
  if (lines_.size() < static_cast<std::size_t>(kFirstSceneLine)) lines_.resize(kFirstSceneLine);
  isNew_ = opening.isNew;
  name_ = std::move(opening.name);
  modestyChoice_ = opening.modestyChoice;
  sceneNames_ = SceneNamesOf(lines_);
  ClearScene();
  scene_.place = kFreePlace;
}

int CharacterEditor::PictureCount() const { return ToIntegerOr(lines_[kPictureCountLine], 0); }

void CharacterEditor::SetPictureCount(int count) { lines_[kPictureCountLine] = std::to_string(count); }

void CharacterEditor::SetName(const std::string& name) {
  name_ = name;
  lines_[kNameLine] = name;
}

void CharacterEditor::SetModestyChoice(int choice) {
  if (choice < 0 || choice >= kModestyChoices) return;
  modestyChoice_ = choice;
  lines_[kModestyLine] = std::to_string(choice);
}

void CharacterEditor::ClearScene() {
  selected_ = -1;
  sceneLine_ = -1;
  scene_ = SceneFields{"", "0", -1, "0", "", {}};
}

void CharacterEditor::SelectScene(int index, bool quiet) {
  if (index < 0 || index >= static_cast<int>(sceneNames_.size())) {
    ClearScene();
    return;
  }
  selected_ = index;
  sceneLine_ = index + kFirstSceneLine;
  const std::string& name = sceneNames_[index];
  if (auto fields = CheckSceneLine(lines_[sceneLine_], charDir_, &sceneNames_)) {
    scene_ = std::move(*fields);
    return;
  }
  scene_ = LooseFields(lines_[sceneLine_], name);
  if (!quiet) dialogs_.Error(Sj("シーン") + name + Sj("のデータに誤りがあります"));
}

void CharacterEditor::RewriteScene() {
  if (sceneLine_ < 0 || sceneLine_ >= static_cast<int>(lines_.size())) return;
  if (scene_.repeat.empty()) scene_.repeat = "0";
  if (scene_.frequency.empty()) return;
  lines_[sceneLine_] = WriteSceneLine(scene_);
}

void CharacterEditor::SetRepeat(const std::string& text) {
  scene_.repeat = text;
  RewriteScene();
}

void CharacterEditor::SetPlace(int place) {
  scene_.place = place;
  RewriteScene();
}

void CharacterEditor::SetFrequency(const std::string& text) {
  scene_.frequency = text;
  RewriteScene();
}

void CharacterEditor::SetNext(const std::string& name) {
  scene_.next = name;
  RewriteScene();
}

void CharacterEditor::NewScene() {
  if (!CanAddScene()) return;
  auto answer = dialogs_.InputBox(Sj("新規シーン名入力"), Sj("シーンの名称を入れて下さい"), "");
  if (!answer || Trim(*answer).empty()) return;
  const std::string& name = *answer;
  if (std::find(sceneNames_.begin(), sceneNames_.end(), name) != sceneNames_.end()) {
    dialogs_.Error(Sj("既存のシーンに同名のものが存在します"));
    return;
  }
  // By character: "ソ" and "表" end in the separator's byte and are fine.
  if (FindSceneSeparator(name) != std::string::npos) {
    dialogs_.Error(Sj("シーン名に\\を含むことはできません"));
    return;
  }
  lines_.push_back(name + kNewSceneLineTail);
  sceneNames_.push_back(name);
  selected_ = static_cast<int>(sceneNames_.size()) - 1;
  sceneLine_ = static_cast<int>(lines_.size()) - 1;
  scene_ = SceneFields{name, kNewSceneRepeat, kNewScenePlace, kNewSceneFrequency, "", {}};
}

void CharacterEditor::DeleteScene() {
  if (selected_ < 0) return;
  if (!dialogs_.Question(Sj("シーン") + scene_.name + Sj("を削除してよろしいですか"),
                         platform::DefaultButton::Yes, {})) {
    return;
  }
  lines_.erase(lines_.begin() + sceneLine_);
  sceneNames_.erase(sceneNames_.begin() + selected_);
  // Nothing stays selected: the fields would otherwise still point at the
  // deleted line and rewrite the scene that moved up into its place.
  ClearScene();
}

void CharacterEditor::AddFrame(int pictureNumber, const std::string& caption) {
  if (selected_ < 0) return;
  scene_.frames.push_back(EditorFrame{std::to_string(pictureNumber), caption});
  RewriteScene();
}

void CharacterEditor::DeleteFrame(int index) {
  if (selected_ < 0 || index < 0 || index >= static_cast<int>(scene_.frames.size())) return;
  scene_.frames.erase(scene_.frames.begin() + index);
  RewriteScene();
  // A scene left without frames is bad, but the user did that on purpose.
  SelectScene(selected_, scene_.frames.empty());
}

EditorResult CharacterEditor::Ok() {
  if (name_.empty()) {
    dialogs_.Error(Sj("キャラクター名がありません"));
    return EditorResult::StayOpen;
  }
  if (lines_[kPictureCountLine] == "0") {
    dialogs_.Error(Sj("画像がありません"));
    return EditorResult::StayOpen;
  }
  if (!CheckScript(lines_, charDir_)) {
    dialogs_.Error(Sj("データが不正です"));
    return EditorResult::StayOpen;
  }
  const bool saving = isNew_ || Changed();
  if (saving && !Save()) {
    dialogs_.Error(Sj("キャラクターを保存できませんでした。ディスクの空きと画像ファイルを確かめて下さい。"));
    return EditorResult::StayOpen;
  }
  isNew_ = false;
  // Saved all the same: the user may add that scene later. Told now, "外に
  // 出る" would otherwise be the first to say it.
  if (saving && !CanGoOut(LoadSceneScript(charDir_))) {
    dialogs_.Information(CannotGoOutText() + Sj("。場所が「自由」で出現頻度が1以上のシーンを作ると外に出られます。"));
  }
  return EditorResult::Close;
}

bool CharacterEditor::Changed() const {
  auto onDisk = ReadSceneFile(charDir_);
  if (!onDisk || onDisk->size() != lines_.size()) return true;
  // Line 0 does not count: an evolution that changed nothing else keeps
  // its old identity.
  return !std::equal(onDisk->begin() + 1, onDisk->end(), lines_.begin() + 1);
}

bool CharacterEditor::Save() {
  const std::string scenePath = SceneFile(charDir_);
  std::optional<std::string> previous;
  if (platform::FileExists(scenePath)) {
    previous = platform::ReadFile(scenePath);
    if (!previous) return false;
  }
  if (!platform::WriteFileAtomic(scenePath, JoinLines(lines_))) return false;
  // The package is replaced whole or not at all; a script that cannot be
  // packed must not stay either, or the character would no longer travel.
  if (!PackCharacter(charDir_, PackageFile(charDir_))) {
    if (previous) {
      platform::WriteFileAtomic(scenePath, *previous);
    } else {
      platform::DeleteFileInside(programFolder_, scenePath);
    }
    return false;
  }
  const int number = FolderNumberOf(charDir_);
  if (number >= 1 && registerCharacter_) registerCharacter_(number, lines_[kIdLine]);
  return true;
}

void CharacterEditor::Cancel() {
  if (isNew_) {
    platform::RemoveFolderTreeInside(programFolder_, charDir_);
    platform::RemoveFolderTreeInside(programFolder_, mirrorDir_);
  }
  isNew_ = false;
}

bool CharacterEditor::AcceptRepeatKey(char key) { return (key >= '0' && key <= '9') || key == '\b'; }

bool CharacterEditor::AcceptFrequencyKey(char key, const std::string& current) {
  if (key == '\b') return true;
  return key >= '0' && key <= '4' && current.empty();
}

}  // namespace mf
