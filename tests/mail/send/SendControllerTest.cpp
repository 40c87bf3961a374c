// Sending a composed mail through a scripted SMTP peer: the bytes on the
// wire, the sent records, the reply mark, and every way an attempt can end.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/MailFooter.h"
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

// A POP3 server that takes any login; `closeAfterUser` hangs up instead of
// answering PASS, and `refusePass` answers it with -ERR.
std::function<void(ScriptedServer::Peer&)> PopLoginPeer(std::vector<std::string>& commands, bool closeAfterUser,
                                                       bool refusePass) {
  return [&commands, closeAfterUser, refusePass](ScriptedServer::Peer& peer) {
    peer.Send("+OK ready\r\n");
    while (const auto line = peer.ReadLine()) {
      commands.push_back(*line);
      if (StartsWith(*line, "USER")) {
        if (closeAfterUser) {
          peer.Close();
          return;
        }
        peer.Send("+OK\r\n");
      } else if (StartsWith(*line, "PASS")) {
        peer.Send(refusePass ? "-ERR wrong\r\n" : "+OK logged in\r\n");
      } else if (*line == "QUIT") {
        peer.Send("+OK bye\r\n");
        peer.Close();
        return;
      }
    }
  };
}

class SendControllerTest : public testing::SendTestBase {
 protected:
  // Sends `mail` to a permissive SMTP peer and returns the message it got.
  std::string SendToSink(const Composition& mail) {
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    settings_.smtpPort = server.PortText();
    EXPECT_EQ(controller_.SendNow(mail), SendStart::Started);
    EXPECT_TRUE(events_.empty()) << "an event fired inside SendNow";
    EXPECT_TRUE(controller_.Busy());
    EXPECT_TRUE(RunToEnd());
    EXPECT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, 10s));
    commands_ = log.commands;
    return log.messages.empty() ? std::string() : log.messages.front();
  }

  static std::string HeaderOf(const std::string& message) { return message.substr(0, message.find("\r\n\r\n") + 2); }
  static bool HasLine(const std::string& text, const std::string& line) {
    for (const auto& l : SplitLines(text)) {
      if (l == line) return true;
    }
    return false;
  }
  static bool HasLineStarting(const std::string& text, const std::string& start) {
    for (const auto& l : SplitLines(text)) {
      if (StartsWith(l, start)) return true;
    }
    return false;
  }

  std::string PackageFile() {
    const std::string folder = outside_.Path() + "char1/";
    platform::CreateFolder(folder);
    return WriteFile("char1/MofutanData.mfd", "package bytes");
  }

  void AddInboxMails(int count) {
    for (int i = 0; i < count; ++i) {
      HeaderRecord header{StatusWord(MailStatus::Unread), "s" + std::to_string(i), "x@y.jp", "d", "me", ""};
      ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, header, BodyRecord{{{"Subject: ", "s"}}, "t"}),
                StoreResult::Done);
    }
  }

  std::vector<std::string> commands_;
};

