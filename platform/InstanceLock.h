#pragma once

#include <string>

namespace mf::platform {

// One running copy per desktop session: an exclusive lock on a file named
// after the lock in the user's runtime folder. Released when the object goes.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False when another copy holds the lock.
  bool Acquired() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace mf::platform
