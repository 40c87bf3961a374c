#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace mf::platform {

// The one loop every window, timer and socket of the program runs on.
// A posted call never runs inside the call that posted it.
class EventLoop {
 public:
  using Callback = std::function<void()>;
  using Id = std::uint64_t;
  enum class Repeat { Once, Repeating };
  enum class Readiness { Read, Write };

  virtual ~EventLoop() = default;

  // Runs `callback` later on the loop. Safe to call from any thread.
  virtual void Post(Callback callback) = 0;

  virtual Id AddTimer(std::chrono::milliseconds interval, Repeat repeat, Callback callback) = 0;
  virtual void RemoveTimer(Id id) = 0;

  // Calls `callback` on the loop each time `fd` is ready, until removed.
  virtual Id AddWatch(int fd, Readiness readiness, Callback callback) = 0;
  virtual void RemoveWatch(Id id) = 0;

  // Runs a blocking `job` (a host-name lookup) on a background thread; the
  // callback it returns runs on the loop. If the loop is gone by then, the
  // result is dropped.
  virtual void RunInBackground(std::function<Callback()> job) = 0;
};

// Hands out callbacks that do nothing once their owner is destroyed, so a
// posted completion never reaches a dead object.
class LifetimeGuard {
 public:
  LifetimeGuard() : token_(std::make_shared<char>(0)) {}
  LifetimeGuard(const LifetimeGuard&) = delete;
  LifetimeGuard& operator=(const LifetimeGuard&) = delete;

  template <typename F>
  EventLoop::Callback Bind(F function) const {
    return [weak = std::weak_ptr<char>(token_), function = std::move(function)]() mutable {
      if (weak.lock()) function();
    };
  }

 private:
  std::shared_ptr<char> token_;
};

// A timer owned by its holder: stopped when the holder goes.
class Timer {
 public:
  explicit Timer(EventLoop& loop) : loop_(loop) {}
  ~Timer() { Stop(); }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void Start(std::chrono::milliseconds interval, EventLoop::Repeat repeat, EventLoop::Callback callback);
  void Stop();
  bool IsActive() const { return id_ != 0; }
  std::chrono::milliseconds Interval() const { return interval_; }

 private:
  EventLoop& loop_;
  EventLoop::Id id_ = 0;
  std::chrono::milliseconds interval_{0};
  std::shared_ptr<int> generation_ = std::make_shared<int>(0);
};

// A readiness watch owned by its holder.
class FdWatch {
 public:
  explicit FdWatch(EventLoop& loop) : loop_(loop) {}
  ~FdWatch() { Stop(); }
  FdWatch(const FdWatch&) = delete;
  FdWatch& operator=(const FdWatch&) = delete;

  void Start(int fd, EventLoop::Readiness readiness, EventLoop::Callback callback);
  void Stop();
  bool IsActive() const { return id_ != 0; }

 private:
  EventLoop& loop_;
  EventLoop::Id id_ = 0;
};

}  // namespace mf::platform
