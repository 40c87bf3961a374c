#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/ListSorting.h"
#include "base/ShiftJis.h"
#include "mail/list/MailListSort.h"
#include "mail/list/QuickMailDate.h"
#include "mail/store/HeaderFile.h"
#include "mail/store/MailDate.h"
#include "mail/store/MailStatus.h"
#include "mail/store/StoreRecords.h"

namespace mf {
namespace {

// A mail as the trash holds it, where received mails (read or unread,
// showing the sender and the date's column text) and written ones (the
// recipients and line 4 as stored) lie side by side.
HeaderRecord Mail(std::string subject, std::string second, std::string date, bool received = false) {
  HeaderRecord record;
  record.status = StatusWord(received ? MailStatus::Read : MailStatus::Sent);
  record.subject = std::move(subject);
  (received ? record.from : record.to) = std::move(second);
  record.date = std::move(date);
  return record;
}

MailListRows RowsOf(const std::vector<HeaderRecord>& mails) {
  std::string file;
  for (const HeaderRecord& mail : mails) file += FormatHeaderRecord(mail);
  MailListRows rows(FolderKind::Trash, HeaderFile(file));
  EXPECT_EQ(rows.size(), mails.size());
  return rows;
}

RowOrder Identity(std::size_t size) {
  RowOrder order(size);
  std::iota(order.begin(), order.end(), 0u);
  return order;
}

std::vector<std::string> Subjects(const MailListRows& rows, const RowOrder& order) {
  std::vector<std::string> subjects;
  for (std::uint32_t i : order) subjects.emplace_back(rows.Subject(i));
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
  const MailListRows entries = RowsOf({Mail("beta", "c@x", ""), Mail("Alpha", "a@x", ""), Mail("gamma", "b@x", "")});
  auto order = Identity(entries.size());
  MailListSorter sorter;
  sorter.SortByColumn(MailColumn::Subject, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"gamma", "beta", "Alpha"}));
  sorter.SortByColumn(MailColumn::Subject, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  // The second column has a flag of its own: its first click is descending too.
  sorter.SortByColumn(MailColumn::Second, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"beta", "gamma", "Alpha"}));
  EXPECT_EQ(sorter.Column(), MailColumn::Second);
  // The icon column is remembered and sorts nothing.
  sorter.SortByColumn(MailColumn::Icon, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"beta", "gamma", "Alpha"}));
  EXPECT_EQ(sorter.Column(), MailColumn::Icon);
}

TEST(MailListSorter, DatesSortByTimeAcrossWeekdaysWithUnreadableDatesLast) {
  // Received mails (the inbox computes the sort date) and written ones
  // (line 4 as stored) alike; the weekday names would sort Fri before Mon.
  const MailListRows entries = RowsOf({
      Mail("mon", "", "Mon, 6 Jan 2003 12:00:00 +0900", true),
      Mail("fri", "", "Fri, 3 Jan 2003 09:00:00 +0900", true),
      Mail("sat-written", "", "Sat, 4 Jan 2003 10:00:00 +0900"),
      Mail("garbage-b", "", "sometime"),
      Mail("tue-slash", "", "2003/01/07 08:00"),
      Mail("garbage-a", "", "", true),
      Mail("sun-no-comma", "", "5 Jan 2003 23:59:59 GMT", true),
  });
  auto order = Identity(entries.size());
  MailListSorter sorter;
  sorter.SortByColumn(MailColumn::Date, entries, order);  // first click: oldest first
  EXPECT_EQ(Subjects(entries, order),
            (std::vector<std::string>{"garbage-a", "garbage-b", "fri", "sat-written", "sun-no-comma", "mon",
                                      "tue-slash"}));
  sorter.SortByColumn(MailColumn::Date, entries, order);
  EXPECT_EQ(Subjects(entries, order),
            (std::vector<std::string>{"tue-slash", "mon", "sun-no-comma", "sat-written", "fri", "garbage-b",
                                      "garbage-a"}));
}

TEST(MailListSorter, DatesFromOtherZonesSortByTheMomentAndAReloadKeepsTheSort) {
  // 10:00 in California is 03:00 the next day in Japan, after 12:00 in Japan.
  const MailListRows entries = RowsOf({
      Mail("tokyo-noon", "", "Tue, 5 Mar 2024 12:00:00 +0900", true),
      Mail("california-10", "", "Tue, 5 Mar 2024 10:00:00 -0800", true),
      Mail("london-9", "", "Tue, 5 Mar 2024 09:00:00 GMT"),
  });
  auto order = NewestFirstOrder(entries.size());
  MailListSorter sorter;
  EXPECT_FALSE(sorter.LastSort());
  sorter.Reapply(entries, order);  // nothing sorted yet: newest first stays
  EXPECT_EQ(order, NewestFirstOrder(entries.size()));

  sorter.SortByColumn(MailColumn::Date, entries, order);
  const std::vector<std::string> oldestFirst = {"tokyo-noon", "london-9", "california-10"};
  EXPECT_EQ(Subjects(entries, order), oldestFirst);
  ASSERT_TRUE(sorter.LastSort());
  EXPECT_EQ(sorter.LastSort()->column, MailColumn::Date);
  EXPECT_TRUE(sorter.LastSort()->ascending);

  // Reloaded rows sort as the last click did, and the next click still turns it.
  order = NewestFirstOrder(entries.size());
  sorter.Reapply(entries, order);
  EXPECT_EQ(Subjects(entries, order), oldestFirst);
  sorter.SortByColumn(MailColumn::Date, entries, order);
  EXPECT_EQ(Subjects(entries, order), (std::vector<std::string>{"california-10", "london-9", "tokyo-noon"}));
  EXPECT_FALSE(sorter.LastSort()->ascending);
  sorter.SortByColumn(MailColumn::Icon, entries, order);  // sorts nothing, so the last sort stands
  EXPECT_EQ(sorter.LastSort()->column, MailColumn::Date);
}

