#include <gtest/gtest.h>

#include <string>

#include "base/ShiftJis.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

struct DetectCase {
  const char* name;
  std::string text;
  JapaneseCode expected;
};

TEST(DetectJapaneseCodeTest, Table) {
  using namespace std::string_literals;
  const DetectCase cases[] = {
      {"empty", "", jcAscii},
      {"plain ascii", "Hello, world\r\n", jcAscii},
      {"single 8-bit byte", "\x93", jcAscii},
      {"8-bit byte only at the end", "abc\x93", jcAscii},
      {"control byte early", "ab\x01" "cd", jcBinary},
      {"nul early", "ab\0cd"s, jcBinary},
      {"0xFF early", "ab\xFF" "cd", jcBinary},
      {"jis", "a\x1B$BF|\x1B(Jb", jcJis},
      {"old jis", "a\x1B$@F|\x1B(Jb", jcOldJis},
      {"roman escape only", "a\x1B(Jb", jcAscii},
      {"escape cut short", "ab\x1B$", jcAscii},
      {"shift_jis kanji", Sj("日本語です"), jcSjis},
      {"half-width kana then ascii", "\xB1\xB2\xB3 abc", jcSjis},
      {"kana pair then ascii", "\xB1\xB2 abc", jcEucOrSjis},
      {"only half-width kana pairs", "\xB1\xB2\xB3\xB4", jcEucOrSjis},
      {"euc kanji", "\xC6\xFC\xCB\xDC", jcEuc},
      {"euc half-width kana", "\x8E\xB1\x8E\xB2", jcEucOrSjis},
      {"0x8E then a shift_jis trail", "\x8E\x40xx", jcSjis},
      {"0xE0 then a shift_jis-only trail", "\xE0\x40", jcSjis},
      {"0xE0 then an euc-only trail", "\xE0\xFD", jcEuc},
      {"0xE0 then a trail both allow", "\xE0\xA1", jcEucOrSjis},
      {"0xF0 lead", "\xF0\xA1", jcEuc},
      // IBM extension kanji of code page 932 lead with 0xFA-0xFC, which EUC-JP
      // uses too; the bytes after them decide.
      {"髙橋", "\xFB\xFC\x8B\xB4", jcSjis},
      {"髙 alone", "\xFB\xFC", jcEucOrSjis},
      {"﨑山", "\xFA\xB1\x8E\x52", jcSjis},
      {"ⅰ: a trail only shift_jis allows", "\xFA\x40", jcSjis},
      {"0xFA then an euc-only byte", "\xFA\xFD", jcEuc},
      {"0xFB then no trail", "\xFB\x30", jcEuc},
      {"euc pair at 0xFB, then euc", "\xFB\xFC\xC6\xFC", jcEuc},
      {"0xF9 still decides euc", "\xF9\x40", jcEuc},
      {"kana, lead, then shift_jis lead", "\xB1\xE0\x88\x9F", jcSjis},
      {"kana, lead, then euc-only byte", "\xB1\xE0\xFD", jcEuc},
      // The look-ahead stops at 0x9C; 0x9D leaves the text undecided.
      {"kana, lead, then 0x9D", "\xB1\xE0\x9D", jcEucOrSjis},
      {"look-ahead ends at a byte below 0x40", "\xB1\xE0\xA1 \x88\x9F", jcSjis},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectJapaneseCode(c.text), c.expected) << c.name;
  }
}

TEST(DetectJapaneseCodeTest, BinaryByteBeyondTheFirst512OnlyCountsUntilTheCodeIsKnown) {
  std::string text = Sj("日本") + std::string(600, 'a') + std::string(1, '\0') + "a";
  EXPECT_EQ(DetectJapaneseCode(text), jcSjis);

  std::string ascii = std::string(600, 'a') + std::string(1, '\0') + Sj("日本");
  EXPECT_EQ(DetectJapaneseCode(ascii), jcBinary);

  std::string early = Sj("日本") + std::string(100, 'a') + std::string(1, '\x07') + "a";
  EXPECT_EQ(DetectJapaneseCode(early), jcBinary);
}

}  // namespace
}  // namespace mf
