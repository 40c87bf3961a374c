#include "mail/list/gui/MailListWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Link.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/answer/ComposeAttachments.h"
#include "mail/answer/MailImport.h"
#include "mail/answer/ReplyText.h"
#include "mail/answer/SaveAsText.h"
#include "mail/gui/AttachmentListMenu.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/QuotedText.h"
#include "mail/list/gui/MailListModel.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/send/OutboxSender.h"
#include "mail/send/ReEdit.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/AttachmentActions.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "settings/LiveSettings.h"
#include "platform/qt/ScreenPlacement.h"

namespace mf {

namespace {

constexpr int kDefaultWidth = 760;
constexpr int kDefaultHeight = 520;
constexpr int kSecondWidth = 200;
constexpr int kIconColumnWidth = 28;
constexpr int kCellMargin = 8;       // room each side of a column's text
constexpr int kSortArrowWidth = 16;  // the header's sort arrow
constexpr const char* kWindowSection = "Window";
constexpr const char* kPackageName = "MofutanData.mfd";
constexpr const char* kFileFilter =
    "Outlookメール(*.eml)|*.eml|テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*";

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// A stored text for an edit control, whose paragraphs end in LF alone.
QString PlainText(const std::string& sjis) {
  QString text = platform::ToQString(sjis);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// Shift held deletes for good instead of moving to the trash.
MailListWindow::Deletion DeletionFor(Qt::KeyboardModifiers modifiers) {
  return modifiers.testFlag(Qt::ShiftModifier) ? MailListWindow::Deletion::ForGood : MailListWindow::Deletion::ToTrash;
}

// The tree node of each folder carries its position.
FolderKind FolderOfNode(const QTreeWidgetItem* node) {
  return static_cast<FolderKind>(node->data(0, Qt::UserRole).toInt());
}

}  // namespace

MailListWindow::MailListWindow(const MailServices& services, ReceivingHut& hut, CompositionWindow& composition)
    : context_(services),
      hut_(hut),
      composition_(composition),
      model_(std::make_unique<MailListModel>()),
      outbox_(std::make_unique<OutboxSender>(services.loop, services.settings, services.store, services.clock,
                                             services.random)) {
  setWindowTitle(Text("メール一覧"));
  resize(kDefaultWidth, kDefaultHeight);
  BuildActions();
  BuildMenus();
  BuildControls();

  // The mail position starts in the middle of the screen.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    context_.host.MailPosition() = ScreenPoint{area.center().x(), area.center().y()};
  }
  context_.store.Prepare();
  AddImportNodeWhenPresent();
  ShowFolder(FolderKind::Inbox);

  outbox_->OnSent = [this](const OutboxSent& sent) { OutboxMailSent(sent); };
  outbox_->OnFailed = [this](const std::string& text) { OutboxFailed(text); };
  outbox_->OnClosed = [this] { OutboxClosed(); };

  // The error routine ends the outbox's sessions beside whatever the
  // receiving side put there before.
  auto previous = context_.errors.hooks.endMailListSessions;
  context_.errors.hooks.endMailListSessions = [this, previous] {
    if (previous) previous();
    outbox_->Abort();
  };
  context_.commands.OnChange = [this] { UpdateTransferCommands(); };
  UpdateTransferCommands();

  composition_.links.deleteReEditedMail = [this] { DeleteReEditedMail(); };
  composition_.links.folderChanged = [this](FolderKind folder) { ReloadIfShown(folder); };

  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) ApplicationActivated();
  });
}

MailListWindow::~MailListWindow() {
  // The program ends through here however it ends (the hut closed, the
  // tray's "終了", the session ending): the window's place is kept then too,
  // once the stored one has been applied.
  if (shownOnce_) KeepPlace();
  context_.commands.OnChange = nullptr;
  context_.errors.hooks.endMailListSessions = nullptr;
  composition_.links.deleteReEditedMail = nullptr;
  composition_.links.folderChanged = nullptr;
}

// --- building -------------------------------------------------------------------

