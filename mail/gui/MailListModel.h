#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstddef>
#include <vector>

#include "mail/MailListEntry.h"
#include "mail/MailListSort.h"
#include "mail/gui/MailListIcons.h"

namespace mf {

// The rows of the mail list as a model over one folder's entries: the view
// asks for what it paints, so a folder of any size costs one entry and one
// position per mail and no widget object.
class MailListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The drag of selected mails onto the folder tree.
  static constexpr const char* kMimeType = "application/x-mfmail-mail-rows";

  explicit MailListModel(QObject* parent = nullptr);

  // The folder's entries in file order; shown newest first.
  void Load(std::vector<MailListEntry> entries);
  void Clear();
  // The caption of the second column ("差出人" or "宛先"), Shift_JIS.
  void SetSecondCaption(const std::string& caption);

  // A click on a column header: the sort rules and directions of the list.
  void ColumnClick(MailColumn column);

  const MailListEntry& EntryAt(int row) const { return entries_[order_[static_cast<std::size_t>(row)]]; }
  // The selected mail has been read: the read icon and the normal style.
  void MarkRead(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }

 private:
  std::vector<MailListEntry> entries_;
  std::vector<std::size_t> order_;  // row -> entry
  MailListSorter sorter_;
  MailListIcons icons_;
  QString secondCaption_;
};

}  // namespace mf