TEST_F(SendControllerTest, PlainMailGoesOutSinglePartAndIsFiledWithItsMessageId) {
  Composition mail = SimpleMail();
  mail.to = Sj("花子 <hanako@example.jp>,jiro@example.jp");
  mail.cc = "saburo@example.jp";
  const std::string message = SendToSink(mail);
  ASSERT_EQ(events_, (std::vector<std::string>{"sent", "closed"}));
  EXPECT_FALSE(controller_.Busy());

  // Envelope: every To and Cc recipient whole, the bare comma included.
  EXPECT_TRUE(HasLine(JoinLines(commands_), "MAIL FROM:<taro@example.jp>"));
  EXPECT_TRUE(HasLine(JoinLines(commands_), "RCPT TO:<hanako@example.jp>"));
  EXPECT_TRUE(HasLine(JoinLines(commands_), "RCPT TO:<jiro@example.jp>"));
  EXPECT_TRUE(HasLine(JoinLines(commands_), "RCPT TO:<saburo@example.jp>"));
  EXPECT_EQ(commands_.back(), "QUIT");

  const std::string header = HeaderOf(message);
  EXPECT_TRUE(HasLine(header, "Content-Type: text/plain; charset=\"ISO-2022-JP\"")) << header;
  EXPECT_FALSE(HasLineStarting(header, "Content-Type: multipart"));
  EXPECT_TRUE(HasLine(header, "X-Mailer: MofutanMail"));
  EXPECT_TRUE(HasLine(header, "X-CharacterID: "));
  EXPECT_TRUE(HasLine(header, "Cc: saburo@example.jp"));
  EXPECT_FALSE(HasLineStarting(header, "In-Reply-To:"));
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_TRUE(HasLine(header, "Message-Id: " + sent_[0].messageId)) << header;
  EXPECT_TRUE(StartsWith(sent_[0].messageId, "<") && sent_[0].messageId.find("@127.0.0.1>") != std::string::npos);
  EXPECT_EQ(sent_[0].filingError, "");

  // The text as typed in JIS, then the footer.
  const std::string text = message.substr(header.size() + 2);
  EXPECT_EQ(ConvertJapaneseCode(text, jcSjis), TextWithFooter(mail.body) + ".\r\n");

  // Sent records: no attachment folder for a mail without files.
  const auto headers = ParseHeaderRecords(ReadStoreFile("TransmittedHeader.txt"));
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0], (HeaderRecord{StatusWord(MailStatus::Sent), mail.subject, "taro@example.jp",
                                      "Tue, 5 Mar 2024 14:07:09 +0900", mail.to, ""}));
  EXPECT_EQ(ReadStoreFile("TransmittedBody.txt"),
            "Subject: " + mail.subject + "\r\nFrom: taro@example.jp\r\nDate: Tue, 5 Mar 2024 14:07:09 +0900\r\n"
            "To: " + mail.to + "\r\nCc: saburo@example.jp\r\nMessage-ID: " + sent_[0].messageId +
            "\r\nX-Character: \r\n\r\n" + Sj("本文の一行目") + "\r\nsecond line\r\n\r\n\x01\x01\r\n");
  EXPECT_EQ(platform::ListFolder(store_.StoreFolder(), "*", platform::ListKind::FoldersOnly).size(), 0u);
}

TEST_F(SendControllerTest, CarriedMailSendsThePackageAndKeepsTheFolderFieldEmpty) {
  Composition mail = SimpleMail();
  mail.packagePath = PackageFile();
  mail.characterId = "<2024.abc@example.jp>";
  const std::string message = SendToSink(mail);
  ASSERT_EQ(events_, (std::vector<std::string>{"sent", "closed"}));
  const std::string header = HeaderOf(message);
  EXPECT_TRUE(HasLine(header, "X-CharacterID: <2024.abc@example.jp>"));
  EXPECT_TRUE(HasLineStarting(header, "Content-Type: multipart/mixed;"));
  EXPECT_NE(message.find("MofutanData.mfd"), std::string::npos);

  const auto headers = ParseHeaderRecords(ReadStoreFile("TransmittedHeader.txt"));
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].attachmentFolder, "");
  const std::string body = ReadStoreFile("TransmittedBody.txt");
  const auto files = AttachmentFilesOf(body);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(platform::ExtractFileName(files[0]), "MofutanData.mfd");
  EXPECT_EQ(platform::ReadFile(files[0]).value_or(""), "package bytes");
  EXPECT_TRUE(HasLine(body, "X-Character: <2024.abc@example.jp>"));
  EXPECT_EQ(sent_[0].characterId, "<2024.abc@example.jp>");
}