void MailListWindow::BuildActions() {
  QStyle* look = style();
  auto action = [this](const char* text, const QIcon& icon = QIcon()) {
    auto* made = new QAction(icon, Text(text), this);
    return made;
  };
  MailSend = action("送信", look->standardIcon(QStyle::SP_ArrowUp));
  MailRcv = action("受信", look->standardIcon(QStyle::SP_ArrowDown));
  ControlHeader = action("ヘッダー表示", look->standardIcon(QStyle::SP_FileDialogDetailedView));
  AddressButton = action("アドレス帳", look->standardIcon(QStyle::SP_DirHomeIcon));
  newMailAction = action("新規作成", look->standardIcon(QStyle::SP_FileIcon));
  for (QAction* tool : {MailSend, MailRcv, ControlHeader, AddressButton, newMailAction}) tool->setToolTip(tool->text());
  ControlHeader->setEnabled(false);
  newMailAction->setVisible(false);

  mnSaveAs = action("名前を付けて保存(&S)");
  mnSaveAs->setEnabled(false);
  importMenu = action("インポート(&I)");
  mnMailRcv = action("メール受信(&J)");
  closeAction = action("閉じる(&C)");
  accountSettingsAction = action("アカウント設定(&A)");
  helpAction = action("ヘルプ(&H)");
  versionAction = action("バージョン情報(&V)");

  Menu_Re = action("差出人へ返信");
  Menu_Forward = action("転送");
  Menu_reEdit = action("再編集");
  Menu_Delete = action("削除");
  JoinAddressBook = action("送信者をアドレス帳に追加");
  puMnTrashEmpty = action("ごみ箱を空にする");

  connect(MailSend, &QAction::triggered, this, [this] { SendOutbox(); });
  auto receive = [this] {
    CallLink(links.receive, "receive");
  };
  connect(MailRcv, &QAction::triggered, this, receive);
  connect(mnMailRcv, &QAction::triggered, this, receive);
  connect(ControlHeader, &QAction::triggered, this, [this] { SwitchHeaders(); });
  connect(AddressButton, &QAction::triggered, this, [this] {
    CallLink(links.openAddressBook, "openAddressBook");
  });
  connect(newMailAction, &QAction::triggered, this, [this] { WriteNewMail(); });
  connect(mnSaveAs, &QAction::triggered, this, [this] { SaveAs(); });
  connect(importMenu, &QAction::triggered, this, [this] { Import(); });
  connect(closeAction, &QAction::triggered, this, [this] { CloseList(); });
  connect(accountSettingsAction, &QAction::triggered, this, [this] {
    CallLink(links.openSettings, "openSettings");
  });
  connect(helpAction, &QAction::triggered, this, [this] {
    CallLink(links.openHelp, "openHelp");
  });
  connect(versionAction, &QAction::triggered, this, [this] {
    CallLink(links.showVersion, "showVersion");
  });
  connect(Menu_Re, &QAction::triggered, this, [this] { Reply(); });
  connect(Menu_Forward, &QAction::triggered, this, [this] { Forward(); });
  connect(Menu_reEdit, &QAction::triggered, this, [this] { ReEdit(); });
  connect(Menu_Delete, &QAction::triggered, this, [this] { DeleteSelected(DeletionFor(QGuiApplication::queryKeyboardModifiers())); });
  connect(JoinAddressBook, &QAction::triggered, this, [this] { AddSenderToAddressBook(); });
  connect(puMnTrashEmpty, &QAction::triggered, this, [this] { EmptyTrash(); });
}

void MailListWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(Text("ファイル(&F)"));
  file->addActions({mnSaveAs, importMenu, mnMailRcv});
  file->addSeparator();
  file->addAction(closeAction);
  menuBar()->addMenu(Text("設定(&S)"))->addAction(accountSettingsAction);
  QMenu* help = menuBar()->addMenu(Text("ヘルプ(&H)"));
  help->addActions({helpAction, versionAction});

  QToolBar* tools = addToolBar(Text("ツールバー"));
  tools->setMovable(false);
  tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tools->addActions({MailSend, MailRcv, ControlHeader, AddressButton, newMailAction});

  mailMenu = new QMenu(this);
  mailMenu->addAction(Menu_Re);
  mailMenu->addSeparator();
  mailMenu->addActions({Menu_Forward, Menu_reEdit});
  mailMenu->addSeparator();
  mailMenu->addAction(Menu_Delete);
  mailMenu->addSeparator();
  mailMenu->addAction(JoinAddressBook);
  connect(mailMenu, &QMenu::aboutToShow, this, [this] { PrepareMailMenu(); });

  folderMenu = new QMenu(this);
  folderMenu->addAction(puMnTrashEmpty);
  connect(folderMenu, &QMenu::aboutToShow, this, [this] { PrepareFolderMenu(); });
}

