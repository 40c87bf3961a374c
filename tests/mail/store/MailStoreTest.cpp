#include <gtest/gtest.h>

#include <cstdlib>

#include "base/Random.h"
#include "base/ShiftJis.h"
#include "mail/store/AttachmentNames.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoredMail.h"
#include "platform/Files.h"

namespace mf {
namespace {

const std::string kSep = "\x01\x01";

// A fresh program folder per case, also named by MFMAIL_HOME.
struct ProgramHome {
  ProgramHome() { ::setenv("MFMAIL_HOME", folder.Path().c_str(), 1); }
  ~ProgramHome() { ::unsetenv("MFMAIL_HOME"); }
  const std::string& Path() const { return folder.Path(); }
  platform::TemporaryFolder folder;
};

class MailStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store.Prepare()); }

  // A received mail with a subject that tells it apart.
  StoreResult Receive(const std::string& subject, std::vector<std::string> attachments = {}) {
    HeaderRecord header{StatusWord(MailStatus::Unread), subject, "sender@x", "Mon, 6 Jan 2003 12:34:56 +0900",
                        "me@y", ""};
    ReceivedMail mail;
    mail.subject = subject;
    mail.from = "sender@x";
    mail.attachmentFiles = std::move(attachments);
    mail.text = "text of " + subject + "\r\n";
    return store.AppendMail(FolderKind::Inbox, header, InboxBodyRecord(mail));
  }

  StoreResult Compose(FolderKind folder, const std::string& subject, MailStatus status) {
    ComposedMail mail;
    mail.subject = subject;
    mail.from = "me@y";
    mail.date = "Mon, 6 Jan 2003 12:00:00 +0900";
    mail.to = "you@z";
    mail.characterId = "<char>";
    mail.textLines = {"hello", "", "bye"};
    HeaderRecord header{StatusWord(status), subject, "me@y", mail.date, "you@z", ""};
    return store.AppendMail(folder, header, OutboxBodyRecord(mail));
  }

  std::vector<std::string> Subjects(FolderKind folder) const {
    std::vector<std::string> subjects;
    for (const auto& record : store.ReadHeaderRecords(folder)) subjects.push_back(record.subject);
    return subjects;
  }

  // Header and body files agree record by record and each is well formed.
  void ExpectInStep(FolderKind folder) const {
    auto headers = platform::ReadFile(store.HeaderPath(folder)).value_or("");
    auto bodies = platform::ReadFile(store.BodyPath(folder)).value_or("");
    auto headerSpans = RecordSpans(headers);
    ASSERT_EQ(headerSpans.size(), RecordSpans(bodies).size());
    for (std::size_t i = 0; i < headerSpans.size(); ++i) {
      EXPECT_TRUE(headerSpans[i].terminated);
      auto subject = ParseHeaderRecords(headers)[i].subject;
      EXPECT_NE(BodyRecordText(bodies, i).find("Subject: " + subject + "\r\n"), std::string::npos) << i;
    }
    EXPECT_EQ(headers, NormalizeLineEnds(headers));
    EXPECT_EQ(bodies, NormalizeLineEnds(bodies));
  }

  std::string Attachment(const std::string& folder, const std::string& name) {
    EXPECT_TRUE(platform::CreateFolders(store.StoreFolder() + folder));
    std::string path = store.AttachmentFilePath(folder, name);
    EXPECT_TRUE(platform::WriteFileAtomic(path, "data"));
    return path;
  }

  ProgramHome home;
  MailStore store{home.Path()};
};

TEST_F(MailStoreTest, FreshStoreIsEmptyAndUsesTheProgramFolder) {
  EXPECT_EQ(store.StoreFolder(), home.Path() + "FileKeep/");
  EXPECT_TRUE(platform::FileExists(home.Path() + "FileKeep/" + Sj("本文.txt")));
  EXPECT_FALSE(store.HasImportFolder());
  for (FolderKind folder : kAllFolders) {
    EXPECT_TRUE(store.ReadHeaderRecords(folder).empty());
    EXPECT_EQ(store.ReadBodyRecord(folder, 0), "");
  }
  EXPECT_EQ(store.MarkRead(0), StoreResult::Unchanged);
  EXPECT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Trash, 0), StoreResult::Unchanged);
  EXPECT_EQ(store.EmptyTrash(), StoreResult::Unchanged);
}