TEST(MailListSorter, EqualKeysKeepTheirOrder) {
  const MailListRows entries = RowsOf({Mail("same", "", "x"), Mail("SAME", "", "x"), Mail("same", "", "x")});
  for (MailColumn column : {MailColumn::Subject, MailColumn::Second, MailColumn::Date}) {
    for (bool ascending : {true, false}) {
      auto order = Identity(entries.size());
      SortMailList(entries, column, ascending, order);
      EXPECT_EQ(order, Identity(entries.size()));
    }
  }
}


// A small fixed generator, so that a failing table can be run again.
class Draw {
 public:
  explicit Draw(std::uint32_t seed) : state_(seed) {}
  std::size_t Below(std::size_t n) {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 8) % n;
  }

 private:
  std::uint32_t state_;
};

// Texts made to trip a key built from pieces of eight bytes: long common
// beginnings, ends on and beside the piece bounds, ASCII letters in either
// case, kanji whose second byte is a letter or a lead byte (so that where a
// character begins decides the folding), a lone lead byte at the end, NULs.
std::string TrickyText(Draw& draw) {
  static const std::vector<std::string> pieces = {
      "a", "A", "z", "Z", "_", "[", "1", "9", "Re: ", std::string(1, '\0'), "\x83\x61", "\x83\x41",
      "\x88\x9f", "\x82\xa0", "\x81", "\xfc\x7a", Sj("会議の件について")};
  static const std::string common = Sj("Re: Re: 会議の件について（ご確認ください）abcdefgh");
  std::string text = draw.Below(2) ? common.substr(0, draw.Below(common.size() + 1)) : std::string();
  for (std::size_t n = draw.Below(6); n > 0; --n) text += pieces[draw.Below(pieces.size())];
  return text;
}

// The rows in the order the rules give, by plain comparisons.
RowOrder ReferenceOrder(RowOrder order, bool ascending, const std::function<int(std::size_t, std::size_t)>& compare) {
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const int result = compare(a, b);
    return ascending ? result < 0 : result > 0;
  });
  return order;
}

RowOrder NewestFirst(std::size_t size) {
  RowOrder order = NewestFirstOrder(size);
  EXPECT_TRUE(std::is_sorted(order.rbegin(), order.rend()));
  return order;
}

TEST(SortMailList, TextColumnsOrderAsTheFoldingComparisonAtEverySize) {
  // Sizes on both sides of where the sort changes its way of working.
  for (std::size_t size : {1u, 2u, 31u, 32u, 33u, 700u, 4000u}) {
    Draw draw(static_cast<std::uint32_t>(size));
    std::vector<HeaderRecord> mails;
    for (std::size_t i = 0; i < size; ++i) {
      // Few distinct senders: long runs of equal keys, which keep their order.
      mails.push_back(Mail(TrickyText(draw),
                           "sender" + std::to_string(draw.Below(5)) + "@example.jp" + (draw.Below(2) ? "x" : "X"),
                           "", draw.Below(2) == 0));
    }
    const MailListRows entries = RowsOf(mails);
    for (auto [column, text] : {std::pair{MailColumn::Subject, ListText::Subject},
                                std::pair{MailColumn::Second, ListText::Second}}) {
      for (bool ascending : {true, false}) {
        auto order = NewestFirst(size);
        const auto expected = ReferenceOrder(order, ascending, [&](std::size_t a, std::size_t b) {
          return CompareFoldingAscii(entries.Text(a, text), entries.Text(b, text));
        });
        SortMailList(entries, column, ascending, order);
        EXPECT_EQ(order, expected) << "size " << size << (ascending ? " ascending" : " descending");
      }
    }
  }
}

