#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/ListSorting.h"
#include "mail/store/MailListRows.h"

namespace mf {

// The mail list's columns as their header positions.
enum class MailColumn { Icon = 0, Subject = 1, Second = 2, Date = 3 };

// The order in which a folder's rows are shown: positions into its rows.
// Thirty-two bits, as a header file holds fewer than 2^31 records.
using RowOrder = std::vector<std::uint32_t>;

// Sorts the order in which a folder's rows are shown: `order` is
// rearranged, the rows stay put, so a folder of any size is sorted without
// an object per row. Equal keys keep their order.
//
// Subject and second column compare their texts folding ASCII case.
// The date column reads line 4 of every record as a date, in every folder;
// a date that cannot be read ranks older than any that can, and such dates
// rank among themselves by their text.
void SortMailList(const MailListRows& rows, MailColumn column, bool ascending, RowOrder& order);

// The order a freshly read folder is shown in: each record on top of the
// ones before it, so the newest first.
RowOrder NewestFirstOrder(std::size_t count);

// The list's sort state: the column last clicked and one direction flag per
// sortable column.
class MailListSorter {
 public:
  // A click on a column header. The icon column is remembered but does not
  // sort; the others sort `order` and turn their flag over. The first
  // click on a text column sorts it descending, on the date oldest first.
  void SortByColumn(MailColumn column, const MailListRows& rows, RowOrder& order);
  MailColumn Column() const { return column_; }

  // The column and direction the list was last sorted by; nothing before
  // the first sorting click.
  struct Sorted {
    MailColumn column;
    bool ascending;
  };
  std::optional<Sorted> LastSort() const { return lastSort_; }
  // Sorts freshly read rows as the last click did, flags untouched, so that
  // a reload (a delete, a move, a mail arriving) keeps the order the user
  // chose.
  void Reapply(const MailListRows& rows, RowOrder& order) const;

 private:
  MailColumn column_ = MailColumn::Icon;
  ColumnDirections<4> directions_;
  std::optional<Sorted> lastSort_;
};

}  // namespace mf
