#include "roster/FolderPair.h"

#include "platform/Files.h"

namespace mf {
namespace {

// Far more characters than anyone keeps; the search ends there instead of
// running on over a folder that refuses every new name.
constexpr int kMostFolderPairs = 100000;

}  // namespace

std::optional<FolderPair> CreateNextFolderPair(const std::string& programFolder) {
  for (int number = 1; number <= kMostFolderPairs; ++number) {
    FolderPair pair{number, programFolder + "char" + std::to_string(number), ""};
    pair.mirror = pair.main + "r";
    if (platform::DirectoryExists(pair.main) || platform::FileExists(pair.main) ||
        platform::DirectoryExists(pair.mirror) || platform::FileExists(pair.mirror)) {
      continue;
    }
    if (!platform::CreateFolder(pair.main)) return std::nullopt;
    if (!platform::CreateFolder(pair.mirror)) {
      platform::RemoveFolderInside(programFolder, pair.main);
      return std::nullopt;
    }
    return pair;
  }
  return std::nullopt;
}

}  // namespace mf
