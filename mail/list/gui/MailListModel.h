#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstddef>
#include <string_view>
#include <vector>

#include "mail/list/MailListSort.h"
#include "mail/list/gui/MailListIcons.h"
#include "mail/store/MailListRows.h"

namespace mf {

// The rows of the mail list as a model over one folder's compact rows: the
// view asks for what it paints, so a folder of any size costs its row, its
// texts and one position per mail and no widget object.
class MailListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The drag of selected mails onto the folder tree.
  static constexpr const char* kMimeType = "application/x-mfmail-mail-rows";

  explicit MailListModel(QObject* parent = nullptr);

  // The folder's rows in file order; shown newest first, or as last sorted.
  void Load(MailListRows rows);
  void Clear();
  // The caption of the second column ("差出人" or "宛先"), Shift_JIS.
  void SetSecondCaption(const std::string& caption);

  // A click on a column header: the sort rules and directions of the list.
  // Selected and current rows move with their mails.
  void SortByColumn(MailColumn column);
  // What the list is sorted by, for the header's indicator.
  std::optional<MailListSorter::Sorted> SortedBy() const { return sorter_.LastSort(); }

  // What a shown row holds; `row` counts as the view shows them.
  std::size_t RecordIndexAt(int row) const { return RowAt(row); }
  std::string_view SubjectAt(int row) const { return rows_.Subject(RowAt(row)); }
  int IconAt(int row) const { return rows_.Icon(RowAt(row)); }
  bool IsReadAt(int row) const { return rows_.IsRead(RowAt(row)); }
  bool HasAttachmentAt(int row) const { return rows_.HasAttachment(RowAt(row)); }
  // The selected mail has been read: the read icon and the normal style.
  void MarkRead(int row);
  // The folder's rows in file order, and where a record is shown.
  const MailListRows& Rows() const { return rows_; }
  std::vector<int> ShownRowsOf(const std::vector<std::size_t>& records) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }

  // Every byte the model keeps for its mails: the rows and their order.
  std::size_t BytesKept() const;

 private:
  std::size_t RowAt(int row) const { return order_[static_cast<std::size_t>(row)]; }

  MailListRows rows_;
  RowOrder order_;  // shown row -> row
  MailListSorter sorter_;
  MailListIcons icons_;
  QString secondCaption_;
};

}  // namespace mf