TEST_F(SendControllerTest, AReplyMarksItsInboxMailAndLeavesNothingForTheNextMail) {
  AddInboxMails(3);
  Composition reply = SimpleMail();
  reply.replyMode = true;
  reply.replyIndex = 1;
  reply.inReplyTo = "<orig@x.jp>";
  reply.references = "<first@x.jp> <orig@x.jp>";
  const std::string first = SendToSink(reply);
  EXPECT_TRUE(HasLine(HeaderOf(first), "In-Reply-To: <orig@x.jp>"));
  EXPECT_TRUE(HasLine(HeaderOf(first), "References: <first@x.jp> <orig@x.jp>"));
  const auto inbox = ParseHeaderRecords(ReadStoreFile(Sj("受信.txt")));
  ASSERT_EQ(inbox.size(), 3u);
  EXPECT_EQ(inbox[0].status, StatusWord(MailStatus::Unread));
  EXPECT_EQ(inbox[1].status, StatusWord(MailStatus::Replied));
  EXPECT_EQ(inbox[2].status, StatusWord(MailStatus::Unread));
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_TRUE(sent_[0].replyMode);
  EXPECT_EQ(sent_[0].replyIndex, 1u);

  events_.clear();
  const std::string second = SendToSink(SimpleMail());
  EXPECT_FALSE(HasLineStarting(HeaderOf(second), "In-Reply-To:"));
  EXPECT_FALSE(HasLineStarting(HeaderOf(second), "References:"));
  const auto sent = ParseHeaderRecords(ReadStoreFile("TransmittedHeader.txt"));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].status, StatusWord(MailStatus::SentReply));
  EXPECT_EQ(sent[1].status, StatusWord(MailStatus::Sent));
}

TEST_F(SendControllerTest, ValuesFromReceivedMailAddNoHeaderLines) {
  Composition reply = SimpleMail();
  reply.inReplyTo = "<a@x.jp>\r\nBcc: evil@x.jp";
  reply.references = "<a@x.jp>\nX-Injected: 1";
  reply.characterId = "<c@x>\rX-Other: 2";
  reply.subject = "hello\r\nBcc: evil@x.jp";
  const std::string header = HeaderOf(SendToSink(reply));
  EXPECT_FALSE(HasLineStarting(header, "Bcc:")) << header;
  EXPECT_FALSE(HasLineStarting(header, "X-Injected:")) << header;
  EXPECT_FALSE(HasLineStarting(header, "X-Other:")) << header;
  EXPECT_TRUE(HasLineStarting(header, "In-Reply-To: <a@x.jp>")) << header;
  EXPECT_EQ(commands_.size(), 5u) << "HELO, MAIL, RCPT, DATA, QUIT and nothing else";
}

TEST_F(SendControllerTest, ALongLineArrivesWholeInLinesTheServerTakes) {
  Composition mail = SimpleMail();
  const std::string longLine(1500, 'x');
  std::string kanji;
  for (int i = 0; i < 700; ++i) kanji += Sj("語");
  mail.body = longLine + "\r\n" + kanji + "\r\n";
  const std::string message = SendToSink(mail);
  const std::string text = message.substr(HeaderOf(message).size() + 2);
  for (const std::string& line : SplitLines(text)) EXPECT_LE(line.size(), 998u);
  std::string joined;
  for (const std::string& line : SplitLines(ConvertJapaneseCode(text, jcSjis))) joined += line;
  EXPECT_NE(joined.find(longLine + kanji), std::string::npos) << "text lost on the way";
}

TEST_F(SendControllerTest, ARefusalKeepsTheMailInTheOutboxAndSendingWorksAgain) {
  ScriptedServer server;
  server.Say("220 hi\r\n").ExpectLine().Say("250 ok\r\n").ExpectLine().Say("250 ok\r\n")
      .ExpectLine().Say("550 no such user\r\n").ExpectLine().Say("503 no valid recipients\r\n");
  server.Start();
  settings_.smtpPort = server.PortText();
  ASSERT_EQ(controller_.SendNow(SimpleMail()), SendStart::Started);
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(events_, std::vector<std::string>{"failed"});
  EXPECT_NE(failures_[0].reason.find("550 no such user"), std::string::npos) << FailureShown();
  EXPECT_TRUE(failures_[0].keptInOutbox);
  EXPECT_FALSE(controller_.Busy());
  EXPECT_FALSE(controller_.Smtp().Connected());
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Sent)));
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
  loop_.RunFor(100ms);
  EXPECT_EQ(events_.size(), 1u) << "no second ending";

  // Sending works again afterwards.
  events_.clear();
  failures_.clear();
  SendToSink(SimpleMail());
  EXPECT_EQ(events_, (std::vector<std::string>{"sent", "closed"}));
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
}

