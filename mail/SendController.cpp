#include "mail/SendController.h"

#include <algorithm>
#include <exception>

#include "base/Identifiers.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/ClientFailure.h"
#include "mail/MailFooter.h"
#include "mail/OutgoingRecords.h"
#include "mail/Recipients.h"
#include "mail/StoreRecords.h"
#include "mail/WireLines.h"
#include "platform/Files.h"
#include "settings/ClientSetup.h"
#include "settings/LiveSettings.h"

namespace mf {

namespace {

// The value that marks mail written by this program; the receiving side
// looks for it.
constexpr const char* kXMailer = "MofutanMail";
constexpr const char* kCharSet = "iso-2022-JP";
}  // namespace

const std::string& NoRecipientText() {
  static const std::string text = Sj("宛先が指定されていません");
  return text;
}

SendController::SendController(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
                               const Clock& clock, RandomGenerator& random)
    : loop_(loop), settings_(settings), store_(store), clock_(clock), random_(random), smtp_(loop), popLogin_(loop) {
  smtp_.CharSet = kCharSet;
  smtp_.ContentType = smtpPlainText;
  smtp_.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest type, std::uint16_t error) {
    SmtpRequestDone(type, error);
  };
  smtp_.OnSessionClosed = [this](TCustomSmtpClient&, std::uint16_t) { SmtpSessionClosed(); };
  smtp_.OnGetData = [this](TCustomSmtpClient&, int lineNum, std::string& line, int maxLen, bool& more) {
    GetData(lineNum, line, maxLen, more);
  };
  popLogin_.OnLoggedIn = [this] {
    if (phase_ == Phase::PopLogin) StartSmtp();
  };
  popLogin_.OnFailed = [this](const std::string& text) {
    if (phase_ == Phase::PopLogin) Fail(text);
  };
}

// The clients may still report a closing connection while they go; nothing
// of this object may hear it then.
SendController::~SendController() {
  smtp_.OnRequestDone = nullptr;
  smtp_.OnSessionClosed = nullptr;
  smtp_.OnGetData = nullptr;
}

