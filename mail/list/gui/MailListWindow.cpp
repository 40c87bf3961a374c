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
#include "mail/gui/LongText.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/QuotedText.h"
#include "mail/list/gui/MailListModel.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/send/OutboxSender.h"
#include "mail/send/ReEdit.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/AttachmentActions.h"
#include "mail/store/MailStatus.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "settings/LiveSettings.h"
#include "platform/qt/ScreenPlacement.h"
#include "widgets/LongTextView.h"

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
  auto action = [this](const char* name, const char* text, const QIcon& icon = QIcon()) {
    auto* made = new QAction(icon, Text(text), this);
    made->setObjectName(QString::fromLatin1(name));
    return made;
  };
  sendAction_ = action("sendAction", "送信", look->standardIcon(QStyle::SP_ArrowUp));
  receiveAction_ = action("receiveAction", "受信", look->standardIcon(QStyle::SP_ArrowDown));
  headersAction_ = action("headersAction", "ヘッダー表示", look->standardIcon(QStyle::SP_FileDialogDetailedView));
  addressBookAction_ = action("addressBookAction", "アドレス帳", look->standardIcon(QStyle::SP_DirHomeIcon));
  newMailAction_ = action("newMailAction", "新規作成", look->standardIcon(QStyle::SP_FileIcon));
  for (QAction* tool : {sendAction_, receiveAction_, headersAction_, addressBookAction_, newMailAction_})
    tool->setToolTip(tool->text());
  headersAction_->setEnabled(false);
  newMailAction_->setVisible(false);

  saveAsAction_ = action("saveAsAction", "名前を付けて保存(&S)");
  saveAsAction_->setEnabled(false);
  importAction_ = action("importAction", "インポート(&I)");
  receiveMenuAction_ = action("receiveMenuAction", "メール受信(&J)");
  closeAction_ = action("closeAction", "閉じる(&C)");
  accountSettingsAction_ = action("accountSettingsAction", "アカウント設定(&A)");
  helpAction_ = action("helpAction", "ヘルプ(&H)");
  versionAction_ = action("versionAction", "バージョン情報(&V)");

  replyAction_ = action("replyAction", "差出人へ返信");
  forwardAction_ = action("forwardAction", "転送");
  reEditAction_ = action("reEditAction", "再編集");
  sendAgainAction_ = action("sendAgainAction", "送信待ちに戻す(&W)");
  deleteAction_ = action("deleteAction", "削除");
  addSenderAction_ = action("addSenderAction", "送信者をアドレス帳に追加");
  emptyTrashAction_ = action("emptyTrashAction", "ごみ箱を空にする");

  connect(sendAction_, &QAction::triggered, this, [this] { SendOutbox(); });
  auto receive = [this] {
    CallLink(links.receive, "receive");
  };
  connect(receiveAction_, &QAction::triggered, this, receive);
  connect(receiveMenuAction_, &QAction::triggered, this, receive);
  connect(headersAction_, &QAction::triggered, this, [this] { SwitchHeaders(); });
  connect(addressBookAction_, &QAction::triggered, this,
          [this] { CallLink(links.openAddressBook, "openAddressBook"); });
  connect(newMailAction_, &QAction::triggered, this, [this] { WriteNewMail(); });
  connect(saveAsAction_, &QAction::triggered, this, [this] { SaveAs(); });
  connect(importAction_, &QAction::triggered, this, [this] { Import(); });
  connect(closeAction_, &QAction::triggered, this, [this] { CloseList(); });
  connect(accountSettingsAction_, &QAction::triggered, this, [this] { CallLink(links.openSettings, "openSettings"); });
  connect(helpAction_, &QAction::triggered, this, [this] { CallLink(links.openHelp, "openHelp"); });
  connect(versionAction_, &QAction::triggered, this, [this] { CallLink(links.showVersion, "showVersion"); });
  connect(replyAction_, &QAction::triggered, this, [this] { Reply(); });
  connect(forwardAction_, &QAction::triggered, this, [this] { Forward(); });
  connect(reEditAction_, &QAction::triggered, this, [this] { ReEdit(); });
  connect(sendAgainAction_, &QAction::triggered, this, [this] { SendAgain(); });
  connect(deleteAction_, &QAction::triggered, this,
          [this] { DeleteSelected(DeletionFor(QGuiApplication::queryKeyboardModifiers())); });
  connect(addSenderAction_, &QAction::triggered, this, [this] { AddSenderToAddressBook(); });
  connect(emptyTrashAction_, &QAction::triggered, this, [this] { EmptyTrash(); });
}

void MailListWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(Text("ファイル(&F)"));
  file->addActions({saveAsAction_, importAction_, receiveMenuAction_});
  file->addSeparator();
  file->addAction(closeAction_);
  menuBar()->addMenu(Text("設定(&S)"))->addAction(accountSettingsAction_);
  QMenu* help = menuBar()->addMenu(Text("ヘルプ(&H)"));
  help->addActions({helpAction_, versionAction_});

  QToolBar* tools = addToolBar(Text("ツールバー"));
  tools->setMovable(false);
  tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tools->addActions({sendAction_, receiveAction_, headersAction_, addressBookAction_, newMailAction_});

  mailMenu_ = new QMenu(this);
  mailMenu_->setObjectName("mailMenu");
  mailMenu_->addAction(replyAction_);
  mailMenu_->addSeparator();
  mailMenu_->addActions({forwardAction_, reEditAction_, sendAgainAction_});
  mailMenu_->addSeparator();
  mailMenu_->addAction(deleteAction_);
  mailMenu_->addSeparator();
  mailMenu_->addAction(addSenderAction_);
  connect(mailMenu_, &QMenu::aboutToShow, this, [this] { PrepareMailMenu(); });

  folderMenu_ = new QMenu(this);
  folderMenu_->setObjectName("folderMenu");
  folderMenu_->addAction(emptyTrashAction_);
  connect(folderMenu_, &QMenu::aboutToShow, this, [this] { PrepareFolderMenu(); });
}

