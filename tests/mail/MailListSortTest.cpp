#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/ListSorting.h"
#include "mail/MailDate.h"
#include "mail/MailListSort.h"

namespace mf {
namespace {

MailListEntry Entry(std::string subject, std::string second, std::string date, bool received = false) {
  MailListEntry entry;
  entry.subject = std::move(subject);
  entry.secondColumn = std::move(second);
  entry.dateText = received ? DateColumnText(date) : date;
  if (received) entry.data.sortDate = SortDateOf(date);
  return entry;
}

std::vector<std::size_t> Identity(std::size_t size) {
  std::vector<std::size_t> order(size);
  std::iota(order.begin(), order.end(), 0);
  return order;
}

std::vector<std::string> Subjects(const std::vector<MailListEntry>& entries, const std::vector<std::size_t>& order) {
  std::vector<std::string> subjects;
  for (std::size_t i : order) subjects.push_back(entries[i].subject);
  return subjects;
}

TEST(CompareFoldingAscii, FoldsOnlyAsciiLettersOutsideDoubleByteCharacters) {
  struct Case {
    std::string a, b;
    int sign;
  };
  const std::vector<Case> cases = {
      {"abc", "ABC", 0},
      {"abc", "abd", -1},
      {"ab", "abc", -1},
      {"_", "a", 1},  // "a" compares as "A" (0x41), below "_" (0x5F)
      {"[", "b", 1},
      // 0x83 0x61 and 0x83 0x41 are two different katakana: the second byte
      // is never folded.
      {"\x83\x61", "\x83\x41", 1},
      {Sj("あ"), Sj("い"), -1},
  };
  for (const Case& c : cases) {
    const int result = CompareFoldingAscii(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " / " << c.b;
    // Folded keys order as plain bytes the same way.
    const int keys = FoldAscii(c.a).compare(FoldAscii(c.b));
    EXPECT_EQ((keys > 0) - (keys < 0), c.sign) << c.a << " / " << c.b;
  }
}

TEST(MailListSorter, SubjectFirstClickIsReverseThenAlphabeticalAndColumnsKeepTheirOwnFlags) {
  std::vector<MailListEntry> entries = {Entry("beta", "c@x", ""), Entry("Alpha", "a@x", ""),
                                        Entry("gamma", "b@x", "")};
  auto order = Identity(entries.size());
  MailListSorter sorter;
  sorter.ColumnClick(MailColumn::Subject, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"gamma", "beta", "Alpha"}));
  sorter.ColumnClick(MailColumn::Subject, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  // The second column has a flag of its own: its first click is descending too.
  sorter.ColumnClick(MailColumn::Second, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"beta", "gamma", "Alpha"}));
  EXPECT_EQ(sorter.Column(), MailColumn::Second);
  // The icon column is remembered and sorts nothing.
  sorter.ColumnClick(MailColumn::Icon, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"beta", "gamma", "Alpha"}));
  EXPECT_EQ(sorter.Column(), MailColumn::Icon);
}

TEST(MailListSorter, DatesSortByTimeAcrossWeekdaysWithUnreadableDatesLast) {
  // Received mails (the inbox computes the sort date) and written ones
  // (line 4 as stored) alike; the weekday names would sort Fri before Mon.
  std::vector<MailListEntry> entries = {
      Entry("mon", "", "Mon, 6 Jan 2003 12:00:00 +0900", true),
      Entry("fri", "", "Fri, 3 Jan 2003 09:00:00 +0900", true),
      Entry("sat-written", "", "Sat, 4 Jan 2003 10:00:00 +0900"),
      Entry("garbage-b", "", "sometime"),
      Entry("tue-slash", "", "2003/01/07 08:00"),
      Entry("garbage-a", "", "", true),
      Entry("sun-no-comma", "", "5 Jan 2003 23:59:59 GMT", true),
  };
  auto order = Identity(entries.size());
  MailListSorter sorter;
  sorter.ColumnClick(MailColumn::Date, entries, order);  // first click: oldest first
  EXPECT_EQ(Subjects(entries, order),
            (std::vector<std::string>{"garbage-a", "garbage-b", "fri", "sat-written", "sun-no-comma", "mon",
                                      "tue-slash"}));
  sorter.ColumnClick(MailColumn::Date, entries, order);
  EXPECT_EQ(Subjects(entries, order),
            (std::vector<std::string>{"tue-slash", "mon", "sun-no-comma", "sat-written", "fri", "garbage-b",
                                      "garbage-a"}));
}

TEST(MailListSorter, EqualKeysKeepTheirOrder) {
  std::vector<MailListEntry> entries = {Entry("same", "", "x"), Entry("SAME", "", "x"), Entry("same", "", "x")};
  for (int i = 0; i < 3; ++i) entries[i].data.index = i;
  for (MailColumn column : {MailColumn::Subject, MailColumn::Second, MailColumn::Date}) {
    for (bool ascending : {true, false}) {
      auto order = Identity(entries.size());
      SortMailList(entries, column, ascending, order);
      EXPECT_EQ(order, Identity(entries.size()));
    }
  }
}

}  // namespace
}  // namespace mf
