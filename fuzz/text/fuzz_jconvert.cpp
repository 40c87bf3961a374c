#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/Jconvert.h"

namespace {

// The JIS writers promise that every line ends in single-byte mode.
void CheckEndsInSingleByteMode(const std::string& jis) {
  const std::size_t in = jis.rfind("\x1B$B");
  if (in == std::string::npos) return;
  if (jis.find("\x1B(J", in) == std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const mf::JapaneseCode code = mf::DetectJapaneseCode(text);
  if (code < mf::jcAscii || code > mf::jcEucOrSjis) std::abort();

  for (mf::JapaneseCode target : {mf::jcJis, mf::jcEuc, mf::jcSjis, mf::jcBinary}) {
    std::string converted = mf::ConvertJapaneseCode(text, target);
    if ((code == mf::jcAscii || code == mf::jcBinary || code == mf::jcEucOrSjis) && converted != text) std::abort();
  }
  const std::string fromSjis = mf::SjisToJis(text);
  const std::string fromEuc = mf::EucToJis(text);
  if (text.find('\x1B') == std::string_view::npos) {  // escapes in the input are copied as they are
    CheckEndsInSingleByteMode(fromSjis);
    CheckEndsInSingleByteMode(fromEuc);
  }
  mf::JisToSjis(text);
  mf::JisToEuc(text);
  mf::EucToSjis(text);
  mf::SjisToEuc(text);
  mf::JisToSjis(fromSjis);
  mf::DecodeBase64Text(text);

  for (std::size_t i = 0; i < size; ++i) {
    std::size_t position = i;
    mf::SjisKanaToJis(text, position);
    if (position != i + 1 && position != i + 2) std::abort();
    position = i;
    mf::EucKanaToJis(text, position);
    if (position != i + 2 && position != i + 4) std::abort();
  }
  return 0;
}
