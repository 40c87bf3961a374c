#include "character/CharacterPackage.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/Integer.h"
#include "base/Text.h"
#include "character/BitmapFile.h"
#include "character/PictureRuns.h"
#include "platform/Files.h"

namespace mf {
namespace {

constexpr std::string_view kPicturePrefix = "image";
constexpr std::string_view kPictureSuffix = ".bmp";
constexpr std::string_view kSceneFile = "scene.txt";
constexpr std::size_t kLengthSize = 4;
// Length, name, scene length, W, H and the end mark leave at least this.
constexpr std::size_t kLeastPackage = kPackageName.size() + 7;

std::string WithSeparator(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder;
  return folder + "/";
}

void PutBigEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t ReadBigEndian(std::string_view bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

struct PictureRecord {
  std::string fileName;  // written form, "image" + key + ".bmp"
  std::string_view runs;
};

struct ParsedPackage {
  std::string_view scene;
  int width = 0;
  int height = 0;
  std::vector<PictureRecord> pictures;
};

// Reads every record before anything touches the disk, so a package that is
// bad anywhere is refused whole.
std::optional<ParsedPackage> Parse(std::string_view package) {
  auto checked = CheckPackage(package);
  if (!checked) return std::nullopt;
  std::string_view content = *checked;
  ParsedPackage parsed;
  std::size_t sceneSize = ReadBigEndian(content, 0, 2);
  // Also refuses a package without a single picture record.
  if (content.size() <= sceneSize + 5) return std::nullopt;
  parsed.scene = content.substr(2, sceneSize);
  std::size_t at = 2 + sceneSize;
  parsed.width = static_cast<std::uint8_t>(content[at]);
  parsed.height = static_cast<std::uint8_t>(content[at + 1]);
  if (parsed.width == 0 || parsed.height == 0) return std::nullopt;
  at += 2;
  while (true) {
    // The size checks below always leave one byte for the next name length.
    std::size_t nameSize = static_cast<std::uint8_t>(content[at]);
    if (nameSize == 0) return parsed;
    if (content.size() - at <= nameSize + 3) return std::nullopt;
    auto key = PictureKeyOf(content.substr(at + 1, nameSize));
    if (!key) return std::nullopt;
    at += 1 + nameSize;
    std::size_t runSize = ReadBigEndian(content, at, 2);
    at += 2;
    if (content.size() - at < runSize + 1) return std::nullopt;
    std::string_view runs = content.substr(at, runSize);
    at += runSize;
    if (!RunsCoverPicture(runs, parsed.width, parsed.height)) return std::nullopt;
    if (parsed.pictures.size() == kMostPackagePictures) return std::nullopt;
    parsed.pictures.push_back(
        {std::string(kPicturePrefix) + *key + std::string(kPictureSuffix), runs});
  }
}

// Files written by one unpack, removed again unless it completes.
class WrittenFiles {
 public:
  explicit WrittenFiles(std::string folder) : folder_(std::move(folder)) {}
  ~WrittenFiles() {
    if (kept_) return;
    for (const auto& path : paths_) platform::DeleteFileInside(folder_, path);
  }
  WrittenFiles(const WrittenFiles&) = delete;
  WrittenFiles& operator=(const WrittenFiles&) = delete;
  void Add(const std::string& path) { paths_.push_back(path); }
  void Keep() { kept_ = true; }

 private:
  std::string folder_;
  std::vector<std::string> paths_;
  bool kept_ = false;
};

bool WriteParsed(const ParsedPackage& parsed, const std::string& folder) {
  WrittenFiles written(folder);
  // Pictures first: a folder without scene.txt is never taken for a character.
  for (const auto& picture : parsed.pictures) {
    std::string path = folder + picture.fileName;
    written.Add(path);
    if (!DecodePicture(picture.runs, parsed.width, parsed.height, path)) return false;
  }
  std::string scenePath = folder + std::string(kSceneFile);
  written.Add(scenePath);
  if (!platform::WriteFileAtomic(scenePath, std::string(parsed.scene))) return false;
  written.Keep();
  return true;
}

// Removes the folder again when this unpack made it and it stayed empty.
void RemoveMadeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::remove(platform::NativePath(folder), error);
}

}  // namespace

std::optional<std::string> PictureKeyOf(std::string_view fileName) {
  std::size_t affixes = kPicturePrefix.size() + kPictureSuffix.size();
  if (fileName.size() < affixes) return std::nullopt;
  if (!EqualsIgnoreAsciiCase(fileName.substr(0, kPicturePrefix.size()), kPicturePrefix) ||
      !EqualsIgnoreAsciiCase(fileName.substr(fileName.size() - kPictureSuffix.size()),
                             kPictureSuffix)) {
    return std::nullopt;
  }
  std::string_view key = fileName.substr(kPicturePrefix.size(), fileName.size() - affixes);
  if (!key.empty() && !IsInteger(key)) return std::nullopt;
  return std::string(key);
}

bool PackCharacter(const std::string& folder, const std::string& outputPath) {
  std::string base = WithSeparator(folder);
  auto sceneFile = platform::ReadFile(base + std::string(kSceneFile));
  if (!sceneFile) return false;
  std::string scene = JoinLines(SplitLines(*sceneFile));
  if (scene.size() > kMostSceneBytes) return false;

  std::optional<Bitmap> first;
  for (const auto& name : platform::ListFolder(base, "Image*.bmp", platform::ListKind::FilesOnly)) {
    first = LoadBitmapFile(base + name);
    if (first) break;
  }
  if (!first) return false;
  int width = first->Width(), height = first->Height();
  // The sizes are single bytes: larger pictures would arrive garbled.
  if (width > kMostFrameSide || height > kMostFrameSide) return false;

  std::string content;
  PutBigEndian(content, scene.size(), 2);
  content += scene;
  content.push_back(static_cast<char>(width));
  content.push_back(static_cast<char>(height));
  for (const auto& name : platform::ListFolder(base, "image*.bmp", platform::ListKind::FilesOnly)) {
    if (!PictureKeyOf(name) || name.size() > kMostNameBytes) return false;
    std::string runs = EncodePicture(base + name, width, height);
    if (runs.empty() || runs.size() > kMostRunBytes) return false;
    content.push_back(static_cast<char>(name.size()));
    content += name;
    PutBigEndian(content, runs.size(), 2);
    content += runs;
  }
  content.push_back('\0');

  std::uint64_t total = kLengthSize + kPackageName.size() + content.size();
  if (total > UINT32_MAX) return false;
  std::string package;
  package.reserve(total);
  PutBigEndian(package, total, 4);
  package += kPackageName;
  package += content;
  return platform::WriteFileAtomic(outputPath, package);
}

std::optional<std::string_view> CheckPackage(std::string_view package) {
  if (package.size() < kLeastPackage) return std::nullopt;
  if (ReadBigEndian(package, 0, 4) != package.size()) return std::nullopt;
  if (package.substr(kLengthSize, kPackageName.size()) != kPackageName) return std::nullopt;
  if (package.back() != '\0') return std::nullopt;
  return package.substr(kLengthSize + kPackageName.size());
}

bool UnpackCharacterBytes(std::string_view package, const std::string& targetFolder) {
  std::string folder = WithSeparator(targetFolder);
  bool existed = platform::DirectoryExists(folder);
  if (!platform::CreateFolder(folder)) return false;
  auto parsed = Parse(package);
  if (parsed && WriteParsed(*parsed, folder)) return true;
  if (!existed) RemoveMadeFolder(folder);
  return false;
}

bool UnpackCharacter(const std::string& packagePath, const std::string& targetFolder) {
  auto package = platform::ReadFile(packagePath);
  if (!package) return false;
  return UnpackCharacterBytes(*package, targetFolder);
}

}  // namespace mf
