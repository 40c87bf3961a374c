#include "mail/list/gui/MailListModel.h"

#include <QFont>
#include <QMimeData>

#include "base/ShiftJis.h"
#include "mail/gui/LongText.h"
#include "mail/store/MailDate.h"
#include "platform/qt/QtDialogs.h"

namespace mf {

namespace {

constexpr int kColumns = 4;

}  // namespace

MailListModel::MailListModel(QObject* parent)
    : QAbstractTableModel(parent), secondCaption_(QString::fromUtf8("差出人")) {}

void MailListModel::Load(MailListRows rows) {
  beginResetModel();
  rows_ = std::move(rows);
  // Each record goes on top of the ones before it: the newest first, unless
  // the user sorted the list. A fresh order, so a smaller folder does not
  // keep a larger one's capacity.
  order_ = NewestFirstOrder(rows_.size());
  sorter_.Reapply(rows_, order_);
  endResetModel();
}

void MailListModel::Clear() { Load({}); }

void MailListModel::SetSecondCaption(const std::string& caption) {
  secondCaption_ = platform::ToQString(caption);
  emit headerDataChanged(Qt::Horizontal, 2, 2);
}

void MailListModel::SortByColumn(MailColumn column) {
  if (column == MailColumn::Icon) {
    sorter_.SortByColumn(column, rows_, order_);
    return;
  }
  emit layoutAboutToBeChanged();
  // The selection and the current row are persistent indexes: each follows
  // its mail to wherever the sort puts it, so what is highlighted stays
  // the mail whose text is shown.
  const QModelIndexList before = persistentIndexList();
  std::vector<std::size_t> records;
  records.reserve(static_cast<std::size_t>(before.size()));
  for (const QModelIndex& index : before) records.push_back(RowAt(index.row()));
  sorter_.SortByColumn(column, rows_, order_);
  const std::vector<int> shown = ShownRowsOf(records);
  QModelIndexList after;
  after.reserve(before.size());
  for (qsizetype i = 0; i < before.size(); ++i) {
    after.push_back(index(shown[static_cast<std::size_t>(i)], before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged();
}

std::vector<int> MailListModel::ShownRowsOf(const std::vector<std::size_t>& records) const {
  std::vector<int> shown(records.size(), -1);
  if (records.empty()) return shown;
  std::vector<int> rowOf(rows_.size(), -1);
  for (std::size_t at = 0; at < order_.size(); ++at) rowOf[order_[at]] = static_cast<int>(at);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i] < rowOf.size()) shown[i] = rowOf[records[i]];
  }
  return shown;
}

void MailListModel::MarkRead(int row) {
  if (row < 0 || row >= rowCount()) return;
  rows_.MarkRead(RowAt(row));
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

int MailListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int MailListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant MailListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const std::size_t row = RowAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case 1: return ShownLine(rows_.Subject(row));
        case 2: return ShownLine(rows_.SecondColumn(row));
        case 3: return platform::ToQString(ListDateText(rows_.DateText(row)));
        default: return {};
      }
    case Qt::DecorationRole:
      if (index.column() == 0) return icons_.At(rows_.Icon(row));
      return {};
    case Qt::ToolTipRole:
      if (index.column() <= 1 && MailListIcons::IsUnconfirmed(rows_.Icon(row))) {
        return platform::ToQString(
            Sj("送信不明: 相手に届いたかどうか分かりません。「送信」では送り直しません（右クリックの「送信待ちに戻す」で送り直せます）。"));
      }
      return {};
    case Qt::FontRole:
      if (!rows_.IsRead(row)) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default:
      return {};
  }
}

std::size_t MailListModel::BytesKept() const { return rows_.BytesKept() + order_.capacity() * sizeof(order_[0]); }

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
