// Sending the whole outbox through scripted peers: one session for every
// mail, the sent copies, and the ways a run stops.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/MailFooter.h"
#include "mail/send/OutboxSender.h"
#include "mail/store/MailStatus.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "tests/mail/send/SendFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;
using testing::SinkLog;
using testing::SmtpSink;

class OutboxSenderTest : public testing::SendTestBase {
 protected:
  OutboxSenderTest() {
    outbox_.OnSent = [this](const OutboxSent& sent) {
      outboxSent_.push_back(sent);
      events_.push_back("sent");
    };
    outbox_.OnFailed = [this](const std::string& text) {
      failures_.push_back(SendFailure{text});
      events_.push_back("failed");
    };
    outbox_.OnClosed = [this] { events_.push_back("closed"); };
  }

  void Queue(const Composition& mail) {
    std::string error;
    ASSERT_TRUE(controller_.SendLater(mail, error)) << error;
  }

  static Composition Numbered(int n) {
    Composition mail = SendTestBase::SimpleMail();
    mail.subject = Sj("件名") + std::to_string(n);
    mail.body = "mail " + std::to_string(n) + "\r\n";
    return mail;
  }

  // Runs the outbox against a permissive peer; the peer's log.
  SinkLog SendOutbox() {
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    settings_.smtpPort = server.PortText();
    EXPECT_TRUE(outbox_.Start());
    EXPECT_TRUE(events_.empty()) << "an event fired inside Start";
    EXPECT_TRUE(RunToEnd());
    EXPECT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, 10s));
    return log;
  }

  static std::string HeaderOf(const std::string& message) { return message.substr(0, message.find("\r\n\r\n") + 2); }
  static std::string TextOf(const std::string& message) {
    return ConvertJapaneseCode(message.substr(message.find("\r\n\r\n") + 4), jcSjis);
  }
  static bool HasLine(const std::string& text, const std::string& line) {
    for (const auto& l : SplitLines(text)) {
      if (l == line) return true;
    }
    return false;
  }

  OutboxSender outbox_{loop_, settings_, store_, clock_, random_};
  std::vector<OutboxSent> outboxSent_;
};

TEST_F(OutboxSenderTest, ThreeMailsGoOverOneSessionInOrderAndLeaveNoOutboxFiles) {
  for (int n = 1; n <= 3; ++n) Queue(Numbered(n));
  const SinkLog log = SendOutbox();  // one peer script: one connection

  ASSERT_EQ(events_, (std::vector<std::string>{"sent", "sent", "sent", "closed"}));
  ASSERT_EQ(log.messages.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(TextOf(log.messages[n]), TextWithFooter("mail " + std::to_string(n + 1)) + ".\r\n");
  }
  EXPECT_EQ(std::count(log.commands.begin(), log.commands.end(), "QUIT"), 1);
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Outbox)));
  EXPECT_FALSE(platform::FileExists(store_.BodyPath(FolderKind::Outbox)));

  // Each sent copy carries the Message-ID its wire copy had, after "To: ".
  const auto sent = store_.ReadHeaderRecords(FolderKind::Sent);
  ASSERT_EQ(sent.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sent[i].status, StatusWord(MailStatus::Sent));
    EXPECT_EQ(sent[i].subject, Sj("件名") + std::to_string(i + 1));
    EXPECT_TRUE(HasLine(HeaderOf(log.messages[i]), "Message-Id: " + outboxSent_[i].messageId));
    const auto lines = SplitLines(store_.ReadBodyRecord(FolderKind::Sent, i));
    ASSERT_GT(lines.size(), 4u);
    EXPECT_TRUE(StartsWith(lines[3], "To: "));
    EXPECT_EQ(lines[4], "Message-ID: " + outboxSent_[i].messageId);
  }
  EXPECT_NE(outboxSent_[0].messageId, outboxSent_[1].messageId);
}