void MailListWindow::BuildControls() {
  auto* panes = new QSplitter(Qt::Horizontal, this);
  folderTree = new QTreeWidget(panes);
  folderTree->setHeaderHidden(true);
  folderTree->setRootIsDecorated(false);
  folderTree->setContextMenuPolicy(Qt::CustomContextMenu);
  folderTree->setAcceptDrops(true);
  folderTree->viewport()->installEventFilter(this);
  folderTree->setAccessibleName(Text("フォルダー"));
  const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
  for (FolderKind folder : {FolderKind::Inbox, FolderKind::Sent, FolderKind::Outbox, FolderKind::Kept,
                            FolderKind::Trash}) {
    auto* node = new QTreeWidgetItem(folderTree, {platform::ToQString(TreeCaption(folder))});
    node->setIcon(0, folderIcon);
    node->setData(0, Qt::UserRole, static_cast<int>(folder));
  }
  connect(folderTree, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* node) { ShowFolder(FolderOfNode(node)); });
  connect(folderTree, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { folderMenu->popup(folderTree->viewport()->mapToGlobal(at)); });

  auto* right = new QSplitter(Qt::Vertical, panes);
  right->setChildrenCollapsible(false);
  mailList = new QTreeView(right);
  mailList->setModel(model_.get());
  mailList->setRootIsDecorated(false);
  mailList->setUniformRowHeights(true);
  mailList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  mailList->setSelectionBehavior(QAbstractItemView::SelectRows);
  mailList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  mailList->setDragEnabled(true);
  mailList->setDragDropMode(QAbstractItemView::DragOnly);
  mailList->setContextMenuPolicy(Qt::CustomContextMenu);
  // The subject takes what the other columns leave, so that the date is
  // always in view and wide enough for its text.
  QHeaderView* header = mailList->header();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Fixed);
  header->setSectionResizeMode(1, QHeaderView::Stretch);
  header->setSectionResizeMode(2, QHeaderView::Interactive);
  header->setSectionResizeMode(3, QHeaderView::Interactive);
  mailList->setColumnWidth(0, kIconColumnWidth);
  mailList->setColumnWidth(2, kSecondWidth);
  mailList->setColumnWidth(3, DateColumnWidth());
  UpdateSortIndicator();
  mailList->installEventFilter(this);
  mailList->setAccessibleName(Text("メール"));
  connect(mailList->header(), &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });
  connect(mailList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { ShowSelectedMail(); });
  connect(mailList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { mailMenu->popup(mailList->viewport()->mapToGlobal(at)); });

  // The selected mail: its text, and under it one strip of its attachments.
  auto* reading = new QWidget(right);
  auto* readingLayout = new QVBoxLayout(reading);
  readingLayout->setContentsMargins(0, 0, 0, 0);
  readingLayout->setSpacing(2);
  mailText = new QTextEdit(reading);
  mailText->setReadOnly(true);
  mailText->setAcceptRichText(false);
  mailText->setAccessibleName(Text("本文"));
  attachmentList = new QListWidget(reading);
  attachmentList->setViewMode(QListView::ListMode);
  attachmentList->setIconSize(QSize(16, 16));
  attachmentList->setFlow(QListView::LeftToRight);
  attachmentList->setWrapping(true);
  attachmentList->setSpacing(2);
  attachmentList->setAccessibleName(Text("添付ファイル"));
  attachmentList->setFixedHeight(2 * attachmentList->fontMetrics().height() + 16);
  readingLayout->addWidget(mailText, 1);
  readingLayout->addWidget(attachmentList);
  saveAttachmentAs = WireAttachmentList(
      *attachmentList, [this](int row) { OpenAttachment(row); }, [this](int row) { SaveAttachmentAs(row); });

  // The list gets the larger share: it is what the window is for.
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 2);
  panes->setStretchFactor(0, 1);
  panes->setStretchFactor(1, 5);
  panes->setSizes({140, 620});
  setCentralWidget(panes);
}

