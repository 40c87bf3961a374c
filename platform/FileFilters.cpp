#include "platform/FileFilters.h"

#include <vector>

#include "platform/Files.h"

namespace mf::platform {

std::string FilterExtension(const std::string& filter, int index) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  const std::size_t patterns = static_cast<std::size_t>(index) * 2 + 1;
  if (index < 0 || patterns >= parts.size()) return {};
  const std::string& pattern = parts[patterns];
  if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0) return {};
  const std::string extension = pattern.substr(2);
  if (extension.find_first_of("*?;. ") != std::string::npos) return {};
  return extension;
}

std::string WithChosenExtension(const std::string& path, const std::string& filter, int index,
                                const std::string& defaultExtension) {
  const std::string name = ExtractFileName(path);
  if (name.empty()) return path;
  const std::size_t dot = name.rfind('.');
  const bool typed = dot != std::string::npos && dot != 0 && dot + 1 != name.size();
  if (typed) return path;
  std::string extension = FilterExtension(filter, index);
  if (extension.empty()) extension = defaultExtension;
  if (extension.empty()) return path;
  return path + (dot != std::string::npos && dot + 1 == name.size() && dot != 0 ? "" : ".") + extension;
}

}  // namespace mf::platform