TEST_F(MailStoreTest, AppendedMailsReadBackByIndex) {
  ASSERT_EQ(Receive("first"), StoreResult::Done);
  ASSERT_EQ(Receive("second"), StoreResult::Done);
  EXPECT_EQ(Subjects(FolderKind::Inbox), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(store.RecordCount(FolderKind::Inbox), 2u);
  EXPECT_EQ(store.ReadSender(1), "sender@x");
  std::string body = store.ReadBodyRecord(FolderKind::Inbox, 1);
  EXPECT_EQ(body.substr(0, 15), "Return-Path: \r\n");
  EXPECT_NE(body.find("\r\nCc: \r\n"), std::string::npos);  // empty values are written too
  EXPECT_NE(body.find("\r\n\r\ntext of second"), std::string::npos);
  ExpectInStep(FolderKind::Inbox);
}

TEST_F(MailStoreTest, AnAppendStartsOnAFreshLine) {
  ASSERT_TRUE(platform::WriteFileAtomic(store.HeaderPath(FolderKind::Kept),
                                        "A\r\ns\r\nf\r\nd\r\nt\r\n\r\n" + kSep));
  ASSERT_TRUE(platform::WriteFileAtomic(store.BodyPath(FolderKind::Kept), "Subject: s\r\n\r\nx\r\n" + kSep));
  ASSERT_EQ(Compose(FolderKind::Kept, "next", MailStatus::Sent), StoreResult::Done);
  EXPECT_EQ(Subjects(FolderKind::Kept), (std::vector<std::string>{"s", "next"}));
  ExpectInStep(FolderKind::Kept);
}

TEST_F(MailStoreTest, LineSixFilledAfterwardsEndsInTheSeparator) {
  ASSERT_EQ(Receive("earlier"), StoreResult::Done);
  ASSERT_EQ(store.AppendHeaderRecord(FolderKind::Inbox,
                                     {StatusWord(MailStatus::Unread), "with file", "a@b", "d", "t", ""}),
            StoreResult::Done);
  ASSERT_EQ(store.FillAttachmentFolder("abc"), StoreResult::Done);
  // Only while line 6 is still empty: a second attachment changes nothing.
  EXPECT_EQ(store.FillAttachmentFolder("other"), StoreResult::Unchanged);
  auto file = platform::ReadFile(store.HeaderPath(FolderKind::Inbox)).value();
  EXPECT_EQ(file.substr(file.size() - 12), "t\r\nabc\r\n" + kSep + "\r\n");
  auto records = store.ReadHeaderRecords(FolderKind::Inbox);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].attachmentFolder, "");
  EXPECT_EQ(records[1].attachmentFolder, "abc");
  EXPECT_EQ(store.FillAttachmentFolder("x\r\n" + kSep), StoreResult::Unchanged);
}

TEST_F(MailStoreTest, PackageOnlyMailKeepsAnEmptyLineSixAndNoAttachmentMark) {
  std::string package = Attachment("pkg", std::string(kPackageFileName));
  ASSERT_EQ(Receive("carried", {package}), StoreResult::Done);
  auto entries = store.ReadListEntries(FolderKind::Inbox);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_FALSE(entries[0].data.hasAttachment);
  EXPECT_EQ(entries[0].icon, 2);
  EXPECT_FALSE(entries[0].data.isRead);
  EXPECT_EQ(AttachmentFilesOf(store.ReadBodyRecord(FolderKind::Inbox, 0)), std::vector<std::string>{package});
}

