#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "addressbook/AddressFile.h"
#include "base/ListSorting.h"

namespace mf {

// One item of an address list: a record and its index in the file.
struct AddressRow {
  std::size_t index = 0;
  AddressRecord record;
};

// The rows of a list as the file fills it: the newest record first.
std::vector<AddressRow> ListRows(const std::vector<AddressRecord>& records);

// The lists' columns as their header positions.
enum class AddressColumn { Icon = 0, Name = 1, Address = 2, Contact = 3 };

// Sorts rows by one column, folding ASCII case; equal texts keep their order.
void SortAddressRows(std::vector<AddressRow>& rows, AddressColumn column, bool ascending);

// The sort state of one list: a click on the name, address or contact
// header sorts by it, descending the first time and reversed each time
// after; the icon column does not sort.
class AddressListSorter {
 public:
  // True when the rows were sorted.
  bool SortByColumn(AddressColumn column, std::vector<AddressRow>& rows);

 private:
  ColumnDirections<4> directions_;
};

// A chosen recipient: the entry's icon and "name <address>" (the name
// quoted where it needs it, the bare address when it is empty).
struct PickedRecipient {
  int icon = 0;
  std::string text;
  std::size_t position = 0;  // the list position when it was added
};

std::string RecipientText(const AddressRecord& record);

// The picker's To or Cc list.
class RecipientList {
 public:
  void Add(const AddressRecord& record);
  // Removes the items at these list positions (any order); others stay in
  // their order.
  void Remove(std::vector<std::size_t> rows);
  void Clear() { items_.clear(); }
  const std::vector<PickedRecipient>& Items() const { return items_; }
  bool Empty() const { return items_.empty(); }

  // The composition's recipient text: the items joined by ", " in list
  // order, trimmed.
  std::string Text() const;

 private:
  std::vector<PickedRecipient> items_;
};

}  // namespace mf
