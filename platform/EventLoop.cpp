#include "platform/EventLoop.h"

namespace mf::platform {

void Timer::Start(std::chrono::milliseconds interval, EventLoop::Repeat repeat,
                  EventLoop::Callback callback) {
  Stop();
  interval_ = interval;
  if (repeat == EventLoop::Repeat::Repeating) {
    id_ = loop_.AddTimer(interval, repeat, std::move(callback));
    return;
  }
  // A single-shot timer is inactive once it has fired, even if its callback
  // starts it again.
  int generation = ++*generation_;
  std::weak_ptr<int> weak = generation_;
  id_ = loop_.AddTimer(interval, repeat, [this, weak, generation, callback = std::move(callback)] {
    auto alive = weak.lock();
    if (!alive || *alive != generation) return;
    id_ = 0;
    callback();
  });
}

void Timer::Stop() {
  ++*generation_;
  if (id_ != 0) loop_.RemoveTimer(id_);
  id_ = 0;
}

void FdWatch::Start(int fd, EventLoop::Readiness readiness, EventLoop::Callback callback) {
  Stop();
  id_ = loop_.AddWatch(fd, readiness, std::move(callback));
}

void FdWatch::Stop() {
  if (id_ != 0) loop_.RemoveWatch(id_);
  id_ = 0;
}

}  // namespace mf::platform
