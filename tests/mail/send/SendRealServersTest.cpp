// A mail carried by a character, sent by the send controller through a real
// Postfix after a POP-before-SMTP login at a real Dovecot: what the
// recipient's mailbox holds and what the sent folder keeps.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "mail/send/CarrierPackage.h"
#include "mail/send/OutboxSender.h"
#include "mail/store/StoreRecords.h"
#include "mime/MimeDecoder.h"
#include "platform/Files.h"
#include "tests/mail/send/SendServersFixture.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/roster/CharacterFolders.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

class SendRealServersTest : public testing::SendServersTestBase {
 protected:
  void SetUp() override {
    SendServersTestBase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    UsePopBeforeSmtpAsBob();
  }

  // The one message Postfix put into the maildir, with CR LF line ends.
  std::string DeliveredMessage(const std::string& user) {
    const std::string folder = servers_->Maildir(user) + "/new/";
    std::vector<std::string> names;
    loop_.RunUntil(
        [&] {
          names = platform::ListFolder(folder, "*", platform::ListKind::FilesOnly);
          return !names.empty();
        },
        10s);
    if (names.size() != 1) return std::string();
    return JoinLines(SplitLines(platform::ReadFile(folder + names[0]).value_or("")));
  }

};

TEST_F(SendRealServersTest, ACarriedMailArrivesWithItsCharacterAndAttachment) {
  testing::MakeCharacter(folder_.Path(), {.id = "<20240305.1a2b@mfmail.test>", .scenes = testing::StandingScenes()});
  const auto package = PrepareCarrierPackage(folder_.Path() + "char1");
  ASSERT_TRUE(package);
  std::string attachment;
  for (int i = 0; i < 5000; ++i) attachment.push_back(static_cast<char>((i * 31 + 7) & 0xff));

  Composition mail;
  mail.to = Sj("アリス <") + MailServers::Address("alice") + ">";
  mail.subject = Sj("キャラクターが運ぶメール");
  mail.body = Sj("こんにちは。") + "\r\n" + std::string(1200, 'z') + "\r\n.\r\n" + Sj("おわり") + "\r\n";
  mail.attachments = {WriteFile("data.bin", attachment)};
  mail.packagePath = *package;
  mail.characterId = "<20240305.1a2b@mfmail.test>";
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  ASSERT_TRUE(RunToEnd(30s));
  ASSERT_EQ(events_, (std::vector<std::string>{"sent", "closed"})) << FailureShown();

  const std::string message = DeliveredMessage("alice");
  ASSERT_FALSE(message.empty()) << "nothing delivered";
  const std::string header = message.substr(0, message.find("\r\n\r\n") + 2);
  EXPECT_NE(header.find("\r\nX-Mailer: MofutanMail\r\n"), std::string::npos) << header;
  EXPECT_NE(header.find("\r\nX-CharacterID: <20240305.1a2b@mfmail.test>\r\n"), std::string::npos) << header;
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_NE(header.find("\r\nMessage-Id: " + sent_[0].messageId + "\r\n"), std::string::npos) << header;

  const std::string mailFile = outside_.Path() + "MailNo1.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(mailFile, message));
  MimeDecoder decoder;
  std::map<int, std::string> parts;
  std::map<int, std::string> names;
  decoder.OnPartBegin = [&](MimeDecoder& sender) { names[sender.PartNumber()] = sender.PartFileName(); };
  decoder.OnPartLine = [&](MimeDecoder& sender, const char* data, std::size_t length) {
    parts[sender.PartNumber()].append(data, length);
  };
  decoder.DecodeFile(mailFile);
  std::string subject = decoder.Subject();
  DecodeHeaderWords(subject);
  EXPECT_EQ(SjisToUtf8(subject), SjisToUtf8(mail.subject));

  // Parts: preamble, text, the attachment, the package.
  ASSERT_EQ(parts.size(), 4u) << message.substr(0, 2000);
  const std::string text = ConvertJapaneseCode(parts[1], jcSjis);
  EXPECT_NE(text.find(Sj("こんにちは。") + "\r\n" + std::string(998, 'z')), std::string::npos);
  EXPECT_NE(text.find(Sj("おわり")), std::string::npos);
  EXPECT_EQ(names[2], "data.bin");
  EXPECT_TRUE(parts[2] == attachment) << "attachment bytes differ";
  EXPECT_EQ(names[3], "MofutanData.mfd");
  EXPECT_TRUE(CheckPackage(parts[3]).has_value()) << "the package fails its check";

  // The sent folder keeps the mail with the Message-ID of the wire.
  const std::string body = ReadStoreFile("TransmittedBody.txt");
  EXPECT_NE(body.find("\r\nMessage-ID: " + sent_[0].messageId + "\r\n"), std::string::npos) << SjisToUtf8(body);
  const auto headers = ParseHeaderRecords(ReadStoreFile("TransmittedHeader.txt"));
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_NE(headers[0].attachmentFolder, "");
  EXPECT_EQ(AttachmentFilesOf(body).size(), 2u);
}

TEST_F(SendRealServersTest, AMailThatFindsTheServerClosedWaitsAndTheOutboxDeliversItOnce) {
  Composition mail;
  mail.to = MailServers::Address("alice");
  mail.subject = Sj("後から届くメール");
  mail.body = Sj("サーバーが止まっていました") + "\r\n";
  mail.attachments = {WriteFile("note.txt", "kept with the mail")};
  const std::string smtpPort = settings_.smtpPort;
  const std::string closedPort = std::to_string(test::ScriptedServer::ClosedPort());
  settings_.smtpPort = closedPort;
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  ASSERT_TRUE(RunToEnd(30s));
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_TRUE(failures_[0].keptInOutbox);
  EXPECT_NE(FailureShown().find("127.0.0.1 のポート " + closedPort + " に接続できません"), std::string::npos)
      << FailureShown();
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);

  // The server is reachable again: "送信" sends the kept mail, once.
  settings_.smtpPort = smtpPort;
  OutboxSender outbox(loop_, settings_, store_, clock_, random_);
  bool closed = false;
  std::string failed;
  outbox.OnClosed = [&] { closed = true; };
  outbox.OnFailed = [&](const std::string& text) { failed = text; };
  ASSERT_TRUE(outbox.Start());
  ASSERT_TRUE(loop_.RunUntil([&] { return closed || !failed.empty(); }, 30s));
  ASSERT_TRUE(failed.empty()) << SjisToUtf8(failed);
  const std::string message = DeliveredMessage("alice");
  ASSERT_FALSE(message.empty()) << "nothing delivered, or more than one mail";
  EXPECT_NE(message.find("note.txt"), std::string::npos);
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 0u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 1u);
}

TEST_F(SendRealServersTest, ARecipientPostfixRefusesKeepsTheMailWithPostfixsWords) {
  Composition mail;
  mail.to = "nobody@" + std::string(MailServers::kDomain);
  mail.subject = Sj("宛先のないメール");
  mail.body = "text\r\n";
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  ASSERT_TRUE(RunToEnd(30s));
  ASSERT_EQ(failures_.size(), 1u) << "sent to a recipient Postfix does not know";
  EXPECT_TRUE(failures_[0].keptInOutbox);
  EXPECT_NE(FailureShown().find("サーバーの応答: 550 5.1.1 <nobody@mfmail.test>"), std::string::npos)
      << FailureShown();
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 0u);
}

}  // namespace
}  // namespace mf
