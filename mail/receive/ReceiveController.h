#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/receive/InboxIntake.h"
#include "mail/receive/ReceiveJournal.h"
#include "mail/receive/ReceiveRules.h"
#include "mail/receive/UidlRecord.h"
#include "mail/store/MailStore.h"
#include "net/Pop3Client.h"
#include "platform/EventLoop.h"

namespace mf {

class LiveSettings;

// Who started a run: a periodic run never says that no mail came.
enum class ReceiveTrigger { Manual, Periodic };

enum class ReceiveStart {
  Started,  // the run goes on; it ends with OnFinished
  Busy,     // a run is going on already; nothing happened
  Failed,   // no POP3 server is set: the window shows "受信エラー"
};

enum class ReceiveEnd {
  Done,              // mail was stored (or rejected and kept aside)
  NoNewMail,         // nothing new: a manual run shows "新着メッセージはありません。"
  PasswordRejected,  // PASS was refused; the session is over and the window asks for a new password
  Failed,            // a request or a file failed: the common error routine runs
};

struct ReceiveSummary {
  ReceiveEnd end = ReceiveEnd::Done;
  ReceiveTrigger trigger = ReceiveTrigger::Manual;
  int stored = 0;
  int rejected = 0;
  std::string error;  // for Failed: what went wrong (a server reply, a socket error, a file)
  // For Failed: what the user is told (Japanese, Shift_JIS) when it is
  // something they can act on, such as a certificate or an unreachable
  // server; empty otherwise.
  std::string userText;
};

// A receive run: finishes what an interrupted run left in its journal, then
// logs in to the POP3 server, fetches every message not yet stored into a
// temporary file "MailNo" + n + ".txt", makes all those files durable
// together and journals them before any DELE goes out, and after QUIT takes
// the files into the inbox, decoding one per step on the event loop (never
// inside a client callback) and appending them in batches with one sync
// each. The UIDL record keeps mail left on the server from being stored
// twice. The mail list window, the hut and mftool drive it; every event
// comes from the event loop after the call that caused it has returned.
class ReceiveController {
 public:
  ReceiveController(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
                    ReceivingHut& hut, RandomGenerator& random, const Clock& clock);
  ~ReceiveController();
  ReceiveController(const ReceiveController&) = delete;
  ReceiveController& operator=(const ReceiveController&) = delete;

  // Starts a run with the account and switches the settings hold now.
  ReceiveStart Receive(ReceiveTrigger trigger);
  bool Running() const { return phase_ != Phase::Idle; }
  // Ends the session at once without further events (the common error
  // routine); what was fetched stays journalled for the next run.
  void Abort();

  // A mail entered the inbox: the window presents it (a modal viewer may
  // run here; the next mail waits until this returns).
  std::function<void(const ArrivedMail& mail)> OnMailStored;
  // A message was no mail at all; it is kept as `keptAs` in the program
  // folder and never fetched again. The window shows "無効なメール形式です".
  std::function<void(const std::string& keptAs)> OnMailRejected;
  // The POP3 session closed: the window hides its progress windows.
  std::function<void()> OnSessionClosed;
  // The run is over; receiving can start again.
  std::function<void(const ReceiveSummary& summary)> OnFinished;
  // Named points of a run, for tests that stop the program there: "retr"
  // (a temporary file written, not yet durable), "journal" (the fetched
  // files durable and journalled, no DELE sent), "dele", "decoded" (a batch
  // journalled as decoded, nothing appended), "between-appends", "appended"
  // (a batch in the inbox and on disk, its temporary files not yet deleted),
  // "uidl" (the UIDL record written, the journal not yet cleared).
  std::function<void(std::string_view point)> OnCheckpoint;

  Pop3Client& Pop3() { return pop_; }

 private:
  enum class Phase { Idle, Recovering, Session, Storing };