TEST(SortMailList, TextsAlikeFarBeyondTheirBeginning) {
  // Two hundred bytes in common, then one letter in either case; and texts
  // that are the common part itself, shorter or padded with NULs.
  const std::string common(200, 'x');
  const MailListRows entries =
      RowsOf({Mail(common + "b", "", ""), Mail(common + "A", "", ""), Mail(common, "", ""), Mail(common + "a", "", ""),
              Mail(common + std::string(1, '\0'), "", ""), Mail(common + "B", "", "")});
  auto order = Identity(entries.size());
  SortMailList(entries, MailColumn::Subject, true, order);
  EXPECT_EQ(order, (RowOrder{2, 4, 1, 3, 0, 5}));
  order = Identity(entries.size());
  SortMailList(entries, MailColumn::Subject, false, order);
  EXPECT_EQ(order, (RowOrder{0, 5, 1, 3, 4, 2}));
}

TEST(SortMailList, DatesOrderAsTheirDayCountsAtEverySize) {
  // Received rows with a computed date, written rows with line 4 as stored,
  // dates before 1900 (negative day counts), the day count zero, and texts
  // that read as no date.
  const std::vector<std::string> odd = {"", "sometime", "Fri, 3 Jan 2003", "31 Apr 2003 10:00:00",
                                        "30 Dec 1899 00:00:00", "1 Jan 1800 12:00:00", "1 jan 1800 06:00:00",
                                        "2003/01/07 08:00", "Mon, 6 Jan 2003 12:00:60 +0900", "ASAP", "asap"};
  for (std::size_t size : {1u, 31u, 32u, 33u, 3000u}) {
    Draw draw(static_cast<std::uint32_t>(size) + 7);
    std::vector<HeaderRecord> mails;
    for (std::size_t i = 0; i < size; ++i) {
      char date[64];
      std::snprintf(date, sizeof date, "Tue, %zu Mar %zu %02zu:%02zu:%02zu +0900", draw.Below(28) + 1,
                    1995 + draw.Below(3), draw.Below(24), draw.Below(2), draw.Below(60));
      const std::string line4 = draw.Below(4) == 0 ? odd[draw.Below(odd.size())] : std::string(date);
      mails.push_back(Mail("", "", line4, draw.Below(2) == 0));
    }
    const MailListRows entries = RowsOf(mails);
    // The rule reads line 4 as stored as a moment in its zone; one without
    // a zone is local time.
    auto daysOf = [&](std::size_t row) -> std::optional<double> {
      if (auto time = ParseMailDate(mails[row].date)) {
        return static_cast<double>(
            MomentOf(*time, MailDateZone(mails[row].date).value_or(LocalUtcOffsetMinutes())));
      }
      return std::nullopt;
    };
    for (bool ascending : {true, false}) {
      auto order = NewestFirst(size);
      const auto expected = ReferenceOrder(order, ascending, [&](std::size_t a, std::size_t b) {
        const auto x = daysOf(a);
        const auto y = daysOf(b);
        if (x && y) return *x < *y ? -1 : *x > *y ? 1 : 0;
        if (x.has_value() != y.has_value()) return x ? 1 : -1;
        return CompareFoldingAscii(entries.DateText(a), entries.DateText(b));
      });
      SortMailList(entries, MailColumn::Date, ascending, order);
      EXPECT_EQ(order, expected) << "size " << size << (ascending ? " ascending" : " descending");
    }
  }
}

TEST(ParseMailDateQuickly, AnswersAsTheGeneralReaderDoes) {
  std::vector<std::string> texts = {
      "Fri, 3 Jan 2003 09:00:00 +0900", "fri, 03 jan 2003 09:00:00", "3 Jan 2003 09:00:00 GMT",
      "Mon, 6 Jan 2003 12:00:60 +0900",  // leap second
      "Sat, 29 Feb 2003 10:00:00", "Thu, 29 Feb 2024 10:00:00", "31 Apr 2003 10:00:00", "0 Jan 2003 10:00:00",
      "3 Jan 0000 10:00:00", "3 Jan 2003 24:00:00", "3 Jan 2003 23:60:00", "3 Jan 03 09:00:00",
      "3 January 2003 09:00:00", "Fri,3 Jan 2003 09:00:00", "  Fri, 3 Jan 2003 09:00:00", "3 Jan 2003 09:00",
      "3 Jan 2003 09:00:00+0900", "3 Jan 2003 09:00:00,x", "3 Jan 2003 09:00:00\t+0900", "3 Jan 2003",
      "Xyz, 3 Jan 2003 09:00:00", "2003/01/07 08:00", "123 Jan 2003 09:00:00", "3 Jan 12345 09:00:00", ""};
  // Each text of the common form with one byte changed, everywhere.
  const std::string base = "Fri, 13 Jan 2003 09:05:07 +0900";
  for (std::size_t i = 0; i < base.size(); ++i) {
    for (char c : {' ', ',', ':', '-', '+', '0', '9', 'a', 'X', '\t', '\0'}) {
      std::string text = base;
      text[i] = c;
      texts.push_back(text);
    }
    texts.push_back(base.substr(0, i));
  }
  for (const std::string& text : texts) EXPECT_EQ(ParseMailDateQuickly(text), ParseMailDate(text)) << text;
}

}  // namespace
}  // namespace mf
