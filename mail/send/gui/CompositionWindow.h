#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/gui/CompositionOpener.h"
#include "mail/gui/MailHost.h"
#include "mail/gui/MailServices.h"
#include "mail/gui/SpeechBubbleWindow.h"
#include "mail/send/Composition.h"
#include "mail/store/MailFolders.h"
#include "platform/EventLoop.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QTextEdit;

namespace mf {

namespace platform {
class Dialogs;
class Shell;
}  // namespace platform
class Clock;
class LabelButton;
class LiveSettings;
class MailErrorRoutine;
class MailStore;
class RandomGenerator;
class SendController;
class TransferCommands;
struct SendFailure;
struct SentMail;

// What an opener asks the composition window to write, in one value: a new
// mail, an answer to an inbox mail (reply or forward) or a stored mail
// written anew, with the mail it comes from and the character that carries
// it. Nothing of it stays with the window once the composition is over.
struct CompositionRequest {
  enum class Kind { New, Reply, Forward, ReEdit };
  Kind kind = Kind::New;
  // The mail it comes from: a reply marks its inbox record "返信"; a re-edit
  // of an outbox mail replaces it when the new one goes.
  FolderKind sourceFolder = FolderKind::Inbox;
  std::size_t sourceIndex = 0;

  // The fields, Shift_JIS. An answer's body is shown with its quotes
  // coloured; an empty caption leaves the window's caption as it is.
  std::string to;
  std::string cc;
  std::string subject;
  std::string caption;
  std::string body;
  std::string inReplyTo;
  std::string references;
  std::vector<std::string> attachments;  // full paths

  // The character the hut is asked to carry the mail.
  std::string carrierId;
  // A character the viewer lent and parked already: it stays with the
  // viewer afterwards.
  bool carrierParked = false;
  CarrierRef parkedCarrier;
};

// How an opening ended.
struct CompositionOutcome {
  bool opened = false;     // the hut let a character carry the mail
  bool cancelled = false;  // the user dropped it ("取り消し")
};

// What the composition window asks of windows that come and go with other
// parts of the program; the program wires every one (a debug build stops on
// one it did not wire), except the mail list's two, which it wires itself
// and which do nothing while there is no mail list.
struct CompositionLinks {
  std::function<void()> showSendingProgress;
  std::function<void()> hideProgress;  // both progress windows
  // The address book's picker ("宛先"), shown modally; it fills the To and Cc
  // texts through SetRecipients.
  std::function<void()> pickRecipients;
  // Empties the picker's To list of chosen recipients, and its Cc list when asked.
  std::function<void(bool alsoCc)> clearPickerSelection;
  // The mail list window: when it shows the outbox with a selected mail,
  // that mail is deleted without asking (a re-edited mail went out again).
  std::function<void()> deleteReEditedMail;
  // The mail list window reloads the folder when it shows it.
  std::function<void(FolderKind)> folderChanged;
  // The viewer, when visible, follows a drag of this window to its top-left.
  std::function<void(QPoint)> moveViewer;
};

// The composition window: a speech bubble beside the character
// that carries the mail, in which the user writes it and then sends it at
// once ("送る"), files it in the outbox ("後で送る") or drops it ("取り消し").
// There is one, created hidden at start-up; every opener resets it first.
class CompositionWindow final : public SpeechBubbleWindow, public CompositionOpener {
  Q_OBJECT

 public:
  static constexpr int kWidth = 470;
  static constexpr int kHeight = 362;

  explicit CompositionWindow(const MailServices& services);
  ~CompositionWindow() override;

  CompositionLinks links;

  // What every opener does first: every text and list emptied, the package
  // and the carrying character forgotten, no reply or re-edit pending.
  void Reset();
  // A new mail, not an answer: reset, then, when the signature switch is
  // on, a blank line to write on and the signature under it.
  void StartNewMail() override;
  // Resets and fills the window's fields as the request says, without
  // showing it or taking on its reply or re-edit.
  void Fill(const CompositionRequest& request);
  // Prepares the window and lets the request's character carry the mail
  // through the hut, modally; the request ends with the call.
  CompositionOutcome Open(const CompositionRequest& request);

