#include "character/NumberedPictures.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/Files.h"

namespace mf {
namespace {

constexpr std::string_view kPrefix = "image";
constexpr std::string_view kSuffix = ".bmp";
constexpr std::size_t kMostDigits = 18;

// k of "image" + k + ".bmp"; 0 for any other name.
long long PictureNumber(std::string_view name) {
  if (name.size() <= kPrefix.size() + kSuffix.size()) return 0;
  if (name.substr(0, kPrefix.size()) != kPrefix) return 0;
  if (name.substr(name.size() - kSuffix.size()) != kSuffix) return 0;
  std::string_view digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  if (digits.size() > kMostDigits || digits.front() == '0') return 0;
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::vector<std::string> NumberedPictures(const std::string& folder, long long highest) {
  std::vector<std::pair<long long, std::string>> found;
  for (auto& name : platform::ListFolder(folder, "image*.bmp", platform::ListKind::FilesOnly)) {
    long long k = PictureNumber(name);
    if (k >= 1 && k <= highest) found.emplace_back(k, std::move(name));
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  paths.reserve(found.size());
  for (auto& entry : found) paths.push_back(folder + "/" + entry.second);
  return paths;
}

}  // namespace mf
