#include "mail/list/TextColumnSort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "base/ShiftJis.h"

namespace mf {
namespace {

constexpr std::size_t kChunk = 8;

// One row's place in a text sort: eight folded bytes of its text from the
// depth reached so far, as one big-endian number, and the bytes left from
// there. `slot` names the row among those being sorted. Small, because a
// sort moves it several times.
struct TextItem {
  static constexpr std::size_t kDigits = 9;
  static constexpr std::size_t kDigitBits = 8;
  std::uint64_t chunk;
  std::uint32_t slot;
  std::uint32_t left;

  // Equal chunks are equal bytes, zero-padded: the text that ends first is
  // the smaller, as a byte comparison has it.
  bool Less(const TextItem& other) const {
    return chunk != other.chunk ? chunk < other.chunk : LeftDigit() < other.LeftDigit();
  }
  bool SameChunk(const TextItem& other) const { return chunk == other.chunk && LeftDigit() == other.LeftDigit(); }
  // Digit 0 is how many bytes are left (9 for "more than eight"), digits 1
  // to 8 the chunk's bytes from its last.
  unsigned Digit(std::size_t digit) const {
    return digit == 0 ? LeftDigit() : static_cast<unsigned>(chunk >> (8 * (digit - 1)) & 0xFF);
  }
  unsigned LeftDigit() const { return static_cast<unsigned>(left > kChunk ? kChunk + 1 : left); }
  bool Continues() const { return left > kChunk; }
};

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;

// The high bit of each byte that is an ASCII lower-case letter.
std::uint64_t LowerCaseBytes(std::uint64_t word) {
  const std::uint64_t low = word & ~kHigh;
  const std::uint64_t fromA = low + kOnes * (0x80 - 'a');      // high bit where >= 'a'
  const std::uint64_t pastZ = low + kOnes * (0x80 - 'z' - 1);  // high bit where > 'z'
  return fromA & ~pastZ & ~word & kHigh;
}

// The bytes of `word` as they lie in memory, the first the highest, so that
// numbers order as the bytes do.
std::uint64_t BigEndianOf(std::uint64_t word) {
  unsigned char bytes[kChunk];
  std::memcpy(bytes, &word, kChunk);
  std::uint64_t value = 0;
  for (unsigned char byte : bytes) value = value << 8 | byte;
  return value;
}

// Reads a text's folded chunks in turn. Only a chunk holding a lower-case
// letter needs to know whether its first byte is the second of a Shift_JIS
// character, which takes the bytes before it; so the cursor walks those
// bytes only then, and a Japanese text without such letters is never
// walked byte by byte. Every byte is walked once at most.
class FoldCursor {
 public:
  FoldCursor(const char* data, std::size_t size) : data_(data), size_(size) {}

  // Chunk `depth` as a big-endian number, zero-padded; asked in turn.
  std::uint64_t Chunk(std::size_t depth) {
    const std::size_t start = depth * kChunk;
    if (start >= size_) return 0;
    const std::size_t count = std::min(size_ - start, kChunk);
    const std::uint64_t word = Load(start, count);
    const std::uint64_t lower = LowerCaseBytes(word);
    if (lower == 0) return BigEndianOf(word);
    for (; walked_ < start; ++walked_) Step(static_cast<unsigned char>(data_[walked_]));
    walked_ = start + count;
    if (!trail_ && (word & kHigh) == 0) {
      return BigEndianOf(word - (lower >> 2));  // plain ASCII, the common case of addresses: 0x20 off each letter at once
    }
    // Folded in a register: bytes written one by one and read back as a
    // word would wait on every store.
    std::uint64_t fold = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned shift = ByteShift(i);
      if (Step(static_cast<unsigned char>(word >> shift)) != static_cast<unsigned char>(word >> shift)) {
        fold |= std::uint64_t{0x20} << shift;
      }
    }
    return BigEndianOf(word - fold);
  }

 private:
  // Where the byte `i` places from the first of a loaded word lies in it.
  static constexpr unsigned ByteShift(std::size_t i) {
    return static_cast<unsigned>(std::endian::native == std::endian::little ? 8 * i : 8 * (kChunk - 1 - i));
  }

