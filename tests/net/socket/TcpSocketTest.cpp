#include "net/TcpSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/PollEventLoop.h"
#include "tests/net/support/ScriptedServer.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;

class TcpSocketTest : public ::testing::Test {
 protected:
  void ConnectTo(int port) {
    socket_.SetAddr("127.0.0.1");
    socket_.SetPort(std::to_string(port));
    socket_.Connect();
  }

  bool RunUntil(const std::function<bool()>& done) { return loop_.RunUntil(done, 10s); }

  platform::PollEventLoop loop_;
  TcpSocket socket_{loop_};
  std::vector<std::string> events_;
};

TEST_F(TcpSocketTest, DottedLookupCompletesInsideTheCall) {
  int error = -1;
  socket_.OnDnsLookupDone = [&](TcpSocket&, std::uint16_t e) { error = e; };
  socket_.DnsLookup("127.0.0.1");
  EXPECT_EQ(error, 0);
  EXPECT_EQ(socket_.DnsResult(), "127.0.0.1");
}

TEST_F(TcpSocketTest, LookupOfNamesRunsInTheBackground) {
  int error = -1;
  socket_.OnDnsLookupDone = [&](TcpSocket&, std::uint16_t e) { error = e; };
  socket_.DnsLookup("localhost");
  EXPECT_EQ(error, -1) << "a name lookup must not complete inside the call";
  ASSERT_TRUE(RunUntil([&] { return error != -1; }));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(socket_.DnsResult(), "127.0.0.1");

  error = -1;
  socket_.DnsLookup("no-such-host.invalid");
  ASSERT_TRUE(RunUntil([&] { return error != -1; }));
  // 11002 where the machine has no resolver it can reach.
  EXPECT_TRUE(error == wsa::kHostNotFound || error == wsa::kTryAgain) << error;
  EXPECT_TRUE(socket_.DnsResult().empty());
}

TEST_F(TcpSocketTest, EmptyHostAndCancelledLookupReportThroughTheEvent) {
  std::vector<int> errors;
  socket_.OnDnsLookupDone = [&](TcpSocket&, std::uint16_t e) { errors.push_back(e); };
  EXPECT_THROW(socket_.DnsLookup(""), ESocketException);
  socket_.DnsLookup("localhost");
  socket_.CancelDnsLookup();
  loop_.RunFor(200ms);  // the background answer must be dropped
  EXPECT_EQ(errors, (std::vector<int>{wsa::kInvalidArgument, wsa::kInterrupted}));
}

