#include "addressbook/gui/AddressPicker.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/gui/AddressListView.h"
#include "addressbook/gui/AddressEntryDialog.h"
#include "base/ShiftJis.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

const QColor kButtonColour(255, 221, 255);
const QColor kButtonHoverColour(221, 255, 255);
constexpr int kIconColumnWidth = 25;

std::vector<std::size_t> SelectedRows(const QTreeWidget* view) {
  std::vector<std::size_t> rows;
  for (int row = 0; row < view->topLevelItemCount(); ++row) {
    if (view->topLevelItem(row)->isSelected()) rows.push_back(static_cast<std::size_t>(row));
  }
  return rows;
}

}  // namespace

AddressPicker::AddressPicker(AddressFile& file, AddressEntryDialog& entry, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), file_(file), entry_(entry), dialogs_(dialogs) {
  setWindowTitle(Text("アドレス帳から選択"));
  BuildControls();
  BuildMenus();
  connect(&entry_, &QDialog::finished, this, &AddressPicker::ReloadAddresses);
  SelectionChanged();
}

QTreeWidget* AddressPicker::MakeRecipientView() {
  auto* view = new QTreeWidget(this);
  view->setColumnCount(4);
  view->setHeaderLabels({QString(), Text("名前"), Text("アドレス"), Text("連絡先")});
  view->setRootIsDecorated(false);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setColumnWidth(0, kIconColumnWidth);
  view->setColumnWidth(1, 260);
  view->header()->setSectionsClickable(false);
  view->viewport()->setAcceptDrops(true);
  view->viewport()->installEventFilter(this);
  view->installEventFilter(this);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QTreeWidget::itemSelectionChanged, this, [this, view] {
    if (!view->selectedItems().isEmpty()) focus_ = view == toList_ ? Focus::To : Focus::Cc;
    SelectionChanged();
  });
  connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
    focus_ = view == toList_ ? Focus::To : Focus::Cc;
    PrepareMenu();
    popupMenu_->popup(view->viewport()->mapToGlobal(at));
  });
  return view;
}

void AddressPicker::BuildControls() {
  addressList_ = new AddressListView(entry_.Icons(), {Text("名前"), Text("アドレス"), Text("連絡先")}, this);
  addressList_->setObjectName("addressList");
  addressList_->setDragEnabled(true);
  addressList_->setDragDropMode(QAbstractItemView::DragOnly);
  addressList_->setContextMenuPolicy(Qt::CustomContextMenu);
  addressList_->installEventFilter(this);
  addressList_->setColumnWidth(1, 90);  // the narrower half of this window
  toList_ = MakeRecipientView();
  toList_->setObjectName("toList");
  ccList_ = MakeRecipientView();
  ccList_->setObjectName("ccList");
  toList_->setAccessibleName(Text("宛先"));
  ccList_->setAccessibleName(Text("Cc"));
  ccButton_ = new QPushButton(Text("Cc"), this);
  ccButton_->setObjectName("ccButton");
  ccButton_->setVisible(false);
  chooseButton_ = new LabelButton(Text("<<選択"), kButtonColour, kButtonHoverColour, this);
  chooseButton_->setObjectName("chooseButton");
  okButton_ = new LabelButton(Text("OK"), kButtonColour, kButtonHoverColour, this);
  okButton_->setObjectName("okButton");
  cancelButton_ = new LabelButton(Text("取り消し"), kButtonColour, kButtonHoverColour, this);
  cancelButton_->setObjectName("cancelButton");
  for (LabelButton* button : {chooseButton_, okButton_, cancelButton_}) button->setMinimumSize(80, 24);
  newButton_ = new QPushButton(Text("新規項目"), this);
  newButton_->setObjectName("newButton");
  deleteButton_ = new QPushButton(Text("削除"), this);
  deleteButton_->setObjectName("deleteButton");
  for (QPushButton* button : {newButton_, deleteButton_}) button->setFocusPolicy(Qt::NoFocus);

  // The Cc list shares the To list's place and stays behind it.
  auto* recipients = new QStackedLayout;
  recipients->addWidget(toList_);
  recipients->addWidget(ccList_);
  recipients->setCurrentWidget(toList_);

  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(chooseButton_);
  middle->addWidget(ccButton_);
  middle->addStretch();
  auto* lists = new QHBoxLayout;
  lists->addLayout(recipients, 1);
  lists->addLayout(middle);
  lists->addWidget(addressList_, 1);
  auto* top = new QHBoxLayout;
  top->addWidget(newButton_);
  top->addWidget(deleteButton_);
  top->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(okButton_);
  bottom->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(lists, 1);
  layout->addLayout(bottom);
  resize(760, 380);

  connect(chooseButton_, &LabelButton::clicked, this, [this] { Choose(Target::To); });
  connect(okButton_, &LabelButton::clicked, this, &AddressPicker::Accept);
  connect(cancelButton_, &LabelButton::clicked, this, &QDialog::reject);
  connect(newButton_, &QPushButton::clicked, this, &AddressPicker::NewEntry);
  connect(deleteButton_, &QPushButton::clicked, this, &AddressPicker::DeleteEntries);
  connect(addressList_, &QTreeWidget::itemDoubleClicked, this, [this] { EditEntry(); });
  connect(addressList_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!addressList_->selectedItems().isEmpty()) focus_ = Focus::Addresses;
    SelectionChanged();
  });
  connect(addressList_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    focus_ = Focus::Addresses;
    PrepareMenu();
    popupMenu_->popup(addressList_->viewport()->mapToGlobal(at));
  });
}