void MailListWindow::AddImportNodeWhenPresent() {
  if (!context_.store.HasImportFolder()) return;
  auto* node = new QTreeWidgetItem(folderTree, {platform::ToQString(TreeCaption(FolderKind::Import))});
  node->setIcon(0, style()->standardIcon(QStyle::SP_DirLinkIcon));
  node->setData(0, Qt::UserRole, static_cast<int>(FolderKind::Import));
}

// --- showing and closing --------------------------------------------------------------

void MailListWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  platform::IniFile& file = context_.settingsFile;
  const int top = file.ReadInteger(kWindowSection, "Top", y());
  const int left = file.ReadInteger(kWindowSection, "Left", x());
  const int width = file.ReadInteger(kWindowSection, "Width", this->width());
  const int height = file.ReadInteger(kWindowSection, "Height", this->height());
  // A place saved on a monitor that is gone (or half on one) comes back
  // onto one monitor.
  setGeometry(platform::OntoOneScreen(QRect(left, top, std::max(width, 200), std::max(height, 150))));
}

void MailListWindow::KeepPlace() {
  platform::IniFile& file = context_.settingsFile;
  file.WriteInteger(kWindowSection, "Top", geometry().y());
  file.WriteInteger(kWindowSection, "Left", geometry().x());
  file.WriteInteger(kWindowSection, "Width", width());
  file.WriteInteger(kWindowSection, "Height", height());
}

void MailListWindow::closeEvent(QCloseEvent* event) {
  KeepPlace();
  event->ignore();
  hide();
}

void MailListWindow::CloseList() {
  KeepPlace();
  hide();
}

void MailListWindow::ApplicationActivated() {
  CompositionWindow& composition = composition_;
  if (composition.isVisible() && !composition.LentCarrier().Empty()) {
    context_.host.BringCarrierIntoView(composition.LentCarrier());
    return;
  }
  const CarrierRef viewer = CallLink(links.viewerCarrier, "viewerCarrier");
  if (!viewer.Empty()) context_.host.BringCarrierIntoView(viewer);
}

// --- folders and the list -------------------------------------------------------------

void MailListWindow::ShowFolder(FolderKind folder) {
  for (int i = 0; i < folderTree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* node = folderTree->topLevelItem(i);
    if (FolderOfNode(node) == folder) folderTree->setCurrentItem(node);
  }
  selectedFolder_ = folder;
  attachmentList->setVisible(true);
  setWindowTitle(platform::ToQString(WindowCaption(folder)));
  model_->SetSecondCaption(SecondColumnCaption(folder));
  LoadList(folder);
}

void MailListWindow::ReloadIfShown(FolderKind folder) {
  if (folder == selectedFolder_) LoadList(folder);
}

void MailListWindow::LoadList(FolderKind folder, SelectionAfterLoad selection) {
  // What the user selected in this list, the current mail last.
  std::vector<ListedMail> selected;
  if (selection == SelectionAfterLoad::Kept && listedFolder_ == folder) {
    const QModelIndex current = mailList->selectionModel()->currentIndex();
    std::optional<ListedMail> currentMail;
    for (const QModelIndex& row : mailList->selectionModel()->selectedRows()) {
      ListedMail mail = ListedMailAt(model_->Rows(), model_->RecordIndexAt(row.row()));
      if (row.row() == current.row()) {
        currentMail = std::move(mail);
      } else {
        selected.push_back(std::move(mail));
      }
    }
    if (currentMail) selected.push_back(std::move(*currentMail));
  }
  mailText->clear();
  attachmentList->clear();
  attachmentPaths_.clear();
  model_->Load(context_.store.ReadListRows(folder));
  listedFolder_ = folder;
  ControlHeader->setEnabled(false);
  mnSaveAs->setEnabled(false);
  SelectAgain(selected);
  // No command may act on a mail the list no longer shows.
  if (!mailList->selectionModel()->hasSelection()) currentFolderName_.reset();
}

// Selecting shows the mail again as the user left it, except that a notice
// shown beside a mail the viewer presents stays.
void MailListWindow::SelectAgain(const std::vector<ListedMail>& mails) {
  if (mails.empty()) return;
  std::vector<std::size_t> records;
  for (const auto& found : FindListedMails(model_->Rows(), mails)) {
    if (found) records.push_back(*found);
  }
  if (records.empty()) return;
  reselecting_ = true;
  SelectRows(model_->ShownRowsOf(records));
  reselecting_ = false;
  ScrollToCurrent();
}

