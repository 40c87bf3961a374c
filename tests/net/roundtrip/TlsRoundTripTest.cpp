// The clients over TLS against the real servers: Postfix with STARTTLS and
// a required log-in on its submission port and implicit TLS on another,
// Dovecot with STLS and POP3S, all with a certificate from the test
// authority the servers' script makes at start.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "mail/send/MessageBuilder.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/servers/MailServers.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

class TlsRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    servers_ = &test::SharedMailServers();
    if (servers_->Failed()) FAIL() << servers_->WhyNot();
    if (!servers_->Running()) GTEST_SKIP() << servers_->WhyNot();
    ::setenv("SSL_CERT_FILE", servers_->AuthorityFile().c_str(), 1);
  }

  std::set<std::string> Delivered(const std::string& user) const {
    std::set<std::string> names;
    for (const auto& name : platform::ListFolder(servers_->Maildir(user) + "/new", "*", platform::ListKind::FilesOnly)) {
      names.insert(name);
    }
    return names;
  }

  // Sends the same small mail to alice; returns the error of the first
  // request that failed, 0 when it went through.
  int Send(int port, TlsMode security, SmtpAuth auth, const std::string& password = MailServers::kPassword) {
    SmtpClient smtp(loop_);
    smtp.Host = "127.0.0.1";
    smtp.Port = std::to_string(port);
    smtp.SignOn = "client.mfmail.test";
    smtp.Security = security;
    smtp.AuthType = auth;
    smtp.Username = "bob";
    smtp.Password = password;
    smtp.EnvelopeFrom = MailServers::Address("bob");
    smtp.EnvelopeTo = {MailServers::Address("alice")};
    MessageFields fields;
    fields.from = MailServers::Address("bob");
    fields.to = {{"", MailServers::Address("alice")}};
    fields.subject = "same every time";
    fields.messageId = "<fixed@mfmail.test>";
    fields.date = clock_.Now();
    MessageBuilder message(fields, {"body line 1", ".a line with a dot", "body line 3"}, {});
    smtp.Message = [&message](std::string& line) { return message.NextLine(line); };
    int failed = 0;
    bool finished = false;
    std::vector<std::function<void()>> steps = {[&] { smtp.Helo(); }, [&] { smtp.Mail(); }, [&] { smtp.Quit(); }};
    std::size_t next = 0;
    smtp.OnRequestDone = [&](SmtpClient&, SmtpRequest type, std::uint16_t error) {
      if (error != 0 && failed == 0 && type != SmtpRequest::Quit) {
        failed = error;
        lastResponse_ = smtp.LastResponse();
        smtp.Quit();
        return;
      }
      if (type == SmtpRequest::Quit || next >= steps.size()) {
        finished = true;
        return;
      }
      steps[next++]();
    };
    smtp.Connect();
    if (!loop_.RunUntil([&] { return finished; }, 20s)) return -1;
    return failed;
  }

  // Retrieves message 1 of alice's mailbox.
  std::string Fetch(int port, TlsMode security, bool& secure) {
    Pop3Client pop3(loop_);
    pop3.SetHost("127.0.0.1");
    pop3.SetPort(std::to_string(port));
    pop3.SetSecurity(security);
    pop3.SetUserName("alice");
    pop3.SetPassWord(MailServers::kPassword);
    std::string message;
    pop3.OnMessageLine = [&](Pop3Client& sender) { message += sender.LastResponse() + "\r\n"; };
    std::vector<std::function<void()>> steps = {[&] { pop3.User(); }, [&] { pop3.Pass(); },
                                                [&] {
                                                  secure = pop3.Secure();
                                                  pop3.SetMsgNum(1);
                                                  pop3.Retr();
                                                },
                                                [&] { pop3.Quit(); }};
    std::size_t next = 0;
    bool finished = false;
    pop3.OnRequestDone = [&](Pop3Client&, Pop3Request type, std::uint16_t error) {
      if (error != 0 || type == Pop3Request::Quit || next >= steps.size()) {
        if (error != 0) ADD_FAILURE() << "POP3 request " << static_cast<int>(type) << ": " << pop3.LastResponse();
        finished = true;
        return;
      }
      steps[next++]();
    };
    pop3.Connect();
    EXPECT_TRUE(loop_.RunUntil([&] { return finished; }, 20s));
    return message;
  }

  platform::PollEventLoop loop_;
  FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9, 0, 540}};
  std::string lastResponse_;

  MailServers* servers_ = nullptr;
};

// What Postfix stored, from our own first header on: its Received lines
// name the route and differ by nature.
std::string OurPart(const std::string& stored) {
  const std::size_t from = stored.find("\nFrom: ");
  return from == std::string::npos ? stored : stored.substr(from + 1);
}

