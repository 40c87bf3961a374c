#include "tests/net/support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace mf::test {
namespace {

using namespace std::chrono_literals;

// How long the server waits for the client to connect, write or close. Long
// enough for a sanitizer build on a busy machine, short enough that a client
// that never answers fails the test rather than its time limit.
constexpr std::chrono::milliseconds kClientWait = 10s;
// How often a wait looks whether the server is being destroyed.
constexpr std::chrono::milliseconds kStopCheck = 50ms;

// A socket bound to an ephemeral loopback port, which it stores in `port`.
int BindLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("scripted server: socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("scripted server: bind");
  }
  port = ntohs(address.sin_port);
  return fd;
}

std::string OpenSslErrors() {
  std::string text;
  while (unsigned long code = ERR_get_error()) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    text += buffer;
    text += "; ";
  }
  return text;
}

}  // namespace

struct ScriptedServer::Tls {
  SSL_CTX* ctx = nullptr;
  SSL* ssl = nullptr;
  Tls() = default;
  Tls(const Tls&) = delete;
  Tls& operator=(const Tls&) = delete;
  ~Tls() {
    SSL_free(ssl);
    SSL_CTX_free(ctx);
  }
};

ScriptedServer::ScriptedServer() {
  listener_ = BindLoopback(port_);
  if (::listen(listener_, 4) != 0) {
    ::close(listener_);
    throw std::runtime_error("scripted server: listen");
  }
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (connection_ >= 0) ::close(connection_);
  ::close(listener_);
}

int ScriptedServer::ClosedPort() {
  int port = 0;
  ::close(BindLoopback(port));
  return port;
}

ScriptedServer& ScriptedServer::Say(std::string bytes) {
  script_.push_back([this, bytes = std::move(bytes)] { SendAll(bytes); });
  return *this;
}

ScriptedServer& ScriptedServer::SayInPieces(std::string bytes, std::size_t piece) {
  script_.push_back([this, bytes = std::move(bytes), piece] {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      SendAll(bytes.substr(at, piece));
      std::this_thread::sleep_for(15ms);
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
    ReadAtLeast(start + bytes.size(), kClientWait);
    std::lock_guard lock(mutex_);
    const std::string got = received_.substr(start, bytes.size());
    if (got != bytes) failures_.push_back("expected \"" + bytes + "\" but got \"" + got + "\"");
    consumed_ = start + got.size();
  });
  return *this;
}

ScriptedServer& ScriptedServer::ExpectLine() {
  script_.push_back([this] {
    if (!ReadThrough("\r\n", true)) Fail("expected a line but the client closed or stayed silent");
  });
  return *this;
}

ScriptedServer& ScriptedServer::Pause(std::chrono::milliseconds time) {
  script_.push_back([time] { std::this_thread::sleep_for(time); });
  return *this;
}

ScriptedServer& ScriptedServer::CloseConnection() {
  script_.push_back([this] { ShutdownOutput(); });
  return *this;
}

ScriptedServer& ScriptedServer::NextConnection() {
  script_.push_back([this] {
    ReadAtLeast(SIZE_MAX, kClientWait);
    tls_.reset();
    ::close(connection_);
    connection_ = -1;
    {
      std::lock_guard lock(mutex_);
      consumed_ = received_.size();
    }
    if (!Accept()) {
      Fail("no next connection");
      broken_ = true;
    }
  });
  return *this;
}

ScriptedServer& ScriptedServer::StaySilent() {
  script_.push_back([this] {
    while (!stopping_) {
      if (!ReadAtLeast(SIZE_MAX, kStopCheck)) std::this_thread::sleep_for(20ms);
    }
  });
  return *this;
}

