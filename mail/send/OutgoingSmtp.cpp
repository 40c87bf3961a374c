#include "mail/send/OutgoingSmtp.h"

#include <algorithm>
#include <exception>

#include "base/Identifiers.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/ClientFailure.h"
#include "mail/send/MailFooter.h"
#include "mail/send/Recipients.h"
#include "mail/send/WireLines.h"
#include "mail/store/StoreRecords.h"
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

std::string MaybeDeliveredText() {
  return Sj("ただし、メールを渡し終えた後のことなので、相手に届いていることもあります。送り直すと二通届くことがあります。");
}

OutgoingSmtp::OutgoingSmtp(platform::EventLoop& loop, RandomGenerator& random)
    : loop_(loop), random_(random), smtp_(loop), popLogin_(loop) {
  smtp_.CharSet = kCharSet;
  smtp_.ContentType = smtpPlainText;
  smtp_.OnRequestDone = [this](SmtpClientBase&, TSmtpRequest type, std::uint16_t error) {
    RequestDone(type, error);
  };
  // While a mail is under way, the pending request completes with an error
  // and ends the attempt from there.
  smtp_.OnSessionClosed = [this](SmtpClientBase&, std::uint16_t) {
    if (phase_ == Phase::Quitting) FinishClosed();
  };
  smtp_.OnGetData = [this](SmtpClientBase&, int lineNum, std::string& line, int maxLen, bool& more) {
    GetData(lineNum, line, maxLen, more);
  };
  popLogin_.OnLoggedIn = [this] {
    if (phase_ != Phase::PopLogin) return;
    phase_ = Phase::Smtp;
    SendMessage();
  };
  popLogin_.OnFailed = [this](const std::string& text) {
    if (phase_ == Phase::PopLogin) Fail(text);
  };
}

// The client may still report a closing connection while it goes; nothing
// of this object may hear it then.
OutgoingSmtp::~OutgoingSmtp() {
  smtp_.OnRequestDone = nullptr;
  smtp_.OnSessionClosed = nullptr;
  smtp_.OnGetData = nullptr;
}

void OutgoingSmtp::Start(const LiveSettings& settings, OutgoingMessage first) {
  ++attempt_;
  senderAddress_ = settings.mailAddress;
  senderName_ = settings.myName;
  host_ = Trim(settings.smtpServer);
  ConfigureSmtpClient(settings, smtp_);
  message_ = std::move(first);
  if (!settings.popBeforeSmtp) {
    phase_ = Phase::Smtp;
    SendMessage();
    return;
  }
  phase_ = Phase::PopLogin;
  try {
    popLogin_.Start(settings);
  } catch (const std::exception& error) {
    Fail(error.what());
  }
}

void OutgoingSmtp::Send(OutgoingMessage next) {
  message_ = std::move(next);
  phase_ = Phase::Smtp;
  SendMessage();
}

void OutgoingSmtp::SendMessage() {
  messageId_.clear();
  wireLinesReady_ = false;
  finalDotSent_ = false;
  try {
    if (smtp_.Connected()) {
      smtp_.Helo();
    } else {
      smtp_.Connect();
    }
  } catch (const std::exception& error) {
    Fail(error.what());
  }
}

void OutgoingSmtp::Quit() {
  phase_ = Phase::Quitting;
  try {
    smtp_.Quit();
  } catch (const std::exception&) {
    FinishClosed();
  }
}

void OutgoingSmtp::Fail(const std::string& text) { Fail(SendingFailure{text, false}); }

void OutgoingSmtp::Fail(SendingFailure failure) {
  phase_ = Phase::Ending;
  if (smtp_.Connected() || smtp_.State() != smtpReady) smtp_.Abort();
  popLogin_.Abort();
  Post([this, failure = std::move(failure)] {
    phase_ = Phase::Idle;
    if (OnFailed) OnFailed(failure);
  });
}

void OutgoingSmtp::FinishClosed() {
  phase_ = Phase::Ending;
  if (smtp_.Connected()) smtp_.Abort();
  Post([this] {
    phase_ = Phase::Idle;
    if (OnClosed) OnClosed();
  });
}

void OutgoingSmtp::Abort() {
  ++attempt_;
  phase_ = Phase::Idle;
  smtp_.Abort();
  popLogin_.Abort();
}

void OutgoingSmtp::Post(std::function<void()> event) {
  loop_.Post(guard_.Bind([this, attempt = attempt_, event = std::move(event)] {
    if (attempt == attempt_) event();
  }));
}

void OutgoingSmtp::RequestDone(TSmtpRequest type, std::uint16_t error) {
  // The recipients of one mail must never reach the next.
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
    SendingFailure failure;
    failure.text = ServerFailureText(
        ServerFailure{"SMTP", smtp_.Host, smtp_.Port, error, smtp_.ErrorMessage(), smtp_.LastResponse()});
    // A reply, whatever it says, is the server's answer to the mail: only
    // silence or a lost connection after the last line leaves it open.
    const bool answered = error < 600;
    failure.maybeDelivered = type == smtpMail && finalDotSent_ && !answered;
    Fail(std::move(failure));
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
        if (OnAccepted) OnAccepted();
        return;
      default:
        return;
    }
  } catch (const std::exception& failure) {
    Fail(failure.what());
  }
}

void OutgoingSmtp::FillMessage() {
  const std::vector<Recipient> to = ParseRecipients(message_.to);
  const std::vector<Recipient> cc = ParseRecipients(message_.cc);
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
  smtp_.HdrSubject = SingleLine(message_.subject);
  smtp_.HdrXMailer = kXMailer;
  messageId_ = MakeMessageId(message_.date, random_, host_);
  smtp_.HdrMessageId = messageId_;
  smtp_.HdrXAnimationID = SingleLine(message_.characterId);
  smtp_.HdrInReplyTo = SingleLine(message_.inReplyTo);
  smtp_.HdrReferences = SingleLine(message_.references);
  wireLinesReady_ = false;
  smtp_.SetEmailFiles(message_.files);
  smtp_.Mail();
}

void OutgoingSmtp::GetData(int lineNum, std::string& line, int maxLen, bool& more) {
  if (!wireLinesReady_) {
    const std::size_t room = maxLen > 1 ? static_cast<std::size_t>(maxLen - 1) : kMaxWireLineBytes;
    wireLines_ = BodyWireLines(TextWithFooter(message_.text), std::min(kMaxWireLineBytes, room));
    wireLinesReady_ = true;
  }
  if (lineNum < 1 || static_cast<std::size_t>(lineNum) > wireLines_.size()) {
    more = false;
    finalDotSent_ = true;  // the client ends the data with "." at once
    return;
  }
  line = wireLines_[static_cast<std::size_t>(lineNum - 1)];
}

}  // namespace mf
