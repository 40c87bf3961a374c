#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace mf {

// One block of a socket's send queue: a byte array of fixed capacity with a
// write count and a read count. A block is reused once everything written has
// been read, so a queue that keeps up with the network allocates nothing.
class SendBlock {
 public:
  // Blocks asked for with no sensible size get one Ethernet frame.
  static constexpr int kDefaultSize = 1514;

  explicit SendBlock(int size);

  // Appends as much as fits; returns the count written.
  int Write(const void* data, int length);
  int Write(std::string_view bytes) { return Write(bytes.data(), static_cast<int>(bytes.size())); }

  // The unread bytes.
  const char* Peek() const { return data_.get() + readCount_; }
  int Unread() const { return writeCount_ - readCount_; }

  // Marks `count` bytes as read; both counts return to 0 once all is read.
  void Remove(int count);

  int Size() const { return size_; }
  int WriteCount() const { return writeCount_; }
  int ReadCount() const { return readCount_; }
  bool IsFull() const { return writeCount_ >= size_; }

 private:
  int size_;
  std::unique_ptr<char[]> data_;
  int writeCount_ = 0;
  int readCount_ = 0;
};

}  // namespace mf
