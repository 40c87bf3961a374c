#include "mail/receive/ReceiveController.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/receive/InboxRepair.h"
#include "mail/send/ClientFailure.h"
#include "net/NetErrors.h"
#include "platform/Files.h"
#include "settings/ClientSetup.h"
#include "settings/LiveSettings.h"

namespace mf {
namespace {

// What the user reads when a file of the run could not be written. Nothing
// is lost: what the server gave up is in the run's files, which the next
// run takes in, and the rest is still on the server.
std::string WriteFailureText(const std::string& path, int error) {
  const bool full = error == ENOSPC || error == EDQUOT || error == EFBIG;
  return Sj(full ? "ディスクの空きが足りないため、受信したメールを保存できませんでした。"
                 : "受信したメールを保存できませんでした。") +
         "\r\n" + path + "\r\n" +
         Sj("メールは失われていません。空きを作ってからもう一度受信すると、続きから保存します。");
}

// The step of the session a request failed at (ServerFailure::step).
std::string StepOf(Pop3Request type, int error, const std::string& lastResponse) {
  switch (type) {
    // Connect takes in the greeting, and STLS with its handshake when asked
    // for: a connect that failed after a greeting failed there.
    case Pop3Request::Connect: return IsTlsError(error) || lastResponse.rfind("+OK", 0) == 0 ? "STLS" : "greeting";
    case Pop3Request::User: return "USER";
    case Pop3Request::Pass: return "PASS";
    case Pop3Request::Capa: return "CAPA";
    case Pop3Request::Stat: return "STAT";
    case Pop3Request::Uidl: return "UIDL";
    case Pop3Request::Retr: return "RETR";
    case Pop3Request::Dele: return "DELE";
    case Pop3Request::Quit: return "QUIT";
    default: return {};
  }
}

std::string TemporaryFileName(int number) { return "MailNo" + std::to_string(number) + ".txt"; }

// How much of a message arriving is held before it goes to its file.
constexpr std::size_t kFetchedPiece = std::size_t{1} << 20;

bool IsTemporaryFileName(const std::string& name) {
  constexpr std::string_view kStem = "MailNo", kEnd = ".txt";
  if (name.size() <= kStem.size() + kEnd.size() || !StartsWith(name, kStem) ||
      name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) != 0) {
    return false;
  }
  for (std::size_t i = kStem.size(); i < name.size() - kEnd.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

// Work per loop step: the windows stay responsive while files are synced.
constexpr auto kSyncSlice = std::chrono::milliseconds(40);
// The same for decoding: a message of many megabytes is decoded over many
// steps.
constexpr auto kDecodeSlice = std::chrono::milliseconds(40);
// Mails appended together with one sync; a batch is closed early once its
// messages reach kBatchBytes, so that syncing their attachments stays short.
constexpr std::size_t kBatchMails = 256;
constexpr std::uint64_t kBatchBytes = 4u * 1024u * 1024u;

}  // namespace

ReceiveController::ReceiveController(platform::EventLoop& loop, const LiveSettings& settings,
                                     const MailStore& store, ReceivingHut& hut, RandomGenerator& random,
                                     const Clock& clock)
    : loop_(loop),
      settings_(settings),
      store_(store),
      intake_(store, hut, random, clock),
      pop_(loop),
      journal_(store.ProgramFolder()) {
  pop_.OnRequestDone = [this](Pop3Client&, Pop3Request type, std::uint16_t error) {
    Pop3ClientRequestDone(type, error);
  };
  pop_.OnMessageLine = [this](Pop3Client&) { Pop3ClientMessageLine(); };
  // Seen before dot-unstuffing, so a piece that began with ".." still shows its length.
  pop_.OnUidlLine = [this](Pop3Client& sender) { uidls_[sender.MsgNum()] = sender.MsgUidl(); };
  pop_.OnSessionClosed = [this](Pop3Client&, std::uint16_t) { Pop3ClientSessionClosed(); };
  intake_.OnCheckpoint = [this](std::string_view point) { Checkpoint(point); };
  // Best effort: a folder that cannot be noted is at worst left behind.
  intake_.OnAttachmentFolderMade = [this](const std::string& folder) { journal_.NoteFolder(folder); };
}

ReceiveController::~ReceiveController() = default;

void ReceiveController::Post(std::function<void()> step) {
  loop_.Post(guard_.Bind([this, attempt = attempt_, step = std::move(step)] {
    if (attempt == attempt_ && phase_ != Phase::Idle) step();
  }));
}

void ReceiveController::Checkpoint(std::string_view point) {
  if (OnCheckpoint) OnCheckpoint(point);
}

ReceiveStart ReceiveController::Receive(ReceiveTrigger trigger) {
  if (phase_ != Phase::Idle) return ReceiveStart::Busy;
  if (Trim(settings_.pop3Server).empty()) return ReceiveStart::Failed;
  ++attempt_;
  trigger_ = trigger;
  switches_ = {settings_.mailLeave, settings_.leaveOtherMailer, settings_.rcvOnlyFromThisMailer};
  uidlRecord_ = std::make_unique<UidlRecord>(
      UidlRecord::PathFor(store_.ProgramFolder(), settings_.pop3Server, settings_.pop3User));
  count_ = number_ = fetched_ = stored_ = rejected_ = 0;
  uidlSupported_ = true;
  uidls_.clear();
  quitting_ = false;
  endAfterQuit_ = ReceiveEnd::Done;
  whyAfterQuit_.clear();
  nextEntry_ = 0;
  batch_.clear();
  batchBytes_ = 0;
  fetchedEntries_.clear();
  syncedEntries_ = 0;
  toDelete_.clear();
  nextDelete_ = 0;
  phase_ = Phase::Recovering;
  Post([this] {
    if (RepairInboxPair(store_) == RepairResult::Failed) return Fail("cannot repair the inbox files");
    if (!journal_.Load()) return Fail("cannot read " + journal_.Path());
    RemoveUnjournalledFolders();
    if (!uidlRecord_->Load()) return Fail("cannot read " + uidlRecord_->Path());
    ForgetStrayFiles();
    StoreJournal([this] { StartSession(); });
  });
  return ReceiveStart::Started;
}

void ReceiveController::Abort() {
  if (phase_ == Phase::Idle) return;
  ++attempt_;
  phase_ = Phase::Idle;
  DiscardBatch();
  DropPartialFetch();
  pop_.Abort();
}

// Attachment folders a killed run made for mail it never journalled as
// decoded: that mail is decoded again from its file, into a new folder.
void ReceiveController::RemoveUnjournalledFolders() {
  for (const std::string& folder : journal_.NotedFolders()) {
    // Only a folder right in the store folder, as the decoder makes them.
    const std::string path = store_.StoreFolder() + folder;
    if (folder == "." || folder == ".." || folder.find_first_of("/\\") != std::string::npos ||
        !platform::DirectoryExists(path)) {
      continue;
    }
    const bool journalled = std::any_of(journal_.Entries().begin(), journal_.Entries().end(),
                                        [&](const JournalEntry& entry) { return entry.attachmentFolder == folder; });
    if (!journalled) platform::RemoveFolderTreeInside(store_.StoreFolder(), path);
  }
  journal_.ForgetNotedFolders();
}

// Decoded mail that will not be appended leaves no attachment folder behind;
// its journal entry still says fetched, so the next run decodes it again.
void ReceiveController::DiscardBatch() {
  if (entryBegun_) {
    intake_.CancelDecode(decoding_);
    entryBegun_ = false;
  }
  for (const auto& batched : batch_) intake_.Discard(batched.message);
  batch_.clear();
  batchBytes_ = 0;
}

// --- the session -------------------------------------------------------------

template <typename F>
void ReceiveController::Request(Pop3Request type, F start) {
  awaiting_ = type;
  try {
    start();
  } catch (const Pop3Exception& error) {
    Fail(error.what());
  }
}

void ReceiveController::StartSession() {
  phase_ = Phase::Session;
  // The port setting is honoured; the usual port of the chosen encryption
  // when it is empty.
  ConfigurePop3Client(settings_, pop_);
  Request(Pop3Request::Connect, [this] { pop_.Connect(); });
}

void ReceiveController::Pop3ClientRequestDone(Pop3Request type, std::uint16_t error) {
  // A completion of an aborted run can arrive after the next run started.
  if (phase_ != Phase::Session || type != awaiting_) return;
  if (type == Pop3Request::Quit) {
    if (endAfterQuit_ != ReceiveEnd::Done) return Finish(endAfterQuit_, whyAfterQuit_);
    return SessionOver();
  }
  if (error != 0) {
    // Only the server's refusal is a wrong password; a connection lost on
    // the way is a failure like any other, told with its step.
    if (type == Pop3Request::Pass && error < 600) return QuitThenFinish(ReceiveEnd::PasswordRejected, pop_.ErrorMessage());
    // CAPA is RFC 2449's; an older server simply fetches one message at a time.
    if (type == Pop3Request::Capa && pop_.Connected()) return Request(Pop3Request::Stat, [this] { pop_.Stat(); });
    if (type == Pop3Request::Uidl && pop_.Connected()) {
      // RFC 1939 makes UIDL optional: without it every message is fetched.
      uidlSupported_ = false;
      uidls_.clear();
      return FetchAll();
    }
    const std::string& reply = pop_.ErrorMessage().empty() ? pop_.LastResponse() : pop_.ErrorMessage();
    // The user learns which server failed, on which port and why, as a
    // failed send tells of the SMTP server.
    return Fail(reply + " (error " + std::to_string(error) + ")",
                ServerFailureText(ServerFailure{"POP3", pop_.Host(), pop_.Port(), error, pop_.ErrorMessage(),
                                                pop_.LastResponse(), StepOf(type, error, pop_.LastResponse())}));
  }
  switch (type) {
    case Pop3Request::Connect: return Request(Pop3Request::User, [this] { pop_.User(); });
    case Pop3Request::User: return Request(Pop3Request::Pass, [this] { pop_.Pass(); });
    case Pop3Request::Pass: return Request(Pop3Request::Capa, [this] { pop_.Capa(); });
    case Pop3Request::Capa: return Request(Pop3Request::Stat, [this] { pop_.Stat(); });
    case Pop3Request::Stat:
      count_ = pop_.MsgCount();
      if (count_ <= 0) return QuitThenFinish(ReceiveEnd::Done, {});
      pop_.SetMsgNum(0);
      return Request(Pop3Request::Uidl, [this] { pop_.Uidl(); });
    case Pop3Request::Uidl: return FetchAll();
    case Pop3Request::Retr: return MessageFetched();
    case Pop3Request::Dele:
      Checkpoint("dele");
      return DeleteNext();
    default: return;
  }
}

bool ReceiveController::StoredBefore(int number) const {
  const std::string uidl = UidlOf(number);
  return !uidl.empty() && uidlRecord_->Contains(uidl);
}

void ReceiveController::FetchAll() {
  // Told in advance, the client asks for the next messages while the
  // server is still sending one.
  std::vector<int> numbers;
  for (int number = number_ + 1; number <= count_; ++number) {
    if (!StoredBefore(number)) numbers.push_back(number);
  }
  pop_.SetRetrAhead(std::move(numbers));
  FetchNext();
}

void ReceiveController::FetchNext() {
  while (++number_ <= count_) {
    if (StoredBefore(number_)) {
      const std::string uidl = UidlOf(number_);
      // Stored already; its deletion waits when a crash came before QUIT.
      if (uidlRecord_->DeletePending(uidl)) toDelete_.push_back(number_);
      continue;
    }
    message_.clear();
    pendingLine_.clear();
    probe_.Reset();
    // Not durable yet and not journalled: until CommitFetched a crash leaves
    // the message on the server, and a stray file the next run removes.
    fetchFile_ = TemporaryFileName(number_);
    fetchErrno_ = platform::WriteFileUnsynced(store_.ProgramFolder() + fetchFile_, std::string()) ? 0 : errno;
    pop_.SetMsgNum(number_);
    return Request(Pop3Request::Retr, [this] { pop_.Retr(); });
  }
  CommitFetched();
}

void ReceiveController::Pop3ClientMessageLine() {
  const std::string& piece = pop_.LastResponse();
  pendingLine_ += piece;
  // A long line comes in pieces; it ends with the piece that is not cut.
  if (pop_.LineContinues()) return;
  probe_.Line(pendingLine_);
  message_ += pendingLine_;
  message_ += "\r\n";
  pendingLine_.clear();
  if (message_.size() >= kFetchedPiece) WriteFetched();
}

void ReceiveController::WriteFetched() {
  if (fetchErrno_ == 0 && !message_.empty() &&
      !platform::AppendFile(store_.ProgramFolder() + fetchFile_, message_)) {
    fetchErrno_ = errno;
  }
  message_.clear();
}

void ReceiveController::DropPartialFetch() {
  if (fetchFile_.empty()) return;
  platform::DeleteFileInside(store_.ProgramFolder(), store_.ProgramFolder() + fetchFile_);
  fetchFile_.clear();
  message_.clear();
}

void ReceiveController::MessageFetched() {
  if (!pendingLine_.empty()) {
    message_ += pendingLine_;
    message_ += "\r\n";
    pendingLine_.clear();
  }
  WriteFetched();
  const std::string file = fetchFile_;
  if (fetchErrno_ != 0) {
    const std::string path = store_.ProgramFolder() + file;
    errno = fetchErrno_;
    return FailToWrite(path);
  }
  const bool fromThisMailer = probe_.FromThisMailer();
  const bool remove = DeleteOnServer(switches_, fromThisMailer);
  if (!KeepLocally(switches_, fromThisMailer)) DropPartialFetch();
  fetchFile_.clear();
  if (KeepLocally(switches_, fromThisMailer)) {
    JournalEntry entry;
    entry.file = file;
    entry.uidl = UidlOf(number_);
    entry.deleteOnServer = remove;
    // Only a message deleted on the server needs its file on disk first;
    // one left there can be fetched again.
    entry.durable = remove;
    fetchedEntries_.push_back(std::move(entry));
    ++fetched_;
    Checkpoint("retr");
  }
  message_.clear();
  if (remove) toDelete_.push_back(number_);
  FetchNext();
}

void ReceiveController::CommitFetched() {
  while (syncedEntries_ < fetchedEntries_.size() && !fetchedEntries_[syncedEntries_].durable) ++syncedEntries_;
  if (syncedEntries_ < fetchedEntries_.size()) {
    // One fsync after another costs far less than each after its own write,
    // but a thousand of them still take seconds: a slice per loop step.
    const auto until = std::chrono::steady_clock::now() + kSyncSlice;
    do {
      const std::string path = store_.ProgramFolder() + fetchedEntries_[syncedEntries_].file;
      if (!platform::SyncFile(path)) return FailToWrite(path);
      do {
        ++syncedEntries_;
      } while (syncedEntries_ < fetchedEntries_.size() && !fetchedEntries_[syncedEntries_].durable);
    } while (syncedEntries_ < fetchedEntries_.size() && std::chrono::steady_clock::now() < until);
    if (syncedEntries_ < fetchedEntries_.size()) return Post([this] { CommitFetched(); });
  }
  const bool anyDurable =
      std::any_of(fetchedEntries_.begin(), fetchedEntries_.end(), [](const JournalEntry& e) { return e.durable; });
  journal_.SetUidlRecordPath(uidlRecord_->Path());
  for (auto& entry : fetchedEntries_) journal_.Entries().push_back(std::move(entry));
  fetchedEntries_.clear();
  syncedEntries_ = 0;
  // Mail that stays on the server is journalled with its first batch.
  if (anyDurable) {
    // The files' names too, before the journal that names them.
    if (!platform::SyncFolder(store_.ProgramFolder())) return FailToWrite(store_.ProgramFolder());
    if (!journal_.Save()) return FailToWrite(journal_.Path());
    Checkpoint("journal");
  }
  DeleteNext();
}

void ReceiveController::DeleteNext() {
  if (nextDelete_ < toDelete_.size()) {
    pop_.SetMsgNum(toDelete_[nextDelete_++]);
    return Request(Pop3Request::Dele, [this] { pop_.Dele(); });
  }
  QuitThenFinish(ReceiveEnd::Done, {});
}

// A temporary file that no journal names was never made durable and its
// message never deleted on the server: the message is fetched again.
void ReceiveController::ForgetStrayFiles() const {
  const std::string folder = store_.ProgramFolder();
  for (const std::string& name : platform::ListFolder(folder, "MailNo*.txt", platform::ListKind::FilesOnly)) {
    if (!IsTemporaryFileName(name)) continue;
    bool journalled = false;
    for (const auto& entry : journal_.Entries()) journalled = journalled || entry.file == name;
    if (!journalled) platform::DeleteFileInside(folder, folder + name);
  }
}

void ReceiveController::QuitThenFinish(ReceiveEnd end, std::string why) {
  endAfterQuit_ = end;
  whyAfterQuit_ = std::move(why);
  if (quitting_) return;
  quitting_ = true;
  if (!pop_.Connected()) {
    if (end != ReceiveEnd::Done) return Finish(end, whyAfterQuit_);
    return SessionOver();
  }
  Request(Pop3Request::Quit, [this] { pop_.Quit(); });
}

void ReceiveController::Pop3ClientSessionClosed() {
  loop_.Post(guard_.Bind([this] {
    if (OnSessionClosed) OnSessionClosed();
  }));
}

void ReceiveController::SessionOver() {
  // The server has committed its deletions: ids it no longer lists are gone.
  if (uidlSupported_ && !uidls_.empty()) {
    std::set<std::string> listed;
    for (const auto& [number, uidl] : uidls_) listed.insert(uidl);
    uidlRecord_->RetainOnly(listed);
    if (!uidlRecord_->Save()) return FailToWrite(uidlRecord_->Path());
  }
  phase_ = Phase::Storing;
  Post([this] {
    StoreJournal([this] {
      const bool nothingNew = fetched_ == 0 && stored_ == 0 && rejected_ == 0;
      Finish(nothingNew ? ReceiveEnd::NoNewMail : ReceiveEnd::Done);
    });
  });
}

std::string ReceiveController::UidlOf(int number) const {
  if (!uidlSupported_) return {};
  auto found = uidls_.find(number);
  return found == uidls_.end() ? std::string() : found->second;
}

void ReceiveController::FailToWrite(const std::string& path) {
  // errno of the write or sync that just failed.
  const int error = errno;
  Fail("cannot write " + path + ": " + std::strerror(error), WriteFailureText(path, error));
}

void ReceiveController::Fail(std::string why, std::string userText) {
  if (pop_.Connected() || pop_.State() != ClientState::Ready) pop_.Abort();
  userText_ = std::move(userText);
  Finish(ReceiveEnd::Failed, std::move(why));
}

void ReceiveController::Finish(ReceiveEnd end, std::string why) {
  if (phase_ == Phase::Idle) return;
  phase_ = Phase::Idle;
  DiscardBatch();
  DropPartialFetch();
  ReceiveSummary summary;
  summary.end = end;
  summary.trigger = trigger_;
  summary.stored = stored_;
  summary.rejected = rejected_;
  summary.error = std::move(why);
  summary.userText = std::exchange(userText_, std::string());
  loop_.Post(guard_.Bind([this, summary = std::move(summary)] {
    if (OnFinished) OnFinished(summary);
  }));
}

// --- into the inbox -----------------------------------------------------------

UidlRecord* ReceiveController::JournalRecord() {
  if (journal_.Empty() || journal_.UidlRecordPath() == uidlRecord_->Path()) return uidlRecord_.get();
  // Left by a run for another account: its ids belong to that account.
  if (!journalRecord_ || journalRecord_->Path() != journal_.UidlRecordPath()) {
    journalRecord_ = std::make_unique<UidlRecord>(journal_.UidlRecordPath());
    if (!journalRecord_->Load()) {
      journalRecord_.reset();
      return nullptr;
    }
  }
  return journalRecord_.get();
}

void ReceiveController::StoreJournal(std::function<void()> next) {
  UidlRecord* record = JournalRecord();
  if (record == nullptr) return Fail("cannot read " + journal_.UidlRecordPath());
  if (nextEntry_ < journal_.Entries().size()) {
    switch (DecodeEntry(nextEntry_, *record)) {
      case EntryStep::Failed: return;
      case EntryStep::Pending:
        return Post([this, next = std::move(next)]() mutable { StoreJournal(std::move(next)); });
      case EntryStep::Settled: break;
    }
    ++nextEntry_;
    const bool last = nextEntry_ == journal_.Entries().size();
    if (!batch_.empty() && (last || batch_.size() >= kBatchMails || batchBytes_ >= kBatchBytes)) {
      return Post([this, next = std::move(next)]() mutable { CommitBatch(std::move(next)); });
    }
    return Post([this, next = std::move(next)]() mutable { StoreJournal(std::move(next)); });
  }
  // Every entry is in the inbox: one write of the ids, then the journal goes.
  if (!journal_.Empty()) {
    if (!record->Save()) return FailToWrite(record->Path());
    Checkpoint("uidl");
    journal_.Entries().clear();
    if (!journal_.Save()) return FailToWrite(journal_.Path());
  }
  nextEntry_ = 0;
  next();
}

bool ReceiveController::AlreadyStored(const JournalEntry& entry) const {
  const std::vector<HeaderRecord> records = store_.ReadHeaderRecords(FolderKind::Inbox);
  return records.size() > entry.recordsBefore &&
         Fingerprint(FormatHeaderRecord(records[entry.recordsBefore])) == entry.fingerprint;
}

std::string ReceiveController::KeepAside(const std::string& file) const {
  const std::string folder = store_.ProgramFolder();
  const std::string stem = file.size() > 4 ? file.substr(0, file.size() - 4) : file;
  std::string kept = stem + "bad.txt";
  for (int number = 2; platform::FileExists(folder + kept); ++number) {
    kept = stem + "bad" + std::to_string(number) + ".txt";
  }
  return platform::RenameFile(folder + file, folder + kept) ? kept : file;
}

// The mail is in the inbox (or kept aside): its id joins the record, which
// is written once the whole journal is through.
void ReceiveController::EntryDone(JournalEntry& entry, UidlRecord& record) {
  record.Add(entry.uidl, entry.deleteOnServer);
  const std::string folder = store_.ProgramFolder();
  if (entry.state != JournalEntry::State::Rejected) platform::DeleteFileInside(folder, folder + entry.file);
}

// Decodes one entry into the batch a slice per call, or settles it at once
// when it needs no append.
ReceiveController::EntryStep ReceiveController::DecodeEntry(std::size_t index, UidlRecord& record) {
  JournalEntry& entry = journal_.Entries()[index];
  const std::string folder = store_.ProgramFolder();
  const std::string path = folder + entry.file;

  std::optional<DecodeOutcome> outcome;
  if (!entryBegun_) {
    if (entry.state == JournalEntry::State::Rejected) {
      EntryDone(entry, record);
      return EntryStep::Settled;
    }
    if (entry.state == JournalEntry::State::Decoded) {
      if (AlreadyStored(entry)) {
        EntryDone(entry, record);
        return EntryStep::Settled;
      }
      // Attachments written before the crash would be written again.
      if (!entry.attachmentFolder.empty()) {
        platform::RemoveFolderTreeInside(store_.StoreFolder(), store_.StoreFolder() + entry.attachmentFolder);
      }
    }
    if (!entry.durable && phase_ == Phase::Recovering) {
      // The file may have been cut by the crash; the server still has the
      // message, and without its id in the record it is fetched again.
      platform::DeleteFileInside(folder, path);
      return EntryStep::Settled;
    }
    decodingBytes_ = platform::FileSize(path).value_or(0);
    if (intake_.BeginDecode(path, decoding_)) {
      entryBegun_ = true;
    } else {
      outcome = DecodeOutcome::Unreadable;
    }
  }
  if (entryBegun_) {
    outcome = intake_.ContinueDecode(decoding_, kDecodeSlice);
    if (!outcome) return EntryStep::Pending;
    entryBegun_ = false;
  }

  switch (*outcome) {
    case DecodeOutcome::Decoded: break;
    case DecodeOutcome::Rejected: {
      entry.file = KeepAside(entry.file);
      entry.state = JournalEntry::State::Rejected;
      // Kept for the user and never fetched again: it must outlive a crash.
      if (!entry.durable && !platform::SyncFiles({folder + entry.file})) {
        FailToWrite(folder + entry.file);
        return EntryStep::Failed;
      }
      if (!journal_.Save()) {
        FailToWrite(journal_.Path());
        return EntryStep::Failed;
      }
      ++rejected_;
      EntryDone(entry, record);
      if (OnMailRejected) OnMailRejected(folder + entry.file);
      return EntryStep::Settled;
    }
    case DecodeOutcome::Unreadable:
      // Gone from disk: nothing to store; the server still has it unless deleted.
      if (!platform::FileExists(path)) return EntryStep::Settled;
      Fail("cannot read " + path);
      return EntryStep::Failed;
    case DecodeOutcome::WriteError:
      FailToWrite(path);
      return EntryStep::Failed;
  }
  if (!decoding_.attachmentFolder.empty()) Checkpoint("attachments");
  Batched batched{index, std::exchange(decoding_, DecodedMessage{}), {}};
  batched.character = intake_.ChooseCharacter(batched.message);
  batch_.push_back(std::move(batched));
  batchBytes_ += decodingBytes_;
  return EntryStep::Settled;
}

void ReceiveController::CommitBatch(std::function<void()> next) {
  UidlRecord* record = JournalRecord();
  if (record == nullptr) return Fail("cannot read " + journal_.UidlRecordPath());
  // Journalled as decoded, with where each record will stand, before the
  // first byte is appended: after a crash the fingerprints tell whether the
  // records made it.
  const std::size_t recordsBefore = store_.RecordCount(FolderKind::Inbox);
  std::vector<const DecodedMessage*> messages;
  for (std::size_t i = 0; i < batch_.size(); ++i) {
    JournalEntry& entry = journal_.Entries()[batch_[i].entry];
    entry.state = JournalEntry::State::Decoded;
    entry.recordsBefore = recordsBefore + i;
    entry.fingerprint = InboxIntake::HeaderFingerprint(batch_[i].message);
    entry.attachmentFolder = batch_[i].message.attachmentFolder;
    messages.push_back(&batch_[i].message);
  }
  if (!journal_.Save()) {
    const int error = errno;
    DiscardBatch();
    errno = error;
    return FailToWrite(journal_.Path());
  }
  journal_.ForgetNotedFolders();
  Checkpoint("decoded");
  if (!intake_.AppendAll(messages)) {
    const int error = errno;
    DiscardBatch();
    errno = error;
    return FailToWrite(store_.BodyPath(FolderKind::Inbox));
  }
  Checkpoint("appended");
  std::vector<ArrivedMail> arrived;
  for (std::size_t i = 0; i < batch_.size(); ++i) {
    EntryDone(journal_.Entries()[batch_[i].entry], *record);
    arrived.push_back(InboxIntake::ArrivedMailOf(batch_[i].message, batch_[i].character, recordsBefore + i));
  }
  stored_ += static_cast<int>(batch_.size());
  batch_.clear();
  batchBytes_ = 0;
  // Presented from the next step: appending a large mail and filling the
  // viewer with it in one step would hold the loop for both.
  Post([this, arrived = std::move(arrived), next = std::move(next)]() mutable {
    const unsigned attempt = attempt_;
    for (const ArrivedMail& mail : arrived) {
      if (OnMailStored) OnMailStored(mail);
      // The viewer may have run the common error routine meanwhile; the rest
      // of the batch is in the inbox all the same.
      if (attempt != attempt_ || phase_ == Phase::Idle) return;
    }
    Post([this, next = std::move(next)]() mutable { StoreJournal(std::move(next)); });
  });
}

}  // namespace mf
