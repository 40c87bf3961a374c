#include "mail/receive/ReceiveController.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/receive/ReceiveJournal.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/receive/FakeMailbox.h"
#include "tests/mail/receive/ReceiveFixture.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using testing::FakeMailbox;

std::string Mail(const std::string& subject, const std::string& mailer = "", const std::string& body = "text\r\n") {
  std::string text = "From: a@example.jp\r\nSubject: " + subject + "\r\n";
  if (!mailer.empty()) text += "X-Mailer: " + mailer + "\r\n";
  return text + "\r\n" + body;
}

class ReceiveControllerTest : public testing::ReceiveFixture {
 protected:
  ReceiveControllerTest() : settings(platform::IniFile(Path("MFMail.ini")), {}, {}) {
    settings.pop3Server = "127.0.0.1";
    settings.pop3User = "alice";
    settings.pop3Password = "secret";
    MakeController();
  }

  void MakeController() {
    receiver = std::make_unique<ReceiveController>(loop, settings, store, hut, random, clock);
    receiver->OnMailStored = [this](const ArrivedMail& mail) {
      events.push_back("stored " + mail.subject);
      EXPECT_FALSE(insideClient) << "a mail was presented from inside a client callback";
    };
    receiver->OnMailRejected = [this](const std::string& keptAs) {
      events.push_back("rejected " + platform::ExtractFileName(keptAs));
    };
    receiver->OnSessionClosed = [this] { events.push_back("closed"); };
    receiver->OnFinished = [this](const ReceiveSummary& summary) {
      last = summary;
      finished = true;
    };
  }

  // One run against the mailbox; returns how it ended.
  ReceiveEnd Run(ReceiveTrigger trigger = ReceiveTrigger::Manual) {
    test::ScriptedServer server;
    mailbox.Serve(server);
    server.Start();
    settings.pop3Port = server.PortText();
    finished = false;
    events.clear();
    EXPECT_EQ(receiver->Receive(trigger), ReceiveStart::Started);
    EXPECT_FALSE(finished) << "OnFinished inside the starting call";
    EXPECT_TRUE(loop.RunUntil([this] { return finished; }, 10s)) << "the run never finished";
    server.Finish();
    return last.end;
  }

  std::vector<std::string> Subjects() const {
    std::vector<std::string> subjects;
    for (const auto& header : InboxHeaders()) subjects.push_back(header.subject);
    return subjects;
  }

  std::vector<std::string> Commands(const std::string& word) const {
    std::vector<std::string> found;
    for (const auto& command : mailbox.commands) {
      if (command.rfind(word, 0) == 0) found.push_back(command);
    }
    return found;
  }

  platform::PollEventLoop loop;
  LiveSettings settings;
  FakeMailbox mailbox;
  std::unique_ptr<ReceiveController> receiver;
  std::vector<std::string> events;
  ReceiveSummary last;
  bool finished = false;
  bool insideClient = false;
};

TEST_F(ReceiveControllerTest, AnEmptyMailboxReportsNoNewMailForEitherTrigger) {
  EXPECT_EQ(Run(ReceiveTrigger::Manual), ReceiveEnd::NoNewMail);
  EXPECT_EQ(last.trigger, ReceiveTrigger::Manual);
  EXPECT_EQ(Run(ReceiveTrigger::Periodic), ReceiveEnd::NoNewMail);
  EXPECT_EQ(last.trigger, ReceiveTrigger::Periodic);
  EXPECT_TRUE(InboxHeaders().empty());
  EXPECT_EQ(Commands("QUIT").size(), 2u);
}

TEST_F(ReceiveControllerTest, MailIsStoredInOrderPresentedOneByOneAndDeletedByDefault) {
  mailbox.Add("u1", Mail("one"));
  mailbox.Add("u2", Mail("two"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(last.stored, 2);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(BodyCount(), 2u);
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "stored one", "stored two"}));
  EXPECT_TRUE(mailbox.messages.empty());
  EXPECT_FALSE(platform::FileExists(Path("MailNo1.txt")));
  EXPECT_FALSE(platform::FileExists(Path(ReceiveJournal::kFileName)));
}