void MailListWindow::ScrollToCurrent() {
  const QModelIndex current = mailList->selectionModel()->currentIndex();
  if (current.isValid() && mailList->selectionModel()->isSelected(current)) mailList->scrollTo(current);
}

void MailListWindow::SortByColumn(int column) {
  if (column >= 0 && column <= static_cast<int>(MailColumn::Date)) model_->SortByColumn(static_cast<MailColumn>(column));
  // The header turns its arrow on any click; it shows what the list is sorted by.
  UpdateSortIndicator();
  ScrollToCurrent();
}

void MailListWindow::UpdateSortIndicator() {
  const auto sorted = model_->SortedBy();
  if (!sorted) {
    mailList->header()->setSortIndicator(-1, Qt::AscendingOrder);
    return;
  }
  mailList->header()->setSortIndicator(static_cast<int>(sorted->column),
                                        sorted->ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// Wide enough for the longest date ("2026/12/08 23:40") in the bold of an
// unread mail, and for its caption with the sort arrow.
int MailListWindow::DateColumnWidth() const {
  QFont bold = mailList->font();
  bold.setBold(true);
  const int dates = QFontMetrics(bold).horizontalAdvance(QStringLiteral("0000/00/00 00:00")) + 2 * kCellMargin;
  const int caption = mailList->header()->fontMetrics().horizontalAdvance(QString::fromUtf8("日付")) +
                      2 * kCellMargin + kSortArrowWidth;
  return std::max(dates, caption);
}

void MailListWindow::SelectRows(const std::vector<int>& rows) {
  QItemSelection selection;
  for (int row : rows) selection.select(model_->index(row, 0), model_->index(row, 3));
  mailList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty()) {
    mailList->selectionModel()->setCurrentIndex(model_->index(rows.back(), 0), QItemSelectionModel::NoUpdate);
  }
}

std::vector<std::size_t> MailListWindow::SelectedIndices() const {
  std::vector<std::size_t> indices;
  for (const QModelIndex& row : mailList->selectionModel()->selectedRows()) {
    indices.push_back(model_->RecordIndexAt(row.row()));
  }
  std::sort(indices.rbegin(), indices.rend());
  return indices;
}

void MailListWindow::SetCommandsEnabled(const MailCommands& commands) {
  Menu_Re->setEnabled(commands.reply);
  Menu_Forward->setEnabled(commands.forward);
  Menu_reEdit->setEnabled(commands.reEdit);
  Menu_Delete->setEnabled(commands.deleteMail);
  JoinAddressBook->setEnabled(commands.joinAddressBook);
}

void MailListWindow::ShowSelectedMail() {
  if (!reselecting_) CallLink(links.hideReturnNotice, "hideReturnNotice");
  mailText->clear();
  const QModelIndexList rows = mailList->selectionModel()->selectedRows();
  if (rows.size() > 1) {
    Menu_Re->setEnabled(false);
    Menu_reEdit->setEnabled(false);
    Menu_Forward->setEnabled(false);
    JoinAddressBook->setEnabled(false);
    return;
  }
  currentFolderName_.reset();
  if (rows.isEmpty()) {
    ControlHeader->setEnabled(false);
    mnSaveAs->setEnabled(false);
    return;
  }
  ControlHeader->setEnabled(true);
  mnSaveAs->setEnabled(true);
  const int row = rows.front().row();
  currentIndex_ = model_->RecordIndexAt(row);
  currentHasAttachment_ = model_->HasAttachmentAt(row);
  currentFolderName_ = selectedFolder_;
  SetCommandsEnabled(CommandsFor(selectedFolder_));
  if (selectedFolder_ == FolderKind::Inbox && !model_->IsReadAt(row)) {
    context_.store.MarkRead(currentIndex_);
  }
  model_->MarkRead(row);

  currentMailText_ = context_.store.ReadBodyRecord(selectedFolder_, currentIndex_);
  attachmentList->clear();
  attachmentPaths_.clear();
  // The text shows beside the attachments: a mail with files has words too.
  if (currentHasAttachment_) ShowAttachments();
  ShowCurrentText();
}

void MailListWindow::ShowAttachments() {
  for (const std::string& path : AttachmentFilesOf(currentMailText_)) {
    attachmentFolder_ = platform::ExtractFilePath(path);
    const std::string name = platform::ExtractFileName(path);
    if (name == kPackageName) continue;
    attachmentPaths_.push_back(path);
    attachmentList->addItem(new QListWidgetItem(platform::SmallFileIcon(name), platform::ToQString(name)));
  }
}

void MailListWindow::ShowCurrentText() {
  mailText->clear();
  for (const std::string& piece : HeaderDisplay(currentMailText_, headerMode_)) {
    mailText->append(PlainText(piece));
  }
  mailText->moveCursor(QTextCursor::Start);
}

void MailListWindow::SwitchHeaders() {
  headerMode_ = NextHeaderMode(headerMode_);
  ShowCurrentText();
}

// A stored mail names its files itself; only those the store keeps are
// opened or copied.
std::optional<std::string> MailListWindow::StoredAttachment(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= attachmentPaths_.size()) return std::nullopt;
  const std::string& path = attachmentPaths_[static_cast<std::size_t>(row)];
  if (!platform::IsInside(context_.store.StoreFolder(), path)) return std::nullopt;
  return path;
}

