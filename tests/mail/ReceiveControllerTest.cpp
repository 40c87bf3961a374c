#include "mail/ReceiveController.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mail/ReceiveJournal.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/FakeMailbox.h"
#include "tests/mail/ReceiveFixture.h"

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
    EXPECT_EQ(receiver->MailRcvClick(trigger), ReceiveStart::Started);
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

TEST_F(ReceiveControllerTest, ThePortSettingIsUsedAndARefusedConnectionFails) {
  settings.pop3Port = std::to_string(test::ScriptedServer::ClosedPort());
  finished = false;
  ASSERT_EQ(receiver->MailRcvClick(ReceiveTrigger::Manual), ReceiveStart::Started);
  ASSERT_TRUE(loop.RunUntil([this] { return finished; }, 10s));
  EXPECT_EQ(last.end, ReceiveEnd::Failed);
  EXPECT_NE(last.error.find("10061"), std::string::npos) << last.error;
  EXPECT_FALSE(receiver->Running());
}

TEST_F(ReceiveControllerTest, AStartWhileRunningIsRefusedAndNoServerCannotStart) {
  mailbox.Add("u1", Mail("one"));
  test::ScriptedServer server;
  mailbox.Serve(server);
  server.Start();
  settings.pop3Port = server.PortText();
  ASSERT_EQ(receiver->MailRcvClick(ReceiveTrigger::Periodic), ReceiveStart::Started);
  EXPECT_EQ(receiver->MailRcvClick(ReceiveTrigger::Manual), ReceiveStart::Busy);
  ASSERT_TRUE(loop.RunUntil([this] { return finished; }, 10s));
  server.Finish();
  settings.pop3Server = " ";
  EXPECT_EQ(receiver->MailRcvClick(ReceiveTrigger::Manual), ReceiveStart::Failed);
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

}  // namespace
}  // namespace mf
