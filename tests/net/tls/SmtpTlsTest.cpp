// The SMTP client over TLS against a scripted server with certificates from
// a test authority: implicit TLS, STARTTLS with EHLO again, the automatic
// log-in, and every refusal with its own number and nothing said in clear.
#include <gtest/gtest.h>

#include "base/Base64.h"
#include "net/NetErrors.h"
#include "net/SmtpClient.h"
#include "tests/net/tls/TlsFixture.h"

namespace mf {
namespace {

using test::ScriptedServer;
using test::ServerCertificate;
using test::TestPki;

class SmtpTlsTest : public testing::TlsTestBase {
 protected:
  SmtpTlsTest() {
    cli_.Host = "127.0.0.1";
    cli_.SignOn = "client.test";
    cli_.Username = "tim";
    cli_.Password = "secret";
    cli_.OnRequestDone = [this](SmtpClient&, SmtpRequest type, std::uint16_t error) {
      done_.emplace_back(type, error);
    };
  }

  int Run(const std::function<void()>& start, SmtpRequest expected) {
    const std::size_t before = done_.size();
    start();
    if (!RunUntil([&] { return done_.size() > before; })) {
      ADD_FAILURE() << "request " << static_cast<int>(expected) << " never completed";
      return -1;
    }
    EXPECT_EQ(done_.back().first, expected);
    return done_.back().second;
  }

  int Connect(ScriptedServer& server) {
    cli_.Port = server.PortText();
    return Run([&] { cli_.Connect(); }, SmtpRequest::Connect);
  }

  // The server's greeting, its EHLO reply with `capabilities`, STARTTLS
  // accepted and the handshake with `certificate`.
  static void UpgradeDialogue(ScriptedServer& server, const ServerCertificate& certificate,
                              const std::string& capabilities = "250-STARTTLS\r\n250 8BITMIME\r\n") {
    server.Say("220 ready\r\n")
        .Expect("EHLO client.test\r\n")
        .Say("250-mail.test\r\n" + capabilities)
        .Expect("STARTTLS\r\n")
        .Say("220 go ahead\r\n")
        .StartTls(certificate);
  }

