#include "net/Pop3Client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/PollEventLoop.h"
#include "tests/net/support/PipeTransport.h"
#include "tests/net/support/ScriptedServer.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::ScriptedPipePeer;
using test::ScriptedServer;

const std::string kGreeting = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n";

// A client over an in-process pipe to a scripted server that records what
// it reports, in order.
class Pop3ClientTest : public ::testing::Test {
 protected:
  Pop3ClientTest() { Watch(client); }

  void Watch(Pop3Client& watched) {
    watched.SetHost("127.0.0.1");
    watched.SetUserName(" alice ");
    watched.SetPassWord("secret");
    watched.OnRequestDone = [this](Pop3Client&, Pop3Request type, std::uint16_t error) {
      if (insideCall) firedInsideCall = true;
      events.push_back("done " + std::to_string(static_cast<int>(type)) + " " + std::to_string(error));
      done = true;
    };
    watched.OnSessionClosed = [this](Pop3Client&, std::uint16_t error) {
      events.push_back("closed " + std::to_string(error));
    };
    watched.OnDisplay = [this](Pop3Client&, const std::string& text) { display.push_back(text); };
    watched.OnMessageBegin = [this](Pop3Client&) { events.push_back("begin"); };
    watched.OnMessageEnd = [this](Pop3Client&) { events.push_back("end"); };
    watched.OnMessageLine = [this](Pop3Client& sender) { lines.push_back(sender.LastResponse()); };
  }

  // Starts a request and runs the loop until it completes.
  void Request(const std::function<void()>& start, std::chrono::milliseconds limit = 5s) {
    done = false;
    insideCall = true;
    start();
    insideCall = false;
    ASSERT_TRUE(loop.RunUntil([this] { return done; }, limit)) << "no completion";
    EXPECT_FALSE(firedInsideCall) << "OnRequestDone fired inside the starting call";
  }

  void ConnectAndLogIn() {
    server.Start();
    Request([this] { client.Connect(); });
    Request([this] { client.User(); });
    Request([this] { client.Pass(); });
    ASSERT_EQ(client.ProtocolState(), Pop3SessionState::Transaction);
    events.clear();
  }

  void ExpectServerSaw(const std::string& bytes) {
    server.Finish();
    EXPECT_EQ(server.Received(), bytes);
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
  }

  platform::PollEventLoop loop;
  test::SteppedTimers timers{loop};
  ScriptedPipePeer server{timers};
  Pop3Client client{timers, std::make_unique<test::PipeTransport>(timers, server.peer)};
  std::vector<std::string> events;
  std::vector<std::string> display;
  std::vector<std::string> lines;
  bool done = false;
  bool insideCall = false;
  bool firedInsideCall = false;
};

ScriptedPipePeer& LogIn(ScriptedPipePeer& server) {
  return server.Say(kGreeting)
      .Expect("USER alice\r\n")
      .Say("+OK\r\n")
      .Expect("PASS secret\r\n")
      .Say("+OK maildrop ready\r\n");
}

