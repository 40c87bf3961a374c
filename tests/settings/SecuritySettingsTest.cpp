// The encryption and SMTP log-in settings: compatible with files written
// before they existed, stored as the password is, the usual ports following
// the choice unless the user typed one, and handed to the clients.
#include <gtest/gtest.h>

#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "settings/ClientSetup.h"
#include "settings/LiveSettings.h"

namespace mf {
namespace {

using Security = ConnectionSecurity;

class SecuritySettingsTest : public ::testing::Test {
 protected:
  LiveSettings Make() { return LiveSettings(platform::IniFile(path), nullptr, nullptr); }
  platform::IniFile Ini() const { return platform::IniFile(path); }

  platform::TemporaryFolder folder;
  std::string path = folder.Path() + "MFMail.ini";
};

TEST_F(SecuritySettingsTest, AnOlderFileLoadsWithoutEncryptionOrLogIn) {
  {
    auto ini = Ini();
    ini.WriteString("MailSet", "SMTP_SV", "smtp.example.jp");
    ini.WriteString("MailSet", "SMTPPort", "25");
    ini.WriteString("MailSet", "POP3Port", "110");
  }
  auto settings = Make();
  settings.Load();
  EXPECT_EQ(settings.smtpSecurity, Security::None);
  EXPECT_EQ(settings.pop3Security, Security::None);
  EXPECT_FALSE(settings.smtpAuth);
  EXPECT_EQ(settings.smtpUser, "");

  platform::PollEventLoop loop;
  SmtpClient smtp(loop);
  ConfigureSmtpClient(settings, smtp);
  EXPECT_EQ(smtp.Host, "smtp.example.jp");
  EXPECT_EQ(smtp.Port, "25");
  EXPECT_EQ(smtp.Security, TlsMode::None);
  EXPECT_EQ(smtp.AuthType, SmtpAuth::None);
}

TEST_F(SecuritySettingsTest, NewKeysRoundTripAndThePasswordIsScrambled) {
  auto settings = Make();
  settings.Load();
  settings.SetSmtpSecurity(Security::StartTls);
  settings.SetPop3Security(Security::Tls);
  settings.smtpAuth = true;
  settings.smtpUser = "tim";
  settings.smtpPassword = "pa=ss";
  settings.Save();
  EXPECT_EQ(Ini().ReadInteger("MailSet", "SMTPSecurity", -1), 1);
  EXPECT_EQ(Ini().ReadInteger("MailSet", "POP3Security", -1), 2);
  EXPECT_EQ(Ini().ReadString("MailSet", "SMTPPass", ""), ScramblePassword("pa=ss"));
  EXPECT_NE(Ini().ReadString("MailSet", "SMTPPass", ""), "pa=ss");

  auto again = Make();
  again.Load();
  EXPECT_EQ(again.smtpSecurity, Security::StartTls);
  EXPECT_EQ(again.pop3Security, Security::Tls);
  EXPECT_EQ(again.smtpPort, "587");
  EXPECT_EQ(again.pop3Port, "995");
  EXPECT_TRUE(again.smtpAuth);
  EXPECT_EQ(again.smtpUser, "tim");
  EXPECT_EQ(again.smtpPassword, "pa=ss");
}

TEST_F(SecuritySettingsTest, UnknownSecurityValueReadsAsNone) {
  Ini().WriteInteger("MailSet", "SMTPSecurity", 7);
  Ini().WriteString("MailSet", "POP3Security", "x");
  auto settings = Make();
  settings.Load();
  EXPECT_EQ(settings.smtpSecurity, Security::None);
  EXPECT_EQ(settings.pop3Security, Security::None);
}

TEST_F(SecuritySettingsTest, ChoosingSecurityMovesOnlyAnUntouchedPort) {
  struct Case {
    const char* port;  // before, with no security
    Security choice;
    const char* smtpAfter;
    const char* pop3After;
  };
  const Case cases[] = {
      {"", Security::Tls, "465", "995"},          {"default", Security::StartTls, "587", "110"},
      {"default", Security::Tls, "465", "995"},   {"2525", Security::Tls, "2525", "2525"},
      {"default", Security::None, "25", "110"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.port) + " -> " + std::to_string(static_cast<int>(c.choice)));
    auto settings = Make();
    settings.Load();
    if (std::string(c.port) != "default") settings.smtpPort = settings.pop3Port = c.port;
    settings.SetSmtpSecurity(c.choice);
    settings.SetPop3Security(c.choice);
    EXPECT_EQ(settings.smtpPort, c.smtpAfter);
    EXPECT_EQ(settings.pop3Port, c.pop3After);
  }
  // And back: the default of the choice made becomes today's again.
  auto settings = Make();
  settings.Load();
  settings.SetSmtpSecurity(Security::StartTls);
  settings.SetSmtpSecurity(Security::Tls);
  settings.SetSmtpSecurity(Security::None);
  EXPECT_EQ(settings.smtpPort, "25");
}

TEST_F(SecuritySettingsTest, ClientsGetTheChoiceAndTheLogInFallsBackToPop3) {
  auto settings = Make();
  settings.Load();
  settings.smtpServer = "smtp.example.jp";
  settings.pop3Server = "pop.example.jp";
  settings.pop3User = "hanako";
  settings.pop3Password = "pop-secret";
  settings.SetSmtpSecurity(Security::Tls);
  settings.SetPop3Security(Security::StartTls);
  settings.smtpAuth = true;

  platform::PollEventLoop loop;
  SmtpClient smtp(loop);
  Pop3Client pop3(loop);
  ConfigureSmtpClient(settings, smtp);
  ConfigurePop3Client(settings, pop3);
  EXPECT_EQ(smtp.Port, "465");
  EXPECT_EQ(smtp.Security, TlsMode::Implicit);
  EXPECT_EQ(smtp.AuthType, SmtpAuth::Auto);
  EXPECT_EQ(smtp.Username, "hanako");
  EXPECT_EQ(smtp.Password, "pop-secret");
  EXPECT_EQ(pop3.Host(), "pop.example.jp");
  EXPECT_EQ(pop3.Port(), "110");
  EXPECT_EQ(pop3.Security(), TlsMode::StartTls);

  settings.smtpUser = "tim";
  settings.smtpPassword = "smtp-secret";
  ConfigureSmtpClient(settings, smtp);
  EXPECT_EQ(smtp.Username, "tim");
  EXPECT_EQ(smtp.Password, "smtp-secret");
}

}  // namespace
}  // namespace mf
