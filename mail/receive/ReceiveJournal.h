#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace mf {

// One fetched message on its way into the inbox.
struct JournalEntry {
  enum class State {
    Fetched,  // its temporary file is on disk; nothing of it is in the inbox
    Decoded,  // its attachments are written and its records may be appended
    Rejected,  // no mail: kept aside as `file`, its id to be recorded
  };
  std::string file;  // the temporary file's name in the program folder ("MailNo3.txt")
  std::string uidl;  // empty on a server without UIDL
  bool deleteOnServer = false;
  // Whether the temporary file was synced before it was journalled. A file
  // left on the server is not: after a crash it may be short, so the next
  // run drops such an entry unless its records made it, and fetches the
  // message again.
  bool durable = true;
  State state = State::Fetched;
  // Decoded only: the inbox's record count before the append, a fingerprint
  // of the header record appended, and the attachment folder made.
  std::size_t recordsBefore = 0;
  std::string fingerprint;
  std::string attachmentFolder;
};

// The small journal of a receive run in the program folder: which temporary
// file holds which message and how far it got. It is rewritten atomically at
// every step, so after a crash the next run knows exactly which messages to
// store before it fetches anything, and stores each of them once.
class ReceiveJournal {
 public:
  static constexpr const char* kFileName = "ReceiveJournal.dat";

  explicit ReceiveJournal(std::string programFolder);

  // A missing file is an empty journal; false when it cannot be read.
  bool Load();
  bool Save() const;

  // The account whose UIDL record the entries belong to.
  const std::string& UidlRecordPath() const { return uidlRecordPath_; }
  void SetUidlRecordPath(std::string path) { uidlRecordPath_ = std::move(path); }

  std::vector<JournalEntry>& Entries() { return entries_; }
  const std::vector<JournalEntry>& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }
  const std::string& Path() const { return path_; }

  // Attachment folders made for mail not yet journalled as decoded. A crash
  // before the journal names them would leave them behind: the next run
  // removes those no entry names. The names are only appended, not synced,
  // for a folder whose making did not reach the disk is not there either.
  static constexpr const char* kFoldersFileName = "ReceiveFolders.dat";
  bool NoteFolder(const std::string& folder) const;
  std::vector<std::string> NotedFolders() const;
  // The journal now names every folder noted so far, or they are gone.
  void ForgetNotedFolders() const;

 private:
  std::string path_;
  std::string foldersPath_;
  std::string uidlRecordPath_;
  std::vector<JournalEntry> entries_;
};

// A short stable fingerprint of some bytes (64-bit FNV-1a in hexadecimal).
std::string Fingerprint(std::string_view bytes);

}  // namespace mf