ScriptedServer& ScriptedServer::StartTls(ServerCertificate certificate) {
  script_.push_back([this, certificate = std::move(certificate)] {
    auto tls = std::make_unique<Tls>();
    tls->ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_min_proto_version(tls->ctx, TLS1_2_VERSION);
    BIO* chain = BIO_new_mem_buf(certificate.certificatePem.data(), static_cast<int>(certificate.certificatePem.size()));
    bool first = true;
    while (X509* cert = PEM_read_bio_X509(chain, nullptr, nullptr, nullptr)) {
      if (first) {
        SSL_CTX_use_certificate(tls->ctx, cert);
        X509_free(cert);
        first = false;
      } else {
        SSL_CTX_add0_chain_cert(tls->ctx, cert);
      }
    }
    BIO_free(chain);
    BIO* keyText = BIO_new_mem_buf(certificate.keyPem.data(), static_cast<int>(certificate.keyPem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyText, nullptr, nullptr, nullptr);
    BIO_free(keyText);
    SSL_CTX_use_PrivateKey(tls->ctx, key);
    EVP_PKEY_free(key);
    ERR_clear_error();
    tls->ssl = SSL_new(tls->ctx);
    SSL_set_fd(tls->ssl, connection_);
    // The handshake blocks; a client that stalls in it must not hold the
    // test for longer than any other wait.
    timeval limit{static_cast<time_t>(kClientWait.count() / 1000), 0};
    ::setsockopt(connection_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (SSL_accept(tls->ssl) != 1) {
      Fail("TLS handshake failed: " + OpenSslErrors());
      broken_ = true;
      return;
    }
    tls_ = std::move(tls);
  });
  return *this;
}

ScriptedServer& ScriptedServer::Do(std::function<void(Peer&)> step) {
  script_.push_back([this, step = std::move(step)] {
    Peer peer(*this);
    step(peer);
  });
  return *this;
}

void ScriptedServer::Start() {
  thread_ = std::thread([this] {
    Run();
    finished_ = true;
  });
}

void ScriptedServer::Finish() {
  if (thread_.joinable()) thread_.join();
}

void ScriptedServer::Run() {
  if (!Accept()) {
    Fail("no connection");
    return;
  }
  for (auto& action : script_) {
    if (stopping_) return;
    if (broken_) break;
    action();
  }
  ReadAtLeast(SIZE_MAX, kClientWait);
  tls_.reset();
  ::close(connection_);
  connection_ = -1;
}

bool ScriptedServer::Accept() {
  pollfd waiting{listener_, POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + kClientWait;
  while (::poll(&waiting, 1, static_cast<int>(kStopCheck.count())) == 0) {
    if (stopping_ || std::chrono::steady_clock::now() >= deadline) return false;
  }
  connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection_ < 0) return false;
  // Each Say should leave as its own segment, so split replies stay split.
  const int on = 1;
  ::setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return true;
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
    char chunk[65536];
    if (!tls_ || SSL_pending(tls_->ssl) == 0) {
      pollfd readable{connection_, POLLIN, 0};
      const int ready = ::poll(&readable, 1, static_cast<int>(std::min(left, kStopCheck).count()));
      if (ready < 0) return false;
      if (ready == 0) continue;
    }
    ssize_t got;
    if (tls_) {
      got = SSL_read(tls_->ssl, chunk, sizeof chunk);
      if (got <= 0 && SSL_get_error(tls_->ssl, static_cast<int>(got)) == SSL_ERROR_WANT_READ) continue;
    } else {
      got = ::recv(connection_, chunk, sizeof chunk, 0);
    }
    if (got <= 0) return false;
    std::lock_guard lock(mutex_);
    received_.append(chunk, static_cast<std::size_t>(got));
  }
}

std::optional<std::string> ScriptedServer::ReadThrough(const std::string& terminator, bool dropTerminator) {
  for (;;) {
    std::size_t size;
    {
      std::lock_guard lock(mutex_);
      const std::size_t end = received_.find(terminator, consumed_);
      if (end != std::string::npos) {
        const std::size_t start = consumed_;
        consumed_ = end + terminator.size();
        return received_.substr(start, (dropTerminator ? end : consumed_) - start);
      }
      size = received_.size();
    }
    if (!ReadAtLeast(size + 1, kClientWait)) return std::nullopt;
  }
}

void ScriptedServer::SendAll(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count =
        tls_ ? SSL_write(tls_->ssl, bytes.data() + sent, static_cast<int>(bytes.size() - sent))
             : ::send(connection_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) {
      Fail("send failed");
      return;
    }
    sent += static_cast<std::size_t>(count);
  }
}

void ScriptedServer::ShutdownOutput() {
  if (tls_) SSL_shutdown(tls_->ssl);
  ::shutdown(connection_, SHUT_WR);
}

void ScriptedServer::Fail(std::string text) {
  std::lock_guard lock(mutex_);
  failures_.push_back(std::move(text));
}

std::string ScriptedServer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> ScriptedServer::ReceivedLines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = received_.find("\r\n", start);
    if (end == std::string::npos) return lines;
    lines.push_back(received_.substr(start, end - start));
    start = end + 2;
  }
}

std::vector<std::string> ScriptedServer::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

}  // namespace mf::test
