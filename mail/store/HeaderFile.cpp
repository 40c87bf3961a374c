#include "mail/store/HeaderFile.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mf {
namespace {

// Calls `found(position)` for every LF in `text`, in order, looking at
// eight bytes at a time rather than calling memchr once per short line.
template <typename Found>
void ForEachLineFeed(std::string_view text, Found found) {
  const std::size_t size = text.size();
  std::size_t pos = 0;
#if defined(__SSE2__)
  // 64 bytes per step: fewer mispredicted loop exits than one step per
  // 16 bytes when lines are short and irregular.
  const __m128i lineFeeds = _mm_set1_epi8('\n');
  auto maskOf = [&](std::size_t at) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lineFeeds))));
  };
  for (; pos + 64 <= size; pos += 64) {
    std::uint64_t mask = maskOf(pos) | maskOf(pos + 16) << 16 | maskOf(pos + 32) << 32 | maskOf(pos + 48) << 48;
    while (mask != 0) {
      found(pos + static_cast<std::size_t>(std::countr_zero(mask)));
      mask &= mask - 1;
    }
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kLineFeeds = 0x0A0A0A0A0A0A0A0AULL;
    for (; pos + 8 <= size; pos += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + pos, 8);
      const std::uint64_t x = word ^ kLineFeeds;  // zero bytes where the LFs are
      std::uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
      while (zeros != 0) {
        found(pos + static_cast<std::size_t>(std::countr_zero(zeros) >> 3));
        zeros &= zeros - 1;
      }
    }
  }
  for (; pos < size; ++pos) {
    if (text[pos] == '\n') found(pos);
  }
}

// Places a record in the form the store writes: six lines and the separator
// line, ending at `ends`, the first line starting at `begin`. False, with
// nothing placed for good, when the record has another form.
bool PlaceUsualRecord(const char* d, std::uint32_t begin, const std::uint32_t* ends, std::uint32_t* begins,
                      std::uint32_t* lengths) {
  if (ends[0] == 0) return false;  // the file starts with an empty line
  const std::uint32_t separator = ends[5] + 1;
  const std::uint32_t separatorLength = ends[6] - separator;
  if (separatorLength != 2 && !(separatorLength == 3 && d[ends[6] - 1] == '\r')) return false;
  if (d[separator] != 0x01 || d[separator + 1] != 0x01) return false;
  // A line starting with 0x01 may be a separator of its own.
  if ((d[begin] == 0x01) | (d[ends[0] + 1] == 0x01) | (d[ends[1] + 1] == 0x01) | (d[ends[2] + 1] == 0x01) |
      (d[ends[3] + 1] == 0x01) | (d[ends[4] + 1] == 0x01)) {
    return false;
  }
  // The byte before an empty line is the LF before it, so the CR test
  // needs no check for an empty line.
  for (std::size_t k = 0; k < 6; ++k) {
    const std::uint32_t lineBegin = k == 0 ? begin : ends[k - 1] + 1;
    begins[k] = lineBegin;
    lengths[k] = ends[k] - lineBegin - (d[ends[k] - 1] == '\r' ? 1 : 0);
  }
  return true;
}

}  // namespace

// Goes through the file a few kilobytes at a time: the line ends of one
// piece are gathered first, then turned into records while both are still
// in the processor's cache. A record of six lines and its separator, the form the
// store writes, is placed in one step; anything else goes line by line.
// The state is kept in locals so that the compiler can hold it in registers
// while the index is written.
void HeaderFile::Build(std::size_t size) {
  constexpr std::size_t kPiece = 4096;
  constexpr std::size_t kRecordLines = 7;  // six lines and the separator
  const char* const d = bytes_.get();
  Index& index = lines_;
  index.resize(size / 64 + 16);
  std::size_t count = 0;
  std::size_t capacity = index.size();
  // The entry the next record goes into; it counts once the record is placed.
  auto nextSlot = [&]() -> RecordLines& {
    if (count == capacity) {
      capacity *= 2;
      index.resize(capacity);
    }
    return index[count];
  };
  // The end of a line's content: a CR before its LF belongs to the line end.
  auto contentEnd = [d](std::uint32_t begin, std::uint32_t lineFeed) {
    return lineFeed > begin && d[lineFeed - 1] == '\r' ? lineFeed - 1 : lineFeed;
  };
  std::uint32_t lineStart = 0;
  // The record being read line by line.
  RecordLines current{};
  std::size_t lineIndex = 0;
  bool saysSomething = false;
  auto close = [&] {
    // Lines a short record lacks read as empty.
    for (std::size_t missing = lineIndex; missing < 6; ++missing) {
      current.begin[missing] = 0;
      current.length[missing] = 0;
    }
    nextSlot() = current;
    ++count;
    lineIndex = 0;
    saysSomething = false;
  };
  auto line = [&](std::uint32_t lineFeed) {
    const std::uint32_t begin = lineStart;
    lineStart = lineFeed + 1;
    const std::uint32_t end = contentEnd(begin, lineFeed);
    if (end - begin == 2 && d[begin] == 0x01 && d[begin + 1] == 0x01) {
      close();
      return;
    }
    if (lineIndex < 6) {
      current.begin[lineIndex] = begin;
      current.length[lineIndex] = end - begin;
    }
    saysSomething = saysSomething || end > begin;
    ++lineIndex;
  };
  auto usualRecord = [&](const std::uint32_t* ends) {
    RecordLines& record = nextSlot();
    if (!PlaceUsualRecord(d, lineStart, ends, record.begin, record.length)) return false;
    ++count;
    lineStart = ends[6] + 1;
    return true;
  };

  // Line ends of the current piece, and up to six left from the one before.
  std::uint32_t lineFeeds[kPiece + kRecordLines];
  std::size_t pending = 0;
  for (std::size_t pos = 0; pos < size;) {
    const std::size_t end = std::min(size, pos + kPiece);
    ForEachLineFeed(std::string_view(d + pos, end - pos),
                    [&](std::size_t at) { lineFeeds[pending++] = static_cast<std::uint32_t>(pos + at); });
    pos = end;
    // Short of a whole record, line ends wait for the next piece.
    const bool last = pos == size;
    std::size_t next = 0;
    while (next < pending) {
      if (lineIndex == 0) {
        const bool whole = next + kRecordLines <= pending;
        if (!whole && !last) break;
        if (whole && usualRecord(lineFeeds + next)) {
          next += kRecordLines;
          continue;
        }
      }
      line(lineFeeds[next++]);
    }
    std::copy(lineFeeds + next, lineFeeds + pending, lineFeeds);
    pending -= next;
  }
  if (lineStart < size) line(static_cast<std::uint32_t>(size));  // the last line has no line end
  if (lineIndex > 0 && saysSomething) close();
  index.resize(count);
}

HeaderRecord HeaderView::ToRecord() const {
  return {std::string(lines[0]), std::string(lines[1]), std::string(lines[2]),
          std::string(lines[3]), std::string(lines[4]), std::string(lines[5])};
}

HeaderFile::HeaderFile(std::string_view bytes) {
  if (bytes.size() > kLargestFile) return;
  auto copy = std::make_unique_for_overwrite<char[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), copy.get());
  bytes_ = std::move(copy);
  byteCount_ = bytes.size();
  Build(bytes.size());
}

HeaderFile::HeaderFile(std::unique_ptr<char[]> bytes, std::size_t size) {
  if (size > kLargestFile) return;
  bytes_ = std::move(bytes);
  byteCount_ = size;
  Build(size);
}

}  // namespace mf
