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

// Converts with iconv, replacing what cannot be read or written.
// `skipInvalid` tells how many input bytes an unreadable sequence spans.
std::string Convert(std::string_view input, const char* to, const char* from,
                    std::string_view replacement, bool sjisInput) {
  IconvHandle handle = OpenIconv(to, from);
  if (!handle) return std::string(input);
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
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one character of input and write the replacement.
    size_t skip = 1;
    if (sjisInput) {
      if (IsSjisLeadByte(static_cast<unsigned char>(*in)) && inLeft >= 2) skip = 2;
    } else {
      unsigned char c = static_cast<unsigned char>(*in);
      skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (skip > inLeft) skip = inLeft;
      for (size_t i = 1; i < skip; ++i) {
        if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) {
          skip = i;
          break;
        }
      }
    }
    in += skip;
    inLeft -= skip;
    out.append(replacement);
    iconv(*handle, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) {
  return Convert(sjis, "UTF-8", "CP932", "\xEF\xBF\xBD", true);
}

std::string Utf8ToSjis(std::string_view utf8) {
  return Convert(utf8, "CP932", "UTF-8", "\x81\xAC", false);  // 〓
}

}  // namespace mf
