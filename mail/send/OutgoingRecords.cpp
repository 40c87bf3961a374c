#include "mail/send/OutgoingRecords.h"

#include <set>

#include "base/Identifiers.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/store/AttachmentNames.h"
#include "mail/store/MailStatus.h"
#include "platform/Files.h"

namespace mf {

namespace {

// A file name not yet taken in this mail's folder: "name(2).ext", "name(3).ext", ...
std::string DistinctName(const std::string& name, const std::set<std::string>& taken) {
  if (!taken.contains(name)) return name;
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string extension = stem.size() == name.size() ? std::string() : name.substr(stem.size());
  for (int n = 2;; ++n) {
    std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
    if (!taken.contains(candidate)) return candidate;
  }
}

MailStatus StatusFor(OutgoingFolder folder, bool reply, bool unconfirmed) {
  if (folder == OutgoingFolder::Outbox && unconfirmed) {
    return reply ? MailStatus::UnconfirmedReply : MailStatus::Unconfirmed;
  }
  if (folder == OutgoingFolder::Outbox) return reply ? MailStatus::WaitingReply : MailStatus::Waiting;
  return reply ? MailStatus::SentReply : MailStatus::Sent;
}

}  // namespace

OutgoingRecords::OutgoingRecords(const MailStore& store, const Clock& clock, RandomGenerator& random)
    : store_(store), clock_(clock), random_(random) {}

bool OutgoingRecords::File(OutgoingFolder folder, const Composition& mail, const std::string& senderAddress,
                           const std::string& messageId, std::string& error, bool unconfirmed) const {
  error.clear();
  const std::vector<std::string> files = OutgoingFiles(mail);
  if (!platform::CreateFolders(store_.StoreFolder())) {
    error = Sj("メールを保存するフォルダーを作れません: ") + store_.StoreFolder();
    return false;
  }

  std::string folderName;
  std::string folderPath;
  std::vector<std::string> storedPaths;
  if (!files.empty()) {
    random_.SeedFromClock();
    const std::string stamp = MakeStamp(clock_.Now());
    folderName = stamp + "." + MakeUniqueTail(stamp.size(), random_);
    // A folder of that name belongs to another mail: sharing it would let
    // one mail's attachment stand for the other's.
    while (platform::DirectoryExists(store_.StoreFolder() + folderName)) {
      folderName += static_cast<char>('a' + random_.Next(26));
    }
    folderPath = store_.StoreFolder() + folderName;
    if (!platform::CreateFolder(folderPath)) {
      error = Sj("添付ファイルのフォルダーを作れません: ") + folderPath;
      return false;
    }

    // The package keeps its own name, which marks it as a character for the
    // receiver; a file of the user's with that name steps aside.
    std::set<std::string> taken;
    if (!mail.packagePath.empty()) taken.insert(std::string(kPackageFileName));
    for (std::size_t i = 0; i < files.size(); ++i) {
      const bool isPackage = !mail.packagePath.empty() && i + 1 == files.size();
      std::string name = isPackage ? std::string(kPackageFileName)
                                   : DistinctName(SafeAttachmentFileName(platform::ExtractFileName(files[i])), taken);
      taken.insert(name);
      const std::string target = store_.AttachmentFilePath(folderName, name);
      if (!platform::CopyFile(files[i], target, false)) {
        if (folder == OutgoingFolder::Outbox) {
          platform::RemoveFolderTreeInside(store_.StoreFolder(), folderPath);
          error = Sj("添付ファイルをコピーできません: ") + files[i];
          return false;
        }
        // The mail is gone already; its sent copy is kept without this file.
        error = Sj("添付ファイルをコピーできません: ") + files[i];
        continue;
      }
      storedPaths.push_back(target);
    }
  }

  HeaderRecord header;
  header.status = StatusWord(StatusFor(folder, mail.replyMode, unconfirmed));
  header.subject = mail.subject;
  header.from = senderAddress;
  header.date = Rfc822DateText(clock_.Now());
  header.to = mail.to;
  // A mail whose only file is a character package shows no attachment.
  const bool onlyPackage = files.size() == 1 && platform::ExtractFileName(files[0]) == kPackageFileName;
  header.attachmentFolder = onlyPackage ? std::string() : folderName;

  BodyRecord body;
  body.fields.push_back({"Subject: ", mail.subject});
  body.fields.push_back({"From: ", senderAddress});
  body.fields.push_back({"Date: ", Rfc822DateText(clock_.Now())});
  body.fields.push_back({"To: ", mail.to});
  if (!mail.cc.empty()) body.fields.push_back({"Cc: ", mail.cc});
  if (folder == OutgoingFolder::Sent) body.fields.push_back({"Message-ID: ", messageId});
  if (!mail.inReplyTo.empty()) body.fields.push_back({"In-Reply-To: ", mail.inReplyTo});
  if (!mail.references.empty()) body.fields.push_back({"References: ", mail.references});
  body.fields.push_back({"X-Character: ", mail.characterId});
  for (const std::string& path : storedPaths) body.fields.push_back({"X-Attachments-File: ", path});
  // Every line as typed with CR LF, then one empty line more.
  body.text = TextWithCrLf(mail.body) + "\r\n";

  const FolderKind kind = folder == OutgoingFolder::Outbox ? FolderKind::Outbox : FolderKind::Sent;
  if (store_.AppendMail(kind, header, body) != StoreResult::Done) {
    if (!folderPath.empty()) platform::RemoveFolderTreeInside(store_.StoreFolder(), folderPath);
    error = Sj("メールを保存できません: ") + store_.HeaderPath(kind);
    return false;
  }
  if (mail.replyMode) store_.MarkReplied(mail.replyIndex);
  return error.empty() || folder == OutgoingFolder::Sent;
}

}  // namespace mf
