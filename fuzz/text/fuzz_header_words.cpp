#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/Jconvert.h"

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
  return 0;
}
