#include "net/Md5.h"

#include <gtest/gtest.h>

#include <string>

namespace mf {
namespace {

// The digests come from libcrypto; these pin the forms the log-ins send.
TEST(Md5Test, Rfc1321TestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890123456"
                   "7890"),
            "57edf4a22be3c955ac49da2e2107b67a");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

TEST(HmacMd5Test, Rfc2104Vectors) {
  EXPECT_EQ(HmacMd5Hex(std::string(16, '\x0b'), "Hi There"), "9294727a3638bb1c13f48ef8158bfc9d");
  EXPECT_EQ(HmacMd5Hex("Jefe", "what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738");
  EXPECT_EQ(HmacMd5Hex(std::string(16, '\xaa'), std::string(50, '\xdd')),
            "56be34521d144c88dbb8c733f0e8b3f6");
}

TEST(HmacMd5Test, KeysLongerThanTheBlockAreHashed) {
  // RFC 2202 test case 6.
  EXPECT_EQ(HmacMd5Hex(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
            "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
}

TEST(HmacMd5Test, CramMd5ExampleOfRfc2195) {
  EXPECT_EQ(HmacMd5Hex("tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>"),
            "b913a602c7eda7a495b4e6e7334d3890");
}

}  // namespace
}  // namespace mf
