#include <gtest/gtest.h>

#include <string>

#include "base/ShiftJis.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

std::string Decoded(std::string text) {
  DecodeHeaderWords(text);
  return text;
}

const std::string kNihongo = "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhK?=";  // 日本語

struct DecodeCase {
  std::string input;
  std::string expected;
};

// RFC 2047 section 8; characters code page 932 cannot hold show as 〓.
TEST(DecodeHeaderWordsTest, Rfc2047Examples) {
  const std::string geta = Sj("〓");
  const DecodeCase cases[] = {
      {"=?US-ASCII?Q?Keith_Moore?= <moore@cs.utk.edu>", "Keith Moore <moore@cs.utk.edu>"},
      {"=?ISO-8859-1?Q?Keld_J=F8rn_Simonsen?= <keld@dkuug.dk>", "Keld J" + geta + "rn Simonsen <keld@dkuug.dk>"},
      {"=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>", "Andr" + geta + " Pirard <PIRARD@vm1.ulg.ac.be>"},
      {"=?ISO-8859-1?B?SWYgeW91IGNhbiByZWFkIHRoaXMgeW8=?=\r\n    "
       "=?ISO-8859-2?B?dSB1bmRlcnN0YW5kIHRoZSBleGFtcGxlLg==?=",
       "If you can read this you understand the example."},
      {"Time for ISO 10646?", "Time for ISO 10646?"},
      {"Nathaniel Borenstein <nsb@thumper.bellcore.com> (=?iso-8859-8?b?7eXs+SDv4SDp7Oj08A==?=)",
       "Nathaniel Borenstein <nsb@thumper.bellcore.com> (" + geta + geta + geta + geta + " " + geta + geta + " " +
           geta + geta + geta + geta + geta + ")"},
      {"(=?ISO-8859-1?Q?a?=)", "(a)"},
      {"(=?ISO-8859-1?Q?a?= b)", "(a b)"},
      {"(=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=)", "(ab)"},
      {"(=?ISO-8859-1?Q?a?=  =?ISO-8859-1?Q?b?=)", "(ab)"},
      {"(=?ISO-8859-1?Q?a?=\r\n    =?ISO-8859-1?Q?b?=)", "(ab)"},
      {"(=?ISO-8859-1?Q?a_b?=)", "(a b)"},
      {"(=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?_b?=)", "(a b)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decoded(c.input), c.expected) << c.input;
}

TEST(DecodeHeaderWordsTest, JapaneseWordsKeepTheirSurroundings) {
  EXPECT_EQ(Decoded(kNihongo), Sj("日本語"));
  EXPECT_EQ(Decoded("Re: " + kNihongo + " (2)"), Sj("Re: 日本語 (2)"));
  EXPECT_EQ(Decoded("Re: " + kNihongo + " and " + kNihongo), Sj("Re: 日本語 and 日本語"));
  EXPECT_EQ(Decoded("=?iso-2022-jp?b?GyRCRnxLXDhsGyhK?="), Sj("日本語"));
  EXPECT_EQ(Decoded("=?ISO-2022-JP?Q?=1B$BF|K\\8l=1B(B?="), Sj("日本語"));
  EXPECT_EQ(Decoded("=?Shift_JIS?B?k/qWe4zq?="), Sj("日本語"));
  EXPECT_EQ(Decoded("=?EUC-JP?B?xvzL3A==?= x"), Sj("日本 x"));
}

TEST(DecodeHeaderWordsTest, OtherCharsetsGoThroughIconvAndKeepTheText) {
  EXPECT_EQ(Decoded("x =?UTF-8?B?5pel5pys?= y"), Sj("x 日本 y"));
  EXPECT_EQ(Decoded("=?utf-8?q?=E6=97=A5?= y"), Sj("日 y"));
  EXPECT_EQ(Decoded("a =?UTF-8?B?8J+YgA==?= b"), Sj("a 〓 b"));
  EXPECT_EQ(Decoded("=?ISO-8859-1*en?Q?abc?="), "abc");
  EXPECT_EQ(Decoded("=?UTF-8?B?5pe?="), Sj("〓"));
  // A charset nobody knows is treated as Japanese text of any code.
  EXPECT_EQ(Decoded("a =?X-UNHEARD-OF?B?k/qWew==?= b"), Sj("a 日本 b"));
}

TEST(DecodeHeaderWordsTest, CharacterSplitAcrossWordsIsJoined) {
  // ESC $ B F in the first word, | K \ 8 l ESC ( J in the second.
  EXPECT_EQ(Decoded("=?ISO-2022-JP?B?GyRCRg==?=\r\n\t=?ISO-2022-JP?B?fEtcOGwbKEo=?="), Sj("日本語"));
  EXPECT_EQ(Decoded("=?UTF-8?B?5pe=?= =?UTF-8?B?pQ==?="), Sj("日"));
}

TEST(DecodeHeaderWordsTest, EndsOnEveryMalformedInput) {
  const DecodeCase cases[] = {
      {"?= before " + kNihongo, "?= before " + Sj("日本語")},
      {"a ?= b =?x", "a ?= b =?x"},
      {"=?ISO-2022-JP?B?GyRCRnxL", "=?ISO-2022-JP?B?GyRCRnxL"},
      {"=?ISO-2022-JP?X?abc?=", "=?ISO-2022-JP?X?abc?="},
      {"=?ISO-2022-JP?BB?abc?=", "=?ISO-2022-JP?BB?abc?="},
      {"=??B?abc?=", "=??B?abc?="},
      {"=?ISO-2022-JP?=", "=?ISO-2022-JP?="},
      {"=?", "=?"},
      {"=?=?ISO-2022-JP?B?GyRCRnxLXDhsGyhK?=", "=?" + Sj("日本語")},
      {"=?a b?B?QQ==?=", "=?a b?B?QQ==?="},
      {"=?US-ASCII?Q?a=?= =?US-ASCII?Q?=4?=", "a==4"},
      {"=?US-ASCII?B?" "?=", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Decoded(c.input), c.expected) << c.input;
}

TEST(DecodeHeaderWordsTest, UnclosedWordsDoNotMakeTheScanQuadratic) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "=?a?B?QQ";
  const std::string original = text;
  DecodeHeaderWords(text);
  EXPECT_EQ(text, original);
}

TEST(DecodeHeaderWordsTest, TrailingNulOfAWordIsDropped) {
  EXPECT_EQ(Decoded("=?US-ASCII?B?YWIA?= c"), "ab c");  // "ab\0"
}

TEST(DecodeHeaderWordsTest, RoundTripsWhatTheEncoderWrites) {
  std::string subject = Sj("Re: 【重要】来週の打ち合わせ資料について、ご確認をお願いします。") + " v2 " +
                        Sj("（全角かっこ）と「引用」");
  std::string header = EncodeHeaderText(subject);
  EXPECT_NE(header.find("\r\n\t"), std::string::npos);
  EXPECT_EQ(Decoded(header), subject);
}

}  // namespace
}  // namespace mf
