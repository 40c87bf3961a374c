#pragma once

// A scripted server for the protocol fuzz targets. The fuzz input is the
// server's side of a conversation: turns separated by a 0 byte, the first
// sent when the client connects, one more after every line the client
// writes. When both sides wait for each other the server hangs up, as a
// server would that has nothing more to say; after that the client must
// finish, so a hang is a fault.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/PollEventLoop.h"

namespace mf::fuzz {

// A listening socket on 127.0.0.1 with a port the system chose.
inline int Listener(int& port) {
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

// The turns of the input after its first byte, which the target keeps for
// its own choices.
inline std::vector<std::string> SplitTurns(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> turns(1);
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      turns.emplace_back();
    } else {
      turns.back() += static_cast<char>(data[i]);
    }
  }
  return turns;
}

// The server side, run on the same loop as the client.
class ScriptedPeer {
 public:
  ScriptedPeer(platform::PollEventLoop& loop, int listener, std::vector<std::string> turns)
      : turns_(std::move(turns)), acceptWatch_(loop), readWatch_(loop) {
    acceptWatch_.Start(listener, platform::EventLoop::Readiness::Read, [this, listener] {
      acceptWatch_.Stop();
      fd_ = ::accept(listener, nullptr, nullptr);
      if (fd_ < 0) return;
      NextTurn();
      readWatch_.Start(fd_, platform::EventLoop::Readiness::Read, [this] { Readable(); });
    });
  }
  ~ScriptedPeer() { Close(); }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

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
  platform::FdWatch acceptWatch_;
  platform::FdWatch readWatch_;
};

}  // namespace mf::fuzz
