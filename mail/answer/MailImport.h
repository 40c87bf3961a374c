#pragma once

#include <optional>
#include <string>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/receive/InboxIntake.h"

namespace mf {

// Takes a mail file the user chose ("インポート(&I)") into the inbox as an
// ordinary unread mail, through the same decoding and character choice as
// a received one. Nothing when the file is not a mail it can read; nothing
// of it is stored then.
std::optional<ArrivedMail> ImportMailFile(const MailStore& store, ReceivingHut& hut, RandomGenerator& random,
                                          const Clock& clock, const std::string& path);

// "ファイルの内部形式が不正です"
const std::string& ImportFailureText();

}  // namespace mf
