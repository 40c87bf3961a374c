#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "platform/EventLoop.h"

namespace mf::platform {

// An event loop over poll(2) for tests and command-line tools.
class PollEventLoop final : public EventLoop {
 public:
  PollEventLoop();
  ~PollEventLoop() override;

  void Post(Callback callback) override;
  Id AddTimer(std::chrono::milliseconds interval, Repeat repeat, Callback callback) override;
  void RemoveTimer(Id id) override;
  Id AddWatch(int fd, Readiness readiness, Callback callback) override;
  void RemoveWatch(Id id) override;
  void RunInBackground(std::function<Callback()> job) override;

  // One round: posted calls, then ready descriptors, then due timers.
  // Waits at most `maxWait` for something to happen. Returns true when
  // anything ran.
  bool RunOnce(std::chrono::milliseconds maxWait);

  // Runs until nothing is posted, ready or due without waiting.
  void RunUntilIdle();

  // Runs until `done` holds or `timeout` passes; returns `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  void RunFor(std::chrono::milliseconds duration);

  // Runs until Quit() is called.
  void Run();
  void Quit() { quit_ = true; }

 private:
  struct Shared;
  struct TimerEntry {
    std::chrono::steady_clock::time_point due;
    std::chrono::milliseconds interval;
    Repeat repeat;
    std::shared_ptr<Callback> callback;
  };
  struct WatchEntry {
    int fd;
    Readiness readiness;
    std::shared_ptr<Callback> callback;
  };

  bool RunPosted();
  bool RunDueTimers();

  std::shared_ptr<Shared> shared_;
  std::map<Id, TimerEntry> timers_;
  std::map<Id, WatchEntry> watches_;
  Id nextId_ = 1;
  bool quit_ = false;
};

}  // namespace mf::platform
