// Feeds arbitrary server replies to the POP3 client over a loopback
// connection. The input is the server's side of the conversation: turns
// separated by a 0 byte, the first sent when the client connects, one more
// after every line the client writes. The first byte picks how the client
// logs in and which commands it sends after that. When both sides wait for
// each other the server hangs up; after that the client must finish: a hang
// is a fault.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/Pop3Cli.h"
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

// What the client does once logged in, one command per completion.
const mf::TPop3Request kCommands[] = {mf::pop3Stat, mf::pop3List, mf::pop3Uidl, mf::pop3Retr,
                                      mf::pop3Top,  mf::pop3Last, mf::pop3Dele, mf::pop3Noop};

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
  mf::TPop3Cli client(loop);
  client.SetHost("127.0.0.1");
  client.SetPort(std::to_string(port));
  client.SetUserName("user");
  client.SetPassWord("secret");
  client.SetMsgLines(data[0] & 3);
  // Touch what handlers read, so that a stale or cut value shows up under ASan.
  std::size_t seen = 0;
  auto look = [&seen](mf::TCustomPop3Cli& sender) { seen += sender.LastResponse().size() + sender.MsgUidl().size(); };
  client.OnMessageLine = look;
  client.OnListLine = look;
  client.OnUidlLine = look;
  client.OnMessageEnd = look;

  const bool useApop = data[0] & 0x80;
  const bool useOpen = !useApop && (data[0] & 0x40);
  std::size_t command = (data[0] >> 2) & 7;
  int sent = 0;
  bool finished = false;
  auto quit = [&](mf::TCustomPop3Cli& sender) {
    try {
      sender.Quit();
    } catch (const mf::Pop3Exception&) {
      finished = true;
    }
  };
  client.OnRequestDone = [&](mf::TCustomPop3Cli& sender, mf::TPop3Request type, std::uint16_t error) {
    if (type == mf::pop3Quit) {
      finished = true;
      return;
    }
    if (error != 0 && !sender.Connected()) return quit(sender);
    try {
      switch (type) {
        case mf::pop3Connect:
          if (useApop) {
            sender.APop();
          } else {
            sender.User();
          }
          break;
        case mf::pop3User: sender.Pass(); break;
        default:
          if (sent++ >= 6) return quit(sender);
          sender.SetMsgNum(static_cast<int>(sent % 3));
          switch (kCommands[command++ % 8]) {
            case mf::pop3Stat: sender.Stat(); break;
            case mf::pop3List: sender.List(); break;
            case mf::pop3Uidl: sender.Uidl(); break;
            case mf::pop3Retr: sender.Retr(); break;
            case mf::pop3Top: sender.Top(); break;
            case mf::pop3Last: sender.Last(); break;
            case mf::pop3Dele: sender.Dele(); break;
            default: sender.Noop(); break;
          }
      }
    } catch (const mf::Pop3Exception&) {
      quit(sender);
    }
  };
  if (useOpen) {
    client.Open();
  } else {
    client.Connect();
  }
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!finished) {
    if (std::chrono::steady_clock::now() > deadline) std::abort();  // the client hangs
    if (!loop.RunOnce(5ms)) script.Close();
  }
  if (seen == SIZE_MAX) std::abort();
  return 0;
}
