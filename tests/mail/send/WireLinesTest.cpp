#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/MailFooter.h"
#include "mail/send/WireLines.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// True when the line leaves every two-byte run with ESC ( B and never
// stops in the middle of a two-byte character.
bool EndsInAscii(const std::string& line) {
  bool twoByte = false;
  std::size_t run = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\x1b' && i + 2 < line.size()) {
      if (twoByte && run % 2 != 0) return false;
      twoByte = line[i + 1] == '$';
      run = 0;
      i += line[i + 1] == '$' && line[i + 2] == '(' ? 3 : 2;
      continue;
    }
    ++run;
  }
  return !twoByte;
}

struct WireCase {
  const char* what;
  std::string line;  // one line of Shift_JIS text
  std::size_t maxBytes;
  std::size_t expectedPieces;
};

class WireLinesTest : public ::testing::TestWithParam<WireCase> {};

// Every piece fits, is valid on its own, and the pieces give the line back.
TEST_P(WireLinesTest, SplitsWithinTheLimitAndLosesNothing) {
  const WireCase& c = GetParam();
  const std::vector<std::string> wire = BodyWireLines(c.line, c.maxBytes);
  ASSERT_EQ(wire.size(), c.expectedPieces) << c.what;
  std::string joined;
  for (std::size_t i = 0; i < wire.size(); ++i) {
    const std::size_t limit = !wire[i].empty() && wire[i][0] == '.' ? c.maxBytes - 1 : c.maxBytes;
    EXPECT_LE(wire[i].size(), limit) << c.what << ", piece " << i;
    EXPECT_TRUE(EndsInAscii(wire[i])) << c.what << ", piece " << i;
    EXPECT_EQ(wire[i].find_first_of("\r\n"), std::string::npos) << c.what;
    joined += JisToSjis(wire[i]);
  }
  // What the converter makes of the whole line (half-width kana become
  // full width), read back.
  EXPECT_TRUE(joined == JisToSjis(ProgramTextToJis(c.line))) << c.what << ": text lost or changed";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WireLinesTest,
    ::testing::Values(
        WireCase{"short ASCII", "hello", kMaxWireLineBytes, 1},
        WireCase{"short Japanese", Sj("こんにちは、世界"), kMaxWireLineBytes, 1},
        WireCase{"long ASCII", std::string(2500, 'a'), kMaxWireLineBytes, 3},
        WireCase{"ASCII exactly at the limit", std::string(998, 'b'), kMaxWireLineBytes, 1},
        // 1000 kanji are 2000 bytes in JIS plus the escapes of each piece.
        WireCase{"long Japanese", Repeat(Sj("漢"), 1000), kMaxWireLineBytes, 3},
        WireCase{"mixed runs across the cut", Repeat("ab" + Sj("字") + "c", 400), kMaxWireLineBytes, 5},
        WireCase{"half-width kana become full width", Repeat(Sj("ｶﾞｷﾞ"), 600), kMaxWireLineBytes, 3},
        WireCase{"a line of dots leaves room for the stuffed dot", std::string(998, '.'), kMaxWireLineBytes, 2},
        WireCase{"a small limit still makes progress", Repeat(Sj("あ"), 50), 16, 10}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(WireLines, ShortLinesAreConvertedOneForOne) {
  const std::string text = Sj("一行目") + "\r\n\r\nthird\nfourth\r\n";
  const std::vector<std::string> wire = BodyWireLines(text);
  ASSERT_EQ(wire.size(), 4u);
  EXPECT_EQ(wire[0], ProgramTextToJis(Sj("一行目")));
  EXPECT_EQ(wire[1], "");
  EXPECT_EQ(wire[2], "third");
  EXPECT_EQ(wire[3], "fourth");
}

TEST(WireLines, AControlByteDoesNotKeepTheLineFromConversion) {
  const std::vector<std::string> wire = BodyWireLines(Sj("漢字") + '\x01' + Sj("かな") + '\xff');
  ASSERT_EQ(wire.size(), 1u);
  for (char c : wire[0]) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "8-bit byte on the wire";
  EXPECT_EQ(SjisToUtf8(JisToSjis(wire[0])), "漢字 かな ");
}

TEST(WireLines, AJapanesePieceReopensItsCharacterSet) {
  const std::vector<std::string> wire = BodyWireLines(Repeat(Sj("漢"), 1000));
  ASSERT_GE(wire.size(), 2u);
  EXPECT_EQ(wire[1].substr(0, 3), "\x1b$B");
  EXPECT_EQ(wire[0].substr(wire[0].size() - 3), "\x1b(B");
}

TEST(MailFooter, SixLinesAfterTheTextAsTyped) {
  const auto& footer = MailFooterLines();
  ASSERT_EQ(footer.size(), 6u);
  EXPECT_EQ(footer[0], "------------------");
  EXPECT_EQ(SjisToUtf8(footer[5]), "から無料でダウンロードできます");
  const std::vector<std::string> lines = SplitLines(TextWithFooter("one\r\ntwo\r\n"));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[1], "two");
  EXPECT_EQ(lines[2], footer[0]);
}

}  // namespace
}  // namespace mf
