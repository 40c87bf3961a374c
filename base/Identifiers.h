#pragma once

#include <cstddef>
#include <string>

#include "base/DateTime.h"
#include "base/Random.h"

namespace mf {

// The digits of the local date and time: the short date "yyyy/mm/dd" and
// long time "h:nn:ss" with their separators removed ("2026120814503").
std::string MakeStamp(const DateTime& now);

// A short lower-case hexadecimal text derived from draws below the stamp's length.
std::string MakeUniqueTail(std::size_t stampLength, RandomGenerator& random);

// "<" + stamp + "." + tail + sender address + ">".
std::string MakeCharacterId(const DateTime& now, RandomGenerator& random,
                            const std::string& senderAddress);

// "<" + stamp + "." + tail + "@" + SMTP server + ">", an IPv6 server in brackets.
std::string MakeMessageId(const DateTime& now, RandomGenerator& random,
                          const std::string& smtpServer);

}  // namespace mf
