#include "text/Jconvert.h"

#include <algorithm>

#include "base/ShiftJis.h"
#include "text/IbmExtension.h"
#include "text/JisPieces.h"

namespace mf {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kVoiced = 0xDE;
constexpr unsigned char kSemiVoiced = 0xDF;

// 〓, written where a character has no JIS X 0208 code.
constexpr unsigned char kGetaRow = 0x22;
constexpr unsigned char kGetaCell = 0x2E;

bool IsJisByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }
bool IsSjisTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }
bool IsEucByte(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }
bool IsEucKanaByte(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

// Full-width cell of each JIS X 0201 katakana 0x21-0x5F; the punctuation and
// the sound marks sit in row 0x21, everything else in the katakana row 0x25.
constexpr unsigned char kKanaCell[63] = {
    0x23, 0x56, 0x57, 0x22, 0x26, 0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43,  // 0x21-0x2F
    0x3C, 0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B, 0x3D,  // 0x30-0x3F
    0x3F, 0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, 0x58, 0x5B, 0x5E,  // 0x40-0x4F
    0x5F, 0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x73, 0x2B, 0x2C,  // 0x50-0x5F
};

bool KanaInRowOne(unsigned char k) { return (k >= 0x21 && k <= 0x25) || k == 0x30 || k == 0x5E || k == 0x5F; }

struct Pair {
  unsigned char first;
  unsigned char second;
};

Pair JisToSjisBytes(unsigned char j1, unsigned char j2) {
  Pair p;
  p.first = static_cast<unsigned char>((j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0));
  if (j1 % 2 == 0) p.second = static_cast<unsigned char>(j2 + 0x7E);
  else p.second = static_cast<unsigned char>(j2 < 0x60 ? j2 + 0x1F : j2 + 0x20);
  return p;
}

Pair SjisToJisBytes(unsigned char s1, unsigned char s2) {
  unsigned char row = static_cast<unsigned char>(2 * (s1 - (s1 < 0xA0 ? 0x70 : 0xB0)));
  unsigned char cell;
  if (s2 <= 0x9E) {
    row = static_cast<unsigned char>(row - 1);
    cell = static_cast<unsigned char>(s2 < 0x80 ? s2 - 0x1F : s2 - 0x20);
  } else {
    cell = static_cast<unsigned char>(s2 - 0x7E);
  }
  return {row, cell};
}

// A Shift_JIS character as the JIS pair that ISO-2022-JP and EUC-JP can
// carry: IBM extension kanji through their NEC-selected twins, and 〓 for
// what has no row and cell (the user-defined area, bytes that are no lead
// or no trail).
Pair SjisCharacterToJis(unsigned char lead, unsigned char trail) {
  if (!IsSjisLeadByte(lead) || !IsSjisTrailByte(trail)) return {kGetaRow, kGetaCell};
  if (lead <= 0xEF) return SjisToJisBytes(lead, trail);  // JIS X 0208 and NEC rows: always in range
  const unsigned code = NecSelectedCode(static_cast<unsigned>(lead) << 8 | trail);
  const Pair p = SjisToJisBytes(static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code & 0xFF));
  return IsJisByte(p.first) && IsJisByte(p.second) ? p : Pair{kGetaRow, kGetaCell};
}

// Reads the two-byte character at an 8-bit byte that is not half-width kana.
// A byte that cannot lead one, or a lead without a trail, becomes 〓 alone,
// so that the byte after it (a line break, say) is still read for itself.
Pair ReadSjisDouble(std::string_view text, std::size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const unsigned char trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
  if (!IsSjisLeadByte(lead) || !IsSjisTrailByte(trail)) {
    ++i;
    return {kGetaRow, kGetaCell};
  }
  i += 2;
  return SjisCharacterToJis(lead, trail);
}

// `mark` is the sound mark after the kana, or 0; `usedMark` tells whether it joined.
Pair KanaToJisBytes(unsigned char kana, unsigned char mark, bool& usedMark) {
  usedMark = false;
  const unsigned char k = kana & 0x7F;
  if (k < 0x21 || k > 0x5F) return {kGetaRow, kGetaCell};
  const unsigned char cell = kKanaCell[k - 0x21];
  if (KanaInRowOne(k)) return {0x21, cell};
  if (k == 0x33 && mark == kVoiced) {
    usedMark = true;
    return {0x25, 0x74};  // ヴ
  }
  if (k >= 0x36 && k <= 0x44 && mark == kVoiced) {
    usedMark = true;
    return {0x25, static_cast<unsigned char>(cell + 1)};
  }
  if (k >= 0x4A && k <= 0x4E && (mark == kVoiced || mark == kSemiVoiced)) {
    usedMark = true;
    return {0x25, static_cast<unsigned char>(cell + (mark == kVoiced ? 1 : 2))};
  }
  return {0x25, cell};
}