TEST_F(TlsRoundTripTest, EverySecureRouteDeliversWhatAPlainSendDelivers) {
  struct Route {
    const char* name;
    int port;
    TlsMode security;
    SmtpAuth auth;
  };
  const Route routes[] = {
      {"plain", servers_->SmtpPort(), TlsMode::None, SmtpAuth::None},
      {"STARTTLS, AUTH PLAIN", servers_->SubmissionPort(), TlsMode::StartTls, SmtpAuth::Plain},
      {"STARTTLS, AUTH CRAM-MD5", servers_->SubmissionPort(), TlsMode::StartTls, SmtpAuth::CramMd5},
      {"STARTTLS, AUTH LOGIN", servers_->SubmissionPort(), TlsMode::StartTls, SmtpAuth::Login},
      {"implicit TLS, automatic log-in", servers_->SmtpsPort(), TlsMode::Implicit, SmtpAuth::Auto},
  };
  std::string plain;
  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    const auto before = Delivered("alice");
    ASSERT_EQ(Send(route.port, route.security, route.auth), 0) << lastResponse_;
    ASSERT_TRUE(loop_.RunUntil([&] { return Delivered("alice").size() > before.size(); }, 10s));
    std::string name;
    for (const auto& file : Delivered("alice")) {
      if (!before.count(file)) name = file;
    }
    const auto file = platform::ReadFile(servers_->Maildir("alice") + "/new/" + name);
    ASSERT_TRUE(file.has_value());
    const std::string& stored = *file;
    if (plain.empty()) {
      plain = OurPart(stored);
      ASSERT_NE(plain.find("\n.a line with a dot\n"), std::string::npos) << plain;
    } else {
      EXPECT_EQ(OurPart(stored), plain);
      EXPECT_NE(stored.find("using TLS"), std::string::npos) << "Postfix saw no TLS";
    }
  }
}

// The outbox sends its mails in one session, greeting again before each.
TEST_F(TlsRoundTripTest, SecondMailOfASessionGreetsAgainWithoutLoggingInTwice) {
  SmtpClient smtp(loop_);
  smtp.Host = "127.0.0.1";
  smtp.Port = std::to_string(servers_->SubmissionPort());
  smtp.SignOn = "client.mfmail.test";
  smtp.Security = TlsMode::StartTls;
  smtp.AuthType = SmtpAuth::Auto;
  smtp.Username = "bob";
  smtp.Password = MailServers::kPassword;
  smtp.EnvelopeFrom = MailServers::Address("bob");
  smtp.EnvelopeTo = {MailServers::Address("alice")};
  // Each Mail sends the same header and an empty text.
  MessageFields fields;
  fields.from = MailServers::Address("bob");
  fields.to = {{"", MailServers::Address("alice")}};
  std::unique_ptr<MessageBuilder> message;
  smtp.Message = [&](std::string& line) {
    if (!message) message = std::make_unique<MessageBuilder>(fields, std::vector<std::string>{}, std::vector<std::string>{});
    if (message->NextLine(line)) return true;
    message.reset();
    return false;
  };
  std::vector<std::string> commands;
  smtp.OnCommand = [&](SmtpClient&, const std::string& command) { commands.push_back(command.substr(0, 4)); };
  std::vector<std::function<void()>> steps = {[&] { smtp.Helo(); }, [&] { smtp.Mail(); }, [&] { smtp.Helo(); },
                                              [&] { smtp.Mail(); }, [&] { smtp.Quit(); }};
  std::size_t next = 0;
  std::string failure;
  bool finished = false;
  smtp.OnRequestDone = [&](SmtpClient&, SmtpRequest type, std::uint16_t error) {
    if (error != 0) failure = std::to_string(static_cast<int>(type)) + ": " + smtp.LastResponse();
    if (error != 0 || next >= steps.size()) {
      finished = true;
      return;
    }
    steps[next++]();
  };
  smtp.Connect();
  ASSERT_TRUE(loop_.RunUntil([&] { return finished; }, 20s));
  EXPECT_EQ(failure, "");
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "AUTH"), 1);
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "MAIL"), 2);
}

TEST_F(TlsRoundTripTest, SubmissionRefusesAWrongPasswordAndAPlainConnection) {
  EXPECT_EQ(Send(servers_->SubmissionPort(), TlsMode::StartTls, SmtpAuth::Auto, "wrong"), 535) << lastResponse_;
  EXPECT_FALSE(NetErrorTextJa(535).empty());
  // Without TLS the submission port offers no log-in at all.
  EXPECT_EQ(Send(servers_->SubmissionPort(), TlsMode::None, SmtpAuth::Auto), tls::kNoAuthMechanism) << lastResponse_;
}

TEST_F(TlsRoundTripTest, FetchOverPop3sAndStlsMatchesAPlainFetch) {
  if (Delivered("alice").empty()) {
    ASSERT_EQ(Send(servers_->SmtpPort(), TlsMode::None, SmtpAuth::None), 0);
  }
  ASSERT_TRUE(loop_.RunUntil([&] { return !Delivered("alice").empty(); }, 10s));
  bool secure = true;
  const std::string plain = Fetch(servers_->Pop3Port(), TlsMode::None, secure);
  EXPECT_FALSE(secure);
  ASSERT_NE(plain.find("body line 1"), std::string::npos) << plain;
  EXPECT_EQ(Fetch(servers_->Pop3Port(), TlsMode::StartTls, secure), plain);
  EXPECT_TRUE(secure);
  EXPECT_EQ(Fetch(servers_->Pop3sPort(), TlsMode::Implicit, secure), plain);
  EXPECT_TRUE(secure);
}

}  // namespace
}  // namespace mf
