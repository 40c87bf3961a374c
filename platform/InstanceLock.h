#pragma once

#include <string>

namespace mf::platform {

// One running copy per desktop session: an exclusive lock on a file named
// after the lock in the user's runtime folder (or /tmp). Released when the
// object goes.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool Acquired() const { return fd_ >= 0; }
  // Another copy holds the lock. A lock file that could not be made at all
  // (no runtime folder, a read-only /tmp) is not another copy: the caller
  // runs without the lock rather than mistake itself for a second start.
  bool HeldByAnother() const { return heldByAnother_; }

 private:
  int fd_ = -1;
  bool heldByAnother_ = false;
};

}  // namespace mf::platform
