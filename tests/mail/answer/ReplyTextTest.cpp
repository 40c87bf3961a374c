#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "character/CharacterPackage.h"
#include "mail/answer/ComposeAttachments.h"
#include "mail/answer/QuoteColours.h"
#include "mail/answer/ReplyText.h"
#include "mail/answer/SaveAsText.h"
#include "mail/send/ReEdit.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoredMail.h"
#include "platform/Files.h"

namespace mf {
namespace {

// An inbox mail as the receiving flow stores it, read back through the store.
class StoredMailTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store.Prepare()); }

  std::string Receive(ReceivedMail mail) {
    HeaderRecord header{StatusWord(MailStatus::Unread), mail.subject, mail.from, "Mon, 6 Jan 2003 12:00:00 +0900",
                        mail.to, ""};
    EXPECT_EQ(store.AppendMail(FolderKind::Inbox, header, InboxBodyRecord(mail)), StoreResult::Done);
    return store.ReadBodyRecord(FolderKind::Inbox, store.RecordCount(FolderKind::Inbox) - 1);
  }

  ReceivedMail Mail(std::string subject, std::string text) {
    ReceivedMail mail;
    mail.from = Sj("山田 <yamada@example.jp>");
    mail.to = "me@example.jp";
    mail.subject = std::move(subject);
    mail.messageId = "<m2@example.jp>";
    mail.references = "<m1@example.jp>";
    mail.inReplyTo = "<m1@example.jp>";
    mail.characterId = "<20030106.abc@example.jp>";
    mail.text = std::move(text);
    return mail;
  }

  std::string Attachment(const std::string& folder, const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(platform::CreateFolders(store.StoreFolder() + folder));
    std::string path = store.StoreFolder() + folder + "/" + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  platform::TemporaryFolder home;
  MailStore store{home.Path()};
};

// The smallest package the check accepts: its length, its name, an empty
// scene, the picture size and the end mark.
std::string ValidPackage() {
  std::string body = std::string(kPackageName) + std::string("\0\0", 2) + "\x2e\x2e" + std::string(1, '\0');
  std::uint32_t size = static_cast<std::uint32_t>(body.size() + 4);
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(size >> shift & 0xFF));
  return out + body;
}

TEST_F(StoredMailTest, ReplyQuotesEveryLineAndCarriesTheThreadHeaders) {
  const std::string stored = Receive(Mail("Re: hello", "> first said\r\nsecond said\r\n\r\n  \r\n"));
  StoredMailValues values = ParseStoredMail(stored);
  EXPECT_EQ(values.sender, Sj("山田 <yamada@example.jp>"));
  EXPECT_EQ(values.subject, "Re: hello");
  EXPECT_EQ(values.messageId, "<m2@example.jp>");
  EXPECT_EQ(values.characterId, "<20030106.abc@example.jp>");
  EXPECT_EQ(values.quotedText, "> > first said\r\n> second said\r\n");
  EXPECT_EQ(values.quotedLines, 2u);
  EXPECT_EQ(values.combinedReferences, "<m2@example.jp>, <m1@example.jp>");

  ComposeFill reply = MakeReply(values);
  EXPECT_EQ(reply.subject, "Re: hello");  // not "Re: Re: hello"
  EXPECT_EQ(reply.caption, reply.subject);
  EXPECT_EQ(reply.to, values.sender);
  EXPECT_EQ(reply.body, values.sender + Sj("へのお返事") + "\r\n\r\n> > first said\r\n> second said\r\n");
  EXPECT_EQ(reply.inReplyTo, "<m2@example.jp>");
  EXPECT_EQ(reply.references, "<m2@example.jp>, <m1@example.jp>");

  ComposeFill forward = MakeForward(values);
  EXPECT_EQ(forward.subject, "Fwd: Re: hello");
  EXPECT_EQ(forward.to, "");
  EXPECT_EQ(forward.body, values.sender + Sj("からのメール") + "\r\n\r\n> > first said\r\n> second said\r\n");

  // Answering the answer quotes once more; its colours follow the depth.
  StoredMailValues again = ParseStoredMail("From: a@b\r\nSubject: x\r\n\r\n" + reply.body);
  EXPECT_EQ(MakeReply(again).subject, "Re: x");
  auto colours = QuoteColoursByLine(again.quotedText);
  ASSERT_EQ(colours.size(), 4u);
  EXPECT_EQ(colours[0], (Rgb{0, 128, 0}));   // the "へのお返事" line, quoted once
  EXPECT_EQ(colours[2], (Rgb{255, 0, 0}));  // "> > > first said"
  EXPECT_EQ(colours[3], (Rgb{0, 0, 255}));  // "> > second said"
}

TEST(ReplySubject, ReIsAddedOnceInAnyCase) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"hello", "Re: hello"}, {"Re: hello", "Re: hello"}, {"RE:hello", "RE:hello"},
      {"re: re: x", "re: re: x"}, {"", "Re: "}, {"Reply", "Re: Reply"}, {Sj("件名"), "Re: " + Sj("件名")},
  };
  for (const auto& [subject, expected] : cases) EXPECT_EQ(ReplySubject(subject), expected) << subject;
}

TEST(ParseStoredMail, EmptyTextQuotesOneLineAndMissingFieldsStayEmpty) {
  StoredMailValues values = ParseStoredMail("Subject: only\r\nFrom: a@b");
  EXPECT_EQ(values.quotedText, "> \r\n");
  EXPECT_EQ(values.quotedLines, 1u);
  EXPECT_EQ(values.messageId, "");
  EXPECT_EQ(values.combinedReferences, "");
  // A text line that looks like a field is not read as one.
  values = ParseStoredMail("Subject: s\r\nFrom: a@b\r\n\r\nMessage-ID: <fake@x>\r\nX-Character: <evil>");
  EXPECT_EQ(values.messageId, "");
  EXPECT_EQ(values.characterId, "");
  EXPECT_TRUE(values.attachmentFiles.empty());
}