void MailListWindow::OpenAttachment(int row) {
  if (const auto path = StoredAttachment(row)) OpenAttachmentFile(context_.shell, context_.dialogs, *path);
}

void MailListWindow::SaveAttachmentAs(int row) {
  if (const auto path = StoredAttachment(row)) SaveAttachmentCopy(context_.dialogs, *path);
}

// --- deleting, moving and the trash -----------------------------------------------------

void MailListWindow::SetReceiveCommandsEnabled(bool enabled) { context_.commands.SetReceiveEnabled(enabled); }

void MailListWindow::DeleteSelected(Deletion deletion) {
  if (selectedFolder_ == FolderKind::Trash) return;
  const std::vector<std::size_t> indices = SelectedIndices();
  if (indices.empty()) return;
  SetReceiveCommandsEnabled(false);
  const StoreResult result = deletion == Deletion::ForGood
                                 ? context_.store.DeleteMails(selectedFolder_, indices)
                                 : context_.store.MoveMails(selectedFolder_, FolderKind::Trash, indices);
  SetReceiveCommandsEnabled(true);
  LoadList(selectedFolder_, SelectionAfterLoad::Dropped);
  if (result == StoreResult::Failed) context_.dialogs.Error(Sj("メールを削除できませんでした"));
}

void MailListWindow::DropOnFolder(FolderKind target, Qt::KeyboardModifiers modifiers) {
  if (target == selectedFolder_ || target == FolderKind::Outbox) return;
  if (!CanMove(selectedFolder_, target)) return;
  const std::vector<std::size_t> indices = SelectedIndices();
  if (indices.empty()) return;
  StoreResult result;
  if (target == FolderKind::Trash && DeletionFor(modifiers) == Deletion::ForGood) {
    result = context_.store.DeleteMails(selectedFolder_, indices);
  } else {
    result = context_.store.MoveMails(selectedFolder_, target, indices);
  }
  LoadList(selectedFolder_, SelectionAfterLoad::Dropped);
  if (result == StoreResult::Failed) context_.dialogs.Error(Sj("メールを移動できませんでした"));
}

bool MailListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mailList && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
      DeleteSelected(DeletionFor(key->modifiers()));
      return true;
    }
  }
  if (watched == folderTree->viewport()) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        // Only mails of this list are dropped here.
        if (drag->source() == mailList && drag->mimeData()->hasFormat(MailListModel::kMimeType)) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        QTreeWidgetItem* node = folderTree->itemAt(drop->position().toPoint());
        if (node && drop->source() == mailList) {
          drop->setDropAction(Qt::CopyAction);  // the list's rows are reloaded, not removed by the view
          drop->accept();
          const FolderKind target = FolderOfNode(node);
          const Qt::KeyboardModifiers modifiers = drop->modifiers();
          // After the drag has ended: the view still holds its rows now.
          context_.loop.Post(guard_.Bind([this, target, modifiers] { DropOnFolder(target, modifiers); }));
        }
        return true;
      }
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MailListWindow::PrepareFolderMenu() { puMnTrashEmpty->setEnabled(selectedFolder_ == FolderKind::Trash); }

