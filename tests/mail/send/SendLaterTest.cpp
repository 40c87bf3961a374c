// "後で送る": the outbox records with copies of the attached files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Identifiers.h"
#include "base/ShiftJis.h"
#include "mail/store/MailStatus.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "tests/mail/send/SendFixture.h"

namespace mf {
namespace {

class SendLaterTest : public testing::SendTestBase {
 protected:
  std::vector<std::string> AttachmentFolders() const {
    return platform::ListFolder(store_.StoreFolder(), "*", platform::ListKind::FoldersOnly);
  }
};

TEST_F(SendLaterTest, AQueuedReplyIsWaitingAndMarksItsInboxMail) {
  HeaderRecord inbox{StatusWord(MailStatus::Read), "s", "x@y.jp", "d", "me", ""};
  ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, inbox, BodyRecord{{}, "t"}), StoreResult::Done);
  Composition reply = SimpleMail();
  reply.cc = "cc@example.jp";
  reply.replyMode = true;
  reply.replyIndex = 0;
  reply.inReplyTo = "<orig@x.jp>";
  reply.references = "<orig@x.jp>";
  std::string error;
  ASSERT_TRUE(controller_.SendLater(reply, error)) << SjisToUtf8(error);

  EXPECT_EQ(ReadStoreFile("WaitTransmissionHeader.txt"),
            Sj("送信待ち返信") + "\r\n" + reply.subject +
                "\r\ntaro@example.jp\r\nTue, 5 Mar 2024 14:07:09 +0900\r\nhanako@example.jp\r\n\r\n\x01\x01\r\n");
  EXPECT_EQ(ReadStoreFile("WaitTransmissionAllBody.txt"),
            "Subject: " + reply.subject +
                "\r\nFrom: taro@example.jp\r\nDate: Tue, 5 Mar 2024 14:07:09 +0900\r\nTo: hanako@example.jp\r\n"
                "Cc: cc@example.jp\r\nIn-Reply-To: <orig@x.jp>\r\nReferences: <orig@x.jp>\r\nX-Character: \r\n\r\n" +
                Sj("本文の一行目") + "\r\nsecond line\r\n\r\n\x01\x01\r\n");
  EXPECT_EQ(ParseHeaderRecords(ReadStoreFile(Sj("受信.txt")))[0].status, StatusWord(MailStatus::Replied));
  EXPECT_TRUE(AttachmentFolders().empty());
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Sent)));
}

TEST_F(SendLaterTest, TwoFilesOfTheSameNameAreBothKept) {
  Composition mail = SimpleMail();
  platform::CreateFolder(outside_.Path() + "a");
  platform::CreateFolder(outside_.Path() + "b");
  mail.attachments = {WriteFile("a/note.txt", "first"), WriteFile("b/note.txt", "second")};
  std::string error;
  ASSERT_TRUE(controller_.SendLater(mail, error)) << SjisToUtf8(error);

  const auto header = ParseHeaderRecords(ReadStoreFile("WaitTransmissionHeader.txt"));
  ASSERT_EQ(header.size(), 1u);
  EXPECT_EQ(header[0].status, StatusWord(MailStatus::Waiting));
  ASSERT_EQ(AttachmentFolders(), std::vector<std::string>{header[0].attachmentFolder});
  const auto files = AttachmentFilesOf(ReadStoreFile("WaitTransmissionAllBody.txt"));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NE(files[0], files[1]);
  EXPECT_EQ(platform::ReadFile(files[0]).value_or(""), "first");
  EXPECT_EQ(platform::ReadFile(files[1]).value_or(""), "second");
  EXPECT_EQ(platform::ExtractFileName(files[1]), "note(2).txt");
}

TEST_F(SendLaterTest, ACarriedMailKeepsThePackageNameAndShowsNoFolder) {
  Composition mail = SimpleMail();
  platform::CreateFolder(outside_.Path() + "char3");
  mail.packagePath = WriteFile("char3/MofutanData.mfd", "pkg");
  mail.characterId = "<c@x>";
  mail.attachments = {WriteFile("MofutanData.mfd", "user's own file")};
  std::string error;
  ASSERT_TRUE(controller_.SendLater(mail, error));
  const auto files = AttachmentFilesOf(ReadStoreFile("WaitTransmissionAllBody.txt"));
  ASSERT_EQ(files.size(), 2u);
  // The package, last, keeps the name that marks it; the user's file steps aside.
  EXPECT_EQ(platform::ExtractFileName(files[1]), "MofutanData.mfd");
  EXPECT_EQ(platform::ReadFile(files[1]).value_or(""), "pkg");
  EXPECT_EQ(platform::ReadFile(files[0]).value_or(""), "user's own file");
  // With a file of its own besides the package, the mail shows its folder.
  EXPECT_NE(ParseHeaderRecords(ReadStoreFile("WaitTransmissionHeader.txt"))[0].attachmentFolder, "");

  Composition onlyPackage = SimpleMail();
  onlyPackage.packagePath = mail.packagePath;
  ASSERT_TRUE(controller_.SendLater(onlyPackage, error));
  EXPECT_EQ(ParseHeaderRecords(ReadStoreFile("WaitTransmissionHeader.txt"))[1].attachmentFolder, "");
}

TEST_F(SendLaterTest, AFileThatCannotBeCopiedQueuesNothing) {
  Composition mail = SimpleMail();
  const std::string gone = outside_.Path() + "gone.bin";
  mail.attachments = {WriteFile("here.bin", "x"), gone};
  std::string error;
  EXPECT_FALSE(controller_.SendLater(mail, error));
  EXPECT_NE(error.find(gone), std::string::npos) << SjisToUtf8(error);
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Outbox)));
  EXPECT_FALSE(platform::FileExists(store_.BodyPath(FolderKind::Outbox)));
  EXPECT_TRUE(AttachmentFolders().empty());
}

TEST_F(SendLaterTest, ABlankRecipientQueuesNothing) {
  Composition mail = SimpleMail();
  mail.to = " \t";
  std::string error;
  EXPECT_FALSE(controller_.SendLater(mail, error));
  EXPECT_EQ(error, NoRecipientText());
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Outbox)));
}

TEST_F(SendLaterTest, AnAttachmentFolderInUseIsNotShared) {
  // The same draws give the same name: make it exist first.
  ScriptedRandom twin;
  const std::string stamp = MakeStamp(clock_.Now());
  const std::string taken = stamp + "." + MakeUniqueTail(stamp.size(), twin);
  ASSERT_TRUE(platform::CreateFolder(store_.StoreFolder() + taken));
  ASSERT_TRUE(platform::WriteFileAtomic(store_.StoreFolder() + taken + "/note.txt", "other mail"));

  Composition mail = SimpleMail();
  mail.attachments = {WriteFile("note.txt", "mine")};
  std::string error;
  ASSERT_TRUE(controller_.SendLater(mail, error));
  const std::string folder = ParseHeaderRecords(ReadStoreFile("WaitTransmissionHeader.txt"))[0].attachmentFolder;
  EXPECT_EQ(folder.substr(0, taken.size()), taken);
  EXPECT_GT(folder.size(), taken.size());
  const auto files = AttachmentFilesOf(ReadStoreFile("WaitTransmissionAllBody.txt"));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(platform::ReadFile(files[0]).value_or(""), "mine");
  EXPECT_EQ(platform::ReadFile(store_.StoreFolder() + taken + "/note.txt").value_or(""), "other mail");
}

}  // namespace
}  // namespace mf
