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
  addressList_ = new AddressListView(entry.Icons(), {Text("名前"), Text("電子メールアドレス"), Text("連絡先")}, this);
  addressList_->setObjectName("addressList");
  addressList_->setContextMenuPolicy(Qt::CustomContextMenu);
  newButton_ = new QPushButton(Text("新規作成"), this);
  newButton_->setObjectName("newButton");
  deleteButton_ = new QPushButton(Text("削除"), this);
  deleteButton_->setObjectName("deleteButton");
  BuildMenus();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(newButton_);
  buttons->addWidget(deleteButton_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(mainMenu_);
  layout->addLayout(buttons);
  layout->addWidget(addressList_);
  resize(520, 360);

  connect(newButton_, &QPushButton::clicked, this, &AddressBookWindow::NewEntry);
  connect(deleteButton_, &QPushButton::clicked, this, &AddressBookWindow::DeleteEntries);
  connect(addressList_, &QTreeWidget::itemDoubleClicked, this, [this] { EditEntry(); });
  connect(addressList_, &QTreeWidget::itemSelectionChanged, this, &AddressBookWindow::SelectionChanged);
  connect(addressList_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popupMenu_->popup(addressList_->viewport()->mapToGlobal(at)); });
  connect(&entry_, &QDialog::finished, this, &AddressBookWindow::Reload);
  SelectionChanged();
}

void AddressBookWindow::BuildMenus() {
  mainMenu_ = new QMenuBar(this);
  mainMenu_->setObjectName("mainMenu");
  QMenu* fileMenu = mainMenu_->addMenu(Text("ファイル(&F)"));
  newAction_ = fileMenu->addAction(Text("新しい項目(&N)"), this, &AddressBookWindow::NewEntry);
  newAction_->setObjectName("newAction");
  deleteAction_ = fileMenu->addAction(Text("削除(&D)"), this, &AddressBookWindow::DeleteEntries);
  deleteAction_->setObjectName("deleteAction");
  deleteAction_->setShortcut(QKeySequence::Delete);
  reloadAction_ = fileMenu->addAction(Text("再表示(&R)"), this, &AddressBookWindow::Reload);
  reloadAction_->setObjectName("reloadAction");
  fileMenu->addSeparator();
  closeAction_ = fileMenu->addAction(Text("閉じる(&C)"), this, &QDialog::reject);
  closeAction_->setObjectName("closeAction");
  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName("popupMenu");
  editPopupAction_ = popupMenu_->addAction(Text("編集(&E)"), this, &AddressBookWindow::EditEntry);
  editPopupAction_->setObjectName("editPopupAction");
  deletePopupAction_ = popupMenu_->addAction(Text("削除(&D)"), this, &AddressBookWindow::DeleteEntries);
  deletePopupAction_->setObjectName("deletePopupAction");
}

AddressBookWindow::~AddressBookWindow() { entry_.ForgetOpener(this); }

void AddressBookWindow::showEvent(QShowEvent* event) {
  Reload();
  QDialog::showEvent(event);
}

void AddressBookWindow::Reload() {
  addressList_->Reload(file_.Load());
  SelectionChanged();
}

void AddressBookWindow::SelectionChanged() {
  const bool selected = !addressList_->selectedItems().isEmpty();
  for (QAction* action : {deleteAction_, editPopupAction_, deletePopupAction_}) action->setEnabled(selected);
  deleteButton_->setEnabled(selected);
}

void AddressBookWindow::NewEntry() { entry_.OpenNew(this, Sj("新しいアドレス帳データの入力")); }

void AddressBookWindow::EditEntry() {
  auto row = addressList_->SelectedRow();
  if (!row) return;
  // A record that vanished under the list: show the file as it is now.
  if (!entry_.OpenEdit(this, row->index, AddressEntryDialog::EditCaption::WithName)) Reload();
}

void AddressBookWindow::DeleteEntries() {
  const auto indexes = addressList_->SelectedIndexes();
  if (indexes.empty()) return;
  if (!file_.Delete(indexes)) dialogs_.Error(Sj(kAddressWriteError));
  Reload();
}

}  // namespace mf
