// mftool send-outbox killed at each step of a run over the real Postfix,
// then run again: every mail ends in exactly one of the outbox and the sent
// folder and reaches the server once. A mail killed between its "." and
// its filing may have arrived: it stays in the outbox as "送信不明" and the
// second run leaves it there.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "mail/store/MailStatus.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "tests/mail/send/SendServersFixture.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

struct OutboxCrash {
  const char* crashAt;  // MFMAIL_TEST_CRASH_AT
  // The mail left "送信不明" (1 to 3), 0 for none, and how many copies of
  // it the server got.
  int unconfirmed;
  int unconfirmedCopies;
};

void PrintTo(const OutboxCrash& crash, std::ostream* out) { *out << crash.crashAt; }

class OutboxCrashTest : public testing::SendServersTestBase, public ::testing::WithParamInterface<OutboxCrash> {
 protected:
  // mftool send-outbox over the program folder; true when it was killed.
  bool Run(const std::string& crashAt) {
    std::string command = "MFMAIL_HOME='" + folder_.Path() + "' ";
    if (!crashAt.empty()) command += "MFMAIL_TEST_CRASH_AT='" + crashAt + "' ";
    command += "'" MFTOOL_PATH "' send-outbox >/dev/null 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    // std::system runs a shell, which reports a killed child as 128 + signal.
    return WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL;
  }

  std::map<std::string, int> Delivered(std::size_t expected) {
    const std::string folder = servers_->Maildir("alice") + "/new/";
    auto names = [&] { return platform::ListFolder(folder, "*", platform::ListKind::FilesOnly); };
    loop_.RunUntil([&] { return names().size() >= expected; }, 10s);
    std::this_thread::sleep_for(300ms);  // a copy too many would be on its way by now
    return servers_->NewSubjects("alice");
  }
};

TEST_P(OutboxCrashTest, EveryMailEndsInTheOutboxOrTheSentFolderAndArrivesOnce) {
  const OutboxCrash& crash = GetParam();
  ASSERT_TRUE(platform::WriteFileAtomic(folder_.Path() + "MFMail.ini",
                                        "[MailSet]\r\nSMTP_SV=127.0.0.1\r\nSMTPPort=" +
                                            std::to_string(servers_->SmtpPort()) + "\r\nMailAdd=bob@mfmail.test\r\n"));
  for (int n = 1; n <= 3; ++n) {
    Composition mail;
    mail.to = MailServers::Address("alice");
    mail.subject = "crash-" + std::to_string(n);
    mail.body = "text " + std::to_string(n) + "\r\n";
    mail.characterId = "chr" + std::to_string(n);
    mail.attachments.push_back(WriteFile("file" + std::to_string(n) + ".txt", "attachment"));
    std::string error;
    ASSERT_TRUE(controller_.SendLater(mail, error)) << error;
  }

  ASSERT_TRUE(Run(crash.crashAt)) << "mftool was not killed at " << crash.crashAt;
  EXPECT_FALSE(Run(""));

  // Each mail in one place, the files whole; only the unconfirmed one waits.
  std::map<std::string, std::string> places;
  for (FolderKind folder : {FolderKind::Outbox, FolderKind::Sent}) {
    const std::string body = platform::ReadFile(store_.BodyPath(folder)).value_or("");
    EXPECT_EQ(RecordSpans(body).size(), store_.RecordCount(folder));
    for (const auto& header : store_.ReadHeaderRecords(folder)) {
      EXPECT_FALSE(places.contains(header.subject)) << header.subject << " is in two places";
      places[header.subject] = header.status;
    }
  }
  std::map<std::string, std::string> expected;
  for (int n = 1; n <= 3; ++n) {
    expected["crash-" + std::to_string(n)] =
        StatusWord(n == crash.unconfirmed ? MailStatus::Unconfirmed : MailStatus::Sent);
  }
  EXPECT_EQ(places, expected);

  std::map<std::string, int> once;
  for (int n = 1; n <= 3; ++n) {
    const int copies = n == crash.unconfirmed ? crash.unconfirmedCopies : 1;
    if (copies > 0) once["crash-" + std::to_string(n)] = copies;
  }
  EXPECT_EQ(Delivered(once.size()), once);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, OutboxCrashTest,
    ::testing::Values(OutboxCrash{"greeting:1", 0, 0}, OutboxCrash{"HELO:2", 0, 0}, OutboxCrash{"MAIL FROM:1", 0, 0},
                      OutboxCrash{"RCPT TO:2", 0, 0}, OutboxCrash{"DATA:3", 0, 0}, OutboxCrash{"body:2", 0, 0},
                      // Marked, its "." not yet written: the server threw the mail away.
                      OutboxCrash{"dot:2", 2, 0},
                      // The server took it; the program died before it was filed.
                      OutboxCrash{"accepted:1", 1, 1}, OutboxCrash{"accepted:3", 3, 1},
                      OutboxCrash{"filed:2", 0, 0}, OutboxCrash{"QUIT:1", 0, 0}),
    [](const ::testing::TestParamInfo<OutboxCrash>& info) {
      std::string name;
      for (const char c : std::string(info.param.crashAt)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      }
      return name;
    });

}  // namespace
}  // namespace mf
