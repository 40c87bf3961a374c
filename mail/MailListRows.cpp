#include "mail/MailListRows.h"

#include <algorithm>
#include <cstring>

#include "mail/MailListEntry.h"

namespace mf {
namespace {

constexpr int kUnreadIcon = 2;

}  // namespace

// Every text shown is a piece of the file, so a block of the file's size
// holds them all; the rows are written into it in one pass and the texts
// are then moved into a block of their exact size, so no spare space stays.
// Pages of the first block that are never written are never touched.
MailListRows::MailListRows(FolderKind folder, const HeaderFile& file) {
  const std::size_t count = file.size();
  rows_.reserve(count);
  auto block = std::make_unique_for_overwrite<char[]>(file.ByteCount());
  char* const begin = block.get();
  char* end = begin;
  auto put = [&end](std::string_view text) {
    if (!text.empty()) std::memcpy(end, text.data(), text.size());
    end += text.size();
  };
  for (std::size_t i = 0; i < count; ++i) {
    const ShownRecord shown = ShowRecord(folder, file[i]);
    Row row;
    row.text = static_cast<std::uint32_t>(end - begin);
    row.icon = static_cast<std::uint8_t>(shown.icon);
    row.flags = static_cast<std::uint8_t>((shown.isRead ? 0 : kUnread) | (shown.hasAttachment ? kAttachment : 0));
    if (shown.subject.size() < kLong && shown.secondColumn.size() < kLong) {
      row.subjectLength = static_cast<std::uint16_t>(shown.subject.size());
      row.secondLength = static_cast<std::uint16_t>(shown.secondColumn.size());
    } else {
      row.subjectLength = kLong;
      row.secondLength = kLong;
      longRows_.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(shown.subject.size()),
                           static_cast<std::uint32_t>(shown.secondColumn.size())});
    }
    rows_.push_back(row);
    put(shown.subject);
    put(shown.secondColumn);
    put(shown.dateText);
  }
  textSize_ = static_cast<std::size_t>(end - begin);
  texts_ = std::make_unique_for_overwrite<char[]>(textSize_);
  if (textSize_ > 0) std::memcpy(texts_.get(), begin, textSize_);
  longRows_.shrink_to_fit();
}

const MailListRows::LongRow& MailListRows::LongRowOf(std::size_t row) const {
  return *std::lower_bound(longRows_.begin(), longRows_.end(), row,
                           [](const LongRow& item, std::size_t wanted) { return item.row < wanted; });
}

std::string_view MailListRows::Text(std::size_t row, ListText which) const {
  const Row& r = rows_[row];
  std::size_t subject = r.subjectLength;
  std::size_t second = r.secondLength;
  if (subject == kLong) {
    const LongRow& lengths = LongRowOf(row);
    subject = lengths.subjectLength;
    second = lengths.secondLength;
  }
  const char* const at = texts_.get() + r.text;
  switch (which) {
    case ListText::Subject: return {at, subject};
    case ListText::Second: return {at + subject, second};
    case ListText::Date: return {at + subject + second, TextEnd(row) - r.text - subject - second};
  }
  return {};
}

void MailListRows::MarkRead(std::size_t row) {
  Row& r = rows_[row];
  if (r.icon == kUnreadIcon || r.icon == kUnreadIcon + 1) r.icon -= kUnreadIcon;
  r.flags &= static_cast<std::uint8_t>(~kUnread);
}

std::size_t MailListRows::BytesKept() const {
  return rows_.capacity() * sizeof(Row) + longRows_.capacity() * sizeof(LongRow) + textSize_;
}

}  // namespace mf
