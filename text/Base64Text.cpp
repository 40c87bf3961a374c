#include "text/Jconvert.h"

namespace mf {
namespace {

int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

// Works on a bit accumulator rather than on groups of four, so a truncated
// group yields the whole bytes it holds and never reads past the end. Line
// breaks and stray characters are skipped; "=" closes the current group,
// which also lets padded pieces that were glued together decode in turn.
std::string DecodeBase64Text(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  unsigned bits = 0;
  int count = 0;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '=') {
      bits = 0;
      count = 0;
      continue;
    }
    int value = Base64Value(c);
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
      bits &= (1u << count) - 1;
    }
  }
  return out;
}

}  // namespace mf
