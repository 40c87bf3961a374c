#pragma once

// Names of the test's own for the resolver: the test process moves into a
// mount namespace of its own (which needs root) and lays a hosts file of its
// own over /etc/hosts there, so a name can resolve to ::1 and 127.0.0.1
// without touching the machine's file. Only threads started afterwards see it.

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <string>

#include "platform/Files.h"

namespace mf::testing {

class PrivateHostsFile {
 public:
  // `lines` in the hosts file's format; `path` is where the file is kept.
  PrivateHostsFile(const std::string& path, const std::string& lines) {
    if (::geteuid() != 0) {
      whyNot_ = "a private hosts file needs root";
      return;
    }
    if (!platform::WriteFileAtomic(path, "127.0.0.1 localhost\n" + lines)) {
      whyNot_ = "cannot write " + path;
      return;
    }
    // Private propagation first, so the bind mount never reaches the machine.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(path.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0) {
      whyNot_ = "no private mount namespace here";
      return;
    }
    active_ = true;
  }
  ~PrivateHostsFile() {
    if (active_) ::umount2("/etc/hosts", MNT_DETACH);
  }
  PrivateHostsFile(const PrivateHostsFile&) = delete;
  PrivateHostsFile& operator=(const PrivateHostsFile&) = delete;

  bool Active() const { return active_; }
  const std::string& WhyNot() const { return whyNot_; }

 private:
  bool active_ = false;
  std::string whyNot_;
};

}  // namespace mf::testing
