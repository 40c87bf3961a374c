#include "roster/CharacterMaking.h"

#include "base/DateTime.h"
#include "base/Identifiers.h"
#include "base/Integer.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "character/SceneLineRules.h"
#include "character/SceneScript.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "roster/FolderPair.h"

namespace mf {
namespace {

std::string SceneFile(const std::string& folder) { return folder + "/scene.txt"; }

// The modesty choice that shows line 2; none when it is no choice.
int ModestyChoiceOf(const std::vector<std::string>& script) {
  auto value = ToInteger(script[kModestyLine]);
  return value && *value >= 0 && *value < kModestyChoices ? *value : -1;
}

// The script of a listed character when it is the one the hut item says:
// its name is the caption, its id the item's, and it has a scene line.
std::optional<std::vector<std::string>> MatchingScript(const std::string& folder, const std::string& name,
                                                       const std::string& id) {
  if (!platform::DirectoryExists(MirrorFolderOf(folder))) return std::nullopt;
  auto script = ReadSceneFile(folder);
  if (!script || script->size() <= static_cast<std::size_t>(kFirstSceneLine)) return std::nullopt;
  if ((*script)[kNameLine] != name || (*script)[kIdLine] != id) return std::nullopt;
  return script;
}

// Copies the parent's picture pairs (only keys that are numbers and have
// their mirror) into the child's folders under the same names.
bool CopyPicturePairs(const std::string& parent, const FolderPair& child) {
  const std::string parentMirror = MirrorFolderOf(parent);
  for (const auto& name : platform::ListFolder(parent, "image*.bmp", platform::ListKind::FilesOnly)) {
    if (name.size() < 9) continue;
    const std::string key = name.substr(5, name.size() - 9);
    const std::string mirrorName = "image" + key + "r.bmp";
    if (!IsInteger(key) || !platform::FileExists(parentMirror + "/" + mirrorName)) continue;
    if (!platform::CopyFile(parent + "/" + name, child.main + "/" + name, true) ||
        !platform::CopyFile(parentMirror + "/" + mirrorName, child.mirror + "/" + mirrorName, true)) {
      return false;
    }
  }
  return true;
}

}  // namespace

CharacterMaking::CharacterMaking(std::string programFolder, const Clock& clock, RandomGenerator& random,
                                 platform::Dialogs& dialogs)
    : programFolder_(std::move(programFolder)), clock_(clock), random_(random), dialogs_(dialogs) {}

bool CharacterMaking::AddressUsable(const std::string& senderAddress) {
  if (FindSjisChar(senderAddress, '@') != std::string::npos) return true;
  dialogs_.Error(Sj("設定されているメールアドレスが不正です"));
  return false;
}

std::string CharacterMaking::NewId(const std::string& senderAddress) {
  random_.SeedFromClock();
  return MakeCharacterId(clock_.Now(), random_, senderAddress);
}

void CharacterMaking::NewCharacter(const std::string& senderAddress, CharacterEditorLauncher& editor) {
  auto pair = CreateNextFolderPair(programFolder_);
  if (!pair) {
    dialogs_.Error(Sj("キャラクターのフォルダーを作成できませんでした"));
    return;
  }
  // The pair stays when the address is wrong: the next attempt takes the
  // next number, and start-up passes over folders without a script.
  if (!AddressUsable(senderAddress)) return;
  editor.EditCharacter(EditorOpening{programFolder_, pair->main, pair->mirror,
                                     {NewId(senderAddress), "", "2", "0"}, "", kNewModestyChoice, true});
}

void CharacterMaking::Evolve(const std::string& caption, const CharacterRecord& character,
                             const std::string& senderAddress, CharacterEditorLauncher& editor) {
  if (!AddressUsable(senderAddress)) return;
  auto script = MatchingScript(character.folder, caption, character.id);
  if (!script) return;
  (*script)[kIdLine] = NewId(senderAddress);
  const int modesty = ModestyChoiceOf(*script);
  editor.EditCharacter(EditorOpening{programFolder_, character.folder, MirrorFolderOf(character.folder),
                                     std::move(*script), caption, modesty, false});
}

void CharacterMaking::GiveBirth(const std::string& parentCaption, const CharacterRecord& parent,
                                const std::string& senderAddress, CharacterEditorLauncher& editor) {
  if (!AddressUsable(senderAddress)) return;
  auto pair = CreateNextFolderPair(programFolder_);
  if (!pair) {
    dialogs_.Error(Sj("キャラクターのフォルダーを作成できませんでした"));
    return;
  }
  const std::string childName = parentCaption + Sj("の子供");
  const std::string id = NewId(senderAddress);

  bool copied = true;
  if (auto script = ReadSceneFile(parent.folder)) {
    if (script->size() <= static_cast<std::size_t>(kNameLine)) script->resize(kNameLine + 1);
    (*script)[kIdLine] = id;
    (*script)[kNameLine] = childName;
    copied = platform::WriteFileAtomic(SceneFile(pair->main), JoinLines(*script));
  }
  copied = copied && CopyPicturePairs(parent.folder, *pair);

  auto script = copied ? MatchingScript(pair->main, childName, id) : std::nullopt;
  if (!script || !CheckScript(*script, pair->main)) {
    // A child that cannot be edited is not made: its folders would
    // otherwise stay behind, unlisted, for good.
    platform::RemoveFolderTreeInside(programFolder_, pair->main);
    platform::RemoveFolderTreeInside(programFolder_, pair->mirror);
    if (!copied) dialogs_.Error(Sj("キャラクターのフォルダーを作成できませんでした"));
    return;
  }
  const int modesty = ModestyChoiceOf(*script);
  editor.EditCharacter(
      EditorOpening{programFolder_, pair->main, pair->mirror, std::move(*script), childName, modesty, true});
}

}  // namespace mf
