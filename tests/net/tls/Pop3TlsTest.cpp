// The POP3 client over TLS: STLS after the greeting and POP3S, and the
// refusals that must keep the password at home.
#include <gtest/gtest.h>

#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "tests/net/tls/TlsFixture.h"

namespace mf {
namespace {

using test::ScriptedServer;
using test::TestPki;

class Pop3TlsTest : public testing::TlsTestBase {
 protected:
  Pop3TlsTest() {
    client_.SetHost("127.0.0.1");
    client_.SetUserName("alice");
    client_.SetPassWord("secret");
    client_.OnRequestDone = [this](Pop3Client&, Pop3Request type, std::uint16_t error) {
      done_.emplace_back(type, error);
    };
  }

  int Run(const std::function<void()>& start, Pop3Request expected) {
    const std::size_t before = done_.size();
    start();
    if (!RunUntil([&] { return done_.size() > before; })) {
      ADD_FAILURE() << "request " << static_cast<int>(expected) << " never completed";
      return -1;
    }
    EXPECT_EQ(done_.back().first, expected);
    return done_.back().second;
  }

  Pop3Client client_{loop_};
  std::vector<std::pair<Pop3Request, int>> done_;
};

TEST_F(Pop3TlsTest, StlsSecuresTheSessionBeforeTheLogIn) {
  ScriptedServer server;
  server.Say("+OK ready <1896.697170952@dbc.mtview.ca.us>\r\n")
      .Expect("STLS\r\n")
      .Say("+OK begin TLS\r\n")
      .StartTls(Pki().Loopback())
      .Expect("USER alice\r\n")
      .Say("+OK\r\n")
      .Expect("PASS secret\r\n")
      .Say("+OK 2 messages\r\n")
      .Expect("RETR 1\r\n")
      .Say("+OK\r\nSubject: hi\r\n\r\n..dot\r\n" + std::string(5000, 'x') + "\r\n.\r\n")
      .Start();
  client_.SetPort(server.PortText());
  client_.SetSecurity(TlsMode::StartTls);
  std::vector<std::string> lines;
  client_.OnMessageLine = [&](Pop3Client& c) { lines.push_back(c.LastResponse()); };
  ASSERT_EQ(Run([&] { client_.Connect(); }, Pop3Request::Connect), 0) << client_.LastResponse();
  EXPECT_TRUE(client_.Secure());
  EXPECT_EQ(client_.Timestamp(), "<1896.697170952@dbc.mtview.ca.us>");
  EXPECT_EQ(Run([&] { client_.User(); }, Pop3Request::User), 0);
  EXPECT_EQ(Run([&] { client_.Pass(); }, Pop3Request::Pass), 0);
  client_.SetMsgNum(1);
  EXPECT_EQ(Run([&] { client_.Retr(); }, Pop3Request::Retr), 0);
  EXPECT_EQ(lines, (std::vector<std::string>{"Subject: hi", "", ".dot", std::string(4093, 'x'), std::string(907, 'x')}));
  client_.Abort();
  WaitFor(server);
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(Pop3TlsTest, ImplicitTlsGreetsOverTheSecureSession) {
  ScriptedServer server;
  server.StartTls(Pki().Loopback()).Say("+OK POP3S ready\r\n").Expect("QUIT\r\n").Say("+OK bye\r\n").CloseConnection().Start();
  client_.SetPort(server.PortText());
  client_.SetSecurity(TlsMode::Implicit);
  ASSERT_EQ(Run([&] { client_.Connect(); }, Pop3Request::Connect), 0) << client_.LastResponse();
  EXPECT_TRUE(client_.Secure());
  EXPECT_EQ(Run([&] { client_.Quit(); }, Pop3Request::Quit), 0);
  WaitFor(server);
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(Pop3TlsTest, RefusalsEndTheConnectWithoutAWordOfTheLogIn) {
  struct Case {
    const char* name;
    std::function<void(ScriptedServer&)> script;
    TlsMode mode;
    int error;
    const char* inClear;
  };
  const Case cases[] = {
      {"no STLS", [](ScriptedServer& s) { s.Say("+OK ready\r\n").Expect("STLS\r\n").Say("-ERR unknown command\r\n"); },
       TlsMode::StartTls, tls::kNotOffered, "STLS\r\n"},
      {"other host",
       [](ScriptedServer& s) { s.StartTls(Pki().Issue("pop.other.test", "")).Say("+OK ready\r\n"); },
       TlsMode::Implicit, tls::kWrongHost, ""},
      {"expired after STLS",
       [](ScriptedServer& s) {
         s.Say("+OK ready\r\n")
             .Expect("STLS\r\n")
             .Say("+OK\r\n")
             .StartTls(Pki().Issue("localhost", "127.0.0.1", TestPki::Issuer::TestAuthority,
                                   TestPki::Validity::Expired));
       },
       TlsMode::StartTls, tls::kExpired, "STLS\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server;
    c.script(server);
    server.Start();
    Pop3Client client(loop_);
    client.SetHost("127.0.0.1");
    client.SetPort(server.PortText());
    client.SetUserName("alice");
    client.SetPassWord("secret");
    client.SetSecurity(c.mode);
    int error = -1;
    client.OnRequestDone = [&](Pop3Client&, Pop3Request, std::uint16_t e) { error = e; };
    client.Open();
    ASSERT_TRUE(RunUntil([&] { return error >= 0; }));
    EXPECT_EQ(error, c.error) << client.LastResponse() << " / " << client.ErrorMessage();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.ProtocolState(), Pop3SessionState::Disconnected);
    WaitFor(server);
    EXPECT_EQ(server.Received(), c.inClear);
  }
}

}  // namespace
}  // namespace mf
