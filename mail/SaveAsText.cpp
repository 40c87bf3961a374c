#include "mail/SaveAsText.h"

#include "mail/StoreRecords.h"
#include "platform/Files.h"

namespace mf {

std::string WithTextExtension(const std::string& path) {
  const std::string name = platform::ExtractFileName(path);
  if (name.empty()) return path;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return path + ".txt";
  if (dot + 1 == name.size()) return path + "txt";
  return path;
}

bool SaveMailAsText(const std::string& path, std::string_view text) {
  return platform::WriteFileAtomic(path, TextWithCrLf(text));
}

}  // namespace mf
