#include "platform/TerminationWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace mf::platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler can only reach the program through a global; it holds
// the write end of the watch's pipe and nothing else.
std::atomic<int> signalFd{-1};

extern "C" void OnTerminationSignal(int signal) {
  int saved = errno;
  int fd = signalFd.load();
  if (fd >= 0) {
    unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t written = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

TerminationWatch::TerminationWatch(EventLoop& loop, std::function<void()> onTerminate)
    : onTerminate_(std::move(onTerminate)), watch_(loop) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  int expected = -1;
  if (!signalFd.compare_exchange_strong(expected, fds[1])) {
    ::close(fds[0]);
    ::close(fds[1]);
    return;
  }
  readFd_ = fds[0];
  writeFd_ = fds[1];
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
  watch_.Start(readFd_, EventLoop::Readiness::Read, [this] { Drain(); });
}

TerminationWatch::~TerminationWatch() {
  if (readFd_ < 0) return;
  watch_.Stop();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
  signalFd.store(-1);
  ::close(readFd_);
  ::close(writeFd_);
}

void TerminationWatch::Drain() {
  unsigned char buffer[16];
  bool any = false;
  while (::read(readFd_, buffer, sizeof buffer) > 0) any = true;
  if (any && onTerminate_) onTerminate_();
}

}  // namespace mf::platform