TEST_F(MailStoreTest, StatusRewrittenInPlaceAtFirstAndLastIndex) {
  for (auto subject : {"a", "b", "c"}) ASSERT_EQ(Receive(subject), StoreResult::Done);
  auto before = platform::ReadFile(store.HeaderPath(FolderKind::Inbox)).value();
  ASSERT_EQ(store.MarkRead(0), StoreResult::Done);
  ASSERT_EQ(store.MarkRead(2), StoreResult::Done);
  EXPECT_EQ(store.MarkRead(2), StoreResult::Unchanged);
  EXPECT_EQ(store.MarkRead(3), StoreResult::Unchanged);
  auto records = store.ReadHeaderRecords(FolderKind::Inbox);
  EXPECT_EQ(records[0].status, StatusWord(MailStatus::Read));
  EXPECT_EQ(records[1].status, StatusWord(MailStatus::Unread));
  EXPECT_EQ(records[2].status, StatusWord(MailStatus::Read));
  ASSERT_EQ(store.MarkReplied(2), StoreResult::Done);
  ASSERT_EQ(store.MarkReplied(1), StoreResult::Done);  // from unread as well
  EXPECT_EQ(store.MarkRead(1), StoreResult::Unchanged);  // a reply is not turned back
  records = store.ReadHeaderRecords(FolderKind::Inbox);
  EXPECT_EQ(records[1].status, StatusWord(MailStatus::Replied));
  EXPECT_EQ(records[2].status, StatusWord(MailStatus::Replied));
  EXPECT_EQ(platform::FileSize(store.HeaderPath(FolderKind::Inbox)), before.size());
  auto entries = store.ReadListEntries(FolderKind::Inbox);
  EXPECT_TRUE(entries[0].data.isRead);
  EXPECT_EQ(entries[2].icon, 10);
}

TEST_F(MailStoreTest, StatusRewriteLeavesAnythingButAFourByteWordAlone) {
  ASSERT_EQ(Compose(FolderKind::Inbox, "moved in", MailStatus::Sent), StoreResult::Done);
  ASSERT_TRUE(platform::AppendFile(store.HeaderPath(FolderKind::Inbox),
                                   "\r\nsubj\r\nf\r\nd\r\nt\r\n\r\n" + kSep + "\r\n"));
  auto before = platform::ReadFile(store.HeaderPath(FolderKind::Inbox)).value();
  EXPECT_EQ(store.MarkReplied(0), StoreResult::Unchanged);
  EXPECT_EQ(store.MarkReplied(1), StoreResult::Unchanged);
  EXPECT_EQ(platform::ReadFile(store.HeaderPath(FolderKind::Inbox)).value(), before);
}

TEST_F(MailStoreTest, MovingSeveralMailsKeepsTheRestInStepAndAppendsHighestFirst) {
  for (auto subject : {"m0", "m1", "m2", "m3", "m4"}) ASSERT_EQ(Receive(subject), StoreResult::Done);
  ASSERT_EQ(store.MoveMails(FolderKind::Inbox, FolderKind::Kept, {1, 3, 3, 9}), StoreResult::Done);
  EXPECT_EQ(Subjects(FolderKind::Inbox), (std::vector<std::string>{"m0", "m2", "m4"}));
  EXPECT_EQ(Subjects(FolderKind::Kept), (std::vector<std::string>{"m3", "m1"}));
  ExpectInStep(FolderKind::Inbox);
  ExpectInStep(FolderKind::Kept);
  EXPECT_NE(store.ReadBodyRecord(FolderKind::Kept, 1).find("text of m1"), std::string::npos);
  // A status keeps travelling with its mail.
  EXPECT_EQ(store.ReadHeaderRecords(FolderKind::Kept)[0].status, StatusWord(MailStatus::Unread));
}

TEST_F(MailStoreTest, MovesTheFoldersDoNotAllowChangeNothing) {
  ASSERT_EQ(Receive("x"), StoreResult::Done);
  ASSERT_EQ(Compose(FolderKind::Outbox, "o", MailStatus::Waiting), StoreResult::Done);
  EXPECT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Outbox, 0), StoreResult::Unchanged);
  EXPECT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Import, 0), StoreResult::Unchanged);
  EXPECT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Inbox, 0), StoreResult::Unchanged);
  EXPECT_EQ(store.MoveMail(FolderKind::Import, FolderKind::Kept, 0), StoreResult::Unchanged);
  EXPECT_EQ(Subjects(FolderKind::Inbox), std::vector<std::string>{"x"});
  EXPECT_EQ(Subjects(FolderKind::Outbox), std::vector<std::string>{"o"});
}

