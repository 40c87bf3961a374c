#include <gtest/gtest.h>
#include <iconv.h>

#include <initializer_list>
#include <string>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

const std::string kIn = "\x1B$B";
const std::string kOut = "\x1B(J";

TEST(PairTest, KnownCharacters) {
  EXPECT_EQ(SjisToJisPair(0x93, 0xFA), "F|");  // 日
  EXPECT_EQ(JisToSjisPair(0x74, 0x26), "\xEA\xA4");  // 熙, above the 0x5E row boundary
}

TEST(PairTest, EveryShiftJisPairRoundTripsThroughSevenBitJis) {
  for (int lead = 0x81; lead <= 0xEF; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      std::string jis = SjisToJisPair(lead, trail);
      unsigned char row = jis[0], cell = jis[1];
      ASSERT_TRUE(row >= 0x21 && row <= 0x7E && cell >= 0x21 && cell <= 0x7E) << std::hex << lead << " " << trail;
      ASSERT_EQ(JisToSjisPair(row, cell), B({lead, trail})) << std::hex << lead << " " << trail;
    }
  }
}

// Each JIS X 0208 character that the system converter knows must come out
// with the same row and cell as ours. Row 13 (lead 0x87) holds vendor symbols
// that the converter folds onto their standard duplicates, so it is left out.
TEST(PairTest, AgreesWithIconvOnJisX0208) {
  iconv_t cd = iconv_open("ISO-2022-JP", "CP932");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (int lead = 0x81; lead <= 0xEA; ++lead) {
    if ((lead > 0x9F && lead < 0xE0) || lead == 0x87) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[16];
      char* inPtr = in;
      char* outPtr = out;
      size_t inLeft = 2, outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;
      std::string converted(out, outPtr);
      if (converted.size() != 5 || converted.compare(0, 3, "\x1B$B") != 0) continue;
      EXPECT_EQ(SjisToJisPair(lead, trail), converted.substr(3)) << std::hex << lead << " " << trail;
      ++compared;
    }
  }
  iconv_close(cd);
  EXPECT_GT(compared, 6800);
}

TEST(KanaTest, HalfWidthKanaTable) {
  struct KanaCase {
    const char* name;
    std::string sjis;
    std::string jis;
    std::size_t consumed;
  };
  const KanaCase cases[] = {
      {"ｱ", "\xB1", B({0x25, 0x22}), 1},
      {"ｦ", "\xA6", B({0x25, 0x72}), 1},
      {"ｧ", "\xA7", B({0x25, 0x21}), 1},
      {"ﾝ", "\xDD", B({0x25, 0x73}), 1},
      {"｡", "\xA1", B({0x21, 0x23}), 1},
      {"｢", "\xA2", B({0x21, 0x56}), 1},
      {"･", "\xA5", B({0x21, 0x26}), 1},
      {"ｰ", "\xB0", B({0x21, 0x3C}), 1},
      {"ﾞ alone", "\xDE", B({0x21, 0x2B}), 1},
      {"ﾟ alone", "\xDF", B({0x21, 0x2C}), 1},
      {"ｶﾞ", "\xB6\xDE", B({0x25, 0x2C}), 2},
      {"ﾄﾞ", "\xC4\xDE", B({0x25, 0x49}), 2},
      {"ﾂﾞ", "\xC2\xDE", B({0x25, 0x45}), 2},
      {"ｳﾞ", "\xB3\xDE", B({0x25, 0x74}), 2},
      {"ﾊﾞ", "\xCA\xDE", B({0x25, 0x50}), 2},
      {"ﾊﾟ", "\xCA\xDF", B({0x25, 0x51}), 2},
      {"ﾎﾟ", "\xCE\xDF", B({0x25, 0x5D}), 2},
      {"ｶﾟ keeps its mark", "\xB6\xDF", B({0x25, 0x2B}), 1},
      {"ｱﾞ keeps its mark", "\xB1\xDE", B({0x25, 0x22}), 1},
      {"ﾅﾞ keeps its mark", "\xC5\xDE", B({0x25, 0x4A}), 1},
  };
  for (const auto& c : cases) {
    std::size_t position = 0;
    EXPECT_EQ(SjisKanaToJis(c.sjis, position), c.jis) << c.name;
    EXPECT_EQ(position, c.consumed) << c.name;

    std::string euc;
    for (char ch : c.sjis) euc += std::string("\x8E") + ch;
    position = 0;
    EXPECT_EQ(EucKanaToJis(euc, position), c.jis) << c.name << " (EUC-JP)";
    EXPECT_EQ(position, 2 * c.consumed) << c.name << " (EUC-JP)";
  }
}

TEST(KanaTest, EucMarkNeedsItsOwnSingleShift) {
  std::size_t position = 0;
  EXPECT_EQ(EucKanaToJis("\x8E\xB6\xDE", position), B({0x25, 0x2B}));
  EXPECT_EQ(position, 2u);
}

TEST(KanaTest, KanaAtTheVeryEndIsSafe) {
  std::size_t position = 0;
  EXPECT_EQ(EucKanaToJis("\x8E", position), B({0x22, 0x2E}));  // 〓
  EXPECT_EQ(position, 2u);
}

