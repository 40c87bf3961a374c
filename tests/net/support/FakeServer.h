#pragma once

// A scripted TCP peer on 127.0.0.1 for the socket and protocol tests. The
// script runs on its own thread with blocking calls (each bounded by a
// deadline, so a broken client fails the test instead of hanging it) while
// the test drives the client on its event loop.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace mf::testing {

class FakePeer {
 public:
  explicit FakePeer(int fd) : fd_(fd) {}
  ~FakePeer() { Close(); }
  FakePeer(const FakePeer&) = delete;
  FakePeer& operator=(const FakePeer&) = delete;

  void Send(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
      ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

  // One line without its CR LF; empty with Eof() set when the client closed
  // or went silent past the deadline.
  std::string ReadLine(std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    for (;;) {
      std::size_t end = pending_.find("\r\n");
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        return line;
      }
      if (!Fill(deadline)) return std::string();
    }
  }

  // Everything up to and including the lone "." line of a DATA transfer.
  std::string ReadMessage(std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    for (;;) {
      std::size_t end = pending_.find("\r\n.\r\n");
      if (end != std::string::npos) {
        std::string message = pending_.substr(0, end + 5);
        pending_.erase(0, end + 5);
        return message;
      }
      if (!Fill(deadline)) return std::string();
    }
  }

  // Waits until the client closes its side; true when it did.
  bool WaitForClose(std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    while (Fill(deadline)) {
    }
    return eof_;
  }

  // Blocks for `time` without reading, like a server that stopped answering.
  static void Stall(std::chrono::milliseconds time) { std::this_thread::sleep_for(time); }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Eof() const { return eof_; }
  const std::string& Unread() const { return pending_; }

 private:
  bool Fill(std::chrono::milliseconds deadline) {
    if (fd_ < 0 || eof_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(deadline.count())) <= 0) return false;
    char buffer[65536];
    ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
    if (count <= 0) {
      eof_ = true;
      return false;
    }
    pending_.append(buffer, static_cast<std::size_t>(count));
    return true;
  }

  int fd_;
  std::string pending_;
  bool eof_ = false;
};

// Listens on an ephemeral loopback port and runs `script` for the first
// client that connects.
class FakeServer {
 public:
  using Script = std::function<void(FakePeer&)>;

  explicit FakeServer(Script script) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listen_, 4) != 0) {
      throw std::runtime_error("fake server cannot listen");
    }
    socklen_t size = sizeof address;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, script = std::move(script)] {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 15000) <= 0) {
        finished_ = true;
        return;
      }
      int fd = ::accept(listen_, nullptr, nullptr);
      if (fd >= 0) {
        FakePeer peer(fd);
        script(peer);
      }
      finished_ = true;
    });
  }

  ~FakeServer() {
    if (thread_.joinable()) thread_.join();
    ::close(listen_);
  }

  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  bool Finished() const { return finished_; }

  // A loopback port with nobody listening: connecting to it is refused.
  static int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
  }

 private:
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> finished_{false};
};

}  // namespace mf::testing