TEST_F(Pop3ClientTest, LogsInReadsStatAndQuitsAfterTheClose) {
  LogIn(server).Expect("STAT\r\n").SayInPieces("+OK 3 1200\r\n", 4).Expect("QUIT\r\n").Say("+OK bye\r\n");
  ConnectAndLogIn();
  Request([this] { client.Stat(); });
  EXPECT_EQ(client.MsgCount(), 3);
  EXPECT_EQ(client.MsgSize(), 1200);
  Request([this] { client.Quit(); });
  // The close is reported first, then QUIT, always as a success.
  EXPECT_EQ(events, (std::vector<std::string>{"done 5 0", "closed 0", "done 4 0"}));
  EXPECT_EQ(client.ProtocolState(), Pop3SessionState::Disconnected);
  EXPECT_FALSE(client.Connected());
  ExpectServerSaw("USER alice\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
}

TEST_F(Pop3ClientTest, DisplayNeverShowsThePassword) {
  LogIn(server);
  ConnectAndLogIn();
  EXPECT_EQ(display[0], "< " + kGreeting.substr(0, kGreeting.size() - 2));
  EXPECT_EQ(display[1], "> USER alice");
  EXPECT_EQ(display[3], "> PASS ********");
  for (const auto& text : display) EXPECT_EQ(text.find("secret"), std::string::npos) << text;
}

TEST_F(Pop3ClientTest, BareStatReplyGivesZeros) {
  LogIn(server).Expect("STAT\r\n").Say("+OK\r\n");
  ConnectAndLogIn();
  client.SetMsgCount(9);
  client.SetMsgSize(9);
  Request([this] { client.Stat(); });
  EXPECT_EQ(client.MsgCount(), 0);
  EXPECT_EQ(client.MsgSize(), 0);
}

TEST_F(Pop3ClientTest, ApopSendsTheRfc1939Digest) {
  server.Say(kGreeting).Expect("APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n").Say("+OK\r\n");
  server.Start();
  client.SetUserName("mrose");
  client.SetPassWord("tanstaaf");
  Request([this] { client.Connect(); });
  EXPECT_EQ(client.Timestamp(), "<1896.697170952@dbc.mtview.ca.us>");
  Request([this] { client.APop(); });
  EXPECT_EQ(events.back(), "done 14 0");
  EXPECT_EQ(client.ProtocolState(), Pop3SessionState::Transaction);
  client.Abort();
  ExpectServerSaw("APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n");
}

TEST_F(Pop3ClientTest, RetrUnstuffsDotsAndStopsAtTheLoneDot) {
  LogIn(server)
      .Expect("RETR 2\r\n")
      .SayInPieces("+OK 120 octets\r\nSubject: hi\r\n\r\n..\r\n..leading\r\n.single\r\n\r\n.\r\n", 7);
  ConnectAndLogIn();
  client.SetMsgNum(2);
  Request([this] { client.Retr(); });
  EXPECT_EQ(lines, (std::vector<std::string>{"Subject: hi", "", ".", ".leading", ".single", ""}));
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "end", "done 7 0"}));
  EXPECT_EQ(client.LastResponse(), "");
}

TEST_F(Pop3ClientTest, LongLinesArriveInPiecesWithoutFakeTerminators) {
  const std::string a4093(4093, 'a');
  LogIn(server)
      .Expect("RETR 1\r\n")
      .Say("+OK\r\n" + std::string(5000, 'x') + "\r\n" + a4093 + "\r\n" + a4093 + ".\r\n" + a4093 +
           "..\r\nlast\r\n.\r\n");
  ConnectAndLogIn();
  client.SetMsgNum(1);
  Request([this] { client.Retr(); });
  EXPECT_EQ(lines, (std::vector<std::string>{std::string(4093, 'x'), std::string(907, 'x'), a4093, a4093, ".",
                                             a4093, "..", "last"}));
  EXPECT_EQ(events.back(), "done 7 0");
}

TEST_F(Pop3ClientTest, OverlongStatusLineFailsTheRequest) {
  LogIn(server).Expect("STAT\r\n").Say("+OK " + std::string(5000, '9') + "\r\n").StaySilent();
  ConnectAndLogIn();
  Request([this] { client.Stat(); });
  EXPECT_EQ(events.back(), "done 5 500");
  EXPECT_EQ(client.ErrorMessage(), "-ERR Reply line longer than 4093 bytes");
  EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3ClientTest, NegativeReplyToRetrCompletesWith500AndTheSessionGoesOn) {
  LogIn(server)
      .Expect("RETR 7\r\n")
      .Say("-ERR no such message\r\n")
      .Expect("RETR 1\r\n")
      .Say("+OK\r\nbody\r\n.\r\n");
  ConnectAndLogIn();
  client.SetMsgNum(7);
  Request([this] { client.Retr(); });
  EXPECT_EQ(events, (std::vector<std::string>{"done 7 500"}));
  EXPECT_EQ(client.ErrorMessage(), "-ERR no such message");
  client.SetMsgNum(1);
  Request([this] { client.Retr(); });
  EXPECT_EQ(lines, (std::vector<std::string>{"body"}));
  EXPECT_EQ(client.ErrorMessage(), "");
}

