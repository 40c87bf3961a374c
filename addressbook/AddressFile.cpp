#include "addressbook/AddressFile.h"

#include <algorithm>

#include "base/Integer.h"
#include "base/Records.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "platform/Files.h"
#include "settings/InputChecks.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

constexpr std::string_view kFileName = "address.txt";
// Hand-edited books are small; anything larger is not an address book.
constexpr std::uint64_t kLargestFile = std::uint64_t{64} << 20;

// Lines of a record's content; the same line ends the store's readers use
// (LF, with a CR before it belonging to the line end).
std::vector<std::string_view> RecordLines(std::string_view content) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t lf = content.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? content.size() : lf;
    std::size_t next = lf == std::string_view::npos ? content.size() : lf + 1;
    if (end > pos && content[end - 1] == '\r') --end;
    lines.push_back(content.substr(pos, end - pos));
    pos = next;
  }
  return lines;
}

int IconOf(std::string_view line) {
  auto number = ToInteger(line);
  if (!number || *number < 0 || *number >= kAddressIconCount) return 0;
  return *number;
}

AddressRecord ParseRecord(std::string_view content) {
  auto lines = RecordLines(content);
  auto line = [&](std::size_t k) { return k < lines.size() ? std::string(lines[k]) : std::string(); };
  AddressRecord record{line(0), line(1), line(2), 0};
  if (lines.size() > 3) record.icon = IconOf(lines[3]);
  return record;
}

}  // namespace

// The settings may wait for an address; an entry of the book is there to
// be written to, so it needs one.
std::optional<std::string> AddressEntryProblem(const AddressRecord& record) {
  if (Trim(record.address).empty()) return Sj("メールアドレスを入力してください");
  return MailAddressProblem(record.address);
}

std::optional<std::size_t> FindAddress(const std::vector<AddressRecord>& records, std::string_view address) {
  const std::string wanted = LowerAscii(Trim(address));
  if (wanted.empty()) return std::nullopt;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (LowerAscii(Trim(records[i].address)) == wanted) return i;
  }
  return std::nullopt;
}

AddressRecord SenderEntry(std::string_view sender) {
  Mailbox mailbox = ReadMailbox(sender);
  AddressRecord record;
  record.name = std::move(mailbox.name);
  record.address = std::move(mailbox.address);
  return record;
}

std::string FormatAddressRecord(const AddressRecord& record) {
  std::string text;
  for (const std::string& field : {record.name, record.address, record.contact}) {
    text += SingleLine(field);
    text += "\r\n";
  }
  const int icon = record.icon >= 0 && record.icon < kAddressIconCount ? record.icon : 0;
  text += std::to_string(icon);
  text += "\r\n";
  text += kSeparatorLine;
  text += "\r\n";
  return text;
}

std::vector<AddressRecord> ParseAddressFile(std::string_view file) {
  std::vector<AddressRecord> records;
  for (const RecordSpan& span : RecordSpans(file)) {
    records.push_back(ParseRecord(file.substr(span.begin, span.contentEnd - span.begin)));
  }
  return records;
}

AddressFile::AddressFile(std::string programFolder)
    : storeFolder_(std::move(programFolder) + "FileKeep/"), path_(storeFolder_ + std::string(kFileName)) {}

std::optional<std::string> AddressFile::ReadBytes() const {
  if (!platform::FileExists(path_)) return std::string();
  auto size = platform::FileSize(path_);
  if (!size || *size > kLargestFile) return std::nullopt;
  return platform::ReadFile(path_);
}

std::vector<AddressRecord> AddressFile::Load() const {
  auto bytes = ReadBytes();
  if (!bytes) return {};
  return ParseAddressFile(*bytes);
}

std::optional<AddressRecord> AddressFile::ReadRecord(std::size_t index) const {
  auto bytes = ReadBytes();
  if (!bytes) return std::nullopt;
  auto span = RecordAt(*bytes, index);
  if (!span) return std::nullopt;
  return ParseRecord(std::string_view(*bytes).substr(span->begin, span->contentEnd - span->begin));
}

bool AddressFile::Append(const AddressRecord& record) const {
  auto bytes = ReadBytes();
  if (!bytes) return false;
  if (!platform::CreateFolders(storeFolder_)) return false;
  // A file that lost its last line end still gets the new record on lines
  // of its own.
  return platform::WriteFileAtomic(path_, NormalizeLineEnds(*bytes) + FormatAddressRecord(record));
}

bool AddressFile::Rewrite(std::size_t index, const AddressRecord& record) const {
  auto bytes = ReadBytes();
  if (!bytes) return false;
  auto span = RecordAt(*bytes, index);
  if (!span) return false;
  std::string file = bytes->substr(0, span->begin) + FormatAddressRecord(record) + bytes->substr(span->end);
  return platform::WriteFileAtomic(path_, file);
}

bool AddressFile::Delete(std::vector<std::size_t> indices) const {
  auto bytes = ReadBytes();
  if (!bytes) return false;
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  const auto spans = RecordSpans(*bytes);
  std::string kept;
  kept.reserve(bytes->size());
  std::size_t from = 0;
  bool changed = false;
  for (std::size_t index : indices) {
    if (index >= spans.size()) break;
    kept.append(*bytes, from, spans[index].begin - from);
    from = spans[index].end;
    changed = true;
  }
  if (!changed) return true;
  kept.append(*bytes, from, std::string::npos);
  return platform::WriteFileAtomic(path_, kept);
}

}  // namespace mf
