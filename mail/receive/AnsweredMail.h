#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "mail/store/MailStore.h"

namespace mf {

// What the return notice shows about the sent mail a received one answers.
struct AnsweredMail {
  std::string title;      // its "Subject:" value
  std::string recipient;  // its "To:" value
  std::string character;  // its "X-Character:" value: the character that carried it
  std::string bodyLine;   // its text, trimmed
  bool foundByReference = false;  // found through References, not In-Reply-To
};

// Finds the sent mail that a received mail answers. `text` holds an
// "In-Reply-To: " and a "References: " line; the sent folder is searched
// for a record holding the In-Reply-To value, then for each reference from
// the last to the first.
std::optional<AnsweredMail> FindAnsweredMail(const MailStore& store, std::string_view text);

// The text FindAnsweredMail takes, made from a received mail's values.
std::string AnsweredMailQuery(std::string_view inReplyTo, std::string_view references);

}  // namespace mf