SendStart SendController::SendNow(const Composition& mail) {
  if (Busy() || smtp_.Connected() || popLogin_.Busy()) return SendStart::Busy;
  if (Trim(mail.to).empty()) return SendStart::NoRecipient;

  ++attempt_;
  mail_ = mail;
  senderAddress_ = settings_.mailAddress;
  senderName_ = settings_.myName;
  smtpHost_ = Trim(settings_.smtpServer);
  messageId_.clear();
  wireLinesReady_ = false;
  phase_ = Phase::Smtp;

  // Checked before any server hears of the mail, so that nothing is
  // half-sent for a file the user moved away meanwhile.
  for (const std::string& file : OutgoingFiles(mail_)) {
    if (!platform::FileExists(file)) {
      Fail("File not found '" + file + "'");
      return SendStart::Started;
    }
  }

  ConfigureSmtpClient(settings_, smtp_);
  if (!settings_.popBeforeSmtp) {
    StartSmtp();
    return SendStart::Started;
  }
  phase_ = Phase::PopLogin;
  try {
    popLogin_.Start(settings_);
  } catch (const std::exception& error) {
    Fail(error.what());
  }
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

void SendController::Abort() {
  ++attempt_;
  phase_ = Phase::Idle;
  smtp_.Abort();
  popLogin_.Abort();
}

bool SendController::Busy() const { return phase_ != Phase::Idle; }
TSmtpCli& SendController::Smtp() { return smtp_; }
TPop3Cli& SendController::PopBeforeSmtp() { return popLogin_.Client(); }

void SendController::StartSmtp() {
  phase_ = Phase::Smtp;
  try {
    smtp_.Connect();
  } catch (const std::exception& error) {
    Fail(error.what());
  }
}

// --- POP before SMTP ---------------------------------------------------------

// --- SMTP ----------------------------------------------------------------------

void SendController::SmtpRequestDone(TSmtpRequest type, std::uint16_t error) {
  // The lists of one mail must never reach the next.
  smtp_.HdrToAddress.clear();
  smtp_.HdrRcptName.clear();
  smtp_.HdrCcAddress.clear();
  smtp_.HdrCcName.clear();
  smtp_.RcptToAddress.clear();
  smtp_.RcptToName.clear();

  if (phase_ == Phase::Quitting) {
    // The mail is sent: a failing QUIT changes nothing for the user.
    if (type == smtpQuit) FinishClosed();
    return;
  }
  if (phase_ != Phase::Smtp) return;
  if (error != 0) {
    Fail(ClientFailureText(error, smtp_.ErrorMessage(), smtp_.LastResponse(), "SMTPサーバーとの通信に失敗しました"));
    return;
  }
  try {
    switch (type) {
      case smtpConnect:
        smtp_.Helo();
        return;
      case smtpHelo:
        FillMessage();
        return;
      case smtpMail:
        MailAccepted();
        return;
      default:
        return;
    }
  } catch (const std::exception& failure) {
    Fail(failure.what());
  }
}

void SendController::SmtpSessionClosed() {
  // While the mail is under way, the pending request completes with an
  // error and ends the attempt from there.
  if (phase_ == Phase::Quitting) FinishClosed();
}

void SendController::FillMessage() {
  const std::vector<Recipient> to = ParseRecipients(mail_.to);
  const std::vector<Recipient> cc = ParseRecipients(mail_.cc);
  if (to.empty() && cc.empty()) {
    Fail(NoRecipientText());
    return;
  }
  for (const Recipient& recipient : to) {
    smtp_.HdrToAddress.push_back(recipient.address);
    smtp_.HdrRcptName.push_back(recipient.name);
    smtp_.RcptToAddress.push_back(recipient.address);
    smtp_.RcptToName.push_back(recipient.name);
  }
  for (const Recipient& recipient : cc) {
    smtp_.HdrCcAddress.push_back(recipient.address);
    smtp_.HdrCcName.push_back(recipient.name);
    smtp_.RcptToAddress.push_back(recipient.address);
    smtp_.RcptToName.push_back(recipient.name);
  }
  smtp_.RcptName = smtp_.RcptToAddress;
  smtp_.HdrFrom = senderAddress_;
  smtp_.HdrFromName = senderName_;
  smtp_.FromName = senderAddress_;
  // In-Reply-To and References come from a received mail and the id from a
  // character that may have come by mail: none may add a header line.
  smtp_.HdrSubject = SingleLine(mail_.subject);
  smtp_.HdrXMailer = kXMailer;
  messageId_ = MakeMessageId(clock_.Now(), random_, smtpHost_);
  smtp_.HdrMessageId = messageId_;
  smtp_.HdrXAnimationID = SingleLine(mail_.characterId);
  smtp_.HdrInReplyTo = SingleLine(mail_.inReplyTo);
  smtp_.HdrReferences = SingleLine(mail_.references);
  wireLinesReady_ = false;
  smtp_.SetEmailFiles(OutgoingFiles(mail_));
  smtp_.Mail();
}

void SendController::MailAccepted() {
  phase_ = Phase::Quitting;
  bool quitStarted = true;
  try {
    smtp_.Quit();
  } catch (const std::exception&) {
    quitStarted = false;
  }
  SentMail sent;
  sent.messageId = messageId_;
  sent.characterId = mail_.characterId;
  sent.replyMode = mail_.replyMode;
  sent.replyIndex = mail_.replyIndex;
  sent.reEditMode = mail_.reEditMode;
  OutgoingRecords(store_, clock_, random_).File(OutgoingFolder::Sent, mail_, senderAddress_, messageId_,
                                                sent.filingError);
  PostEvent([this, sent] {
    if (OnSent) OnSent(sent);
  });
  if (!quitStarted) FinishClosed();
}

void SendController::GetData(int lineNum, std::string& line, int maxLen, bool& more) {
  if (!wireLinesReady_) {
    const std::size_t room = maxLen > 1 ? static_cast<std::size_t>(maxLen - 1) : kMaxWireLineBytes;
    wireLines_ = BodyWireLines(TextWithFooter(mail_.body), std::min(kMaxWireLineBytes, room));
    wireLinesReady_ = true;
  }
  if (lineNum < 1 || static_cast<std::size_t>(lineNum) > wireLines_.size()) {
    more = false;
    return;
  }
  line = wireLines_[static_cast<std::size_t>(lineNum - 1)];
}

// --- ending ------------------------------------------------------------------------

void SendController::Fail(const std::string& text) {
  phase_ = Phase::Ending;
  if (smtp_.Connected() || smtp_.State() != smtpReady) smtp_.Abort();
  popLogin_.Abort();
  PostEvent([this, text] {
    phase_ = Phase::Idle;
    if (OnFailed) OnFailed(text);
  });
}

void SendController::FinishClosed() {
  phase_ = Phase::Ending;
  if (smtp_.Connected()) smtp_.Abort();
  PostEvent([this] {
    phase_ = Phase::Idle;
    if (OnClosed) OnClosed();
  });
}

void SendController::PostEvent(std::function<void()> event) {
  loop_.Post(guard_.Bind([this, attempt = attempt_, event = std::move(event)] {
    if (attempt == attempt_) event();
  }));
}

}  // namespace mf
