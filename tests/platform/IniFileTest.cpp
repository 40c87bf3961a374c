#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace mf::platform {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  TemporaryFolder folder;
  std::string path = folder.Path() + "MFMail.ini";
};

TEST_F(IniFileTest, MissingFileOrKeyGivesTheDefaultAndCreatesNothing) {
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("MailSet", "SMTP_SV", "none"), "none");
  EXPECT_EQ(ini.ReadInteger("MailSet", "RcvTime", 20), 20);
  EXPECT_TRUE(ini.ReadBool("MailSet", "Check", true));
  EXPECT_FALSE(FileExists(path));
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileWithCrLf) {
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteString("MailSet", "SMTP_SV", "smtp.example.jp"));
  ASSERT_TRUE(ini.WriteInteger("MailSet", "SMTP_PORT", 25));
  ASSERT_TRUE(ini.WriteString("Main", "Handle", "4194305"));
  EXPECT_EQ(*ReadFile(path), "[MailSet]\r\nSMTP_SV=smtp.example.jp\r\nSMTP_PORT=25\r\n[Main]\r\nHandle=4194305\r\n");
}

TEST_F(IniFileTest, NamesAreFoundWithoutRegardToCaseAndValuesAreReplacedInPlace) {
  ASSERT_TRUE(WriteFileAtomic(path, "[mailset]\r\nsmtp_sv = old\r\nOther=1\r\n[Window]\r\nTop=3\r\n"));
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("MAILSET", "SMTP_SV", ""), "old");
  ASSERT_TRUE(ini.WriteString("MailSet", "SMTP_SV", "new"));
  EXPECT_EQ(*ReadFile(path), "[mailset]\r\nSMTP_SV=new\r\nOther=1\r\n[Window]\r\nTop=3\r\n");
  ASSERT_TRUE(ini.WriteString("MailSet", "Added", "x"));
  EXPECT_EQ(*ReadFile(path), "[mailset]\r\nSMTP_SV=new\r\nOther=1\r\nAdded=x\r\n[Window]\r\nTop=3\r\n");
}

TEST_F(IniFileTest, IntegersAndBooleans) {
  ASSERT_TRUE(WriteFileAtomic(path, "[S]\nA=12\nB=x12\nC=$1F\nD=0\nE=-4\nF=\n"));
  IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("S", "A", 0), 12);
  EXPECT_EQ(ini.ReadInteger("S", "B", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "C", 0), 31);
  EXPECT_FALSE(ini.ReadBool("S", "D", true));
  EXPECT_TRUE(ini.ReadBool("S", "E", false));
  EXPECT_TRUE(ini.ReadBool("S", "F", true));  // empty is not an integer: the default
  EXPECT_EQ(ini.ReadString("S", "F", "d"), "");  // but it is a present, empty string
}

TEST_F(IniFileTest, ShiftJisValuesSurviveIncludingTrailBytesThatLookLikeBrackets) {
  IniFile ini(path);
  // "ソ" ends in 0x5C and "ー" is 0x81 0x5B ('['): neither may confuse the parser.
  std::string value = Sj("ソフトー署名");
  ASSERT_TRUE(ini.WriteString("MailSet", "Sig0", value));
  EXPECT_EQ(ini.ReadString("MailSet", "Sig0", ""), value);
}

TEST_F(IniFileTest, DeleteKeyAndEraseSection) {
  IniFile ini(path);
  ini.WriteString("A", "k1", "1");
  ini.WriteString("A", "k2", "2");
  ini.WriteString("B", "k", "3");
  ASSERT_TRUE(ini.DeleteKey("a", "K1"));
  EXPECT_FALSE(ini.ValueExists("A", "k1"));
  EXPECT_EQ(ini.ReadSection("A"), std::vector<std::string>{"k2"});
  ASSERT_TRUE(ini.EraseSection("A"));
  EXPECT_FALSE(ini.SectionExists("A"));
  EXPECT_EQ(ini.ReadString("B", "k", ""), "3");
}

}  // namespace
}  // namespace mf::platform