void MailListWindow::EmptyTrash() {
  // Nothing in the trash comes back: the user says so first.
  if (context_.store.RecordCount(FolderKind::Trash) > 0 &&
      !context_.dialogs.Question(Sj("ごみ箱のメールをすべて完全に削除します。よろしいですか？"),
                                 platform::DefaultButton::No, std::string())) {
    return;
  }
  SetReceiveCommandsEnabled(false);
  const StoreResult result = context_.store.EmptyTrash();
  ReloadIfShown(FolderKind::Trash);
  SetReceiveCommandsEnabled(true);
  if (result == StoreResult::Failed) context_.dialogs.Error(Sj("ごみ箱を空にできませんでした"));
}

void MailListWindow::PrepareMailMenu() {
  if (!mailList->selectionModel()->selectedRows().isEmpty()) return;
  SetCommandsEnabled(MailCommands{});
}

// The sender comes from the selected folder's own header record: an
// imported mail's index says nothing about the inbox.
void MailListWindow::AddSenderToAddressBook() {
  const QModelIndexList rows = mailList->selectionModel()->selectedRows();
  if (rows.size() != 1) return;
  const std::size_t index = model_->RecordIndexAt(rows.front().row());
  const HeaderFile file = context_.store.ReadHeaderFile(selectedFolder_);
  if (index >= file.size()) return;
  const SenderParts sender = SplitSender(file[index].from());
  CallLink(links.addAddress, "addAddress", sender.name, sender.address);
}

// --- sending the outbox -----------------------------------------------------------------

bool MailListWindow::SendEnabled() const { return context_.commands.SendEnabled() && !outbox_->Busy(); }

void MailListWindow::UpdateTransferCommands() {
  MailSend->setEnabled(context_.commands.SendEnabled());
  const bool receive = context_.commands.ReceiveEnabled();
  MailRcv->setEnabled(receive);
  mnMailRcv->setEnabled(receive);
}

void MailListWindow::SendOutbox() {
  if (!SendEnabled() || outbox_->Smtp().Connected()) return;
  if (!platform::FileExists(context_.store.BodyPath(FolderKind::Outbox))) return;
  if (!outbox_->Start()) return;
  context_.commands.SetSendEnabled(false);
  CallLink(links.showSendingProgress, "showSendingProgress");
}

void MailListWindow::OutboxMailSent(const OutboxSent& sent) {
  context_.host.DepartWithMail(sent.characterId);
  ReloadIfShown(FolderKind::Outbox);
  ReloadIfShown(FolderKind::Sent);
  if (!sent.missingFiles.empty()) {
    std::string names;
    for (const std::string& file : sent.missingFiles) names += "\r\n" + file;
    context_.dialogs.Error(Sj("添付ファイルが見つからないため、添付せずに送信しました: ") + sent.subject + names);
  }
}

void MailListWindow::OutboxFailed(const std::string& text) {
  ReloadIfShown(FolderKind::Outbox);
  ReloadIfShown(FolderKind::Sent);
  // The user learns what failed and that the mail still waits.
  context_.errors.Run(text);
}

void MailListWindow::OutboxClosed() {
  CallLink(links.hideProgress, "hideProgress");
  context_.commands.SetSendEnabled(true);
  ReloadIfShown(FolderKind::Outbox);
}

// --- answering, re-editing, importing, saving ---------------------------------------------

void MailListWindow::OpenThroughCharacter(CompositionRequest request, const std::string& characterId,
                                          const std::string& packagePath, const std::string& references,
                                          const std::string& inReplyTo) {
  std::vector<std::string> packages;
  if (!packagePath.empty() && platform::FileExists(packagePath)) packages.push_back(packagePath);
  const DeliveringCharacter chosen =
      SelectDeliveringCharacter(hut_, context_.store, characterId, packages, references, inReplyTo);
  if (chosen.id.empty() || !context_.host.ListsCharacter(chosen.id)) return;
  request.carrierId = chosen.id;
  if (!composition_.Open(request).opened) context_.dialogs.Error(Sj("送信できませんでした"));
}