unsigned char ByteAt(std::string_view text, std::size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

Pair EucKana(std::string_view text, std::size_t& position) {
  unsigned char mark = ByteAt(text, position + 2) == 0x8E ? ByteAt(text, position + 3) : 0;
  bool usedMark = false;
  Pair p = KanaToJisBytes(ByteAt(text, position + 1), mark, usedMark);
  position += usedMark ? 4 : 2;
  return p;
}

Pair SjisKana(std::string_view text, std::size_t& position) {
  bool usedMark = false;
  Pair p = KanaToJisBytes(ByteAt(text, position), ByteAt(text, position + 1), usedMark);
  position += usedMark ? 2 : 1;
  return p;
}

std::string Bytes(Pair p) {
  std::string s(2, '\0');
  s[0] = static_cast<char>(p.first);
  s[1] = static_cast<char>(p.second);
  return s;
}

// Collects output in a small local buffer and appends it in blocks, which
// keeps the per-byte work of the converters down to a store.
class Output {
 public:
  explicit Output(std::size_t expected) { text_.reserve(expected); }
  void Put(unsigned char c) {
    if (next_ == end_) Flush();
    *next_++ = static_cast<char>(c);
  }
  void Put(Pair p) {
    if (end_ - next_ < 2) Flush();
    next_[0] = static_cast<char>(p.first);
    next_[1] = static_cast<char>(p.second);
    next_ += 2;
  }
  void Put(std::string_view bytes) {
    if (static_cast<std::size_t>(end_ - next_) < bytes.size()) {
      Flush();
      if (bytes.size() > sizeof buffer_) {
        text_.append(bytes);
        return;
      }
    }
    for (char c : bytes) *next_++ = c;
  }
  std::string Take() {
    Flush();
    return std::move(text_);
  }

 private:
  void Flush() {
    text_.append(buffer_, next_);
    next_ = buffer_;
  }
  std::string text_;
  char buffer_[16384];
  char* next_ = buffer_;
  char* const end_ = buffer_ + sizeof buffer_;
};

// Writes JIS, entering kanji mode with ESC $ B and leaving it with ESC ( J
// before each line break and at the end, so that every line stands alone.
class JisWriter {
 public:
  explicit JisWriter(Output& out) : out_(out) {}
  void Single(unsigned char c) {
    LeaveDouble();
    out_.Put(c);
  }
  void Double(Pair p) {
    if (!double_) {
      out_.Put(std::string_view("\x1B$B", 3));
      double_ = true;
    }
    out_.Put(p);
  }
  void LeaveDouble() {
    if (double_) {
      out_.Put(std::string_view("\x1B(J", 3));
      double_ = false;
    }
  }

 private:
  Output& out_;
  bool double_ = false;
};

// Reads JIS, calling `doubleByte(text, i, out)` for each byte in kanji mode;
// single-byte stretches are copied whole. Each escape switches the mode by
// its second byte; an escape that follows another one is an escape too,
// never data. `state` carries the mode, and an escape cut short, from one
// piece of a long text to the next.
template <typename DoubleByte>
std::string ReadJis(std::string_view text, JisReadState& state, DoubleByte doubleByte) {
  Output out(text.size());
  bool isDouble = state.kanji;
  std::size_t i = state.skip;
  const std::size_t n = text.size();
  while (i < n) {
    if (text[i] == static_cast<char>(kEsc)) {
      unsigned char kind = ByteAt(text, i + 1);
      if (kind == '$') isDouble = true;
      else if (kind == '(') isDouble = false;
      i += 3;
      continue;
    }
    if (!isDouble) {
      std::size_t stop = text.find(static_cast<char>(kEsc), i);
      if (stop == std::string_view::npos) stop = n;
      out.Put(text.substr(i, stop - i));
      i = stop;
    } else {
      i = doubleByte(text, i, out);
    }
  }
  state.kanji = isDouble;
  state.skip = i - n;
  return out.Take();
}

// A multi-byte text as JIS: ASCII stays, and `readDouble(text, i)` reads the
// character at i (moving i past it) as a two-byte JIS code.
template <typename ReadDouble>
std::string ToJis(std::string_view text, ReadDouble readDouble) {
  Output out(text.size() + text.size() / 4);
  JisWriter writer(out);
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      writer.Single(c);
      ++i;
    } else {
      writer.Double(readDouble(text, i));
    }
  }
  writer.LeaveDouble();
  return out.Take();
}

}  // namespace

