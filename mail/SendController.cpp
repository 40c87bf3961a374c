#include "mail/SendController.h"

#include "base/Text.h"
#include "mail/OutgoingRecords.h"
#include "platform/Files.h"
#include "settings/LiveSettings.h"

namespace mf {

SendController::SendController(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
                               const Clock& clock, RandomGenerator& random)
    : settings_(settings), store_(store), clock_(clock), random_(random), session_(loop, random) {
  session_.OnAccepted = [this] { MailAccepted(); };
  session_.OnFailed = [this](const std::string& text) {
    if (OnFailed) OnFailed(text);
  };
  session_.OnClosed = [this] {
    if (OnClosed) OnClosed();
  };
}

SendController::~SendController() = default;

SendStart SendController::SendNow(const Composition& mail) {
  if (Busy()) return SendStart::Busy;
  if (Trim(mail.to).empty()) return SendStart::NoRecipient;
  mail_ = mail;
  // Checked before any server hears of the mail, so that nothing is
  // half-sent for a file the user moved away meanwhile.
  for (const std::string& file : OutgoingFiles(mail_)) {
    if (!platform::FileExists(file)) {
      session_.Fail("File not found '" + file + "'");
      return SendStart::Started;
    }
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
TSmtpCli& SendController::Smtp() { return session_.Client(); }
TPop3Cli& SendController::PopBeforeSmtp() { return session_.PopClient(); }

void SendController::MailAccepted() {
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
