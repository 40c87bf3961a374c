#include "net/SendBlock.h"

#include <algorithm>
#include <cstring>

namespace mf {

SendBlock::SendBlock(int size)
    : size_(size > 0 ? size : kDefaultSize), data_(std::make_unique<char[]>(static_cast<std::size_t>(size_))) {}

int SendBlock::Write(const void* data, int length) {
  int count = std::clamp(length, 0, size_ - writeCount_);
  if (count > 0) std::memcpy(data_.get() + writeCount_, data, static_cast<std::size_t>(count));
  writeCount_ += count;
  return count;
}

void SendBlock::Remove(int count) {
  readCount_ += std::clamp(count, 0, Unread());
  if (readCount_ >= writeCount_) {
    readCount_ = 0;
    writeCount_ = 0;
  }
}

}  // namespace mf
