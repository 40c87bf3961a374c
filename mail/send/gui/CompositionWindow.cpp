#include "mail/send/gui/CompositionWindow.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTextCharFormat>
#include <QTextEdit>

#include "base/Link.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/QuotedText.h"
#include "mail/send/SendController.h"
#include "mail/store/AttachmentActions.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "settings/LiveSettings.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Layout, in window coordinates. The body of the bubble starts 24 pixels
// left of the first caption; the tail fills the strip before it.
constexpr int kCaptionLeft = 64;
constexpr int kBodyLeft = kCaptionLeft - 24;
constexpr int kFieldLeft = 130;
constexpr int kFieldWidth = 300;
constexpr int kRowHeight = 22;
constexpr int kButtonWidth = 66;
constexpr int kButtonHeight = 24;
constexpr int kAreaWidth = kFieldLeft + kFieldWidth - kCaptionLeft;

// Shift_JIS lines of the edit joined by CR LF, as every text of the program.
std::string EditText(const QTextEdit& edit) {
  QString text = edit.toPlainText();
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return platform::FromQString(text);
}

QLineEdit* BorderlessEdit(QWidget* parent, int top) {
  auto* edit = new QLineEdit(parent);
  edit->setFrame(false);
  edit->setGeometry(kFieldLeft, top, kFieldWidth, kRowHeight);
  return edit;
}

QLabel* Caption(QWidget* parent, const char* text, int left, int top) {
  auto* label = new QLabel(Text(text), parent);
  label->move(left, top);
  label->adjustSize();
  // A press on a caption is a press on the bubble: it starts a drag.
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

}  // namespace

CompositionWindow::CompositionWindow(const MailServices& services)
    : SpeechBubbleWindow(services.host, services.settingsFile),
      context_(services),
      sender_(std::make_unique<SendController>(context_.loop, context_.settings, context_.store, context_.clock,
                                               context_.random)) {
  setWindowTitle(Text("メールの作成"));
  BuildControls();
  resize(kWidth, kHeight);
  SetBodyLeft(titleCaption_->x() - 24);
  ScrollOneLinePerNotch(bodyEdit_);

  sender_->OnSent = [this](const SentMail& sent) { Sent(sent); };
  sender_->OnFailed = [this](const SendFailure& failure) { Failed(failure); };
  sender_->OnClosed = [this] { Closed(); };

  // The common error routine ends this window's part through these.
  context_.errors.hooks.endCompositionSessions = [this] { sender_->Abort(); };
  context_.errors.hooks.releaseComposition = [this] { ErrorReset(); };
}

CompositionWindow::~CompositionWindow() {
  context_.errors.hooks.endCompositionSessions = nullptr;
  context_.errors.hooks.releaseComposition = nullptr;
}