// An SMTP server that answers each command by its first word: "banner" is
// the greeting, "." the answer to the mail's end, "*" any other line;
// unnamed commands get 250 (DATA 354). "<close>" hangs up instead of
// answering, "<silent>" stops answering.
std::function<void(ScriptedServer::Peer&)> SmtpPeer(std::map<std::string, std::string> replies) {
  return [replies = std::move(replies)](ScriptedServer::Peer& peer) {
    auto reply = [&](const std::string& key, const std::string& otherwise) {
      const auto found = replies.find(key);
      const std::string text = found != replies.end() ? found->second : otherwise;
      if (text == "<close>") {
        peer.Close();
        return false;
      }
      if (text == "<silent>") return false;
      peer.Send(text + "\r\n");
      return true;
    };
    if (!reply("banner", "220 ready")) return;
    while (const auto line = peer.ReadLine()) {
      const std::string word = line->substr(0, line->find(' '));
      if (word == "QUIT") {
        if (reply("QUIT", "221 bye")) peer.Close();
        return;
      }
      if (word == "DATA") {
        if (!reply("DATA", "354 go ahead")) return;
        if (replies.contains("DATA") && replies.at("DATA")[0] != '3') continue;
        if (!peer.ReadThrough("\r\n.\r\n") || !reply(".", "250 queued")) return;
        continue;
      }
      const bool known = replies.contains(word) || !replies.contains("*");
      if (!reply(known ? word : "*", "250 ok")) return;
    }
  };
}

struct FailureCase {
  const char* name;
  std::map<std::string, std::string> replies;  // empty: nobody listens on the port
  std::vector<const char*> said;               // UTF-8 pieces of the reason
  bool maybeDelivered = false;
  std::function<void(LiveSettings&, SmtpClient&)> setUp = nullptr;
};

class SendFailureTest : public SendControllerTest, public ::testing::WithParamInterface<FailureCase> {};

