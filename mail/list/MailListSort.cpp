#include "mail/list/MailListSort.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <optional>
#include <span>

#include "base/DateTime.h"
#include "mail/list/KeySort.h"
#include "mail/list/QuickMailDate.h"
#include "mail/list/TextColumnSort.h"
#include "mail/store/MailDate.h"

namespace mf {
namespace {

// A readable date as a number that orders as the moments do.
struct DateItem {
  // Eleven-bit digits: six cover the key, and the first, all sign and
  // exponent, is the same for every date of these centuries and skipped.
  static constexpr std::size_t kDigitBits = 11;
  static constexpr std::size_t kDigits = 6;
  std::uint64_t key = 0;
  std::uint32_t row = 0;

  bool Less(const DateItem& other) const { return key < other.key; }
  std::size_t Digit(std::size_t digit) const {
    return static_cast<std::size_t>(key >> (kDigitBits * digit) & ((1u << kDigitBits) - 1));
  }
};

std::uint64_t OrderedBits(double moment) {
  const auto bits = std::bit_cast<std::uint64_t>(moment == 0.0 ? 0.0 : moment);  // one zero
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  return bits & kSign ? ~bits : bits | kSign;
}

// The date text is line 4: the moment it stands for, in its own zone, so
// that mails from other zones fall in among the others as their local
// times show; a date without a zone is taken as local time.
std::optional<double> MomentKeyOf(std::string_view dateText, int unzonedOffsetMinutes) {
  if (auto time = ParseMailDateQuickly(dateText)) {
    return static_cast<double>(MomentOf(*time, MailDateZone(dateText).value_or(unzonedOffsetMinutes)));
  }
  return std::nullopt;
}

// Readable dates by time; unreadable ones rank older than any readable and
// among themselves by their text.
void SortByDate(RowOrder& order, SortDirection direction, const MailListRows& rows) {
  // The keys are read in memory order and then taken in the order shown,
  // which equal dates keep.
  constexpr std::uint64_t kUndated = 0;  // no day count orders as this: OrderedBits sets the top bit or clears it from a NaN alone
  std::vector<std::uint64_t> keys(order.size());
  const int localOffset = LocalUtcOffsetMinutes();
  ForEachInMemoryOrder(order, rows.size(), [&](std::uint32_t row, std::uint32_t slot) {
    if (auto moment = MomentKeyOf(rows.DateText(row), localOffset)) keys[slot] = OrderedBits(*moment);
  });
  std::vector<DateItem> dated;
  dated.reserve(order.size());
  RowOrder undated;
  for (std::size_t slot = 0; slot < order.size(); ++slot) {
    if (keys[slot] != kUndated) {
      dated.push_back({keys[slot], order[slot]});
    } else {
      undated.push_back(order[slot]);
    }
  }
  std::vector<DateItem> scratch(dated.size());
  SortByKey(std::span(dated), std::span(scratch), direction);
  if (!undated.empty()) {
    SortRowsByText(undated, rows, ListText::Date, direction);
  }
  auto out = order.begin();
  if (direction == SortDirection::Ascending) out = std::copy(undated.begin(), undated.end(), out);
  for (const DateItem& item : dated) *out++ = item.row;
  if (direction == SortDirection::Descending) std::copy(undated.begin(), undated.end(), out);
}

}  // namespace

void SortMailList(const MailListRows& rows, MailColumn column, bool ascending, RowOrder& order) {
  const SortDirection direction = ascending ? SortDirection::Ascending : SortDirection::Descending;
  switch (column) {
    case MailColumn::Icon:
      return;
    case MailColumn::Subject:
    case MailColumn::Second: {
      SortRowsByText(order, rows, column == MailColumn::Subject ? ListText::Subject : ListText::Second, direction);
      return;
    }
    case MailColumn::Date:
      SortByDate(order, direction, rows);
      return;
  }
}

RowOrder NewestFirstOrder(std::size_t count) {
  RowOrder order(count);
  std::iota(order.rbegin(), order.rend(), std::uint32_t{0});
  return order;
}

void MailListSorter::SortByColumn(MailColumn column, const MailListRows& rows, RowOrder& order) {
  column_ = column;
  if (column == MailColumn::Icon) return;
  const bool flag = directions_.TakeFlag(static_cast<std::size_t>(column));
  // The list opens newest first, so the date's first click shows the
  // oldest first: its flag reads the other way round from the texts'.
  const bool ascending = column == MailColumn::Date ? !flag : flag;
  SortMailList(rows, column, ascending, order);
  lastSort_ = Sorted{column, ascending};
}

void MailListSorter::Reapply(const MailListRows& rows, RowOrder& order) const {
  if (lastSort_) SortMailList(rows, lastSort_->column, lastSort_->ascending, order);
}

}  // namespace mf
