#include "mail/send/OutgoingSmtp.h"

#include <exception>
#include <stdexcept>

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

}  // namespace

const std::string& NoRecipientText() {
  static const std::string text = Sj("宛先が指定されていません");
  return text;
}

std::string MaybeDeliveredText() {
  return Sj("ただし、メールを渡し終えた後のことなので、相手に届いていることもあります。送り直すと二通届くことがあります。");
}

std::string UnconfirmedMailText() {
  return Sj("メールを渡し終えた後で接続が切れたため、相手に届いたかどうか分かりません。") + "\r\n" +
         Sj("このメールは「送信待ち」に「送信不明」として残し、「送信」でも送り直しません。"
            "届いていないと分かったら、メールの一覧でこのメールを右クリックして「送信待ちに戻す」を選んでください。");
}

OutgoingSmtp::OutgoingSmtp(platform::EventLoop& loop, const Clock& clock, RandomGenerator& random)
    : loop_(loop), clock_(clock), random_(random), smtp_(loop), popLogin_(loop) {
  smtp_.OnRequestDone = [this](SmtpClient&, SmtpRequest type, std::uint16_t error) {
    RequestDone(type, error);
  };
  // While a mail is under way, the pending request completes with an error
  // and ends the attempt from there.
  smtp_.OnSessionClosed = [this](SmtpClient&, std::uint16_t) {
    if (phase_ == Phase::Quitting) FinishClosed();
  };
  smtp_.Message = [this](std::string& line) {
    if (!finalDotSent_) EnterStep("body");
    if (builder_ && builder_->NextLine(line)) return true;
    if (!finalDotSent_ && OnFinalDot) {
      withheldDot_ = OnFinalDot();
      // The client drops the connection, so that the server throws the
      // part it has away.
      if (!withheldDot_.empty()) throw std::runtime_error("the final dot is withheld");
    }
    finalDotSent_ = true;  // the client ends the data with "." at once
    return false;
  };
  smtp_.OnCommand = [this](SmtpClient&, const std::string& command) { EnterStep(SessionStepOf(command)); };
  smtp_.OnResponse = [this](SmtpClient&, const std::string& line) {
    if (step_ == "STARTTLS" && line.rfind("220", 0) == 0) EnterStep("tls");
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
  smtp_.Message = nullptr;
  smtp_.OnCommand = nullptr;
  smtp_.OnResponse = nullptr;
}

void OutgoingSmtp::Start(const LiveSettings& settings, OutgoingMessage first) {
  ++attempt_;
  senderAddress_ = settings.mailAddress;
  senderName_ = settings.myName;
  host_ = Trim(settings.smtpServer);
  ConfigureSmtpClient(settings, smtp_);
  message_ = std::move(first);
  // Without a server name the connection would go to this machine's port 25
  // and fail there with words about a broken connection.
  if (host_.empty()) {
    Fail(Sj("SMTPサーバー名が設定されていません。メール一覧の「設定」→「アカウント設定」で設定してください。"));
    return;
  }
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
  builder_.reset();
  finalDotSent_ = false;
  withheldDot_.clear();
  try {
    if (smtp_.Connected()) {
      smtp_.Helo();
    } else {
      EnterStep("greeting");
      smtp_.Connect();
    }
  } catch (const std::exception& error) {
    Fail(error.what());
  }
}

void OutgoingSmtp::EnterStep(std::string step) {
  if (step == step_) return;
  step_ = std::move(step);
  if (OnStep) OnStep(step_);
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
  if (smtp_.Connected() || smtp_.State() != ClientState::Ready) smtp_.Abort();
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

void OutgoingSmtp::RequestDone(SmtpRequest type, std::uint16_t error) {
  // The recipients of one mail must never reach the next.
  smtp_.EnvelopeTo.clear();

  if (phase_ == Phase::Quitting) {
    // The mail is sent: a failing QUIT changes nothing for the user.
    if (type == SmtpRequest::Quit) FinishClosed();
    return;
  }
  if (phase_ != Phase::Smtp) return;
  if (error != 0 && !withheldDot_.empty()) return Fail(std::move(withheldDot_));
  if (error != 0) {
    SendingFailure failure;
    failure.text = ServerFailureText(
        ServerFailure{"SMTP", smtp_.Host, smtp_.Port, error, smtp_.ErrorMessage(), smtp_.LastResponse(), step_});
    // A reply, whatever it says, is the server's answer to the mail: only
    // silence or a lost connection after the last line leaves it open.
    const bool answered = error < 600;
    failure.maybeDelivered = type == SmtpRequest::Mail && finalDotSent_ && !answered;
    Fail(std::move(failure));
    return;
  }
  try {
    switch (type) {
      case SmtpRequest::Connect:
        smtp_.Helo();
        return;
      case SmtpRequest::Helo:
        FillMessage();
        return;
      case SmtpRequest::Mail:
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
  MessageFields fields;
  fields.to = ParseRecipients(message_.to);
  fields.cc = ParseRecipients(message_.cc);
  if (fields.to.empty() && fields.cc.empty()) {
    Fail(NoRecipientText());
    return;
  }
  for (const auto* list : {&fields.to, &fields.cc}) {
    for (const Recipient& recipient : *list) smtp_.EnvelopeTo.push_back(recipient.address);
  }
  smtp_.EnvelopeFrom = senderAddress_;
  fields.from = senderAddress_;
  fields.fromName = senderName_;
  // In-Reply-To and References come from a received mail and the id from a
  // character that may have come by mail: none may add a header line.
  fields.subject = SingleLine(message_.subject);
  fields.xMailer = kXMailer;
  messageId_ = MakeMessageId(message_.date, random_, host_);
  fields.messageId = messageId_;
  fields.characterId = SingleLine(message_.characterId);
  fields.inReplyTo = SingleLine(message_.inReplyTo);
  fields.references = SingleLine(message_.references);
  fields.date = clock_.Now();
  builder_ = std::make_unique<MessageBuilder>(fields, BodyWireLines(TextWithFooter(message_.text)), message_.files);
  smtp_.Mail();
}

}  // namespace mf
