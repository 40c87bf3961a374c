#include "hut/HutNotices.h"

#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "platform/Files.h"

namespace mf {
namespace {

DateTime At(int month, int day, int hour, int minute) { return DateTime{2024, month, day, hour, minute, 0, 0, 540}; }

struct Departure {
  const char* name;
  std::string character;  // Shift_JIS
  DateTime back;
  const char* said;       // UTF-8
};

class DepartureNotice : public ::testing::TestWithParam<Departure> {};

TEST_P(DepartureNotice, SaysWhoLeftAndWhenItIsDueBack) {
  const DateTime now = At(12, 31, 23, 50);
  EXPECT_EQ(DepartureNoticeText(GetParam().character, GetParam().back, now), Sj(GetParam().said));
}

INSTANTIATE_TEST_SUITE_P(
    Times, DepartureNotice,
    ::testing::Values(
        // A day away: tomorrow, across the year's end.
        Departure{"Tomorrow", Sj("ミケ"), DateTime{2025, 1, 1, 23, 50, 0, 0, 540},
                  "ミケがメールを届けに出かけました。明日の23:50ごろ戻ります。"},
        Departure{"Today", Sj("ポチ"), At(12, 31, 23, 55), "ポチがメールを届けに出かけました。23:55ごろ戻ります。"},
        Departure{"Later", Sj("ミミ"), DateTime{2025, 1, 3, 9, 5, 0, 0, 540},
                  "ミミがメールを届けに出かけました。1月3日の9:05ごろ戻ります。"},
        Departure{"Nameless", "", DateTime{2025, 1, 1, 0, 0, 0, 0, 540},
                  "キャラクターがメールを届けに出かけました。明日の0:00ごろ戻ります。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserGuide, TheFirstFolderHoldingTheGuideWinsAndAMissingOneIsNamed) {
  platform::TemporaryFolder prefix;
  const std::string bin = prefix.Path() + "bin/";
  const std::string share = prefix.Path() + "share/MFMail/";
  ASSERT_TRUE(platform::CreateFolders(bin));
  const auto folders = UserGuideFolders(bin);
  ASSERT_EQ(folders.size(), 2u);

  EXPECT_EQ(FindUserGuide(folders), "");
  EXPECT_EQ(ExpectedUserGuide(bin), bin + "help/index.html");
  EXPECT_NE(UserGuideMissingText(ExpectedUserGuide(bin)).find(bin + "help/index.html"), std::string::npos);

  // An install keeps it in its shared folder; a copy beside the program wins.
  ASSERT_TRUE(platform::CreateFolders(share + "help"));
  ASSERT_TRUE(platform::WriteFileAtomic(share + "help/index.html", "<html></html>"));
  EXPECT_TRUE(platform::IsInside(prefix.Path(), FindUserGuide(folders)));
  EXPECT_EQ(platform::ExtractFileName(FindUserGuide(folders)), "index.html");
  ASSERT_TRUE(platform::CreateFolders(bin + "help"));
  ASSERT_TRUE(platform::WriteFileAtomic(bin + "help/index.html", "<html></html>"));
  EXPECT_EQ(FindUserGuide(folders), bin + "help/index.html");
  // Without the trailing separator the folder means the same.
  EXPECT_EQ(FindUserGuide({prefix.Path() + "bin"}), bin + "help/index.html");
}

}  // namespace
}  // namespace mf
