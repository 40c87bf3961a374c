#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/DateTime.h"
#include "net/SmtpClient.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/PipeTransport.h"
#include "tests/net/support/ScriptedServer.h"

namespace mf::testing {

// What a well-behaved SMTP server saw; read it only after the server's
// thread has finished.
struct SinkLog {
  std::vector<std::string> commands;
  std::vector<std::string> messages;  // DATA contents with the final "."
};

// Accepts everything, like a permissive relay, until QUIT or end of stream.
inline std::function<void(test::ScriptedServer::Peer&)> SmtpSink(SinkLog& log) {
  return [&log](test::ScriptedServer::Peer& peer) {
    peer.Send("220 sink ready\r\n");
    while (const auto line = peer.ReadLine()) {
      log.commands.push_back(*line);
      if (line->rfind("EHLO", 0) == 0) {
        peer.Send("250-sink\r\n250 HELP\r\n");
      } else if (*line == "DATA") {
        peer.Send("354 go ahead\r\n");
        log.messages.push_back(peer.ReadThrough("\r\n.\r\n").value_or(""));
        peer.Send("250 queued\r\n");
      } else if (*line == "QUIT") {
        peer.Send("221 bye\r\n");
        peer.Close();
        return;
      } else {
        peer.Send("250 ok\r\n");
      }
    }
  };
}

class SmtpTestBase : public ::testing::Test {
 protected:
  // Over a real socket, or over `pipe_` with the time-outs on `timers_`.
  explicit SmtpTestBase(bool overPipe = false)
      : cli_(overPipe ? static_cast<platform::EventLoop&>(timers_) : loop_,
             overPipe ? std::make_unique<test::PipeTransport>(timers_, pipe_) : nullptr) {
    cli_.Host = "127.0.0.1";
    cli_.SignOn = "client.test";
    cli_.OnRequestDone = [this](SmtpClient&, SmtpRequest type, std::uint16_t error) {
      done_.emplace_back(type, error);
      events_.push_back("done " + std::to_string(static_cast<int>(type)) + " " + std::to_string(error));
    };
    cli_.OnSessionClosed = [this](SmtpClient&, std::uint16_t error) {
      events_.push_back("closed " + std::to_string(error));
    };
    cli_.OnDisplay = [this](SmtpClient&, const std::string& text) { display_.push_back(text); };
  }

  // Starts a request, checks that it does not complete inside the call, and
  // runs the loop until it completes. Returns its error.
  int Run(const std::function<void()>& start, SmtpRequest expected,
          std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    std::size_t before = done_.size();
    start();
    EXPECT_EQ(done_.size(), before) << "completion fired inside the call";
    if (!loop_.RunUntil([&] { return done_.size() > before; }, limit)) {
      ADD_FAILURE() << "request " << static_cast<int>(expected) << " never completed";
      return -1;
    }
    EXPECT_EQ(done_.size(), before + 1);
    EXPECT_EQ(done_.back().first, expected);
    return done_.back().second;
  }

  template <typename Server>
  void ConnectAndHelo(const Server& server) {
    if constexpr (std::is_same_v<Server, test::ScriptedServer>) cli_.Port = server.PortText();
    ASSERT_EQ(Run([&] { cli_.Connect(); }, SmtpRequest::Connect), 0) << cli_.LastResponse();
    ASSERT_EQ(Run([&] { cli_.Helo(); }, SmtpRequest::Helo), 0) << cli_.LastResponse();
  }

  template <typename Server>
  void WaitFor(const Server& server) {
    ASSERT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, std::chrono::seconds(15)));
    const auto failures = server.Failures();
    EXPECT_TRUE(failures.empty()) << failures.front();
  }

  // One line the client wrote, empty when it wrote fewer.
  template <typename Server>
  static std::string LineSent(const Server& server, std::size_t index) {
    const auto lines = server.ReceivedLines();
    return index < lines.size() ? lines[index] : std::string();
  }

  bool Displayed(const std::string& needle) const {
    for (const auto& line : display_) {
      if (line.find(needle) != std::string::npos) return true;
    }
    return false;
  }

  platform::PollEventLoop loop_;
  test::SteppedTimers timers_{loop_};
  std::shared_ptr<test::PipeTransport::Peer> pipe_ = std::make_shared<test::PipeTransport::Peer>();
  FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9, 0, 540}};
  SmtpClient cli_;
  std::vector<std::pair<SmtpRequest, int>> done_;
  std::vector<std::string> events_;
  std::vector<std::string> display_;
};

}  // namespace mf::testing
