#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/store/HeaderFile.h"
#include "mail/store/MailFolders.h"

namespace mf {

// The three texts a row of the mail list shows.
enum class ListText { Subject, Second, Date };

// A folder's mail list kept as small as the list allows: per mail only what
// it shows. The texts of all rows lie in one block, row after row (subject,
// second column, date), and a row holds where its texts begin, two lengths,
// its icon and its flags. Row k is record k of the header file, so the
// record index is the row's position and is not stored. The date column's
// sort key is not kept either: the sort reads it from the date text, which
// reads as line 4 does.
class MailListRows {
 public:
  MailListRows() = default;
  // The rows of every record of `file` as `folder` shows them.
  MailListRows(FolderKind folder, const HeaderFile& file);

  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }

  std::string_view Text(std::size_t row, ListText which) const;
  std::string_view Subject(std::size_t row) const { return Text(row, ListText::Subject); }
  std::string_view SecondColumn(std::size_t row) const { return Text(row, ListText::Second); }
  std::string_view DateText(std::size_t row) const { return Text(row, ListText::Date); }
  int Icon(std::size_t row) const { return rows_[row].icon; }
  bool IsRead(std::size_t row) const { return (rows_[row].flags & kUnread) == 0; }
  bool HasAttachment(std::size_t row) const { return (rows_[row].flags & kAttachment) != 0; }

  // The mail has been read: the read icon of its pair and the normal style.
  void MarkRead(std::size_t row);

  // Every byte these rows hold, spare capacity included.
  std::size_t BytesKept() const;

 private:
  static constexpr std::uint8_t kUnread = 1;
  static constexpr std::uint8_t kAttachment = 2;
  // A length that does not fit a row; the row's lengths are in longRows_.
  static constexpr std::uint16_t kLong = 0xFFFF;

  struct Row {
    std::uint32_t text;  // where its subject begins in the block
    std::uint16_t subjectLength;
    std::uint16_t secondLength;
    std::uint8_t icon;
    std::uint8_t flags;
  };
  // The lengths of a row with a text of 64 KB or more: rare enough to be
  // looked up, so that every other row stays small.
  struct LongRow {
    std::uint32_t row;
    std::uint32_t subjectLength;
    std::uint32_t secondLength;
  };

  // Where the texts of `row` end: where the next row's begin.
  std::uint32_t TextEnd(std::size_t row) const {
    return row + 1 < rows_.size() ? rows_[row + 1].text : static_cast<std::uint32_t>(textSize_);
  }
  const LongRow& LongRowOf(std::size_t row) const;

  std::vector<Row> rows_;
  std::vector<LongRow> longRows_;  // by row
  std::unique_ptr<char[]> texts_;
  std::size_t textSize_ = 0;  // also the block's capacity
};

// A mail of a list as it was shown, to be found again in the folder's rows
// after they are read anew: a delete or a move before it shifts its record
// index, a mail arriving does not.
struct ListedMail {
  std::size_t index = 0;  // its record index then
  std::string subject;
  std::string second;
  std::string date;
};
ListedMail ListedMailAt(const MailListRows& rows, std::size_t row);

// Where each mail is now: the record at its old index when it shows the
// same texts, else the nearest record that does, before the old index
// rather than after it; nothing when no record does (the mail is gone).
std::vector<std::optional<std::size_t>> FindListedMails(const MailListRows& rows,
                                                        const std::vector<ListedMail>& mails);

}  // namespace mf
