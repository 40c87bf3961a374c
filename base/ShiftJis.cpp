#include "base/ShiftJis.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace mf {
namespace {

struct IconvCloser {
  void operator()(iconv_t* handle) const {
    iconv_close(*handle);
    delete handle;
  }
};
using IconvHandle = std::unique_ptr<iconv_t, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
  iconv_t handle = iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(new iconv_t(handle));
}

// Bytes an unreadable sequence spans: a whole UTF-8 sequence, a Shift_JIS
// pair, or one byte of anything else.
std::size_t SkipLength(const char* in, std::size_t left, const char* from) {
  std::string_view charset(from);
  if (charset == "CP932") {
    return IsSjisLeadByte(static_cast<unsigned char>(*in)) && left >= 2 ? 2 : 1;
  }
  if (charset != "UTF-8") return 1;
  unsigned char c = static_cast<unsigned char>(*in);
  std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (length > left) length = left;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) return i;
  }
  return length;
}

}  // namespace

std::size_t FindSjisChar(std::string_view text, char ascii, std::size_t from) {
  // Walk from the start: only there is it known where characters begin.
  std::size_t at = 0;
  while (at < text.size()) {
    if (at >= from && text[at] == ascii) return at;
    at += IsSjisLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
  }
  return std::string_view::npos;
}

std::optional<std::string> ConvertCharset(std::string_view input, const char* to, const char* from,
                                          std::string_view replacement) {
  IconvHandle handle = OpenIconv(to, from);
  if (!handle) return std::nullopt;
  std::string out;
  out.reserve(input.size() * 3 / 2 + 8);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = iconv(*handle, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one character of input and write the replacement.
    size_t skip = SkipLength(in, inLeft, from);
    in += skip;
    inLeft -= skip;
    out.append(replacement);
    iconv(*handle, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  return ConvertCharset(sjis, "UTF-8", "CP932", "\xEF\xBF\xBD").value_or(std::string(sjis));
}

std::string Utf8ToSjis(std::string_view utf8) {
  return ConvertCharset(utf8, "CP932", "UTF-8", "\x81\xAC").value_or(std::string(utf8));  // 〓
}

}  // namespace mf
