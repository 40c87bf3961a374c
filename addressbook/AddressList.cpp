#include "addressbook/AddressList.h"

#include <algorithm>

#include "base/Text.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

const std::string& ColumnText(const AddressRecord& record, AddressColumn column) {
  switch (column) {
    case AddressColumn::Address: return record.address;
    case AddressColumn::Contact: return record.contact;
    case AddressColumn::Icon:
    case AddressColumn::Name: break;
  }
  return record.name;
}

}  // namespace

std::vector<AddressRow> ListRows(const std::vector<AddressRecord>& records) {
  std::vector<AddressRow> rows;
  rows.reserve(records.size());
  for (std::size_t i = records.size(); i-- > 0;) rows.push_back({i, records[i]});
  return rows;
}

void SortAddressRows(std::vector<AddressRow>& rows, AddressColumn column, bool ascending) {
  std::stable_sort(rows.begin(), rows.end(), [&](const AddressRow& a, const AddressRow& b) {
    const int result = CompareFoldingAscii(ColumnText(a.record, column), ColumnText(b.record, column));
    return ascending ? result < 0 : result > 0;
  });
}

bool AddressListSorter::SortByColumn(AddressColumn column, std::vector<AddressRow>& rows) {
  if (column == AddressColumn::Icon) return false;
  SortAddressRows(rows, column, directions_.TakeFlag(static_cast<std::size_t>(column)));
  return true;
}

// The text goes into a recipient field and through the recipient reader:
// a name with a comma or a quote in it must come out as one recipient.
std::string RecipientText(const AddressRecord& record) { return MailboxText({record.name, record.address}); }

void RecipientList::Add(const AddressRecord& record) {
  items_.push_back({record.icon, RecipientText(record), items_.size()});
}

void RecipientList::Remove(std::vector<std::size_t> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    if (*row < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(*row));
  }
}

std::string RecipientList::Text() const {
  std::string text;
  for (const PickedRecipient& item : items_) {
    if (!text.empty()) text += ", ";
    text += item.text;
  }
  return Trim(text);
}

}  // namespace mf