// Whatever stops a mail before the server took it, the mail waits in the
// outbox and the user learns what failed: the server and port that could
// not be reached, or the server's own words.
TEST_P(SendFailureTest, TheMailWaitsInTheOutboxAndTheUserLearnsWhy) {
  const FailureCase& c = GetParam();
  ScriptedServer server;
  if (c.replies.empty()) {
    settings_.smtpPort = std::to_string(ScriptedServer::ClosedPort());
  } else {
    server.Do(SmtpPeer(c.replies)).Start();
    settings_.smtpPort = server.PortText();
  }
  if (c.setUp) c.setUp(settings_, controller_.Smtp());
  const Composition mail = SimpleMail();
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(events_, std::vector<std::string>{"failed"});
  const SendFailure& failure = failures_[0];
  for (const char* piece : c.said) {
    EXPECT_NE(failure.reason.find(Sj(piece)), std::string::npos) << piece << " not in: " << FailureShown();
  }
  EXPECT_EQ(failure.maybeDelivered, c.maybeDelivered) << FailureShown();
  EXPECT_TRUE(failure.keptInOutbox) << FailureShown();
  EXPECT_NE(FailureShown().find("「送信待ち」"), std::string::npos) << FailureShown();
  EXPECT_FALSE(controller_.Busy());

  const auto outbox = ParseHeaderRecords(ReadStoreFile("WaitTransmissionHeader.txt"));
  ASSERT_EQ(outbox.size(), 1u);
  // One that may have arrived waits marked, so that "送信" does not send it twice.
  EXPECT_EQ(outbox[0].status, StatusWord(c.maybeDelivered ? MailStatus::Unconfirmed : MailStatus::Waiting));
  EXPECT_EQ(outbox[0].subject, mail.subject);
  EXPECT_NE(ReadStoreFile("WaitTransmissionAllBody.txt").find(Sj("本文の一行目")), std::string::npos);
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Sent)));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SendFailureTest,
    ::testing::Values(
        FailureCase{"ConnectionRefused", {}, {"SMTPサーバー 127.0.0.1 のポート ", "接続を拒否されました"}},
        FailureCase{"UnknownHost", {}, {"SMTPサーバー「mfmail-nowhere.invalid」が見つかりません"}, false,
                    [](LiveSettings& settings, SmtpClient&) { settings.smtpServer = "mfmail-nowhere.invalid"; }},
        FailureCase{"NoServerSet", {}, {"SMTPサーバー名が設定されていません", "「アカウント設定」"}, false,
                    [](LiveSettings& settings, SmtpClient&) { settings.smtpServer = " "; }},
        FailureCase{"SilentServer", {{"banner", "<silent>"}}, {"127.0.0.1（ポート ", "から応答がありません"}, false,
                    [](LiveSettings&, SmtpClient& smtp) { smtp.Timeout = 1; }},
        FailureCase{"GreetingRefused", {{"banner", "554 5.3.2 no service here"}}, {"554 5.3.2 no service here"}},
        FailureCase{"HeloRefused", {{"HELO", "501 5.5.4 bad greeting"}}, {"受け付けませんでした", "501 5.5.4"}},
        FailureCase{"SenderRefused", {{"MAIL", "553 5.1.8 sender rejected"}}, {"553 5.1.8 sender rejected"}},
        FailureCase{"RecipientRefused", {{"RCPT", "550 5.1.1 no such user"}}, {"550 5.1.1 no such user"}},
        FailureCase{"DataDeferred", {{"DATA", "451 4.3.0 try later"}}, {"451 4.3.0 try later"}},
        FailureCase{"ContentRefused", {{".", "554 5.7.1 content rejected"}}, {"554 5.7.1 content rejected"}},
        FailureCase{"DroppedBeforeTheText", {{"RCPT", "<close>"}}, {"接続が途中で切れました"}},
        FailureCase{"DroppedAfterTheText", {{".", "<close>"}}, {"接続が途中で切れました"}, true},
        FailureCase{"SilentAfterTheText", {{".", "<silent>"}}, {"から応答がありません"}, true,
                    [](LiveSettings&, SmtpClient& smtp) { smtp.Timeout = 1; }},
        FailureCase{"NoStartTls", {{"EHLO", "250 plain only"}}, {"STARTTLS"}, false,
                    [](LiveSettings& settings, SmtpClient&) { settings.smtpSecurity = ConnectionSecurity::StartTls; }},
        FailureCase{"LogInRefused",
                    {{"EHLO", "250-x\r\n250 AUTH CRAM-MD5"},
                     {"AUTH", "334 PDEyMzQ1QGV4YW1wbGUudGVzdD4="},
                     {"*", "535 5.7.8 bad credentials"}},
                    {"ログインに失敗しました", "535 5.7.8 bad credentials"}, false,
                    [](LiveSettings& settings, SmtpClient&) {
                      settings.smtpAuth = true;
                      settings.smtpUser = "taro";
                      settings.smtpPassword = "wrong";
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SendControllerTest, AFailedReplyIsKeptExactlyAsSendLaterKeepsIt) {
  AddInboxMails(2);
  Composition reply = SimpleMail();
  reply.replyMode = true;
  reply.replyIndex = 1;
  reply.inReplyTo = "<orig@x.jp>";
  reply.attachments = {WriteFile("plan.txt", "the plan")};
  reply.packagePath = PackageFile();
  reply.characterId = "<2024.abc@example.jp>";
  settings_.smtpPort = std::to_string(ScriptedServer::ClosedPort());
  ASSERT_EQ(controller_.SendNow(reply), SendStart::Started);
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_TRUE(failures_[0].keptInOutbox);
  EXPECT_TRUE(failures_[0].replyMode);
  EXPECT_EQ(ParseHeaderRecords(ReadStoreFile(Sj("受信.txt")))[1].status, StatusWord(MailStatus::Replied));

  // The same mail filed by "後で送る" gives the same records but for the
  // attachment folder's name.
  std::string error;
  ASSERT_TRUE(controller_.SendLater(reply, error)) << SjisToUtf8(error);
  auto outbox = ParseHeaderRecords(ReadStoreFile("WaitTransmissionHeader.txt"));
  ASSERT_EQ(outbox.size(), 2u);
  EXPECT_EQ(outbox[0].status, StatusWord(MailStatus::WaitingReply));
  const std::string keptFolder = outbox[0].attachmentFolder;
  const std::string laterFolder = outbox[1].attachmentFolder;
  ASSERT_FALSE(keptFolder.empty());
  outbox[0].attachmentFolder = laterFolder;
  EXPECT_EQ(outbox[0], outbox[1]);
  const std::string kept = store_.ReadBodyRecord(FolderKind::Outbox, 0);
  std::string later = store_.ReadBodyRecord(FolderKind::Outbox, 1);
  for (std::size_t at = later.find(laterFolder); at != std::string::npos; at = later.find(laterFolder, at)) {
    later.replace(at, laterFolder.size(), keptFolder);
  }
  EXPECT_EQ(kept, later);
  const auto files = AttachmentFilesOf(kept);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(platform::ReadFile(files[0]).value_or(""), "the plan");
  EXPECT_EQ(platform::ExtractFileName(files[1]), "MofutanData.mfd");
}

TEST_F(SendControllerTest, AMailThatCannotBeFiledEitherIsLeftToTheWindow) {
  // Something else holds the outbox's name: nothing can be appended there.
  ASSERT_TRUE(platform::CreateFolders(store_.HeaderPath(FolderKind::Outbox) + "/"));
  Composition mail = SimpleMail();
  mail.attachments = {WriteFile("plan.txt", "the plan")};
  settings_.smtpPort = std::to_string(ScriptedServer::ClosedPort());
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_FALSE(failures_[0].keptInOutbox);
  EXPECT_FALSE(failures_[0].filingError.empty());
  EXPECT_NE(FailureShown().find("作成画面に残して"), std::string::npos) << FailureShown();
  // No half-filed mail: the copies made for it are gone again.
  EXPECT_EQ(platform::ListFolder(store_.StoreFolder(), "*", platform::ListKind::FoldersOnly),
            std::vector<std::string>{platform::ExtractFileName(store_.HeaderPath(FolderKind::Outbox))});
}

TEST_F(SendControllerTest, AMailTheServerTookIsNeverKeptAsWellWhateverFollows) {
  ScriptedServer server;
  server.Do(SmtpPeer({{"QUIT", "<close>"}})).Start();
  settings_.smtpPort = server.PortText();
  ASSERT_EQ(controller_.SendNow(SimpleMail()), SendStart::Started);
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(events_, (std::vector<std::string>{"sent", "closed"}));
  EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 1u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 0u);
}

TEST_F(SendControllerTest, AMissingFileEndsTheAttemptBeforeAnyServerIsAskedAndNamesTheFile) {
  Composition mail = SimpleMail();
  const std::string gone = outside_.Path() + "gone.txt";
  mail.attachments = {WriteFile("here.txt", "x"), gone};
  settings_.smtpPort = std::to_string(ScriptedServer::ClosedPort());
  ASSERT_EQ(controller_.SendNow(mail), SendStart::Started);
  EXPECT_TRUE(failures_.empty()) << "reported inside the call";
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].missingFiles, std::vector<std::string>{gone});
  EXPECT_NE(failures_[0].reason.find(gone), std::string::npos) << FailureShown();
  // Filed without the file it would go without it: the window keeps it.
  EXPECT_FALSE(failures_[0].keptInOutbox);
  EXPECT_FALSE(controller_.Busy());
  EXPECT_EQ(platform::ListFolder(store_.StoreFolder(), "*", platform::ListKind::FoldersOnly).size(), 0u);
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Sent)));
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Outbox)));
}

