#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace mf::testing {

// A private Xvfb for a test suite: -displayfd lets it choose a free display
// number and tell us when it is ready. Name() is empty when Xvfb could not
// start (the suite then skips).
class PrivateXServer {
 public:
  PrivateXServer(int width, int height)
      : PrivateXServer({"Xvfb", "-screen", "0", std::to_string(width) + "x" + std::to_string(height) + "x24",
                        "-nolisten", "tcp", "-noreset"}) {}

  // Any X server that takes -displayfd: `command` is the server and its
  // arguments.
  explicit PrivateXServer(std::vector<std::string> command) {
    int fds[2];
    if (pipe(fds) != 0) return;
    command.insert(command.begin() + 1, {"-displayfd", std::to_string(fds[1])});
    std::vector<char*> argv;
    for (std::string& argument : command) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
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
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace mf::testing
