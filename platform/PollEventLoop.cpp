#include "platform/PollEventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace mf::platform {

// What background threads may touch: the posted queue and the wake-up fd.
struct PollEventLoop::Shared {
  std::mutex mutex;
  std::deque<Callback> posted;
  int wakeFd = -1;
  bool alive = true;

  void Push(Callback callback) {
    std::lock_guard lock(mutex);
    if (!alive) return;
    posted.push_back(std::move(callback));
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd, &one, sizeof one);
  }
};

PollEventLoop::PollEventLoop() : shared_(std::make_shared<Shared>()) {
  shared_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PollEventLoop::~PollEventLoop() {
  std::lock_guard lock(shared_->mutex);
  shared_->alive = false;
  shared_->posted.clear();
  ::close(shared_->wakeFd);
}

void PollEventLoop::Post(Callback callback) { shared_->Push(std::move(callback)); }

EventLoop::Id PollEventLoop::AddTimer(std::chrono::milliseconds interval, Repeat repeat,
                                      Callback callback) {
  Id id = nextId_++;
  timers_[id] = TimerEntry{std::chrono::steady_clock::now() + interval, interval, repeat,
                           std::make_shared<Callback>(std::move(callback))};
  return id;
}

void PollEventLoop::RemoveTimer(Id id) { timers_.erase(id); }

EventLoop::Id PollEventLoop::AddWatch(int fd, Readiness readiness, Callback callback) {
  Id id = nextId_++;
  watches_[id] = WatchEntry{fd, readiness, std::make_shared<Callback>(std::move(callback))};
  return id;
}

void PollEventLoop::RemoveWatch(Id id) { watches_.erase(id); }

void PollEventLoop::RunInBackground(std::function<Callback()> job) {
  std::thread([shared = shared_, job = std::move(job)] {
    Callback done = job();
    if (done) shared->Push(std::move(done));
  }).detach();
}

bool PollEventLoop::RunPosted() {
  std::deque<Callback> batch;
  {
    std::lock_guard lock(shared_->mutex);
    batch.swap(shared_->posted);
    std::uint64_t count;
    [[maybe_unused]] auto read = ::read(shared_->wakeFd, &count, sizeof count);
  }
  for (auto& callback : batch) callback();
  return !batch.empty();
}

bool PollEventLoop::RunDueTimers() {
  auto now = std::chrono::steady_clock::now();
  std::vector<Id> due;
  for (auto& [id, timer] : timers_) {
    if (timer.due <= now) due.push_back(id);
  }
  std::sort(due.begin(), due.end(), [this](Id a, Id b) { return timers_[a].due < timers_[b].due; });
  bool ran = false;
  for (Id id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // removed by an earlier callback
    auto callback = it->second.callback;
    if (it->second.repeat == Repeat::Once) {
      timers_.erase(it);
    } else {
      it->second.due = now + it->second.interval;
    }
    (*callback)();
    ran = true;
  }
  return ran;
}

bool PollEventLoop::RunOnce(std::chrono::milliseconds maxWait) {
  bool ran = RunPosted();

  auto now = std::chrono::steady_clock::now();
  auto wait = ran ? std::chrono::milliseconds(0) : maxWait;
  for (auto& [id, timer] : timers_) {
    auto untilDue = std::chrono::duration_cast<std::chrono::milliseconds>(timer.due - now);
    if (untilDue < wait) wait = std::max(untilDue, std::chrono::milliseconds(0));
  }

  std::vector<pollfd> fds;
  std::vector<Id> ids;
  fds.push_back({shared_->wakeFd, POLLIN, 0});
  ids.push_back(0);
  for (auto& [id, watch] : watches_) {
    short events = watch.readiness == Readiness::Read ? POLLIN : POLLOUT;
    fds.push_back({watch.fd, events, 0});
    ids.push_back(id);
  }
  int count = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
  if (count > 0) {
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      auto it = watches_.find(ids[i]);
      if (it == watches_.end()) continue;  // removed by an earlier callback
      auto callback = it->second.callback;
      (*callback)();
      ran = true;
    }
  }
  ran = RunDueTimers() || ran;
  return ran;
}

void PollEventLoop::RunUntilIdle() {
  while (RunOnce(std::chrono::milliseconds(0))) {
  }
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    RunOnce(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now),
                     std::chrono::milliseconds(50)));
  }
  return true;
}

void PollEventLoop::RunFor(std::chrono::milliseconds duration) {
  auto deadline = std::chrono::steady_clock::now() + duration;
  while (true) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return;
    RunOnce(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
  }
}

void PollEventLoop::Run() {
  quit_ = false;
  while (!quit_) RunOnce(std::chrono::milliseconds(1000));
}

}  // namespace mf::platform