void MailListWindow::Answer(bool reply) {
  if (currentFolderName_ != FolderKind::Inbox) return;
  if (composition_.isVisible()) return;
  const StoredMailValues mail = ParseStoredMail(currentMailText_);
  const ComposeFill fill = reply ? MakeReply(mail) : MakeForward(mail);
  CompositionRequest request;
  request.kind = reply ? CompositionRequest::Kind::Reply : CompositionRequest::Kind::Forward;
  request.sourceFolder = FolderKind::Inbox;
  request.sourceIndex = currentIndex_;
  request.to = fill.to;
  request.subject = fill.subject;
  request.caption = fill.caption;
  request.body = fill.body;
  request.inReplyTo = fill.inReplyTo;
  request.references = fill.references;
  const ComposeAttachments files = CollectAttachmentsForCompose(mail.attachmentFiles, context_.store.StoreFolder());
  request.attachments = files.files;
  OpenThroughCharacter(std::move(request), mail.characterId, files.packagePath.value_or(std::string()),
                       mail.combinedReferences, mail.inReplyTo);
}

void MailListWindow::Reply() { Answer(true); }
void MailListWindow::Forward() { Answer(false); }

void MailListWindow::ReEdit() {
  if (!currentFolderName_ || currentFolderName_ == FolderKind::Inbox) return;
  if (composition_.isVisible()) return;
  const ReEditValues mail = ReadForReEdit(currentMailText_);
  CompositionRequest request;
  request.kind = CompositionRequest::Kind::ReEdit;
  request.sourceFolder = selectedFolder_;
  request.sourceIndex = currentIndex_;
  request.subject = mail.subject;
  request.to = mail.to;
  request.cc = mail.cc;
  request.body = mail.text;
  request.inReplyTo = mail.inReplyTo;
  request.references = mail.references;
  const ComposeAttachments files = CollectAttachmentsForCompose(mail.attachmentFiles, context_.store.StoreFolder());
  request.attachments = files.files;

  reEditedOutboxMail_.reset();
  if (selectedFolder_ == FolderKind::Outbox) {
    const HeaderFile outbox = context_.store.ReadHeaderFile(FolderKind::Outbox);
    if (currentIndex_ < outbox.size()) {
      reEditedOutboxMail_.emplace(currentIndex_, FormatHeaderRecord(outbox[currentIndex_].ToRecord()));
    }
  }
  OpenThroughCharacter(std::move(request), mail.characterId, files.packagePath.value_or(std::string()),
                       mail.references, mail.inReplyTo);
  reEditedOutboxMail_.reset();
}

// The re-edited mail went again (queued or sent): its old copy goes for good,
// but only while the outbox still holds it where it was.
void MailListWindow::DeleteReEditedMail() {
  if (!reEditedOutboxMail_) return;
  const auto [index, record] = *reEditedOutboxMail_;
  reEditedOutboxMail_.reset();
  const HeaderFile outbox = context_.store.ReadHeaderFile(FolderKind::Outbox);
  if (index >= outbox.size() || FormatHeaderRecord(outbox[index].ToRecord()) != record) return;
  context_.store.DeleteMails(FolderKind::Outbox, {index});
  ReloadIfShown(FolderKind::Outbox);
}

void MailListWindow::WriteNewMail() {
  CompositionWindow& composition = composition_;
  composition.StartNewMail();
  composition.show();
}

void MailListWindow::Import() {
  const auto path = context_.dialogs.OpenFile(Sj(kFileFilter), std::string());
  if (!path) return;
  const auto arrived =
      ImportMailFile(context_.store, hut_, context_.random, context_.clock, *path);
  if (!arrived) {
    context_.dialogs.Error(ImportFailureText());
    return;
  }
  ReloadIfShown(FolderKind::Inbox);
  CallLink(links.presentMail, "presentMail", *arrived);
}

void MailListWindow::SaveAs() {
  if (currentMailText_.empty()) return;
  // The chosen filter decides the form: "Outlookメール(*.eml)" a standard
  // message, the others the stored text.
  const auto path = context_.dialogs.SaveFile(Sj(kFileFilter), std::string(), "txt");
  if (!path) return;
  const SavedMail saved = SaveStoredMail(*path, currentMailText_);
  if (!saved.written) {
    context_.dialogs.Error(Sj("ファイルを保存できませんでした: ") + *path);
    return;
  }
  mailText->document()->setModified(false);
  if (!saved.missingFiles.empty()) {
    std::string names;
    for (const std::string& file : saved.missingFiles) names += "\r\n" + file;
    context_.dialogs.Error(Sj("添付ファイルが見つからないため、添付せずに保存しました:") + names);
  }
}

}  // namespace mf