TEST_F(ReceiveControllerTest, TheSwitchesDecideWhatIsStoredAndWhatIsDeleted) {
  const struct {
    const char* name;
    bool leave, leaveOther, onlyOurs;
    std::vector<std::string> stored;
    std::vector<std::string> leftOnServer;
  } cases[] = {
      {"defaults", false, false, false, {"ours", "theirs", "shouting"}, {}},
      {"leave all", true, false, false, {"ours", "theirs", "shouting"}, {"ours", "theirs", "shouting"}},
      {"leave other mailers", false, true, false, {"ours", "theirs", "shouting"}, {"theirs", "shouting"}},
      // "X-MAILER:" in capitals is not this program's mark.
      {"only ours", false, false, true, {"ours"}, {"theirs", "shouting"}},
      {"only ours, leave all", true, false, true, {"ours"}, {"ours", "theirs", "shouting"}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    platform::TemporaryFolder fresh;
    store = MailStore(fresh.Path());
    store.Prepare();
    mailbox = FakeMailbox();
    mailbox.Add("a", Mail("ours", "MofutanMail"));
    mailbox.Add("b", Mail("theirs", "Other 1.0"));
    mailbox.Add("c", "From: x@y\r\nSubject: shouting\r\nX-MAILER: MofutanMail\r\n\r\nhi\r\n");
    settings.mailLeave = test.leave;
    settings.leaveOtherMailer = test.leaveOther;
    settings.rcvOnlyFromThisMailer = test.onlyOurs;
    MakeController();
    EXPECT_EQ(Run(), ReceiveEnd::Done);
    EXPECT_EQ(Subjects(), test.stored);
    std::vector<std::string> left;
    for (const auto& message : mailbox.messages) {
      left.push_back(message.text.substr(message.text.find("Subject: ") + 9,
                                         message.text.find("\r\n", message.text.find("Subject: ")) -
                                             message.text.find("Subject: ") - 9));
    }
    EXPECT_EQ(left, test.leftOnServer);
    if (test.stored.size() == 3) EXPECT_EQ(Field(InboxBody(2), "X-Mailer: "), " MofutanMail");
  }
}

TEST_F(ReceiveControllerTest, LeavingMailOnTheServerNeverStoresItTwice) {
  settings.mailLeave = true;
  mailbox.Add("u1", Mail("one"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  mailbox.Add("u2", Mail("two"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(Commands("RETR"), (std::vector<std::string>{"RETR 1", "RETR 2"}));
  // The record forgets what the server no longer has.
  mailbox.messages.erase(mailbox.messages.begin());
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
  UidlRecord record(UidlRecord::PathFor(folder.Path(), "127.0.0.1", "alice"));
  ASSERT_TRUE(record.Load());
  EXPECT_FALSE(record.Contains("u1"));
  EXPECT_TRUE(record.Contains("u2"));
}

// On a server that takes commands ahead the client asks for the next
// messages before one is in; each is still asked once and stored whole, in
// order, and what was stored before is not asked for.
TEST_F(ReceiveControllerTest, APipeliningServerIsAskedForEachNewMessageOnce) {
  mailbox.pipelining = true;
  settings.mailLeave = true;
  for (const char* subject : {"one", "two", "three"}) mailbox.Add(std::string("u-") + subject, Mail(subject));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  mailbox.Add("u-four", Mail("four", "", std::string(9000, 'x') + "\r\n..\r\n"));
  mailbox.Add("u-five", Mail("five"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one", "two", "three", "four", "five"}));
  EXPECT_EQ(Commands("RETR"), (std::vector<std::string>{"RETR 1", "RETR 2", "RETR 3", "RETR 4", "RETR 5"}));
  EXPECT_EQ(TextOf(InboxBody(3)), std::string(9000, 'x') + "\r\n..");
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
}

// A killed run may have made attachment folders for mail it never
// journalled; the next run removes those, and only those.
TEST_F(ReceiveControllerTest, FoldersOfMailNeverJournalledAreRemovedAndNothingElse) {
  mailbox.Add("u1", Mail("kept"));
  settings.mailLeave = true;
  ASSERT_EQ(Run(), ReceiveEnd::Done);
  const std::string keep = store.StoreFolder();
  ASSERT_TRUE(platform::CreateFolders(keep + "orphan1234"));
  ASSERT_TRUE(platform::WriteFileAtomic(keep + "orphan1234/a.txt", "att"));
  ASSERT_TRUE(platform::CreateFolders(folder.Path() + "outside"));
  const std::vector<std::string> inboxFiles = platform::ListFolder(keep, "*", platform::ListKind::FilesOnly);
  ASSERT_FALSE(inboxFiles.empty());
  // What a damaged list could name: the store's own files, the store
  // itself, a path out of it, and a folder that is not there.
  std::string noted = "orphan1234\r\n..\r\n.\r\n../outside\r\nmissing\r\n";
  for (const std::string& name : inboxFiles) noted += name + "\r\n";
  ASSERT_TRUE(platform::WriteFileAtomic(Path(ReceiveJournal::kFoldersFileName), noted));
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
  EXPECT_FALSE(platform::DirectoryExists(keep + "orphan1234"));
  EXPECT_TRUE(platform::DirectoryExists(folder.Path() + "outside"));
  EXPECT_EQ(platform::ListFolder(keep, "*", platform::ListKind::FilesOnly), inboxFiles);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"kept"}));
  EXPECT_FALSE(platform::FileExists(Path(ReceiveJournal::kFoldersFileName)));
}

TEST_F(ReceiveControllerTest, AServerWithoutUidlFallsBackToFetchingEverything) {
  mailbox.supportsUidl = false;
  settings.mailLeave = true;
  mailbox.Add("", Mail("one"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one", "one"}));
}

TEST_F(ReceiveControllerTest, ARejectedMessageIsKeptAsideReportedAndNeverFetchedAgain) {
  settings.mailLeave = true;
  mailbox.Add("bad", "no header line here and no end");
  mailbox.Add("good", Mail("fine"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(last.rejected, 1);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"fine"}));
  EXPECT_EQ(events, (std::vector<std::string>{"closed", "rejected MailNo1bad.txt", "stored fine"}));
  EXPECT_EQ(platform::ReadFile(Path("MailNo1bad.txt")), "no header line here and no end\r\n");
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
  EXPECT_EQ(Commands("RETR").size(), 2u);
}

TEST_F(ReceiveControllerTest, AWrongPasswordEndsTheRunCleanlyAndTheNextRunWorks) {
  mailbox.Add("u1", Mail("one"));
  settings.pop3Password = "wrong";
  EXPECT_EQ(Run(), ReceiveEnd::PasswordRejected);
  EXPECT_FALSE(receiver->Running());
  EXPECT_EQ(Commands("QUIT").size(), 1u);
  settings.pop3Password = "secret";  // what the prompt stores
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one"}));
}

TEST_F(ReceiveControllerTest, LongLinesReachTheInboxWhole) {
  const std::string longLine(10000, 'w');
  const std::string dotted = "." + std::string(5000, 'd');
  mailbox.Add("u1", Mail("long", "", longLine + "\r\n" + dotted + "\r\nend\r\n"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(TextOf(InboxBody(0)), longLine + "\r\n" + dotted + "\r\nend");
}

// Lines right at the client's piece length end where they end: none is
// joined with the line after it.
TEST_F(ReceiveControllerTest, LinesAroundThePieceLengthKeepTheirEnds) {
  const std::size_t limit = Pop3Client::kMaxLineLength;
  std::string text;
  for (const std::size_t length : {limit - 1, limit, limit + 1, 2 * limit, 2 * limit + 1}) {
    text += std::string(length, 'a' + static_cast<char>(length % 26)) + "\r\n";
  }
  text += "end";
  mailbox.Add("u1", Mail("edges", "", text + "\r\n"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(TextOf(InboxBody(0)), text);
}

// The user is told which server and port refused, as for a failed send.
TEST_F(ReceiveControllerTest, ThePortSettingIsUsedAndARefusedConnectionFailsNamingServerAndPort) {
  const std::string port = std::to_string(test::ScriptedServer::ClosedPort());
  settings.pop3Port = port;
  finished = false;
  ASSERT_EQ(receiver->Receive(ReceiveTrigger::Manual), ReceiveStart::Started);
  ASSERT_TRUE(loop.RunUntil([this] { return finished; }, 10s));
  EXPECT_EQ(last.end, ReceiveEnd::Failed);
  EXPECT_NE(last.error.find("10061"), std::string::npos) << last.error;
  const std::string shown = SjisToUtf8(last.userText);
  EXPECT_NE(shown.find("POP3サーバー 127.0.0.1 のポート " + port + " に接続できません（接続を拒否されました）"),
            std::string::npos)
      << shown;
  EXPECT_FALSE(receiver->Running());
}

TEST_F(ReceiveControllerTest, AStartWhileRunningIsRefusedAndNoServerCannotStart) {
  mailbox.Add("u1", Mail("one"));
  test::ScriptedServer server;
  mailbox.Serve(server);
  server.Start();
  settings.pop3Port = server.PortText();
  ASSERT_EQ(receiver->Receive(ReceiveTrigger::Periodic), ReceiveStart::Started);
  EXPECT_EQ(receiver->Receive(ReceiveTrigger::Manual), ReceiveStart::Busy);
  ASSERT_TRUE(loop.RunUntil([this] { return finished; }, 10s));
  server.Finish();
  settings.pop3Server = " ";
  EXPECT_EQ(receiver->Receive(ReceiveTrigger::Manual), ReceiveStart::Failed);
}

TEST_F(ReceiveControllerTest, MessagesLeftByAnInterruptedRunAreStoredOnceBeforeTheNextFetch) {
  // A run died after fetching: its file and journal are on disk, the
  // deletion never took effect on the server.
  platform::WriteFileAtomic(Path("MailNo1.txt"), Mail("left over"));
  ReceiveJournal journal(folder.Path());
  journal.SetUidlRecordPath(UidlRecord::PathFor(folder.Path(), "127.0.0.1", "alice"));
  journal.Entries().push_back(JournalEntry{"MailNo1.txt", "u1", true});
  ASSERT_TRUE(journal.Save());
  mailbox.Add("u1", Mail("left over"));
  mailbox.Add("u2", Mail("new"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"left over", "new"}));
  EXPECT_EQ(Commands("RETR"), (std::vector<std::string>{"RETR 2"}));
  EXPECT_EQ(Commands("DELE"), (std::vector<std::string>{"DELE 1", "DELE 2"}));
  EXPECT_TRUE(mailbox.messages.empty());
}


TEST_F(ReceiveControllerTest, NoDeleGoesOutBeforeEveryFetchedFileIsWholeOnDiskAndJournalled) {
  for (const char* name : {"one", "two", "three"}) mailbox.Add(std::string("u") + name, Mail(name));
  std::vector<std::string> seenAtDele;
  receiver->OnCheckpoint = [&](std::string_view point) {
    if (point != "dele") return;
    ReceiveJournal journal(folder.Path());
    ASSERT_TRUE(journal.Load());
    std::string seen;
    for (const auto& entry : journal.Entries()) {
      const auto bytes = platform::ReadFile(Path(entry.file));
      seen += entry.file + (entry.durable && entry.deleteOnServer ? " D " : " ? ") +
              std::to_string(bytes ? bytes->size() : 0) + ";";
    }
    seenAtDele.push_back(seen);
  };
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  const std::string all = "MailNo1.txt D " + std::to_string(Mail("one").size()) + ";MailNo2.txt D " +
                          std::to_string(Mail("two").size()) + ";MailNo3.txt D " +
                          std::to_string(Mail("three").size()) + ";";
  EXPECT_EQ(seenAtDele, (std::vector<std::string>{all, all, all}));
  std::vector<std::string> order;
  for (const auto& command : mailbox.commands) {
    if (command.rfind("RETR", 0) == 0 || command.rfind("DELE", 0) == 0) order.push_back(command);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"RETR 1", "RETR 2", "RETR 3", "DELE 1", "DELE 2", "DELE 3"}));
  EXPECT_TRUE(mailbox.messages.empty());
}

// Mail is appended in batches: more mails than one batch holds, each with
// its own record index, in the order of the server.
TEST_F(ReceiveControllerTest, ManyMailsAreStoredInOrderEachPresentedWithItsOwnRecord) {
  settings.mailLeave = true;
  constexpr int kMails = 600;
  for (int n = 0; n < kMails; ++n) mailbox.Add("u" + std::to_string(n), Mail("m" + std::to_string(n)));
  std::vector<std::size_t> indices;
  receiver->OnMailStored = [&](const ArrivedMail& mail) {
    indices.push_back(mail.recordIndex);
    EXPECT_EQ(mail.subject, "m" + std::to_string(mail.recordIndex));
  };
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(last.stored, kMails);
  ASSERT_EQ(Subjects().size(), static_cast<std::size_t>(kMails));
  EXPECT_EQ(BodyCount(), static_cast<std::size_t>(kMails));
  for (std::size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], i);
  EXPECT_EQ(indices.size(), static_cast<std::size_t>(kMails));
  EXPECT_EQ(TextOf(InboxBody(kMails - 1)), "text");
  EXPECT_TRUE(platform::ListFolder(folder.Path(), "MailNo*").empty());
  EXPECT_FALSE(platform::FileExists(Path(ReceiveJournal::kFileName)));
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
}

TEST_F(ReceiveControllerTest, AnInboxThatCannotBeWrittenFailsTheRunAndTheNextRunStoresEachMailOnce) {
  mailbox.Add("u1", Mail("one"));
  mailbox.Add("u2", Mail("two"));
  // A folder where the body file belongs: no append can succeed.
  const std::string body = store.BodyPath(FolderKind::Inbox);
  platform::DeleteFileInside(folder.Path(), body);
  ASSERT_TRUE(platform::CreateFolder(body));
  EXPECT_EQ(Run(), ReceiveEnd::Failed);
  EXPECT_TRUE(InboxHeaders().empty());
  ASSERT_TRUE(platform::RemoveFolderInside(folder.Path(), body));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(BodyCount(), 2u);
  EXPECT_TRUE(mailbox.messages.empty());
}

TEST_F(ReceiveControllerTest, FilesOfAnInterruptedRunThatWereNeverMadeDurableAreFetchedAgain) {
  // Left on the server and cut short by a power loss: a journal entry that
  // never synced its file, and a file no journal names.
  platform::WriteFileAtomic(Path("MailNo1.txt"), "From: a@example.jp\r\nSubj");
  platform::WriteFileAtomic(Path("MailNo7.txt"), "From: a@exa");
  platform::WriteFileAtomic(Path("MailNo3bad.txt"), "kept for the user");
  ReceiveJournal journal(folder.Path());
  journal.SetUidlRecordPath(UidlRecord::PathFor(folder.Path(), "127.0.0.1", "alice"));
  JournalEntry entry{"MailNo1.txt", "u1", false};
  entry.durable = false;
  journal.Entries().push_back(entry);
  ASSERT_TRUE(journal.Save());
  ReceiveJournal reread(folder.Path());
  ASSERT_TRUE(reread.Load());
  ASSERT_EQ(reread.Entries().size(), 1u);
  EXPECT_FALSE(reread.Entries()[0].durable);

  settings.mailLeave = true;
  mailbox.Add("u1", Mail("whole"));
  EXPECT_EQ(Run(), ReceiveEnd::Done);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"whole"}));
  EXPECT_EQ(TextOf(InboxBody(0)), "text");
  EXPECT_EQ(Commands("RETR"), (std::vector<std::string>{"RETR 1"}));
  EXPECT_FALSE(platform::FileExists(Path("MailNo7.txt")));
  EXPECT_EQ(platform::ReadFile(Path("MailNo3bad.txt")), "kept for the user");
  EXPECT_EQ(Run(), ReceiveEnd::NoNewMail);
}

}  // namespace
}  // namespace mf
