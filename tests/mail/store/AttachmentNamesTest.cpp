#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "mail/store/AttachmentNames.h"

namespace mf {
namespace {

TEST(AttachmentNames, FolderFromMessageId) {
  EXPECT_EQ(ReceivedFolderBaseName(" <20030106.abc@host.example>"), "20030106.abc");
  EXPECT_EQ(ReceivedFolderBaseName(" <no-at-sign>"), "no-at-sign_");
  EXPECT_EQ(ReceivedFolderBaseName(""), "");
  EXPECT_EQ(ReceivedFolderBaseName(" <"), "");
}

TEST(AttachmentNames, HostileFolderNamesCannotLeaveTheStore) {
  EXPECT_EQ(ReceivedFolderBaseName(" <../../etc@x>"), "_._.__etc");
  EXPECT_EQ(SafeFolderName(".."), "_.");
  EXPECT_EQ(SafeFolderName("a/b\\c\r\n\x01 d"), "a_b_c____d");
  EXPECT_EQ(SafeFolderName(std::string(300, 'x')).size(), 100u);
  for (const auto& name : {SafeFolderName("../.."), SafeFolderName("./x"), SafeFolderName("...")}) {
    EXPECT_EQ(name.find(".."), std::string::npos) << name;
    EXPECT_EQ(name.find('/'), std::string::npos) << name;
    EXPECT_NE(name[0], '.') << name;
  }
}

TEST(AttachmentNames, FileNamesKeepJapaneseButNotSeparators) {
  EXPECT_EQ(SafeAttachmentFileName(Sj("表示資料.doc")), Sj("表示資料.doc"));  // trail byte 0x5C kept
  EXPECT_EQ(SafeAttachmentFileName("MofutanData.mfd"), "MofutanData.mfd");
  EXPECT_EQ(SafeAttachmentFileName("../../.bashrc"), "_._.__.bashrc");
  EXPECT_EQ(SafeAttachmentFileName("/etc/passwd"), "_etc_passwd");
  EXPECT_EQ(SafeAttachmentFileName("a\tb\x7f"), "a_b_");
  EXPECT_EQ(SafeAttachmentFileName("  "), "noname");
  EXPECT_EQ(SafeAttachmentFileName("\x82"), "_");  // a lead byte without its partner
  std::string longName = SafeAttachmentFileName(std::string(400, 'a') + ".pdf");
  EXPECT_EQ(longName.size(), 150u);
  EXPECT_EQ(longName.substr(longName.size() - 4), ".pdf");
  // Cutting a long name must not bring two dots together.
  std::string dotted = SafeAttachmentFileName(std::string(147, 'a') + "." + std::string(100, 'b') + ".x");
  EXPECT_EQ(dotted.find(".."), std::string::npos);
  std::string japanese;
  for (int i = 0; i < 100; ++i) japanese += Sj("あ");
  std::string cut = SafeAttachmentFileName(japanese);
  EXPECT_EQ(cut.size(), 150u);  // whole characters only
  EXPECT_EQ(cut, japanese.substr(0, 150));
}

}  // namespace
}  // namespace mf