TEST_F(Pop3ClientTest, ListAndUidlParseTheirLines) {
  LogIn(server)
      .Expect("LIST\r\n")
      .Say("+OK 2 messages\r\n1 120\r\n2 4500\r\n.\r\n")
      .Expect("UIDL\r\n")
      .Say("+OK\r\n1 whqtswO00WBw418f9t5JxYwZ\r\n2 QhdPYR:00WBw1Ph7x7\r\n.\r\n")
      .Expect("UIDL 2\r\n")
      .Say("+OK 2 QhdPYR:00WBw1Ph7x7 trailing\r\n")
      .Expect("LIST 2\r\n")
      .Say("+OK 2 4500\r\n");
  ConnectAndLogIn();
  std::vector<std::string> parsed;
  client.OnListLine = [&](Pop3Client& c) {
    parsed.push_back(std::to_string(c.MsgNum()) + ":" + std::to_string(c.MsgSize()));
  };
  client.OnUidlLine = [&](Pop3Client& c) { parsed.push_back(std::to_string(c.MsgNum()) + ":" + c.MsgUidl()); };
  client.SetMsgNum(0);
  Request([this] { client.List(); });
  client.SetMsgNum(0);
  Request([this] { client.Uidl(); });
  EXPECT_EQ(parsed, (std::vector<std::string>{"1:120", "2:4500", "1:whqtswO00WBw418f9t5JxYwZ",
                                              "2:QhdPYR:00WBw1Ph7x7"}));
  client.SetMsgNum(2);
  Request([this] { client.Uidl(); });
  EXPECT_EQ(client.MsgUidl(), "QhdPYR:00WBw1Ph7x7");
  client.SetMsgSize(0);
  Request([this] { client.List(); });
  EXPECT_EQ(client.MsgNum(), 2);
  EXPECT_EQ(client.MsgSize(), 4500);
}

TEST_F(Pop3ClientTest, MisuseThrowsAtTheCall) {
  auto message = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const Pop3Exception& error) {
      return std::string(error.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { client.User(); }), "POP3 component not connected");
  LogIn(server).Expect("STAT\r\n").StaySilent();
  server.Start();
  Request([this] { client.Connect(); });
  EXPECT_EQ(message([&] { client.Connect(); }), "POP3 component already connected");
  EXPECT_EQ(message([&] { client.Open(); }), "pop3 component already connected");
  EXPECT_EQ(message([&] { client.Retr(); }), "-ERR RETR command invalid now");
  EXPECT_EQ(client.ErrorMessage(), "-ERR RETR command invalid now");
  EXPECT_EQ(display.back(), "-ERR RETR command invalid now");
  client.SetMsgLines(-1);
  EXPECT_EQ(message([&] { client.Top(); }), "Invalid MsgLines for TOP command");
  Request([this] { client.User(); });
  EXPECT_EQ(message([&] { client.APop(); }), "-ERR APOP command invalid now");
  Request([this] { client.Pass(); });
  EXPECT_EQ(message([&] { client.User(); }), "-ERR USER command invalid now");
  EXPECT_EQ(message([&] { client.Pass(); }), "-ERR PASS command invalid now");
  client.Stat();
  EXPECT_EQ(message([&] { client.Noop(); }), "POP3 component not ready");
  client.Abort();
}

TEST_F(Pop3ClientTest, ApopNeedsATimestampFromTheCurrentGreeting) {
  server.Say(kGreeting).Expect("QUIT\r\n").Say("+OK\r\n").CloseConnection();
  server.NextConnection().Say("+OK no stamp here\r\n");
  server.Start();
  Request([this] { client.Connect(); });
  Request([this] { client.Quit(); });
  Request([this] { client.Connect(); });
  EXPECT_EQ(client.Timestamp(), "");
  EXPECT_THROW(client.APop(), Pop3Exception);
  EXPECT_EQ(client.ErrorMessage(), "-ERR Server do not support APOP (no timestamp)");
  client.Abort();
}

TEST_F(Pop3ClientTest, QuitWithoutConnectionCompletesLater) {
  Request([this] { client.Quit(); });
  EXPECT_EQ(events, (std::vector<std::string>{"done 4 0"}));
}

