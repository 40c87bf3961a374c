#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/receive/AnsweredMail.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/receive/MessageDecoder.h"
#include "mail/store/MailStore.h"

namespace mf {

// What the mail viewer shows of a mail that has just entered the inbox.
struct ArrivedMail {
  std::size_t recordIndex = 0;  // of its inbox records: a reply marks it "返信"
  std::string from;
  std::string subject;
  std::string text;
  std::string inReplyTo;    // for the answer: the mail's own Message-ID
  std::string references;   // for the answer: its References and its Message-ID
  std::string carriedId;    // the "X-CharacterID" it came with
  std::string deliveringId;  // the character chosen to present it, or empty
  std::string attachmentFolder;
  std::vector<std::string> attachments;  // without character packages
  std::optional<AnsweredMail> answered;
  int arrivedFolder = 0;  // a character that arrived with it, or 0
};

enum class IntakeResult {
  Stored,
  Rejected,   // not a mail: "無効なメール形式です"; nothing was stored
  Failed,     // a file could not be read or written; nothing was stored
};

// Takes one message file into the inbox: decodes it, chooses the character
// that presents it and appends its two records together. Receiving and the
// import command share it; receiving runs the steps one by one to journal
// them.
class InboxIntake {
 public:
  InboxIntake(const MailStore& store, ReceivingHut& hut, RandomGenerator& random, const Clock& clock);

  // Called with "between-appends" between the header and the body record.
  std::function<void(std::string_view point)> OnCheckpoint;
  // Decode made a folder for a message's attachments (its name in the
  // store folder), before writing into it.
  std::function<void(const std::string& folder)> OnAttachmentFolderMade;

  // All steps in one.
  IntakeResult StoreFile(const std::string& path, ArrivedMail& arrived);

  // The steps.
  DecodeOutcome Decode(const std::string& path, DecodedMessage& message);
  // Decode in steps of about `slice` each (see MessageDecoder::Begin): a
  // message that is not decoded leaves no attachment folder behind.
  bool BeginDecode(const std::string& path, DecodedMessage& message);
  std::optional<DecodeOutcome> ContinueDecode(DecodedMessage& message, std::chrono::steady_clock::duration slice);
  void CancelDecode(DecodedMessage& message);
  DeliveringCharacter ChooseCharacter(DecodedMessage& message);
  // Appends both records at the end of the inbox files; a failure leaves
  // the files as they were.
  bool Append(const DecodedMessage& message);
  // Appends the records of several messages, all header records in one
  // write and then all body records in another, and returns only when both
  // files and the messages' attachments are on disk. A failure takes the
  // appended records back; a crash between the writes leaves header records
  // without bodies, which RepairInboxPair drops.
  bool AppendAll(const std::vector<const DecodedMessage*>& messages);
  // Removes the attachment folder of a message that will not be stored.
  void Discard(const DecodedMessage& message) const;

  static std::string HeaderFingerprint(const DecodedMessage& message);
  static ArrivedMail ArrivedMailOf(const DecodedMessage& message, const DeliveringCharacter& character,
                                   std::size_t recordIndex);

 private:
  const MailStore& store_;
  ReceivingHut& hut_;
  MessageDecoder decoder_;
};

}  // namespace mf
