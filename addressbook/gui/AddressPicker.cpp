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
    if (!view->selectedItems().isEmpty()) focus_ = view == ToSelect ? Focus::To : Focus::Cc;
    SelectionChanged();
  });
  connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
    focus_ = view == ToSelect ? Focus::To : Focus::Cc;
    PrepareMenu();
    popupMenu->popup(view->viewport()->mapToGlobal(at));
  });
  return view;
}

void AddressPicker::BuildControls() {
  AddressBook = new AddressListView(entry_.Icons(), {Text("名前"), Text("アドレス"), Text("連絡先")}, this);
  AddressBook->setDragEnabled(true);
  AddressBook->setDragDropMode(QAbstractItemView::DragOnly);
  AddressBook->setContextMenuPolicy(Qt::CustomContextMenu);
  AddressBook->installEventFilter(this);
  AddressBook->setColumnWidth(1, 90);  // the narrower half of this window
  ToSelect = MakeRecipientView();
  CcSelect = MakeRecipientView();
  ToSelect->setAccessibleName(Text("宛先"));
  CcSelect->setAccessibleName(Text("Cc"));
  CcButton = new QPushButton(Text("Cc"), this);
  CcButton->setVisible(false);
  chooseButton = new LabelButton(Text("<<選択"), kButtonColour, kButtonHoverColour, this);
  okButton = new LabelButton(Text("OK"), kButtonColour, kButtonHoverColour, this);
  cancelButton = new LabelButton(Text("取り消し"), kButtonColour, kButtonHoverColour, this);
  for (LabelButton* button : {chooseButton, okButton, cancelButton}) button->setMinimumSize(80, 24);
  newButton = new QPushButton(Text("新規項目"), this);
  deleteButton = new QPushButton(Text("削除"), this);
  for (QPushButton* button : {newButton, deleteButton}) button->setFocusPolicy(Qt::NoFocus);

  // The Cc list shares ToSelect's place and stays behind it.
  auto* recipients = new QStackedLayout;
  recipients->addWidget(ToSelect);
  recipients->addWidget(CcSelect);
  recipients->setCurrentWidget(ToSelect);

  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(chooseButton);
  middle->addWidget(CcButton);
  middle->addStretch();
  auto* lists = new QHBoxLayout;
  lists->addLayout(recipients, 1);
  lists->addLayout(middle);
  lists->addWidget(AddressBook, 1);
  auto* top = new QHBoxLayout;
  top->addWidget(newButton);
  top->addWidget(deleteButton);
  top->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(okButton);
  bottom->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(lists, 1);
  layout->addLayout(bottom);
  resize(760, 380);

  connect(chooseButton, &LabelButton::clicked, this, [this] { Choose(Target::To); });
  connect(okButton, &LabelButton::clicked, this, &AddressPicker::Accept);
  connect(cancelButton, &LabelButton::clicked, this, &QDialog::reject);
  connect(newButton, &QPushButton::clicked, this, &AddressPicker::NewEntry);
  connect(deleteButton, &QPushButton::clicked, this, &AddressPicker::DeleteEntries);
  connect(AddressBook, &QTreeWidget::itemDoubleClicked, this, [this] { EditEntry(); });
  connect(AddressBook, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!AddressBook->selectedItems().isEmpty()) focus_ = Focus::Addresses;
    SelectionChanged();
  });
  connect(AddressBook, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    focus_ = Focus::Addresses;
    PrepareMenu();
    popupMenu->popup(AddressBook->viewport()->mapToGlobal(at));
  });
}

void AddressPicker::BuildMenus() {
  mainMenu = new QMenuBar(this);
  QMenu* fileMenu = mainMenu->addMenu(Text("ファイル(&F)"));
  newAction = fileMenu->addAction(Text("新しい項目(&N)"), this, &AddressPicker::NewEntry);
  deleteAction = fileMenu->addAction(Text("削除(&D)"), this, &AddressPicker::DeleteEntries);
  deleteAction->setShortcut(QKeySequence::Delete);
  fileMenu->addSeparator();
  closeAction = fileMenu->addAction(Text("閉じる(&C)"), this, &QDialog::reject);
  layout()->setMenuBar(mainMenu);
  popupMenu = new QMenu(this);
  editPopupAction = popupMenu->addAction(Text("編集(&E)"), this, &AddressPicker::EditEntry);
  deletePopupAction = popupMenu->addAction(Text("削除(&D)"), this, &AddressPicker::DeleteEntries);
}

AddressPicker::~AddressPicker() { entry_.ForgetOpener(this); }

void AddressPicker::showEvent(QShowEvent* event) {
  ReloadAddresses();
  QDialog::showEvent(event);
}

bool AddressPicker::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == AddressBook) focus_ = Focus::Addresses;
    if (watched == ToSelect) focus_ = Focus::To;
    if (watched == CcSelect) focus_ = Focus::Cc;
  }
  const bool toView = watched == ToSelect->viewport();
  const bool ccView = watched == CcSelect->viewport();
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
  AddressBook->Reload(file_.Load());
  SelectionChanged();
}

void AddressPicker::ClearTo() {
  to_.Clear();
  ShowRecipients(ToSelect, to_);
}

void AddressPicker::ClearCc() {
  cc_.Clear();
  ShowRecipients(CcSelect, cc_);
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
  auto row = AddressBook->SelectedRow();
  if (!row) {
    dialogs_.Error(Sj("宛先を選択して下さい"));
    return;
  }
  RecipientList& list = target == Target::To ? to_ : cc_;
  list.Add(row->record);
  ShowRecipients(target == Target::To ? ToSelect : CcSelect, list);
}

void AddressPicker::NewEntry() { entry_.OpenNew(this, std::nullopt); }

void AddressPicker::EditEntry() {
  auto row = AddressBook->SelectedRow();
  if (!row) return;
  if (!entry_.OpenEdit(this, row->index, AddressEntryDialog::EditCaption::Unchanged)) ReloadAddresses();
}

void AddressPicker::DeleteEntries() {
  switch (focus_) {
    case Focus::Addresses: {
      const auto indexes = AddressBook->SelectedIndexes();
      if (!indexes.empty() && !file_.Delete(indexes)) dialogs_.Error(Sj(kAddressWriteError));
      break;
    }
    case Focus::To:
      to_.Remove(SelectedRows(ToSelect));
      ShowRecipients(ToSelect, to_);
      break;
    case Focus::Cc:
      cc_.Remove(SelectedRows(CcSelect));
      ShowRecipients(CcSelect, cc_);
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
    const bool selected = !AddressBook->selectedItems().isEmpty();
    editPopupAction->setEnabled(selected);
    deletePopupAction->setEnabled(selected);
    return;
  }
  editPopupAction->setEnabled(false);
  deletePopupAction->setEnabled(!(focus_ == Focus::To ? ToSelect : CcSelect)->selectedItems().isEmpty());
}

void AddressPicker::SelectionChanged() {
  chooseButton->setEnabled(!AddressBook->selectedItems().isEmpty());
  PrepareMenu();
  deleteButton->setEnabled(deletePopupAction->isEnabled());
  deleteAction->setEnabled(deletePopupAction->isEnabled());
}

}  // namespace mf
