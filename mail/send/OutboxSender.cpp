#include "mail/send/OutboxSender.h"

#include <algorithm>

#include "base/ShiftJis.h"
#include "mail/send/ReEdit.h"
#include "mail/store/MailStatus.h"
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
  if (failure.maybeDelivered) return failure.text + "\r\n\r\n" + UnconfirmedMailText();
  return failure.text + "\r\n\r\n" + Sj("送れなかったメールは「送信待ち」に残っています。");
}

std::optional<OutboxMail> PrepareOutboxMail(const MailStore& store) {
  const auto records = store.ReadHeaderRecords(FolderKind::Outbox);
  std::size_t index = 0;
  while (index < records.size() && (records[index].status == StatusWord(MailStatus::Unconfirmed) ||
                                    records[index].status == StatusWord(MailStatus::UnconfirmedReply))) {
    ++index;
  }
  if (index >= records.size()) return std::nullopt;
  const std::string stored = store.ReadBodyRecord(FolderKind::Outbox, index);
  const ReEditValues values = ReadForReEdit(stored);
  OutboxMail mail;
  mail.index = index;
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
  session_.OnFailed = [this](const SendingFailure& failure) { AttemptFailed(failure); };
  session_.OnFinalDot = [this] { return MarkUnconfirmed(); };
  session_.OnStep = [this](std::string_view step) { Checkpoint(step); };
  session_.OnClosed = [this] {
    if (OnClosed) OnClosed();
  };
}

OutboxSender::~OutboxSender() = default;

bool OutboxSender::Start() {
  if (Busy() || !PrepareNext()) return false;
  stuck_ = false;
  marked_ = false;
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

void OutboxSender::Checkpoint(std::string_view point) {
  if (OnCheckpoint) OnCheckpoint(point);
}

std::string OutboxSender::MarkUnconfirmed() {
  if (store_.MarkOutboxUnconfirmed(mail_.index, true) != StoreResult::Done) {
    return Sj("送信待ちのメールに印を付けられないため、送信をやめました: ") + mail_.subject + "\r\n\r\n" +
           Sj("送れなかったメールは「送信待ち」に残っています。");
  }
  marked_ = true;
  Checkpoint("dot");
  return {};
}

void OutboxSender::AttemptFailed(const SendingFailure& failure) {
  // The server answered the "." with a refusal: the mail did not go and
  // waits again. Without an answer it stays marked.
  if (marked_ && !failure.maybeDelivered) store_.MarkOutboxUnconfirmed(mail_.index, false);
  marked_ = false;
  if (OnFailed) OnFailed(stuck_ ? failure.text : OutboxFailureText(failure));
}

void OutboxSender::MailAccepted() {
  Checkpoint("accepted");
  marked_ = false;
  mail_.messageId = session_.MessageId();
  // The server has the mail: if it cannot leave the outbox, going on would
  // send it again on the next round, so the run stops here; it stays
  // marked "送信不明", so that no later run sends it either.
  if (store_.TakeOutboxToSent(mail_.index, mail_.date, mail_.messageId) != StoreResult::Done) {
    stuck_ = true;
    session_.Fail(Sj("送信したメールを送信済みに移せませんでした: ") + mail_.subject);
    return;
  }
  Checkpoint("filed");
  OutboxSent sent{mail_.subject, mail_.messageId, mail_.characterId, mail_.missingFiles};
  session_.Post([this, sent] {
    if (OnSent) OnSent(sent);
  });
  if (PrepareNext()) {
    session_.Send(mail_);
    return;
  }
  // The store removes emptied files; what is left of a broken file goes
  // too, but never the mails kept as "送信不明".
  if (store_.RecordCount(FolderKind::Outbox) == 0) {
    platform::DeleteFileInside(store_.StoreFolder(), store_.HeaderPath(FolderKind::Outbox));
    platform::DeleteFileInside(store_.StoreFolder(), store_.BodyPath(FolderKind::Outbox));
  }
  session_.Quit();
}

}  // namespace mf
