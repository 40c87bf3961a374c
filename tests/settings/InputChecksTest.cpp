// What the settings dialog and the address entry dialog accept: ports,
// mail addresses, and an SMTP port that would be the POP3 port.

#include "settings/InputChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "settings/LiveSettings.h"

namespace mf {
namespace {

struct TextCase {
  const char* text;  // UTF-8
  bool refused;
};

TEST(InputChecks, PortsAreEmptyOrFrom1To65535) {
  for (const TextCase& c : {TextCase{"", false}, TextCase{" ", false}, TextCase{"25", false},
                            TextCase{"0025", false}, TextCase{"1", false}, TextCase{"65535", false},
                            TextCase{"0", true}, TextCase{"65536", true}, TextCase{"99999999999", true},
                            TextCase{"-1", true}, TextCase{"2 5", true}, TextCase{"abc", true},
                            TextCase{"２５", true}}) {
    const auto problem = PortProblem(Sj(c.text));
    EXPECT_EQ(problem.has_value(), c.refused) << "'" << c.text << "'";
    if (problem) {
      EXPECT_NE(SjisToUtf8(*problem).find("1から65535"), std::string::npos);
    }
  }
}

// A refused address is named for what is wrong with it.
TEST(InputChecks, AddressesHaveTextOnBothSidesOfAnAtAndTheRefusalSaysWhatIsMissing) {
  struct AddressCase {
    const char* text;  // UTF-8
    const char* said;  // in the refusal; nullptr when accepted
  };
  const char* const noAt = "「@」がありません";
  const char* const forbidden = "空白や「<」「>」「,」は使えません";
  const char* const oneSide = "「@」の前後に文字が必要です";
  for (const AddressCase& c :
       {AddressCase{"", nullptr}, AddressCase{"taro@example.jp", nullptr}, AddressCase{" taro@example.jp ", nullptr},
        AddressCase{"taro.yamada+mf@mail.example.co.jp", nullptr}, AddressCase{"太郎@example.jp", nullptr},
        AddressCase{"taro", noAt}, AddressCase{"taro.example.jp", noAt}, AddressCase{"taro example.jp", noAt},
        AddressCase{"@example.jp", oneSide}, AddressCase{"taro@", oneSide}, AddressCase{"taro @example.jp", forbidden},
        AddressCase{"<taro@example.jp>", forbidden}, AddressCase{"taro@example.jp, jiro@example.jp", forbidden},
        AddressCase{"taro@exa\tmple.jp", forbidden}}) {
    const auto problem = MailAddressProblem(Sj(c.text));
    ASSERT_EQ(problem.has_value(), c.said != nullptr) << "'" << c.text << "'";
    if (problem) EXPECT_NE(SjisToUtf8(*problem).find(c.said), std::string::npos) << SjisToUtf8(*problem);
  }
}

struct SettingsCase {
  const char* name;
  const char* smtpServer;
  const char* smtpPort;
  ConnectionSecurity smtpSecurity;
  const char* pop3Server;
  const char* pop3Port;
  const char* mailAddress;
  std::vector<SettingsField> refused;
};

class CheckSettingsTest : public ::testing::TestWithParam<SettingsCase> {
 protected:
  platform::TemporaryFolder folder_;
  LiveSettings settings_{platform::IniFile(folder_.Path() + "MFMail.ini"), [](int, bool) {}, [](bool) {}};
};

TEST_P(CheckSettingsTest, RefusesEachBadFieldBesideItself) {
  const SettingsCase& c = GetParam();
  settings_.smtpServer = c.smtpServer;
  settings_.smtpPort = c.smtpPort;
  settings_.smtpSecurity = c.smtpSecurity;
  settings_.pop3Server = c.pop3Server;
  settings_.pop3Port = c.pop3Port;
  settings_.mailAddress = c.mailAddress;
  std::vector<SettingsField> refused;
  for (const SettingsProblem& problem : CheckSettings(settings_)) {
    refused.push_back(problem.field);
    EXPECT_FALSE(problem.text.empty());
  }
  EXPECT_EQ(refused, c.refused);
}

using enum SettingsField;
constexpr auto kNone = ConnectionSecurity::None;

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckSettingsTest,
    ::testing::Values(
        SettingsCase{"Usual", "mail.example.jp", "25", kNone, "mail.example.jp", "110", "taro@example.jp", {}},
        SettingsCase{"FirstStart", "", "25", kNone, "", "110", "", {}},
        SettingsCase{"EmptyPortsMeanTheUsualOnes", "mail.example.jp", "", kNone, "mail.example.jp", "", "", {}},
        SettingsCase{"SamePortSameServer", "mail.example.jp", "110", kNone, "mail.example.jp", "110", "",
                     {SmtpPort}},
        SettingsCase{"SamePortSameServerWrittenOtherwise", "Mail.Example.JP ", "0110", kNone, "mail.example.jp",
                     "110", "", {SmtpPort}},
        SettingsCase{"UsualPortOfTheEncryptionSameAsPop3", "mail.example.jp", "", ConnectionSecurity::StartTls,
                     "mail.example.jp", "587", "", {SmtpPort}},
        SettingsCase{"SamePortOtherServers", "smtp.example.jp", "110", kNone, "pop.example.jp", "110", "", {}},
        SettingsCase{"EverythingWrong", "mail.example.jp", "0", kNone, "mail.example.jp", "70000", "taro",
                     {SmtpPort, Pop3Port, MailAddress}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mf
