#include "mail/receive/ReceiveJournal.h"

#include <cstdint>
#include <cstdio>

#include "base/Integer.h"
#include "base/Text.h"
#include "platform/Files.h"

namespace mf {
namespace {

// Fields are separated by TAB, which neither our file names, UIDLs (RFC 1939:
// 0x21-0x7E) nor attachment folder names can hold.
constexpr char kTab = '\t';
constexpr std::string_view kAccountTag = "account";
constexpr std::string_view kEntryTag = "mail";

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find(kTab, start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string Clean(const std::string& field) {
  std::string out(field);
  for (char& c : out) {
    if (c == kTab || c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

ReceiveJournal::ReceiveJournal(std::string programFolder)
    : path_(programFolder + kFileName), foldersPath_(programFolder + kFoldersFileName) {}

bool ReceiveJournal::NoteFolder(const std::string& folder) const {
  return platform::AppendFile(foldersPath_, Clean(folder) + "\r\n");
}

std::vector<std::string> ReceiveJournal::NotedFolders() const {
  std::vector<std::string> folders;
  for (const std::string& line : SplitLines(platform::ReadFile(foldersPath_).value_or(""))) {
    if (!line.empty()) folders.push_back(line);
  }
  return folders;
}

void ReceiveJournal::ForgetNotedFolders() const {
  if (platform::FileExists(foldersPath_)) platform::DeleteFileInside(platform::ExtractFilePath(foldersPath_), foldersPath_);
}

bool ReceiveJournal::Load() {
  entries_.clear();
  uidlRecordPath_.clear();
  if (!platform::FileExists(path_)) return true;
  auto file = platform::ReadFile(path_);
  if (!file) return false;
  for (const auto& line : SplitLines(*file)) {
    const auto fields = SplitTabs(line);
    if (fields.size() == 2 && fields[0] == kAccountTag) {
      uidlRecordPath_ = fields[1];
    } else if (fields.size() == 8 && fields[0] == kEntryTag && !fields[1].empty()) {
      JournalEntry entry;
      entry.file = fields[1];
      entry.uidl = fields[2];
      entry.deleteOnServer = fields[3] == "D";
      entry.durable = fields[3] != "L";
      entry.state = fields[4] == "decoded"    ? JournalEntry::State::Decoded
                    : fields[4] == "rejected" ? JournalEntry::State::Rejected
                                              : JournalEntry::State::Fetched;
      entry.recordsBefore = static_cast<std::size_t>(ToIntegerOr(fields[5], 0));
      entry.fingerprint = fields[6];
      entry.attachmentFolder = fields[7];
      entries_.push_back(std::move(entry));
    }
  }
  return true;
}

bool ReceiveJournal::Save() const {
  if (entries_.empty()) return !platform::FileExists(path_) || platform::DeleteFileInside(platform::ExtractFilePath(path_), path_);
  std::string text;
  text += kAccountTag;
  text += kTab;
  text += Clean(uidlRecordPath_);
  text += "\r\n";
  for (const auto& entry : entries_) {
    const char* state = entry.state == JournalEntry::State::Decoded    ? "decoded"
                        : entry.state == JournalEntry::State::Rejected ? "rejected"
                                                                       : "fetched";
    for (const std::string& field :
         {std::string(kEntryTag), Clean(entry.file), Clean(entry.uidl), std::string(entry.deleteOnServer ? "D" : entry.durable ? "K" : "L"),
          std::string(state), std::to_string(entry.recordsBefore), Clean(entry.fingerprint),
          Clean(entry.attachmentFolder)}) {
      text += field;
      text += kTab;
    }
    text.back() = '\r';
    text += '\n';
  }
  return platform::WriteFileAtomic(path_, text);
}

std::string Fingerprint(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace mf
