#include "text/Jconvert.h"

namespace mf {
namespace {

constexpr unsigned char kEsc = 0x1B;

bool In(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }
bool IsSjisTrail(unsigned char c) { return In(c, 0x40, 0x7E) || In(c, 0x80, 0xFC); }

}  // namespace

const char* JapaneseCodeName(JapaneseCode code) {
  switch (code) {
    case jcAscii: return "jcAscii";
    case jcBinary: return "jcBinary";
    case jcJis: return "jcJis";
    case jcOldJis: return "jcOldJis";
    case jcEuc: return "jcEuc";
    case jcSjis: return "jcSjis";
    case jcEucOrSjis: return "jcEucOrSjis";
  }
  return "";
}

JapaneseCode DetectJapaneseCode(std::string_view text) {
  const std::size_t length = text.size();
  auto at = [&](std::size_t i) -> unsigned char {
    return i < length ? static_cast<unsigned char>(text[i]) : 0;
  };

  // Binary data usually shows itself early; the last byte is left to the main scan.
  const std::size_t preScan = length == 0 ? 0 : (length - 1 < 512 ? length - 1 : 512);
  for (std::size_t i = 0; i < preScan; ++i) {
    unsigned char c = at(i);
    if (c < 0x08 || c == 0xFF) return jcBinary;
  }

  // A lead byte needs a byte after it, so the last byte is never a lead.
  JapaneseCode result = jcAscii;
  std::size_t i = 0;
  while ((result == jcAscii || result == jcEucOrSjis) && i + 1 < length) {
    unsigned char c = at(i);
    if (c == kEsc) {
      ++i;
      if (at(i) == '$') {
        ++i;
        if (i < length && at(i) == 'B') result = jcJis;
        else if (i < length && at(i) == '@') result = jcOldJis;
      }
    } else if (c < 0x08 || c == 0xFF) {
      result = jcBinary;
    } else if (c <= 0x7F) {
      // plain ASCII
    } else if (In(c, 0x81, 0x8D) || In(c, 0x8F, 0x9F)) {
      result = jcSjis;
    } else if (c == 0x8E) {
      unsigned char d = at(++i);
      if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0) || In(d, 0xE0, 0xFC)) result = jcSjis;
      else if (In(d, 0xA1, 0xDF)) result = jcEucOrSjis;
    } else if (In(c, 0xA1, 0xDF)) {
      unsigned char d = at(++i);
      if (In(d, 0xF0, 0xFE)) {
        result = jcEuc;
      } else if (In(d, 0xA1, 0xDF)) {
        result = jcEucOrSjis;
      } else if (In(d, 0xE0, 0xEF)) {
        // Half-width kana then a byte both codes use as a lead: look further on
        // for a byte only one of them allows.
        result = jcEucOrSjis;
        while (i < length && at(i) >= 0x40 && result == jcEucOrSjis) {
          unsigned char e = at(i);
          if (In(e, 0x81, 0x8D) || In(e, 0x8F, 0x9C)) result = jcSjis;
          else if (In(e, 0xFD, 0xFE)) result = jcEuc;
          ++i;
        }
      } else if (d <= 0x9F) {
        result = jcSjis;
      }
    } else if (In(c, 0xE0, 0xEF) || (In(c, 0xFA, 0xFC) && IsSjisTrail(at(i + 1)))) {
      // Both codes use these as leads. 0xFA-0xFC lead the IBM extension kanji
      // of code page 932 (髙, 﨑), common in family names, so they only decide
      // EUC-JP when no Shift_JIS trail follows.
      unsigned char d = at(++i);
      if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0)) result = jcSjis;
      else if (In(d, 0xFD, 0xFE)) result = jcEuc;
      else if (In(d, 0xA1, 0xFC)) result = jcEucOrSjis;
    } else if (In(c, 0xF0, 0xFE)) {
      result = jcEuc;
    }
    ++i;
  }
  return result;
}

}  // namespace mf
