// The line layer under both mail clients, over an in-process transport:
// how bytes become lines whatever the reads look like, the two long-line
// rules, the time-out, and the upgrade that drops what was said in clear.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/LineSession.h"
#include "net/NetErrors.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/PipeTransport.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::PeerSay;
using test::PipeTransport;

struct Piece {
  std::string text;
  bool cut;
  bool tail;
  bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
  return out << "{" << piece.text.size() << " bytes \"" << piece.text.substr(0, 20) << "\" cut=" << piece.cut
             << " tail=" << piece.tail << "}";
}

class LineSessionTest : public ::testing::Test {
 protected:
  LineSessionTest() {
    session_.OnConnected = [this](std::uint16_t error) { connected_.push_back(error); };
    session_.OnLine = [this](const std::string& line, bool cut, bool tail) { lines_.push_back({line, cut, tail}); };
    session_.OnLineTooLong = [this] { ++tooLong_; };
    session_.OnSent = [this] { ++sent_; };
    session_.OnClosed = [this](std::uint16_t error) { closed_.push_back(error); };
    session_.OnSecured = [this](int error) { secured_.push_back(error); };
    session_.OnTimedOut = [this] { ++timedOut_; };
  }

  void Connect(TlsMode mode = TlsMode::None) {
    session_.Lookup("mail.example.jp");
    ASSERT_TRUE(loop_.RunUntil([&] { return true; }, 10ms));
    loop_.RunUntilIdle();
    session_.Connect("110", "0.0.0.0", mode);
    loop_.RunUntilIdle();
  }

  // Says `bytes` in reads of the given sizes (the rest in one).
  void SayInReads(const std::string& bytes, const std::vector<std::size_t>& sizes) {
    std::size_t at = 0;
    for (std::size_t size : sizes) {
      PeerSay(*peer_, bytes.substr(at, size));
      loop_.RunUntilIdle();
      at += size;
    }
    if (at < bytes.size()) PeerSay(*peer_, bytes.substr(at));
    loop_.RunUntilIdle();
  }

  platform::PollEventLoop loop_;
  test::SteppedTimers timers_{loop_};
  std::shared_ptr<PipeTransport::Peer> peer_ = std::make_shared<PipeTransport::Peer>();
  LineSession session_{timers_, std::make_unique<PipeTransport>(timers_, peer_)};
  std::vector<int> connected_;
  std::vector<Piece> lines_;
  int tooLong_ = 0;
  int sent_ = 0;
  std::vector<int> closed_;
  std::vector<int> secured_;
  int timedOut_ = 0;
};

TEST_F(LineSessionTest, LinesComeOutWholeHoweverTheReadsFall) {
  const std::string bytes = "+OK ready\r\n\r\nline two\r\n.\r\n";
  const std::vector<Piece> expected = {
      {"+OK ready", false, false}, {"", false, false}, {"line two", false, false}, {".", false, false}};
  const std::vector<std::vector<std::size_t>> splits = {
      {}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {9}, {10}, {11, 1}, {12, 12}, {3, 20}};
  for (const auto& split : splits) {
    SCOPED_TRACE(::testing::PrintToString(split));
    lines_.clear();
    peer_ = std::make_shared<PipeTransport::Peer>();
    LineSession session(loop_, std::make_unique<PipeTransport>(loop_, peer_));
    session.OnLine = [this](const std::string& line, bool cut, bool tail) { lines_.push_back({line, cut, tail}); };
    session.Lookup("h");
    loop_.RunUntilIdle();
    session.Connect("1", "0.0.0.0", TlsMode::None);
    loop_.RunUntilIdle();
    SayInReads(bytes, split);
    EXPECT_EQ(lines_, expected);
  }
}

TEST_F(LineSessionTest, LongLinesArriveInPiecesOfTheLimit) {
  session_.SetLineLimit(10, LineSession::LongLines::Split);
  Connect();
  // Exactly the limit stays whole; 25 bytes come as 10, 10, 5; a piece
  // boundary falling between CR and LF still ends the line there.
  SayInReads(std::string(10, 'a') + "\r\n" + std::string(25, 'b') + "\r\n" + std::string(10, 'c') + "\r\n", {3, 7});
  const std::vector<Piece> expected = {{std::string(10, 'a'), false, false},
                                       {std::string(10, 'b'), true, false},
                                       {std::string(10, 'b'), true, true},
                                       {std::string(5, 'b'), false, true},
                                       {std::string(10, 'c'), false, false}};
  EXPECT_EQ(lines_, expected);
}

