#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "base/Base64.h"
#include "net/Md5.h"
#include "tests/net/smtp/SmtpFixture.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;

// A client over the in-process pipe to a scripted server.
class SmtpOverPipe : public testing::SmtpTestBase {
 protected:
  SmtpOverPipe() : SmtpTestBase(/*overPipe=*/true) {}
  test::ScriptedPipePeer server{timers_, pipe_};
};

class SmtpSessionTest : public SmtpOverPipe {};

TEST_F(SmtpSessionTest, ReplySplitAcrossReadsAndMultiLineEhloCompleteOnce) {
  server.Say("220-first greeting line\r\n22")
      .Pause()
      .Say("0 ready\r\n")
      .ExpectLine()
      .Say("250-sink\r\n250-SIZE 100")
      .Pause()
      .Say("0\r\n25")
      .Pause()
      .Say("0 HELP\r\n")
      .Start();
  EXPECT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), 0);
  EXPECT_EQ(cli_.State(), ClientState::Ready);
  EXPECT_EQ(Run([&] { cli_.Ehlo(); }, SmtpRequest::Ehlo), 0);
  EXPECT_EQ(cli_.LastResponse(), "250 HELP");
  loop_.RunUntilIdle();
  EXPECT_EQ(done_.size(), 2u);
  EXPECT_TRUE(Displayed("> EHLO client.test"));
  EXPECT_TRUE(Displayed("< 250-SIZE 1000"));
  cli_.Abort();
  WaitFor(server);
}

TEST_F(SmtpSessionTest, RefusedRecipientInTheMiddleDoesNotStopTheOthers) {
  server.Say("220 ready\r\n")
      .ExpectLine()
      .Say("250 hello\r\n")
      .ExpectLine()
      .Say("250 ok\r\n")
      .ExpectLine()
      .Say("550 no such user\r\n")
      .ExpectLine()
      .Say("251 will forward\r\n")
      .ExpectLine()
      .Say("553 bad\r\n")
      .Start();
  ConnectAndHelo(server);
  cli_.EnvelopeTo = {"a@example.jp", " <b@example.jp> ", "Carol <c@example.jp>"};
  EXPECT_EQ(Run([&] { cli_.RcptTo(); }, SmtpRequest::RcptTo), 0) << "the last reply decides";
  EXPECT_EQ(cli_.ErrorMessage(), "550 no such user");
  cli_.EnvelopeTo = {"d@example.jp"};
  EXPECT_EQ(Run([&] { cli_.RcptTo(); }, SmtpRequest::RcptTo), 553);
  EXPECT_EQ(cli_.ErrorMessage(), "550 no such user") << "the first refusal is kept";
  cli_.Abort();
  WaitFor(server);
  EXPECT_EQ(server.ReceivedLines(), (std::vector<std::string>{"HELO client.test", "RCPT TO:<a@example.jp>",
                                                "RCPT TO:<b@example.jp>", "RCPT TO:Carol <c@example.jp>",
                                                "RCPT TO:<d@example.jp>"}));
}

TEST_F(SmtpSessionTest, MailChainThenQuitEndsTheSession) {
  server.Say("220 ready\r\n")
      .ExpectLine()
      .Say("250 hello\r\n")
      .ExpectLine()
      .Say("250 ok\r\n")
      .ExpectLine()
      .Say("250 ok\r\n")
      .ExpectLine()
      .Say("354 go ahead\r\n")
      .ExpectThrough("\r\n.\r\n")
      .Say("250 queued\r\n")
      .ExpectLine()
      .Say("221 bye\r\n")
      .CloseConnection();
  ConnectAndHelo(server);
  cli_.EnvelopeFrom = "taro@example.jp";
  cli_.EnvelopeTo = {"hanako@example.jp"};
  cli_.Message = [sent = false](std::string& line) mutable {
    line = "Subject: one line";
    return !std::exchange(sent, true);
  };
  EXPECT_EQ(Run([&] { cli_.Mail(); }, SmtpRequest::Mail), 0) << cli_.ErrorMessage();
  events_.clear();
  EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
  WaitFor(server);
  loop_.RunUntilIdle();
  EXPECT_EQ(server.ReceivedLines(),
            (std::vector<std::string>{"HELO client.test", "MAIL FROM:<taro@example.jp>", "RCPT TO:<hanako@example.jp>",
                                      "DATA", "Subject: one line", ".", "QUIT"}));
  EXPECT_FALSE(cli_.Connected());
  // The session ends after QUIT was answered; its loss is no second completion.
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "closed 0"), 1);
  EXPECT_EQ(std::count_if(events_.begin(), events_.end(), [](auto& e) { return e.rfind("done", 0) == 0; }), 1);

  // Quit without a connection completes at once, but not inside the call.
  EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
}

