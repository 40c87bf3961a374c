// Code page 932 characters outside JIS X 0208: the NEC rows, the IBM
// extension kanji (lead bytes 0xFA-0xFC) and the user-defined area. None of
// them may put an 8-bit or control byte into ISO-2022-JP or broken pairs
// into EUC-JP.
#include <gtest/gtest.h>

#include <string>

#include "base/ShiftJis.h"
#include "tests/text/CleanJis.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using testing::JisFault;

const std::string kIn = "\x1B$B";
const std::string kOut = "\x1B(J";
const std::string kGeta = "\".";  // 〓

std::string SetTopBits(std::string jis) {
  for (char& c : jis) c = static_cast<char>(c | 0x80);
  return jis;
}

struct VendorCase {
  const char* name;
  std::string sjis;
  std::string jis;   // the pairs between ESC $ B and ESC ( J
  std::string back;  // JIS to Shift_JIS again
  bool detectedAsSjis;
};

// The IBM codes come back as their NEC-selected (or NEC row 13, or JIS)
// twins, which code page 932 shows as the same characters.
const VendorCase kCases[] = {
    {"髙橋", "\xFB\xFC\x8B\xB4", "|b66", "\xEE\xE0\x8B\xB4", true},
    {"﨑山", "\xFA\xB1\x8E\x52", "yu;3", "\xED\x95\x8E\x52", true},
    {"ⅰⅱ", "\xFA\x40\xFA\x41", "|q|r", "\xEE\xEF\xEE\xF0", true},
    {"①㈱ (NEC row 13)", "\x87\x40\x87\x8A", "-!-j", "\x87\x40\x87\x8A", true},
    {"Ⅰ, ￢ and ∵ from the IBM block", "\xFA\x4A\xFA\x54\xFA\x5B", "-5\"L\"h", "\x87\x54\x81\xCA\x81\xE6", true},
    {"last IBM kanji", "\xFC\x4B", "|n", "\xEE\xEC", false},
    {"user-defined character", "\xF0\x40", kGeta, "\x81\xAC", false},
    {"past the IBM block", "\xFC\x4C", kGeta, "\x81\xAC", false},
};

TEST(VendorKanjiTest, JisBytesAndWayBack) {
  const std::string hiragana = Sj("あ");
  const std::string hiraganaJis = "$\"";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string alone = SjisToJis(c.sjis + "\r\n");
    EXPECT_EQ(alone, kIn + c.jis + kOut + "\r\n");
    EXPECT_EQ(JisFault(alone), "");
    const std::string afterKana = SjisToJis(hiragana + c.sjis);
    EXPECT_EQ(afterKana, kIn + hiraganaJis + c.jis + kOut);
    EXPECT_EQ(JisFault(afterKana), "");

    EXPECT_EQ(JisToSjis(alone), c.back + "\r\n");
    if (c.jis != kGeta) {
      EXPECT_EQ(SjisToUtf8(c.back), SjisToUtf8(c.sjis));
    }

    EXPECT_EQ(SjisToEuc(c.sjis), SetTopBits(c.jis));
    EXPECT_EQ(EucToJis(SjisToEuc(c.sjis)), SjisToJis(c.sjis));
    EXPECT_EQ(ProgramTextToJis(c.sjis), SjisToJis(c.sjis));
    if (c.detectedAsSjis) {
      EXPECT_EQ(ConvertJapaneseCode(c.sjis, jcJis), SjisToJis(c.sjis));
    }
  }
}

TEST(VendorKanjiTest, EveryIbmExtensionCodeBecomesItsTwin) {
  int checked = 0;
  for (unsigned code = 0xFA40; code <= 0xFC4B; ++code) {
    const unsigned trail = code & 0xFF;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) continue;
    const std::string sjis{static_cast<char>(code >> 8), static_cast<char>(trail)};
    const std::string jis = SjisToJis(sjis);
    ASSERT_EQ(JisFault(jis), "") << std::hex << code;
    const std::string back = JisToSjis(jis);
    ASSERT_EQ(back.size(), 2u) << std::hex << code;
    EXPECT_LE(static_cast<unsigned char>(back[0]), 0xEF) << std::hex << code;
    EXPECT_EQ(SjisToUtf8(back), SjisToUtf8(sjis)) << std::hex << code;
    ++checked;
  }
  EXPECT_EQ(checked, 388);
}

