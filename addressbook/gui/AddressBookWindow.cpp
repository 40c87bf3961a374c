#include "addressbook/gui/AddressBookWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "addressbook/gui/AddressListView.h"
#include "addressbook/gui/AddressEntryDialog.h"
#include "base/ShiftJis.h"
#include "platform/Dialogs.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

AddressBookWindow::AddressBookWindow(AddressFile& file, AddressEntryDialog& entry, platform::Dialogs& dialogs, QWidget* parent)
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

  connect(newButton, &QPushButton::clicked, this, &AddressBookWindow::NewEntry);
  connect(deleteButton, &QPushButton::clicked, this, &AddressBookWindow::DeleteEntries);
  connect(addressList, &QTreeWidget::itemDoubleClicked, this, [this] { EditEntry(); });
  connect(addressList, &QTreeWidget::itemSelectionChanged, this, &AddressBookWindow::SelectionChanged);
  connect(addressList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popupMenu->popup(addressList->viewport()->mapToGlobal(at)); });
  connect(&entry_, &QDialog::finished, this, &AddressBookWindow::Reload);
  SelectionChanged();
}

void AddressBookWindow::BuildMenus() {
  mainMenu = new QMenuBar(this);
  QMenu* fileMenu = mainMenu->addMenu(Text("ファイル(&F)"));
  newAction = fileMenu->addAction(Text("新しい項目(&N)"), this, &AddressBookWindow::NewEntry);
  deleteAction = fileMenu->addAction(Text("削除(&D)"), this, &AddressBookWindow::DeleteEntries);
  deleteAction->setShortcut(QKeySequence::Delete);
  reloadAction = fileMenu->addAction(Text("再表示(&R)"), this, &AddressBookWindow::Reload);
  fileMenu->addSeparator();
  closeAction = fileMenu->addAction(Text("閉じる(&C)"), this, &QDialog::reject);
  popupMenu = new QMenu(this);
  editPopupAction = popupMenu->addAction(Text("編集(&E)"), this, &AddressBookWindow::EditEntry);
  deletePopupAction = popupMenu->addAction(Text("削除(&D)"), this, &AddressBookWindow::DeleteEntries);
}

AddressBookWindow::~AddressBookWindow() { entry_.ForgetOpener(this); }

void AddressBookWindow::showEvent(QShowEvent* event) {
  Reload();
  QDialog::showEvent(event);
}

void AddressBookWindow::Reload() {
  addressList->Reload(file_.Load());
  SelectionChanged();
}

void AddressBookWindow::SelectionChanged() {
  const bool selected = !addressList->selectedItems().isEmpty();
  for (QAction* action : {deleteAction, editPopupAction, deletePopupAction}) action->setEnabled(selected);
  deleteButton->setEnabled(selected);
}

void AddressBookWindow::NewEntry() { entry_.OpenNew(this, Sj("新しいアドレス帳データの入力")); }

void AddressBookWindow::EditEntry() {
  auto row = addressList->SelectedRow();
  if (!row) return;
  // A record that vanished under the list: show the file as it is now.
  if (!entry_.OpenEdit(this, row->index, AddressEntryDialog::EditCaption::WithName)) Reload();
}

void AddressBookWindow::DeleteEntries() {
  const auto indexes = addressList->SelectedIndexes();
  if (indexes.empty()) return;
  if (!file_.Delete(indexes)) dialogs_.Error(Sj(kAddressWriteError));
  Reload();
}

}  // namespace mf