  SmtpClient cli_{loop_};
  std::vector<std::pair<SmtpRequest, int>> done_;
};

TEST_F(SmtpTlsTest, ImplicitTlsCarriesTheWholeSessionByHostName) {
  ScriptedServer server;
  server.StartTls(Pki().Loopback())
      .Say("220 secure\r\n")
      .ExpectLine()
      .Say("250 hello\r\n")
      .Expect("QUIT\r\n")
      .Say("221 bye\r\n")
      .CloseConnection()
      .Start();
  cli_.Host = "localhost";
  cli_.Security = TlsMode::Implicit;
  ASSERT_EQ(Connect(server), 0) << cli_.LastResponse();
  EXPECT_TRUE(cli_.Secure());
  EXPECT_EQ(Run([&] { cli_.Helo(); }, SmtpRequest::Helo), 0);
  EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
  WaitFor(server);
  EXPECT_EQ(server.ReceivedLines(), (std::vector<std::string>{"HELO client.test", "QUIT"}));
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

// RFC 3207: after the upgrade the client greets again and forgets what the
// server offered in clear; the log-in picks PLAIN, now that it is safe.
TEST_F(SmtpTlsTest, StartTlsGreetsAgainAndLogsInWithinHelo) {
  ScriptedServer server;
  UpgradeDialogue(server, Pki().Loopback(), "250-STARTTLS\r\n250 AUTH LOGIN\r\n");
  server.Expect("EHLO client.test\r\n")
      .Say("250-mail.test\r\n250 AUTH PLAIN LOGIN\r\n")
      .ExpectLine()
      .Say("235 welcome\r\n")
      .Start();
  cli_.Security = TlsMode::StartTls;
  cli_.AuthType = SmtpAuth::Auto;
  ASSERT_EQ(Connect(server), 0) << cli_.LastResponse();
  EXPECT_TRUE(cli_.Secure());
  EXPECT_EQ(Run([&] { cli_.Helo(); }, SmtpRequest::Helo), 0) << cli_.LastResponse();
  cli_.Abort();
  WaitFor(server);
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
  EXPECT_EQ(server.ReceivedLines().back(), "AUTH PLAIN " + Base64Encode(std::string("tim\0tim\0secret", 14)));
}

TEST_F(SmtpTlsTest, CertificateRefusalsHaveTheirOwnNumbersAndNothingGoesInClear) {
  struct Case {
    const char* name;
    ServerCertificate certificate;
    TlsMode mode;
    int error;
  };
  const Case cases[] = {
      {"unknown authority", Pki().Issue("localhost", "127.0.0.1", TestPki::Issuer::Stranger), TlsMode::Implicit,
       tls::kUntrusted},
      {"other host", Pki().Issue("other.test", ""), TlsMode::Implicit, tls::kWrongHost},
      {"expired", Pki().Issue("localhost", "127.0.0.1", TestPki::Issuer::TestAuthority, TestPki::Validity::Expired),
       TlsMode::Implicit, tls::kExpired},
      {"unknown authority after STARTTLS", Pki().Issue("localhost", "127.0.0.1", TestPki::Issuer::Stranger),
       TlsMode::StartTls, tls::kUntrusted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    if (c.mode == TlsMode::Implicit) {
      server.StartTls(c.certificate).Say("220 secure\r\n");
    } else {
      UpgradeDialogue(server, c.certificate);
    }
    server.Start();
    SmtpClient cli(loop_);
    cli.Host = "127.0.0.1";
    cli.Port = server.PortText();
    cli.SignOn = "client.test";
    cli.Security = c.mode;
    cli.AuthType = SmtpAuth::Auto;
    int error = -1;
    cli.OnRequestDone = [&](SmtpClient&, SmtpRequest, std::uint16_t e) { error = e; };
    cli.Connect();
    ASSERT_TRUE(RunUntil([&] { return error >= 0; }));
    EXPECT_EQ(error, c.error) << cli.LastResponse();
    EXPECT_NE(cli.LastResponse().find("(TLS error #" + std::to_string(c.error) + ")"), std::string::npos)
        << cli.LastResponse();
    EXPECT_FALSE(cli.Connected());
    EXPECT_FALSE(NetErrorTextJa(error).empty());
    WaitFor(server);
    const std::string inClear = c.mode == TlsMode::Implicit ? "" : "EHLO client.test\r\nSTARTTLS\r\n";
    EXPECT_EQ(server.Received(), inClear);
  }
}

TEST_F(SmtpTlsTest, ServerWithoutStartTlsIsRefusedBeforeAnythingElse) {
  ScriptedServer server;
  server.Say("220 ready\r\n").Expect("EHLO client.test\r\n").Say("250-mail.test\r\n250 AUTH PLAIN\r\n").Start();
  cli_.Security = TlsMode::StartTls;
  cli_.AuthType = SmtpAuth::Auto;
  EXPECT_EQ(Connect(server), tls::kNotOffered);
  EXPECT_FALSE(cli_.Connected());
  WaitFor(server);
  EXPECT_EQ(server.Received(), "EHLO client.test\r\n");
}

TEST_F(SmtpTlsTest, AutomaticLogInNeverSendsThePasswordInClear) {
  struct Case {
    const char* offer;
    int error;
    const char* command;  // what the client says after EHLO; empty: nothing
  };
  const Case cases[] = {
      {"AUTH PLAIN LOGIN", tls::kNoAuthMechanism, ""},
      {"AUTH=LOGIN", tls::kNoAuthMechanism, ""},
      {"AUTH PLAIN LOGIN CRAM-MD5", 535, "AUTH CRAM-MD5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offer);
    ScriptedServer server;
    server.Say("220 ready\r\n").ExpectLine().Say(std::string("250-mail.test\r\n250 ") + c.offer + "\r\n");
    if (*c.command != '\0') {
      server.ExpectLine().Say("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2U+\r\n").ExpectLine().Say("535 no\r\n");
    }
    server.Start();
    SmtpClient cli(loop_);
    cli.Host = "127.0.0.1";
    cli.Port = server.PortText();
    cli.SignOn = "client.test";
    cli.AuthType = SmtpAuth::Auto;
    cli.Password = "secret";
    std::vector<int> errors;
    std::vector<SmtpRequest> types;
    cli.OnRequestDone = [&](SmtpClient&, SmtpRequest type, std::uint16_t e) {
      errors.push_back(e);
      types.push_back(type);
    };
    cli.Connect();
    ASSERT_TRUE(RunUntil([&] { return errors.size() == 1; }));
    ASSERT_EQ(errors[0], 0);
    cli.Helo();
    ASSERT_TRUE(RunUntil([&] { return errors.size() == 2; }));
    EXPECT_EQ(errors[1], c.error) << cli.LastResponse();
    EXPECT_EQ(types[1], SmtpRequest::Helo) << "the log-in is part of Helo, whatever its steps";
    cli.Abort();
    WaitFor(server);
    const auto lines = server.ReceivedLines();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "EHLO client.test");
    EXPECT_EQ(lines.size() > 1 ? lines[1] : std::string(), c.command);
    EXPECT_EQ(server.Received().find("secret"), std::string::npos);
  }
}

TEST_F(SmtpTlsTest, HandshakeThatStallsTimesOutAndOneCutShortFailsCleanly) {
  {
    ScriptedServer server;
    server.StaySilent().Start();
    cli_.Security = TlsMode::Implicit;
    cli_.Timeout = 1;
    EXPECT_EQ(Connect(server), wsa::kTimedOut);
    EXPECT_FALSE(cli_.Connected());
  }
  {
    ScriptedServer server;
    server.Pause(std::chrono::milliseconds(100)).CloseConnection().Start();
    cli_.Timeout = 10;
    EXPECT_EQ(Connect(server), tls::kClosedInHandshake) << cli_.LastResponse();
    EXPECT_EQ(cli_.State(), ClientState::Ready);
    WaitFor(server);
  }
}

}  // namespace
}  // namespace mf