TEST_F(MailStoreTest, TrashRoundTripLeavesTwoWellFormedRecords) {
  for (auto subject : {"a", "b", "c"}) ASSERT_EQ(Receive(subject), StoreResult::Done);
  ASSERT_EQ(store.MoveMails(FolderKind::Inbox, FolderKind::Trash, {0, 1}), StoreResult::Done);
  EXPECT_EQ(Subjects(FolderKind::Trash), (std::vector<std::string>{"b", "a"}));
  ASSERT_EQ(store.MoveMail(FolderKind::Trash, FolderKind::Inbox, 0), StoreResult::Done);
  ASSERT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Trash, 0), StoreResult::Done);
  EXPECT_EQ(Subjects(FolderKind::Trash), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(Subjects(FolderKind::Inbox), std::vector<std::string>{"b"});
  ExpectInStep(FolderKind::Trash);
  ExpectInStep(FolderKind::Inbox);
  // Received mails in the trash still show their sender and sortable date.
  auto entries = store.ReadListEntries(FolderKind::Trash);
  EXPECT_EQ(entries[0].secondColumn, "sender@x");
  EXPECT_EQ(entries[0].dateText, "Mon, 6 Jan 2003 12:34:56 +0900");
  EXPECT_GT(entries[0].data.sortDate, 0.0);
}

TEST_F(MailStoreTest, MovingTheOnlyMailDeletesTheSourceFiles) {
  ASSERT_EQ(Compose(FolderKind::Outbox, "only", MailStatus::Waiting), StoreResult::Done);
  ASSERT_EQ(store.MoveMail(FolderKind::Outbox, FolderKind::Trash, 0), StoreResult::Done);
  EXPECT_FALSE(platform::FileExists(store.HeaderPath(FolderKind::Outbox)));
  EXPECT_FALSE(platform::FileExists(store.BodyPath(FolderKind::Outbox)));
  auto entries = store.ReadListEntries(FolderKind::Trash);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].secondColumn, "you@z");
  EXPECT_EQ(entries[0].icon, 6);
  EXPECT_EQ(entries[0].data.sortDate, 0.0);
}

// A mail that went out without an answer looks different from one still to
// go, in the outbox and in the trash.
TEST_F(MailStoreTest, AnUnconfirmedMailHasAnIconOfItsOwn) {
  ASSERT_EQ(Compose(FolderKind::Outbox, "waits", MailStatus::Waiting), StoreResult::Done);
  ASSERT_EQ(Compose(FolderKind::Outbox, "may have arrived", MailStatus::Waiting), StoreResult::Done);
  ASSERT_EQ(store.MarkOutboxUnconfirmed(1, true), StoreResult::Done);
  auto entries = store.ReadListEntries(FolderKind::Outbox);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].icon, 6);
  EXPECT_EQ(entries[1].icon, 16);
  ASSERT_EQ(store.MoveMail(FolderKind::Outbox, FolderKind::Trash, 1), StoreResult::Done);
  EXPECT_EQ(store.ReadListEntries(FolderKind::Trash).at(0).icon, 16);
}

TEST_F(MailStoreTest, DeletingForGoodRemovesRecordsAndTheirAttachments) {
  std::string a1 = Attachment("f1", "a.txt");
  std::string a2 = Attachment("f1", "b.txt");
  std::string kept = Attachment("f2", "c.txt");
  ASSERT_EQ(Receive("one", {a1, a2}), StoreResult::Done);
  ASSERT_EQ(Receive("two", {kept}), StoreResult::Done);
  ASSERT_EQ(Receive("three"), StoreResult::Done);
  ASSERT_EQ(store.DeleteMails(FolderKind::Inbox, {0, 2}), StoreResult::Done);
  EXPECT_EQ(Subjects(FolderKind::Inbox), std::vector<std::string>{"two"});
  EXPECT_FALSE(platform::FileExists(a1));
  EXPECT_FALSE(platform::DirectoryExists(store.StoreFolder() + "f1"));
  EXPECT_TRUE(platform::FileExists(kept));
  EXPECT_FALSE(platform::FileExists(store.HeaderPath(FolderKind::Trash)));
  ExpectInStep(FolderKind::Inbox);
}

