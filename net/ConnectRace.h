#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "net/SocketAddress.h"
#include "platform/EventLoop.h"

namespace mf {

// Connects to the first of several addresses of one server that answers.
// They are tried in the order given; the next starts as soon as one fails,
// or when one has not answered within the attempt delay while the earlier
// ones keep trying, so a family that swallows connections silently costs a
// quarter of a second instead of the whole time-out. The first connection
// made wins and the others are closed.
class ConnectRace {
 public:
  // A connected, non-blocking descriptor the receiver now owns, or -1 and the
  // socket error number of the last attempt that failed.
  using Done = std::function<void(int fd, int error)>;

  static constexpr std::chrono::milliseconds kAttemptDelay{250};

  // `local`, when not the any-address, is bound before connecting; an address
  // of the other family is then skipped. `done` is called from the event loop,
  // never inside the constructor, and not after the race is destroyed.
  ConnectRace(platform::EventLoop& loop, std::vector<SocketAddress> addresses, std::optional<SocketAddress> local,
              Done done, std::chrono::milliseconds attemptDelay = kAttemptDelay);
  ~ConnectRace();
  ConnectRace(const ConnectRace&) = delete;
  ConnectRace& operator=(const ConnectRace&) = delete;

 private:
  struct Attempt;

  void StartNext();
  void Failed(Attempt& attempt, int error);
  void Won(Attempt& attempt);
  void Finish(int fd, int error);
  bool AnyPending() const;

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  platform::Timer delay_;
  std::vector<SocketAddress> addresses_;
  std::optional<SocketAddress> local_;
  Done done_;
  std::chrono::milliseconds attemptDelay_;
  std::size_t next_ = 0;
  std::vector<std::unique_ptr<Attempt>> attempts_;
  int lastError_ = 0;
  bool finished_ = false;
};

}  // namespace mf
