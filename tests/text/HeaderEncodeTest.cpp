#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Base64.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "tests/text/CleanJis.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

const std::string kPrefix = "=?ISO-2022-JP?B?";

std::vector<std::string> FoldedLines(const std::string& header) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    std::size_t end = header.find("\r\n", start);
    lines.push_back(header.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

TEST(EncodeHeaderTextTest, AsciiIsUnchanged) {
  EXPECT_EQ(EncodeHeaderText("Subject: hello  world\t!"), "Subject: hello  world\t!");
  EXPECT_EQ(EncodeHeaderText(""), "");
  EXPECT_EQ(EncodeHeaderText("a=b?c_d", HeaderLocale::Other), "a=b?c_d");
}

TEST(EncodeHeaderTextTest, EncodesOnlyTheJapaneseWord) {
  EXPECT_EQ(EncodeHeaderText("Subject: " + Sj("日本語") + " test"),
            "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhK?= test");
}

TEST(EncodeHeaderTextTest, NeighbouringWordsShareOneRun) {
  // Two Japanese words with only separators between them form one encoded
  // word that carries the space; an ASCII word in between closes the run.
  std::string joined = EncodeHeaderText(Sj("日本 語"));
  EXPECT_EQ(joined.find(' '), std::string::npos);
  EXPECT_EQ(joined.substr(0, kPrefix.size()), kPrefix);
  std::string split = EncodeHeaderText(Sj("日本 and 語"));
  EXPECT_NE(split.find("?= and =?ISO-2022-JP?B?"), std::string::npos);
  std::string decoded = joined;
  DecodeHeaderWords(decoded);
  EXPECT_EQ(decoded, Sj("日本 語"));
}

TEST(EncodeHeaderTextTest, HalfWidthKanaGoesOutAsJis) {
  // A text of half-width kana alone looks like EUC-JP too; it is still ours.
  std::string encoded = EncodeHeaderText("\xB6\xDE\xB2\xC4\xDE");
  std::string payload = encoded.substr(kPrefix.size(), encoded.size() - kPrefix.size() - 2);
  EXPECT_EQ(Base64Decode(payload), std::string("\x1B$B%,%$%I\x1B(J"));
}

TEST(EncodeHeaderTextTest, LongSubjectFoldsAtCharacterBoundaries) {
  std::string subject;
  for (int i = 0; i < 15; ++i) subject += Sj("日本語のｶﾞｲﾄﾞ");
  subject += " end";
  const std::string header = EncodeHeaderText("Subject: " + subject);
  const auto lines = FoldedLines(header);
  ASSERT_GT(lines.size(), 3u);

  std::string jis;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    if (i == 0) {
      ASSERT_EQ(line.substr(0, 9), "Subject: ");
      line = line.substr(9);  // the header name does not count
    } else {
      ASSERT_EQ(line[0], '\t');
      line = line.substr(1);
    }
    if (i + 1 == lines.size()) {
      ASSERT_EQ(line.substr(line.size() - 4), " end");
      line = line.substr(0, line.size() - 4);
    }
    EXPECT_LE(line.size(), 68u) << i;
    ASSERT_EQ(line.substr(0, kPrefix.size()), kPrefix);
    ASSERT_EQ(line.substr(line.size() - 2), "?=");
    // Every word stands alone: whole characters, back in single-byte mode.
    std::string bytes = Base64Decode(line.substr(kPrefix.size(), line.size() - kPrefix.size() - 2));
    EXPECT_EQ(bytes.substr(0, 3), "\x1B$B") << i;
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "\x1B(J") << i;
    EXPECT_EQ(bytes.size() % 2, 0u) << i;
    std::string alone = JisToSjis(bytes);
    for (std::size_t k = 0; k < alone.size(); k += 2) ASSERT_TRUE(IsSjisLeadByte(alone[k])) << i;
    jis += bytes;
  }
  // Half-width kana comes back full-width, as in any JIS text.
  const std::string fullWidth = JisToSjis(SjisToJis(subject));
  EXPECT_EQ(JisToSjis(jis) + " end", fullWidth);

  std::string decoded = header;
  DecodeHeaderWords(decoded);
  EXPECT_EQ(decoded, "Subject: " + fullWidth);
}

// Kanji outside JIS X 0208 proper (IBM extension, NEC row 13, user-defined):
// each encoded word is clean ISO-2022-JP on its own and the words together
// read back as the subject, the IBM kanji as their NEC-selected twins.
TEST(EncodeHeaderTextTest, VendorKanjiGoOutAsCleanWords) {
  std::string longName;
  for (int i = 0; i < 30; ++i) longName += Sj("髙﨑");
  const std::string subjects[] = {
      Sj("髙橋さん"), Sj("﨑山様へ"), "\xFA\x40\xFA\x41" + Sj("の件"), Sj("①㈱"), "\xF0\x40" + Sj("あ"), longName,
  };
  for (const std::string& subject : subjects) {
    SCOPED_TRACE(SjisToUtf8(subject));
    const std::string header = EncodeHeaderText("Subject: " + subject);
    std::string jis;
    for (const std::string& line : FoldedLines(header)) {
      const std::size_t start = line.find(kPrefix);
      ASSERT_NE(start, std::string::npos);
      ASSERT_EQ(line.substr(line.size() - 2), "?=");
      const std::string word = Base64Decode(line.substr(start + kPrefix.size(), line.size() - start - kPrefix.size() - 2));
      EXPECT_EQ(testing::JisFault(word), "");
      jis += word;
    }
    EXPECT_EQ(JisToSjis(jis), JisToSjis(SjisToJis(subject)));
    std::string decoded = header;
    DecodeHeaderWords(decoded);
    EXPECT_EQ(decoded, "Subject: " + JisToSjis(jis));
    if (subject.find("\xF0\x40") == std::string::npos) {
      EXPECT_EQ(SjisToUtf8(decoded), "Subject: " + SjisToUtf8(subject));
    }
  }
}

