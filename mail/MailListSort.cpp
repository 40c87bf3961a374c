#include "mail/MailListSort.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/DateTime.h"
#include "mail/MailDate.h"

namespace mf {
namespace {

// A folded text ready for comparing: its first eight bytes as one number
// (zero-padded, so that numbers order as the texts do) settle most
// comparisons without reaching the text.
struct TextKey {
  std::uint64_t head = 0;
  std::string_view text;
};

TextKey MakeTextKey(std::string_view folded) {
  TextKey key{0, folded};
  for (std::size_t i = 0; i < 8; ++i) {
    key.head = key.head << 8 | (i < folded.size() ? static_cast<unsigned char>(folded[i]) : 0u);
  }
  return key;
}

int CompareTexts(const TextKey& a, const TextKey& b) {
  if (a.head != b.head) return a.head < b.head ? -1 : 1;
  return a.text.compare(b.text);
}

// A date column value ready for comparing: the day count when line 4 reads
// as a date, else its stored text.
struct DateKey {
  bool readable = false;
  double days = 0.0;
  std::string_view text;
};

int CompareDates(const DateKey& a, const DateKey& b) {
  if (a.readable && b.readable) return a.days < b.days ? -1 : a.days > b.days ? 1 : 0;
  if (a.readable != b.readable) return a.readable ? 1 : -1;  // a readable date is the later one
  return CompareFoldingAscii(a.text, b.text);
}

DateKey MakeDateKey(const MailListEntry& entry) {
  // The inbox has computed it already; a zero there means "unreadable".
  if (entry.data.sortDate != 0.0) return {true, entry.data.sortDate, entry.dateText};
  if (auto time = ParseMailDate(entry.dateText)) return {true, ToDayCount(*time), entry.dateText};
  return {false, 0.0, entry.dateText};
}

// Sorts the rows by keys laid out beside them in the present order, so that
// the sort moves small records instead of looking entries up at every step.
template <typename Key, typename Compare>
void SortByKeys(std::vector<std::size_t>& order, bool ascending, std::vector<Key> keys, Compare compare) {
  struct Row {
    Key key;
    std::size_t row;
  };
  std::vector<Row> rows;
  rows.reserve(order.size());
  for (std::size_t row : order) rows.push_back({keys[row], row});
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    const int result = compare(a.key, b.key);
    return ascending ? result < 0 : result > 0;
  });
  for (std::size_t i = 0; i < rows.size(); ++i) order[i] = rows[i].row;
}

// Texts are folded once, into one buffer: a list of many mails with long
// common beginnings ("Re: ...") would otherwise fold them at every step.
void SortByText(std::vector<std::size_t>& order, bool ascending, const std::vector<MailListEntry>& entries,
                std::string MailListEntry::*text) {
  std::size_t total = 0;
  for (const MailListEntry& entry : entries) total += (entry.*text).size();
  std::string folded;
  folded.reserve(total);
  for (const MailListEntry& entry : entries) folded += FoldAscii(entry.*text);
  std::vector<TextKey> keys;
  keys.reserve(entries.size());
  std::size_t offset = 0;
  for (const MailListEntry& entry : entries) {
    keys.push_back(MakeTextKey(std::string_view(folded).substr(offset, (entry.*text).size())));
    offset += (entry.*text).size();
  }
  SortByKeys(order, ascending, std::move(keys), CompareTexts);
}

void SortByDate(std::vector<std::size_t>& order, bool ascending, const std::vector<MailListEntry>& entries) {
  std::vector<DateKey> keys;
  keys.reserve(entries.size());
  for (const MailListEntry& entry : entries) keys.push_back(MakeDateKey(entry));
  SortByKeys(order, ascending, std::move(keys), CompareDates);
}

}  // namespace

void SortMailList(const std::vector<MailListEntry>& entries, MailColumn column, bool ascending,
                  std::vector<std::size_t>& order) {
  switch (column) {
    case MailColumn::Icon:
      return;
    case MailColumn::Subject:
      SortByText(order, ascending, entries, &MailListEntry::subject);
      return;
    case MailColumn::Second:
      SortByText(order, ascending, entries, &MailListEntry::secondColumn);
      return;
    case MailColumn::Date:
      SortByDate(order, ascending, entries);
      return;
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
