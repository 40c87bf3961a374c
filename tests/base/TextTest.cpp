#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "base/Text.h"

namespace mf {
namespace {

TEST(SplitLines, AcceptsEveryLineEndAndNoTrailingEmptyLine) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(JoinLines({"a", ""}), "a\r\n\r\n");
}

TEST(ShiftJis, RoundTripsJapaneseAndMarksWhatItCannotHold) {
  std::string sjis = Sj("モフタン");
  EXPECT_EQ(sjis, "\x83\x82\x83\x74\x83\x5E\x83\x93");
  EXPECT_EQ(SjisToUtf8(sjis), "モフタン");
  EXPECT_EQ(Sj("a😀b"), "a\x81\xAC" "b");  // 〓 for a character outside code page 932
  EXPECT_EQ(SjisToUtf8("\x81"), "\xEF\xBF\xBD");  // a lone lead byte
}

TEST(Text, CaseChangesLeaveTrailBytesAlone) {
  // "ソ" is 0x83 0x5C and "ア" is 0x83 0x41: the second byte looks like ASCII.
  std::string text = Sj("ア") + "Ab";
  EXPECT_EQ(LowerAscii(text), Sj("ア") + "ab");
  EXPECT_EQ(UpperAscii(text), Sj("ア") + "AB");
  EXPECT_TRUE(EqualsIgnoreAsciiCase("MailSet", "MAILSET"));
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
}

}  // namespace
}  // namespace mf