void AddressPicker::BuildMenus() {
  mainMenu_ = new QMenuBar(this);
  mainMenu_->setObjectName("mainMenu");
  QMenu* fileMenu = mainMenu_->addMenu(Text("ファイル(&F)"));
  newAction_ = fileMenu->addAction(Text("新しい項目(&N)"), this, &AddressPicker::NewEntry);
  newAction_->setObjectName("newAction");
  deleteAction_ = fileMenu->addAction(Text("削除(&D)"), this, &AddressPicker::DeleteEntries);
  deleteAction_->setObjectName("deleteAction");
  deleteAction_->setShortcut(QKeySequence::Delete);
  fileMenu->addSeparator();
  closeAction_ = fileMenu->addAction(Text("閉じる(&C)"), this, &QDialog::reject);
  closeAction_->setObjectName("closeAction");
  layout()->setMenuBar(mainMenu_);
  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName("popupMenu");
  editPopupAction_ = popupMenu_->addAction(Text("編集(&E)"), this, &AddressPicker::EditEntry);
  editPopupAction_->setObjectName("editPopupAction");
  deletePopupAction_ = popupMenu_->addAction(Text("削除(&D)"), this, &AddressPicker::DeleteEntries);
  deletePopupAction_->setObjectName("deletePopupAction");
}

AddressPicker::~AddressPicker() { entry_.ForgetOpener(this); }

void AddressPicker::showEvent(QShowEvent* event) {
  ReloadAddresses();
  QDialog::showEvent(event);
}

bool AddressPicker::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == addressList_) focus_ = Focus::Addresses;
    if (watched == toList_) focus_ = Focus::To;
    if (watched == ccList_) focus_ = Focus::Cc;
  }
  const bool toView = watched == toList_->viewport();
  const bool ccView = watched == ccList_->viewport();
  if (!toView && !ccView) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
      // Anything dropped here means "the selected entry".
      static_cast<QDropEvent*>(event)->acceptProposedAction();
      return true;
    case QEvent::Drop:
      static_cast<QDropEvent*>(event)->acceptProposedAction();
      Choose(toView ? Target::To : Target::Cc);
      return true;
    default:
      return QDialog::eventFilter(watched, event);
  }
}

void AddressPicker::ReloadAddresses() {
  addressList_->Reload(file_.Load());
  SelectionChanged();
}

void AddressPicker::ClearTo() {
  to_.Clear();
  ShowRecipients(toList_, to_);
}

void AddressPicker::ClearCc() {
  cc_.Clear();
  ShowRecipients(ccList_, cc_);
}

void AddressPicker::ShowRecipients(QTreeWidget* view, const RecipientList& list) {
  view->clear();
  QList<QTreeWidgetItem*> items;
  for (const PickedRecipient& recipient : list.Items()) {
    auto* item = new QTreeWidgetItem(QStringList{QString(), platform::ToQString(recipient.text)});
    item->setIcon(0, entry_.Icons().Icon(recipient.icon));
    items.append(item);
  }
  view->addTopLevelItems(items);
  SelectionChanged();
}

void AddressPicker::Choose(Target target) {
  auto row = addressList_->SelectedRow();
  if (!row) {
    dialogs_.Error(Sj("宛先を選択して下さい"));
    return;
  }
  RecipientList& list = target == Target::To ? to_ : cc_;
  list.Add(row->record);
  ShowRecipients(target == Target::To ? toList_ : ccList_, list);
}

void AddressPicker::NewEntry() { entry_.OpenNew(this, std::nullopt); }

void AddressPicker::EditEntry() {
  auto row = addressList_->SelectedRow();
  if (!row) return;
  if (!entry_.OpenEdit(this, row->index, AddressEntryDialog::EditCaption::Unchanged)) ReloadAddresses();
}

void AddressPicker::DeleteEntries() {
  switch (focus_) {
    case Focus::Addresses: {
      const auto indexes = addressList_->SelectedIndexes();
      if (!indexes.empty() && !file_.Delete(indexes)) dialogs_.Error(Sj(kAddressWriteError));
      break;
    }
    case Focus::To:
      to_.Remove(SelectedRows(toList_));
      ShowRecipients(toList_, to_);
      break;
    case Focus::Cc:
      cc_.Remove(SelectedRows(ccList_));
      ShowRecipients(ccList_, cc_);
      break;
  }
  ReloadAddresses();
}

void AddressPicker::Accept() {
  if (resultHook_) resultHook_(Result());
  accept();
}

void AddressPicker::PrepareMenu() {
  if (focus_ == Focus::Addresses) {
    const bool selected = !addressList_->selectedItems().isEmpty();
    editPopupAction_->setEnabled(selected);
    deletePopupAction_->setEnabled(selected);
    return;
  }
  editPopupAction_->setEnabled(false);
  deletePopupAction_->setEnabled(!(focus_ == Focus::To ? toList_ : ccList_)->selectedItems().isEmpty());
}

void AddressPicker::SelectionChanged() {
  chooseButton_->setEnabled(!addressList_->selectedItems().isEmpty());
  PrepareMenu();
  deleteButton_->setEnabled(deletePopupAction_->isEnabled());
  deleteAction_->setEnabled(deletePopupAction_->isEnabled());
}

}  // namespace mf
