#include "roster/CharacterScan.h"

#include <string_view>

#include "base/Integer.h"
#include "base/Text.h"
#include "character/NumberedPictures.h"
#include "character/SceneScript.h"
#include "platform/Files.h"

namespace mf {

constexpr std::string_view kFolderPrefix = "char";

std::string FirstPicture(const std::string& folder, int count) {
  auto pictures = NumberedPictures(folder, count);
  return pictures.empty() ? std::string{} : pictures.front();
}

std::vector<ScannedCharacter> ScanCharacterFolders(CharacterRegistry& registry) {
  std::vector<ScannedCharacter> listed;
  const std::string& programFolder = registry.ProgramFolder();
  for (const auto& entry : platform::ListFolder(programFolder, "char*")) {
    std::string number = entry.substr(kFolderPrefix.size());
    // Also skips the companion folders, whose names end in "r".
    if (!IsInteger(number)) continue;
    std::string folder = programFolder + entry;
    if (!platform::FileExists(folder + "/scene.txt")) continue;
    if (!platform::DirectoryExists(MirrorFolderOf(folder))) continue;

    auto lines = ReadSceneFile(folder);
    if (!lines) continue;
    std::string id;
    std::string name;
    int count = 0;
    if (lines->size() >= 4) {
      id = (*lines)[kIdLine];
      name = (*lines)[kNameLine];
      count = ToIntegerOr((*lines)[kPictureCountLine], kUnknownPictureCount);
    }
    registry.charDB.push_back(number);
    registry.charDB.push_back(id);

    if (!registry.IsVisible(id) || count < 1) continue;
    std::string icon = FirstPicture(folder, count);
    if (icon.empty()) continue;
    listed.push_back(ScannedCharacter{number, folder, id, name, icon, registry.IsOut(id)});
  }
  return listed;
}

}  // namespace mf
