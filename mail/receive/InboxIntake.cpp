#include "mail/receive/InboxIntake.h"

#include <cstdint>

#include "base/Text.h"
#include "mail/receive/InboxRepair.h"
#include "mail/receive/ReceiveJournal.h"
#include "mail/send/MailFooter.h"
#include "platform/Files.h"

namespace mf {
namespace {

// What an append changes, to take it back.
struct AppendedTo {
  std::string path;
  bool existed = false;
  std::uint64_t oldSize = 0;
};

// Appends records so that they start on a fresh line.
bool AppendOnFreshLine(const std::string& path, std::string records, AppendedTo& undo) {
  undo.path = path;
  undo.existed = platform::FileExists(path);
  undo.oldSize = undo.existed ? platform::FileSize(path).value_or(0) : 0;
  if (undo.oldSize > 0) {
    auto last = platform::ReadAt(path, undo.oldSize - 1, 1);
    if (!last || last->size() != 1) return false;
    if ((*last)[0] == '\r') records.insert(0, "\n");
    else if ((*last)[0] != '\n') records.insert(0, "\r\n");
  }
  return platform::AppendFile(path, records);
}

void TakeBack(const AppendedTo& undo, const std::string& root) {
  if (undo.existed) {
    platform::TruncateFile(undo.path, undo.oldSize);
  } else {
    platform::DeleteFileInside(root, undo.path);
  }
}

}  // namespace

InboxIntake::InboxIntake(const MailStore& store, ReceivingHut& hut, RandomGenerator& random, const Clock& clock)
    : store_(store), hut_(hut), decoder_(store, random, clock, MailFooterLines()) {
  decoder_.OnFolderMade = [this](const std::string& folder) {
    if (OnAttachmentFolderMade) OnAttachmentFolderMade(folder);
  };
}

DecodeOutcome InboxIntake::Decode(const std::string& path, DecodedMessage& message) {
  const DecodeOutcome outcome = decoder_.Decode(path, message);
  if (outcome != DecodeOutcome::Decoded) Discard(message);
  return outcome;
}

bool InboxIntake::BeginDecode(const std::string& path, DecodedMessage& message) {
  return decoder_.Begin(path, message);
}

std::optional<DecodeOutcome> InboxIntake::ContinueDecode(DecodedMessage& message,
                                                         std::chrono::steady_clock::duration slice) {
  const std::optional<DecodeOutcome> outcome = decoder_.Continue(slice);
  if (outcome && *outcome != DecodeOutcome::Decoded) Discard(message);
  return outcome;
}

void InboxIntake::CancelDecode(DecodedMessage& message) {
  decoder_.Cancel();
  Discard(message);
}

DeliveringCharacter InboxIntake::ChooseCharacter(DecodedMessage& message) {
  ReceivedMail& mail = message.mail;
  DeliveringCharacter character =
      SelectDeliveringCharacter(hut_, store_, mail.characterId, message.packageFiles, mail.references, mail.inReplyTo);
  mail.characterId = character.id;
  return character;
}

bool InboxIntake::Append(const DecodedMessage& message) {
  if (!store_.Prepare()) return false;
  if (store_.AppendHeaderRecord(FolderKind::Inbox, message.header) != StoreResult::Done) return false;
  if (OnCheckpoint) OnCheckpoint("between-appends");
  if (store_.AppendBodyRecord(FolderKind::Inbox, InboxBodyRecord(message.mail)) != StoreResult::Done) {
    RepairInboxPair(store_);  // takes the lone header record back
    return false;
  }
  return true;
}

bool InboxIntake::AppendAll(const std::vector<const DecodedMessage*>& messages) {
  if (messages.empty()) return true;
  if (!store_.Prepare()) return false;
  std::string headers, bodies;
  std::vector<std::string> durable, folders;
  for (const DecodedMessage* message : messages) {
    headers += FormatHeaderRecord(message->header);
    AppendBodyRecordBytes(bodies, InboxBodyFields(message->mail).fields, message->mail.text);
    if (message->mail.attachmentFiles.empty()) continue;
    if (message->attachmentsSynced) {
      folders.push_back(store_.StoreFolder() + message->attachmentFolder);
    } else {
      durable.insert(durable.end(), message->mail.attachmentFiles.begin(), message->mail.attachmentFiles.end());
    }
  }
  const std::string& root = store_.StoreFolder();
  // The attachments first: a record never names a file that a crash can take back.
  if (!durable.empty() && !platform::SyncFiles(durable)) return false;
  for (const std::string& folder : folders) {
    if (!platform::SyncFolder(folder)) return false;
  }
  if ((!durable.empty() || !folders.empty()) && !platform::SyncFolder(root)) return false;
  AppendedTo headerUndo, bodyUndo;
  if (!AppendOnFreshLine(store_.HeaderPath(FolderKind::Inbox), std::move(headers), headerUndo)) {
    TakeBack(headerUndo, root);
    return false;
  }
  if (OnCheckpoint) OnCheckpoint("between-appends");
  if (!AppendOnFreshLine(store_.BodyPath(FolderKind::Inbox), std::move(bodies), bodyUndo)) {
    TakeBack(bodyUndo, root);
    TakeBack(headerUndo, root);
    return false;
  }
  if (!platform::SyncFiles({headerUndo.path, bodyUndo.path})) {
    TakeBack(bodyUndo, root);
    TakeBack(headerUndo, root);
    return false;
  }
  return true;
}

void InboxIntake::Discard(const DecodedMessage& message) const {
  if (message.attachmentFolder.empty()) return;
  platform::RemoveFolderTreeInside(store_.StoreFolder(), store_.StoreFolder() + message.attachmentFolder);
}

IntakeResult InboxIntake::StoreFile(const std::string& path, ArrivedMail& arrived) {
  if (RepairInboxPair(store_) == RepairResult::Failed) return IntakeResult::Failed;
  DecodedMessage message;
  switch (Decode(path, message)) {
    case DecodeOutcome::Decoded: break;
    case DecodeOutcome::Rejected: return IntakeResult::Rejected;
    case DecodeOutcome::Unreadable:
    case DecodeOutcome::WriteError: return IntakeResult::Failed;
  }
  const DeliveringCharacter character = ChooseCharacter(message);
  const std::size_t index = store_.RecordCount(FolderKind::Inbox);
  if (!Append(message)) {
    Discard(message);
    return IntakeResult::Failed;
  }
  arrived = ArrivedMailOf(message, character, index);
  return IntakeResult::Stored;
}

std::string InboxIntake::HeaderFingerprint(const DecodedMessage& message) {
  return Fingerprint(FormatHeaderRecord(message.header));
}

ArrivedMail InboxIntake::ArrivedMailOf(const DecodedMessage& message, const DeliveringCharacter& character,
                                       std::size_t recordIndex) {
  const ReceivedMail& mail = message.mail;
  ArrivedMail arrived;
  arrived.recordIndex = recordIndex;
  arrived.from = mail.from;
  arrived.subject = mail.subject;
  arrived.text = mail.text;
  arrived.inReplyTo = Trim(mail.messageId);
  const std::string references = Trim(mail.references);
  if (!references.empty() && !arrived.inReplyTo.empty()) {
    arrived.references = references + "," + arrived.inReplyTo;
  } else {
    arrived.references = references.empty() ? arrived.inReplyTo : references;
  }
  arrived.carriedId = message.carriedId;
  arrived.deliveringId = character.id;
  arrived.attachmentFolder = message.shownAttachments.empty()
                                 ? std::string()
                                 : platform::ExtractFilePath(message.shownAttachments.front());
  arrived.attachments = message.shownAttachments;
  arrived.answered = character.answered;
  arrived.arrivedFolder = character.arrivedFolder;
  return arrived;
}

}  // namespace mf
