#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>

namespace mf::mimedec {

enum class Folding { Keep, Join };

// Cuts a stream into lines inside one growing buffer, so that a line can be
// decoded where it lies. A line ends at LF; a CR before the LF is dropped.
// The buffer doubles when a line does not fit, which keeps a line of many
// megabytes linear; a line longer than `maxLineLength` is handed over in
// pieces of that length, so hostile input cannot make the buffer grow
// without bound.
class LineBuffer {
 public:
  static constexpr std::size_t kInitialSize = 2048;

  LineBuffer(std::istream& stream, std::size_t maxLineLength);
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  // The next line, zero-terminated and writable up to its terminator; valid
  // until the next call. False at the end of the stream. With Folding::Join
  // (inside a header) a non-empty line whose next line starts with TAB or
  // space goes on: its CR, LF and that TAB or space each become a space.
  bool Next(Folding folding, char*& line, std::size_t& length);

  std::size_t Capacity() const { return capacity_; }

 private:
  // Makes room and reads more; false when the stream has nothing left.
  bool Fill();

  std::istream& stream_;
  std::size_t maxLineLength_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = kInitialSize;
  std::size_t begin_ = 0;  // start of the current line
  std::size_t scan_ = 0;   // where the search for its LF goes on
  std::size_t end_ = 0;    // end of the bytes read
  bool endOfStream_ = false;
  // A line cut at the length limit borrows the next byte for its terminator.
  std::size_t borrowedAt_ = 0;
  char borrowed_ = 0;
  bool hasBorrowed_ = false;
};

}  // namespace mf::mimedec
