// The receive run killed at its most delicate moments: a restart and another
// run must leave every mail in the inbox exactly once, the header and body
// files in step. mftool receive is the process that dies.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "mail/receive/ReceiveJournal.h"
#include "mail/receive/UidlRecord.h"
#include "settings/LiveSettings.h"
#include "tests/mail/receive/FakeMailbox.h"
#include "tests/mail/receive/ReceiveFixture.h"

namespace mf {
namespace {

using testing::FakeMailbox;

struct CrashCase {
  const char* name;
  std::string crashAt;
  bool leaveOnServer;
  std::size_t leftOnServer;
};

void PrintTo(const CrashCase& crash, std::ostream* out) { *out << crash.name; }

struct RunResult {
  bool killed = false;
  int exitCode = -1;
};

class ReceiveCrashTest : public testing::ReceiveFixture, public ::testing::WithParamInterface<CrashCase> {
 protected:
  // One run of mftool receive against the mailbox, killed at `crashAt`
  // ("retr:2") when that is given.
  RunResult Run(const std::string& crashAt, bool leaveOnServer) {
    test::ScriptedServer server;
    mailbox.Serve(server);
    server.Start();
    std::string ini = "[MailSet]\r\nPOP3SV=127.0.0.1\r\nPOP3User=alice\r\nPOP3Port=" + server.PortText() +
                      "\r\nPOP3Pass=" + ScramblePassword("secret") + "\r\nMailLeave=" +
                      (leaveOnServer ? "1" : "0") + "\r\n";
    platform::WriteFileAtomic(Path("MFMail.ini"), ini);
    std::string command = "MFMAIL_HOME='" + folder.Path() + "' ";
    if (!crashAt.empty()) command += "MFMAIL_TEST_CRASH_AT=" + crashAt + " ";
    command += "'" MFTOOL_PATH "' receive >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    server.Finish();
    RunResult result;
    // std::system runs a shell, which reports a killed child as 128 + signal.
    result.killed = WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  std::vector<std::string> Subjects() const {
    std::vector<std::string> subjects;
    for (const auto& header : InboxHeaders()) subjects.push_back(header.subject);
    return subjects;
  }

  FakeMailbox mailbox;
};

TEST_P(ReceiveCrashTest, AKilledRunLosesAndDuplicatesNothing) {
  const CrashCase& test = GetParam();
  mailbox.Add("u1", "From: a@x\r\nSubject: one\r\n\r\nfirst\r\n");
  mailbox.Add("u2", "From: b@x\r\nSubject: two\r\nContent-Type: multipart/mixed; boundary=B\r\n\r\n--B\r\n\r\n"
                    "second\r\n--B\r\nContent-Disposition: attachment; filename=a.txt\r\n\r\natt\r\n--B--\r\n");

  const RunResult crashed = Run(test.crashAt, test.leaveOnServer);
  ASSERT_TRUE(crashed.killed) << "the run was not killed at " << test.crashAt << " (exit " << crashed.exitCode << ")";
  EXPECT_EQ(Run("", test.leaveOnServer).exitCode, 0);

  EXPECT_EQ(Subjects(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(BodyCount(), 2u);
  EXPECT_EQ(TextOf(InboxBody(0)), "first");
  EXPECT_EQ(TextOf(InboxBody(1)), "second");
  const auto files = Fields(InboxBody(1), "X-Attachments-File: ");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(platform::ReadFile(files[0]), "att\r\n");
  // One attachment folder: the one a killed run wrote is not left behind.
  EXPECT_EQ(platform::ListFolder(store.StoreFolder(), "*", platform::ListKind::FoldersOnly).size(), 1u);
  EXPECT_TRUE(platform::ListFolder(folder.Path(), "MailNo*").empty());
  EXPECT_FALSE(platform::FileExists(Path(ReceiveJournal::kFileName)));
  EXPECT_EQ(mailbox.messages.size(), test.leftOnServer);

  // And once more: nothing new, nothing twice.
  EXPECT_EQ(Run("", test.leaveOnServer).exitCode, 0);
  EXPECT_EQ(Subjects().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, ReceiveCrashTest,
    ::testing::Values(CrashCase{"RetrOfTwoBeforeTheSync", "retr:2", false, 0},
                      CrashCase{"RetrOfTwoLeavingMailOnTheServer", "retr:2", true, 2},
                      CrashCase{"JournalledBeforeAnyDele", "journal:1", false, 0},
                      CrashCase{"DeleBeforeQuit", "dele:2", false, 0},
                      // An attachment written, its mail not yet journalled as decoded.
                      CrashCase{"AttachmentsWrittenBeforeTheJournal", "attachments:1", false, 0},
                      CrashCase{"DecodedBeforeTheAppends", "decoded:1", false, 0},
                      // Files left on the server are never synced: dropped and fetched again.
                      CrashCase{"DecodedLeavingMailOnTheServer", "decoded:1", true, 2},
                      CrashCase{"BetweenTheTwoAppends", "between-appends:1", false, 0},
                      CrashCase{"BetweenTheAppendsLeavingMailOnTheServer", "between-appends:1", true, 2},
                      CrashCase{"AppendedBeforeTheFilesGo", "appended:1", false, 0},
                      CrashCase{"AppendedLeavingMailOnTheServer", "appended:1", true, 2},
                      CrashCase{"UidlRecordWrittenJournalNotCleared", "uidl:1", true, 2}),
    [](const ::testing::TestParamInfo<CrashCase>& info) { return std::string(info.param.name); });

// More mails than one batch: the first batch is in the inbox when the
// second is cut between its header and body records.
TEST_F(ReceiveCrashTest, AKilledSecondBatchLeavesTheFirstAloneAndIsStoredOnce) {
  constexpr int kMails = 300;
  for (const bool leaveOnServer : {false, true}) {
    SCOPED_TRACE(leaveOnServer ? "mail left on the server" : "mail deleted on the server");
    mailbox.messages.clear();
    for (int n = 0; n < kMails; ++n) {
      mailbox.Add("u" + std::to_string(n), "From: a@x\r\nSubject: m" + std::to_string(n) + "\r\n\r\nbody\r\n");
    }
    platform::DeleteFileInside(folder.Path(), store.HeaderPath(FolderKind::Inbox));
    platform::WriteFileAtomic(store.BodyPath(FolderKind::Inbox), "");
    platform::DeleteFileInside(folder.Path(), UidlRecord::PathFor(folder.Path(), "127.0.0.1", "alice"));

    ASSERT_TRUE(Run("between-appends:2", leaveOnServer).killed);
    EXPECT_EQ(Run("", leaveOnServer).exitCode, 0);
    std::vector<std::string> expected;
    for (int n = 0; n < kMails; ++n) expected.push_back("m" + std::to_string(n));
    EXPECT_EQ(Subjects(), expected);
    EXPECT_EQ(BodyCount(), static_cast<std::size_t>(kMails));
    EXPECT_TRUE(platform::ListFolder(folder.Path(), "MailNo*").empty());
    EXPECT_EQ(mailbox.messages.size(), leaveOnServer ? static_cast<std::size_t>(kMails) : 0u);
  }
}

// mftool fetch writes the messages as they came: long lines whole.
TEST(MftoolFetch, LongLinesReachTheFileWhole) {
  FakeMailbox mailbox;
  const std::string text = "Subject: long\r\n\r\n" + std::string(10000, 'w') + "\r\n." + std::string(4092, 'd') +
                           "\r\n" + std::string(4093, 'x') + "y\r\n" + std::string(4093, 'z') +
                           "\r\nend\r\n";
  mailbox.Add("u1", text);
  test::ScriptedServer server;
  mailbox.Serve(server);
  server.Start();
  platform::TemporaryFolder out;
  const std::string command = "'" MFTOOL_PATH "' fetch --host 127.0.0.1 --port " + server.PortText() +
                              " --user alice --pass secret --out '" + out.Path() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  server.Finish();
  EXPECT_EQ(platform::ReadFile(out.Path() + "MailNo1.txt"), text);
}

}  // namespace
}  // namespace mf
