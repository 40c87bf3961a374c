// The bytes of whole mails as the server receives them between DATA and the
// final dot, against copies kept under wire/: the header, the footer, the
// multipart body and the Base64 of the attachments and the character's
// package, for a mail sent at once and for mails sent one after the other
// over one session. The date and the boundary made from it are masked.
// MFMAIL_WRITE_WIRE=1 writes the copies instead of comparing.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/send/OutboxSender.h"
#include "platform/Files.h"
#include "tests/mail/send/SendFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;
using testing::SinkLog;
using testing::SmtpSink;

class SentWireTest : public testing::SendTestBase {
 protected:
  SentWireTest() {
    outbox_.OnSent = [this](const OutboxSent&) { events_.push_back("sent"); };
    outbox_.OnFailed = [this](const std::string& text) {
      failures_.push_back(SendFailure{text});
      events_.push_back("failed");
    };
    outbox_.OnClosed = [this] { events_.push_back("closed"); };
  }

  // Japanese subject, a copy, a line that must be split, dots to stuff.
  static Composition PlainMail() {
    Composition mail = SimpleMail();
    mail.cc = Sj("三郎 <saburo@example.jp>, jiro@example.jp");
    mail.body += ".dot first\r\n.\r\n" + std::string(1200, 'x') + "\r\n" + Sj("長い") + std::string(600, 'y') +
                 Sj("行") + std::string(500, 'z') + "\r\n";
    return mail;
  }

  // Two attachments, one with a Japanese name, and a character's package.
  Composition MailWithFiles() {
    Composition mail = SimpleMail();
    mail.subject = Sj("添付とキャラクター");
    std::string binary;
    for (int i = 0; i < 200; ++i) binary += static_cast<char>(i * 7);
    mail.attachments = {WriteFile("data.bin", binary), WriteFile(Sj("資料.txt"), Sj("日本語の中身\r\n"))};
    mail.packagePath = WriteFile("carrier.pkg", std::string(46, 'P'));
    mail.characterId = "<char-20240305@example.jp>";
    return mail;
  }

  // An answer: In-Reply-To and References.
  static Composition Reply() {
    Composition mail = SimpleMail();
    mail.to = Sj("花子 <hanako@example.jp>");
    mail.subject = "Re: " + Sj("こんにちは");
    mail.inReplyTo = "<orig@example.jp>";
    mail.references = "<first@example.jp> <orig@example.jp>";
    return mail;
  }

  static std::string Masked(std::string message) {
    message = std::regex_replace(message, std::regex("Date: [^\r]*\r\n"), "Date: (masked)\r\n");
    return std::regex_replace(message, std::regex("Multipart Boundary [0-9]{10}"), "Multipart Boundary (masked)");
  }

  static void Compare(const std::string& name, const std::string& message) {
    const char* source = std::getenv("MFMAIL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::string path = std::string(source) + "/tests/mail/send/wire/" + name;
    const std::string masked = Masked(message);
    if (std::getenv("MFMAIL_WRITE_WIRE") != nullptr) {
      ASSERT_TRUE(platform::WriteFileAtomic(path, masked));
      return;
    }
    EXPECT_EQ(masked, platform::ReadFile(path).value_or("(missing " + path + ")")) << name;
  }

  SinkLog Serve(const std::function<void()>& start) {
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    settings_.smtpPort = server.PortText();
    start();
    EXPECT_TRUE(RunToEnd());
    EXPECT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, 10s));
    return log;
  }

  OutboxSender outbox_{loop_, settings_, store_, clock_, random_};
};

TEST_F(SentWireTest, MailsGoOutByteForByteAsBefore) {
  const SinkLog now = Serve([&] { EXPECT_EQ(controller_.SendNow(MailWithFiles()), SendStart::Started); });
  ASSERT_EQ(now.messages.size(), 1u) << FailureShown();
  Compare("send-now-files.eml", now.messages[0]);

  for (const Composition& mail : {PlainMail(), MailWithFiles(), Reply()}) {
    std::string error;
    ASSERT_TRUE(controller_.SendLater(mail, error)) << error;
  }
  events_.clear();
  const SinkLog run = Serve([&] { EXPECT_TRUE(outbox_.Start()); });
  ASSERT_EQ(run.messages.size(), 3u) << FailureShown();
  Compare("outbox-1-plain.eml", run.messages[0]);
  Compare("outbox-2-files.eml", run.messages[1]);
  Compare("outbox-3-reply.eml", run.messages[2]);
}

}  // namespace
}  // namespace mf
