#include "tests/servers/FaultProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <list>
#include <stdexcept>
#include <vector>

namespace mf::test {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool SendAll(int fd, const std::string& data) { return SendAll(fd, data.data(), data.size()); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

struct FaultProxy::Connection {
  int client = -1;
  int server = -1;  // -1 once the server side is given up
  std::string clientLine;  // an incomplete line of each side
  std::string serverLine;
  bool raw = false;     // after STARTTLS or STLS
  bool inData = false;  // between the server's 354 and the client's "."
  bool dropOnReply = false;
  bool cutting = false;
  std::size_t cutLeft = 0;
};

FaultProxy::FaultProxy(int targetPort) : targetPort_(targetPort) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wake_, O_CLOEXEC) != 0) {
    throw std::runtime_error("the fault proxy cannot listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

FaultProxy::~FaultProxy() {
  const char stop = 's';
  [[maybe_unused]] const ssize_t ignored = ::write(wake_[1], &stop, 1);
  thread_.join();
  CloseFd(listener_);
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
}

void FaultProxy::Arm(Fault fault) {
  std::lock_guard lock(mutex_);
  fault_ = std::move(fault);
  armed_ = true;
  seen_ = 0;
  fired_ = false;
}

void FaultProxy::HideCapability(std::string word) {
  std::lock_guard lock(mutex_);
  hidden_ = Upper(std::move(word));
}

void FaultProxy::Run() {
  std::list<Connection> connections;
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const Connection& connection : connections) {
      fds.push_back({connection.client, POLLIN, 0});
      fds.push_back({connection.server, POLLIN, 0});  // a negative descriptor is skipped
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents != 0) break;
    std::size_t index = 2;
    for (auto it = connections.begin(); it != connections.end(); index += 2) {
      bool open = true;
      if (fds[index].revents != 0) open = FromClient(*it);
      if (open && fds[index + 1].revents != 0) open = FromServer(*it);
      if (open) {
        ++it;
        continue;
      }
      CloseFd(it->client);
      CloseFd(it->server);
      it = connections.erase(it);
    }
    if (fds[1].revents == 0) continue;
    Connection connection;
    connection.client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection.client < 0) continue;
    connection.server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target = Loopback(targetPort_);
    if (connection.server < 0 || ::connect(connection.server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
      CloseFd(connection.client);
      CloseFd(connection.server);
      continue;
    }
    // The greeting is the first thing a session holds.
    std::lock_guard lock(mutex_);
    if (armed_ && !fired_ && fault_.step.command.empty() && ++seen_ == fault_.step.nth) {
      fired_ = true;
      switch (fault_.kind) {
        case FaultKind::DropBefore:
        case FaultKind::ReplyLost:
          CloseFd(connection.client);
          CloseFd(connection.server);
          continue;
        case FaultKind::Answer:
          CloseFd(connection.server);
          SendAll(connection.client, fault_.answer + "\r\n");
          break;
        case FaultKind::CutReply:
          connection.cutting = true;
          connection.cutLeft = fault_.bytes;
          break;
      }
    }
    connections.push_back(std::move(connection));
  }
  for (Connection& connection : connections) {
    CloseFd(connection.client);
    CloseFd(connection.server);
  }
}

bool FaultProxy::FromClient(Connection& connection) {
  char buffer[16384];
  const ssize_t count = ::recv(connection.client, buffer, sizeof buffer, 0);
  if (count <= 0) return false;
  if (connection.server < 0) return true;  // a refused greeting: nobody listens
  if (connection.raw) return SendAll(connection.server, buffer, static_cast<std::size_t>(count));
  connection.clientLine.append(buffer, static_cast<std::size_t>(count));
  std::size_t end;
  while (!connection.raw && (end = connection.clientLine.find("\r\n")) != std::string::npos) {
    std::string line = connection.clientLine.substr(0, end);
    connection.clientLine.erase(0, end + 2);
    if (!ClientLine(connection, line)) return false;
  }
  // What follows STARTTLS in the same read is the client's handshake.
  if (connection.raw && !connection.clientLine.empty()) {
    const bool sent = SendAll(connection.server, connection.clientLine);
    connection.clientLine.clear();
    return sent;
  }
  return true;
}

bool FaultProxy::Matches(Connection& connection, const std::string& line) {
  if (!armed_ || fired_) return false;
  const FaultStep& step = fault_.step;
  if (step.command.empty()) return false;
  bool match;
  if (step.inBody) {
    match = connection.inData && line.find(step.command) != std::string::npos;
  } else if (step.command == ".") {
    match = connection.inData && line == ".";
  } else {
    match = !connection.inData && Upper(line).rfind(Upper(step.command), 0) == 0;
  }
  if (!match || ++seen_ != step.nth) return false;
  fired_ = true;
  return true;
}

bool FaultProxy::ClientLine(Connection& connection, const std::string& line) {
  std::unique_lock lock(mutex_);
  const bool strike = Matches(connection, line);
  const Fault fault = strike ? fault_ : Fault{};
  lock.unlock();
  const bool endOfData = connection.inData && line == ".";
  if (endOfData) connection.inData = false;
  if (strike) {
    switch (fault.kind) {
      case FaultKind::DropBefore:
        return false;
      case FaultKind::Answer:
        return SendAll(connection.client, fault.answer + "\r\n");
      case FaultKind::ReplyLost:
        connection.dropOnReply = true;
        break;
      case FaultKind::CutReply:
        connection.cutting = true;
        connection.cutLeft = fault.bytes;
        break;
    }
  }
  const std::string command = Upper(line);
  if (!connection.inData && (command == "STARTTLS" || command == "STLS")) connection.raw = true;
  return SendAll(connection.server, line + "\r\n");
}

bool FaultProxy::FromServer(Connection& connection) {
  char buffer[16384];
  const ssize_t count = ::recv(connection.server, buffer, sizeof buffer, 0);
  if (count <= 0 || connection.dropOnReply) return false;
  std::size_t size = static_cast<std::size_t>(count);
  if (connection.cutting) {
    const std::size_t passed = std::min(size, connection.cutLeft);
    connection.cutLeft -= passed;
    return SendAll(connection.client, buffer, passed) && connection.cutLeft > 0;
  }
  if (connection.raw) return SendAll(connection.client, buffer, size);
  connection.serverLine.append(buffer, size);
  std::string hidden;
  {
    std::lock_guard lock(mutex_);
    hidden = hidden_;
  }
  std::string passed;
  std::size_t end;
  while ((end = connection.serverLine.find("\r\n")) != std::string::npos) {
    const std::string line = connection.serverLine.substr(0, end);
    connection.serverLine.erase(0, end + 2);
    if (!connection.inData && line.rfind("354", 0) == 0) connection.inData = true;
    if (!hidden.empty() && Upper(line) == hidden) continue;
    passed += line + "\r\n";
  }
  return SendAll(connection.client, passed);
}

}  // namespace mf::test