TEST_F(OutboxSenderTest, RecipientsCcAndAnEmptySubjectReachTheEnvelopeAndHeader) {
  Composition mail = Numbered(1);
  mail.to = "hanako@example.jp,jiro@example.jp";
  mail.cc = Sj("三郎 <saburo@example.jp>");
  mail.subject.clear();
  Queue(mail);
  const SinkLog log = SendOutbox();
  ASSERT_EQ(log.messages.size(), 1u);
  const std::string commands = JoinLines(log.commands);
  for (const char* rcpt : {"RCPT TO:<hanako@example.jp>", "RCPT TO:<jiro@example.jp>", "RCPT TO:<saburo@example.jp>"}) {
    EXPECT_TRUE(HasLine(commands, rcpt)) << rcpt;
  }
  const std::string header = HeaderOf(log.messages[0]);
  EXPECT_NE(header.find("Cc: "), std::string::npos) << header;
  EXPECT_TRUE(HasLine(header, "Subject: ")) << header;
  EXPECT_TRUE(HasLine(header, "X-CharacterID: "));
}

TEST_F(OutboxSenderTest, AVanishedAttachmentIsLeftBehindAndNamed) {
  Composition mail = Numbered(1);
  mail.attachments = {WriteFile("kept.txt", "kept bytes"), WriteFile("gone.txt", "gone bytes")};
  Queue(mail);
  // The outbox keeps its own copies; the user's copy of one disappears.
  const std::vector<std::string> stored = AttachmentFilesOf(store_.ReadBodyRecord(FolderKind::Outbox, 0));
  ASSERT_EQ(stored.size(), 2u);
  ASSERT_TRUE(platform::DeleteFileInside(store_.StoreFolder(), stored[1]));

  const SinkLog log = SendOutbox();
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].find("kept.txt"), std::string::npos);
  EXPECT_EQ(log.messages[0].find("gone.txt"), std::string::npos);
  ASSERT_EQ(outboxSent_.size(), 1u);
  EXPECT_EQ(outboxSent_[0].missingFiles, (std::vector<std::string>{stored[1]}));
}

TEST_F(OutboxSenderTest, ALongLineGoesOutSplitNotCut) {
  Composition mail = Numbered(1);
  std::string longLine;
  for (int i = 0; i < 700; ++i) longLine += Sj("あ");
  mail.body = longLine + "\r\n";
  Queue(mail);
  const SinkLog log = SendOutbox();
  ASSERT_EQ(log.messages.size(), 1u);
  std::string joined;
  for (const std::string& line : SplitLines(log.messages[0].substr(log.messages[0].find("\r\n\r\n") + 4))) {
    EXPECT_LE(line.size(), 998u);
    joined += ConvertJapaneseCode(line, jcSjis);
  }
  EXPECT_NE(joined.find(longLine), std::string::npos);
}

TEST_F(OutboxSenderTest, AMailThatCannotLeaveTheOutboxStopsTheRunInsteadOfGoingAgain) {
  Queue(Numbered(1));
  Queue(Numbered(2));
  // A folder where the sent header file belongs: the move cannot be written.
  ASSERT_TRUE(platform::CreateFolder(store_.HeaderPath(FolderKind::Sent)));
  const SinkLog log = SendOutbox();
  EXPECT_EQ(events_, (std::vector<std::string>{"failed"}));
  EXPECT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 2u);
  EXPECT_FALSE(outbox_.Busy());
}

TEST_F(OutboxSenderTest, ARefusedRecipientStopsTheRunWithTheMailStillFirst) {
  Queue(Numbered(1));
  ScriptedServer server;
  server.Do([](ScriptedServer::Peer& peer) {
         peer.Send("220 ready\r\n");
         while (const auto line = peer.ReadLine()) {
           peer.Send(StartsWith(*line, "RCPT") ? "550 no such user\r\n" : "250 ok\r\n");
         }
       })
      .Start();
  settings_.smtpPort = server.PortText();
  ASSERT_TRUE(outbox_.Start());
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(events_, (std::vector<std::string>{"failed"}));
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 0u);
}

TEST_F(OutboxSenderTest, APopBeforeSmtpLoginThatCannotConnectEndsTheRun) {
  Queue(Numbered(1));
  settings_.popBeforeSmtp = true;
  settings_.pop3Server = "127.0.0.1";
  settings_.pop3Port = std::to_string(ScriptedServer::ClosedPort());
  ASSERT_TRUE(outbox_.Start());
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(events_, (std::vector<std::string>{"failed"}));
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
}

TEST_F(OutboxSenderTest, AnEmptyOutboxStartsNothing) {
  EXPECT_FALSE(outbox_.Start());
  EXPECT_FALSE(outbox_.Busy());
}

}  // namespace
}  // namespace mf