TEST(QuoteDepth, CountsMarksAcrossBlanks) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 0}, {"text", 0}, {"> a", 1}, {">> a", 2}, {" > > a", 2}, {">>>", 3}, {"> > > > a", 4},
      {">>>>> deep", 5}, {"a > b", 0},
  };
  for (const auto& [line, depth] : cases) EXPECT_EQ(QuoteDepth(line), depth) << line;
  EXPECT_FALSE(QuoteColour(0));
  EXPECT_EQ(QuoteColour(4), (Rgb{255, 0, 255}));
  EXPECT_FALSE(QuoteColour(5));
}

TEST_F(StoredMailTest, AnswersCarryTheAttachmentsButNotThePackage) {
  ReceivedMail mail = Mail("files", "see attached");
  const std::string picture = Attachment("m2", "photo.jpg", "jpeg");
  const std::string package = Attachment("m2", std::string(kPackageName), ValidPackage());
  const std::string vanished = store.StoreFolder() + "m2/gone.txt";
  const std::string outside = home.Path() + "outside.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(outside, "not the store's"));
  const std::string climbing = store.StoreFolder() + "m2/../../outside.txt";
  mail.attachmentFiles = {picture, package, vanished, outside, climbing};
  StoredMailValues values = ParseStoredMail(Receive(mail));
  ASSERT_EQ(values.attachmentFiles.size(), 5u);

  ComposeAttachments collected = CollectAttachmentsForCompose(values.attachmentFiles, store.StoreFolder());
  EXPECT_EQ(collected.files, std::vector<std::string>{picture});
  EXPECT_EQ(collected.packagePath, package);

  // A damaged package neither goes along nor names a carrier.
  ASSERT_TRUE(platform::WriteFileAtomic(package, "broken"));
  collected = CollectAttachmentsForCompose(values.attachmentFiles, store.StoreFolder());
  EXPECT_EQ(collected.files, std::vector<std::string>{picture});
  EXPECT_FALSE(collected.packagePath);
}

TEST_F(StoredMailTest, ReEditReadsAnOutboxMailBack) {
  ComposedMail mail;
  mail.subject = Sj("予定");
  mail.from = "me@example.jp";
  mail.date = "Mon, 6 Jan 2003 12:00:00 +0900";
  mail.to = Sj("山田 <yamada@example.jp>") + ", b@example.jp";
  mail.cc = "c@example.jp";
  mail.inReplyTo = "<m2@example.jp>";
  mail.references = "<m2@example.jp>, <m1@example.jp>";
  mail.characterId = "<char>";
  mail.attachmentFiles = {Attachment("out1", "a.txt", "a")};
  mail.textLines = {"line one", "", "To: not a field"};
  HeaderRecord header{StatusWord(MailStatus::WaitingReply), mail.subject, mail.from, mail.date, mail.to, "out1"};
  ASSERT_EQ(store.AppendMail(FolderKind::Outbox, header, OutboxBodyRecord(mail)), StoreResult::Done);

  ReEditValues values = ReadForReEdit(store.ReadBodyRecord(FolderKind::Outbox, 0));
  EXPECT_EQ(values.subject, mail.subject);
  EXPECT_EQ(values.to, mail.to);
  EXPECT_EQ(values.cc, mail.cc);
  EXPECT_EQ(values.inReplyTo, mail.inReplyTo);
  EXPECT_EQ(values.references, mail.references);
  EXPECT_EQ(values.characterId, "<char>");
  EXPECT_EQ(values.attachmentFiles, mail.attachmentFiles);
  EXPECT_EQ(values.text, "line one\r\n\r\nTo: not a field");

  // Without a Cc line the field is empty, not the next line's value.
  mail.cc.clear();
  ASSERT_EQ(store.AppendMail(FolderKind::Outbox, header, OutboxBodyRecord(mail)), StoreResult::Done);
  EXPECT_EQ(ReadForReEdit(store.ReadBodyRecord(FolderKind::Outbox, 1)).cc, "");
}

TEST(WithTextExtension, AddsTxtOnlyWhenTheNameHasNoExtension) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/home/u/memo", "/home/u/memo.txt"},     {"/home/u/memo.eml", "/home/u/memo.eml"},
      {"/home/u/memo.", "/home/u/memo.txt"},    {"/home/u/.profile", "/home/u/.profile.txt"},
      {"/home/u.d/memo", "/home/u.d/memo.txt"}, {"memo.TXT", "memo.TXT"},
  };
  for (const auto& [typed, expected] : cases) EXPECT_EQ(WithTextExtension(typed), expected) << typed;
}

TEST(SaveMailAsText, WritesCrLfLinesAndReplacesTheFile) {
  platform::TemporaryFolder folder;
  const std::string path = folder.Path() + Sj("保存.txt");
  ASSERT_TRUE(platform::WriteFileAtomic(path, "an older and much longer file"));
  const std::string text = "Subject: " + Sj("件名") + "\r\nFrom: a@b\r\n\r\nline\nlast";
  ASSERT_TRUE(SaveMailAsText(path, text));
  EXPECT_EQ(platform::ReadFile(path), "Subject: " + Sj("件名") + "\r\nFrom: a@b\r\n\r\nline\r\nlast\r\n");
  EXPECT_FALSE(SaveMailAsText(folder.Path() + "no/such/folder/x.txt", text));
}

}  // namespace
}  // namespace mf