  void Post(std::function<void()> step);
  void Checkpoint(std::string_view point);
  void StartSession();
  void Pop3ClientRequestDone(Pop3Request type, std::uint16_t error);
  void Pop3ClientMessageLine();
  void Pop3ClientSessionClosed();
  template <typename F>
  void Request(Pop3Request type, F start);
  std::string UidlOf(int number) const;
  bool StoredBefore(int number) const;
  void FetchAll();
  void FetchNext();
  void MessageFetched();
  // Syncs the files fetched in this session a slice per step, journals them
  // and then sends the DELEs the run decided on.
  void CommitFetched();
  void DeleteNext();
  void ForgetStrayFiles() const;
  void RemoveUnjournalledFolders();
  void SessionOver();
  void Fail(std::string why, std::string userText = {});
  // A file of the run could not be written (a full disk, most often).
  void FailToWrite(const std::string& path);
  // Appends what has arrived of the message to its temporary file.
  void WriteFetched();
  // Removes the temporary file of a message that did not arrive whole.
  void DropPartialFetch();
  void QuitThenFinish(ReceiveEnd end, std::string why);
  // Decodes the journal's entries one per loop step and appends them in
  // batches, then runs `next`.
  void StoreJournal(std::function<void()> next);
  UidlRecord* JournalRecord();
  enum class EntryStep { Settled, Pending, Failed };
  // Decodes a slice of the entry; Settled once it is in the batch or needs
  // no append, Failed when the run failed.
  EntryStep DecodeEntry(std::size_t index, UidlRecord& record);
  void CommitBatch(std::function<void()> next);
  void DiscardBatch();
  void EntryDone(JournalEntry& entry, UidlRecord& record);
  bool AlreadyStored(const JournalEntry& entry) const;
  std::string KeepAside(const std::string& file) const;
  void Finish(ReceiveEnd end, std::string why = {});

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  const LiveSettings& settings_;
  const MailStore& store_;
  InboxIntake intake_;
  Pop3Client pop_;

  Phase phase_ = Phase::Idle;
  unsigned attempt_ = 0;
  ReceiveTrigger trigger_ = ReceiveTrigger::Manual;
  ReceiveSwitches switches_;
  ReceiveJournal journal_;
  std::size_t nextEntry_ = 0;  // the journal entry to store next
  struct Batched {
    std::size_t entry;  // index into the journal
    DecodedMessage message;
    DeliveringCharacter character;
  };
  std::vector<Batched> batch_;  // decoded, not yet appended
  bool entryBegun_ = false;     // the entry at nextEntry_ is being decoded
  DecodedMessage decoding_;     // what it has given so far
  std::uint64_t decodingBytes_ = 0;
  std::uint64_t batchBytes_ = 0;
  std::vector<JournalEntry> fetchedEntries_;  // written in this session, not yet durable
  std::size_t syncedEntries_ = 0;
  std::vector<int> toDelete_;  // message numbers to delete once the fetched files are journalled
  std::size_t nextDelete_ = 0;
  std::unique_ptr<UidlRecord> uidlRecord_;  // of the account of this run
  std::unique_ptr<UidlRecord> journalRecord_;  // of the account the journal was written for

  int count_ = 0;
  int number_ = 0;
  bool uidlSupported_ = true;
  std::map<int, std::string> uidls_;
  // The message being fetched goes to its temporary file a piece at a time,
  // so that a huge one is never held whole.
  std::string message_;      // what has arrived and is not in the file yet
  std::string fetchFile_;    // its temporary file while it arrives; empty otherwise
  int fetchErrno_ = 0;       // of the first write to it that failed
  std::string pendingLine_;  // a long line arriving in pieces
  XMailerProbe probe_;
  Pop3Request awaiting_ = Pop3Request::Connect;
  bool quitting_ = false;
  ReceiveEnd endAfterQuit_ = ReceiveEnd::Done;
  std::string whyAfterQuit_;
  std::string userText_;  // of the failure being reported
  int fetched_ = 0;
  int stored_ = 0;
  int rejected_ = 0;
};

}  // namespace mf
