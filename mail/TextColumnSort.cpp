#include "mail/TextColumnSort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/ShiftJis.h"

namespace mf {
namespace {

constexpr std::size_t kChunk = 8;

// One row's place in a text sort: eight folded bytes of its text from the
// depth reached so far, as one big-endian number, and the bytes left from
// there. The next chunks travel with it, folded in advance, so that going a
// level deeper does not send the sort back to the texts. `slot` names the
// row among those being sorted.
struct TextItem {
  static constexpr std::size_t kDigits = 9;
  static constexpr std::size_t kAhead = 3;
  std::uint64_t chunk = 0;
  std::array<std::uint64_t, kAhead> ahead{};
  std::size_t slot = 0;
  std::size_t left = 0;

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
    unsigned char raw[kChunk] = {};
    if (count == kChunk) {
      std::memcpy(raw, data_ + start, kChunk);
    } else {
      for (std::size_t i = 0; i < count; ++i) raw[i] = static_cast<unsigned char>(data_[start + i]);
    }
    std::uint64_t word = 0;
    std::memcpy(&word, raw, kChunk);
    const std::uint64_t lower = LowerCaseBytes(word);
    if (lower != 0) {
      for (; walked_ < start; ++walked_) Step(static_cast<unsigned char>(data_[walked_]));
      if (!trail_ && (word & kHigh) == 0) {
        word -= lower >> 2;  // plain ASCII, the common case of addresses: 0x20 off each letter at once
      } else {
        for (unsigned char& byte : std::span(raw, count)) byte = Step(byte);
        std::memcpy(&word, raw, kChunk);
      }
      walked_ = start + count;
    }
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
  }

 private:
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
// in the rows' order, which is the order they lie in memory, and travel with
// the rows; most rows part within them, so the deeper levels, which visit
// rows in sorted order, seldom go back to the texts.
class FoldedChunks {
 public:
  FoldedChunks(const std::vector<MailListEntry>& entries, std::string MailListEntry::*text,
               std::span<const std::size_t> rows)
      : rows_(rows.begin(), rows.end()), entries_(entries), text_(text) {
    cursors_.reserve(rows.size());
  }

  // The slot's item at depth 0, with the chunks ahead.
  TextItem First(std::size_t index) {
    const std::string& text = entries_[rows_[index]].*text_;
    FoldCursor& cursor = cursors_.emplace_back(text.data(), text.size());
    TextItem item;
    item.slot = index;
    item.left = text.size();
    item.chunk = cursor.Chunk(0);
    for (std::size_t i = 0; i < TextItem::kAhead; ++i) item.ahead[i] = cursor.Chunk(i + 1);
    return item;
  }

  // Moves the item to its next chunk, at `depth`; its text goes on past
  // the present one. Only texts alike beyond the chunks folded ahead go back
  // to their bytes.
  void Advance(TextItem& item, std::size_t depth) {
    item.left -= kChunk;
    item.chunk = depth <= TextItem::kAhead ? item.ahead[depth - 1] : cursors_[item.slot].Chunk(depth);
  }

  std::size_t RowOf(std::size_t index) const { return rows_[index]; }

 private:
  std::vector<std::size_t> rows_;  // by slot
  std::vector<FoldCursor> cursors_;  // by slot, filled by First in slot order
  const std::vector<MailListEntry>& entries_;
  std::string MailListEntry::*text_;
};

// A part of the items that agree on everything above `digit` at `depth`.
struct Group {
  std::size_t begin, end, depth, digit;
};

// Sorts the items most significant byte first: a group is split by one byte
// and each part goes on with the next, and a part that agrees on the whole
// chunk and goes on moves to the next chunk of its texts. Bytes all the rows
// share (the "Re: " of half a folder) cost one look each, which a sort from
// the last byte cannot skip when its rows differ anywhere. Groups wait on a
// list rather than the call stack, so a long text cannot overflow it.
void SortItems(std::vector<TextItem>& items, FoldedChunks& texts, SortDirection direction) {
  constexpr std::size_t kShortGroup = 32;
  constexpr std::size_t kTop = TextItem::kDigits - 1;
  const bool ascending = direction == SortDirection::Ascending;
  auto bucket = [ascending](const TextItem& item, std::size_t digit) -> std::size_t {
    const unsigned value = item.Digit(digit);
    return ascending ? value : 255u - value;
  };
  std::vector<TextItem> scratch(items.size());
  std::vector<Group> groups{{0, items.size(), 0, kTop}};
  // A whole chunk alike: the texts differ further on, or not at all.
  auto whole = [&](std::size_t begin, std::size_t end, std::size_t depth) {
    if (end - begin > 1 && items[begin].Continues()) groups.push_back({begin, end, depth + 1, kTop});
  };
  while (!groups.empty()) {
    const Group group = groups.back();
    groups.pop_back();
    std::span<TextItem> part = std::span(items).subspan(group.begin, group.end - group.begin);
    if (group.digit == kTop && group.depth > 0) {
      for (TextItem& item : part) texts.Advance(item, group.depth);
    }
    if (part.size() < kShortGroup) {
      SortByKey(part, std::span(scratch), direction);
      for (std::size_t begin = 0; begin < part.size();) {
        std::size_t end = begin + 1;
        while (end < part.size() && part[end].SameChunk(part[begin])) ++end;
        whole(group.begin + begin, group.begin + end, group.depth);
        begin = end;
      }
      continue;
    }
    // Skip straight to the first byte on which the group's rows differ.
    std::uint64_t differ = 0;
    bool leftDiffers = false;
    for (const TextItem& item : part) {
      differ |= item.chunk ^ part[0].chunk;
      leftDiffers = leftDiffers || item.LeftDigit() != part[0].LeftDigit();
    }
    if (differ == 0 && !leftDiffers) {
      whole(group.begin, group.end, group.depth);
      continue;
    }
    const std::size_t digit =
        differ == 0 ? 0 : std::min(group.digit, static_cast<std::size_t>(8 - std::countl_zero(differ) / 8));
    std::array<std::size_t, 256> count{};
    for (const TextItem& item : part) ++count[bucket(item, digit)];
    std::size_t start = 0;
    for (std::size_t& c : count) start += std::exchange(c, start);
    for (const TextItem& item : part) scratch[count[bucket(item, digit)]++] = item;
    std::copy_n(scratch.begin(), part.size(), part.begin());
    // `count` now holds where each part ends.
    for (std::size_t b = 0, begin = group.begin; b < count.size(); ++b) {
      const std::size_t end = group.begin + count[b];
      if (end > begin + 1) {
        if (digit == 0) {
          whole(begin, end, group.depth);
        } else {
          groups.push_back({begin, end, group.depth, digit - 1});
        }
      }
      begin = std::max(begin, end);
    }
  }
}

}  // namespace

void SortRowsByText(std::span<std::size_t> rows, const std::vector<MailListEntry>& entries,
                    std::string MailListEntry::*text, SortDirection direction) {
  FoldedChunks texts(entries, text, rows);
  std::vector<TextItem> items;
  items.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) items.push_back(texts.First(i));
  SortItems(items, texts, direction);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = texts.RowOf(items[i].slot);
}

}  // namespace mf
