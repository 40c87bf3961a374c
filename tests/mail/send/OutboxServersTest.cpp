// The whole outbox sent through the real Postfix after a POP-before-SMTP
// log-in at the real Dovecot, then received back from Dovecot into a
// second program folder: order, whole text, no footer.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/receive/ReceiveController.h"
#include "mail/send/MailFooter.h"
#include "mail/send/OutboxSender.h"
#include "platform/Files.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/mail/send/SendServersFixture.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

class OutboxServersTest : public testing::SendServersTestBase {
 protected:
  void SetUp() override {
    SendServersTestBase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UsePopBeforeSmtpAsBob();
  }
};

TEST_F(OutboxServersTest, ThreeQueuedMailsGoOverOneSessionInOrderAndArriveWholeAndWithoutFooter) {
  const std::string longLine = std::string(1500, 'x') + Sj("長い行の終わり");
  std::vector<std::string> texts;
  for (int n = 1; n <= 3; ++n) {
    Composition mail;
    mail.to = MailServers::Address("alice");
    mail.subject = Sj("送信待ち") + std::to_string(n);
    mail.body = Sj("本文") + std::to_string(n) + "\r\n" + longLine + "\r\n";
    texts.push_back(mail.body);
    std::string error;
    ASSERT_TRUE(controller_.SendLater(mail, error)) << error;
  }
  OutboxSender outbox(loop_, settings_, store_, clock_, random_);
  std::vector<std::string> sentSubjects;
  bool closed = false;
  std::string failure;
  outbox.OnSent = [&](const OutboxSent& mail) { sentSubjects.push_back(mail.subject); };
  outbox.OnClosed = [&] { closed = true; };
  outbox.OnFailed = [&](const std::string& text) { failure = text; };
  ASSERT_TRUE(outbox.Start());
  ASSERT_TRUE(loop_.RunUntil([&] { return closed || !failure.empty(); }, 60s));
  ASSERT_EQ(failure, "");
  EXPECT_EQ(sentSubjects, (std::vector<std::string>{Sj("送信待ち1"), Sj("送信待ち2"), Sj("送信待ち3")}));
  EXPECT_FALSE(platform::FileExists(store_.BodyPath(FolderKind::Outbox)));
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        return platform::ListFolder(servers_->Maildir("alice") + "/new", "*", platform::ListKind::FilesOnly).size() >=
               3;
      },
      10s));

  // Received back by alice's own copy of the program.
  platform::TemporaryFolder aliceFolder;
  MailStore aliceStore(aliceFolder.Path());
  aliceStore.Prepare();
  LiveSettings alice(platform::IniFile(aliceFolder.Path() + "MFMail.ini"), {}, {});
  alice.pop3Server = "127.0.0.1";
  alice.pop3Port = std::to_string(servers_->Pop3Port());
  alice.pop3User = "alice";
  alice.pop3Password = MailServers::kPassword;
  testing::FakeReceivingHut hut;
  ReceiveController receiver(loop_, alice, aliceStore, hut, random_, clock_);
  std::vector<ArrivedMail> arrived;
  bool finished = false;
  receiver.OnMailStored = [&](const ArrivedMail& mail) { arrived.push_back(mail); };
  receiver.OnFinished = [&](const ReceiveSummary&) { finished = true; };
  ASSERT_EQ(receiver.Receive(ReceiveTrigger::Manual), ReceiveStart::Started);
  ASSERT_TRUE(loop_.RunUntil([&] { return finished; }, 30s));
  ASSERT_EQ(arrived.size(), 3u);
  // Postfix may deliver the three side by side, so the mailbox keeps no
  // order of its own: each is matched by its subject.
  std::sort(arrived.begin(), arrived.end(),
            [](const ArrivedMail& a, const ArrivedMail& b) { return a.subject < b.subject; });
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(arrived[i].subject, Sj("送信待ち") + std::to_string(i + 1));
    // Split into lines the wire can carry, but every byte of it arrives.
    std::string joined = arrived[i].text;
    joined.erase(std::remove(joined.begin(), joined.end(), '\r'), joined.end());
    joined.erase(std::remove(joined.begin(), joined.end(), '\n'), joined.end());
    EXPECT_NE(joined.find(longLine), std::string::npos) << "the long line was cut";
    EXPECT_NE(arrived[i].text.find(Sj("本文") + std::to_string(i + 1)), std::string::npos);
    EXPECT_EQ(arrived[i].text.find(MailFooterLines()[1]), std::string::npos) << "the footer stayed";
  }
}

}  // namespace
}  // namespace mf
