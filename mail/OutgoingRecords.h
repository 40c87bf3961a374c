#pragma once

#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/Composition.h"
#include "mail/MailStore.h"

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
  // are copied first; when one cannot be copied, the folder made for them
  // is removed again, nothing is written and `error` says which file.
  // `messageId` is used for the sent folder only.
  bool File(OutgoingFolder folder, const Composition& mail, const std::string& senderAddress,
            const std::string& messageId, std::string& error) const;

 private:
  const MailStore& store_;
  const Clock& clock_;
  RandomGenerator& random_;
};

}  // namespace mf
