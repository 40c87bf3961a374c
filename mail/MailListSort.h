#pragma once

#include <cstddef>
#include <vector>

#include "mail/ListSorting.h"
#include "mail/MailListEntry.h"

namespace mf {

// The mail list's columns as their header positions.
enum class MailColumn { Icon = 0, Subject = 1, Second = 2, Date = 3 };

// Sorts the order in which a folder's entries are shown: `order` holds
// positions into `entries` and is rearranged, the entries stay put, so a
// folder of any size is sorted without an object per row. Equal keys keep
// their order.
//
// Subject and second column compare their texts folding ASCII case.
// The date column reads line 4 of every record as a date, in every folder;
// a date that cannot be read ranks older than any that can, and such dates
// rank among themselves by their text.
void SortMailList(const std::vector<MailListEntry>& entries, MailColumn column, bool ascending,
                  std::vector<std::size_t>& order);

// The order a freshly read folder is shown in: each record on top of the
// ones before it, so the newest first.
std::vector<std::size_t> NewestFirstOrder(std::size_t count);

// The list's sort state: the column last clicked and one direction flag per
// sortable column.
class MailListSorter {
 public:
  // A click on a column header. The icon column is remembered but does not
  // sort; the others sort `order` and turn their flag over. The first
  // click on a text column sorts it descending, on the date oldest first.
  void ColumnClick(MailColumn column, const std::vector<MailListEntry>& entries,
                   std::vector<std::size_t>& order);
  MailColumn Column() const { return column_; }

 private:
  MailColumn column_ = MailColumn::Icon;
  ColumnDirections<4> directions_;
};

}  // namespace mf
