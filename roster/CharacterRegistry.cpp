#include "roster/CharacterRegistry.h"

#include <algorithm>

#include "base/Text.h"
#include "platform/Files.h"

namespace mf {

CharacterRegistry::CharacterRegistry(std::string programFolder)
    : programFolder_(std::move(programFolder)) {}

void CharacterRegistry::ClearLists() {
  charDB.clear();
  VisibleDB.clear();
  outDB.clear();
}

void CharacterRegistry::LoadLists() {
  Load(kVisibleFile, VisibleDB);
  Load(kOutFile, outDB);
  Load(kResurrFile, resurrDB);
}

void CharacterRegistry::Load(const char* name, std::vector<std::string>& list) const {
  std::string path = FilePath(name);
  if (!platform::FileExists(path)) return;
  auto content = platform::ReadFile(path);
  list = content ? SplitLines(*content) : std::vector<std::string>{};
}

void CharacterRegistry::DropContradictions() {
  std::vector<std::string> away;
  for (std::size_t i = 0; i < resurrDB.size(); i += 2) {
    // A last line without its time stays, as the return check leaves it.
    if (i + 1 < resurrDB.size() && IsVisible(resurrDB[i])) continue;
    away.push_back(resurrDB[i]);
    if (i + 1 < resurrDB.size()) away.push_back(resurrDB[i + 1]);
  }
  if (away.size() != resurrDB.size()) {
    resurrDB = std::move(away);
    SaveResurr();
  }
  const std::size_t out = outDB.size();
  std::erase_if(outDB, [this](const std::string& id) { return !IsVisible(id); });
  if (outDB.size() != out) SaveOut();
}

bool CharacterRegistry::Save(const char* name, const std::vector<std::string>& list) const {
  return platform::WriteFileAtomic(FilePath(name), JoinLines(list));
}

bool CharacterRegistry::SaveVisible() const { return Save(kVisibleFile, VisibleDB); }
bool CharacterRegistry::SaveOut() const { return Save(kOutFile, outDB); }
bool CharacterRegistry::SaveResurr() const { return Save(kResurrFile, resurrDB); }

bool CharacterRegistry::Contains(const std::vector<std::string>& list, const std::string& line) {
  return std::find(list.begin(), list.end(), line) != list.end();
}

bool CharacterRegistry::RemoveFirst(std::vector<std::string>& list, const std::string& line) {
  auto it = std::find(list.begin(), list.end(), line);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

}  // namespace mf