// What a real socket and name lookup report, so these three use one.
TEST_F(Pop3ClientTest, ConnectionRefused) {
  Pop3Client overSocket{loop};
  Watch(overSocket);
  overSocket.SetPort(std::to_string(ScriptedServer::ClosedPort()));
  Request([&] { overSocket.Connect(); });
  EXPECT_EQ(events.back(), "done 0 10061");
  EXPECT_EQ(overSocket.LastResponse(), "-ERR Connection refused (socket error #10061)");
  EXPECT_EQ(overSocket.State(), ClientState::Ready);
}

TEST_F(Pop3ClientTest, NegativeGreetingClosesThenCompletesWith10004) {
  server.Say("-ERR too busy\r\n").StaySilent();
  server.Start();
  Request([this] { client.Connect(); });
  EXPECT_EQ(events, (std::vector<std::string>{"closed 0", "done 0 10004"}));
  EXPECT_EQ(client.ErrorMessage(), "-ERR too busy");
  EXPECT_EQ(client.ProtocolState(), Pop3SessionState::Disconnected);
}

TEST_F(Pop3ClientTest, EmptyHostFailsThroughTheCompletion) {
  Pop3Client overSocket{loop};
  Watch(overSocket);
  overSocket.SetHost("");
  Request([&] { overSocket.Connect(); });
  EXPECT_EQ(events, (std::vector<std::string>{"done 0 10022"}));
}

TEST_F(Pop3ClientTest, AbortDuringTheNameLookupStillCompletes) {
  Pop3Client overSocket{loop};
  Watch(overSocket);
  overSocket.SetHost("localhost");
  overSocket.Connect();
  ASSERT_EQ(overSocket.State(), ClientState::DnsLookup);
  overSocket.Abort();
  EXPECT_EQ(overSocket.State(), ClientState::Ready);
  ASSERT_TRUE(loop.RunUntil([this] { return done; }, 1s));
  loop.RunFor(200ms);  // a late lookup result must change nothing
  EXPECT_EQ(events, (std::vector<std::string>{"done 0 10004"}));
}

TEST_F(Pop3ClientTest, ConnectionLostInsideAMessage) {
  LogIn(server).Expect("RETR 1\r\n").Say("+OK\r\nfirst line\r\n").CloseConnection();
  ConnectAndLogIn();
  client.SetMsgNum(1);
  Request([this] { client.Retr(); });
  EXPECT_EQ(lines, (std::vector<std::string>{"first line"}));
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "closed 0", "done 7 10004"}));
}

TEST_F(Pop3ClientTest, SilentServerTimesOut) {
  LogIn(server).Expect("STAT\r\n").StaySilent();
  ConnectAndLogIn();
  client.SetTimeout(1);
  client.Stat();
  timers.Elapse(999ms);
  EXPECT_TRUE(events.empty());
  timers.Elapse(1ms);
  EXPECT_EQ(events, (std::vector<std::string>{"closed 0", "done 5 10060"}));
  EXPECT_EQ(client.LastResponse(), "-ERR Connection timed out (socket error #10060)");
  EXPECT_FALSE(client.Connected());
}

TEST_F(Pop3ClientTest, SilentGreetingTimesOut) {
  server.Start();
  client.SetTimeout(1);
  client.Connect();
  timers.Elapse(999ms);
  EXPECT_TRUE(events.empty());
  timers.Elapse(1ms);
  EXPECT_EQ(events, (std::vector<std::string>{"closed 0", "done 0 10060"}));
}

TEST_F(Pop3ClientTest, WithoutTimeoutOnlyAbortEndsTheWait) {
  LogIn(server).Expect("NOOP\r\n").StaySilent();
  ConnectAndLogIn();
  client.SetTimeout(0);
  done = false;
  client.Noop();
  timers.Elapse(1h);
  EXPECT_TRUE(events.empty());
  client.Abort();
  EXPECT_EQ(client.State(), ClientState::Ready);
  ASSERT_TRUE(loop.RunUntil([this] { return done; }, 1s));
  EXPECT_EQ(events, (std::vector<std::string>{"closed 0", "done 10 10004"}));
}

