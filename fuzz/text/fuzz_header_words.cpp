#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/Jconvert.h"
#include "text/Mailbox.h"

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
