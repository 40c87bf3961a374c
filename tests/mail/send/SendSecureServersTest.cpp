// The send controller through the real Postfix when the settings ask for
// encryption and a log-in: the mail goes over STARTTLS or implicit TLS with
// the account's log-in, and a refused log-in reaches the user in Japanese.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/ShiftJis.h"
#include "mail/send/SendController.h"
#include "net/NetErrors.h"
#include "platform/Files.h"
#include "tests/mail/send/SendServersFixture.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

struct SecureCase {
  const char* name;
  ConnectionSecurity security;
  bool implicitPort;     // the SMTPS port, else the submission port
  const char* password;  // the SMTP log-in's
  bool delivered;
  int error;             // the failure the user is told of, 0 when delivered
};

class SendSecureServersTest : public testing::SendServersTestBase,
                              public ::testing::WithParamInterface<SecureCase> {
 protected:
  void SetUp() override {
    SendServersTestBase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ::setenv("SSL_CERT_FILE", servers_->AuthorityFile().c_str(), 1);
  }
};

TEST_P(SendSecureServersTest, SendsOnlyOverTheChosenEncryptionWithTheLogIn) {
  const SecureCase& c = GetParam();
  settings_.smtpServer = "localhost";
  settings_.smtpPort = std::to_string(c.implicitPort ? servers_->SmtpsPort() : servers_->SubmissionPort());
  settings_.smtpSecurity = c.security;
  settings_.smtpAuth = true;
  settings_.smtpUser = "bob";
  settings_.smtpPassword = c.password;
  settings_.mailAddress = MailServers::Address("bob");

  Composition mail;
  mail.to = MailServers::Address("alice");
  mail.subject = Sj("暗号化して送るメール");
  mail.body = Sj("髙橋さんへ") + "\r\n";
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  ASSERT_TRUE(RunToEnd(30s));

  const std::string folder = servers_->Maildir("alice") + "/new/";
  if (c.delivered) {
    ASSERT_EQ(events_, (std::vector<std::string>{"sent", "closed"})) << FailureShown();
    std::vector<std::string> names;
    loop_.RunUntil(
        [&] {
          names = platform::ListFolder(folder, "*", platform::ListKind::FilesOnly);
          return !names.empty();
        },
        10s);
    EXPECT_EQ(names.size(), 1u);
  } else {
    ASSERT_EQ(failures_.size(), 1u);
    // The log-in's own advice, then the server's words; the mail waits.
    EXPECT_EQ(failures_[0].reason.rfind(NetErrorTextJa(c.error), 0), 0u) << FailureShown();
    EXPECT_NE(failures_[0].reason.find(std::to_string(c.error)), std::string::npos) << FailureShown();
    EXPECT_TRUE(failures_[0].keptInOutbox);
    EXPECT_TRUE(ReadStoreFile("TransmittedHeader.txt").empty()) << "a refused mail was filed as sent";
    EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
    EXPECT_TRUE(platform::ListFolder(folder, "*", platform::ListKind::FilesOnly).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SendSecureServersTest,
    ::testing::Values(SecureCase{"StartTls", ConnectionSecurity::StartTls, false, MailServers::kPassword, true, 0},
                      SecureCase{"ImplicitTls", ConnectionSecurity::Tls, true, MailServers::kPassword, true, 0},
                      SecureCase{"WrongPassword", ConnectionSecurity::StartTls, false, "wrong", false, 535}),
    [](const ::testing::TestParamInfo<SecureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mf
