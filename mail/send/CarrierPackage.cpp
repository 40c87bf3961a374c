#include "mail/send/CarrierPackage.h"

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "platform/Files.h"

namespace mf {

namespace {

// A package this large is no character; reading it whole would only hurt.
constexpr std::uint64_t kLargestPackage = 64ull * 1024 * 1024;

bool PackageIsSound(const std::string& path) {
  auto bytes = platform::ReadFileBytes(path, kLargestPackage);
  return bytes && CheckPackage(bytes->View()).has_value();
}

}  // namespace

std::string PackagePathOf(const std::string& characterFolder) {
  std::string folder = characterFolder;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + "/" + std::string(kPackageName);
}

std::optional<std::string> PrepareCarrierPackage(const std::string& characterFolder) {
  const std::string path = PackagePathOf(characterFolder);
  if (!platform::FileExists(path) && !PackCharacter(characterFolder, path)) return std::nullopt;
  if (PackageIsSound(path)) return path;
  // A package left over from an older picture set or cut short: make it anew.
  if (PackCharacter(characterFolder, path) && PackageIsSound(path)) return path;
  return std::nullopt;
}

std::optional<std::string> CharacterIdOf(const std::string& characterFolder) {
  std::string folder = characterFolder;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  auto scene = platform::ReadFile(folder + "/scene.txt");
  if (!scene) return std::nullopt;
  const auto lines = SplitLines(*scene);
  if (lines.empty() || Trim(lines[0]).empty()) return std::nullopt;
  return lines[0];
}

const std::string& BrokenPackageText() {
  static const std::string text = Sj("正常に処理できません。データが破損している可能性があります。");
  return text;
}

}  // namespace mf
