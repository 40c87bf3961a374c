#include "platform/qt/QtEventLoop.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <mutex>
#include <thread>

namespace mf::platform {

// Background threads post through this while the loop is alive.
struct QtEventLoop::Shared {
  std::mutex mutex;
  QObject* context = nullptr;

  void Post(Callback callback) {
    std::lock_guard lock(mutex);
    if (!context) return;
    QMetaObject::invokeMethod(context, std::move(callback), Qt::QueuedConnection);
  }
};

QtEventLoop::QtEventLoop() : shared_(std::make_shared<Shared>()), context_(std::make_unique<QObject>()) {
  shared_->context = context_.get();
}

QtEventLoop::~QtEventLoop() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->context = nullptr;
  }
  watches_.clear();
  timers_.clear();
}

void QtEventLoop::Post(Callback callback) { shared_->Post(std::move(callback)); }

EventLoop::Id QtEventLoop::AddTimer(std::chrono::milliseconds interval, Repeat repeat, Callback callback) {
  Id id = nextId_++;
  auto timer = std::make_unique<QTimer>();
  timer->setSingleShot(repeat == Repeat::Once);
  timer->setInterval(static_cast<int>(interval.count()));
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer.get(), &QTimer::timeout, context_.get(),
                   [this, id, repeat, callback = std::move(callback)] {
                     // Keep the callback alive while it runs; a single shot
                     // is forgotten afterwards unless it re-armed itself.
                     auto keep = callback;
                     if (repeat == Repeat::Once) {
                       auto it = timers_.find(id);
                       if (it != timers_.end()) {
                         it->second.release()->deleteLater();
                         timers_.erase(it);
                       }
                     }
                     keep();
                   });
  timer->start();
  timers_[id] = std::move(timer);
  return id;
}

void QtEventLoop::RemoveTimer(Id id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second.release()->deleteLater();  // it may be the timer now firing
  timers_.erase(it);
}

EventLoop::Id QtEventLoop::AddWatch(int fd, Readiness readiness, Callback callback) {
  Id id = nextId_++;
  auto type = readiness == Readiness::Read ? QSocketNotifier::Read : QSocketNotifier::Write;
  auto notifier = std::make_unique<QSocketNotifier>(fd, type);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, context_.get(),
                   [callback = std::move(callback)] {
                     auto keep = callback;
                     keep();
                   });
  watches_[id] = std::move(notifier);
  return id;
}

void QtEventLoop::RemoveWatch(Id id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second->setEnabled(false);
  it->second.release()->deleteLater();
  watches_.erase(it);
}

void QtEventLoop::RunInBackground(std::function<Callback()> job) {
  std::thread([shared = shared_, job = std::move(job)] {
    Callback done = job();
    if (done) shared->Post(std::move(done));
  }).detach();
}

}  // namespace mf::platform