TEST_F(MailStoreTest, AttachmentLinesNamingFilesOutsideTheStoreDeleteNothing) {
  platform::TemporaryFolder outside;
  std::string victim = outside.Path() + "victim.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(victim, "keep me"));
  std::string storeOwn = store.HeaderPath(FolderKind::Kept);
  ASSERT_TRUE(platform::WriteFileAtomic(storeOwn, ""));
  std::string climbing = store.StoreFolder() + "f/../../victim2.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(home.Path() + "victim2.txt", "keep me"));
  platform::CreateFolders(store.StoreFolder() + "f");
  ASSERT_EQ(Receive("hostile", {victim, storeOwn, climbing}), StoreResult::Done);
  ASSERT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Trash, 0), StoreResult::Done);
  ASSERT_EQ(store.EmptyTrash(), StoreResult::Done);
  EXPECT_TRUE(platform::FileExists(victim));
  EXPECT_TRUE(platform::FileExists(storeOwn));
  EXPECT_TRUE(platform::FileExists(home.Path() + "victim2.txt"));
  EXPECT_FALSE(platform::FileExists(store.BodyPath(FolderKind::Trash)));
}

TEST_F(MailStoreTest, ReceivedHeaderLinesCannotNameAttachments) {
  std::string precious = Attachment("other", "precious.txt");
  ReceivedMail mail;
  mail.subject = "evil\r\nX-Attachments-File: " + precious;
  mail.otherHeaderLines = {"X-Attachments-File: " + precious, "X-Character: <evil>\r\nX-Other: ok"};
  mail.characterId = "<good>";
  mail.text = "x\r\n\x01\x01\r\ny\r\n";
  HeaderRecord header{StatusWord(MailStatus::Unread), mail.subject, "a\x01\x01", "d", "t", ""};
  ASSERT_EQ(store.AppendMail(FolderKind::Inbox, header, InboxBodyRecord(mail)), StoreResult::Done);
  ASSERT_EQ(Receive("after"), StoreResult::Done);
  ExpectInStep(FolderKind::Inbox);
  std::string body = store.ReadBodyRecord(FolderKind::Inbox, 0);
  EXPECT_TRUE(AttachmentFilesOf(body).empty());
  EXPECT_NE(body.find("\r\nX-Other: ok\r\n"), std::string::npos);
  EXPECT_EQ(body.find("<evil>"), std::string::npos);
  EXPECT_NE(body.find("X-Character: <good>"), std::string::npos);
  EXPECT_EQ(store.ReadSender(1), "sender@x");
  ASSERT_EQ(store.DeleteMails(FolderKind::Inbox, {0}), StoreResult::Done);
  EXPECT_TRUE(platform::FileExists(precious));
  EXPECT_EQ(Subjects(FolderKind::Inbox), std::vector<std::string>{"after"});
}

TEST_F(MailStoreTest, EmptyingTheTrashDeletesAttachmentsAndBothFiles) {
  std::string file = Attachment("t1", "a.txt");
  ASSERT_EQ(Receive("x", {file}), StoreResult::Done);
  ASSERT_EQ(Receive("y"), StoreResult::Done);
  ASSERT_EQ(store.MoveMails(FolderKind::Inbox, FolderKind::Trash, {0, 1}), StoreResult::Done);
  ASSERT_EQ(store.EmptyTrash(), StoreResult::Done);
  EXPECT_FALSE(platform::FileExists(file));
  EXPECT_FALSE(platform::DirectoryExists(store.StoreFolder() + "t1"));
  EXPECT_FALSE(platform::FileExists(store.HeaderPath(FolderKind::Trash)));
  EXPECT_FALSE(platform::FileExists(store.BodyPath(FolderKind::Trash)));
  EXPECT_TRUE(platform::DirectoryExists(store.StoreFolder()));
}

