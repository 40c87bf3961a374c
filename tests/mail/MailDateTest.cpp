#include <gtest/gtest.h>

#include "mail/MailDate.h"

namespace mf {
namespace {

TEST(MailDate, ColumnTextDropsTheZone) {
  EXPECT_EQ(DateColumnText("  Mon, 6 Jan 2003 12:34:56 +0900"), "Mon, 6 Jan 2003 12:34:56");
  EXPECT_EQ(DateColumnText("Mon, 6 Jan 2003 12:34:56 -0500 (EST)"), "Mon, 6 Jan 2003 12:34:56");
  EXPECT_EQ(DateColumnText("6 Jan 2003 12:34:56 GMT"), "6 Jan 2003 12:34:56 GMT");
  EXPECT_EQ(DateColumnText(""), "");
}

TEST(MailDate, SortDateReadsCommonForms) {
  auto date = ParseMailDate("mon, 6 Jan 2003 12:34:56 +0900");
  ASSERT_TRUE(date);
  EXPECT_EQ(date->year, 2003);
  EXPECT_EQ(date->month, 1);
  EXPECT_EQ(date->day, 6);
  EXPECT_EQ(date->hour, 12);
  EXPECT_EQ(date->second, 56);
  EXPECT_EQ(ParseMailDate("Tue,7 Jan 03 01:02 GMT")->year, 2003);
  EXPECT_EQ(ParseMailDate("7 Jan 99 01:02")->year, 1999);
  EXPECT_EQ(ParseMailDate("2003/01/06 9:05:07")->hour, 9);
  EXPECT_EQ(ParseMailDate("29 Feb 2004 00:00:60")->second, 59);
  EXPECT_LT(SortDateOf("Mon, 6 Jan 2003 12:34:56"), SortDateOf("Mon, 6 Jan 2003 12:34:57"));
}

TEST(MailDate, UnreadableDatesSortAsZero) {
  for (const char* text : {"", "yesterday", "31 Feb 2003 10:00", "6 Foo 2003", "6 Jan 2003 25:00",
                           "2003/13/01", "Mon,", "6 Jan", "99999999999 Jan 2003"}) {
    EXPECT_FALSE(ParseMailDate(text)) << text;
    EXPECT_EQ(SortDateOf(text), 0.0) << text;
  }
}

}  // namespace
}  // namespace mf
