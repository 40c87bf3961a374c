#include "base/Identifiers.h"

#include <cstdio>

namespace mf {
namespace {

std::string RemoveUpTo(std::string text, char what, int limit) {
  std::string out;
  for (char c : text) {
    if (c == what && limit > 0) {
      --limit;
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace

std::string MakeStamp(const DateTime& now) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  std::string whole = RemoveUpTo(text, '/', 4);
  auto space = whole.find(' ');
  std::string date = whole.substr(0, space);
  std::string time = space == std::string::npos ? "" : whole.substr(space + 1);
  return date + RemoveUpTo(time, ':', 4);
}

std::string MakeUniqueTail(std::size_t stampLength, RandomGenerator& random) {
  int length = static_cast<int>(stampLength);
  unsigned long long sum = 0;
  for (std::size_t i = 0; i < 17 * stampLength + 1; ++i) {
    sum += static_cast<unsigned long long>(random.Next(length > 0 ? length : 1)) * 32;
  }
  int decimalDigits = std::snprintf(nullptr, 0, "%llu", sum);
  char hex[64];
  std::snprintf(hex, sizeof hex, "%0*llx", decimalDigits, sum);
  return hex;
}

std::string MakeCharacterId(const DateTime& now, RandomGenerator& random,
                            const std::string& senderAddress) {
  std::string stamp = MakeStamp(now);
  return "<" + stamp + "." + MakeUniqueTail(stamp.size(), random) + senderAddress + ">";
}

std::string MakeMessageId(const DateTime& now, RandomGenerator& random,
                          const std::string& smtpServer) {
  std::string stamp = MakeStamp(now);
  // An IPv6 address is written in brackets there ("<x@[::1]>"); bare, its
  // colons would make the identifier malformed.
  std::string right = smtpServer;
  if (right.find(':') != std::string::npos && right.front() != '[') right = "[" + right + "]";
  return "<" + stamp + "." + MakeUniqueTail(stamp.size(), random) + "@" + right + ">";
}

}  // namespace mf
