#include "mail/receive/gui/MailViewer.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>

#include "base/ShiftJis.h"
#include "character/CharacterEngine.h"
#include "mail/answer/ReplyText.h"
#include "mail/gui/AttachmentListMenu.h"
#include "mail/gui/LongText.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/QuotedText.h"
#include "mail/receive/InboxIntake.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/AttachmentActions.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "text/Mailbox.h"
#include "widgets/LabelButton.h"
#include "widgets/LongTextView.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Layout, in window coordinates; the bubble's body starts 24 pixels left of
// the first caption, the tail fills the strip before it.
constexpr int kCaptionLeft = 64;
constexpr int kFieldLeft = 130;
constexpr int kFieldWidth = 300;
constexpr int kRowHeight = 22;
constexpr int kAreaWidth = kFieldLeft + kFieldWidth - kCaptionLeft;
constexpr int kButtonWidth = 66;
constexpr int kButtonHeight = 24;

QLabel* Caption(QWidget* parent, const char* text, int top) {
  auto* label = new QLabel(Text(text), parent);
  label->move(kCaptionLeft, top);
  label->adjustSize();
  // A press on a caption is a press on the bubble: it starts a drag.
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

QLineEdit* ReadOnlyField(QWidget* parent, int top) {
  auto* edit = new QLineEdit(parent);
  edit->setFrame(false);
  edit->setReadOnly(true);
  edit->setGeometry(kFieldLeft, top, kFieldWidth, kRowHeight);
  return edit;
}

QSize ScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(0, 0);
}

}  // namespace

MailViewer::MailViewer(const MailServices& services, CompositionWindow& composition)
    : SpeechBubbleWindow(services.host, services.settingsFile), context_(services), composition_(composition) {
  setWindowTitle(Text("メール"));
  BuildControls();
  resize(kWidth, kHeight);
  SetBodyLeft(senderCaption_->x() - 24);
  ScrollOneLinePerNotch(mailText_);
  context_.errors.hooks.releaseViewer = [this] { ErrorRelease(); };
}

MailViewer::~MailViewer() { context_.errors.hooks.releaseViewer = nullptr; }

void MailViewer::BuildControls() {
  senderCaption_ = Caption(this, "差出人", 27);
  senderEdit_ = ReadOnlyField(this, 25);
  senderEdit_->setObjectName("senderEdit");
  senderCaption_->setBuddy(senderEdit_);
  QLabel* subjectCaption = Caption(this, "表題", 55);
  subjectEdit_ = ReadOnlyField(this, 53);
  subjectEdit_->setObjectName("subjectEdit");
  subjectCaption->setBuddy(subjectEdit_);

  mailText_ = new LongTextView(this);
  mailText_->setObjectName("mailText");
  mailText_->setFrameShape(QFrame::NoFrame);
  mailText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mailText_->setGeometry(kCaptionLeft, 84, kAreaWidth, 170);
  QPalette white = mailText_->palette();
  white.setColor(QPalette::Base, Qt::white);
  mailText_->setPalette(white);
  mailText_->setAccessibleName(Text("本文"));
  mailTextFeeder_ = new TextFeeder(*mailText_);

  attachmentList_ = new QListWidget(this);
  attachmentList_->setObjectName("attachmentList");
  attachmentList_->setGeometry(kCaptionLeft, 260, kAreaWidth, 30);
  attachmentList_->setViewMode(QListView::ListMode);
  attachmentList_->setFlow(QListView::LeftToRight);
  attachmentList_->setWrapping(true);
  attachmentList_->setIconSize(QSize(16, 16));
  attachmentList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  attachmentList_->setFrameShape(QFrame::NoFrame);
  attachmentList_->setAccessibleName(Text("添付ファイル"));
  saveAttachmentAsAction_ = WireAttachmentList(
      *attachmentList_, [this](int row) { OpenAttachment(row); }, [this](int row) { SaveAttachmentAs(row); });
  saveAttachmentAsAction_->setObjectName("saveAttachmentAsAction");

  const int buttonsTop = 298;
  answerButton_ = new LabelButton(Text("返信"), kButtonColour, kButtonHoverColour, this);
  answerButton_->setObjectName("answerButton");
  answerButton_->setGeometry(kFieldLeft + kFieldWidth - 2 * kButtonWidth - 8, buttonsTop, kButtonWidth, kButtonHeight);
  answerLaterButton_ = new LabelButton(Text("後で返信"), kButtonColour, kButtonHoverColour, this);
  answerLaterButton_->setObjectName("answerLaterButton");
  answerLaterButton_->setGeometry(kFieldLeft + kFieldWidth - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight);
  connect(answerButton_, &LabelButton::clicked, this, [this] { ReplyNow(); });
  connect(answerLaterButton_, &LabelButton::clicked, this, [this] { ReplyLater(); });
}

void MailViewer::Reset() {
  senderEdit_->clear();
  subjectEdit_->clear();
  subject_.clear();
  mailTextFeeder_->Stop();
  mailText_->Clear();
  attachmentList_->clear();
  attachmentNames_.clear();
  answerRecipients_.clear();
  inReplyTo_.clear();
  references_.clear();
  recordIndex_ = 0;
  deliveringId_.clear();
  attachmentFolder_.clear();
  lentCharacter_ = CarrierRef{};
}

