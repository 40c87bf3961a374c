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
}  // namespace mf
