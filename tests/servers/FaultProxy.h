#pragma once

// A relay on 127.0.0.1 in front of a real mail server that breaks one
// session at a chosen step, the way a bad line or a failing server would:
//
//   test::FaultProxy proxy(servers.SmtpPort());
//   proxy.Arm({{"RCPT TO", 2}, test::FaultKind::Answer, "451 4.3.0 try later"});
//   settings.smtpPort = std::to_string(proxy.Port());
//
// While a session is plain text the client's lines are read one by one; a
// step is the n-th line starting with a command (any case), the greeting,
// or a body line holding a marker. After STARTTLS or STLS the stream is
// relayed as bytes. The fault fires once; later sessions pass untouched.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace mf::test {

struct FaultStep {
  // The start of a client line ("RCPT TO", "." for the end of the data);
  // empty for the server's greeting.
  std::string command;
  int nth = 1;  // counted over every session since Arm
  // `command` is a text held by a line of a message body.
  bool inBody = false;
};

enum class FaultKind {
  DropBefore,  // the connection ends before the line goes on
  ReplyLost,   // the line goes on; the connection ends when the server answers, the answer withheld
  Answer,      // `answer` goes back instead; the server never hears the line
  CutReply,    // the line goes on; `bytes` of what the server says next pass, then the connection ends
};

struct Fault {
  FaultStep step;
  FaultKind kind = FaultKind::DropBefore;
  std::string answer;  // for Answer, without its CR LF
  std::size_t bytes = 0;
};

class FaultProxy {
 public:
  explicit FaultProxy(int targetPort);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  int Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }

  // The fault for the sessions to come, replacing an unfired one.
  void Arm(Fault fault);
  // The armed fault has struck.
  bool Fired() const { return fired_; }
  // A plain server line that is only this word (any case) is left out, so
  // that the client never learns of it ("PIPELINING" in a CAPA reply).
  void HideCapability(std::string word);

 private:
  struct Connection;
  void Run();
  void Accept();
  // False when the connection is over.
  bool FromClient(Connection& connection);
  bool FromServer(Connection& connection);
  bool ClientLine(Connection& connection, const std::string& line);
  bool Matches(Connection& connection, const std::string& line);

  int targetPort_;
  int listener_ = -1;
  int port_ = 0;
  int wake_[2] = {-1, -1};
  std::mutex mutex_;  // the fault and its counts
  Fault fault_;
  bool armed_ = false;
  int seen_ = 0;
  std::string hidden_;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace mf::test
