#include "mail/answer/SaveAsText.h"

#include "base/Text.h"
#include "mail/answer/MessageFile.h"
#include "mail/store/StoreRecords.h"
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

bool IsMessageFileName(const std::string& path) {
  const std::string name = platform::ExtractFileName(path);
  return name.size() > 4 && StartsWithIgnoreAsciiCase(std::string_view(name).substr(name.size() - 4), ".eml");
}

SavedMail SaveStoredMail(const std::string& path, std::string_view stored) {
  SavedMail saved;
  if (!IsMessageFileName(path)) {
    saved.written = SaveMailAsText(WithTextExtension(path), stored);
    return saved;
  }
  MessageFile message = StoredMailAsMessage(stored);
  saved.written = platform::WriteFileAtomic(path, message.bytes);
  saved.missingFiles = std::move(message.missingFiles);
  return saved;
}

}  // namespace mf