  // The `count` bytes from `start`, zero-padded to a word, read without
  // going past the text: a short last chunk of a longer text is read as the
  // text's last eight bytes and shifted into place.
  std::uint64_t Load(std::size_t start, std::size_t count) const {
    std::uint64_t word = 0;
    if (count == kChunk) {
      std::memcpy(&word, data_ + start, kChunk);
    } else if (size_ >= kChunk) {
      std::memcpy(&word, data_ + size_ - kChunk, kChunk);
      const unsigned dropped = static_cast<unsigned>(8 * (kChunk - count));
      word = std::endian::native == std::endian::little ? word >> dropped : word << dropped;
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(data_[start + i])} << ByteShift(i);
      }
    }
    return word;
  }

  // One byte as CompareFoldingAscii folds it, tracking character bounds.
  unsigned char Step(unsigned char byte) {
    const bool fold = !trail_ && byte >= 'a' && byte <= 'z';
    trail_ = !trail_ && IsSjisLeadByte(byte);
    return fold ? static_cast<unsigned char>(byte - 32) : byte;
  }

  const char* data_;
  std::size_t size_;
  std::size_t walked_ = 0;  // bytes before this are known
  bool trail_ = false;      // the byte at walked_ is a second byte
};

// The texts of a sort. The first chunks of every row are folded in one pass
// in the order the rows lie in memory, whatever order they are shown in, and
// kept in one table; most rows part within them, so the deeper levels,
// which visit rows in sorted order, seldom go back to the texts, and only
// those rows get a cursor of their own.
class FoldedChunks {
 public:
  FoldedChunks(const MailListRows& table, ListText text, std::span<const std::uint32_t> rows)
      : rows_(rows.begin(), rows.end()),
        ahead_(std::make_unique_for_overwrite<std::uint64_t[]>(rows.size() * kAhead)),
        table_(table),
        text_(text) {}

  // The item of `slot`, which holds `row`, at depth 0; the chunks after it
  // go to the table.
  TextItem First(std::uint32_t row, std::uint32_t slot) {
    const std::string_view text = table_.Text(row, text_);
    FoldCursor cursor(text.data(), text.size());
    const TextItem item{cursor.Chunk(0), slot, static_cast<std::uint32_t>(text.size())};
    std::uint64_t* ahead = &ahead_[std::size_t{slot} * kAhead];
    for (std::size_t i = 0; i < kAhead; ++i) ahead[i] = cursor.Chunk(i + 1);
    return item;
  }

  // Moves the item to its next chunk, at `depth`; its text goes on past
  // the present one.
  void Advance(TextItem& item, std::size_t depth) {
    item.left -= kChunk;
    if (depth <= kAhead) {
      item.chunk = ahead_[item.slot * kAhead + depth - 1];
      return;
    }
    if (deep_.empty()) deep_.resize(rows_.size());
    std::optional<FoldCursor>& cursor = deep_[item.slot];
    if (!cursor) {
      const std::string_view text = TextOf(item.slot);
      cursor.emplace(text.data(), text.size());
    }
    item.chunk = cursor->Chunk(depth);
  }

  std::uint32_t RowOf(std::size_t index) const { return rows_[index]; }

 private:
  static constexpr std::size_t kAhead = 3;  // chunks folded ahead, after the first

  std::string_view TextOf(std::size_t index) const { return table_.Text(rows_[index], text_); }

  std::vector<std::uint32_t> rows_;              // by slot
  std::unique_ptr<std::uint64_t[]> ahead_;       // by slot, kAhead each
  std::vector<std::optional<FoldCursor>> deep_;  // by slot, for texts alike beyond the chunks ahead
  const MailListRows& table_;
  ListText text_;
};

// A part of the items that agree on everything above `digit` at `depth`,
// in the items or in the scratch copy.
struct Group {
  std::size_t begin, end, depth, digit;
  bool inScratch;
};

