#include "roster/StarterIds.h"

#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "base/Integer.h"
#include "base/Text.h"
#include "character/SceneScript.h"
#include "roster/CharacterRegistry.h"
#include "platform/Files.h"

namespace mf {
namespace {

// The mail domain the starter ids were made for; no user has it.
constexpr std::string_view kStarterIdEnd = "@mfmail.starter>";
constexpr std::string_view kFolderPrefix = "char";
constexpr const char* kPackageName = "MofutanData.mfd";

// The scene file with its first line replaced, every other byte kept.
std::string WithFirstLine(const std::string& scene, const std::string& line) {
  const std::size_t end = scene.find_first_of("\r\n");
  return line + (end == std::string::npos ? std::string("\r\n") : scene.substr(end));
}

void RenameInList(const std::string& path, const std::map<std::string, std::string>& renamed) {
  auto content = platform::ReadFile(path);
  if (!content) return;
  std::vector<std::string> lines = SplitLines(*content);
  bool changed = false;
  for (std::string& line : lines) {
    auto found = renamed.find(line);
    if (found == renamed.end()) continue;
    line = found->second;
    changed = true;
  }
  if (changed) platform::WriteFileAtomic(path, JoinLines(lines));
}

}  // namespace

bool IsStarterId(const std::string& id) { return id.size() > kStarterIdEnd.size() && id.ends_with(kStarterIdEnd); }

int GiveStartersOwnIds(const std::string& programFolder, const std::function<std::string()>& makeId) {
  std::map<std::string, std::string> renamed;  // shipped id -> own id
  std::set<std::string> given;
  int count = 0;
  for (const auto& entry : platform::ListFolder(programFolder, "char*")) {
    if (!IsInteger(entry.substr(kFolderPrefix.size()))) continue;
    const std::string folder = programFolder + entry;
    const std::string scenePath = folder + "/scene.txt";
    auto scene = platform::ReadFile(scenePath);
    if (!scene) continue;
    const std::string id = scene->substr(0, scene->find_first_of("\r\n"));
    if (!IsStarterId(id)) continue;
    // Two folders holding the same starter (a copy) become two characters;
    // the lists follow the first.
    // Ids made within one second differ only in their random tail, which
    // repeats now and then: each starter must get one nobody else has.
    std::string own = makeId();
    for (int attempt = 0; given.contains(own) && attempt < 1000; ++attempt) own = makeId();
    if (given.contains(own)) continue;
    if (!platform::WriteFileAtomic(scenePath, WithFirstLine(*scene, own))) continue;
    given.insert(own);
    renamed.emplace(id, own);
    platform::DeleteFileInside(programFolder, folder + "/" + kPackageName);
    ++count;
  }
  for (const char* list : {CharacterRegistry::kVisibleFile, CharacterRegistry::kOutFile,
                           CharacterRegistry::kResurrFile}) {
    RenameInList(programFolder + list, renamed);
  }
  return count;
}

}  // namespace mf