TEST(EncodeHeaderTextTest, FullLinesCarryThirtySixBytes) {
  // Twenty kanji: ESC $ B + 40 bytes + ESC ( J; the first word holds
  // ESC $ B, 15 kanji and ESC ( J (36 bytes, 48 Base64 characters).
  std::string subject;
  for (int i = 0; i < 20; ++i) subject += Sj("漢");
  const auto lines = FoldedLines(EncodeHeaderText(subject));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), kPrefix.size() + 48 + 2);
  EXPECT_EQ(lines[0].size(), 66u);
}

TEST(EncodeHeaderTextTest, OtherLocaleUsesQ) {
  EXPECT_EQ(EncodeHeaderText("Caf\xE9 au lait", HeaderLocale::Other), "=?ISO-8859-1?Q?Caf=E9?= au lait");
  EXPECT_EQ(EncodeHeaderText("x \xE9=?_ \xE9 y", HeaderLocale::Other), "x =?ISO-8859-1?Q?=E9=3D=3F=5F_=E9?= y");

  std::string longText(80, '\xE9');
  const auto lines = FoldedLines(EncodeHeaderText(longText, HeaderLocale::Other));
  ASSERT_GT(lines.size(), 1u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = i == 0 ? lines[i] : lines[i].substr(1);
    EXPECT_LE(line.size(), 68u);
    EXPECT_EQ(line.substr(0, 15), "=?ISO-8859-1?Q?");
  }
}

TEST(EncodeHeaderTextTest, DoubleByteCharsetsKeepCharactersWhole) {
  std::string hangul;
  for (int i = 0; i < 40; ++i) hangul += "\xC7\xD1";
  const auto lines = FoldedLines(EncodeHeaderText(hangul, HeaderLocale::Korean));
  ASSERT_GT(lines.size(), 1u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line = i == 0 ? lines[i] : lines[i].substr(1);
    ASSERT_EQ(line.substr(0, 11), "=?EUC-KR?B?");
    EXPECT_LE(line.size(), 68u);
    EXPECT_EQ(Base64Decode(line.substr(11, line.size() - 13)).size() % 2, 0u);
  }
}

TEST(HeaderLocaleTest, CharSetsAndLanguageIds) {
  EXPECT_EQ(HeaderCharSet(HeaderLocale::Japanese), "ISO-2022-JP");
  EXPECT_EQ(HeaderCharSet(HeaderLocale::ChineseSimplified), "GB2312");
  EXPECT_EQ(HeaderCharSet(HeaderLocale::ChineseTraditional), "Big5");
  EXPECT_EQ(HeaderCharSet(HeaderLocale::Korean), "EUC-KR");
  EXPECT_EQ(HeaderCharSet(HeaderLocale::Other), "US-ASCII");
  EXPECT_EQ(HeaderLocaleFromLanguageId(0x0411), HeaderLocale::Japanese);
  EXPECT_EQ(HeaderLocaleFromLanguageId(0x0804), HeaderLocale::ChineseSimplified);
  EXPECT_EQ(HeaderLocaleFromLanguageId(0x0404), HeaderLocale::ChineseTraditional);
  EXPECT_EQ(HeaderLocaleFromLanguageId(0x0C04), HeaderLocale::ChineseTraditional);
  EXPECT_EQ(HeaderLocaleFromLanguageId(0x0412), HeaderLocale::Korean);
  EXPECT_EQ(HeaderLocaleFromLanguageId(0x0409), HeaderLocale::Other);
}

TEST(FormatMailAddressTest, QuotesEncodesOrLeavesBare) {
  EXPECT_EQ(FormatMailAddress("", "taro@example.jp"), "taro@example.jp");
  EXPECT_EQ(FormatMailAddress("Taro Yamada", "taro@example.jp"), "Taro Yamada <taro@example.jp>");
  EXPECT_EQ(FormatMailAddress("Taro \"T\" Y\\", "t@x"), "\"Taro \\\"T\\\" Y\\\\\" <t@x>");
  EXPECT_EQ(FormatMailAddress(Sj("日本語"), "t@x"), "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhK?= <t@x>");
  EXPECT_EQ(FormatMailAddress("Caf\xE9", "t@x", HeaderLocale::Other), "=?ISO-8859-1?Q?Caf=E9?= <t@x>");
}

}  // namespace
}  // namespace mf
