#include "mail/send/SendController.h"

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/OutgoingRecords.h"
#include "platform/Files.h"
#include "settings/LiveSettings.h"

namespace mf {

std::string SendFailureText(const SendFailure& failure) {
  std::string text = failure.reason;
  if (failure.keptInOutbox && failure.maybeDelivered) {
    return text + "\r\n\r\n" + UnconfirmedMailText();
  }
  if (failure.keptInOutbox) {
    text += "\r\n\r\n" + Sj("メールは「送信待ち」に入れました。メール一覧の「送信」で送り直せます。");
  } else if (!failure.missingFiles.empty()) {
    text += "\r\n\r\n" + Sj("メールは送っていません。添付ファイルを確かめてから、もう一度送ってください。");
  } else {
    if (!failure.filingError.empty()) text += "\r\n" + failure.filingError;
    text += "\r\n\r\n" + Sj("「送信待ち」にも入れられなかったので、メールは作成画面に残してあります。");
  }
  if (failure.maybeDelivered) {
    text += "\r\n" + MaybeDeliveredText();
  }
  return text;
}

SendController::SendController(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
                               const Clock& clock, RandomGenerator& random)
    : settings_(settings), store_(store), clock_(clock), random_(random), session_(loop, clock, random) {
  session_.OnAccepted = [this] { MailAccepted(); };
  session_.OnFailed = [this](const SendingFailure& failure) { AttemptFailed(failure); };
  session_.OnClosed = [this] {
    if (OnClosed) OnClosed();
  };
}

SendController::~SendController() = default;

SendStart SendController::SendNow(const Composition& mail) {
  if (Busy()) return SendStart::Busy;
  if (Trim(mail.to).empty()) return SendStart::NoRecipient;
  mail_ = mail;
  accepted_ = false;
  // Checked before any server hears of the mail, so that nothing is
  // half-sent for a file the user moved away meanwhile.
  missingFiles_.clear();
  for (const std::string& file : OutgoingFiles(mail_)) {
    if (!platform::FileExists(file)) missingFiles_.push_back(file);
  }
  if (!missingFiles_.empty()) {
    std::string text = Sj("添付ファイルが見つかりません:");
    for (const std::string& file : missingFiles_) text += "\r\n" + file;
    session_.Fail(text);
    return SendStart::Started;
  }
  OutgoingMessage message;
  message.to = mail_.to;
  message.cc = mail_.cc;
  message.subject = mail_.subject;
  message.characterId = mail_.characterId;
  message.inReplyTo = mail_.inReplyTo;
  message.references = mail_.references;
  message.files = OutgoingFiles(mail_);
  message.text = mail_.body;
  message.date = clock_.Now();
  session_.Start(settings_, std::move(message));
  return SendStart::Started;
}

bool SendController::SendLater(const Composition& mail, std::string& error) {
  if (Trim(mail.to).empty()) {
    error = NoRecipientText();
    return false;
  }
  return OutgoingRecords(store_, clock_, random_)
      .File(OutgoingFolder::Outbox, mail, settings_.mailAddress, std::string(), error);
}

void SendController::Abort() { session_.Abort(); }
bool SendController::Busy() const { return session_.Busy(); }
SmtpClient& SendController::Smtp() { return session_.Client(); }
Pop3Client& SendController::PopBeforeSmtp() { return session_.PopClient(); }

void SendController::AttemptFailed(const SendingFailure& attempt) {
  SendFailure failure;
  failure.reason = attempt.text;
  failure.maybeDelivered = attempt.maybeDelivered;
  failure.replyMode = mail_.replyMode;
  failure.reEditMode = mail_.reEditMode;
  failure.missingFiles = missingFiles_;
  if (accepted_) {
    // The server has the mail: a copy in the outbox would send it twice.
    failure.filingError = Sj("サーバーはメールを受け取っています。");
  } else if (failure.missingFiles.empty()) {
    // Kept as "後で送る" keeps it, so that the outbox's "送信" sends it;
    // one that may have arrived is kept marked, for the user to decide.
    failure.keptInOutbox = OutgoingRecords(store_, clock_, random_)
                               .File(OutgoingFolder::Outbox, mail_, session_.SenderAddress(), std::string(),
                                     failure.filingError, failure.maybeDelivered);
  }
  if (OnFailed) OnFailed(failure);
}

void SendController::MailAccepted() {
  accepted_ = true;
  SentMail sent;
  sent.messageId = session_.MessageId();
  sent.characterId = mail_.characterId;
  sent.replyMode = mail_.replyMode;
  sent.replyIndex = mail_.replyIndex;
  sent.reEditMode = mail_.reEditMode;
  OutgoingRecords(store_, clock_, random_).File(OutgoingFolder::Sent, mail_, session_.SenderAddress(), sent.messageId,
                                                sent.filingError);
  session_.Post([this, sent] {
    if (OnSent) OnSent(sent);
  });
  session_.Quit();
}

}  // namespace mf
