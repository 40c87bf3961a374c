#include "mail/MailListSort.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <optional>
#include <span>

#include "base/DateTime.h"
#include "mail/KeySort.h"
#include "mail/QuickMailDate.h"
#include "mail/TextColumnSort.h"

namespace mf {
namespace {

// A readable date as a number that orders as the day counts do.
struct DateItem {
  // Eleven-bit digits: six cover the key, and the first, all sign and
  // exponent, is the same for every date of these centuries and skipped.
  static constexpr std::size_t kDigitBits = 11;
  static constexpr std::size_t kDigits = 6;
  std::uint64_t key = 0;
  std::size_t row = 0;

  bool Less(const DateItem& other) const { return key < other.key; }
  std::size_t Digit(std::size_t digit) const {
    return static_cast<std::size_t>(key >> (kDigitBits * digit) & ((1u << kDigitBits) - 1));
  }
};

std::uint64_t OrderedBits(double days) {
  const auto bits = std::bit_cast<std::uint64_t>(days == 0.0 ? 0.0 : days);  // one zero
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  return bits & kSign ? ~bits : bits | kSign;
}

std::optional<double> DayCountOf(const MailListEntry& entry) {
  // The inbox has computed it already; a zero there means "unreadable".
  if (entry.data.sortDate != 0.0) return entry.data.sortDate;
  if (auto time = ParseMailDateQuickly(entry.dateText)) return ToDayCount(*time);
  return std::nullopt;
}

// Readable dates by time; unreadable ones rank older than any readable and
// among themselves by their text.
void SortByDate(std::vector<std::size_t>& order, SortDirection direction,
                const std::vector<MailListEntry>& entries) {
  std::vector<DateItem> dated;
  dated.reserve(order.size());
  std::vector<std::size_t> undated;
  for (std::size_t row : order) {
    if (auto days = DayCountOf(entries[row])) {
      dated.push_back({OrderedBits(*days), row});
    } else {
      undated.push_back(row);
    }
  }
  std::vector<DateItem> scratch(dated.size());
  SortByKey(std::span(dated), std::span(scratch), direction);
  if (!undated.empty()) {
    SortRowsByText(undated, entries, &MailListEntry::dateText, direction);
  }
  auto out = order.begin();
  if (direction == SortDirection::Ascending) out = std::copy(undated.begin(), undated.end(), out);
  for (const DateItem& item : dated) *out++ = item.row;
  if (direction == SortDirection::Descending) std::copy(undated.begin(), undated.end(), out);
}

}  // namespace

void SortMailList(const std::vector<MailListEntry>& entries, MailColumn column, bool ascending,
                  std::vector<std::size_t>& order) {
  const SortDirection direction = ascending ? SortDirection::Ascending : SortDirection::Descending;
  switch (column) {
    case MailColumn::Icon:
      return;
    case MailColumn::Subject:
    case MailColumn::Second: {
      SortRowsByText(order, entries,
                     column == MailColumn::Subject ? &MailListEntry::subject : &MailListEntry::secondColumn,
                     direction);
      return;
    }
    case MailColumn::Date:
      SortByDate(order, direction, entries);
      return;
  }
}

std::vector<std::size_t> NewestFirstOrder(std::size_t count) {
  std::vector<std::size_t> order(count);
  std::iota(order.rbegin(), order.rend(), std::size_t{0});
  return order;
}

void MailListSorter::ColumnClick(MailColumn column, const std::vector<MailListEntry>& entries,
                                 std::vector<std::size_t>& order) {
  column_ = column;
  if (column == MailColumn::Icon) return;
  const bool flag = directions_.TakeFlag(static_cast<std::size_t>(column));
  // The list opens newest first, so the date's first click shows the
  // oldest first: its flag reads the other way round from the texts'.
  const bool ascending = column == MailColumn::Date ? !flag : flag;
  SortMailList(entries, column, ascending, order);
}

}  // namespace mf
