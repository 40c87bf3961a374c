#include <gtest/gtest.h>

#include "base/DateTime.h"

namespace mf {
namespace {

DateTime At(int y, int mo, int d, int h, int mi, int s, std::optional<int> zone = 540) {
  DateTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  t.utcOffsetMinutes = zone;
  return t;
}

// "-0000" means "zone unknown" (RFC 5322 section 3.3): a machine that
// knows it runs on UTC must say "+0000".
TEST(Rfc822DateText, WritesTheZoneEastWestZeroHalfHourAndUnknown) {
  struct Case {
    std::optional<int> zone;
    const char* expected;
  };
  const Case cases[] = {
      {540, "Tue, 8 Dec 2026 09:05:07 +0900"},   {0, "Tue, 8 Dec 2026 09:05:07 +0000"},
      {-300, "Tue, 8 Dec 2026 09:05:07 -0500"},  {330, "Tue, 8 Dec 2026 09:05:07 +0530"},
      {-210, "Tue, 8 Dec 2026 09:05:07 -0330"},  {-30, "Tue, 8 Dec 2026 09:05:07 -0030"},
      {765, "Tue, 8 Dec 2026 09:05:07 +1245"},   {std::nullopt, "Tue, 8 Dec 2026 09:05:07 -0000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rfc822DateText(At(2026, 12, 8, 9, 5, 7, c.zone)), c.expected);
  }
  EXPECT_EQ(Rfc822DateText(At(2000, 1, 1, 0, 0, 0, 0)), "Sat, 1 Jan 2000 00:00:00 +0000");
}

TEST(DayCount, KnownValues) {
  EXPECT_DOUBLE_EQ(ToDayCount(At(1899, 12, 30, 0, 0, 0)), 0.0);
  EXPECT_DOUBLE_EQ(ToDayCount(At(1900, 1, 1, 12, 0, 0)), 2.5);
  EXPECT_DOUBLE_EQ(ToDayCount(At(2000, 1, 1, 6, 0, 0)), 36526.25);
}

TEST(DayCount, TextRoundTripKeepsTheSecond) {
  for (auto time : {At(2026, 12, 8, 10, 0, 0), At(2026, 2, 28, 23, 59, 59), At(1999, 12, 31, 0, 0, 1)}) {
    std::string text = FormatDayCount(ToDayCount(time));
    auto value = ParseDayCount(text);
    ASSERT_TRUE(value) << text;
    DateTime back = FromDayCount(*value);
    EXPECT_EQ(back.year, time.year);
    EXPECT_EQ(back.month, time.month);
    EXPECT_EQ(back.day, time.day);
    EXPECT_EQ(back.hour, time.hour);
    EXPECT_EQ(back.minute, time.minute);
    EXPECT_EQ(back.second, time.second);
  }
}

TEST(DayCount, TextHasAtMostFifteenSignificantDigitsAndAPoint) {
  std::string text = FormatDayCount(ToDayCount(At(2026, 12, 8, 10, 0, 0)));
  EXPECT_EQ(text, "46364.4166666667");
  EXPECT_EQ(FormatDayCount(46364.5), "46364.5");
  EXPECT_EQ(FormatDayCount(46364), "46364");
}

TEST(DayCount, ReaderRejectsGarbage) {
  EXPECT_FALSE(ParseDayCount(""));
  EXPECT_FALSE(ParseDayCount("abc"));
  EXPECT_FALSE(ParseDayCount("1,5"));
  EXPECT_FALSE(ParseDayCount("12x"));
  EXPECT_FALSE(ParseDayCount("1e999"));
  EXPECT_EQ(ParseDayCount("2.5"), 2.5);
}

TEST(FixedClock, AdvancesAcrossMidnightAndMonthEnds) {
  FixedClock clock(At(2026, 12, 31, 23, 59, 30));
  clock.AdvanceSeconds(45);
  DateTime now = clock.Now();
  EXPECT_EQ(now.year, 2027);
  EXPECT_EQ(now.month, 1);
  EXPECT_EQ(now.day, 1);
  EXPECT_EQ(now.minute, 0);
  EXPECT_EQ(now.second, 15);
  EXPECT_EQ(now.utcOffsetMinutes, 540);
}

TEST(DateTime, DayOfWeek) {
  EXPECT_EQ(At(1970, 1, 1, 0, 0, 0).DayOfWeek(), 4);
  EXPECT_EQ(At(2026, 12, 8, 0, 0, 0).DayOfWeek(), 2);
  EXPECT_EQ(At(1899, 12, 30, 0, 0, 0).DayOfWeek(), 6);
}

}  // namespace
}  // namespace mf