TEST(SjisToJisTest, ModeSwitchesAroundKanjiAndLineEnds) {
  EXPECT_EQ(SjisToJis(Sj("日本")), kIn + "F|K\\" + kOut);
  EXPECT_EQ(SjisToJis("a" + Sj("日") + "b"), "a" + kIn + "F|" + kOut + "b");
  EXPECT_EQ(SjisToJis(Sj("日") + "\r\n" + Sj("本")), kIn + "F|" + kOut + "\r\n" + kIn + "K\\" + kOut);
  EXPECT_EQ(SjisToJis(Sj("日") + "\n"), kIn + "F|" + kOut + "\n");
  EXPECT_EQ(SjisToJis("\xB6\xDE\xC3\xDE" + Sj("日")), kIn + B({0x25, 0x2C, 0x25, 0x47}) + "F|" + kOut);
  EXPECT_EQ(SjisToJis("plain\r\n"), "plain\r\n");
}

TEST(SjisToJisTest, LineByLineEqualsWholeText) {
  const std::string text = Sj("件名：テスト\r\nｶﾞｲﾄﾞ とABC\r\n最後の行は改行なし");
  std::string joined;
  for (const auto& line : SplitLines(text)) {
    if (!joined.empty()) joined += "\r\n";
    joined += SjisToJis(line);
  }
  EXPECT_EQ(SjisToJis(text), joined);
}

TEST(JisToSjisTest, ReadsEscapesAndPairs) {
  EXPECT_EQ(JisToSjis(kIn + "F|K\\8l" + "\x1B(B" + "!"), Sj("日本語!"));
  EXPECT_EQ(JisToSjis("a\x1B$@F|\x1B(Jb"), Sj("a日b"));
  // Escapes back to back are both escapes.
  EXPECT_EQ(JisToSjis("\x1B(J\x1B$BF|\x1B(B\x1B(Jx"), Sj("日x"));
  // A line end inside a kanji run stays a line end.
  EXPECT_EQ(JisToSjis(kIn + "F|\r\nK\\" + kOut), Sj("日\r\n本"));
  // A lead byte at the very end is paired with 0.
  EXPECT_EQ(JisToSjis(kIn + "F"), JisToSjisPair(0x46, 0));
  // An escape cut short at the end is dropped.
  EXPECT_EQ(JisToSjis("ab\x1B$"), "ab");
}

TEST(JisToEucTest, SetsTheTopBitInKanjiMode) {
  EXPECT_EQ(JisToEuc("a" + kIn + "F| K\\" + kOut + "b"), "a\xC6\xFC \xCB\xDC" "b");
}

TEST(EucTest, ConvertsBothWays) {
  const std::string euc = "a\xC6\xFC\xCB\xDC\x8E\xB1" "b";
  EXPECT_EQ(EucToSjis(euc), "a" + Sj("日本") + "\xB1" + "b");
  EXPECT_EQ(SjisToEuc("a" + Sj("日本") + "\xB1" + "b"), euc);
  EXPECT_EQ(EucToJis(euc), "a" + kIn + "F|K\\%\"" + kOut + "b");
  EXPECT_EQ(EucToJis("\x8E\xB6\x8E\xDE\r\n"), kIn + "%," + kOut + "\r\n");
}

TEST(ConvertJapaneseCodeTest, Dispatch) {
  const std::string sjis = Sj("メールの本文です。\r\n二行目 line two\r\n");
  const std::string jis = ConvertJapaneseCode(sjis, jcJis);
  EXPECT_EQ(DetectJapaneseCode(jis), jcJis);
  EXPECT_EQ(ConvertJapaneseCode(jis, jcSjis), sjis);
  // Converting an already converted body again changes nothing.
  EXPECT_EQ(ConvertJapaneseCode(jis, jcJis), jis);

  const std::string euc = ConvertJapaneseCode(sjis, jcEuc);
  EXPECT_EQ(DetectJapaneseCode(euc), jcEuc);
  EXPECT_EQ(ConvertJapaneseCode(euc, jcSjis), sjis);
  EXPECT_EQ(ConvertJapaneseCode(euc, jcJis), jis);
  EXPECT_EQ(ConvertJapaneseCode(jis, jcEuc), euc);
}

TEST(ConvertJapaneseCodeTest, LeavesWhatItCannotOrNeedNotConvert) {
  const std::string binary = "\x01" + Sj("日本");
  EXPECT_EQ(ConvertJapaneseCode(binary, jcJis), binary);
  EXPECT_EQ(ConvertJapaneseCode("plain", jcJis), "plain");
  EXPECT_EQ(ConvertJapaneseCode("\xB1\xB2", jcJis), "\xB1\xB2");  // EUC-JP or Shift_JIS: unknown
  EXPECT_EQ(ConvertJapaneseCode("abc\x93", jcJis), "abc\x93");    // last byte alone is never a lead
  EXPECT_EQ(ConvertJapaneseCode(Sj("日本"), jcAscii), Sj("日本"));
  EXPECT_EQ(ConvertJapaneseCode(Sj("日本"), jcOldJis), Sj("日本"));
}

TEST(ConvertJapaneseCodeTest, ShiftJisJisShiftJisRoundTripOverAllKanji) {
  std::string sjis;
  for (int lead = 0x88; lead <= 0x9F; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      sjis += static_cast<char>(lead);
      sjis += static_cast<char>(trail);
    }
    sjis += "\r\n";
  }
  const std::string jis = SjisToJis(sjis);
  for (char c : jis) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
  EXPECT_EQ(JisToSjis(jis), sjis);
  EXPECT_EQ(EucToSjis(SjisToEuc(sjis)), sjis);
}

}  // namespace
}  // namespace mf