void MailListWindow::BuildControls() {
  auto* panes = new QSplitter(Qt::Horizontal, this);
  folderTree_ = new QTreeWidget(panes);
  folderTree_->setObjectName("folderTree");
  folderTree_->setHeaderHidden(true);
  folderTree_->setRootIsDecorated(false);
  folderTree_->setContextMenuPolicy(Qt::CustomContextMenu);
  folderTree_->setAcceptDrops(true);
  folderTree_->viewport()->installEventFilter(this);
  folderTree_->setAccessibleName(Text("フォルダー"));
  const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
  for (FolderKind folder : {FolderKind::Inbox, FolderKind::Sent, FolderKind::Outbox, FolderKind::Kept,
                            FolderKind::Trash}) {
    auto* node = new QTreeWidgetItem(folderTree_, {platform::ToQString(TreeCaption(folder))});
    node->setIcon(0, folderIcon);
    node->setData(0, Qt::UserRole, static_cast<int>(folder));
  }
  connect(folderTree_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* node) { ShowFolder(FolderOfNode(node)); });
  connect(folderTree_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { folderMenu_->popup(folderTree_->viewport()->mapToGlobal(at)); });

  auto* right = new QSplitter(Qt::Vertical, panes);
  right->setChildrenCollapsible(false);
  mailList_ = new QTreeView(right);
  mailList_->setObjectName("mailList");
  mailList_->setModel(model_.get());
  mailList_->setRootIsDecorated(false);
  mailList_->setUniformRowHeights(true);
  mailList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  mailList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  mailList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  mailList_->setDragEnabled(true);
  mailList_->setDragDropMode(QAbstractItemView::DragOnly);
  mailList_->setContextMenuPolicy(Qt::CustomContextMenu);
  // The subject takes what the other columns leave, so that the date is
  // always in view and wide enough for its text.
  QHeaderView* header = mailList_->header();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Fixed);
  header->setSectionResizeMode(1, QHeaderView::Stretch);
  header->setSectionResizeMode(2, QHeaderView::Interactive);
  header->setSectionResizeMode(3, QHeaderView::Interactive);
  mailList_->setColumnWidth(0, kIconColumnWidth);
  mailList_->setColumnWidth(2, kSecondWidth);
  mailList_->setColumnWidth(3, DateColumnWidth());
  UpdateSortIndicator();
  mailList_->installEventFilter(this);
  mailList_->setAccessibleName(Text("メール"));
  connect(mailList_->header(), &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });
  connect(mailList_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ShowSelectedMail(); });
  connect(mailList_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { mailMenu_->popup(mailList_->viewport()->mapToGlobal(at)); });

  // The selected mail: its text, and under it one strip of its attachments.
  auto* reading = new QWidget(right);
  auto* readingLayout = new QVBoxLayout(reading);
  readingLayout->setContentsMargins(0, 0, 0, 0);
  readingLayout->setSpacing(2);
  // Plain text, whatever it looks like: a text that begins like HTML is
  // still a mail's words.
  mailText_ = new LongTextView(reading);
  mailText_->setObjectName("mailText");
  mailTextFeeder_ = new TextFeeder(*mailText_);
  mailText_->setAccessibleName(Text("本文"));
  attachmentList_ = new QListWidget(reading);
  attachmentList_->setObjectName("attachmentList");
  attachmentList_->setViewMode(QListView::ListMode);
  attachmentList_->setIconSize(QSize(16, 16));
  attachmentList_->setFlow(QListView::LeftToRight);
  attachmentList_->setWrapping(true);
  attachmentList_->setSpacing(2);
  attachmentList_->setAccessibleName(Text("添付ファイル"));
  attachmentList_->setFixedHeight(2 * attachmentList_->fontMetrics().height() + 16);
  readingLayout->addWidget(mailText_, 1);
  readingLayout->addWidget(attachmentList_);
  saveAttachmentAsAction_ = WireAttachmentList(
      *attachmentList_, [this](int row) { OpenAttachment(row); }, [this](int row) { SaveAttachmentAs(row); });
  saveAttachmentAsAction_->setObjectName("saveAttachmentAsAction");

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
  auto* node = new QTreeWidgetItem(folderTree_, {platform::ToQString(TreeCaption(FolderKind::Import))});
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
  platform::FitOnScreen(*this);
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
  for (int i = 0; i < folderTree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* node = folderTree_->topLevelItem(i);
    if (FolderOfNode(node) == folder) folderTree_->setCurrentItem(node);
  }
  selectedFolder_ = folder;
  attachmentList_->setVisible(true);
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
    const QModelIndex current = mailList_->selectionModel()->currentIndex();
    std::optional<ListedMail> currentMail;
    for (const QModelIndex& row : mailList_->selectionModel()->selectedRows()) {
      ListedMail mail = ListedMailAt(model_->Rows(), model_->RecordIndexAt(row.row()));
      if (row.row() == current.row()) {
        currentMail = std::move(mail);
      } else {
        selected.push_back(std::move(mail));
      }
    }
    if (currentMail) selected.push_back(std::move(*currentMail));
  }
  mailTextFeeder_->Stop();
  mailText_->Clear();
  attachmentList_->clear();
  attachmentPaths_.clear();
  model_->Load(context_.store.ReadListRows(folder));
  listedFolder_ = folder;
  headersAction_->setEnabled(false);
  saveAsAction_->setEnabled(false);
  SelectAgain(selected);
  // No command may act on a mail the list no longer shows.
  if (!mailList_->selectionModel()->hasSelection()) currentFolderName_.reset();
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
  const QModelIndex current = mailList_->selectionModel()->currentIndex();
  if (current.isValid() && mailList_->selectionModel()->isSelected(current)) mailList_->scrollTo(current);
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
    mailList_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    return;
  }
  mailList_->header()->setSortIndicator(static_cast<int>(sorted->column),
                                        sorted->ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// Wide enough for the longest date ("2026/12/08 23:40") in the bold of an
// unread mail, and for its caption with the sort arrow.
int MailListWindow::DateColumnWidth() const {
  QFont bold = mailList_->font();
  bold.setBold(true);
  const int dates = QFontMetrics(bold).horizontalAdvance(QStringLiteral("0000/00/00 00:00")) + 2 * kCellMargin;
  const int caption = mailList_->header()->fontMetrics().horizontalAdvance(QString::fromUtf8("日付")) +
                      2 * kCellMargin + kSortArrowWidth;
  return std::max(dates, caption);
}

void MailListWindow::SelectRows(const std::vector<int>& rows) {
  QItemSelection selection;
  for (int row : rows) selection.select(model_->index(row, 0), model_->index(row, 3));
  mailList_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty()) {
    mailList_->selectionModel()->setCurrentIndex(model_->index(rows.back(), 0), QItemSelectionModel::NoUpdate);
  }
}

