#include <gtest/gtest.h>

#include "mail/store/MailDate.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

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

// Runs with the computer's zone set to a POSIX TZ text, then puts the old one back.
class LocalZone {
 public:
  explicit LocalZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~LocalZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(MailDate, ZonesAreReadByNumberAndByName) {
  struct ZoneCase {
    const char* line4;
    std::optional<int> minutes;
  };
  for (const ZoneCase& c : {ZoneCase{"Tue, 5 Mar 2024 14:07:09 +0900", 540},
                            ZoneCase{"Tue, 5 Mar 2024 14:07:09 -0330 (NST)", -210},
                            ZoneCase{"5 Mar 2024 14:07:09 -0000", 0}, ZoneCase{"5 Mar 2024 14:07:09+0100", 60},
                            ZoneCase{"5 Mar 2024 14:07 GMT", 0}, ZoneCase{"5 Mar 2024 14:07 edt", -240},
                            ZoneCase{"5 Mar 2024 14:07:09 JST", 540}, ZoneCase{"2024/03/05 14:07", std::nullopt},
                            ZoneCase{"5 Mar 2024 14:07:09 +0960", std::nullopt},
                            ZoneCase{"5 Mar 2024 14:07:09 CEST", std::nullopt}, ZoneCase{"", std::nullopt}}) {
    EXPECT_EQ(MailDateZone(c.line4), c.minutes) << c.line4;
  }
}

TEST(MailDate, TheListShowsTheMomentInLocalTimeInOneForm) {
  struct ShownCase {
    const char* zone;  // the computer's, as TZ
    const char* line4;
    const char* shown;
  };
  for (const ShownCase& c :
       {ShownCase{"JST-9", "Tue, 5 Mar 2024 14:07:09 +0900", "2024/03/05 14:07"},
        ShownCase{"UTC0", "Tue, 5 Mar 2024 14:07:09 +0900", "2024/03/05 05:07"},
        ShownCase{"JST-9", "Mon, 4 Mar 2024 23:30:00 -0800", "2024/03/05 16:30"},
        ShownCase{"JST-9", "5 Mar 2024 01:00:59 GMT", "2024/03/05 10:00"},
        ShownCase{"JST-9", "Thu, 31 Dec 2026 23:40:00 -0500 (EST)", "2027/01/01 13:40"},
        // Summer time where the computer is: the zone of that day, not of today.
        ShownCase{"EST5EDT,M3.2.0,M11.1.0", "Mon, 1 Jul 2024 12:00:00 +0000", "2024/07/01 08:00"},
        ShownCase{"EST5EDT,M3.2.0,M11.1.0", "Mon, 1 Jan 2024 12:00:00 +0000", "2024/01/01 07:00"},
        // No zone: as written.
        ShownCase{"UTC0", "2024/03/05 9:05", "2024/03/05 09:05"},
        ShownCase{"UTC0", "5 Mar 2024 09:05", "2024/03/05 09:05"},
        // No date: the text itself.
        ShownCase{"JST-9", "  sometime ", "sometime"}}) {
    LocalZone zone(c.zone);
    EXPECT_EQ(ListDateText(c.line4), c.shown) << c.zone << " " << c.line4;
  }
}

}  // namespace
}  // namespace mf