void CompositionWindow::BuildControls() {
  auto button = [this](const char* caption, int left, int top) {
    auto* label = new LabelButton(Text(caption), kButtonColour, kButtonHoverColour, this);
    label->setGeometry(left, top, kButtonWidth, kButtonHeight);
    return label;
  };

  recipientsButton_ = button("宛先", kCaptionLeft, 24);
  recipientsButton_->setObjectName("recipientsButton");
  toEdit_ = BorderlessEdit(this, 25);
  toEdit_->setObjectName("toEdit");
  // The field's caption is the button in front of it.
  toEdit_->setAccessibleName(Text("宛先"));
  titleCaption_ = Caption(this, "題名", kCaptionLeft, 58);
  subjectEdit_ = BorderlessEdit(this, 56);
  subjectEdit_->setObjectName("subjectEdit");
  titleCaption_->setBuddy(subjectEdit_);
  QLabel* bodyCaption = Caption(this, "本文", kCaptionLeft, 86);

  bodyEdit_ = new QTextEdit(this);
  bodyEdit_->setObjectName("bodyEdit");
  bodyEdit_->setAcceptRichText(false);
  bodyEdit_->setFrameShape(QFrame::NoFrame);
  bodyEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  bodyEdit_->setGeometry(kCaptionLeft, 104, kAreaWidth, 170);
  // What the user types is in the default colour wherever it goes: typed in
  // front of a quote it took the quote's colour, and looked quoted.
  connect(bodyEdit_, &QTextEdit::cursorPositionChanged, this, [this] {
    if (!bodyEdit_->textCursor().hasSelection()) bodyEdit_->setCurrentCharFormat(QTextCharFormat());
  });
  bodyCaption->setBuddy(bodyEdit_);

  attachmentList_ = new QListWidget(this);
  attachmentList_->setObjectName("attachmentList");
  attachmentList_->setGeometry(kCaptionLeft, 280, kAreaWidth, 38);
  attachmentList_->setViewMode(QListView::ListMode);
  attachmentList_->setFlow(QListView::LeftToRight);
  attachmentList_->setWrapping(true);
  attachmentList_->setIconSize(QSize(16, 16));
  attachmentList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  attachmentList_->setSelectionMode(QAbstractItemView::SingleSelection);
  attachmentList_->setFrameShape(QFrame::NoFrame);
  attachmentList_->setContextMenuPolicy(Qt::CustomContextMenu);
  attachmentList_->setAccessibleName(Text("添付ファイル"));
  attachmentList_->installEventFilter(this);
  connect(attachmentList_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OpenAttachment(attachmentList_->row(item)); });

  attachmentMenu_ = new QMenu(attachmentList_);
  attachmentMenu_->setObjectName("attachmentMenu");
  attachAction_ = attachmentMenu_->addAction(Text("添付(&A)"));
  attachAction_->setObjectName("attachAction");
  removeAttachmentAction_ = attachmentMenu_->addAction(Text("削除(&D)"));
  removeAttachmentAction_->setObjectName("removeAttachmentAction");
  connect(attachAction_, &QAction::triggered, this, [this] { Attach(); });
  connect(removeAttachmentAction_, &QAction::triggered, this, [this] { RemoveAttachments(); });
  connect(attachmentList_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PrepareAttachmentMenu();
    attachmentMenu_->popup(attachmentList_->viewport()->mapToGlobal(at));
  });

  const int buttonsTop = 326;
  attachButton_ = button("添付", kCaptionLeft, buttonsTop);
  attachButton_->setObjectName("attachButton");
  sendButton_ = button("送る", kFieldLeft + kFieldWidth - 3 * kButtonWidth - 16, buttonsTop);
  sendButton_->setObjectName("sendButton");
  sendLaterButton_ = button("後で送る", kFieldLeft + kFieldWidth - 2 * kButtonWidth - 8, buttonsTop);
  sendLaterButton_->setObjectName("sendLaterButton");
  cancelButton_ = button("取り消し", kFieldLeft + kFieldWidth - kButtonWidth, buttonsTop);
  cancelButton_->setObjectName("cancelButton");

  connect(recipientsButton_, &LabelButton::clicked, this, [this] { ChooseRecipients(); });
  connect(attachButton_, &LabelButton::clicked, this, [this] { Attach(); });
  connect(sendButton_, &LabelButton::clicked, this, [this] { SendOut(); });
  connect(sendLaterButton_, &LabelButton::clicked, this, [this] { SendLater(); });
  connect(cancelButton_, &LabelButton::clicked, this, [this] { Cancel(); });
}

void CompositionWindow::Reset() {
  toEdit_->clear();
  cc_.clear();
  subjectEdit_->clear();
  bodyEdit_->clear();
  // A cleared box keeps the colour last typed in (a quote's, after a reply).
  bodyEdit_->setCurrentCharFormat(QTextCharFormat());
  attachmentPaths_.clear();
  attachmentList_->clear();
  inReplyTo_.clear();
  references_.clear();
  packagePath_.clear();
  characterId_.clear();
  // Every ending forgets the request already; an opener that resets without
  // one must never answer or replace a mail left over from an earlier
  // composition.
  request_ = CompositionRequest{};
}

void CompositionWindow::StartNewMail() {
  Reset();
  if (!context_.settings.mailSign) return;
  QString text = platform::ToQString("\r\n\r\n" + context_.settings.SignatureText());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  bodyEdit_->setPlainText(text);
  bodyEdit_->moveCursor(QTextCursor::Start);
}

void CompositionWindow::Fill(const CompositionRequest& request) {
  Reset();
  toEdit_->setText(platform::ToQString(request.to));
  cc_ = request.cc;
  subjectEdit_->setText(platform::ToQString(request.subject));
  if (!request.caption.empty()) setWindowTitle(platform::ToQString(request.caption));
  switch (request.kind) {
    case CompositionRequest::Kind::Reply:
    case CompositionRequest::Kind::Forward:
      ShowColouredQuotes(*bodyEdit_, request.body);
      break;
    case CompositionRequest::Kind::ReEdit:
    case CompositionRequest::Kind::New: {
      QString text = platform::ToQString(request.body);
      text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      bodyEdit_->setPlainText(text);
      break;
    }
  }
  inReplyTo_ = request.inReplyTo;
  references_ = request.references;
  for (const std::string& file : request.attachments) AddAttachment(file);
}

