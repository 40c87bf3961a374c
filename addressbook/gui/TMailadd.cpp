#include "addressbook/gui/TMailadd.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "addressbook/gui/AddressListView.h"
#include "addressbook/gui/Tpasonal.h"
#include "base/ShiftJis.h"
#include "platform/Dialogs.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TMailadd::TMailadd(AddressFile& file, Tpasonal& entry, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), file_(file), entry_(entry), dialogs_(dialogs) {
  setWindowTitle(Text("アドレス帳"));
  addressList = new AddressListView(entry.Icons(), {Text("名前"), Text("電子メールアドレス"), Text("連絡先")}, this);
  addressList->setContextMenuPolicy(Qt::CustomContextMenu);
  newButton = new QPushButton(Text("新規作成"), this);
  deleteButton = new QPushButton(Text("削除"), this);
  BuildMenus();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(newButton);
  buttons->addWidget(deleteButton);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(mainMenu);
  layout->addLayout(buttons);
  layout->addWidget(addressList);
  resize(520, 360);

  connect(newButton, &QPushButton::clicked, this, &TMailadd::NewClick);
  connect(deleteButton, &QPushButton::clicked, this, &TMailadd::DeleteClick);
  connect(addressList, &QTreeWidget::itemDoubleClicked, this, [this] { EditClick(); });
  connect(addressList, &QTreeWidget::itemSelectionChanged, this, &TMailadd::SelectionChanged);
  connect(addressList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popupMenu->popup(addressList->viewport()->mapToGlobal(at)); });
  connect(&entry_, &QDialog::finished, this, &TMailadd::Reload);
  SelectionChanged();
}

void TMailadd::BuildMenus() {
  mainMenu = new QMenuBar(this);
  QMenu* fileMenu = mainMenu->addMenu(Text("ファイル(&F)"));
  newAction = fileMenu->addAction(Text("新しい項目(&N)"), this, &TMailadd::NewClick);
  deleteAction = fileMenu->addAction(Text("削除(&D)"), this, &TMailadd::DeleteClick);
  deleteAction->setShortcut(QKeySequence::Delete);
  reloadAction = fileMenu->addAction(Text("再表示(&R)"), this, &TMailadd::Reload);
  fileMenu->addSeparator();
  closeAction = fileMenu->addAction(Text("閉じる(&C)"), this, &QDialog::reject);
  popupMenu = new QMenu(this);
  editPopupAction = popupMenu->addAction(Text("編集(&E)"), this, &TMailadd::EditClick);
  deletePopupAction = popupMenu->addAction(Text("削除(&D)"), this, &TMailadd::DeleteClick);
}

TMailadd::~TMailadd() { entry_.ForgetOpener(this); }

void TMailadd::showEvent(QShowEvent* event) {
  Reload();
  QDialog::showEvent(event);
}

void TMailadd::Reload() {
  addressList->Reload(file_.Load());
  SelectionChanged();
}

void TMailadd::SelectionChanged() {
  const bool selected = !addressList->selectedItems().isEmpty();
  for (QAction* action : {deleteAction, editPopupAction, deletePopupAction}) action->setEnabled(selected);
  deleteButton->setEnabled(selected);
}

void TMailadd::NewClick() { entry_.OpenNew(this, Sj("新しいアドレス帳データの入力")); }

void TMailadd::EditClick() {
  auto row = addressList->SelectedRow();
  if (!row) return;
  // A record that vanished under the list: show the file as it is now.
  if (!entry_.OpenEdit(this, row->index, Tpasonal::EditCaption::WithName)) Reload();
}

void TMailadd::DeleteClick() {
  const auto indexes = addressList->SelectedIndexes();
  if (indexes.empty()) return;
  if (!file_.Delete(indexes)) dialogs_.Error(Sj(kAddressWriteError));
  Reload();
}

}  // namespace mf
