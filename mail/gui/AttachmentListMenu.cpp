#include "mail/gui/AttachmentListMenu.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMimeDatabase>
#include <map>

#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"

namespace mf {

void FillAttachmentList(QListWidget& list, const std::vector<std::string>& names) {
  list.setLayoutMode(QListView::Batched);
  QMimeDatabase mimes;
  std::map<QString, QIcon> icons;  // by MIME type
  for (const std::string& name : names) {
    const QString shown = platform::ToQString(name);
    const QString kind = mimes.mimeTypeForFile(shown, QMimeDatabase::MatchExtension).name();
    auto icon = icons.find(kind);
    if (icon == icons.end()) icon = icons.emplace(kind, platform::SmallFileIcon(name)).first;
    list.addItem(new QListWidgetItem(icon->second, shown));
  }
}

QAction* WireAttachmentList(QListWidget& list, std::function<void(int row)> open,
                            std::function<void(int row)> saveAs) {
  QObject::connect(&list, &QListWidget::itemDoubleClicked, &list,
                   [&list, open](QListWidgetItem* item) { open(list.row(item)); });
  list.setContextMenuPolicy(Qt::CustomContextMenu);
  auto* menu = new QMenu(&list);
  QAction* save = menu->addAction(QString::fromUtf8("名前を付けて保存(&S)..."));
  QObject::connect(save, &QAction::triggered, &list, [&list, saveAs] { saveAs(list.currentRow()); });
  QObject::connect(&list, &QWidget::customContextMenuRequested, &list, [&list, menu](const QPoint& at) {
    QListWidgetItem* item = list.itemAt(at);
    if (item == nullptr) return;
    list.setCurrentItem(item);
    menu->popup(list.viewport()->mapToGlobal(at));
  });
  return save;
}

}  // namespace mf
