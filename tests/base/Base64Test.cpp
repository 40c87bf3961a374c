#include <gtest/gtest.h>

#include "base/Base64.h"

namespace mf {
namespace {

TEST(Base64, StandardAlphabetWithPadding) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("\xff\xfe\xfd"), "//79");
  std::string out = "=?ISO-2022-JP?B?";
  AppendBase64(out, "foob");
  EXPECT_EQ(out, "=?ISO-2022-JP?B?Zm9vYg==");
}

}  // namespace
// Decoded in place, as the MIME decoder does with a body line.
std::string Decoded(std::string line) {
  line.resize(Base64DecodeInPlace(line.data(), line.size()));
  return line;
}

TEST(Base64Decode, DecodesGroupsAndPadding) {
  EXPECT_EQ(Decoded("TWFu"), "Man");
  EXPECT_EQ(Decoded("TQ=="), "M");
  EXPECT_EQ(Decoded("TWE="), "Ma");
  EXPECT_EQ(Decoded("   TWFuTWE="), "ManMa");  // leading blanks skipped
  EXPECT_EQ(Decoded("TWFu TWFu"), "Man");      // a blank ends the data
  EXPECT_EQ(Decoded("TQ==TWFu"), "MMan");      // padded group followed by more
  EXPECT_EQ(Decoded(""), "");
  EXPECT_EQ(Decoded("===="), "");
}

TEST(Base64Decode, SurvivesBadCharactersAndMissingPadding) {
  EXPECT_EQ(Decoded("TW*Fu"), "Man");  // outside the alphabet: ignored
  EXPECT_EQ(Decoded("TWFu\x80\xff"), "Man");
  EXPECT_EQ(Decoded("TQ"), "M");  // padding missing
  EXPECT_EQ(Decoded("TWE"), "Ma");
  EXPECT_EQ(Decoded("TWFuT"), "Man");  // one stray character holds no byte
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
  EXPECT_LE(Decoded(binary).size(), binary.size());
}

TEST(Base64Decode, GroupsPaddingAndBreaks) {
  EXPECT_EQ(Base64Decode(""), "");
  EXPECT_EQ(Base64Decode("QQ=="), "A");
  EXPECT_EQ(Base64Decode("QUI="), "AB");
  EXPECT_EQ(Base64Decode("QUJD"), "ABC");
  EXPECT_EQ(Base64Decode("QUJD\r\nREVG"), "ABCDEF");
  EXPECT_EQ(Base64Decode("GyRCRnxLXDhsGyhK"), "\x1B$BF|K\\8l\x1B(J");
  // Cut short: the whole bytes it holds, nothing read beyond the end.
  EXPECT_EQ(Base64Decode("QUJ"), "AB");
  EXPECT_EQ(Base64Decode("QU"), "A");
  EXPECT_EQ(Base64Decode("Q"), "");
  EXPECT_EQ(Base64Decode("QQ==QQ=="), "AA");
}

}  // namespace mf
