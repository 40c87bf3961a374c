#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "settings/LiveSettings.h"

namespace mf {
namespace {

class LiveSettingsTest : public ::testing::Test {
 protected:
  LiveSettings Make() {
    return LiveSettings(platform::IniFile(path), [this](int ms, bool on) { timer = {ms, on}; },
                        [this](bool on) { autostart = on ? 1 : 0; });
  }
  platform::IniFile Ini() const { return platform::IniFile(path); }

  platform::TemporaryFolder folder;
  std::string path = folder.Path() + "MFMail.ini";
  std::pair<int, bool> timer{-1, false};
  int autostart = -1;
};

TEST_F(LiveSettingsTest, FirstStartHasTheDefaultsAndArmsTheTimerAtTwentyMinutes) {
  auto settings = Make();
  settings.Load();
  EXPECT_EQ(settings.smtpPort, "25");
  EXPECT_EQ(settings.pop3Port, "110");
  EXPECT_TRUE(settings.alwaysRunning);
  EXPECT_TRUE(settings.rcvPeriodically);
  EXPECT_EQ(settings.rcvPeriod, "20");
  EXPECT_EQ(timer, std::make_pair(1200000, true));
  EXPECT_FALSE(platform::FileExists(path));
}

TEST_F(LiveSettingsTest, EmptyPortsAreStoredAsTheirDefaults) {
  auto settings = Make();
  settings.Load();
  settings.smtpPort.clear();
  settings.pop3Port.clear();
  settings.Save();
  EXPECT_EQ(settings.smtpPort, "25");
  EXPECT_EQ(Ini().ReadString("MailSet", "SMTPPort", ""), "25");
  EXPECT_EQ(Ini().ReadString("MailSet", "POP3Port", ""), "110");
}

TEST_F(LiveSettingsTest, PeriodFilterAndClamp) {
  EXPECT_EQ(LiveSettings::NormalizePeriodText("75"), "60");
  EXPECT_EQ(LiveSettings::NormalizePeriodText("05"), "5");
  EXPECT_EQ(LiveSettings::NormalizePeriodText("-3"), "0");
  EXPECT_EQ(LiveSettings::NormalizePeriodText("2."), "20");
  EXPECT_EQ(LiveSettings::NormalizePeriodText(""), "");
  EXPECT_TRUE(LiveSettings::AcceptPeriodKey('.'));
  EXPECT_FALSE(LiveSettings::AcceptPeriodKey('a'));
  EXPECT_FALSE(LiveSettings::AcceptPortKey('.'));
  EXPECT_TRUE(LiveSettings::AcceptPortKey('\b'));

  auto settings = Make();
  settings.Load();
  for (auto [typed, stored] : {std::pair{"0", 1}, std::pair{"60", 60}, std::pair{"", 20}, std::pair{"7", 7}}) {
    settings.rcvPeriod = typed;
    settings.Save();
    EXPECT_EQ(Ini().ReadInteger("MailSet", "RcvPeriod", -1), stored) << typed;
    EXPECT_EQ(timer.first, stored * 60000);
    EXPECT_EQ(settings.rcvPeriod, typed);  // the field itself is not changed
  }
  Ini().WriteString("MailSet", "RcvPeriod", "500");
  settings.Load();
  EXPECT_EQ(settings.rcvPeriod, "60");
  Ini().WriteString("MailSet", "RcvPeriod", "abc");
  settings.Load();
  EXPECT_EQ(settings.rcvPeriod, "20");
}

TEST_F(LiveSettingsTest, GreyedLeaveOtherMailerBoxKeepsItsStateOnLoading) {
  Ini().WriteBool("MailSet", "MailLeave", true);
  Ini().WriteBool("MailSet", "MailLeaveOtherMailer", true);
  auto settings = Make();
  settings.leaveOtherMailer = false;
  settings.Load();
  EXPECT_TRUE(settings.mailLeave);
  EXPECT_FALSE(settings.LeaveOtherMailerEnabled());
  EXPECT_FALSE(settings.leaveOtherMailer);
}

TEST_F(LiveSettingsTest, SignatureLinesAndTheirKeys) {
  auto settings = Make();
  settings.Load();
  settings.signature = {Sj("モフタン"), "", "mofu@example.jp"};
  settings.Save();
  EXPECT_EQ(Ini().ReadInteger("MailSet", "SignLineCount", -1), 3);
  EXPECT_EQ(Ini().ReadString("MailSet", "SignName0", ""), Sj("モフタン"));
  EXPECT_EQ(Ini().ReadString("MailSet", "SignName2", ""), "mofu@example.jp");
  auto again = Make();
  again.Load();
  EXPECT_EQ(again.signature, settings.signature);
  EXPECT_EQ(again.SignatureText(), Sj("モフタン") + "\r\n\r\nmofu@example.jp");

  again.signature.clear();
  again.Save();
  EXPECT_EQ(Ini().ReadInteger("MailSet", "SignLineCount", -1), 0);
  auto empty = Make();
  empty.Load();
  EXPECT_TRUE(empty.signature.empty());
}

TEST_F(LiveSettingsTest, PasswordIsStoredScrambledAndReadPlain) {
  auto settings = Make();
  settings.Load();
  settings.pop3Password = "tanstaaf";
  settings.Save();
  std::string stored = Ini().ReadString("MailSet", "POP3Pass", "");
  EXPECT_EQ(stored.size(), 8u);
  EXPECT_EQ(static_cast<unsigned char>(stored[0]), 't' ^ 0xD4);
  auto again = Make();
  again.Load();
  EXPECT_EQ(again.pop3Password, "tanstaaf");
}

TEST_F(LiveSettingsTest, CancelRestoresTheServerButKeepsToggledBoxes) {
  auto settings = Make();
  settings.Load();
  settings.smtpServer = "smtp.example.jp";
  settings.Save();
  settings.smtpServer = "typo";
  settings.popBeforeSmtp = true;
  settings.rcvPeriodically = false;
  settings.Reread();
  EXPECT_EQ(settings.smtpServer, "smtp.example.jp");
  EXPECT_TRUE(settings.popBeforeSmtp);
  EXPECT_FALSE(settings.rcvPeriodically);
  settings.Load();  // the next showing reloads everything
  EXPECT_FALSE(settings.popBeforeSmtp);
}

TEST_F(LiveSettingsTest, OkSetsTheAutostartEntryFromTheBox) {
  auto settings = Make();
  settings.Load();
  settings.alwaysRunning = false;
  settings.Save();
  EXPECT_EQ(autostart, 0);
  settings.alwaysRunning = true;
  settings.Save();
  EXPECT_EQ(autostart, 1);
}

}  // namespace
}  // namespace mf
