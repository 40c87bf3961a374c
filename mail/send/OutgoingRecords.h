#pragma once

#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/send/Composition.h"
#include "mail/store/MailStore.h"

namespace mf {

// Where a composed mail is filed: the outbox ("後で送る") or the sent
// folder (after a completed send, with the Message-ID it went out with).
enum class OutgoingFolder { Outbox, Sent };

// Writes the header and body records of a composed mail, with copies of its
// files in a new attachment folder, and marks the answered inbox mail.
class OutgoingRecords {
 public:
  OutgoingRecords(const MailStore& store, const Clock& clock, RandomGenerator& random);

  // Files `mail` from `senderAddress` into `folder`. The attachment files
  // are copied first. For the outbox a file that cannot be copied stops it
  // all: the folder made for the copies is removed, nothing is written and
  // `error` names the file. A sent mail has gone out already, so its copy
  // is filed without that file, which `error` names (the call is true).
  // `messageId` is used for the sent folder only. An `unconfirmed` outbox
  // mail is marked "送信不明": it went out and may have arrived.
  bool File(OutgoingFolder folder, const Composition& mail, const std::string& senderAddress,
            const std::string& messageId, std::string& error, bool unconfirmed = false) const;

 private:
  const MailStore& store_;
  const Clock& clock_;
  RandomGenerator& random_;
};

}  // namespace mf
