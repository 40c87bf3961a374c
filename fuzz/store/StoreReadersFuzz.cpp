// Feeds arbitrary bytes to the readers of the mail files and checks that
// what the store writes always reads back as the records it meant.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <algorithm>

#include "mail/list/MailListSort.h"
#include "mail/store/AttachmentNames.h"
#include "mail/store/HeaderFile.h"
#include "mail/store/MailDate.h"
#include "mail/store/MailListEntry.h"
#include "mail/store/MailListRows.h"
#include "mail/store/StoreRecords.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsSafeName(const std::string& name) {
  if (name.empty() || name[0] == '.' || name.find("..") != std::string::npos) return false;
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '/' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

void CheckReaders(std::string_view file) {
  auto records = mf::ParseHeaderRecords(file);
  auto spans = mf::RecordSpans(file);
  Require(records.size() == spans.size());
  std::size_t previousEnd = 0;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const auto& span = spans[i];
    Require(span.begin == previousEnd && span.begin <= span.contentEnd && span.contentEnd <= span.end &&
            span.end <= file.size());
    previousEnd = span.end;
    // The list's index and the line-by-line reader agree on every record.
    Require(records[i] == mf::ParseHeaderRecord(file.substr(span.begin, span.contentEnd - span.begin)));
  }
  for (std::size_t i = 0; i < records.size() && i < 64; ++i) {
    for (auto folder : mf::kAllFolders) (void)mf::MakeMailListEntry(folder, records[i], i);
    (void)mf::ParseMailDate(records[i].date);
  }
  // The list's compact rows show what its entries show, and sort into a
  // permutation of themselves by every column.
  const mf::HeaderFile index(file);
  for (auto folder : mf::kAllFolders) {
    const mf::MailListRows rows(folder, index);
    Require(rows.size() == index.size());
    for (std::size_t i = 0; i < rows.size() && i < 64; ++i) {
      const mf::MailListEntry entry = mf::MakeMailListEntry(folder, index[i], i);
      Require(rows.Subject(i) == entry.subject && rows.SecondColumn(i) == entry.secondColumn &&
              rows.DateText(i) == entry.dateText && rows.Icon(i) == entry.icon);
    }
    for (auto column : {mf::MailColumn::Subject, mf::MailColumn::Second, mf::MailColumn::Date}) {
      mf::RowOrder order = mf::NewestFirstOrder(rows.size());
      mf::SortMailList(rows, column, true, order);
      std::sort(order.begin(), order.end());
      for (std::size_t i = 0; i < order.size(); ++i) Require(order[i] == i);
    }
  }
  const std::size_t probes[] = {0, 1, 2, 3, spans.size(), spans.size() + 1};
  for (std::size_t i : probes) {
    if (auto offset = mf::FindHeaderRecordByBytes(file, i)) Require(*offset <= file.size());
    (void)mf::SenderAt(file, i);
    std::string text = mf::BodyRecordText(file, i);
    for (const auto& path : mf::AttachmentFilesOf(text)) Require(!path.empty());
  }
}

void CheckWriters(std::string_view data) {
  const std::string value(data);
  mf::HeaderRecord header{value, value, value, value, value, value};
  std::string formatted = mf::FormatHeaderRecord(header);
  auto back = mf::ParseHeaderRecords(formatted + formatted);
  Require(back.size() == 2);
  Require(back[1].subject == mf::SingleLine(value));
  Require(mf::SenderAt(formatted + formatted, 1) == mf::SingleLine(value));

  mf::BodyRecord body{{{"", value}, {"Subject: ", value}, {"X-Character: ", value}}, value};
  std::string stored = mf::FormatBodyRecord(body);
  auto storedSpans = mf::RecordSpans(stored + stored);
  Require(storedSpans.size() == 2 && storedSpans[1].terminated);
  Require(mf::AttachmentFilesOf(mf::BodyRecordText(stored, 0)).empty());

  Require(IsSafeName(mf::SafeAttachmentFileName(value)));
  std::string folder = mf::ReceivedFolderBaseName(value);
  Require(folder.empty() || IsSafeName(folder));
  (void)mf::DateColumnText(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckReaders(input);
  if (size <= 4096) CheckWriters(input);
  return 0;
}