// Sorts the items most significant byte first: a group is split by one byte
// and each part goes on with the next, and a part that agrees on the whole
// chunk and goes on moves to the next chunk of its texts. Bytes all the rows
// share (the "Re: " of half a folder) cost one look each, which a sort from
// the last byte cannot skip when its rows differ anywhere. A split moves the
// rows between the items and the scratch copy, whichever they are in, and
// rows that are done go back to the items. Groups wait on a list rather than
// the call stack, so a long text cannot overflow it.
void SortItems(std::span<TextItem> items, FoldedChunks& texts, SortDirection direction) {
  constexpr std::size_t kShortGroup = 32;
  constexpr std::size_t kTop = TextItem::kDigits - 1;
  const bool ascending = direction == SortDirection::Ascending;
  auto bucket = [ascending](const TextItem& item, std::size_t digit) -> std::size_t {
    const unsigned value = item.Digit(digit);
    return ascending ? value : 255u - value;
  };
  // Every place is written before it is read: no need to clear it first.
  const auto scratchPlaces = std::make_unique_for_overwrite<TextItem[]>(items.size());
  const std::span<TextItem> scratch(scratchPlaces.get(), items.size());
  auto in = [&](bool inScratch) -> std::span<TextItem> { return inScratch ? scratch : items; };
  std::vector<Group> groups{{0, items.size(), 0, kTop, false}};
  // Rows alike on a whole chunk: they go on to the next, or they are done.
  auto settle = [&](std::size_t begin, std::size_t end, std::size_t depth, bool inScratch) {
    const std::span<TextItem> where = in(inScratch);
    if (end - begin > 1 && where[begin].Continues()) {
      groups.push_back({begin, end, depth + 1, kTop, inScratch});
    } else if (inScratch) {
      std::copy(scratch.begin() + static_cast<std::ptrdiff_t>(begin),
                scratch.begin() + static_cast<std::ptrdiff_t>(end), items.begin() + static_cast<std::ptrdiff_t>(begin));
    }
  };
  while (!groups.empty()) {
    const Group group = groups.back();
    groups.pop_back();
    std::span<TextItem> part = std::span(in(group.inScratch)).subspan(group.begin, group.end - group.begin);
    const bool advance = group.digit == kTop && group.depth > 0;
    if (part.size() < kShortGroup) {
      if (advance) {
        for (TextItem& item : part) texts.Advance(item, group.depth);
      }
      SortByKey(part, std::span(scratch), direction);  // in place: too short to use the scratch
      if (group.inScratch) std::copy(part.begin(), part.end(), items.begin() + static_cast<std::ptrdiff_t>(group.begin));
      for (std::size_t begin = 0; begin < part.size();) {
        std::size_t end = begin + 1;
        while (end < part.size() && part[end].SameChunk(part[begin])) ++end;
        settle(group.begin + begin, group.begin + end, group.depth, false);
        begin = end;
      }
      continue;
    }
    // Skip straight to the first byte on which the group's rows differ. The
    // pass that finds it counts the present digit too, which is most often
    // that byte once a split has begun.
    std::uint64_t differ = 0;
    std::array<std::size_t, 256> count{};
    // The buckets in use, so that a split over a few of them (the digits
    // of a number) does not walk all 256.
    std::size_t low = count.size();
    std::size_t high = 0;
    auto tally = [&](const TextItem& item, std::size_t digit) {
      const std::size_t b = bucket(item, digit);
      ++count[b];
      low = std::min(low, b);
      high = std::max(high, b);
    };
    if (advance) {
      for (TextItem& item : part) texts.Advance(item, group.depth);
    }
    const TextItem& first = part[0];
    const unsigned firstLeft = first.LeftDigit();
    unsigned leftDiffer = 0;
    for (const TextItem& item : part) {
      differ |= item.chunk ^ first.chunk;
      leftDiffer |= item.LeftDigit() ^ firstLeft;
      tally(item, group.digit);
    }
    const bool leftDiffers = leftDiffer != 0;
    if (differ == 0 && !leftDiffers) {
      settle(group.begin, group.end, group.depth, group.inScratch);
      continue;
    }
    const std::size_t digit =
        differ == 0 ? 0 : std::min(group.digit, static_cast<std::size_t>(8 - std::countl_zero(differ) / 8));
    if (digit != group.digit) {
      std::fill(count.begin() + static_cast<std::ptrdiff_t>(low), count.begin() + static_cast<std::ptrdiff_t>(high) + 1,
                0);
      low = count.size();
      high = 0;
      for (const TextItem& item : part) tally(item, digit);
    }
    std::size_t start = group.begin;
    for (std::size_t b = low; b <= high; ++b) start += std::exchange(count[b], start);
    const bool toScratch = !group.inScratch;
    const std::span<TextItem> to = in(toScratch);
    for (const TextItem& item : part) to[count[bucket(item, digit)]++] = item;
    // `count` now holds where each part ends.
    for (std::size_t b = low, begin = group.begin; b <= high; ++b) {
      const std::size_t end = std::max(begin, count[b]);
      if (end - begin > 1 && digit > 0) {
        groups.push_back({begin, end, group.depth, digit - 1, toScratch});
      } else if (end > begin) {
        settle(begin, end, group.depth, toScratch);
      }
      begin = end;
    }
  }
}

}  // namespace

void SortRowsByText(std::span<std::uint32_t> rows, const MailListRows& table, ListText text,
                    SortDirection direction) {
  FoldedChunks texts(table, text, rows);
  // Every item is written before it is read.
  const auto places = std::make_unique_for_overwrite<TextItem[]>(rows.size());
  const std::span<TextItem> items(places.get(), rows.size());
  ForEachInMemoryOrder(rows, table.size(),
                       [&](std::uint32_t row, std::uint32_t slot) { items[slot] = texts.First(row, slot); });
  SortItems(items, texts, direction);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = texts.RowOf(items[i].slot);
}

}  // namespace mf