TEST(TcpSocketResolve, PortsProtocolsAndHosts) {
  EXPECT_EQ(WSocketResolvePort("smtp", "tcp"), 25);
  EXPECT_EQ(WSocketResolvePort("pop3", "tcp"), 110);
  EXPECT_EQ(WSocketResolvePort("25", "tcp"), 25);
  EXPECT_EQ(WSocketResolvePort("25abc", "tcp"), 25);
  EXPECT_EQ(WSocketResolveProto("tcp"), 6);
  EXPECT_EQ(ResolveHost(" 10 . 0.0.1 ").front().Text(), "10.0.0.1");
  EXPECT_EQ(ResolveHost("255.255.255.255").front().Text(), "255.255.255.255");
  EXPECT_EQ(ResolveHost("::1").front().Text(), "::1");
  EXPECT_EQ(ResolveHost("[2001:DB8::1]").front().Text(), "2001:db8::1");

  auto message = [](auto call) {
    try {
      call();
    } catch (const ESocketException& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(message([] { WSocketResolvePort("25", ""); }), "WSocketResolvePort: Invalid Proto.");
  EXPECT_EQ(message([] { WSocketResolvePort("nosuchservice", "tcp"); }),
            "WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004");
  EXPECT_EQ(message([] { WSocketResolveProto(""); }), "WSocketResolveProto: Invalid Protocol.");
  EXPECT_EQ(message([] { ResolveHost("1.2.3.256"); }), "WSocketResolveHost: '1.2.3.256' Invalid IP address.");
  EXPECT_EQ(message([] { ResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
}

// The numbers stay those the user has always seen; the texts are the system's.
TEST(SocketErrors, TextsAndMappings) {
  EXPECT_EQ(SocketErrorText(10061), "Connection refused");
  EXPECT_EQ(SocketErrorText(10060), std::strerror(ETIMEDOUT));
  EXPECT_EQ(SocketErrorText(11001), "Name or service not known");
  EXPECT_EQ(SocketErrorText(0), "Success");
  EXPECT_EQ(SocketErrorText(12345), "Unknown socket error");
  EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
}

TEST_F(TcpSocketTest, PropertiesAreLockedWhileOpenAndResetByClose) {
  EXPECT_THROW(socket_.SetLocalAddr("localhost"), ESocketException);
  ScriptedServer server;
  server.Start();
  ConnectTo(server.Port());
  try {
    socket_.SetPort("25");
    FAIL() << "Port changed on an open socket";
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Cannot change Port if not closed");
  }
  EXPECT_THROW(socket_.Connect(), ESocketException);
  int closed = 0;
  socket_.OnSessionClosed = [&](TcpSocket&, std::uint16_t) { ++closed; };
  socket_.Close();
  socket_.Close();
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(socket_.State(), SocketState::Closed);
  EXPECT_TRUE(socket_.Addr().empty());
  EXPECT_TRUE(socket_.Port().empty());
  try {
    socket_.Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Connect: No Port Specified");
  }
}

TEST_F(TcpSocketTest, RefusedConnectionReportsThroughSessionConnected) {
  int connected = -1;
  socket_.OnSessionConnected = [&](TcpSocket&, std::uint16_t e) { connected = e; };
  ConnectTo(ScriptedServer::ClosedPort());
  EXPECT_EQ(connected, -1);
  ASSERT_TRUE(RunUntil([&] { return connected != -1; }));
  EXPECT_EQ(connected, wsa::kConnectionRefused);
  EXPECT_EQ(socket_.State(), SocketState::Closed);
}

TEST_F(TcpSocketTest, SendingNeedsAConnection) {
  try {
    socket_.SendStr("x");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.ErrorCode(), wsa::kNotConnected);
    EXPECT_EQ(std::string(e.what()), "Error 10057 in function Send\r\n" + std::string(std::strerror(ENOTCONN)));
  }
  EXPECT_EQ(socket_.LastError(), wsa::kNotConnected);
}

TEST_F(TcpSocketTest, LargeSendArrivesWholeAndReportsOnceAfterwards) {
  ScriptedServer server;
  server.Start();
  bool connected = false;
  int sent = 0;
  socket_.OnSessionConnected = [&](TcpSocket&, std::uint16_t e) { connected = e == 0; };
  socket_.OnDataSent = [&](TcpSocket&, std::uint16_t) { ++sent; };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return connected; }));
  std::string data(3000, 'a');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(socket_.SendStr(data), 3000);
  EXPECT_EQ(sent, 0) << "OnDataSent fired inside Send";
  EXPECT_EQ(socket_.SendStr(""), 0);
  ASSERT_TRUE(RunUntil([&] { return sent > 0; }));
  loop_.RunFor(50ms);
  EXPECT_EQ(sent, 1);
  socket_.Close();
  ASSERT_TRUE(RunUntil([&] { return server.Finished(); }));
  EXPECT_EQ(server.Received(), data);
}

// With the default linger settings a close right after sending must still
// deliver what the system accepted, not reset the connection.
TEST_F(TcpSocketTest, CloseAfterSendDeliversEverything) {
  ScriptedServer server;
  server.Pause(300ms).Start();  // the data waits in the system's buffers when Close comes
  bool connected = false;
  bool sent = false;
  socket_.OnSessionConnected = [&](TcpSocket&, std::uint16_t e) { connected = e == 0; };
  socket_.OnDataSent = [&](TcpSocket&, std::uint16_t) { sent = true; };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return connected; }));
  std::string data(1024 * 1024, 'q');
  socket_.SendStr(data);
  ASSERT_TRUE(RunUntil([&] { return sent; }));
  socket_.Close();
  ASSERT_TRUE(RunUntil([&] { return server.Finished(); }));
  EXPECT_EQ(server.Received().size(), data.size());
}

TEST_F(TcpSocketTest, DataBeforePeerCloseArrivesFirst) {
  std::string payload(100000, 'x');
  ScriptedServer server;
  server.Say(payload).CloseConnection().Start();
  std::string received;
  std::vector<std::string> order;
  socket_.OnDataAvailable = [&](TcpSocket& s, std::uint16_t) {
    char buffer[700];
    int count = s.Receive(buffer, sizeof buffer);
    if (count > 0) received.append(buffer, static_cast<std::size_t>(count));
    if (order.empty() || order.back() != "data") order.push_back("data");
  };
  socket_.OnSessionClosed = [&](TcpSocket&, std::uint16_t e) { order.push_back("closed " + std::to_string(e)); };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return socket_.State() == SocketState::Closed && !order.empty(); }));
  EXPECT_EQ(received.size(), payload.size());
  EXPECT_EQ(order, (std::vector<std::string>{"data", "closed 0"}));
}

TEST_F(TcpSocketTest, HandlerExceptionAbortsTheSocket) {
  ScriptedServer server;
  server.Say("hello\r\n").Start();
  int thrown = 0;
  socket_.OnDataAvailable = [&](TcpSocket&, std::uint16_t) {
    ++thrown;
    throw std::runtime_error("boom");
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(RunUntil([&] { return thrown > 0 && socket_.State() == SocketState::Closed; }));
  EXPECT_EQ(thrown, 1);
}

TEST(SendBlockTest, WritesUpToCapacityAndRewindsWhenRead) {
  SendBlock block(1460);
  std::string data(2000, 'z');
  EXPECT_EQ(block.Write(data), 1460);
  EXPECT_TRUE(block.IsFull());
  block.Remove(1000);
  EXPECT_EQ(block.Unread(), 460);
  EXPECT_EQ(block.Write("more"), 0) << "a block is not a ring";
  block.Remove(460);
  EXPECT_EQ(block.WriteCount(), 0);
  EXPECT_EQ(block.ReadCount(), 0);
  EXPECT_EQ(SendBlock(0).Size(), 1514);
  EXPECT_EQ(SendBlock(-5).Size(), 1514);
}

}  // namespace
}  // namespace mf