void MailViewer::Fill(const ArrivedMail& mail, const CarrierRef& lent) {
  lentCharacter_ = lent;
  // The name as a reader sees it; the answer takes the sender as a
  // recipient text, which keeps the quotes a name may need.
  senderEdit_->setText(ShownLine(ShownMailboxes(mail.from)));
  answerRecipients_ = MailboxListText(mail.from);
  senderEdit_->setCursorPosition(0);
  // The field may show only the start of a very long subject; the answer
  // takes it whole.
  subject_ = mail.subject;
  subjectEdit_->setText(ShownLine(mail.subject));
  subjectEdit_->setCursorPosition(0);
  mailTextFeeder_->Show(mail.text);
  inReplyTo_ = mail.inReplyTo;
  references_ = mail.references;
  recordIndex_ = mail.recordIndex;
  deliveringId_ = mail.deliveringId;
  attachmentFolder_ = mail.attachmentFolder;
  attachmentList_->clear();
  attachmentNames_.clear();
  for (const std::string& path : mail.attachments) attachmentNames_.push_back(platform::ExtractFileName(path));
  FillAttachmentList(*attachmentList_, attachmentNames_);
  // An empty list would look like a field waiting for input.
  attachmentList_->setVisible(!attachmentNames_.empty());
}

int MailViewer::ShowModal() {
  mailText_->ScrollToStart();
  // The keys scroll the mail. Left to the toolkit, the keyboard went to the
  // first field, the sender's, and showed its text selected as if to be
  // typed over.
  mailText_->setFocus();
  return platform::ExecAbove(*this);
}

std::string MailViewer::AttachmentPath(int row) const {
  if (row < 0 || row >= static_cast<int>(attachmentNames_.size()) || attachmentFolder_.empty()) return {};
  return attachmentFolder_ + attachmentNames_[static_cast<std::size_t>(row)];
}

void MailViewer::OpenAttachment(int row) {
  const std::string path = AttachmentPath(row);
  if (!path.empty()) OpenAttachmentFile(context_.shell, context_.dialogs, path);
}

void MailViewer::SaveAttachmentAs(int row) {
  const std::string path = AttachmentPath(row);
  if (!path.empty()) SaveAttachmentCopy(context_.dialogs, path);
}

void MailViewer::ReplyLater() { done(QDialog::Rejected); }

void MailViewer::done(int result) {
  SpeechBubbleWindow::done(result);
  mailTextFeeder_->Stop();
  mailText_->Clear();
}

void MailViewer::GiveBackCarrier() {
  if (lentCharacter_.Empty()) return;
  context_.host.RestoreCarrier(lentCharacter_);
  lentCharacter_ = CarrierRef{};
}

void MailViewer::ErrorRelease() {
  GiveBackCarrier();
  if (isVisible()) ReplyLater();
}

void MailViewer::PlaceAnswer() {
  int pictureWidth = CharacterEngine::kWindowSize;
  int pictureHeight = CharacterEngine::kWindowSize;
  if (auto place = context_.host.PlaceOf(lentCharacter_)) {
    pictureWidth = place->pictureWidth;
    pictureHeight = place->pictureHeight;
  }
  const QSize screen = ScreenSize();
  ScreenPoint& position = context_.host.MailPosition();
  const QPoint carrier(position.x, position.y);
  if (!QGuiApplication::screenAt(carrier)) {
    position = CorrectMailPosition(position, screen.width(), screen.height(), pictureWidth, pictureHeight);
  }
  const ScreenPoint fitted = CarrierOnScreen(position, QSize(pictureWidth, pictureHeight), composition_.size());
  composition_.move(BesideCarrier(fitted, pictureWidth));
  if (fitted != position && !lentCharacter_.Empty()) context_.host.MoveCarrier(lentCharacter_, fitted);
}

void MailViewer::ReplyNow() {
  CompositionWindow& composition = composition_;
  // An answer is already being written (the keyboard can still reach this
  // window's buttons under the modal composition).
  if (composition.isVisible()) return;
  PlaceAnswer();

  CompositionRequest request;
  request.kind = CompositionRequest::Kind::Reply;
  request.sourceFolder = FolderKind::Inbox;
  request.sourceIndex = recordIndex_;
  request.to = answerRecipients_;
  request.subject = ReplySubject(subject_);
  mailTextFeeder_->Finish();
  request.body = QuoteEveryLine(platform::FromQString(mailText_->Text()));
  request.inReplyTo = inReplyTo_;
  request.references = references_;
  request.carrierId = deliveringId_;
  request.carrierParked = true;
  request.parkedCarrier = lentCharacter_;
  if (deliveringId_.empty() || !context_.host.ListsCharacter(deliveringId_)) {
    composition.Fill(request);
    context_.dialogs.Error(Sj("適切なキャラクターを表示できないため送信できません"));
    return;
  }
  const CompositionOutcome outcome = composition.Open(request);
  if (!outcome.opened) context_.dialogs.Error(Sj("送信できませんでした"));
  // A character that left with the answer is gone for good; one that is
  // still here (a cancelled answer, the last character, which never leaves)
  // stays lent, so that it is given back when this window closes.
  if (!lentCharacter_.Empty() && !context_.host.PlaceOf(lentCharacter_)) lentCharacter_ = CarrierRef{};
  // The mail stays on view when it could not be answered or the answer was
  // dropped, so that the user can try again.
  if (outcome.opened && !outcome.cancelled) done(QDialog::Accepted);
}

}  // namespace mf
