#include "mail/answer/ComposeAttachments.h"

#include "character/CharacterPackage.h"
#include "platform/Files.h"

namespace mf {
namespace {

// Characters travel as a few hundred kilobytes; a larger file is no package.
constexpr std::uint64_t kLargestPackage = std::uint64_t{64} << 20;

bool IsValidPackage(const std::string& path) {
  auto size = platform::FileSize(path);
  if (!size || *size > kLargestPackage) return false;
  auto bytes = platform::ReadFile(path);
  return bytes && CheckPackage(*bytes).has_value();
}

}  // namespace

ComposeAttachments CollectAttachmentsForCompose(const std::vector<std::string>& paths,
                                                const std::string& storeFolder) {
  ComposeAttachments result;
  for (const std::string& path : paths) {
    if (!platform::IsInside(storeFolder, path) || !platform::FileExists(path)) continue;
    if (platform::ExtractFileName(path) != kPackageName) {
      result.files.push_back(path);
    } else if (!result.packagePath && IsValidPackage(path)) {
      result.packagePath = path;
    }
  }
  return result;
}

}  // namespace mf
