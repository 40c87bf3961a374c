#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/list/MailListSort.h"
#include "mail/store/HeaderFile.h"
#include "mail/store/MailListEntry.h"
#include "mail/store/MailListRows.h"
#include "mail/store/MailStatus.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"

namespace mf {
namespace {

std::string FileOf(const std::vector<HeaderRecord>& records) {
  std::string file;
  for (const HeaderRecord& record : records) file += FormatHeaderRecord(record);
  return file;
}

// Every row shows what the list's entry of the same record shows.
void ExpectRowsShowEntries(FolderKind folder, const std::string& bytes) {
  const HeaderFile file(bytes);
  const MailListRows rows(folder, file);
  ASSERT_EQ(rows.size(), file.size());
  for (std::size_t i = 0; i < file.size(); ++i) {
    const MailListEntry entry = MakeMailListEntry(folder, file[i], i);
    SCOPED_TRACE(std::string(FolderKeyword(folder)) + " record " + std::to_string(i));
    EXPECT_EQ(rows.Subject(i), entry.subject);
    EXPECT_EQ(rows.SecondColumn(i), entry.secondColumn);
    EXPECT_EQ(rows.DateText(i), entry.dateText);
    EXPECT_EQ(rows.Icon(i), entry.icon);
    EXPECT_EQ(rows.IsRead(i), entry.data.isRead);
    EXPECT_EQ(rows.HasAttachment(i), entry.data.hasAttachment);
  }
}

TEST(MailListRows, ShowEachRecordAsTheListEntryDoesInEveryFolder) {
  const std::string date = "Fri, 3 Jan 2003 09:00:00 +0900";
  std::vector<HeaderRecord> records;
  for (MailStatus status : {MailStatus::Unread, MailStatus::Read, MailStatus::Replied, MailStatus::Waiting,
                            MailStatus::WaitingReply, MailStatus::Sent, MailStatus::SentReply, MailStatus::Imported}) {
    for (const std::string& folder : {std::string(), std::string("attach1")}) {
      records.push_back({StatusWord(status), Sj("件名") + folder, "from@x.jp", date, "to@x.jp", folder});
    }
  }
  // Unknown status, empty lines, a zone-less and an unreadable date, and
  // texts that are empty in one column and not in the next.
  records.push_back({"?", "", "", "", "", ""});
  records.push_back({StatusWord(MailStatus::Read), "", "from@x.jp", "  3 Jan 2003 09:00 - 0500  ", "", ""});
  records.push_back({StatusWord(MailStatus::Sent), "s", "", "sometime", "to@x.jp", "a"});
  records.push_back({StatusWord(MailStatus::Unread), "only subject", "", "", "", ""});
  for (FolderKind folder : kAllFolders) ExpectRowsShowEntries(folder, FileOf(records));
}

// The sender column shows names as a reader sees them; a sender shown
// longer than stored ("a@x(A)") still fits the rows' block. Recipients of
// written mail stay as typed.
TEST(MailListRows, SendersShowTheirNamesWithoutQuotesOrComments) {
  struct Case {
    std::string from;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"\"Alice\" <alice@example.test>", "Alice <alice@example.test>"},
      {"\"Doe, John\" <j@x>", "Doe, John <j@x>"},
      {"a@x(A)", "A <a@x>"},
      {"b@x(B),c@x(C)", "B <b@x>, C <c@x>"},
      {Sj("山田 <y@x.jp>"), Sj("山田 <y@x.jp>")},
      {"<a@x>", "<a@x>"},
      {"\"", "\"\""},  // a quote left open is closed
  };
  // More shown than the whole file holds: the block must grow.
  std::string many = "a(b)", manyShown = "b <a>";
  for (int i = 0; i < 999; ++i) {
    many += ",a(b)";
    manyShown += ", b <a>";
  }
  std::vector<HeaderRecord> records;
  for (const Case& c : cases) records.push_back({StatusWord(MailStatus::Read), "s", c.from, "d", c.from, ""});
  records.push_back({StatusWord(MailStatus::Read), "", many, "", "", ""});
  const std::string bytes = FileOf(records);
  const MailListRows inbox(FolderKind::Inbox, HeaderFile(bytes));
  const MailListRows sent(FolderKind::Sent, HeaderFile(bytes));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(inbox.SecondColumn(i), cases[i].shown);
    EXPECT_EQ(sent.SecondColumn(i), cases[i].from);
    EXPECT_EQ(inbox.DateText(i), "d");
  }
  EXPECT_GT(manyShown.size(), bytes.size());
  EXPECT_EQ(inbox.SecondColumn(cases.size()), manyShown);
  for (FolderKind folder : kAllFolders) ExpectRowsShowEntries(folder, bytes);
}

