#include <gtest/gtest.h>

#include "base/Integer.h"

namespace mf {
namespace {

TEST(IsInteger, AcceptsDigitsWithOptionalLeadingMinus) {
  EXPECT_TRUE(IsInteger("0"));
  EXPECT_TRUE(IsInteger("007"));
  EXPECT_TRUE(IsInteger("-0"));
  EXPECT_TRUE(IsInteger("-12"));
  EXPECT_TRUE(IsInteger("2147483647"));
  EXPECT_TRUE(IsInteger("-2147483648"));
}

TEST(IsInteger, RejectsEverythingElse) {
  EXPECT_FALSE(IsInteger(""));
  EXPECT_FALSE(IsInteger("-"));
  EXPECT_FALSE(IsInteger("+1"));
  EXPECT_FALSE(IsInteger(" 1"));
  EXPECT_FALSE(IsInteger("1 "));
  EXPECT_FALSE(IsInteger("1-"));
  EXPECT_FALSE(IsInteger("--1"));
  EXPECT_FALSE(IsInteger("0x10"));
  EXPECT_FALSE(IsInteger("2147483648"));
  EXPECT_FALSE(IsInteger("-2147483649"));
  EXPECT_FALSE(IsInteger("99999999999999999999"));
}

TEST(ToInteger, GivesTheValueOrTheFallback) {
  EXPECT_EQ(ToInteger("007"), 7);
  EXPECT_EQ(ToInteger("-0"), 0);
  EXPECT_EQ(ToIntegerOr("x", 5), 5);
  EXPECT_EQ(ToIntegerOr("-3", 5), -3);
}

}  // namespace
}  // namespace mf
