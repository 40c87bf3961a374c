#include "mail/send/OutboxSender.h"

#include <algorithm>

#include "base/ShiftJis.h"
#include "mail/send/ReEdit.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "settings/LiveSettings.h"

namespace mf {

namespace {

std::string WithoutTrailingLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

std::string OutboxFailureText(const SendingFailure& failure) {
  std::string text = failure.text + "\r\n\r\n" + Sj("送れなかったメールは「送信待ち」に残っています。");
  if (failure.maybeDelivered) {
    text += "\r\n" + MaybeDeliveredText();
  }
  return text;
}

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
    : settings_(settings), store_(store), clock_(clock), session_(loop, clock, random) {
  session_.OnAccepted = [this] { MailAccepted(); };
  session_.OnFailed = [this](const SendingFailure& failure) {
    if (OnFailed) OnFailed(stuck_ ? failure.text : OutboxFailureText(failure));
  };
  session_.OnClosed = [this] {
    if (OnClosed) OnClosed();
  };
}

OutboxSender::~OutboxSender() = default;

bool OutboxSender::Start() {
  if (Busy() || !PrepareNext()) return false;
  stuck_ = false;
  session_.Start(settings_, mail_);
  return true;
}

void OutboxSender::Abort() { session_.Abort(); }

bool OutboxSender::PrepareNext() {
  auto mail = PrepareOutboxMail(store_);
  if (!mail) return false;
  mail_ = std::move(*mail);
  mail_.date = clock_.Now();
  return true;
}

void OutboxSender::MailAccepted() {
  mail_.messageId = session_.MessageId();
  // The server has the mail: if it cannot leave the outbox, going on would
  // send it again on the next round, so the run stops here.
  if (store_.TakeFirstOutboxToSent(mail_.date, mail_.messageId) != StoreResult::Done) {
    stuck_ = true;
    session_.Fail(Sj("送信したメールを送信済みに移せませんでした: ") + mail_.subject);
    return;
  }
  OutboxSent sent{mail_.subject, mail_.messageId, mail_.characterId, mail_.missingFiles};
  session_.Post([this, sent] {
    if (OnSent) OnSent(sent);
  });
  if (PrepareNext()) {
    session_.Send(mail_);
    return;
  }
  // The store removes emptied files; what is left of a broken file goes too.
  platform::DeleteFileInside(store_.StoreFolder(), store_.HeaderPath(FolderKind::Outbox));
  platform::DeleteFileInside(store_.StoreFolder(), store_.BodyPath(FolderKind::Outbox));
  session_.Quit();
}

}  // namespace mf
