#include "text/IbmExtension.h"

#include <cstdint>

namespace mf {
namespace {

constexpr unsigned kIbmFirst = 0xFA40;
constexpr unsigned kIbmLast = 0xFC4B;

// The 360 kanji of the IBM block follow its 28 symbols in the same order as
// the NEC-selected block lists them.
constexpr unsigned kIbmKanjiFirst = 0xFA5C;
constexpr unsigned kNecKanjiFirst = 0xED40;

// Twins of the symbols 0xFA40-0xFA5B: a JIS X 0208 code where the character
// has one (¬, ∵), else NEC row 13 (Ⅰ-Ⅹ, ㈱, №, ℡), else the NEC-selected block.
constexpr std::uint16_t kSymbolTwins[kIbmKanjiFirst - kIbmFirst] = {
    0xEEEF, 0xEEF0, 0xEEF1, 0xEEF2, 0xEEF3, 0xEEF4, 0xEEF5, 0xEEF6, 0xEEF7, 0xEEF8,  // ⅰ-ⅹ
    0x8754, 0x8755, 0x8756, 0x8757, 0x8758, 0x8759, 0x875A, 0x875B, 0x875C, 0x875D,  // Ⅰ-Ⅹ
    0x81CA, 0xEEFA, 0xEEFB, 0xEEFC,                                                  // ￢ ￤ ＇ ＂
    0x878A, 0x8782, 0x8784, 0x81E6,                                                  // ㈱ № ℡ ∵
};

// Position of a code among all lead and trail pairs: 188 trails per lead,
// 0x40-0x7E and 0x80-0xFC.
constexpr unsigned kTrailsPerLead = 188;
constexpr unsigned kLowTrails = 0x7F - 0x40;

unsigned Ordinal(unsigned code) {
  const unsigned trail = code & 0xFF;
  return (code >> 8) * kTrailsPerLead + trail - (trail < 0x80 ? 0x40 : 0x41);
}

unsigned FromOrdinal(unsigned ordinal) {
  const unsigned lead = ordinal / kTrailsPerLead;
  const unsigned step = ordinal % kTrailsPerLead;
  return lead << 8 | (step < kLowTrails ? step + 0x40 : step + 0x41);
}

}  // namespace

unsigned NecSelectedCode(unsigned sjisCode) {
  const unsigned trail = sjisCode & 0xFF;
  if (sjisCode < kIbmFirst || sjisCode > kIbmLast || trail < 0x40 || trail == 0x7F || trail > 0xFC) return sjisCode;
  if (sjisCode < kIbmKanjiFirst) return kSymbolTwins[Ordinal(sjisCode) - Ordinal(kIbmFirst)];
  return FromOrdinal(Ordinal(kNecKanjiFirst) + Ordinal(sjisCode) - Ordinal(kIbmKanjiFirst));
}

}  // namespace mf
