#include "mail/store/StoredHeaderBlock.h"

#include "base/Text.h"

namespace mf {

StoredMailParts SplitStoredMail(std::string_view stored) {
  const std::size_t blank = stored.find("\r\n\r\n");
  if (blank == std::string_view::npos) return {stored, {}};
  return {stored.substr(0, blank), stored.substr(blank + 4)};
}

std::string StoredFieldValue(std::string_view header, std::string_view name) {
  std::size_t pos = 0;
  while (pos <= header.size()) {
    std::size_t end = header.find("\r\n", pos);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(pos, end - pos);
    if (StartsWith(line, name)) return Trim(line.substr(name.size()));
    pos = end + 2;
  }
  return {};
}

}  // namespace mf
