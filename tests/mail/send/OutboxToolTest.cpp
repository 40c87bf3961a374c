// mftool send-outbox and mftool import over a program folder: the same
// flows as the mail list's "送信" and "インポート(&I)".

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/ShiftJis.h"
#include "mail/store/MailStatus.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

class OutboxToolTest : public ::testing::Test {
 protected:
  int Tool(const std::string& arguments) {
    const std::string command =
        "MFMAIL_HOME='" + home_.Path() + "' '" MFTOOL_PATH "' " + arguments + " > /dev/null 2>&1 < /dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Scratch(const std::string& name, const std::string& bytes) {
    const std::string path = scratch_.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  platform::TemporaryFolder home_;
  platform::TemporaryFolder scratch_;
  MailStore store_{home_.Path()};
};

TEST_F(OutboxToolTest, ImportPutsAnEmlIntoTheInboxUnreadAndRefusesWhatIsNoMail) {
  const std::string eml = Scratch("hello.eml",
                                  "From: Hanako <hanako@example.jp>\r\nTo: taro@example.jp\r\n"
                                  "Subject: hello\r\nDate: Tue, 5 Mar 2024 14:07:09 +0900\r\n\r\nbody line\r\n");
  ASSERT_EQ(Tool("import '" + eml + "'"), 0);
  const auto inbox = store_.ReadHeaderRecords(FolderKind::Inbox);
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].status, StatusWord(MailStatus::Unread));
  EXPECT_EQ(inbox[0].subject, "hello");
  EXPECT_NE(store_.ReadBodyRecord(FolderKind::Inbox, 0).find("body line"), std::string::npos);
  EXPECT_FALSE(store_.HasImportFolder());

  // A file without a header that ends, and one that is not there.
  EXPECT_EQ(Tool("import '" + Scratch("junk.txt", "no header at all") + "'"), 1);
  EXPECT_EQ(Tool("import '" + scratch_.Path() + "missing.eml'"), 1);
  EXPECT_EQ(store_.RecordCount(FolderKind::Inbox), 1u);
}

TEST_F(OutboxToolTest, SendOutboxSendsEveryQueuedMailAndEmptiesTheOutbox) {
  testing::SinkLog log;
  test::ScriptedServer server;
  server.Do(testing::SmtpSink(log)).Start();
  ASSERT_TRUE(platform::WriteFileAtomic(home_.Path() + "MFMail.ini",
                                        "[MailSet]\r\nSMTP_SV=127.0.0.1\r\nSMTPPort=" + server.PortText() +
                                            "\r\nMailAdd=taro@example.jp\r\n"));
  const std::string body = Scratch("body.txt", "text\r\n");
  for (const char* subject : {"one", "two"}) {
    const std::string queue = "MFMAIL_HOME='" + home_.Path() + "' '" MFTOOL_PATH "' queue --to a@x.jp --subject " +
                              subject + " < '" + body + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(queue.c_str()), 0);
  }
  ASSERT_EQ(Tool("send-outbox"), 0);
  platform::PollEventLoop loop;
  ASSERT_TRUE(loop.RunUntil([&] { return server.Finished(); }, 10s));
  EXPECT_EQ(log.messages.size(), 2u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 0u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 2u);
  // Nothing left: a second run has nothing to do.
  EXPECT_EQ(Tool("send-outbox"), 0);
}

TEST_F(OutboxToolTest, SendMailFilesTheMailAsSentOrInTheOutboxWhenItCouldNotGo) {
  testing::SinkLog log;
  test::ScriptedServer server;
  server.Do(testing::SmtpSink(log)).Start();
  const std::string body = Scratch("body.txt", "text\r\n");
  for (const int port : {server.Port(), test::ScriptedServer::ClosedPort()}) {
    const bool up = port == server.Port();
    SCOPED_TRACE(up ? "server" : "no server");
    ASSERT_TRUE(platform::WriteFileAtomic(home_.Path() + "MFMail.ini",
                                          "[MailSet]\r\nSMTP_SV=127.0.0.1\r\nSMTPPort=" + std::to_string(port) +
                                              "\r\nMailAdd=taro@example.jp\r\n"));
    EXPECT_EQ(Tool("send-mail --to a@x.jp --subject hi < '" + body + "'"), up ? 0 : 1);
    EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 1u);
    EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), up ? 0u : 1u);
  }
  platform::PollEventLoop loop;
  ASSERT_TRUE(loop.RunUntil([&] { return server.Finished(); }, 10s));
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].find("Subject: hi"), std::string::npos);
}

}  // namespace
}  // namespace mf