CompositionOutcome CompositionWindow::Open(const CompositionRequest& request) {
  Fill(request);
  request_ = request;
  if (request.carrierParked) carrierForm_ = request.parkedCarrier;
  cancelled_ = false;
  CompositionOutcome outcome;
  outcome.opened = context_.host.SendMailByCharacterId(request.carrierId);
  outcome.cancelled = cancelled_;
  if (request.carrierParked) carrierForm_ = CarrierRef{};
  request_ = CompositionRequest{};
  return outcome;
}

void CompositionWindow::SetRecipients(const std::string& to, const std::string& cc) {
  toEdit_->setText(platform::ToQString(to));
  cc_ = cc;
}

Composition CompositionWindow::Current() const {
  Composition mail;
  mail.to = platform::FromQString(toEdit_->text());
  mail.cc = cc_;
  mail.subject = platform::FromQString(subjectEdit_->text());
  mail.body = EditText(*bodyEdit_);
  mail.inReplyTo = inReplyTo_;
  mail.references = references_;
  mail.attachments = attachmentPaths_;
  mail.packagePath = packagePath_;
  mail.characterId = characterId_;
  mail.replyMode = request_.kind == CompositionRequest::Kind::Reply;
  mail.replyIndex = request_.sourceIndex;
  mail.reEditMode =
      request_.kind == CompositionRequest::Kind::ReEdit && request_.sourceFolder == FolderKind::Outbox;
  return mail;
}

void CompositionWindow::SendOut() {
  // One transfer at a time, whichever window runs it.
  if (!context_.commands.SendEnabled() || sender_->Busy()) return;
  switch (sender_->SendNow(Current())) {
    case SendStart::Started:
      context_.commands.SetSendEnabled(false);
      CallLink(links.showSendingProgress, "showSendingProgress");
      break;
    case SendStart::NoRecipient:
      context_.dialogs.Error(NoRecipientText());
      break;
    case SendStart::Busy:
      break;
  }
}

void CompositionWindow::Sent(const SentMail& sent) {
  messageId_ = sent.messageId;
  // The character goes with its mail; the hut makes this window forget it.
  if (!sent.characterId.empty()) context_.host.DepartWithMail(sent.characterId);
  if (sent.reEditMode && links.deleteReEditedMail) links.deleteReEditedMail();
  if (links.folderChanged) {
    links.folderChanged(FolderKind::Sent);
    if (sent.replyMode) links.folderChanged(FolderKind::Inbox);
  }
  EndRequest();
  if (!sent.filingError.empty()) {
    // The mail went out; only its copy in the sent folder is incomplete.
    const std::string text = sent.filingError;
    context_.loop.Post(guard_.Bind([this, text] { context_.dialogs.Error(text); }));
  }
}

void CompositionWindow::Failed(const SendFailure& failure) {
  const std::string text = SendFailureText(failure);
  if (failure.keptInOutbox) {
    // Kept as "後で送る" keeps it; the window closes and the character stays.
    if (failure.reEditMode && links.deleteReEditedMail) links.deleteReEditedMail();
    if (links.folderChanged) {
      links.folderChanged(FolderKind::Outbox);
      if (failure.replyMode) links.folderChanged(FolderKind::Inbox);
    }
    context_.errors.Run(text);
    return;
  }
  // Nothing else holds the mail: the window stays open with it, so that the
  // user can mend what is wrong and send it or file it.
  CallLink(links.hideProgress, "hideProgress");
  context_.commands.SetSendEnabled(true);
  context_.loop.Post(guard_.Bind([this, text] { context_.dialogs.Error(text); }));
}

void CompositionWindow::Closed() {
  CallLink(links.hideProgress, "hideProgress");
  context_.commands.SetSendEnabled(true);
  Finish(QDialog::Accepted);
}

void CompositionWindow::SendLater() {
  // A mail on its way out is not filed a second time.
  if (sender_->Busy()) return;
  std::string error;
  const Composition mail = Current();
  if (!sender_->SendLater(mail, error)) {
    context_.dialogs.Error(error);
    return;
  }
  if (mail.reEditMode && links.deleteReEditedMail) links.deleteReEditedMail();
  if (links.folderChanged) {
    links.folderChanged(FolderKind::Outbox);
    if (mail.replyMode) links.folderChanged(FolderKind::Inbox);
  }
  Finish(QDialog::Rejected);
}

