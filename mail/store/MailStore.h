#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/store/HeaderFile.h"
#include "mail/store/MailFolders.h"
#include "mail/store/MailListEntry.h"
#include "mail/store/MailListRows.h"
#include "mail/store/MailStatus.h"
#include "mail/store/StoreRecords.h"

namespace mf {

enum class StoreResult {
  Done,       // the files changed
  Unchanged,  // nothing to do (no such record, a refused move, ...)
  Failed,     // a file could not be read or written; the files are as before
};

// The mail files in "FileKeep" of a program folder. Every operation opens
// the files it needs, reads or rewrites them and closes them again: there is
// no cache, so two stores over one folder see each other's changes. Files
// are rewritten whole through an atomic replace and appends that fail are
// undone, so a failure never leaves a half-written record.
class MailStore {
 public:
  // Over platform::ProgramFolder().
  MailStore();
  // `programFolder` with its trailing separator.
  explicit MailStore(std::string programFolder);

  const std::string& ProgramFolder() const { return programFolder_; }
  const std::string& StoreFolder() const { return storeFolder_; }  // "FileKeep/" inside it
  std::string HeaderPath(FolderKind folder) const;
  std::string BodyPath(FolderKind folder) const;

  // Creates "FileKeep" and an empty inbox body file when they are missing.
  bool Prepare() const;
  // The import folder is shown only when its header file exists.
  bool HasImportFolder() const;

  // Header records in file order (record index = position); a missing file
  // is an empty folder. ReadHeaderFile copies no line (large folders).
  HeaderFile ReadHeaderFile(FolderKind folder) const;
  std::vector<HeaderRecord> ReadHeaderRecords(FolderKind folder) const;
  std::vector<MailListEntry> ReadListEntries(FolderKind folder) const;
  // The same list as the mail list window keeps it.
  MailListRows ReadListRows(FolderKind folder) const;
  std::size_t RecordCount(FolderKind folder) const;
  std::optional<HeaderRecord> LastHeaderRecord(FolderKind folder) const;
  // The stored text of mail i (header block, empty line, mail text).
  std::string ReadBodyRecord(FolderKind folder, std::size_t index) const;
  // Line 3 of inbox header record i.
  std::optional<std::string> ReadSender(std::size_t index) const;

  // Appends at the end of the folder's files. AppendMail writes both or
  // neither; the receiving flow writes the header record first and the body
  // record when the whole message has been decoded.
  StoreResult AppendMail(FolderKind folder, const HeaderRecord& header, const BodyRecord& body) const;
  StoreResult AppendHeaderRecord(FolderKind folder, const HeaderRecord& header) const;
  StoreResult AppendBodyRecord(FolderKind folder, const BodyRecord& body) const;

  // Names the attachment folder on line 6 of the last inbox header record,
  // only while that line is still empty. The caller leaves character
  // packages out.
  StoreResult FillAttachmentFolder(const std::string& folderName) const;

  // In-place status rewrites of inbox header record i. MarkRead turns
  // "未読" into "既読"; MarkReplied writes "返信" over any 4-byte inbox
  // status. A record whose line 1 is not such a word is left alone.
  StoreResult MarkRead(std::size_t index) const;
  StoreResult MarkReplied(std::size_t index) const;

  // Moves mails (any order, duplicates ignored) to the end of `to`'s files,
  // highest index first. A move the folders do not allow changes nothing.
  // A source file left without records is deleted.
  StoreResult MoveMails(FolderKind from, FolderKind to, std::vector<std::size_t> indices) const;
  StoreResult MoveMail(FolderKind from, FolderKind to, std::size_t index) const {
    return MoveMails(from, to, {index});
  }
  // Removes mails for good, with the attachment files their body records
  // name, as far as those lie in a folder inside "FileKeep".
  StoreResult DeleteMails(FolderKind from, std::vector<std::size_t> indices) const;

  // After the first outbox mail went out: moves it to the sent folder with
  // its sent status, `now` as its date and the Message-ID it was sent with.
  StoreResult TakeFirstOutboxToSent(const DateTime& now, const std::string& messageId) const {
    return TakeOutboxToSent(0, now, messageId);
  }
  // The same for outbox mail i.
  StoreResult TakeOutboxToSent(std::size_t index, const DateTime& now, const std::string& messageId) const;
  // Rewrites the status of outbox header record i in place: "送信不明"
  // ("送信不明返信") when `unconfirmed`, else "送信待ち" ("送信待ち返信").
  StoreResult MarkOutboxUnconfirmed(std::size_t index, bool unconfirmed) const;

  // Deletes the attachments of every trash mail and both trash files; does
  // nothing when the trash has no body file.
  StoreResult EmptyTrash() const;

  // Creates the attachment folder of a received mail from its Message-ID
  // value (" <local@host>", or empty) and returns its name. A name in use
  // gets three hexadecimal digits of a draw below 500; another is drawn
  // while that name is taken too, so two mails never share a folder.
  std::optional<std::string> CreateReceivedAttachmentFolder(const std::string& messageIdValue,
                                                            RandomGenerator& random) const;
  // The full path of an attachment file in an attachment folder, its name
  // made safe.
  std::string AttachmentFilePath(const std::string& folderName, const std::string& fileName) const;

 private:
  struct FilePlan;
  template <typename Transform>
  std::optional<FilePlan> PlanRemoval(const std::string& source, const std::string& target,
                                      const std::vector<std::size_t>& indicesDescending,
                                      Transform transform) const;
  StoreResult Apply(std::vector<FilePlan>& plans) const;
  StoreResult Transfer(FolderKind from, std::optional<FolderKind> to,
                       std::vector<std::size_t> indices) const;
  StoreResult RewriteStatus(std::size_t index, MailStatus status, bool onlyUnread) const;
  bool DeleteFileInStore(const std::string& path) const;
  void DeleteAttachmentFile(const std::string& path) const;

  std::string programFolder_;
  std::string storeFolder_;
};

}  // namespace mf
