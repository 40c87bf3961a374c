#include "mail/OutboxSender.h"

#include <algorithm>
#include <exception>

#include "base/Identifiers.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/ClientFailure.h"
#include "mail/MailFooter.h"
#include "mail/ReEdit.h"
#include "mail/Recipients.h"
#include "mail/StoreRecords.h"
#include "mail/WireLines.h"
#include "platform/Files.h"
#include "settings/ClientSetup.h"
#include "settings/LiveSettings.h"

namespace mf {

namespace {

constexpr const char* kXMailer = "MofutanMail";
constexpr const char* kCharSet = "iso-2022-JP";
std::string WithoutTrailingLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

std::optional<OutboxMail> PrepareOutboxMail(const MailStore& store) {
  if (store.RecordCount(FolderKind::Outbox) == 0) return std::nullopt;
  const std::string stored = store.ReadBodyRecord(FolderKind::Outbox, 0);
  const ReEditValues values = ReadForReEdit(stored);
  OutboxMail mail;
  mail.subject = values.subject;
  mail.to = values.to;
  mail.cc = values.cc;
  mail.inReplyTo = values.inReplyTo;
  mail.references = values.references;
  mail.characterId = values.characterId;
  for (const std::string& path : values.attachmentFiles) {
    (platform::FileExists(path) ? mail.files : mail.missingFiles).push_back(path);
  }
  mail.text = WithoutTrailingLineEnds(values.text);
  return mail;
}

OutboxSender::OutboxSender(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
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

OutboxSender::~OutboxSender() = default;

bool OutboxSender::Start() {
  if (Busy() || smtp_.Connected() || popLogin_.Busy()) return false;
  if (!PrepareNext()) return false;
  ++run_;
  smtpHost_ = Trim(settings_.smtpServer);
  ConfigureSmtpClient(settings_, smtp_);
  if (!settings_.popBeforeSmtp) {
    StartSmtp();
    return true;
  }
  phase_ = Phase::PopLogin;
  try {
    popLogin_.Start(settings_);
  } catch (const std::exception& error) {
    Fail(error.what());
  }
  return true;
}

void OutboxSender::Abort() {
  ++run_;
  phase_ = Phase::Idle;
  smtp_.Abort();
  popLogin_.Abort();
}

bool OutboxSender::PrepareNext() {
  auto mail = PrepareOutboxMail(store_);
  if (!mail) return false;
  mail_ = std::move(*mail);
  mail_.date = clock_.Now();
  wireLinesReady_ = false;
  return true;
}

void OutboxSender::StartSmtp() {
  phase_ = Phase::Smtp;
  try {
    smtp_.Connect();
  } catch (const std::exception& error) {
    Fail(error.what());
  }
}

// --- SMTP ------------------------------------------------------------------------

void OutboxSender::SmtpRequestDone(TSmtpRequest type, std::uint16_t error) {
  // The recipients of one mail must never reach the next.
  smtp_.HdrToAddress.clear();
  smtp_.HdrRcptName.clear();
  smtp_.HdrCcAddress.clear();
  smtp_.HdrCcName.clear();
  smtp_.RcptToAddress.clear();
  smtp_.RcptToName.clear();

  if (phase_ == Phase::Quitting) {
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

void OutboxSender::SmtpSessionClosed() {
  if (phase_ == Phase::Quitting) FinishClosed();
}

void OutboxSender::FillMessage() {
  const std::vector<Recipient> to = ParseRecipients(mail_.to);
  const std::vector<Recipient> cc = ParseRecipients(mail_.cc);
  if (to.empty() && cc.empty()) {
    Fail(Sj("宛先が指定されていません"));
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
  smtp_.HdrFrom = settings_.mailAddress;
  smtp_.HdrFromName = settings_.myName;
  smtp_.FromName = settings_.mailAddress;
  // Stored values may come from received mail: none may add a header line.
  smtp_.HdrSubject = SingleLine(mail_.subject);
  smtp_.HdrXMailer = kXMailer;
  mail_.messageId = MakeMessageId(mail_.date, random_, smtpHost_);
  smtp_.HdrMessageId = mail_.messageId;
  smtp_.HdrXAnimationID = SingleLine(mail_.characterId);
  smtp_.HdrInReplyTo = SingleLine(mail_.inReplyTo);
  smtp_.HdrReferences = SingleLine(mail_.references);
  wireLinesReady_ = false;
  smtp_.SetEmailFiles(mail_.files);
  smtp_.Mail();
}

void OutboxSender::MailAccepted() {
  // The server has the mail: if it cannot leave the outbox, going on would
  // send it again on the next round, so the run stops here.
  if (store_.TakeFirstOutboxToSent(mail_.date, mail_.messageId) != StoreResult::Done) {
    Fail(Sj("送信したメールを送信済みに移せませんでした: ") + mail_.subject);
    return;
  }
  OutboxSent sent{mail_.subject, mail_.messageId, mail_.characterId, mail_.missingFiles};
  PostEvent([this, sent] {
    if (OnSent) OnSent(sent);
  });
  if (!PrepareNext()) {
    // The store removes emptied files; what is left of a broken file goes too.
    platform::DeleteFileInside(store_.StoreFolder(), store_.HeaderPath(FolderKind::Outbox));
    platform::DeleteFileInside(store_.StoreFolder(), store_.BodyPath(FolderKind::Outbox));
    phase_ = Phase::Quitting;
    try {
      smtp_.Quit();
    } catch (const std::exception&) {
      FinishClosed();
    }
    return;
  }
  if (smtp_.Connected()) {
    smtp_.Helo();
  } else {
    StartSmtp();
  }
}

void OutboxSender::GetData(int lineNum, std::string& line, int maxLen, bool& more) {
  if (!wireLinesReady_) {
    const std::size_t room = maxLen > 1 ? static_cast<std::size_t>(maxLen - 1) : kMaxWireLineBytes;
    wireLines_ = BodyWireLines(TextWithFooter(mail_.text), std::min(kMaxWireLineBytes, room));
    wireLinesReady_ = true;
  }
  if (lineNum < 1 || static_cast<std::size_t>(lineNum) > wireLines_.size()) {
    more = false;
    return;
  }
  line = wireLines_[static_cast<std::size_t>(lineNum - 1)];
}

// --- ending ----------------------------------------------------------------------------

void OutboxSender::Fail(const std::string& text) {
  phase_ = Phase::Ending;
  if (smtp_.Connected() || smtp_.State() != smtpReady) smtp_.Abort();
  popLogin_.Abort();
  PostEvent([this, text] {
    phase_ = Phase::Idle;
    if (OnFailed) OnFailed(text);
  });
}

void OutboxSender::FinishClosed() {
  phase_ = Phase::Ending;
  if (smtp_.Connected()) smtp_.Abort();
  PostEvent([this] {
    phase_ = Phase::Idle;
    if (OnClosed) OnClosed();
  });
}

void OutboxSender::PostEvent(std::function<void()> event) {
  loop_.Post(guard_.Bind([this, run = run_, event = std::move(event)] {
    if (run == run_) event();
  }));
}

}  // namespace mf