TEST_F(SendControllerTest, RefusesWhileBusyAndWithoutRecipient) {
  Composition blank = SimpleMail();
  blank.to = "   ";
  EXPECT_EQ(controller_.SendNow(blank), SendStart::NoRecipient);
  EXPECT_EQ(SjisToUtf8(NoRecipientText()), "宛先が指定されていません");
  EXPECT_FALSE(controller_.Busy());

  ScriptedServer server;
  server.Say("220 hi\r\n").StaySilent();
  server.Start();
  settings_.smtpPort = server.PortText();
  ASSERT_EQ(controller_.SendNow(SimpleMail()), SendStart::Started);
  EXPECT_EQ(controller_.SendNow(SimpleMail()), SendStart::Busy);
  // The common error routine ends the session: nothing is reported after.
  ASSERT_TRUE(loop_.RunUntil([&] { return controller_.Smtp().Connected(); }, 10s));
  controller_.Abort();
  EXPECT_FALSE(controller_.Busy());
  loop_.RunFor(200ms);
  EXPECT_TRUE(events_.empty());
}

TEST_F(SendControllerTest, AControllerGoneMidSessionHearsNothingMore) {
  ScriptedServer server;
  server.Say("220 hi\r\n").ExpectLine().CloseConnection();
  server.Start();
  settings_.smtpPort = server.PortText();
  auto controller = std::make_unique<SendController>(loop_, settings_, store_, clock_, random_);
  bool heard = false;
  controller->OnFailed = [&](const SendFailure&) { heard = true; };
  controller->OnClosed = [&] { heard = true; };
  ASSERT_EQ(controller->SendNow(SimpleMail()), SendStart::Started);
  ASSERT_TRUE(loop_.RunUntil([&] { return controller->Smtp().Connected(); }, 10s));
  controller.reset();
  loop_.RunFor(300ms);
  EXPECT_FALSE(heard);
}

