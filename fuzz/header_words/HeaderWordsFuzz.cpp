#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/ShiftJis.h"
#include "text/Jconvert.h"
#include "text/Mailbox.h"

namespace {

// A line as the user types it: Shift_JIS characters of JIS X 0208 and
// printable ASCII, no encoded word of its own, single blanks between words.
bool IsWrittenText(std::string_view text) {
  if (text.find("=?") != std::string_view::npos || text.find("  ") != std::string_view::npos) return false;
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) continue;
    if (!mf::IsSjisLeadByte(c) || c > 0xEA || (c >= 0x85 && c <= 0x87) || i + 1 >= text.size() ||
        !mf::IsSjisTrailByte(static_cast<unsigned char>(text[i + 1]))) {
      return false;
    }
    ++i;
  }
  return true;
}

}  // namespace

// Received headers are decoded; what we send is encoded and must decode
// again without trouble. A hang shows up as a libFuzzer time-out.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::string received(text);
  mf::DecodeHeaderWords(received);
  // Decoding grows a text by a small factor at most (a few characters per
  // byte in the widest charsets iconv knows), never without bound.
  if (received.size() > 16 * size + 16) std::abort();

  const auto locale = size > 0 && (data[0] & 1) ? mf::HeaderLocale::Other : mf::HeaderLocale::Japanese;
  std::string sent = mf::EncodeHeaderText(text, locale);
  mf::DecodeHeaderWords(sent);
  // What the program writes, one line of Japanese text, decodes back to
  // itself: the reader at the other end sees what the user typed.
  if (locale == mf::HeaderLocale::Japanese && IsWrittenText(text) && sent != text) {
    std::fprintf(stderr, "encoded and decoded:\n%s\n", sent.c_str());
    std::abort();
  }
  mf::FormatMailAddress(text, "a@b", locale);

  // A sender as received: no name or address read from it holds a control
  // byte, which could start a header or command line of its own.
  for (const mf::Mailbox& mailbox : mf::ReadMailboxList(text)) {
    for (char c : mailbox.name + mailbox.address) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    }
    mf::ReadMailboxList(mf::MailboxText(mailbox));
  }
  mf::ShownMailboxes(text);
  return 0;
}