TEST_F(SmtpSessionTest, RefusedMailFromEndsTheChainWithItsCode) {
  server.Say("220 ready\r\n").ExpectLine().Say("250 hello\r\n").ExpectLine().Say("451 try later\r\n").Start();
  ConnectAndHelo(server);
  cli_.EnvelopeFrom = "Taro <taro@example.jp>";
  cli_.EnvelopeTo = {"hanako@example.jp"};
  EXPECT_EQ(Run([&] { cli_.Mail(); }, SmtpRequest::Mail), 451);
  EXPECT_EQ(cli_.ErrorMessage(), "451 try later");
  cli_.Abort();
  WaitFor(server);
  EXPECT_EQ(LineSent(server, 1), "MAIL FROM:Taro <taro@example.jp>");
}

TEST_F(SmtpSessionTest, GreetingOtherThan220ClosesTheSession) {
  server.Say("554 go away\r\n").Start();
  EXPECT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), wsa::kInterrupted);
  EXPECT_EQ(cli_.ErrorMessage(), "554 go away");
  EXPECT_EQ(events_.front(), "closed 0");
  EXPECT_FALSE(cli_.Connected());
  WaitFor(server);
}

// What a real socket and name lookup report.
class SmtpOverSocket : public testing::SmtpTestBase {};

TEST_F(SmtpOverSocket, ConnectFailuresReportTheSocketError) {
  cli_.Port = std::to_string(ScriptedServer::ClosedPort());
  EXPECT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), wsa::kConnectionRefused);
  EXPECT_EQ(cli_.LastResponse(), "500 Connection refused (socket error #10061)");
  EXPECT_EQ(cli_.State(), ClientState::Ready);

  cli_.Host = "no-such-host.invalid";
  int error = Run([&] { cli_.Connect(); }, SmtpRequest::Connect);
  if (error == wsa::kTryAgain) {
    EXPECT_EQ(cli_.LastResponse(), "500 Temporary failure in name resolution (socket error #11002)");  // no resolver
  } else {
    EXPECT_EQ(error, wsa::kHostNotFound);
    EXPECT_EQ(cli_.LastResponse(), "500 Name or service not known (socket error #11001)");
  }

  cli_.Host = "127.0.0.1";
  cli_.Port = "no-such-service";
  EXPECT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), 500);
  EXPECT_EQ(cli_.LastResponse(),
            "500 ESocketException: connect: WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004");

  // Open reports the failing step through the chain.
  cli_.Port = std::to_string(ScriptedServer::ClosedPort());
  EXPECT_EQ(Run([&] { cli_.Open(); }, SmtpRequest::Open), wsa::kConnectionRefused);
}

TEST_F(SmtpSessionTest, SilentServerTimesOut) {
  server.Say("220 ready\r\n").ExpectLine().Start();  // never answers HELO
  cli_.Timeout = 1;
  ASSERT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), 0);
  cli_.Helo();
  timers_.Elapse(999ms);
  EXPECT_EQ(done_.size(), 1u);
  timers_.Elapse(1ms);
  ASSERT_EQ(done_.size(), 2u);
  EXPECT_EQ(done_.back(), std::make_pair(SmtpRequest::Helo, int{wsa::kTimedOut}));
  EXPECT_EQ(cli_.LastResponse(), "500 Connection timed out (socket error #10060)");
  EXPECT_FALSE(cli_.Connected());
  EXPECT_EQ(cli_.State(), ClientState::Ready);
  WaitFor(server);
  timers_.Elapse(1h);
  EXPECT_EQ(done_.size(), 2u) << "the lost session must not complete the request again";
}

TEST_F(SmtpSessionTest, SilentServerTimesOutAChainedRequest) {
  server.Start();  // no greeting at all
  cli_.Timeout = 1;
  cli_.Open();
  timers_.Elapse(1s);
  EXPECT_EQ(done_, (std::vector<std::pair<SmtpRequest, int>>{{SmtpRequest::Open, wsa::kTimedOut}}));
  EXPECT_EQ(cli_.State(), ClientState::Ready);
  WaitFor(server);
}

