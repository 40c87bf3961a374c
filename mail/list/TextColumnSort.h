#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "mail/list/KeySort.h"
#include "mail/store/MailListRows.h"

namespace mf {

// Calls `visit(row, slot)` for each of `rows` (positions into a table of
// `tableSize` rows, each at most once), `slot` being its place in `rows`,
// in the order the rows lie in memory. A sort reads every row's key once;
// read in the order shown after an earlier sort, nearly every read would
// miss the processor's cache.
template <typename Visit>
void ForEachInMemoryOrder(std::span<const std::uint32_t> rows, std::size_t tableSize, Visit visit) {
  // A folder freshly opened shows its rows newest first, the memory order
  // backwards, which needs no table to walk forwards.
  const bool backwards = std::adjacent_find(rows.begin(), rows.end(), std::less_equal<>()) == rows.end();
  if (backwards) {
    for (std::size_t slot = rows.size(); slot-- > 0;) visit(rows[slot], static_cast<std::uint32_t>(slot));
    return;
  }
  constexpr std::uint32_t kAbsent = ~std::uint32_t{0};
  std::vector<std::uint32_t> slotOf(tableSize, kAbsent);
  for (std::size_t slot = 0; slot < rows.size(); ++slot) slotOf[rows[slot]] = static_cast<std::uint32_t>(slot);
  for (std::size_t row = 0; row < tableSize; ++row) {
    if (slotOf[row] != kAbsent) visit(static_cast<std::uint32_t>(row), slotOf[row]);
  }
}

// Rearranges `rows` (positions into `table`) so that their texts in column
// `text` run in the order CompareFoldingAscii gives, in either direction;
// rows with equal texts keep their order.
void SortRowsByText(std::span<std::uint32_t> rows, const MailListRows& table, ListText text,
                    SortDirection direction);

}  // namespace mf
