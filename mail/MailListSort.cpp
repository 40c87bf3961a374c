#include "mail/MailListSort.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "base/DateTime.h"
#include "mail/MailDate.h"

namespace mf {
namespace {

// A date column value ready for comparing: the day count when line 4 reads
// as a date, else its stored text.
struct DateKey {
  std::optional<double> days;
  std::string_view text;
};

int CompareDates(const DateKey& a, const DateKey& b) {
  if (a.days && b.days) return *a.days < *b.days ? -1 : *a.days > *b.days ? 1 : 0;
  if (a.days) return 1;  // a readable date is the later one
  if (b.days) return -1;
  return CompareFoldingAscii(a.text, b.text);
}

std::vector<DateKey> DateKeys(const std::vector<MailListEntry>& entries) {
  std::vector<DateKey> keys;
  keys.reserve(entries.size());
  for (const MailListEntry& entry : entries) {
    DateKey key{std::nullopt, entry.dateText};
    // The inbox has computed it already; a zero there means "unreadable".
    if (entry.data.sortDate != 0.0) {
      key.days = entry.data.sortDate;
    } else if (auto time = ParseMailDate(entry.dateText)) {
      key.days = ToDayCount(*time);
    }
    keys.push_back(key);
  }
  return keys;
}

template <typename Compare>
void SortBy(std::vector<std::size_t>& order, bool ascending, Compare compare) {
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int result = compare(a, b);
    return ascending ? result < 0 : result > 0;
  });
}

}  // namespace

void SortMailList(const std::vector<MailListEntry>& entries, MailColumn column, bool ascending,
                  std::vector<std::size_t>& order) {
  switch (column) {
    case MailColumn::Icon:
      return;
    case MailColumn::Subject:
      SortBy(order, ascending, [&](std::size_t a, std::size_t b) {
        return CompareFoldingAscii(entries[a].subject, entries[b].subject);
      });
      return;
    case MailColumn::Second:
      SortBy(order, ascending, [&](std::size_t a, std::size_t b) {
        return CompareFoldingAscii(entries[a].secondColumn, entries[b].secondColumn);
      });
      return;
    case MailColumn::Date: {
      const auto keys = DateKeys(entries);
      SortBy(order, ascending, [&](std::size_t a, std::size_t b) { return CompareDates(keys[a], keys[b]); });
      return;
    }
  }
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