TEST_F(MailStoreTest, FirstOutboxMailGoesToSentWithDateAndMessageId) {
  ASSERT_EQ(Compose(FolderKind::Outbox, "plain", MailStatus::Waiting), StoreResult::Done);
  ASSERT_EQ(Compose(FolderKind::Outbox, "reply", MailStatus::WaitingReply), StoreResult::Done);
  DateTime now{2026, 12, 8, 2, 30, 0, 0, 540};
  ASSERT_EQ(store.TakeFirstOutboxToSent(now, "<id1@smtp>"), StoreResult::Done);
  ASSERT_EQ(store.TakeFirstOutboxToSent(now, "<id2@smtp>"), StoreResult::Done);
  EXPECT_FALSE(platform::FileExists(store.HeaderPath(FolderKind::Outbox)));
  EXPECT_FALSE(platform::FileExists(store.BodyPath(FolderKind::Outbox)));
  EXPECT_EQ(store.TakeFirstOutboxToSent(now, "<id3@smtp>"), StoreResult::Unchanged);
  auto records = store.ReadHeaderRecords(FolderKind::Sent);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].status, StatusWord(MailStatus::Sent));
  EXPECT_EQ(records[1].status, StatusWord(MailStatus::SentReply));
  EXPECT_EQ(records[0].date, Rfc822DateText(now));
  EXPECT_EQ(store.ReadBodyRecord(FolderKind::Sent, 1),
            "Subject: reply\r\nFrom: me@y\r\nDate: " + Rfc822DateText(now) +
                "\r\nTo: you@z\r\nMessage-ID: <id2@smtp>\r\nX-Character: <char>\r\n\r\nhello\r\n\r\nbye");
  ExpectInStep(FolderKind::Sent);
  auto entries = store.ReadListEntries(FolderKind::Sent);
  EXPECT_EQ(entries[1].icon, 12);
  EXPECT_EQ(entries[1].secondColumn, "you@z");
}

TEST_F(MailStoreTest, SameMessageIdLocalPartGetsDifferentFolders) {
  ScriptedRandom random;
  random.PushAll(7, 7, 7, 0x1F3);  // the second and third draw collide
  auto first = store.CreateReceivedAttachmentFolder(" <same@host-a>", random);
  auto second = store.CreateReceivedAttachmentFolder(" <same@host-b>", random);
  auto third = store.CreateReceivedAttachmentFolder(" <same@host-c>", random);
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(*first, "same");
  EXPECT_EQ(*second, "same007");
  EXPECT_EQ(*third, "same1F3");
  auto none1 = store.CreateReceivedAttachmentFolder("", random);
  ASSERT_TRUE(none1);
  EXPECT_EQ(none1->size(), 3u);
  for (const auto& name : {*first, *second, *third, *none1}) {
    EXPECT_TRUE(platform::DirectoryExists(store.StoreFolder() + name)) << name;
  }
  auto hostile = store.CreateReceivedAttachmentFolder(" <../../x@y>", random);
  ASSERT_TRUE(hostile);
  EXPECT_TRUE(platform::IsInside(store.StoreFolder(), store.StoreFolder() + *hostile));
  EXPECT_EQ(hostile->find('/'), std::string::npos);
}

TEST_F(MailStoreTest, EveryDrawTakenStillFindsAFreeFolder) {
  ScriptedRandom random;
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(store.CreateReceivedAttachmentFolder("", random));
  auto extra = store.CreateReceivedAttachmentFolder("", random);
  ASSERT_TRUE(extra);
  EXPECT_GT(extra->size(), 3u);
  EXPECT_TRUE(platform::DirectoryExists(store.StoreFolder() + *extra));
}

TEST_F(MailStoreTest, AFailedWriteLeavesTheFilesAsTheyWere) {
  for (auto subject : {"a", "b"}) ASSERT_EQ(Receive(subject), StoreResult::Done);
  auto header = platform::ReadFile(store.HeaderPath(FolderKind::Inbox)).value();
  auto body = platform::ReadFile(store.BodyPath(FolderKind::Inbox)).value();
  // The kept body file cannot be written: a folder stands in its place.
  ASSERT_TRUE(platform::CreateFolder(store.BodyPath(FolderKind::Kept)));
  EXPECT_EQ(store.MoveMail(FolderKind::Inbox, FolderKind::Kept, 0), StoreResult::Failed);
  EXPECT_EQ(platform::ReadFile(store.HeaderPath(FolderKind::Inbox)), header);
  EXPECT_EQ(platform::ReadFile(store.BodyPath(FolderKind::Inbox)), body);
  EXPECT_FALSE(platform::FileExists(store.HeaderPath(FolderKind::Kept)));
  EXPECT_EQ(Compose(FolderKind::Kept, "k", MailStatus::Sent), StoreResult::Failed);
  EXPECT_FALSE(platform::FileExists(store.HeaderPath(FolderKind::Kept)));
}

TEST_F(MailStoreTest, DefaultStoreFollowsMfmailHome) {
  MailStore fromEnvironment;
  EXPECT_EQ(fromEnvironment.StoreFolder(), store.StoreFolder());
}

}  // namespace
}  // namespace mf