std::vector<std::size_t> MailListWindow::SelectedIndices() const {
  std::vector<std::size_t> indices;
  for (const QModelIndex& row : mailList_->selectionModel()->selectedRows()) {
    indices.push_back(model_->RecordIndexAt(row.row()));
  }
  std::sort(indices.rbegin(), indices.rend());
  return indices;
}

void MailListWindow::SetCommandsEnabled(const MailCommands& commands) {
  replyAction_->setEnabled(commands.reply);
  forwardAction_->setEnabled(commands.forward);
  reEditAction_->setEnabled(commands.reEdit);
  deleteAction_->setEnabled(commands.deleteMail);
  addSenderAction_->setEnabled(commands.joinAddressBook);
  sendAgainAction_->setEnabled(false);
}

void MailListWindow::ShowSelectedMail() {
  if (!reselecting_) CallLink(links.hideReturnNotice, "hideReturnNotice");
  mailTextFeeder_->Stop();
  mailText_->Clear();
  const QModelIndexList rows = mailList_->selectionModel()->selectedRows();
  if (rows.size() > 1) {
    replyAction_->setEnabled(false);
    reEditAction_->setEnabled(false);
    forwardAction_->setEnabled(false);
    addSenderAction_->setEnabled(false);
    sendAgainAction_->setEnabled(false);
    return;
  }
  currentFolderName_.reset();
  if (rows.isEmpty()) {
    headersAction_->setEnabled(false);
    saveAsAction_->setEnabled(false);
    return;
  }
  headersAction_->setEnabled(true);
  saveAsAction_->setEnabled(true);
  const int row = rows.front().row();
  currentIndex_ = model_->RecordIndexAt(row);
  currentHasAttachment_ = model_->HasAttachmentAt(row);
  currentFolderName_ = selectedFolder_;
  SetCommandsEnabled(CommandsFor(selectedFolder_));
  if (selectedFolder_ == FolderKind::Outbox) {
    const HeaderFile outbox = context_.store.ReadHeaderFile(FolderKind::Outbox);
    const bool unconfirmed = currentIndex_ < outbox.size() &&
                             (outbox[currentIndex_].status() == StatusWord(MailStatus::Unconfirmed) ||
                              outbox[currentIndex_].status() == StatusWord(MailStatus::UnconfirmedReply));
    sendAgainAction_->setEnabled(unconfirmed);
  }
  if (selectedFolder_ == FolderKind::Inbox && !model_->IsReadAt(row)) {
    context_.store.MarkRead(currentIndex_);
  }
  model_->MarkRead(row);

  currentMailText_ = context_.store.ReadBodyRecord(selectedFolder_, currentIndex_);
  attachmentList_->clear();
  attachmentPaths_.clear();
  // The text shows beside the attachments: a mail with files has words too.
  if (currentHasAttachment_) ShowAttachments();
  ShowCurrentText();
}

