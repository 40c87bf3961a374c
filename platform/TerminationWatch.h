#pragma once

#include <functional>

#include "platform/EventLoop.h"

namespace mf::platform {

// Turns the signals with which a desktop session or a user asks the
// program to end (SIGTERM, SIGHUP, SIGINT) into a call on the loop, so the
// program can end the way it always does, tray icon removed and files
// closed. One watch at a time; the default handling returns when it goes.
class TerminationWatch {
 public:
  TerminationWatch(EventLoop& loop, std::function<void()> onTerminate);
  ~TerminationWatch();
  TerminationWatch(const TerminationWatch&) = delete;
  TerminationWatch& operator=(const TerminationWatch&) = delete;

  bool Active() const { return readFd_ >= 0; }

 private:
  void Drain();

  std::function<void()> onTerminate_;
  int readFd_ = -1;
  int writeFd_ = -1;
  FdWatch watch_;
};

}  // namespace mf::platform
