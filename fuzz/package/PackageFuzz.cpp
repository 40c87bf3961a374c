#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "character/CharacterPackage.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;

// Nothing may appear beside the target folder, and inside it only the
// names the program itself uses.
void CheckOnlyTargetWritten(const fs::path& home, const fs::path& target) {
  for (const auto& entry : fs::directory_iterator(home)) {
    if (entry.path() != target) std::abort();
  }
  if (!fs::exists(target)) return;
  for (const auto& entry : fs::directory_iterator(target)) {
    std::string name = entry.path().filename().string();
    if (name != "scene.txt" && !mf::PictureKeyOf(name)) std::abort();
    if (!entry.is_regular_file()) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static mf::platform::TemporaryFolder home;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string package;
  // Random bytes rarely carry their own length and the name; the first byte
  // chooses whether the input is taken raw or as the content of a sound frame.
  if (!input.empty() && input[0] == 'W') {
    std::string content = std::string(input.substr(1)) + '\0';
    std::uint64_t total = 4 + mf::kPackageName.size() + content.size();
    for (int i = 3; i >= 0; --i) package.push_back(static_cast<char>(total >> (8 * i) & 0xFF));
    package += mf::kPackageName;
    package += content;
  } else {
    package = input;
  }
  auto content = mf::CheckPackage(package);
  if (content && content->size() + 4 + mf::kPackageName.size() != package.size()) std::abort();

  std::string target = home.Path() + "char1/";
  bool unpacked = mf::UnpackCharacterBytes(package, target);
  fs::path homePath(mf::platform::NativePath(home.Path()));
  fs::path targetPath = homePath / "char1";
  if (unpacked && !content) std::abort();
  if (!unpacked && fs::exists(targetPath)) std::abort();  // a failure leaves no folder behind
  CheckOnlyTargetWritten(homePath, targetPath);
  std::error_code error;
  fs::remove_all(targetPath, error);
  return 0;
}
