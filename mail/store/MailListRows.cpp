#include "mail/store/MailListRows.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "mail/store/MailListEntry.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

constexpr int kUnreadIcon = 2;

}  // namespace

// Nearly every text shown is a piece of the file, so a block of the file's
// size holds them all; the rows are written into it in one pass and the
// texts are then moved into a block of their exact size, so no spare space
// stays. Pages of the first block that are never written are never touched.
// A sender shown otherwise than stored ("a@x(A)" as "A <a@x>") may be a
// little longer than its piece; the block then grows.
MailListRows::MailListRows(FolderKind folder, const HeaderFile& file) {
  const std::size_t count = file.size();
  rows_.reserve(count);
  std::size_t capacity = file.ByteCount();
  auto block = std::make_unique_for_overwrite<char[]>(capacity);
  std::size_t used = 0;
  auto put = [&](std::string_view text) {
    if (text.empty()) return;
    if (used + text.size() > capacity) {
      capacity = std::max(capacity * 2, used + text.size());
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
      if (used > 0) std::memcpy(bigger.get(), block.get(), used);
      block = std::move(bigger);
    }
    std::memcpy(block.get() + used, text.data(), text.size());
    used += text.size();
  };
  std::string sender;
  for (std::size_t i = 0; i < count; ++i) {
    const ShownRecord shown = ShowRecord(folder, file[i]);
    std::string_view second = shown.secondColumn;
    if (shown.received && ShownMailboxesInto(second, sender)) second = sender;
    Row row;
    row.text = static_cast<std::uint32_t>(used);
    row.icon = static_cast<std::uint8_t>(shown.icon);
    row.flags = static_cast<std::uint8_t>((shown.isRead ? 0 : kUnread) | (shown.hasAttachment ? kAttachment : 0));
    if (shown.subject.size() < kLong && second.size() < kLong) {
      row.subjectLength = static_cast<std::uint16_t>(shown.subject.size());
      row.secondLength = static_cast<std::uint16_t>(second.size());
    } else {
      row.subjectLength = kLong;
      row.secondLength = kLong;
      longRows_.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(shown.subject.size()),
                           static_cast<std::uint32_t>(second.size())});
    }
    rows_.push_back(row);
    put(shown.subject);
    put(second);
    put(shown.dateText);
  }
  textSize_ = used;
  texts_ = std::make_unique_for_overwrite<char[]>(textSize_);
  if (textSize_ > 0) std::memcpy(texts_.get(), block.get(), textSize_);
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

ListedMail ListedMailAt(const MailListRows& rows, std::size_t row) {
  return ListedMail{row, std::string(rows.Subject(row)), std::string(rows.SecondColumn(row)),
                    std::string(rows.DateText(row))};
}

namespace {

bool Shows(const MailListRows& rows, std::size_t row, const ListedMail& mail) {
  return rows.Subject(row) == mail.subject && rows.SecondColumn(row) == mail.second &&
         rows.DateText(row) == mail.date;
}

// The three texts as one key; 0x01 never appears in a stored record's line.
std::string KeyOf(std::string_view subject, std::string_view second, std::string_view date) {
  std::string key;
  key.reserve(subject.size() + second.size() + date.size() + 2);
  key.append(subject).append(1, '\x01').append(second).append(1, '\x01').append(date);
  return key;
}

}  // namespace

std::vector<std::optional<std::size_t>> FindListedMails(const MailListRows& rows,
                                                        const std::vector<ListedMail>& mails) {
  std::vector<std::optional<std::size_t>> found(mails.size());
  std::vector<std::size_t> moved;
  for (std::size_t i = 0; i < mails.size(); ++i) {
    if (mails[i].index < rows.size() && Shows(rows, mails[i].index, mails[i])) {
      found[i] = mails[i].index;
    } else {
      moved.push_back(i);
    }
  }
  if (moved.empty()) return found;
  // One pass over the rows, however many mails moved: rows in file order.
  std::unordered_map<std::string, std::vector<std::size_t>> byTexts;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    byTexts[KeyOf(rows.Subject(row), rows.SecondColumn(row), rows.DateText(row))].push_back(row);
  }
  for (std::size_t i : moved) {
    const ListedMail& mail = mails[i];
    const auto candidates = byTexts.find(KeyOf(mail.subject, mail.second, mail.date));
    if (candidates == byTexts.end()) continue;
    const std::vector<std::size_t>& at = candidates->second;
    auto after = std::upper_bound(at.begin(), at.end(), mail.index);
    found[i] = after != at.begin() ? *std::prev(after) : *after;
  }
  return found;
}

}  // namespace mf