TEST_F(SmtpSessionTest, OverlongReplyLineFailsTheRequest) {
  server.Say("220 ready\r\n").ExpectLine().Say("250 " + std::string(5000, 'x')).Start();
  ASSERT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), 0);
  EXPECT_EQ(Run([&] { cli_.Helo(); }, SmtpRequest::Helo), 500);
  EXPECT_EQ(cli_.ErrorMessage(), "500 Reply line too long (more than 4096 bytes without CR LF)");
  EXPECT_FALSE(cli_.Connected());
  WaitFor(server);
}

TEST_F(SmtpSessionTest, MisuseThrowsAtTheCall) {
  auto message = [](auto call) {
    try {
      call();
    } catch (const SmtpException& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { cli_.Helo(); }), "SMTP component not connected");
  EXPECT_EQ(message([&] { cli_.Mail(); }), "SMTP component not connected");

  server.Say("220 ready\r\n").ExpectLine().Say("221 bye\r\n").CloseConnection().Start();
  cli_.Connect();
  EXPECT_EQ(message([&] { cli_.Connect(); }), "SMTP component not ready");
  ASSERT_TRUE(loop_.RunUntil([&] { return !done_.empty(); }, 10s));
  EXPECT_EQ(message([&] { cli_.Connect(); }), "SMTP component already connected");
  EXPECT_EQ(message([&] { cli_.Open(); }), "SMTP component already connected");
  EXPECT_EQ(message([&] { cli_.RcptTo(); }), "No recipients");
  EXPECT_EQ(message([&] { cli_.Mail(); }), "No recipients");
  EXPECT_EQ(cli_.State(), ClientState::Ready);
  EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
  WaitFor(server);
}

TEST_F(SmtpSessionTest, AbortDuringAChainReports426) {
  server.Say("220 ready\r\n")
      .ExpectLine()
      .Say("250 hello\r\n")
      .ExpectLine()  // MAIL FROM, never answered
      .Start();
  ConnectAndHelo(server);
  cli_.EnvelopeFrom = "a@example.jp";
  cli_.EnvelopeTo = {"b@example.jp"};
  cli_.OnCommand = [&](SmtpClient&, const std::string& command) {
    if (command.rfind("MAIL", 0) == 0) {
      loop_.Post([&] { cli_.Abort(); });
    }
  };
  EXPECT_EQ(Run([&] { cli_.Mail(); }, SmtpRequest::Mail), 426);
  EXPECT_EQ(cli_.ErrorMessage(), "426 Operation aborted.");
  EXPECT_EQ(cli_.State(), ClientState::Ready);
  WaitFor(server);
}

// --- authentication ---------------------------------------------------------

class SmtpAuthTest : public SmtpOverPipe {
 protected:
  SmtpAuthTest() {
    cli_.Username = "tim";
    cli_.Password = "tanstaaftanstaaf";
  }

  // A server that accepts EHLO and AUTH and sends one CRAM-MD5 challenge;
  // the client's answer is its third line.
  void CramMd5Dialogue(const std::string& challenge) {
    server.Say("220 ready\r\n")
        .ExpectLine()
        .Say("250 sink\r\n")
        .ExpectLine()
        .Say("334 " + Base64Encode(challenge) + "\r\n")
        .ExpectLine()
        .Say("235 ok\r\n")
        .Start();
  }

  void ExpectNoSecretShown() {
    ASSERT_FALSE(display_.empty()) << "nothing was shown, so nothing was checked";
    for (const auto& line : display_) {
      EXPECT_EQ(line.find(cli_.Password), std::string::npos) << line;
      EXPECT_EQ(line.find(Base64Encode(cli_.Password)), std::string::npos) << line;
    }
  }
};

