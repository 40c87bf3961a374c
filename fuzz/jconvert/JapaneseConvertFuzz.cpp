#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Base64.h"
#include "tests/text/CleanJis.h"
#include "text/JapaneseStream.h"
#include "text/Jconvert.h"

namespace {

// The JIS writers end every line in single-byte mode and put nothing but
// whole 7-bit pairs between ESC $ B and ESC ( J.
void CheckCleanJis(const std::string& jis) {
  if (!mf::testing::JisFault(jis).empty()) std::abort();
}

// Every 8-bit byte of EUC-JP output belongs to a pair of 0xA1-0xFE or to a
// half-width kana after 0x8E.
void CheckCleanEuc(const std::string& euc) {
  for (std::size_t i = 0; i < euc.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(euc[i]);
    if (c < 0x80) continue;
    const unsigned char d = i + 1 < euc.size() ? static_cast<unsigned char>(euc[i + 1]) : 0;
    const bool kana = c == 0x8E && d >= 0xA1 && d <= 0xDF;
    const bool pair = c >= 0xA1 && c <= 0xFE && d >= 0xA1 && d <= 0xFE;
    if (!kana && !pair) std::abort();
    ++i;
  }
}

// The converters from 8-bit codes never swallow a line break into a character.
void CheckLineBreaksKept(std::string_view text, const std::string& converted) {
  if (std::count(text.begin(), text.end(), '\n') != std::count(converted.begin(), converted.end(), '\n')) std::abort();
}

// Converting in two pieces, cut where the data says, gives the whole result.
void CheckStream(std::string_view text, mf::JapaneseCode target, const std::string& whole) {
  const std::size_t cut = text.empty() ? 0 : static_cast<unsigned char>(text[0]) * 7 % (text.size() + 1);
  mf::JapaneseCodeStream stream(target);
  std::string pieces = stream.Put(text.substr(0, cut));
  pieces += stream.Put(text.substr(cut));
  pieces += stream.Finish();
  if (pieces != whole) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const mf::JapaneseCode code = mf::DetectJapaneseCode(text);
  if (code < mf::jcAscii || code > mf::jcEucOrSjis) std::abort();

  for (mf::JapaneseCode target : {mf::jcJis, mf::jcEuc, mf::jcSjis, mf::jcBinary}) {
    std::string converted = mf::ConvertJapaneseCode(text, target);
    if ((code == mf::jcAscii || code == mf::jcBinary || code == mf::jcEucOrSjis) && converted != text) std::abort();
    CheckStream(text, target, converted);
  }
  const std::string fromSjis = mf::SjisToJis(text);
  const std::string fromEuc = mf::EucToJis(text);
  if (text.find('\x1B') == std::string_view::npos) {  // escapes in the input are copied as they are
    CheckCleanJis(fromSjis);
    CheckCleanJis(fromEuc);
    CheckCleanJis(mf::ProgramTextToJis(text));
  }
  CheckCleanEuc(mf::SjisToEuc(text));
  CheckLineBreaksKept(text, fromSjis);
  CheckLineBreaksKept(text, fromEuc);
  CheckLineBreaksKept(text, mf::SjisToEuc(text));
  CheckLineBreaksKept(text, mf::EucToSjis(text));
  mf::JisToSjis(text);
  mf::JisToEuc(text);
  mf::JisToSjis(fromSjis);
  mf::Base64Decode(text);

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