void CompositionWindow::Cancel() {
  // The session's end closes the window; cancelling under it would give the
  // character back while it may still leave with the mail.
  if (sender_->Busy()) return;
  cancelled_ = true;
  Finish(QDialog::Rejected);
}

void CompositionWindow::reject() { Cancel(); }

void CompositionWindow::EndRequest() {
  // The sender holds what it needs; the window no longer answers or
  // replaces anything, though the hut may still ask where the character
  // was parked.
  const bool parked = request_.carrierParked;
  request_ = CompositionRequest{};
  request_.carrierParked = parked;
}

void CompositionWindow::Finish(int result) {
  EndRequest();
  hide();
  QDialog::done(result);
}

void CompositionWindow::ErrorReset() {
  EndRequest();
  cancelled_ = false;
  if (isVisible()) Finish(QDialog::Rejected);
}

int CompositionWindow::ShowModal() { return platform::ExecAbove(*this); }

void CompositionWindow::BringForward() {
  raise();
  activateWindow();
}

void CompositionWindow::SetCarrier(const std::string& packagePath, const std::string& characterId) {
  packagePath_ = packagePath;
  characterId_ = characterId;
}

void CompositionWindow::StandBeside(const CarrierRef& carrier, ScreenPoint carrierTopLeft, int pictureWidth) {
  // The carrier and this window on the carrier's monitor, whole; the
  // carrier moves with the window where the monitor is too small for both.
  const ScreenPoint fitted = CarrierOnScreen(carrierTopLeft, QSize(pictureWidth, pictureWidth), size());
  move(BesideCarrier(fitted, pictureWidth));
  if (fitted != carrierTopLeft) Host().MoveCarrier(carrier, fitted);
  carrierForm_ = carrier;
}

void CompositionWindow::ClearRecipientPicker(bool alsoCc) {
  CallLink(links.clearPickerSelection, "clearPickerSelection", alsoCc);
}

void CompositionWindow::showEvent(QShowEvent* event) {
  SpeechBubbleWindow::showEvent(event);
  // Typing starts where the mail still needs something: the recipient of a
  // new mail, the text of an answer.
  if (toEdit_->text().trimmed().isEmpty()) {
    toEdit_->setFocus();
  } else {
    bodyEdit_->setFocus();
  }
}

void CompositionWindow::ChooseRecipients() {
  CallLink(links.pickRecipients, "pickRecipients");
}

void CompositionWindow::Attach() {
  if (auto path = context_.dialogs.OpenFile("", "")) AddAttachment(*path);
}

void CompositionWindow::AddAttachment(const std::string& path) {
  attachmentPaths_.push_back(path);
  const std::string name = platform::ExtractFileName(path);
  attachmentList_->addItem(new QListWidgetItem(platform::SmallFileIcon(name), platform::ToQString(name)));
}

void CompositionWindow::OpenAttachment(int row) {
  if (row < 0 || row >= static_cast<int>(attachmentPaths_.size())) return;
  const std::string& path = attachmentPaths_[row];
  // The list and the paths go together; a mismatch means they drifted
  // apart, and the wrong file must not be opened.
  if (platform::FromQString(attachmentList_->item(row)->text()) != platform::ExtractFileName(path)) return;
  OpenAttachmentFile(context_.shell, context_.dialogs, path);
}

void CompositionWindow::PrepareAttachmentMenu() {
  removeAttachmentAction_->setEnabled(attachmentList_->currentRow() >= 0 &&
                                      !attachmentList_->selectedItems().isEmpty());
}

void CompositionWindow::RemoveAttachments() {
  const int row = attachmentList_->currentRow();
  if (row < 0 || attachmentList_->selectedItems().isEmpty()) return;
  if (!context_.dialogs.Question(Sj("ファイルを添付から外してよろしいですか"), platform::DefaultButton::No, Sj("確認"))) return;
  if (row >= static_cast<int>(attachmentPaths_.size())) return;
  if (platform::FromQString(attachmentList_->item(row)->text()) != platform::ExtractFileName(attachmentPaths_[row])) {
    return;
  }
  attachmentPaths_.erase(attachmentPaths_.begin() + row);
  delete attachmentList_->takeItem(row);
  attachmentList_->doItemsLayout();
}

bool CompositionWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == attachmentList_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    RemoveAttachments();
    return true;
  }
  return SpeechBubbleWindow::eventFilter(watched, event);
}

void CompositionWindow::Dragged() {
  CallLink(links.moveViewer, "moveViewer", pos());
}

}  // namespace mf
