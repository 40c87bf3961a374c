#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/store/StoreRecords.h"

namespace mf {

// One header record as views into the bytes of its file: lines 1 to 6.
struct HeaderView {
  std::array<std::string_view, 6> lines;
  std::string_view status() const { return lines[0]; }
  std::string_view subject() const { return lines[1]; }
  std::string_view from() const { return lines[2]; }
  std::string_view date() const { return lines[3]; }
  std::string_view to() const { return lines[4]; }
  std::string_view attachmentFolder() const { return lines[5]; }
  HeaderRecord ToRecord() const;
};

// A whole header file read once, its records indexed without copying a
// line: the mail list of a large folder is filled from this. Missing lines
// read as empty, lines beyond the sixth are ignored, and a last record that
// lost its separator counts only when it says something.
class HeaderFile {
 public:
  // Larger header files (some twenty million mails) are not indexed.
  static constexpr std::uint64_t kLargestFile = std::uint64_t{1} << 31;

  HeaderFile() = default;
  explicit HeaderFile(std::string_view bytes);
  // Takes the buffer over; `size` bytes of it are the file.
  HeaderFile(std::unique_ptr<char[]> bytes, std::size_t size);

  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  // The file's length: no record's lines add up to more.
  std::size_t ByteCount() const { return byteCount_; }
  HeaderView operator[](std::size_t index) const {
    const RecordLines& record = lines_[index];
    auto line = [&](std::size_t k) { return std::string_view(bytes_.get() + record.begin[k], record.length[k]); };
    // Built whole: a default-made view would first be cleared, which costs
    // more than filling it when a large list is read.
    return HeaderView{{line(0), line(1), line(2), line(3), line(4), line(5)}};
  }

  class Iterator {
   public:
    Iterator(const HeaderFile* file, std::size_t index) : file_(file), index_(index) {}
    HeaderView operator*() const { return (*file_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const Iterator&) const = default;

   private:
    const HeaderFile* file_;
    std::size_t index_;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

 private:
  // Where the six lines of a record lie in the file, as offsets and lengths.
  struct RecordLines {
    std::uint32_t begin[6];
    std::uint32_t length[6];
  };

  // Index entries are written in place as the file is scanned, so they are
  // not cleared when the index is made larger.
  template <typename T>
  struct UninitialisedAllocator : std::allocator<T> {
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) {}
    template <typename U>
    struct rebind {
      using other = UninitialisedAllocator<U>;
    };
    template <typename U>
    void construct(U* at) {
      ::new (static_cast<void*>(at)) U;
    }
  };
  using Index = std::vector<RecordLines, UninitialisedAllocator<RecordLines>>;

  void Build(std::size_t size);

  // Shared so that the views stay valid when the object is copied.
  std::shared_ptr<const char[]> bytes_;
  std::size_t byteCount_ = 0;
  Index lines_;
};

}  // namespace mf
