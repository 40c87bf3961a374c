#include "addressbook/gui/AddressListView.h"

#include <QHeaderView>

#include "addressbook/gui/AddressIcons.h"
#include "platform/qt/QtDialogs.h"

namespace mf {
namespace {

constexpr int kIconColumnWidth = 25;
constexpr int kTextColumnWidth = 130;
constexpr int kRowPosition = Qt::UserRole;

}  // namespace

AddressListView::AddressListView(const AddressIcons& icons, const QStringList& captions, QWidget* parent)
    : QTreeWidget(parent), icons_(icons) {
  setColumnCount(4);
  setHeaderLabels(QStringList{QString()} + captions);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  header()->setSectionsClickable(true);
  header()->setStretchLastSection(true);
  setColumnWidth(0, kIconColumnWidth);
  for (int column = 1; column < 3; ++column) setColumnWidth(column, kTextColumnWidth);
  connect(header(), &QHeaderView::sectionClicked, this, &AddressListView::SortByColumn);
  setAccessibleName(QString::fromUtf8("アドレス帳"));
}

void AddressListView::Reload(const std::vector<AddressRecord>& records) {
  rows_ = ListRows(records);
  Show();
}

void AddressListView::SortByColumn(int column) {
  if (column < 0 || column > 3) return;
  if (sorter_.SortByColumn(static_cast<AddressColumn>(column), rows_)) Show();
}

void AddressListView::Show() {
  clear();
  QList<QTreeWidgetItem*> items;
  for (std::size_t position = 0; position < rows_.size(); ++position) {
    const AddressRecord& record = rows_[position].record;
    auto* item = new QTreeWidgetItem(QStringList{QString(), platform::ToQString(record.name),
                                                 platform::ToQString(record.address),
                                                 platform::ToQString(record.contact)});
    item->setIcon(0, icons_.Icon(record.icon));
    item->setData(0, kRowPosition, static_cast<qulonglong>(position));
    items.append(item);
  }
  addTopLevelItems(items);  // the list owns them
}

std::vector<std::size_t> AddressListView::SelectedIndexes() const {
  std::vector<std::size_t> indexes;
  for (int row = 0; row < topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item->isSelected()) indexes.push_back(rows_[item->data(0, kRowPosition).toULongLong()].index);
  }
  return indexes;
}

std::optional<AddressRow> AddressListView::SelectedRow() const {
  const QTreeWidgetItem* item = currentItem();
  if (item == nullptr || !item->isSelected()) {
    const auto selected = selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    item = selected.front();
  }
  return rows_[item->data(0, kRowPosition).toULongLong()];
}

void AddressListView::SelectIndex(std::size_t index) {
  clearSelection();
  for (int row = 0; row < topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (rows_[item->data(0, kRowPosition).toULongLong()].index == index) {
      setCurrentItem(item);
      item->setSelected(true);
      return;
    }
  }
}

}  // namespace mf
