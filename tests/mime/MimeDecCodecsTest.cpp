#include <gtest/gtest.h>

#include <string>

#include "mime/MimeDecCodecs.h"
#include "mime/MimeDecTokens.h"

namespace mf::mimedec {
namespace {

std::string QuotedPrintable(const std::string& line) {
  std::string out;
  DecodeQuotedPrintable(line.data(), line.size(), out);
  return out;
}

std::string Uu(const std::string& line) {
  std::string out;
  DecodeUuLine(line.data(), line.size(), out);
  return out;
}

TEST(MimeDecQuotedPrintable, SoftBreaksEscapesAndLineEnds) {
  EXPECT_EQ(QuotedPrintable("a=3Db"), "a=b\r\n");
  EXPECT_EQ(QuotedPrintable("caf=E9=e9"), "caf\xE9\xE9\r\n");  // either letter case
  EXPECT_EQ(QuotedPrintable("abc="), "abc");                   // soft break
  EXPECT_EQ(QuotedPrintable("abc=  \t"), "abc");               // padding after the soft break
  EXPECT_EQ(QuotedPrintable("="), "");
  EXPECT_EQ(QuotedPrintable(""), "\r\n");
  EXPECT_EQ(QuotedPrintable("x=4"), std::string("x\x04\r\n"));  // one digit before the line end
}

TEST(MimeDecQuotedPrintable, KeepsBrokenSequencesAndIllegalBytes) {
  EXPECT_EQ(QuotedPrintable("a=ZZb"), "a=ZZb\r\n");
  EXPECT_EQ(QuotedPrintable("a=\tb"), "a=\tb\r\n");
  EXPECT_EQ(QuotedPrintable("=G"), "=G\r\n");
  EXPECT_EQ(QuotedPrintable("\x82\xa0 raw"), "\x82\xa0 raw\r\n");
  EXPECT_EQ(QuotedPrintable("trailing  "), "trailing  \r\n");
}

TEST(MimeDecUuencode, DecodesLinesAndShortLines) {
  EXPECT_EQ(Uu("#0V%T"), "Cat");
  EXPECT_EQ(Uu("`"), "");
  EXPECT_EQ(Uu(""), "");
  // Trailing blanks (zeros) stripped by a mail transport still count.
  EXPECT_EQ(Uu("#``  "), std::string(3, '\0'));
  EXPECT_EQ(Uu("#``"), std::string(3, '\0'));
  // A count larger than the line holds gives only what is there.
  EXPECT_EQ(Uu("M0V%T").size(), 3u);
  EXPECT_EQ(UuBeginFileName("begin 644 a b.txt", 17), "a b.txt");
  EXPECT_EQ(UuBeginFileName("begin 644", 9), "");
  EXPECT_TRUE(IsCutHereLine("--- CUT HERE ---", 16));
  EXPECT_FALSE(IsCutHereLine("begin 644 --x", 13));
}

TEST(MimeDecTokens, CommentsJoinTheTokenAndQuotesNeedNotClose) {
  std::string comment = "7BIT(old mailer) ";
  TokenReader withComment(comment.data(), comment.size());
  EXPECT_EQ(withComment.Token(true), "7bitold mailer");
  EXPECT_EQ(withComment.Delimiter(), ' ');

  std::string unclosed = "name=\"A b";
  TokenReader quote(unclosed.data(), unclosed.size());
  EXPECT_EQ(quote.Token(), "name");
  EXPECT_EQ(quote.Value(), "A b");
  EXPECT_EQ(quote.Delimiter(), '\0');
  EXPECT_EQ(quote.Token(), "");  // reading past the end stays at the end
}

}  // namespace
}  // namespace mf::mimedec
