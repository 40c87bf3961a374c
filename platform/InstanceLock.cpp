#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace mf::platform {

InstanceLock::InstanceLock(const std::string& name) {
  std::string folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    folder = runtime;
  } else {
    folder = "/tmp";
  }
  // The lock belongs to the desktop session: one per display.
  std::string display;
  if (const char* value = std::getenv("DISPLAY"); value) display = value;
  for (char& c : display) {
    if (c == '/' || c == ':') c = '_';
  }
  std::string path = folder + "/" + name + "-" + std::to_string(::getuid()) + display + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace mf::platform
