#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace mf {

enum class SortDirection { Ascending, Descending };

// Sorts items by a key read as `Item::kDigits` digits of `Item::kDigitBits`
// bits, digit 0 the least significant (`item.Digit(k)`), stably in either
// direction: items with equal keys keep their order. `scratch` is as long as
// `items`.
//
// Large ranges go through a least-significant-digit radix sort that skips
// every digit all items share (the high bits of dates of one era), so a
// pass costs only where keys differ; short ranges go through an insertion
// sort, cheaper than a histogram, which also needs only `item.Less`.
template <typename Item>
void SortByKey(std::span<Item> items, std::span<Item> scratch, SortDirection direction) {
  constexpr std::size_t kShortRange = 32;
  constexpr std::size_t kDigits = Item::kDigits;
  constexpr std::size_t kBuckets = std::size_t{1} << Item::kDigitBits;
  const bool ascending = direction == SortDirection::Ascending;
  auto bucket = [ascending](const Item& item, std::size_t digit) -> std::size_t {
    const std::size_t value = item.Digit(digit);
    return ascending ? value : kBuckets - 1 - value;
  };
  if (items.size() < kShortRange) {
    auto before = [ascending](const Item& a, const Item& b) { return ascending ? a.Less(b) : b.Less(a); };
    for (std::size_t i = 1; i < items.size(); ++i) {
      Item moving = std::move(items[i]);
      std::size_t j = i;
      for (; j > 0 && before(moving, items[j - 1]); --j) items[j] = std::move(items[j - 1]);
      items[j] = std::move(moving);
    }
    return;
  }
  std::vector<std::array<std::size_t, kBuckets>> counts(kDigits);
  for (const Item& item : items) {
    for (std::size_t digit = 0; digit < kDigits; ++digit) ++counts[digit][bucket(item, digit)];
  }
  std::span<Item> from = items;
  std::span<Item> to = scratch.first(items.size());
  for (std::size_t digit = 0; digit < kDigits; ++digit) {
    auto& count = counts[digit];
    if (std::find(count.begin(), count.end(), items.size()) != count.end()) continue;  // all alike
    std::size_t start = 0;
    for (std::size_t& c : count) start += std::exchange(c, start);
    for (Item& item : from) to[count[bucket(item, digit)]++] = std::move(item);
    std::swap(from, to);
  }
  if (from.data() != items.data()) std::move(from.begin(), from.end(), items.begin());
}

}  // namespace mf
