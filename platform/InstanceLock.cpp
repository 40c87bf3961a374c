#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace mf::platform {

InstanceLock::InstanceLock(const std::string& name) {
  // The lock belongs to the desktop session: one per display.
  std::string display;
  if (const char* value = std::getenv("DISPLAY"); value) display = value;
  for (char& c : display) {
    if (c == '/' || c == ':') c = '_';
  }
  const std::string file = name + "-" + std::to_string(::getuid()) + display + ".lock";
  std::vector<std::string> folders;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) folders.emplace_back(runtime);
  folders.emplace_back("/tmp");
  for (const std::string& folder : folders) {
    const std::string path = folder + "/" + file;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      heldByAnother_ = errno == EWOULDBLOCK;
      ::close(fd);
      if (heldByAnother_) return;
      continue;
    }
    fd_ = fd;
    return;
  }
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace mf::platform
