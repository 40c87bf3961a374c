#include "net/ConnectRace.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/TcpSocket.h"

namespace mf {

struct ConnectRace::Attempt {
  explicit Attempt(platform::EventLoop& loop) : watch(loop) {}
  ~Attempt() {
    watch.Stop();
    if (fd >= 0) ::close(fd);
  }
  Attempt(const Attempt&) = delete;
  Attempt& operator=(const Attempt&) = delete;

  int fd = -1;
  platform::FdWatch watch;
  bool pending = false;
};

namespace {

// Opens a non-blocking socket with the program's options and starts
// connecting; returns the descriptor, or -1 with `error` set.
int StartConnecting(const SocketAddress& address, const std::optional<SocketAddress>& local, int& error) {
  int fd = ::socket(address.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  auto fail = [&] {
    error = errno;
    ::close(fd);
    return -1;
  };
  int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return fail();
  // Mail commands go out whole, one line or a batch of lines at a time;
  // holding one back until the last is acknowledged only adds a round trip.
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) return fail();
  // Lingering stays off, as the system has it: a close finishes sending in
  // the background.
  if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) return fail();
  if (local && ::bind(fd, local->Raw(), local->Size()) != 0) return fail();
  if (::connect(fd, address.Raw(), address.Size()) != 0 && errno != EINPROGRESS) return fail();
  error = 0;
  return fd;
}

}  // namespace

ConnectRace::ConnectRace(platform::EventLoop& loop, std::vector<SocketAddress> addresses,
                         std::optional<SocketAddress> local, Done done, std::chrono::milliseconds attemptDelay)
    : loop_(loop),
      delay_(loop),
      addresses_(std::move(addresses)),
      local_(local && !local->IsAny() ? local : std::nullopt),
      done_(std::move(done)),
      attemptDelay_(attemptDelay) {
  // Started from the loop, so that even an address list that fails at once
  // reports after the caller has finished setting up.
  loop_.Post(guard_.Bind([this] { StartNext(); }));
}

ConnectRace::~ConnectRace() = default;

void ConnectRace::StartNext() {
  delay_.Stop();
  while (!finished_ && next_ < addresses_.size()) {
    const SocketAddress& address = addresses_[next_++];
    if (local_ && local_->Family() != address.Family()) {
      lastError_ = wsa::kAddressNotAvailable;
      continue;
    }
    int error = 0;
    int fd = StartConnecting(address, local_, error);
    if (fd < 0) {
      lastError_ = SocketErrorFromErrno(error);
      continue;
    }
    auto attempt = std::make_unique<Attempt>(loop_);
    attempt->fd = fd;
    attempt->pending = true;
    Attempt* raw = attempt.get();
    raw->watch.Start(fd, platform::EventLoop::Readiness::Write, [this, raw] {
      int soError = 0;
      socklen_t size = sizeof soError;
      if (getsockopt(raw->fd, SOL_SOCKET, SO_ERROR, &soError, &size) != 0) soError = errno;
      if (soError == 0) {
        Won(*raw);
      } else {
        Failed(*raw, SocketErrorFromErrno(soError));
      }
    });
    attempts_.push_back(std::move(attempt));
    if (next_ < addresses_.size()) {
      delay_.Start(attemptDelay_, platform::EventLoop::Repeat::Once, guard_.Bind([this] { StartNext(); }));
    }
    return;
  }
  if (!finished_ && !AnyPending()) Finish(-1, lastError_ != 0 ? lastError_ : wsa::kHostNotFound);
}

void ConnectRace::Failed(Attempt& attempt, int error) {
  attempt.watch.Stop();
  attempt.pending = false;
  lastError_ = error;
  // The next address goes at once instead of waiting out the delay.
  StartNext();
}

void ConnectRace::Won(Attempt& attempt) {
  attempt.watch.Stop();
  int fd = attempt.fd;
  attempt.fd = -1;
  Finish(fd, 0);
}

void ConnectRace::Finish(int fd, int error) {
  finished_ = true;
  delay_.Stop();
  // The losers close now: a server must not see a connection nobody speaks on.
  attempts_.clear();
  Done done = std::move(done_);
  done(fd, error);
}

bool ConnectRace::AnyPending() const {
  for (const auto& attempt : attempts_) {
    if (attempt->pending) return true;
  }
  return false;
}

}  // namespace mf
