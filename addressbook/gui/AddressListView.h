#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <cstddef>
#include <optional>
#include <vector>

#include "addressbook/AddressList.h"

namespace mf {

class AddressIcons;

// The report list of address entries both address windows show: the icon
// column, then name, address and contact. Each row carries its record
// index; a click on a text column's header sorts by it.
class AddressListView final : public QTreeWidget {
  Q_OBJECT

 public:
  // `captions`: the three text columns' headers.
  AddressListView(const AddressIcons& icons, const QStringList& captions, QWidget* parent);

  // Fills the list from the file's records, newest first.
  void Reload(const std::vector<AddressRecord>& records);
  // What a header click does (the icon column does nothing).
  void SortByColumn(int column);

  // The record indexes of the selected rows, in list order.
  std::vector<std::size_t> SelectedIndexes() const;
  // The selected row's record (the current one when several are selected).
  std::optional<AddressRow> SelectedRow() const;
  // Selects the row of record `index` alone (tests and callers that point
  // at an entry).
  void SelectIndex(std::size_t index);
  const std::vector<AddressRow>& Rows() const { return rows_; }

 private:
  void Show();

  const AddressIcons& icons_;
  std::vector<AddressRow> rows_;
  AddressListSorter sorter_;
};

}  // namespace mf
