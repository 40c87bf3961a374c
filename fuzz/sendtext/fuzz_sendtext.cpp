// Recipient lists and body text as the user typed or quoted them: the
// parser never lets a control byte into an address, and every wire line fits
// its limit, ends in ASCII and, for well-formed Shift_JIS text, gives the
// converted line back whole.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/Recipients.h"
#include "mail/send/WireLines.h"
#include "text/Jconvert.h"

namespace {

// Printable ASCII, half-width kana, complete two-byte characters and the
// control bytes that go out as blanks.
bool IsPlainSjisLine(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if ((c >= 0x20 && c < 0x7f) || c <= 0x07) continue;
    if (c >= 0xa1 && c <= 0xdf) continue;
    if (!mf::IsSjisLeadByte(c) || i + 1 >= line.size()) return false;
    const auto trail = static_cast<unsigned char>(line[++i]);
    if (trail < 0x40 || trail == 0x7f || trail > 0xfc) return false;
  }
  return true;
}

bool EndsInAscii(const std::string& piece) {
  bool twoByte = false;
  for (std::size_t i = 0; i + 2 < piece.size(); ++i) {
    if (piece[i] == '\x1b' && (piece[i + 1] == '$' || piece[i + 1] == '(')) twoByte = piece[i + 1] == '$';
  }
  return !twoByte;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t maxBytes = 16 + data[0] * 4;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  for (const mf::Recipient& recipient : mf::ParseRecipients(text)) {
    if (recipient.address.empty()) std::abort();
    for (char c : recipient.address + recipient.name) {
      if (static_cast<unsigned char>(c) < 0x20) std::abort();
    }
  }

  for (const std::string& line : mf::SplitLines(text)) {
    const auto pieces = mf::BodyWireLines(line, maxBytes);
    std::string joined;
    for (const std::string& piece : pieces) {
      const std::size_t limit = !piece.empty() && piece[0] == '.' ? maxBytes - 1 : maxBytes;
      if (piece.size() > limit) std::abort();
      joined += mf::JisToSjis(piece);
      if (IsPlainSjisLine(line) && !EndsInAscii(piece)) std::abort();
    }
    std::string asText = line;
    for (char& c : asText) {
      if (static_cast<unsigned char>(c) <= 0x07) c = ' ';
    }
    if (IsPlainSjisLine(line) && joined != mf::JisToSjis(mf::ProgramTextToJis(asText))) std::abort();
  }
  return 0;
}