void MailListWindow::ShowAttachments() {
  std::vector<std::string> names;
  for (const std::string& path : AttachmentFilesOf(currentMailText_)) {
    attachmentFolder_ = platform::ExtractFilePath(path);
    const std::string name = platform::ExtractFileName(path);
    if (name == kPackageName) continue;
    attachmentPaths_.push_back(path);
    names.push_back(name);
  }
  FillAttachmentList(*attachmentList_, names);
}

void MailListWindow::ShowCurrentText() {
  std::vector<std::string> pieces = HeaderDisplay(currentMailText_, headerMode_);
  // Most often one piece, the text alone: taken over, not copied again.
  std::string text = pieces.size() == 1 ? std::move(pieces.front()) : std::string();
  if (pieces.size() > 1) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (!text.empty()) text += '\n';
      // A blank line between the header lines and the text, as in a mail.
      if (i + 1 == pieces.size() && !text.empty()) text += '\n';
      text += pieces[i];
    }
  }
  pieces.clear();
  mailTextFeeder_->Show(std::move(text));
  mailText_->ScrollToStart();
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
  if (watched == mailList_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete) {
      DeleteSelected(DeletionFor(key->modifiers()));
      return true;
    }
  }
  if (watched == folderTree_->viewport()) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        // Only mails of this list are dropped here.
        if (drag->source() == mailList_ && drag->mimeData()->hasFormat(MailListModel::kMimeType)) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        QTreeWidgetItem* node = folderTree_->itemAt(drop->position().toPoint());
        if (node && drop->source() == mailList_) {
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

void MailListWindow::PrepareFolderMenu() { emptyTrashAction_->setEnabled(selectedFolder_ == FolderKind::Trash); }

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
  if (!mailList_->selectionModel()->selectedRows().isEmpty()) return;
  SetCommandsEnabled(MailCommands{});
}

// The sender comes from the selected folder's own header record: an
// imported mail's index says nothing about the inbox.
void MailListWindow::AddSenderToAddressBook() {
  const QModelIndexList rows = mailList_->selectionModel()->selectedRows();
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
  sendAction_->setEnabled(context_.commands.SendEnabled());
  const bool receive = context_.commands.ReceiveEnabled();
  receiveAction_->setEnabled(receive);
  receiveMenuAction_->setEnabled(receive);
}

void MailListWindow::SendOutbox() {
  if (!SendEnabled() || outbox_->Smtp().Connected()) return;
  if (!platform::FileExists(context_.store.BodyPath(FolderKind::Outbox))) return;
  if (!outbox_->Start()) {
    // Nothing went although mails wait: every one of them may have arrived.
    if (!context_.store.ReadHeaderRecords(FolderKind::Outbox).empty()) {
      context_.dialogs.Information(
          Sj("「送信待ち」に残っているのは「送信不明」のメールだけです。相手に届いたかどうか分からないため、送り直しません。") +
          "\r\n" + Sj("送り直すには、そのメールを右クリックして「送信待ちに戻す」を選んでください。"));
    }
    return;
  }
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

void MailListWindow::SendAgain() {
  if (selectedFolder_ != FolderKind::Outbox || !currentFolderName_ || !sendAgainAction_->isEnabled()) return;
  const std::string question =
      Sj("このメールは相手に届いているかもしれません。") + "\r\n" +
      Sj("送信待ちに戻すと、次の「送信」で送り直します（届いていた場合、相手には二通届きます）。") + "\r\n" +
      Sj("送信待ちに戻しますか？");
  if (!context_.dialogs.Question(question, platform::DefaultButton::No, std::string())) return;
  context_.store.MarkOutboxUnconfirmed(currentIndex_, false);
  ReloadIfShown(FolderKind::Outbox);
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
  composition.ClearRecipientPicker(true);
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
  if (!saved.missingFiles.empty()) {
    std::string names;
    for (const std::string& file : saved.missingFiles) names += "\r\n" + file;
    context_.dialogs.Error(Sj("添付ファイルが見つからないため、添付せずに保存しました:") + names);
  }
}

}  // namespace mf
