#pragma once

#include <QMainWindow>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/gui/MailHost.h"
#include "mail/gui/MailServices.h"
#include "mail/list/MailListRules.h"
#include "mail/store/MailFolders.h"
#include "mail/store/MailListRows.h"
#include "platform/EventLoop.h"
#include "platform/IniFile.h"

class QAction;
class QListWidget;
class QMenu;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace mf {

class LongTextView;
class TextFeeder;

namespace platform {
class Dialogs;
class Shell;
}  // namespace platform
class Clock;
class LiveSettings;
class MailErrorRoutine;
class MailListModel;
class MailStore;
class OutboxSender;
class RandomGenerator;
class ReceivingHut;
class CompositionWindow;
struct CompositionRequest;
class TransferCommands;
struct ArrivedMail;
struct OutboxSent;

// What it asks of windows that come and go with other parts of the
// program; the program wires every one (a debug build stops on one it did
// not wire).
struct MailListLinks {
  std::function<void()> receive;               // "受信": the receiving side's run
  std::function<void()> showSendingProgress;
  std::function<void()> hideProgress;          // both progress windows
  std::function<void()> hideReturnNotice;
  std::function<void()> openAddressBook;       // the address book, modal
  // The address entry dialog with a sender filled in.
  std::function<void(const std::string& name, const std::string& address)> addAddress;
  std::function<void()> openSettings;          // the settings dialog's first page, modal
  std::function<void()> showVersion;           // the version window, modal
  std::function<void()> openHelp;
  // Shows a mail that entered the inbox in the viewer beside its character.
  std::function<void(const ArrivedMail&)> presentMail;
  // The character the visible viewer presents, if any.
  std::function<CarrierRef()> viewerCarrier;
};

// The mail list window ("メール一覧"): the folder tree, the selected folder's
// mails, the text and attachments of the selected mail, and the commands
// over the store: reading, deleting, moving by drag, emptying the trash,
// sending the outbox, answering, re-editing, importing and saving. There is
// one, created at start-up; closing it only hides it.
class MailListWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `hut` chooses the character that carries an answer or a re-edit.
  MailListWindow(const MailServices& services, ReceivingHut& hut, CompositionWindow& composition);
  ~MailListWindow() override;

  MailListLinks links;

  // The folder whose node is selected.
  FolderKind SelectedFolder() const { return selectedFolder_; }
  // Selects a folder's node and shows its list ("受信", "送信", ...).
  void ShowFolder(FolderKind folder);
  // Reloads a folder's list when it is the one shown (other windows' changes).
  void ReloadIfShown(FolderKind folder);

  void SortByColumn(int column);
  // Selects list rows as the user would (tests and keyboard).
  void SelectRows(const std::vector<int>& rows);
  void SwitchHeaders();
  // Deletes the selected mails: to the trash, or for good (Shift held).
  enum class Deletion { ToTrash, ForGood };
  void DeleteSelected(Deletion deletion);
  // Drops the selected mails on a folder's node.
  void DropOnFolder(FolderKind target, Qt::KeyboardModifiers modifiers);
  void EmptyTrash();
  void PrepareMailMenu();
  void PrepareFolderMenu();
  void AddSenderToAddressBook();
  void OpenAttachment(int row);
  // "名前を付けて保存(&S)..." on an attachment: a copy in a folder the user chooses.
  void SaveAttachmentAs(int row);
  void SendOutbox();
  void Reply();
  void Forward();
  void ReEdit();
  // Puts a mail kept as "送信不明" back among those the next "送信" sends,
  // once the user has agreed that it may arrive twice.
  void SendAgain();
  void WriteNewMail();
  void Import();
  void SaveAs();
  void CloseList();
  // The application became active: the lent characters come into view again.
  void ApplicationActivated();

  // What the window shows, for tests and the other windows.
  MailListModel& Model() { return *model_; }
  const std::string& CurrentMailText() const { return currentMailText_; }
  HeaderMode CurrentHeaderMode() const { return headerMode_; }
  bool SendEnabled() const;
  OutboxSender& Outbox() { return *outbox_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildControls();
  void AddImportNodeWhenPresent();
  // Reads a folder's list anew. The mails selected in it stay selected
  // wherever the reload puts them, unless the command that reloads took
  // them away itself.
  enum class SelectionAfterLoad { Kept, Dropped };
  void LoadList(FolderKind folder, SelectionAfterLoad selection = SelectionAfterLoad::Kept);
  void SelectAgain(const std::vector<ListedMail>& mails);
  void ScrollToCurrent();
  void UpdateSortIndicator();
  int DateColumnWidth() const;
  void ShowSelectedMail();
  void ShowCurrentText();
  void ShowAttachments();
  std::optional<std::string> StoredAttachment(int row) const;
  void SetCommandsEnabled(const MailCommands& commands);
  std::vector<std::size_t> SelectedIndices() const;
  void SetReceiveCommandsEnabled(bool enabled);
  void UpdateTransferCommands();
  void KeepPlace();
  // Answers and re-edits: the composition window opened through a character.
  void Answer(bool reply);
  void OpenThroughCharacter(CompositionRequest request, const std::string& characterId,
                            const std::string& packagePath, const std::string& references,
                            const std::string& inReplyTo);
  void DeleteReEditedMail();
  void OutboxMailSent(const OutboxSent& sent);
  void OutboxFailed(const std::string& text);
  void OutboxClosed();

  MailServices context_;
  ReceivingHut& hut_;
  CompositionWindow& composition_;
  platform::LifetimeGuard guard_;
  std::unique_ptr<MailListModel> model_;
  std::unique_ptr<OutboxSender> outbox_;
  FolderKind selectedFolder_ = FolderKind::Inbox;
  std::optional<FolderKind> listedFolder_;  // the folder whose rows the list holds
  bool reselecting_ = false;  // a reload selects again what the user had selected
  std::optional<FolderKind> currentFolderName_;  // the folder of the last selected mail
  std::string currentMailText_;
  std::size_t currentIndex_ = 0;
  bool currentHasAttachment_ = false;
  HeaderMode headerMode_ = HeaderMode::TextOnly;
  std::string attachmentFolder_;
  std::vector<std::string> attachmentPaths_;
  // The outbox mail being re-edited: its index and header record, so that
  // only that mail goes when the new one is queued.
  std::optional<std::pair<std::size_t, std::string>> reEditedOutboxMail_;
  bool shownOnce_ = false;

  // Controls; their object names are these names without the underscore.
  QTreeWidget* folderTree_;
  QTreeView* mailList_;
  LongTextView* mailText_;
  TextFeeder* mailTextFeeder_;  // long texts go in a piece per loop step
  QListWidget* attachmentList_;
  QAction* sendAction_;
  QAction* receiveAction_;
  QAction* headersAction_;
  QAction* addressBookAction_;
  QAction* newMailAction_;
  QAction* saveAsAction_;
  QAction* importAction_;
  QAction* receiveMenuAction_;
  QAction* closeAction_;
  QAction* accountSettingsAction_;
  QAction* helpAction_;
  QAction* versionAction_;
  QMenu* mailMenu_;
  QAction* replyAction_;
  QAction* forwardAction_;
  QAction* reEditAction_;
  QAction* sendAgainAction_;
  QAction* deleteAction_;
  QAction* addSenderAction_;
  QMenu* folderMenu_;
  QAction* emptyTrashAction_;
  QAction* saveAttachmentAsAction_;
};

}  // namespace mf