  // The recipient picker's result.
  void SetRecipients(const std::string& to, const std::string& cc);
  // The mail as it stands in the window.
  Composition Current() const;

  // The attachments, full paths in the order shown.
  const std::vector<std::string>& AttachmentPaths() const { return attachmentPaths_; }
  // Adds a file as the dialog would.
  void AddAttachment(const std::string& path);

  // Commands of the label buttons and the attachment list.
  void SendOut();            // "送る"
  void SendLater();          // "後で送る"
  void Cancel();             // "取り消し"
  void ChooseRecipients();   // "宛先"
  void Attach();             // "添付" and "添付(&A)"
  void RemoveAttachments();  // "削除(&D)" and the Delete key
  void OpenAttachment(int row);
  void PrepareAttachmentMenu();

  // Shows the window modally; Accepted after a completed send, Rejected
  // after "後で送る" or "取り消し".
  int ShowModal();
  // The common error routine's part: the window forgets its sending state
  // and closes as if cancelled; the opener gives its character back.
  void ErrorReset();
  // The carrying character left with the mail.
  void ForgetCarrier() override { carrierForm_ = CarrierRef{}; }
  // The sender, for the error routine and tests.
  SendController& Sender() { return *sender_; }

  // CompositionOpener: the hut opens the window for a mail its character
  // carries.
  bool Composing() const override { return isVisible(); }
  void BringForward() override;
  bool OpenedFromViewer() const override { return request_.carrierParked; }
  void SetCarrier(const std::string& packagePath, const std::string& characterId) override;
  void StandBeside(const CarrierRef& carrier, ScreenPoint carrierTopLeft, int pictureWidth) override;
  void ClearRecipientPicker(bool alsoCc) override;
  void ComposeModally() override { ShowModal(); }
  CarrierRef LentCarrier() const override { return carrierForm_; }

  // The Message-ID of the last mail sent.
  const std::string& LastMessageId() const { return messageId_; }
  // Whether the last composition was dropped ("取り消し").
  bool Cancelled() const { return cancelled_; }

 protected:
  CarrierRef Carrier() const override { return carrierForm_; }
  void Dragged() override;
  void reject() override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Sent(const SentMail& sent);
  void Failed(const SendFailure& failure);
  void Closed();
  // The ending of every way out: no reply or re-edit stays pending.
  void Finish(int result);
  void EndRequest();

  MailServices context_;
  platform::LifetimeGuard guard_;
  std::unique_ptr<SendController> sender_;
  std::vector<std::string> attachmentPaths_;
  QLabel* titleCaption_;

  // Hidden fields.
  std::string cc_;
  std::string inReplyTo_;
  std::string references_;

  // The request being written; a default one (a new mail) between requests.
  CompositionRequest request_;
  bool cancelled_ = false;
  std::string messageId_;    // of the last mail sent
  std::string packagePath_;  // the carrying character's package, or empty
  std::string characterId_;  // the carrying character's id, or empty
  CarrierRef carrierForm_;   // the carrying character's window, or none

  // Visible fields.
  QLineEdit* toEdit_;
  QLineEdit* subjectEdit_;
  QTextEdit* bodyEdit_;
  QListWidget* attachmentList_;    // the attachments shown: file name and icon
  LabelButton* recipientsButton_;  // "宛先"
  LabelButton* attachButton_;      // "添付"
  LabelButton* sendButton_;        // "送る"
  LabelButton* sendLaterButton_;   // "後で送る"
  LabelButton* cancelButton_;      // "取り消し"
  QMenu* attachmentMenu_;
  QAction* attachAction_;
  QAction* removeAttachmentAction_;
};

}  // namespace mf
