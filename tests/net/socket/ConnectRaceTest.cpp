#include "net/ConnectRace.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/TcpSocket.h"
#include "platform/PollEventLoop.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

// A port on the loopback of one family that accepts, refuses (nothing
// listens), or swallows connections: its one-place queue is full, so the
// kernel drops further handshakes as a firewall that drops packets would.
class LoopbackPort {
 public:
  enum Kind { Accepts, Refuses, Swallows };

  LoopbackPort(const char* address, Kind kind) : address_(*SocketAddress::FromLiteral(address)) {
    fd_ = ::socket(address_.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    if (address_.Family() == AF_INET6) setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    EXPECT_EQ(::bind(fd_, address_.Raw(), address_.Size()), 0);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &size);
    address_ = SocketAddress::FromRaw(reinterpret_cast<sockaddr*>(&bound), size);
    if (kind == Refuses) {
      ::close(fd_);  // the port stays free long enough for the test
      fd_ = -1;
      return;
    }
    EXPECT_EQ(::listen(fd_, kind == Swallows ? 0 : 8), 0);
    if (kind == Swallows) {
      filler_ = ::socket(address_.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
      EXPECT_EQ(::connect(filler_, address_.Raw(), address_.Size()), 0);
    }
  }
  ~LoopbackPort() {
    if (filler_ >= 0) ::close(filler_);
    if (fd_ >= 0) ::close(fd_);
  }
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;

  const SocketAddress& Address() const { return address_; }

 private:
  SocketAddress address_;
  int fd_ = -1;
  int filler_ = -1;
};

struct RaceCase {
  const char* name;
  std::vector<std::pair<const char*, LoopbackPort::Kind>> ports;
  int winner;  // index of the port connected to, or -1
  int error;
  std::chrono::milliseconds within;
};

class ConnectRaceTest : public ::testing::TestWithParam<RaceCase> {};

TEST_P(ConnectRaceTest, ConnectsToTheFirstAddressThatAnswers) {
  const RaceCase& row = GetParam();
  std::vector<std::unique_ptr<LoopbackPort>> ports;
  std::vector<SocketAddress> addresses;
  for (auto [address, kind] : row.ports) {
    ports.push_back(std::make_unique<LoopbackPort>(address, kind));
    addresses.push_back(ports.back()->Address());
  }
  platform::PollEventLoop loop;
  int fd = -2;
  int error = -1;
  auto started = std::chrono::steady_clock::now();
  ConnectRace race(loop, addresses, std::nullopt, [&](int connected, int e) {
    fd = connected;
    error = e;
  });
  EXPECT_EQ(fd, -2) << "the result must come from the loop";
  ASSERT_TRUE(loop.RunUntil([&] { return fd != -2; }, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, row.within);
  EXPECT_EQ(error, row.error);
  if (row.winner < 0) {
    EXPECT_EQ(fd, -1);
    return;
  }
  ASSERT_GE(fd, 0);
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  ASSERT_EQ(getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size), 0);
  EXPECT_EQ(SocketAddress::FromRaw(reinterpret_cast<sockaddr*>(&peer), size), ports[row.winner]->Address());
  ::close(fd);
}

// The swallowing rows finish at the attempt delay, long before the kernel
// would give up on the handshake.
INSTANTIATE_TEST_SUITE_P(
    Addresses, ConnectRaceTest,
    ::testing::Values(
        RaceCase{"OneThatAccepts", {{"::1", LoopbackPort::Accepts}}, 0, 0, 2s},
        RaceCase{"RefusedThenOther", {{"::1", LoopbackPort::Refuses}, {"127.0.0.1", LoopbackPort::Accepts}}, 1, 0, 2s},
        RaceCase{"SwallowedThenOther", {{"::1", LoopbackPort::Swallows}, {"127.0.0.1", LoopbackPort::Accepts}}, 1, 0,
                 2s},
        RaceCase{"FirstWinsWhenBothAnswer", {{"127.0.0.1", LoopbackPort::Accepts}, {"::1", LoopbackPort::Accepts}}, 0,
                 0, 2s},
        RaceCase{"AllRefuse",
                 {{"::1", LoopbackPort::Refuses}, {"127.0.0.1", LoopbackPort::Refuses}},
                 -1,
                 wsa::kConnectionRefused,
                 2s},
        RaceCase{"NoAddress", {}, -1, wsa::kHostNotFound, 2s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressOrder, FamiliesTakeTurnsStartingWithTheFirst) {
  auto text = [](const std::vector<SocketAddress>& addresses) {
    std::string out;
    for (const auto& address : addresses) out += address.Text() + " ";
    return out;
  };
  auto list = [](std::initializer_list<const char*> texts) {
    std::vector<SocketAddress> addresses;
    for (const char* t : texts) addresses.push_back(*SocketAddress::FromLiteral(t));
    return addresses;
  };
  EXPECT_EQ(text(InterleaveFamilies(list({"::1", "::2", "::3", "10.0.0.1", "10.0.0.2"}))),
            "::1 10.0.0.1 ::2 10.0.0.2 ::3 ");
  EXPECT_EQ(text(InterleaveFamilies(list({"10.0.0.1", "::1", "10.0.0.2"}))), "10.0.0.1 ::1 10.0.0.2 ");
  EXPECT_FALSE(SocketAddress::FromLiteral("mail.example.com"));
  EXPECT_FALSE(SocketAddress::FromLiteral("::1::2"));
  EXPECT_FALSE(SocketAddress::FromLiteral("[::1"));
}

// An IPv6 literal goes through the socket as a name would: looked up (at
// once), connected, and shown as the system writes it.
TEST(TcpSocketIpv6, LiteralAddressConnects) {
  LoopbackPort port("::1", LoopbackPort::Accepts);
  platform::PollEventLoop loop;
  TcpSocket socket(loop);
  int connected = -1;
  socket.OnSessionConnected = [&](TcpSocket&, std::uint16_t e) { connected = e; };
  socket.DnsLookup("[0:0::1]");
  EXPECT_EQ(socket.DnsResult(), "::1");
  socket.SetAddr(socket.DnsResult());
  socket.SetPort(std::to_string(ntohs(reinterpret_cast<const sockaddr_in6*>(port.Address().Raw())->sin6_port)));
  socket.Connect();
  ASSERT_TRUE(loop.RunUntil([&] { return connected != -1; }, 10s));
  EXPECT_EQ(connected, 0);
  EXPECT_EQ(socket.State(), SocketState::Connected);
}

}  // namespace
}  // namespace mf
