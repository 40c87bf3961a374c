#pragma once

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

namespace mf::tool {

// MFMAIL_TEST_CRASH_AT="retr:2" kills the process at the second "retr"
// point of a run (receive, send-outbox), as a power cut would: tests check
// that nothing is lost. Only a build with the tests reads it; an installed
// mftool never does.
class CrashPoint {
 public:
  CrashPoint() {
#ifdef MFMAIL_CRASH_POINTS
    const char* value = std::getenv("MFMAIL_TEST_CRASH_AT");
    if (value == nullptr) return;
    const std::string text(value);
    const auto colon = text.find(':');
    point_ = text.substr(0, colon);
    remaining_ = colon == std::string::npos ? 1 : std::atoi(text.c_str() + colon + 1);
#endif
  }
  void Reached(std::string_view point) {
    if (point_.empty() || point != point_ || --remaining_ > 0) return;
    std::cout.flush();
    std::raise(SIGKILL);
  }

 private:
  std::string point_;
  int remaining_ = 0;
};

}  // namespace mf::tool
