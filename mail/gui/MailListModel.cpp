#include "mail/gui/MailListModel.h"

#include <QFont>
#include <QMimeData>
#include <algorithm>
#include <numeric>

#include "base/ShiftJis.h"
#include "platform/qt/QtDialogs.h"

namespace mf {

namespace {

constexpr int kColumns = 4;

}  // namespace

MailListModel::MailListModel(QObject* parent)
    : QAbstractTableModel(parent), secondCaption_(QString::fromUtf8("差出人")) {}

void MailListModel::Load(std::vector<MailListEntry> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  // Each record goes on top of the ones before it: the newest first.
  order_.resize(entries_.size());
  std::iota(order_.rbegin(), order_.rend(), std::size_t{0});
  endResetModel();
}

void MailListModel::Clear() { Load({}); }

void MailListModel::SetSecondCaption(const std::string& caption) {
  secondCaption_ = platform::ToQString(caption);
  emit headerDataChanged(Qt::Horizontal, 2, 2);
}

void MailListModel::ColumnClick(MailColumn column) {
  if (column == MailColumn::Icon) {
    sorter_.ColumnClick(column, entries_, order_);
    return;
  }
  emit layoutAboutToBeChanged();
  sorter_.ColumnClick(column, entries_, order_);
  emit layoutChanged();
}

void MailListModel::MarkRead(int row) {
  if (row < 0 || row >= rowCount()) return;
  MailListEntry& entry = entries_[order_[static_cast<std::size_t>(row)]];
  if (entry.icon == 2 || entry.icon == 3) entry.icon -= 2;
  entry.data.isRead = true;
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

int MailListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int MailListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant MailListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const MailListEntry& entry = EntryAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case 1: return platform::ToQString(entry.subject);
        case 2: return platform::ToQString(entry.secondColumn);
        case 3: return platform::ToQString(entry.dateText);
        default: return {};
      }
    case Qt::DecorationRole:
      if (index.column() == 0) return icons_.At(entry.icon);
      return {};
    case Qt::FontRole:
      if (!entry.data.isRead) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default:
      return {};
  }
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case 1: return QString::fromUtf8("件名");
    case 2: return secondCaption_;
    case 3: return QString::fromUtf8("日付");
    default: return QString();
  }
}

Qt::ItemFlags MailListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList MailListModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

// The drop reads the selection of the list itself, as the tree's drop
// always acts on the selected mails; the data only marks where it came from.
QMimeData* MailListModel::mimeData(const QModelIndexList&) const {
  auto* data = new QMimeData;  // owned by the drag
  data->setData(QString::fromLatin1(kMimeType), QByteArray());
  return data;
}

}  // namespace mf