TEST_F(Pop3ClientTest, OpenChainsConnectUserPass) {
  LogIn(server);
  server.Start();
  Request([this] { client.Open(); });
  EXPECT_EQ(events, (std::vector<std::string>{"done 15 0"}));
  EXPECT_EQ(client.ProtocolState(), Pop3SessionState::Transaction);
}

TEST_F(Pop3ClientTest, OpenReportsTheFailingStep) {
  server.Say(kGreeting).Expect("USER alice\r\n").Say("+OK\r\n").Expect("PASS secret\r\n").Say("-ERR wrong\r\n");
  server.Start();
  Request([this] { client.Open(); });
  EXPECT_EQ(events, (std::vector<std::string>{"done 15 500"}));
  EXPECT_EQ(client.ErrorMessage(), "-ERR wrong");
}

TEST_F(Pop3ClientTest, AbortInsideOpenGives426) {
  server.Say(kGreeting).Expect("USER alice\r\n").StaySilent();
  server.Start();
  client.OnStateChange = [this](Pop3Client& c) {
    if (c.State() == ClientState::WaitingResponse) loop.Post([this] { client.Abort(); });
  };
  Request([this] { client.Open(); });
  EXPECT_EQ(events, (std::vector<std::string>{"closed 0", "done 15 426"}));
  EXPECT_EQ(client.ErrorMessage(), "426 Operation aborted.");
}


// --- CAPA and retrieving ahead ------------------------------------------------

TEST_F(Pop3ClientTest, CapaTellsWhetherTheServerTakesCommandsAhead) {
  struct Case {
    std::string reply;
    std::uint16_t error;
    std::vector<std::string> capabilities;
    bool pipelining;
  };
  const std::vector<Case> cases = {
      {"+OK\r\nTOP\r\nUIDL\r\nPIPELINING\r\n.\r\n", 0, {"TOP", "UIDL", "PIPELINING"}, true},
      {"+OK list follows\r\npipelining\r\nSASL PLAIN\r\n.\r\n", 0, {"pipelining", "SASL PLAIN"}, true},
      {"+OK\r\nUIDL\r\nPIPELININGS\r\n.\r\n", 0, {"UIDL", "PIPELININGS"}, false},
      {"-ERR unknown command\r\n", 500, {}, false},
  };
  LogIn(server);
  for (const Case& c : cases) server.Expect("CAPA\r\n").Say(c.reply);
  ConnectAndLogIn();
  for (const Case& c : cases) {
    Request([this] { client.Capa(); });
    EXPECT_EQ(events.back(), "done 16 " + std::to_string(c.error)) << c.reply;
    EXPECT_EQ(client.Capabilities(), c.capabilities) << c.reply;
    EXPECT_EQ(client.Pipelining(), c.pipelining) << c.reply;
    EXPECT_EQ(client.ProtocolState(), Pop3SessionState::Transaction);
  }
}

ScriptedPipePeer& LogInWithPipelining(ScriptedPipePeer& server) {
  return LogIn(server).Expect("CAPA\r\n").Say("+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n");
}

// The replies to three RETRs in one go, as a server that had all three
// commands at once sends them: dot-stuffing, a line longer than a piece,
// and an empty message.
const std::string kThreeReplies = "+OK\r\none\r\n..dot\r\n.\r\n+OK\r\n" + std::string(5000, 'y') +
                                  "\r\n.\r\n+OK\r\n.\r\n";