std::string JisToSjisPair(unsigned char row, unsigned char cell) { return Bytes(JisToSjisBytes(row, cell)); }
std::string SjisToJisPair(unsigned char lead, unsigned char trail) { return Bytes(SjisCharacterToJis(lead, trail)); }
std::string EucKanaToJis(std::string_view text, std::size_t& position) { return Bytes(EucKana(text, position)); }
std::string SjisKanaToJis(std::string_view text, std::size_t& position) { return Bytes(SjisKana(text, position)); }

std::string JisToEuc(std::string_view text) {
  JisReadState state;
  return JisToEuc(text, state);
}

std::string JisToSjis(std::string_view text) {
  JisReadState state;
  return JisToSjis(text, state);
}

std::string JisToEuc(std::string_view text, JisReadState& state) {
  return ReadJis(text, state, [](std::string_view t, std::size_t i, Output& out) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    out.Put(c <= 0x20 || c > 0x7E ? c : static_cast<unsigned char>(c | 0x80));
    return i + 1;
  });
}

std::string JisToSjis(std::string_view text, JisReadState& state) {
  return ReadJis(text, state, [](std::string_view t, std::size_t i, Output& out) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    // Line breaks and other controls inside a kanji run are kept as they are
    // rather than swallowed into a pair.
    if (c <= 0x20 || c > 0x7E) {
      out.Put(c);
      return i + 1;
    }
    unsigned char trail = ByteAt(t, i + 1);
    bool hasTrail = trail > 0x20 && trail <= 0x7E;
    out.Put(JisToSjisBytes(c, hasTrail ? trail : 0));
    return i + (hasTrail ? 2 : 1);
  });
}

std::string EucToSjis(std::string_view text) {
  Output out(text.size());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c <= 0x80 || c == 0xFF) {
      out.Put(c);
      ++i;
    } else if (c == 0x8E) {
      // Half-width kana stays half-width in Shift_JIS.
      if (i + 1 < n) out.Put(static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else if (IsEucByte(c) && IsEucByte(ByteAt(text, i + 1))) {
      out.Put(JisToSjisBytes(c & 0x7F, ByteAt(text, i + 1) & 0x7F));
      i += 2;
    } else {
      // A JIS X 0212 character (0x8F and two bytes) has no Shift_JIS code; a
      // byte that leads nothing is dropped alone, so that a line break or a
      // letter after it is kept and the characters after it stay aligned.
      out.Put(JisToSjisBytes(kGetaRow, kGetaCell));
      i += c == 0x8F && IsEucByte(ByteAt(text, i + 1)) && IsEucByte(ByteAt(text, i + 2)) ? 3 : 1;
    }
  }
  return out.Take();
}

std::string SjisToEuc(std::string_view text) {
  Output out(text.size() + text.size() / 8);
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.Put(c);
      ++i;
    } else if (c >= 0xA1 && c <= 0xDF) {
      out.Put({0x8E, c});
      ++i;
    } else {
      const Pair p = ReadSjisDouble(text, i);
      out.Put({static_cast<unsigned char>(p.first | 0x80), static_cast<unsigned char>(p.second | 0x80)});
    }
  }
  return out.Take();
}

std::string EucToJis(std::string_view text) {
  return ToJis(text, [](std::string_view t, std::size_t& i) -> Pair {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    const unsigned char next = ByteAt(t, i + 1);
    if (c == 0x8E && IsEucKanaByte(next)) return EucKana(t, i);
    if (IsEucByte(c) && IsEucByte(next)) {
      i += 2;
      return {static_cast<unsigned char>(c & 0x7F), static_cast<unsigned char>(next & 0x7F)};
    }
    // JIS X 0212 (0x8F and two bytes) has no place in ISO-2022-JP; any other
    // byte that starts nothing is dropped alone, keeping what follows it.
    i += c == 0x8F && IsEucByte(next) && IsEucByte(ByteAt(t, i + 2)) ? 3 : 1;
    return {kGetaRow, kGetaCell};
  });
}

std::string SjisToJis(std::string_view text) {
  return ToJis(text, [](std::string_view t, std::size_t& i) -> Pair {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (c >= 0xA1 && c <= 0xDF) return SjisKana(t, i);
    return ReadSjisDouble(t, i);
  });
}

// Never guesses: a typed or stored text whose first kanji happens to look
// like EUC-JP (a lead byte 0xF0-0xFC) must still be read as Shift_JIS. Text
// without 8-bit bytes (ASCII, or JIS already) has nothing to convert; a mix
// of JIS and Shift_JIS gets its Shift_JIS converted too, so that no 8-bit
// byte ever goes out.
std::string ProgramTextToJis(std::string_view text) {
  const bool sevenBit = std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return sevenBit ? std::string(text) : SjisToJis(text);
}

}  // namespace mf
