#include "tests/net/pop3/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace mf::test {

ScriptedServer::ScriptedServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 1) != 0) {
    throw std::runtime_error("bind/listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (connection_ >= 0) ::close(connection_);
  if (listener_ >= 0) ::close(listener_);
}

ScriptedServer& ScriptedServer::Say(std::string bytes) {
  script_.push_back([this, bytes = std::move(bytes)] { SendAll(bytes); });
  return *this;
}

ScriptedServer& ScriptedServer::SayInPieces(std::string bytes, std::size_t piece) {
  script_.push_back([this, bytes = std::move(bytes), piece] {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      SendAll(bytes.substr(at, piece));
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
  });
  return *this;
}

ScriptedServer& ScriptedServer::Expect(std::string bytes) {
  script_.push_back([this, bytes = std::move(bytes)] {
    std::size_t start;
    {
      std::lock_guard lock(mutex_);
      start = consumed_;
    }
    ReadAtLeast(start + bytes.size(), std::chrono::seconds(5));
    std::lock_guard lock(mutex_);
    const std::string got = received_.substr(start, bytes.size());
    if (got != bytes) failures_.push_back("expected \"" + bytes + "\" but got \"" + got + "\"");
    consumed_ = start + got.size();
  });
  return *this;
}

ScriptedServer& ScriptedServer::CloseConnection() {
  script_.push_back([this] {
    // Only our direction: a full close with unread input would send a reset.
    ::shutdown(connection_, SHUT_WR);
  });
  return *this;
}

ScriptedServer& ScriptedServer::StaySilent() {
  script_.push_back([this] {
    while (!stopping_) {
      if (!ReadAtLeast(SIZE_MAX, std::chrono::milliseconds(50))) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  return *this;
}

void ScriptedServer::Start() {
  thread_ = std::thread([this] { Run(); });
}

void ScriptedServer::Finish() {
  if (thread_.joinable()) thread_.join();
}

void ScriptedServer::Run() {
  pollfd waiting{listener_, POLLIN, 0};
  for (int waited = 0; !stopping_ && waited < 100; ++waited) {
    if (::poll(&waiting, 1, 50) > 0) break;
  }
  if (stopping_ || !(waiting.revents & POLLIN)) {
    Fail("no connection");
    return;
  }
  connection_ = ::accept(listener_, nullptr, nullptr);
  const int on = 1;
  ::setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  for (auto& action : script_) {
    if (stopping_) return;
    action();
  }
  // Record whatever else the client says until it closes.
  ReadAtLeast(SIZE_MAX, std::chrono::seconds(5));
}

// Reads until `count` bytes have arrived in all, the peer closes, or `limit` passes.
bool ScriptedServer::ReadAtLeast(std::size_t count, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (received_.size() >= count) return true;
    }
    if (stopping_) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd readable{connection_, POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    if (ready < 0) return false;
    if (ready == 0) continue;
    char chunk[4096];
    const ssize_t got = ::recv(connection_, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    std::lock_guard lock(mutex_);
    received_.append(chunk, static_cast<std::size_t>(got));
  }
}

void ScriptedServer::SendAll(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count = ::send(connection_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) {
      Fail("send failed");
      return;
    }
    sent += static_cast<std::size_t>(count);
  }
}

void ScriptedServer::Fail(std::string text) {
  std::lock_guard lock(mutex_);
  failures_.push_back(std::move(text));
}

std::string ScriptedServer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> ScriptedServer::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

}  // namespace mf::test