TEST_F(LineSessionTest, OverlongLineUnderTheFailRuleIsDroppedOnce) {
  session_.SetLineLimit(10, LineSession::LongLines::Fail);
  Connect();
  SayInReads(std::string(12, 'x'), {5});
  EXPECT_EQ(tooLong_, 1);
  EXPECT_TRUE(lines_.empty());
  // What follows is read afresh.
  SayInReads("ok\r\n", {});
  EXPECT_EQ(lines_, (std::vector<Piece>{{"ok", false, false}}));
}

TEST_F(LineSessionTest, SentFiresFromTheLoopAndTimeOutRestartsOnTraffic) {
  Connect();
  ASSERT_EQ(connected_, (std::vector<int>{0}));
  session_.SendLine("NOOP");
  EXPECT_EQ(sent_, 0) << "sent inside the call";
  loop_.RunUntilIdle();
  EXPECT_EQ(sent_, 1);
  EXPECT_EQ(peer_->written, "NOOP\r\n");

  session_.ArmTimeout(1);
  timers_.Elapse(600ms);
  SayInReads("+OK\r\n", {});
  timers_.Elapse(999ms);
  EXPECT_EQ(timedOut_, 0) << "traffic restarts the time-out";
  timers_.Elapse(1ms);
  EXPECT_EQ(timedOut_, 1);
  session_.ArmTimeout(1);
  session_.StopTimeout();
  timers_.Elapse(1h);
  EXPECT_EQ(timedOut_, 1);
}

// RFC 3207 section 5 / RFC 2595 section 4: a reply squeezed in after the
// go-ahead, before the handshake, was said by anyone on the wire.
TEST_F(LineSessionTest, UpgradeDropsWhatWasSaidInClearAfterTheGoAhead) {
  Connect();
  session_.OnLine = [this](const std::string& line, bool cut, bool tail) {
    lines_.push_back({line, cut, tail});
    if (line == "220 go ahead") {
      EXPECT_EQ(session_.StartTls(), 0);
    }
  };
  SayInReads("220 go ahead\r\n250 injected\r\n", {});
  EXPECT_EQ(lines_, (std::vector<Piece>{{"220 go ahead", false, false}}));
  EXPECT_FALSE(session_.Secure());
  // A TLS client hello went out, nothing in clear.
  ASSERT_GT(peer_->written.size(), 5u);
  EXPECT_EQ(peer_->written[0], '\x16') << "handshake record";
}

TEST_F(LineSessionTest, PeerHangingUpInTheHandshakeIsItsOwnError) {
  Connect();
  ASSERT_EQ(session_.StartTls(), 0);
  loop_.RunUntilIdle();
  peer_->hangUp();
  loop_.RunUntilIdle();
  EXPECT_EQ(secured_, (std::vector<int>{tls::kClosedInHandshake}));
  EXPECT_EQ(closed_.size(), 1u);
}

TEST_F(LineSessionTest, ImplicitTlsReportsGarbageAsAFailedHandshake) {
  Connect(TlsMode::Implicit);
  EXPECT_TRUE(connected_.empty()) << "connected before the handshake";
  SayInReads("+OK this is not TLS\r\n", {});
  ASSERT_EQ(connected_.size(), 1u);
  EXPECT_EQ(connected_[0], tls::kHandshakeFailed);
  EXPECT_TRUE(lines_.empty());
  EXPECT_FALSE(session_.Open()) << "the connection is dropped";
}

TEST(NetErrorsTest, EveryTlsFailureHasItsOwnNumberAndJapaneseText) {
  std::vector<std::string> seen;
  for (int error = tls::kUntrusted; error <= tls::kNoAuthMechanism; ++error) {
    EXPECT_TRUE(IsTlsError(error));
    const std::string japanese = NetErrorTextJa(error);
    EXPECT_FALSE(japanese.empty()) << error;
    EXPECT_EQ(std::find(seen.begin(), seen.end(), japanese), seen.end()) << error;
    seen.push_back(japanese);
    EXPECT_NE(NetErrorResponse("500 ", error).find("(TLS error #" + std::to_string(error) + ")"), std::string::npos);
  }
  EXPECT_EQ(NetErrorResponse("-ERR ", 10061), "-ERR Connection refused (socket error #10061)");
  EXPECT_FALSE(IsTlsError(10061));
}

}  // namespace
}  // namespace mf
