// Feeds arbitrary server replies to the SMTP client over a loopback
// connection. The input is the server's side of the conversation: turns
// separated by a 0 byte, the first sent when the client connects, one more after every
// line the client writes. The first byte picks the authentication the
// client tries. When both sides wait for each other the server hangs up;
// after that the client must finish: a hang is a fault.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/SmtpCli.h"
#include "platform/PollEventLoop.h"

namespace {

using namespace std::chrono_literals;

int Listener(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) std::abort();
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  port = ntohs(address.sin_port);
  return fd;
}

// The scripted server, run on the same loop as the client.
class Script {
 public:
  Script(mf::platform::PollEventLoop& loop, int listener, std::vector<std::string> turns)
      : turns_(std::move(turns)), acceptWatch_(loop), readWatch_(loop) {
    acceptWatch_.Start(listener, mf::platform::EventLoop::Readiness::Read, [this, listener] {
      acceptWatch_.Stop();
      fd_ = ::accept(listener, nullptr, nullptr);
      if (fd_ < 0) return;
      NextTurn();
      readWatch_.Start(fd_, mf::platform::EventLoop::Readiness::Read, [this] { Readable(); });
    });
  }
  ~Script() { Close(); }

  // Both sides waiting for each other: hang up, as a server would that
  // has nothing more to say.
  void Close() {
    readWatch_.Stop();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  void Readable() {
    char buffer[65536];
    ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
    if (count <= 0) return Close();
    for (ssize_t i = 0; i < count; ++i) {
      if (buffer[i] == '\n') NextTurn();
      if (fd_ < 0) return;
    }
  }

  void NextTurn() {
    if (next_ >= turns_.size()) return Close();
    const std::string& turn = turns_[next_++];
    if (!turn.empty()) ::send(fd_, turn.data(), turn.size(), MSG_NOSIGNAL);
  }

  std::vector<std::string> turns_;
  std::size_t next_ = 0;
  int fd_ = -1;
  mf::platform::FdWatch acceptWatch_;
  mf::platform::FdWatch readWatch_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int port = 0;
  static int listener = Listener(port);
  if (size == 0) return 0;

  std::vector<std::string> turns(1);
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      turns.emplace_back();
    } else {
      turns.back() += static_cast<char>(data[i]);
    }
  }

  mf::platform::PollEventLoop loop;
  Script script(loop, listener, std::move(turns));
  mf::TSmtpCli client(loop);
  client.Host = "127.0.0.1";
  client.Port = std::to_string(port);
  client.SignOn = "fuzz";
  client.Username = "user";
  client.Password = "secret";
  client.AuthType = static_cast<mf::TSmtpAuthType>(data[0] % 4);
  client.FromName = "a@example.jp";
  client.RcptName = {"b@example.jp", "c@example.jp"};
  client.HdrFrom = "a@example.jp";
  client.HdrSubject = "fuzz";
  client.OnGetData = [](mf::TCustomSmtpClient&, int lineNum, std::string& line, int, bool& more) {
    if (lineNum > 3) more = false;
    line = ".line";
  };
  bool finished = false;
  client.OnRequestDone = [&](mf::TCustomSmtpClient& sender, mf::TSmtpRequest type, std::uint16_t error) {
    try {
      if (type == mf::smtpQuit) {
        finished = true;
      } else if (type == mf::smtpOpen && error == 0) {
        sender.Mail();
      } else if (type == mf::smtpMail && error == 0) {
        sender.Rset();
      } else {
        sender.Quit();
      }
    } catch (const mf::SmtpException&) {
      finished = true;
    }
  };
  client.Open();
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!finished) {
    if (std::chrono::steady_clock::now() > deadline) std::abort();  // the client hangs
    if (!loop.RunOnce(5ms)) script.Close();
  }
  return 0;
}
