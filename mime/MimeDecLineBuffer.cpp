#include "mime/MimeDecLineBuffer.h"

#include <algorithm>
#include <cstring>
#include <istream>

namespace mf::mimedec {
namespace {

// Room kept behind the data: the terminator of a last line without a line end.
constexpr std::size_t kSpare = 2;

}  // namespace

LineBuffer::LineBuffer(std::istream& stream, std::size_t maxLineLength)
    : stream_(stream), maxLineLength_(std::max<std::size_t>(maxLineLength, 16)), buffer_(new char[kInitialSize]) {}

bool LineBuffer::Fill() {
  if (endOfStream_) return false;
  char* buffer = buffer_.get();
  if (begin_ > 0) {
    const std::size_t tail = end_ - begin_;
    std::memmove(buffer, buffer + begin_, tail);
    scan_ -= begin_;
    end_ = tail;
    begin_ = 0;
  }
  // Doubling whenever less than half is free bounds both the copying above
  // and the number of reads by a constant per byte.
  if (capacity_ - kSpare - end_ < capacity_ / 2) {
    const std::size_t grown = capacity_ * 2;
    std::unique_ptr<char[]> bigger(new char[grown]);
    std::memcpy(bigger.get(), buffer, end_);
    buffer_ = std::move(bigger);
    capacity_ = grown;
    buffer = buffer_.get();
  }
  const std::size_t wanted = capacity_ - kSpare - end_;
  stream_.read(buffer + end_, static_cast<std::streamsize>(wanted));
  const auto got = static_cast<std::size_t>(stream_.gcount());
  end_ += got;
  if (got < wanted) endOfStream_ = true;
  return got > 0;
}

bool LineBuffer::Next(Folding folding, char*& line, std::size_t& length) {
  if (hasBorrowed_) {
    buffer_[borrowedAt_] = borrowed_;
    hasBorrowed_ = false;
  }
  for (;;) {
    char* buffer = buffer_.get();
    if (scan_ - begin_ > maxLineLength_) {
      // Hand over a piece; its terminator borrows the first byte of the rest.
      const std::size_t cut = begin_ + maxLineLength_;
      borrowedAt_ = cut;
      borrowed_ = buffer[cut];
      hasBorrowed_ = true;
      buffer[cut] = '\0';
      line = buffer + begin_;
      length = maxLineLength_;
      begin_ = scan_ = cut;
      return true;
    }
    const void* found = scan_ < end_ ? std::memchr(buffer + scan_, '\n', end_ - scan_) : nullptr;
    if (!found) {
      scan_ = end_;
      if (scan_ - begin_ > maxLineLength_) continue;
      if (Fill()) continue;
      if (begin_ == end_) return false;
      // The last line has no line end.
      buffer = buffer_.get();
      buffer[end_] = '\0';
      line = buffer + begin_;
      length = end_ - begin_;
      begin_ = scan_ = end_;
      return true;
    }
    const auto lf = static_cast<std::size_t>(static_cast<const char*>(found) - buffer);
    std::size_t lineEnd = lf;
    if (lineEnd > begin_ && buffer[lineEnd - 1] == '\r') --lineEnd;
    if (lineEnd - begin_ > maxLineLength_) {
      scan_ = lineEnd;
      continue;
    }
    if (folding == Folding::Join && lineEnd > begin_) {
      if (lf + 1 == end_ && !endOfStream_) {
        // The byte after the LF decides; read on and look again.
        scan_ = lf;
        Fill();
        continue;
      }
      if (lf + 1 < end_ && (buffer[lf + 1] == ' ' || buffer[lf + 1] == '\t')) {
        for (std::size_t i = lineEnd; i <= lf + 1; ++i) buffer[i] = ' ';
        scan_ = lf + 2;
        continue;
      }
    }
    buffer[lineEnd] = '\0';
    line = buffer + begin_;
    length = lineEnd - begin_;
    begin_ = scan_ = lf + 1;
    return true;
  }
}

}  // namespace mf::mimedec
