// An answer to each form a sender arrives in, from the received header line
// through the inbox and the reply's recipient field to the To line the SMTP
// client writes: the name unquoted for the user, quoted on the wire only
// where RFC 5322 needs it, and never quoted twice.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/answer/ReplyText.h"
#include "mail/receive/ReceivedHeader.h"
#include "mail/store/MailStatus.h"
#include "mail/store/StoredMail.h"
#include "tests/mail/send/SendFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;
using testing::SinkLog;
using testing::SmtpSink;

struct SenderCase {
  const char* what;
  std::string fromLine;  // as received
  std::string toLine;    // as the answer goes out
  std::string opening;   // the answer's first line, before "へのお返事"
};

class ReplyWireTest : public testing::SendTestBase {
 protected:
  // Stores a received mail with this From line and answers it.
  ComposeFill AnswerMailFrom(const std::string& fromLine) {
    ReceivedMail received;
    TakeReceivedHeaderLine(fromLine, received);
    TakeReceivedHeaderLine("Subject: hello", received);
    TakeReceivedHeaderLine("Message-ID: <m@x.test>", received);
    received.text = "question";
    const std::size_t index = store_.RecordCount(FolderKind::Inbox);
    const HeaderRecord header{StatusWord(MailStatus::Unread), received.subject, received.from, "d", "me", ""};
    EXPECT_EQ(store_.AppendMail(FolderKind::Inbox, header, InboxBodyRecord(received)), StoreResult::Done);
    return MakeReply(ParseStoredMail(store_.ReadBodyRecord(FolderKind::Inbox, index)));
  }

  // Sends the answer and returns its header and the envelope's recipients.
  std::string Send(const ComposeFill& fill, std::vector<std::string>& recipients) {
    Composition mail;
    mail.to = fill.to;
    mail.subject = fill.subject;
    mail.body = fill.body;
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    settings_.smtpPort = server.PortText();
    events_.clear();
    EXPECT_EQ(controller_.SendNow(mail), SendStart::Started);
    EXPECT_TRUE(RunToEnd());
    EXPECT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, 10s));
    for (const std::string& command : log.commands) {
      if (StartsWith(command, "RCPT TO:")) recipients.push_back(command);
    }
    if (log.messages.empty()) return {};
    return log.messages.front().substr(0, log.messages.front().find("\r\n\r\n") + 2);
  }
};

TEST_F(ReplyWireTest, EachSenderFormIsAnsweredWithAValidToLine) {
  const std::vector<SenderCase> cases = {
      {"quoted name", "From: \"Alice\" <alice@example.test>", "To: Alice <alice@example.test>",
       "Alice <alice@example.test>"},
      {"bare name", "From: Alice <alice@example.test>", "To: Alice <alice@example.test>",
       "Alice <alice@example.test>"},
      {"comma in the name", "From: \"Doe, John\" <j@example.test>", "To: \"Doe, John\" <j@example.test>",
       "Doe, John <j@example.test>"},
      {"escaped quotes", "From: \"A \\\"B\\\"\" <a@example.test>", "To: \"A \\\"B\\\"\" <a@example.test>",
       "A \"B\" <a@example.test>"},
      {"ISO-2022-JP encoded name", "From: =?ISO-2022-JP?B?GyRCJSIlaiU5GyhC?= <a@example.test>",
       "To: =?ISO-2022-JP?B?GyRCJSIlaiU5GyhK?= <a@example.test>", Sj("アリス") + " <a@example.test>"},
      {"encoded name with a comma", "From: =?ISO-2022-JP?B?RG9lLCBKb2hu?= <j@example.test>",
       "To: \"Doe, John\" <j@example.test>", "Doe, John <j@example.test>"},
      {"raw Shift_JIS name ending in a backslash byte", "From: \"" + Sj("表") + "\" <h@example.test>",
       "To: =?ISO-2022-JP?B?GyRCST0bKEo=?= <h@example.test>", Sj("表") + " <h@example.test>"},
      {"name in a comment", "From: a@example.test (Alice)", "To: Alice <a@example.test>", "Alice <a@example.test>"},
      {"brackets alone", "From: <a@example.test>", "To: a@example.test", "<a@example.test>"},
      {"bare address", "From: a@example.test", "To: a@example.test", "a@example.test"},
  };
  for (const SenderCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ComposeFill fill = AnswerMailFrom(c.fromLine);
    EXPECT_TRUE(StartsWith(fill.body, c.opening + Sj("へのお返事") + "\r\n")) << fill.body;
    std::vector<std::string> recipients;
    const std::string header = Send(fill, recipients);
    ASSERT_EQ(FailureShown(), "");
    std::string toLine;
    for (const std::string& line : SplitLines(header)) {
      if (StartsWith(line, "To: ")) toLine = line;
    }
    EXPECT_EQ(toLine, c.toLine) << header;
    const std::size_t open = c.toLine.rfind('<');
    const std::string address =
        open == std::string::npos ? c.toLine.substr(4) : c.toLine.substr(open + 1, c.toLine.size() - open - 2);
    EXPECT_EQ(recipients, std::vector<std::string>{"RCPT TO:<" + address + ">"});
  }
}

}  // namespace
}  // namespace mf
