#pragma once

// A file system of a few hundred kilobytes for a test: a tmpfs mounted on a
// folder of its own (which needs root), so that writing runs into a full
// disk as it would on a real one. Unmounted again at the end.

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/Files.h"

namespace mf::testing {

class SmallDisk {
 public:
  // `path` is an empty folder, with its trailing separator.
  SmallDisk(std::string path, int kilobytes) : path_(std::move(path)) {
    if (::geteuid() != 0) {
      whyNot_ = "mounting a small file system needs root";
      return;
    }
    mounted_ = Run("mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k,mode=0755 tmpfs '" + path_ + "'");
    if (!mounted_) whyNot_ = "tmpfs could not be mounted here";
  }
  ~SmallDisk() {
    if (mounted_) Run("umount -l '" + path_ + "'");
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& WhyNot() const { return whyNot_; }
  const std::string& Path() const { return path_; }

  // Room again, as when the user frees space.
  bool Grow(int kilobytes) const {
    return Run("mount -o remount,size=" + std::to_string(kilobytes) + "k '" + path_ + "'");
  }
  // Takes all the free space but about `leaveKilobytes` with a filler file.
  bool Fill(int leaveKilobytes) const {
    const std::string filler = path_ + "filler.bin";
    Run("dd if=/dev/zero of='" + filler + "' bs=1k 2>/dev/null");
    return Run("truncate -s -" + std::to_string(leaveKilobytes) + "K '" + filler + "'");
  }
  void Empty() const { platform::DeleteFileInside(path_, path_ + "filler.bin"); }

 private:
  static bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

  std::string path_;
  bool mounted_ = false;
  std::string whyNot_;
};

}  // namespace mf::testing
