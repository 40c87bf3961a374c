#pragma once

#include <QObject>
#include <map>
#include <memory>

#include "platform/EventLoop.h"

class QSocketNotifier;
class QTimer;

namespace mf::platform {

// The program's loop: Qt's own, with QTimer and QSocketNotifier.
class QtEventLoop final : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;

  void Post(Callback callback) override;
  Id AddTimer(std::chrono::milliseconds interval, Repeat repeat, Callback callback) override;
  void RemoveTimer(Id id) override;
  Id AddWatch(int fd, Readiness readiness, Callback callback) override;
  void RemoveWatch(Id id) override;
  void RunInBackground(std::function<Callback()> job) override;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<QObject> context_;
  std::map<Id, std::unique_ptr<QTimer>> timers_;
  std::map<Id, std::unique_ptr<QSocketNotifier>> watches_;
  Id nextId_ = 1;
};

}  // namespace mf::platform
