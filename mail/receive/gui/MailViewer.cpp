#include "mail/receive/gui/MailViewer.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>

#include "base/ShiftJis.h"
#include "character/CharacterEngine.h"
#include "mail/answer/ReplyText.h"
#include "mail/gui/AttachmentListMenu.h"
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
#include "platform/qt/ScreenPlacement.h"

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
  ScrollOneLinePerNotch(mailText);
  context_.errors.hooks.releaseViewer = [this] { ErrorRelease(); };
}

MailViewer::~MailViewer() { context_.errors.hooks.releaseViewer = nullptr; }

void MailViewer::BuildControls() {
  senderCaption_ = Caption(this, "差出人", 27);
  senderEdit = ReadOnlyField(this, 25);
  senderCaption_->setBuddy(senderEdit);
  QLabel* subjectCaption = Caption(this, "表題", 55);
  subjectEdit = ReadOnlyField(this, 53);
  subjectCaption->setBuddy(subjectEdit);

  mailText = new QPlainTextEdit(this);
  mailText->setReadOnly(true);
  mailText->setFrameShape(QFrame::NoFrame);
  mailText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mailText->setGeometry(kCaptionLeft, 84, kAreaWidth, 170);
  QPalette white = mailText->palette();
  white.setColor(QPalette::Base, Qt::white);
  mailText->setPalette(white);
  mailText->setAccessibleName(Text("本文"));

  attachmentList = new QListWidget(this);
  attachmentList->setGeometry(kCaptionLeft, 260, kAreaWidth, 30);
  attachmentList->setViewMode(QListView::ListMode);
  attachmentList->setFlow(QListView::LeftToRight);
  attachmentList->setWrapping(true);
  attachmentList->setIconSize(QSize(16, 16));
  attachmentList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  attachmentList->setFrameShape(QFrame::NoFrame);
  attachmentList->setAccessibleName(Text("添付ファイル"));
  saveAttachmentAs = WireAttachmentList(
      *attachmentList, [this](int row) { OpenAttachment(row); }, [this](int row) { SaveAttachmentAs(row); });

  const int buttonsTop = 298;
  answerButton = new LabelButton(Text("返信"), kButtonColour, kButtonHoverColour, this);
  answerButton->setGeometry(kFieldLeft + kFieldWidth - 2 * kButtonWidth - 8, buttonsTop, kButtonWidth, kButtonHeight);
  answerLaterButton = new LabelButton(Text("後で返信"), kButtonColour, kButtonHoverColour, this);
  answerLaterButton->setGeometry(kFieldLeft + kFieldWidth - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight);
  connect(answerButton, &LabelButton::clicked, this, [this] { ReplyNow(); });
  connect(answerLaterButton, &LabelButton::clicked, this, [this] { ReplyLater(); });
}

void MailViewer::Reset() {
  senderEdit->clear();
  subjectEdit->clear();
  mailText->clear();
  attachmentList->clear();
  attachmentNames_.clear();
  AnswerRecipients.clear();
  EditInReplyTo.clear();
  EditReferences.clear();
  RecordIndex = 0;
  DeliveringId.clear();
  AttachDir.clear();
  lentCharacter_ = CarrierRef{};
}

void MailViewer::Fill(const ArrivedMail& mail, const CarrierRef& lent) {
  lentCharacter_ = lent;
  // The name as a reader sees it; the answer takes the sender as a
  // recipient text, which keeps the quotes a name may need.
  senderEdit->setText(platform::ToQString(ShownMailboxes(mail.from)));
  AnswerRecipients = MailboxListText(mail.from);
  senderEdit->setCursorPosition(0);
  subjectEdit->setText(platform::ToQString(mail.subject));
  subjectEdit->setCursorPosition(0);
  mailText->setPlainText(platform::ToQString(mail.text));
  EditInReplyTo = mail.inReplyTo;
  EditReferences = mail.references;
  RecordIndex = mail.recordIndex;
  DeliveringId = mail.deliveringId;
  AttachDir = mail.attachmentFolder;
  attachmentList->clear();
  attachmentNames_.clear();
  for (const std::string& path : mail.attachments) {
    const std::string name = platform::ExtractFileName(path);
    attachmentNames_.push_back(name);
    attachmentList->addItem(new QListWidgetItem(platform::SmallFileIcon(name), platform::ToQString(name)));
  }
  // An empty list would look like a field waiting for input.
  attachmentList->setVisible(!attachmentNames_.empty());
}

int MailViewer::ShowModal() {
  mailText->moveCursor(QTextCursor::Start);
  return platform::ExecAbove(*this);
}

std::string MailViewer::AttachmentPath(int row) const {
  if (row < 0 || row >= static_cast<int>(attachmentNames_.size()) || AttachDir.empty()) return {};
  return AttachDir + attachmentNames_[static_cast<std::size_t>(row)];
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
  composition_.move(
      platform::OntoScreenOf(QRect(BesideCarrier(position, pictureWidth), composition_.size()), carrier).topLeft());
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
  request.sourceIndex = RecordIndex;
  request.to = AnswerRecipients;
  request.subject = ReplySubject(platform::FromQString(subjectEdit->text()));
  request.body = QuoteEveryLine(platform::FromQString(mailText->toPlainText()));
  request.inReplyTo = EditInReplyTo;
  request.references = EditReferences;
  request.carrierId = DeliveringId;
  request.carrierParked = true;
  request.parkedCarrier = lentCharacter_;
  if (DeliveringId.empty() || !context_.host.ListsCharacter(DeliveringId)) {
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