// Every lead byte with every byte after it, ahead of a line break: the
// writers never emit a broken byte and never swallow the line break.
TEST(VendorKanjiTest, AnyTwoBytesStayCleanAndKeepTheLineBreak) {
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0x00; trail <= 0xFF; ++trail) {
      if (trail == 0x1B) continue;  // an escape in the input is copied as it is
      const std::string text{'x', static_cast<char>(lead), static_cast<char>(trail), '\r', '\n'};
      for (const std::string& jis : {SjisToJis(text), EucToJis(text)}) {
        ASSERT_EQ(JisFault(jis), "") << std::hex << lead << " " << trail;
        ASSERT_EQ(jis.substr(jis.size() - 2), "\r\n") << std::hex << lead << " " << trail;
      }
      const std::string euc = SjisToEuc(text);
      ASSERT_EQ(euc.substr(euc.size() - 2), "\r\n") << std::hex << lead << " " << trail;
      for (std::size_t i = 0; i < euc.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(euc[i]);
        if (c < 0x80) continue;
        const unsigned char d = i + 1 < euc.size() ? static_cast<unsigned char>(euc[i + 1]) : 0;
        const bool kana = c == 0x8E && d >= 0xA1 && d <= 0xDF;
        const bool pair = c >= 0xA1 && c <= 0xFE && d >= 0xA1 && d <= 0xFE;
        ASSERT_TRUE(kana || pair) << std::hex << lead << " " << trail << " at " << i;
        ++i;
      }
    }
  }
}

TEST(VendorKanjiTest, BytesThatLeadNothingBecomeGetaAlone) {
  EXPECT_EQ(SjisToJis("\x82\r\n"), kIn + kGeta + kOut + "\r\n");
  EXPECT_EQ(SjisToJis("\x82 a"), kIn + kGeta + kOut + " a");
  EXPECT_EQ(SjisToJis("\x80\x82\xA0"), kIn + kGeta + "$\"" + kOut);  // 0x80 leads nothing; あ follows
  EXPECT_EQ(SjisToJis("\xFD\xFE\xFF"), kIn + kGeta + kGeta + kGeta + kOut);
  EXPECT_EQ(SjisToJis("\x82\x7F"), kIn + kGeta + kOut + "\x7F");
  EXPECT_EQ(SjisToEuc("\x82\n"), "\xA2\xAE\n");
  EXPECT_EQ(SjisToJisPair(0x82, 0x7F), kGeta);
  EXPECT_EQ(SjisToJisPair(0xFB, 0xFC), "|b");

  EXPECT_EQ(EucToJis("\xC6\n"), kIn + kGeta + kOut + "\n");
  EXPECT_EQ(EucToJis("\x8F\xB0\xA1" "a"), kIn + kGeta + kOut + "a");  // JIS X 0212
  EXPECT_EQ(EucToJis("\x8E\r\n"), kIn + kGeta + kOut + "\r\n");

  // Received EUC-JP read into Shift_JIS: the same bytes keep what follows them.
  const std::string geta = Sj("〓");
  EXPECT_EQ(EucToSjis("\xC6\r\n"), geta + "\r\n");
  EXPECT_EQ(EucToSjis("\xC6" "a"), geta + "a");
  EXPECT_EQ(EucToSjis("\x8F\xB0\xA1\xC6\xFC"), geta + Sj("日"));
  EXPECT_EQ(EucToSjis("\x90\xC6\xFC"), geta + Sj("日"));
}

TEST(ProgramTextToJisTest, ConvertsAsShiftJisAndLeavesJisAndAscii) {
  const std::string jis = kIn + "F|" + kOut + "\r\n";
  EXPECT_EQ(ProgramTextToJis(jis), jis);
  EXPECT_EQ(ProgramTextToJis("plain\r\n"), "plain\r\n");
  EXPECT_EQ(ProgramTextToJis(""), "");
  // Text that detection calls EUC-JP or cannot decide is still ours.
  EXPECT_EQ(ProgramTextToJis(Sj("髙橋さん")), kIn + "|b66$5$s" + kOut);
  EXPECT_EQ(ProgramTextToJis("\xB1\xB2"), kIn + "%\"%$" + kOut);
  EXPECT_EQ(ProgramTextToJis("\xF0\x40\xF0\x41"), kIn + kGeta + kGeta + kOut);
  // A last byte alone or a control byte does not let 8-bit bytes through.
  EXPECT_EQ(ProgramTextToJis("abc\x93"), "abc" + kIn + kGeta + kOut);
  EXPECT_EQ(ProgramTextToJis("\x01" + Sj("日")), "\x01" + kIn + "F|" + kOut);
  // Shift_JIS after a JIS run is converted too; the JIS part stays as it is.
  EXPECT_EQ(ProgramTextToJis(kIn + "F|" + kOut + Sj("本")), kIn + "F|" + kOut + kIn + "K\\" + kOut);
}

}  // namespace
}  // namespace mf
