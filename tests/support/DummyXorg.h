#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

extern char** environ;

namespace mf::testing {

// A private Xorg with the dummy video driver: unlike Xvfb it offers several
// RandR outputs (DUMMY0, DUMMY1, ...) that xrandr places side by side or
// stacked, switches off and on again while programs run. Name() is empty
// when Xorg could not start.
class DummyXorg {
 public:
  explicit DummyXorg(const std::string& folder) {
    const std::string config = folder + "/dummy-xorg.conf";
    std::ofstream(config) << "Section \"Device\"\n  Identifier \"dummy\"\n  Driver \"dummy\"\n"
                             "  VideoRam 256000\nEndSection\n"
                             "Section \"Monitor\"\n  Identifier \"monitor\"\n  HorizSync 5.0-1000.0\n"
                             "  VertRefresh 5.0-200.0\nEndSection\n"
                             "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"dummy\"\n"
                             "  Monitor \"monitor\"\n  DefaultDepth 24\n  SubSection \"Display\"\n"
                             "    Depth 24\n    Virtual 4096 2160\n  EndSubSection\nEndSection\n";
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const std::string log = folder + "/dummy-xorg.log";
    const char* argv[] = {"Xorg", "-displayfd", fd.c_str(), "-config", config.c_str(), "-noreset",
                          "-nolisten", "tcp", "-logfile", log.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int failed = posix_spawnp(&pid_, "Xorg", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (failed != 0) {
      pid_ = -1;
      close(fds[0]);
      return;
    }
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~DummyXorg() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  DummyXorg(const DummyXorg&) = delete;
  DummyXorg& operator=(const DummyXorg&) = delete;

  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace mf::testing
