#include "mail/receive/AnsweredMail.h"

#include <vector>

#include "base/Text.h"
#include "mail/store/MailFolders.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"

namespace mf {
namespace {

// The value after "Name: " on the line that starts with it, up to the line end.
std::string FieldValue(std::string_view text, std::string_view name) {
  for (const auto& line : SplitLines(text)) {
    if (StartsWith(line, name)) return Trim(std::string_view(line).substr(name.size()));
  }
  return {};
}

AnsweredMail NoticeOf(std::string_view record) {
  AnsweredMail mail;
  const std::vector<std::string> lines = SplitLines(record);
  std::size_t line = 0;
  for (; line < lines.size() && !lines[line].empty(); ++line) {
    const std::string& text = lines[line];
    if (StartsWith(text, "Subject:") && mail.title.empty()) mail.title = Trim(text.substr(8));
    if (StartsWith(text, "To:") && mail.recipient.empty()) mail.recipient = Trim(text.substr(3));
    if (StartsWith(text, "X-Character:") && mail.character.empty()) mail.character = Trim(text.substr(12));
  }
  std::string body;
  for (; line < lines.size(); ++line) {
    body += lines[line];
    body += "\r\n";
  }
  mail.bodyLine = Trim(body);
  return mail;
}

// The first sent record with a line that contains `value`.
std::optional<AnsweredMail> FindRecordWith(std::string_view file, const std::string& value) {
  if (value.empty()) return std::nullopt;
  for (const auto& span : RecordSpans(file)) {
    std::string_view record = file.substr(span.begin, span.contentEnd - span.begin);
    for (const auto& line : SplitLines(record)) {
      if (line.find(value) != std::string::npos) return NoticeOf(record);
    }
  }
  return std::nullopt;
}

}  // namespace

std::string AnsweredMailQuery(std::string_view inReplyTo, std::string_view references) {
  std::string text = "\r\nIn-Reply-To: ";
  text += inReplyTo;
  text += "\r\nReferences: ";
  text += references;
  text += "\r\n\r\n";
  return text;
}

std::optional<AnsweredMail> FindAnsweredMail(const MailStore& store, std::string_view text) {
  const std::string inReplyTo = FieldValue(text, "In-Reply-To: ");
  const std::string references = FieldValue(text, "References: ");
  if (inReplyTo.empty() && references.empty()) return std::nullopt;
  auto file = platform::ReadFile(store.BodyPath(FolderKind::Sent));
  if (!file) return std::nullopt;
  if (auto found = FindRecordWith(*file, inReplyTo)) return found;

  std::vector<std::string> list;
  std::string current;
  for (char c : references) {
    if (c == ',' || static_cast<unsigned char>(c) <= ' ') {
      if (!current.empty()) list.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) list.push_back(std::move(current));
  for (auto reference = list.rbegin(); reference != list.rend(); ++reference) {
    if (auto found = FindRecordWith(*file, *reference)) {
      found->foundByReference = true;
      return found;
    }
  }
  return std::nullopt;
}

}  // namespace mf