TEST_F(SendControllerTest, EmptyPortSettingsMeanTheStandardPorts) {
  settings_.smtpPort = "";
  settings_.pop3Port = " ";
  settings_.smtpServer = "127.0.0.1";
  settings_.popBeforeSmtp = true;
  settings_.pop3Server = "127.0.0.1";
  ASSERT_EQ(controller_.SendNow(SimpleMail()), SendStart::Started);
  EXPECT_EQ(controller_.Smtp().Port, "25");
  EXPECT_EQ(controller_.PopBeforeSmtp().Port(), "110");
  controller_.Abort();
}

struct PopCase {
  const char* what;
  bool closeAfterUser;
  bool refusePass;
  bool sent;
};

class PopBeforeSmtpTest : public SendControllerTest, public ::testing::WithParamInterface<PopCase> {};

// A refused password does not stop the mail (the SMTP server decides); a
// login that loses its server must end the attempt instead of hanging it.
TEST_P(PopBeforeSmtpTest, LoginThenSmtp) {
  const PopCase& c = GetParam();
  std::vector<std::string> popCommands;
  ScriptedServer pop;
  pop.Do(PopLoginPeer(popCommands, c.closeAfterUser, c.refusePass)).Start();
  settings_.popBeforeSmtp = true;
  settings_.pop3Server = "127.0.0.1";
  settings_.pop3Port = pop.PortText();
  settings_.pop3User = "taro";
  settings_.pop3Password = "pw";
  SinkLog log;
  ScriptedServer smtp;
  smtp.Do(SmtpSink(log)).Start();
  settings_.smtpPort = smtp.PortText();

  ASSERT_EQ(controller_.SendNow(SimpleMail()), SendStart::Started);
  ASSERT_TRUE(RunToEnd()) << c.what;
  ASSERT_TRUE(loop_.RunUntil([&] { return pop.Finished(); }, 10s));
  EXPECT_EQ(popCommands.front(), "USER taro");
  if (c.sent) {
    EXPECT_EQ(events_, (std::vector<std::string>{"sent", "closed"})) << c.what;
    EXPECT_EQ(popCommands.back(), "QUIT");
  } else {
    EXPECT_EQ(events_, std::vector<std::string>{"failed"}) << c.what;
    EXPECT_FALSE(controller_.Busy());
    EXPECT_NE(failures_[0].reason.find(Sj("POP3サーバー 127.0.0.1")), std::string::npos) << FailureShown();
    EXPECT_TRUE(failures_[0].keptInOutbox);
  }
}

INSTANTIATE_TEST_SUITE_P(Logins, PopBeforeSmtpTest,
                         ::testing::Values(PopCase{"accepted", false, false, true},
                                           PopCase{"password refused", false, true, true},
                                           PopCase{"closed before QUIT", true, false, false}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(SendControllerTest, APopServerThatCannotBeReachedEndsTheAttempt) {
  settings_.popBeforeSmtp = true;
  settings_.pop3Server = "127.0.0.1";
  settings_.pop3Port = std::to_string(ScriptedServer::ClosedPort());
  ASSERT_EQ(controller_.SendNow(SimpleMail()), SendStart::Started);
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_NE(failures_[0].reason.find(Sj("POP3サーバー 127.0.0.1 のポート ") + settings_.pop3Port),
            std::string::npos)
      << FailureShown();
  EXPECT_TRUE(failures_[0].keptInOutbox);
  EXPECT_FALSE(controller_.Busy());
}

}  // namespace
}  // namespace mf