TEST_F(SmtpAuthTest, LoginStepsThroughBothChallenges) {
  server.Say("220 ready\r\n")
      .ExpectLine()
      .Say("250-sink\r\n250 AUTH LOGIN PLAIN CRAM-MD5\r\n")
      .ExpectLine()
      .Say("334 VXNlcm5hbWU6\r\n")
      .ExpectLine()
      .Say("334 UGFzc3dvcmQ6\r\n")
      .ExpectLine()
      .Say("235 welcome\r\n")
      .Start();
  cli_.AuthType = SmtpAuth::Login;
  EXPECT_EQ(Run([&] { cli_.Open(); }, SmtpRequest::Open), 0) << cli_.ErrorMessage();
  cli_.Abort();
  WaitFor(server);
  EXPECT_EQ(server.ReceivedLines(), (std::vector<std::string>{"EHLO client.test", "AUTH LOGIN", Base64Encode("tim"),
                                                Base64Encode("tanstaaftanstaaf")}));
  ExpectNoSecretShown();
}

TEST_F(SmtpAuthTest, PlainSendsTheLogInNameAndPasswordInOneLine) {
  server.Say("220 ready\r\n").ExpectLine().Say("250 sink\r\n").ExpectLine().Say("535 denied\r\n").Start();
  cli_.AuthType = SmtpAuth::Plain;
  cli_.EnvelopeFrom = "<tim@example.jp>";
  EXPECT_EQ(Run([&] { cli_.Open(); }, SmtpRequest::Open), 535);
  EXPECT_EQ(cli_.ErrorMessage(), "535 denied");
  cli_.Abort();
  WaitFor(server);
  EXPECT_EQ(LineSent(server, 1), "AUTH PLAIN " + Base64Encode(std::string("tim\0tim\0tanstaaftanstaaf", 24)));
  EXPECT_TRUE(Displayed("> AUTH PLAIN ********"));
  ExpectNoSecretShown();
}

TEST_F(SmtpAuthTest, CramMd5AnswersTheRfc2195Example) {
  CramMd5Dialogue("<1896.697170952@postoffice.reston.mci.net>");
  cli_.AuthType = SmtpAuth::CramMd5;
  EXPECT_EQ(Run([&] { cli_.Open(); }, SmtpRequest::Open), 0);
  cli_.Abort();
  WaitFor(server);
  EXPECT_EQ(LineSent(server, 2), "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw");
  ExpectNoSecretShown();
}

// RFC 2202 test case 6: a key longer than the block is hashed first, as
// servers compute it, not cut.
TEST_F(SmtpAuthTest, CramMd5HashesAPasswordLongerThanTheBlock) {
  CramMd5Dialogue("Test Using Larger Than Block-Size Key - Hash Key First");
  cli_.AuthType = SmtpAuth::CramMd5;
  cli_.Username = "u";
  cli_.Password = std::string(80, '\xaa');
  EXPECT_EQ(Run([&] { cli_.Open(); }, SmtpRequest::Open), 0);
  cli_.Abort();
  WaitFor(server);
  EXPECT_EQ(LineSent(server, 2), Base64Encode("u 6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"));
}

TEST_F(SmtpAuthTest, AuthFailuresWithoutAServerDialogue) {
  server.Say("220 ready\r\n")
      .ExpectLine()
      .Say("500 what is EHLO\r\n")
      .ExpectLine()
      .Say("250 hello\r\n")
      .ExpectLine()
      .Say("250 sink\r\n")
      .ExpectLine()
      .Say("334\r\n")
      .Start();
  cli_.AuthType = SmtpAuth::CramMd5;
  // An old server: EHLO fails, HELO is used instead and AUTH is dropped.
  EXPECT_EQ(Run([&] { cli_.Open(); }, SmtpRequest::Open), 0);
  EXPECT_EQ(Run([&] { cli_.Auth(); }, SmtpRequest::Auth), 500);
  EXPECT_EQ(cli_.LastResponse(), "500 ESMTP not supported.");
  EXPECT_EQ(Run([&] { cli_.Ehlo(); }, SmtpRequest::Ehlo), 0);
  cli_.AuthType = SmtpAuth::None;
  EXPECT_EQ(Run([&] { cli_.Auth(); }, SmtpRequest::Auth), 500);
  EXPECT_EQ(cli_.LastResponse(), "500 No Authorization Type Selected.");
  cli_.AuthType = SmtpAuth::CramMd5;
  EXPECT_EQ(Run([&] { cli_.Auth(); }, SmtpRequest::Auth), 500);
  EXPECT_EQ(cli_.LastResponse(), "500 Malformed MD5 Challenge: 334");
  cli_.Abort();
  WaitFor(server);
}

}  // namespace
}  // namespace mf