TEST(MailListRows, RecordsWithMissingLinesOrOddLineEndsShowAsTheEntries) {
  const std::string separator = "\x01\x01\r\n";
  const std::vector<std::string> files = {
      "",
      // Two lines only, then a whole record with LF line ends.
      StatusWord(MailStatus::Unread) + "\r\nshort\r\n" + separator + StatusWord(MailStatus::Read) +
          "\nlf\nme@x.jp\n3 Jan 2003 09:00:00\nyou@x.jp\n\n\x01\x01\n",
      // A last record without its separator, lines beyond the sixth.
      StatusWord(MailStatus::Read) + "\r\na\r\nb\r\nc\r\nd\r\ne\r\nseventh\r\n" + separator +
          StatusWord(MailStatus::Unread) + "\r\nlast\r\nx@y\r\n",
  };
  for (const std::string& file : files) {
    for (FolderKind folder : {FolderKind::Inbox, FolderKind::Sent, FolderKind::Trash}) {
      ExpectRowsShowEntries(folder, file);
    }
  }
}

TEST(MailListRows, TextsOf64KbAndMoreShowWholeBesideShortOnes) {
  // Lengths on both sides of the largest a row holds itself.
  const std::vector<std::size_t> lengths = {0, 1, 65534, 65535, 65536, 70000, 200000};
  std::vector<HeaderRecord> records;
  for (std::size_t subject : lengths) {
    for (std::size_t second : {std::size_t{3}, std::size_t{65535}, std::size_t{100000}}) {
      records.push_back({StatusWord(MailStatus::Unread), std::string(subject, 's'), std::string(second, 'f'),
                         "3 Jan 2003 09:00:00 " + std::string(subject % 7, 'd'), "to", ""});
    }
  }
  const HeaderFile file(FileOf(records));
  MailListRows rows(FolderKind::Inbox, file);
  ASSERT_EQ(rows.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    EXPECT_EQ(rows.Subject(i), records[i].subject);
    EXPECT_EQ(rows.SecondColumn(i), records[i].from);
    EXPECT_EQ(rows.DateText(i), MakeMailListEntry(FolderKind::Inbox, file[i], i).dateText);
    rows.MarkRead(i);
    EXPECT_EQ(rows.Subject(i).size(), records[i].subject.size());
    EXPECT_TRUE(rows.IsRead(i));
  }
  // Sorting reaches past the common 64 KB of the long subjects.
  RowOrder order = NewestFirstOrder(rows.size());
  SortMailList(rows, MailColumn::Subject, true, order);
  for (std::size_t i = 1; i < order.size(); ++i) {
    EXPECT_LE(rows.Subject(order[i - 1]).size(), rows.Subject(order[i]).size());
  }
}

TEST(MailListRows, MarkReadTurnsOnlyTheUnreadIconsAndClearsTheStyle) {
  struct Case {
    MailStatus status;
    const char* attachment;
    int before, after;
  };
  const std::vector<Case> cases = {{MailStatus::Unread, "", 2, 0},
                                   {MailStatus::Unread, "a", 3, 1},
                                   {MailStatus::Read, "", 0, 0},
                                   {MailStatus::Replied, "a", 11, 11}};
  std::vector<HeaderRecord> records;
  for (const Case& c : cases) records.push_back({StatusWord(c.status), "s", "f", "", "t", c.attachment});
  MailListRows rows(FolderKind::Inbox, HeaderFile(FileOf(records)));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rows.Icon(i), cases[i].before);
    EXPECT_EQ(rows.IsRead(i), cases[i].status != MailStatus::Unread);
    rows.MarkRead(i);
    EXPECT_EQ(rows.Icon(i), cases[i].after);
    EXPECT_TRUE(rows.IsRead(i));
    EXPECT_EQ(rows.Subject(i), "s");
  }
}

TEST(MailListRows, KeepNoSpareSpaceForTheirTexts) {
  // The texts take what the list shows and no more, even where the file is
  // mostly what the list does not show.
  std::vector<HeaderRecord> records(1000, {StatusWord(MailStatus::Read), "ab", "c", std::string(500, ' '),
                                           std::string(500, 't'), std::string(500, 'a')});
  const MailListRows rows(FolderKind::Inbox, HeaderFile(FileOf(records)));
  EXPECT_LE(rows.BytesKept(), records.size() * (3 + 16));
}

TEST(MailListRows, TheStoreReadsAFolderItDoesNotHaveAsNoRows) {
  platform::TemporaryFolder home;
  MailStore store(home.Path());
  ASSERT_TRUE(store.Prepare());
  EXPECT_TRUE(store.ReadListRows(FolderKind::Kept).empty());
  EXPECT_TRUE(store.ReadListRows(FolderKind::Inbox).empty());
}

}  // namespace
}  // namespace mf