TEST_F(Pop3ClientTest, RetrAheadKeepsEveryMessageWholeAndInItsOwnRequest) {
  LogInWithPipelining(server)
      .Expect("RETR 1\r\nRETR 2\r\nRETR 3\r\n")
      .SayInPieces(kThreeReplies, 700)
      .Expect("QUIT\r\n")
      .Say("+OK bye\r\n");
  ConnectAndLogIn();
  Request([this] { client.Capa(); });
  client.SetRetrAhead({1, 2, 3});
  std::vector<std::vector<std::string>> messages;
  events.clear();
  for (int number = 1; number <= 3; ++number) {
    lines.clear();
    client.SetMsgNum(number);
    Request([this] { client.Retr(); });
    messages.push_back(lines);
  }
  EXPECT_EQ(messages, (std::vector<std::vector<std::string>>{
                          {"one", ".dot"}, {std::string(4093, 'y'), std::string(907, 'y')}, {}}));
  EXPECT_EQ(events, (std::vector<std::string>{"begin", "end", "done 7 0", "begin", "end", "done 7 0", "begin",
                                              "end", "done 7 0"}));
  Request([this] { client.Quit(); });
  ExpectServerSaw("USER alice\r\nPASS secret\r\nCAPA\r\nRETR 1\r\nRETR 2\r\nRETR 3\r\nQUIT\r\n");
}

TEST_F(Pop3ClientTest, RetrAheadWaitsForEachReplyWhenTheServerCannotPipeline) {
  LogIn(server)
      .Expect("CAPA\r\n")
      .Say("-ERR unknown command\r\n")
      .Expect("RETR 1\r\n")
      .Say("+OK first\r\none\r\n.\r\n")
      .Expect("RETR 2\r\n")
      .Say("+OK second\r\ntwo\r\n.\r\n");
  ConnectAndLogIn();
  Request([this] { client.Capa(); });
  client.SetRetrAhead({1, 2});
  for (int number = 1; number <= 2; ++number) {
    client.SetMsgNum(number);
    Request([this] { client.Retr(); });
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
  const auto at = [this](const std::string& text) { return std::find(display.begin(), display.end(), text); };
  EXPECT_LT(at("< +OK first"), at("> RETR 2")) << "RETR 2 went out before the first reply";
}

// The caller leaves the announced order: what went out ahead is answered
// all the same and must not pass for the reply to what it asks now.
struct OffScript {
  const char* name;
  std::function<void(Pop3Client&)> request;
  std::string command;  // what the server is sent after the RETRs
  std::string reply;
  std::string done;
  std::vector<std::string> lines;
};

class Pop3RetrAheadOffScriptTest : public Pop3ClientTest, public ::testing::WithParamInterface<OffScript> {};

TEST_P(Pop3RetrAheadOffScriptTest, RepliesSentAheadAreDroppedBeforeTheNewOne) {
  const OffScript& c = GetParam();
  LogInWithPipelining(server)
      .Expect("RETR 1\r\nRETR 2\r\nRETR 3\r\n")
      .Say(kThreeReplies)
      .Expect(c.command)
      .Say(c.reply);
  ConnectAndLogIn();
  Request([this] { client.Capa(); });
  client.SetRetrAhead({1, 2, 3});
  client.SetMsgNum(1);
  Request([this] { client.Retr(); });
  lines.clear();
  events.clear();
  Request([&] { c.request(client); });
  EXPECT_EQ(events.back(), c.done);
  EXPECT_EQ(lines, c.lines);
  if (client.Connected()) client.Abort();
  ExpectServerSaw("USER alice\r\nPASS secret\r\nCAPA\r\nRETR 1\r\nRETR 2\r\nRETR 3\r\n" + c.command);
}

INSTANTIATE_TEST_SUITE_P(
    Pop3ClientTest, Pop3RetrAheadOffScriptTest,
    ::testing::Values(
        OffScript{"Dele",
                  [](Pop3Client& client) {
                    client.SetMsgNum(1);
                    client.Dele();
                  },
                  "DELE 1\r\n", "+OK deleted\r\n", "done 9 0", {}},
        OffScript{"RetrOfAnotherMessage",
                  [](Pop3Client& client) {
                    client.SetMsgNum(3);
                    client.Retr();
                  },
                  "RETR 3\r\n", "+OK\r\nthird asked again\r\n.\r\n", "done 7 0", {"third asked again"}},
        OffScript{"Quit", [](Pop3Client& client) { client.Quit(); }, "QUIT\r\n", "+OK bye\r\n", "done 4 0", {}}),
    [](const ::testing::TestParamInfo<OffScript>& info) { return info.param.name; });

}  // namespace
}  // namespace mf
