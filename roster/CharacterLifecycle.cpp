#include "roster/CharacterLifecycle.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "base/DateTime.h"
#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "character/SceneScript.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "roster/CharacterScan.h"

namespace mf {
namespace {

// charDB holds number/id pairs; ids are only looked for in the id lines so
// that an id can never be mistaken for a folder number.
std::size_t FindIdLine(const std::vector<std::string>& charDB, const std::string& id) {
  for (std::size_t i = 1; i < charDB.size(); i += 2) {
    if (charDB[i] == id) return i;
  }
  return charDB.size();
}

std::size_t FindNumberLine(const std::vector<std::string>& charDB, const std::string& number) {
  for (std::size_t i = 0; i + 1 < charDB.size(); i += 2) {
    if (charDB[i] == number) return i;
  }
  return charDB.size();
}

void RemoveEvery(std::vector<std::string>& list, const std::string& line) {
  std::erase(list, line);
}

// resurrDB holds id/time pairs; a last line without its time stays.
void RemoveEveryPair(std::vector<std::string>& pairs, const std::string& id) {
  std::size_t i = 0;
  while (i + 1 < pairs.size()) {
    if (pairs[i] == id) {
      pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(i), pairs.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    } else {
      i += 2;
    }
  }
}

bool ReplaceFirst(std::vector<std::string>& list, const std::string& from, const std::string& to) {
  for (auto& line : list) {
    if (line == from) {
      line = to;
      return true;
    }
  }
  return false;
}

}  // namespace

CharacterLifecycle::CharacterLifecycle(CharacterRegistry& registry, HutView& view, const Clock& clock,
                                       platform::Dialogs& dialogs)
    : registry_(registry), view_(view), clock_(clock), dialogs_(dialogs) {}

std::string CharacterLifecycle::FolderOf(const std::string& number) const {
  return registry_.ProgramFolder() + "char" + number;
}

int CharacterLifecycle::RowOfId(const std::string& id) {
  for (int row = 0; row < view_.ItemCount(); ++row) {
    if (view_.ItemData(row).id == id) return row;
  }
  return -1;
}

void CharacterLifecycle::GoOut() {
  int row = view_.SelectedRow();
  if (row < 0) return;
  CharacterRecord& data = view_.ItemData(row);
  if (!view_.HasWindow(data.index)) return;
  if (!view_.LoadScenes(data.index)) {
    // Otherwise the command would seem to do nothing at all.
    dialogs_.Information(CannotGoOutText());
    return;
  }
  view_.ShowOnDesktop(data.index);
  // A character that came back from a mail trip while out is still in
  // outDB; a second line would outlive its next trip home.
  if (!registry_.IsOut(data.id)) registry_.outDB.push_back(data.id);
  registry_.SaveOut();
  data.out = true;
}

void CharacterLifecycle::ReturnHome(int index) {
  for (int row = 0; row < view_.ItemCount(); ++row) {
    CharacterRecord& data = view_.ItemData(row);
    if (data.index != index || !view_.HasWindow(index)) continue;
    view_.HideFromDesktop(index);
    CharacterRegistry::RemoveFirst(registry_.outDB, data.id);
    data.out = false;
  }
  registry_.SaveOut();
}

void CharacterLifecycle::LeaveForGood() {
  int row = view_.SelectedRow();
  if (row < 0) return;
  if (!dialogs_.Question(Sj("旅に出ると二度と戻ってきません。よろしいですか。"), platform::DefaultButton::No, {})) {
    return;
  }
  // Copied: the record goes with the item.
  const CharacterRecord data = view_.ItemData(row);

  // A journey is for good: no list may bring the character back, neither
  // outDB at the next start nor resurrDB at a return check (a character
  // that left with a mail may be back in the hut by another mail, and its
  // folders may outlive the journey).
  RemoveEvery(registry_.VisibleDB, data.id);
  registry_.SaveVisible();
  RemoveEvery(registry_.outDB, data.id);
  registry_.SaveOut();
  RemoveEveryPair(registry_.resurrDB, data.id);
  registry_.SaveResurr();

  // The last character keeps its folders: the hut would otherwise have
  // nothing left to start from.
  if (view_.ItemCount() > 1) {
    std::size_t idLine = FindIdLine(registry_.charDB, data.id);
    if (idLine < registry_.charDB.size()) {
      registry_.charDB.erase(registry_.charDB.begin() + static_cast<std::ptrdiff_t>(idLine) - 1,
                             registry_.charDB.begin() + static_cast<std::ptrdiff_t>(idLine) + 1);
    }
    RemoveFolders(data.folder);
  }

  if (view_.HasWindow(data.index)) view_.DestroyCharacterWindow(data.index);
  view_.DeleteItem(row, IconFate::Remove);
  view_.ArrangeIcons();
}

void CharacterLifecycle::RemoveFolders(const std::string& folder) {
  // Whatever cannot be deleted (a file held open, no permission) stays
  // behind with its folder; the journey goes ahead without a word, and the
  // folder is no longer listed because its id left VisibleDB.
  const std::string& root = registry_.ProgramFolder();
  platform::RemoveFolderTreeInside(root, folder);
  platform::RemoveFolderTreeInside(root, MirrorFolderOf(folder));
}

std::optional<DateTime> CharacterLifecycle::DepartWithMail(const std::string& id) {
  if (view_.ItemCount() <= 1) return std::nullopt;
  int row = RowOfId(id);
  if (row < 0) return std::nullopt;
  const int slot = view_.ItemData(row).index;

  CharacterRegistry::RemoveFirst(registry_.VisibleDB, id);
  registry_.SaveVisible();
  // It is away now, not out: a restart must not put it on the desktop.
  if (registry_.IsOut(id)) {
    RemoveEvery(registry_.outDB, id);
    registry_.SaveOut();
  }
  if (view_.HasWindow(slot)) view_.DestroyCharacterWindow(slot);
  view_.ForgetComposingCharacter();
  view_.DeleteItem(row, IconFate::Keep);
  view_.ArrangeIcons();

  const double back = ToDayCount(clock_.Now()) + kAwayDays;
  // Away once: an earlier trip it was called back from no longer counts.
  RemoveEveryPair(registry_.resurrDB, id);
  registry_.resurrDB.push_back(id);
  registry_.resurrDB.push_back(FormatDayCount(back));
  registry_.SaveResurr();
  return FromDayCount(back);
}

void CharacterLifecycle::ReturnDueCharacters() {
  if (view_.MailTransferBusy()) return;
  const double now = ToDayCount(clock_.Now());
  auto& resurrDB = registry_.resurrDB;
  // The walk only takes the returning characters off the list; they are
  // listed afterwards, as listing one also clears its other lines.
  std::vector<std::pair<std::string, std::string>> returning;  // number, id
  std::size_t i = 0;
  while (i + 1 < resurrDB.size()) {
    auto time = ParseDayCount(resurrDB[i + 1]);
    if (!time) break;
    if (*time < now) {
      const std::string id = resurrDB[i];
      std::string number;
      for (std::size_t k = 0; k + 1 < registry_.charDB.size(); k += 2) {
        if (registry_.charDB[k + 1] == id && IsInteger(registry_.charDB[k])) {
          number = registry_.charDB[k];
          break;
        }
      }
      if (!number.empty()) {
        returning.emplace_back(number, id);
        resurrDB.erase(resurrDB.begin() + static_cast<std::ptrdiff_t>(i),
                       resurrDB.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        continue;
      }
    }
    i += 2;
  }
  for (const auto& [number, id] : returning) ShowAgain(number, id);
  registry_.SaveResurr();
}

bool CharacterLifecycle::ShowAgain(const std::string& number, const std::string& id) {
  if (registry_.IsVisible(id)) {
    ForgetTrip(id);
    return true;
  }
  // A character comes back whole and as itself, or not at all: its folder
  // pair may have gone, or its number may hold another character by now.
  const std::string folder = FolderOf(number);
  if (!platform::DirectoryExists(MirrorFolderOf(folder))) return false;
  auto lines = ReadSceneFile(folder);
  if (!lines || lines->empty() || (*lines)[kIdLine] != id) return false;
  if (!ListCharacter(folder, id, /*appendVisible=*/true)) return false;
  // Back in the hut, whether its day away is over or a mail brought it
  // early: no list may still say it is away, or out on the desktop (it may
  // have left from there).
  ForgetTrip(id);
  if (registry_.IsOut(id)) {
    RemoveEvery(registry_.outDB, id);
    registry_.SaveOut();
  }
  return true;
}

void CharacterLifecycle::ForgetTrip(const std::string& id) {
  const std::size_t before = registry_.resurrDB.size();
  RemoveEveryPair(registry_.resurrDB, id);
  if (registry_.resurrDB.size() != before) registry_.SaveResurr();
}

bool CharacterLifecycle::ListCharacter(const std::string& folder, const std::string& id, bool appendVisible) {
  auto lines = ReadSceneFile(folder);
  if (!lines) return false;
  std::string name = lines->size() >= 2 ? (*lines)[kNameLine] : std::string();
  int count = kUnknownPictureCount;
  if (lines->size() >= 4 && IsInteger((*lines)[kPictureCountLine])) {
    count = ToIntegerOr((*lines)[kPictureCountLine], kUnknownPictureCount);
  }
  if (name.empty()) return false;
  std::string icon = FirstPicture(folder, count);
  if (icon.empty()) return false;

  const int slot = view_.FreeSlot();
  view_.AddItem(name, CharacterRecord{folder, id, false, slot}, icon);
  view_.CreateCharacterWindow(slot, id, folder);
  if (appendVisible) {
    registry_.VisibleDB.push_back(id);
    registry_.SaveVisible();
  }
  return true;
}

void CharacterLifecycle::RegisterCharacter(int number, const std::string& id) {
  if (number < 1) return;
  const std::string numberText = std::to_string(number);
  auto& charDB = registry_.charDB;
  std::size_t numberLine = FindNumberLine(charDB, numberText);

  if (numberLine == charDB.size()) {
    charDB.push_back(numberText);
    charDB.push_back(id);
    registry_.VisibleDB.push_back(id);
    registry_.SaveVisible();
    ListCharacter(FolderOf(numberText), id, /*appendVisible=*/false);
    return;
  }

  // The folder got a new id (evolution): every list follows it.
  const std::string oldId = charDB[numberLine + 1];
  charDB[numberLine + 1] = id;
  ReplaceFirst(registry_.VisibleDB, oldId, id);
  registry_.SaveVisible();
  // Saved at once: a restart before the next save would not know the id.
  if (ReplaceFirst(registry_.outDB, oldId, id)) registry_.SaveOut();

  // The item is found by its old id rather than taken from the selection:
  // the selection may have moved, or be gone, while the editor was open.
  int row = RowOfId(oldId);
  if (row < 0) return;
  CharacterRecord& data = view_.ItemData(row);
  auto lines = ReadSceneFile(FolderOf(numberText));
  if (lines && lines->size() > static_cast<std::size_t>(kNameLine)) view_.SetItemCaption(row, (*lines)[kNameLine]);
  data.id = id;
  if (view_.HasWindow(data.index)) view_.SetWindowId(data.index, id);
}

}  // namespace mf
