#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using test::ScriptedServer;
using testing::SinkLog;
using testing::SmtpSink;

class SmtpMessageTest : public testing::SmtpTestBase {
 protected:
  SmtpMessageTest() {
    cli_.FromName = "taro@example.jp";
    cli_.RcptName = {"hanako@example.jp"};
    cli_.HdrFrom = "taro@example.jp";
    cli_.HdrToAddress = {"hanako@example.jp"};
  }

  // Sends one mail to a permissive server and returns what it received
  // between DATA and the final dot.
  std::string Send(std::vector<std::string> body) {
    cli_.OnGetData = [body](SmtpClientBase&, int lineNum, std::string& line, int, bool& more) {
      if (lineNum > static_cast<int>(body.size())) {
        more = false;
        return;
      }
      line = body[static_cast<std::size_t>(lineNum - 1)];
    };
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    ConnectAndHelo(server);
    EXPECT_EQ(Run([&] { cli_.Mail(); }, smtpMail), 0) << cli_.ErrorMessage();
    EXPECT_EQ(Run([&] { cli_.Quit(); }, smtpQuit), 0);
    WaitFor(server);
    return log.messages.empty() ? std::string() : log.messages.front();
  }

  std::string WriteAttachment(const std::string& name, const std::string& bytes) {
    std::string path = folder_.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  platform::TemporaryFolder folder_;
};

TEST_F(SmtpMessageTest, JapaneseSubjectWithAttachmentExactBytes) {
  cli_.HdrFromName = Sj("山田太郎");
  cli_.HdrToAddress = {"hanako@example.jp", "", "jiro@example.jp"};
  cli_.HdrRcptName = {"", "nobody", "Jiro"};
  cli_.HdrSubject = Sj("こんにちは");
  cli_.HdrXMailer = "MofutanMail";
  cli_.HdrMessageId = "<20240305.abc@example.jp>";
  cli_.HdrXAnimationID = "<char-1>";
  cli_.SetEmailFiles({WriteAttachment("a.bin", std::string(45, 'M'))});

  std::string from = FormatMailAddress(Sj("山田太郎"), "taro@example.jp");
  std::string subject = EncodeHeaderText("Subject: " + Sj("こんにちは"));
  ASSERT_NE(subject.find("=?ISO-2022-JP?B?"), std::string::npos);
  const std::string boundary = "= Multipart Boundary 0305241407";
  std::string base64Line;  // 45 bytes of "M": one line of 15 groups
  for (int i = 0; i < 15; ++i) base64Line += "TU1N";
  std::string expected = "From: " + from + "\r\n" +
                         "To: hanako@example.jp, " + FormatMailAddress("Jiro", "jiro@example.jp") + "\r\n" +
                         subject + "\r\n" +
                         "Sender: taro@example.jp\r\n"
                         "Mime-Version: 1.0\r\n"
                         "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"\r\n"
                         "Date: Tue, 5 Mar 2024 14:07:09 +0900\r\n"
                         "X-Mailer: MofutanMail\r\n"
                         "Message-Id: <20240305.abc@example.jp>\r\n"
                         "X-CharacterID: <char-1>\r\n"
                         "\r\n"
                         "This is a multipart MIME message.\r\n"
                         "\r\n"
                         "--" + boundary + "\r\n"
                         "Content-Type: text/plain; charset=\"iso-2022-JP\"\r\n"
                         "Content-Transfer-Encoding: 7bit\r\n"
                         "\r\n"
                         "Hello\r\n"
                         "..hidden\r\n"
                         "..\r\n"
                         "\r\n"
                         "--" + boundary + "\r\n"
                         "Content-Type: application/octet-stream;\r\n"
                         "\tname=\"a.bin\"\r\n"
                         "Content-Transfer-Encoding: base64\r\n"
                         "Content-Disposition: attachment;\r\n"
                         "\tfilename=\"a.bin\"\r\n"
                         "\r\n" +
                         base64Line + "\r\n"
                         "\r\n"
                         "--" + boundary + "--\r\n"
                         ".\r\n";

  EXPECT_EQ(Send({"Hello", ".hidden", "."}), expected);
  // The first part announced the charset the window set; the header
  // encoder then settled on its own spelling.
  EXPECT_EQ(cli_.CharSet, "ISO-2022-JP");
}

TEST_F(SmtpMessageTest, PlainMessageHeaderAndOptionalLines) {
  clock_.Set(DateTime{2024, 1, 7, 9, 5, 3, 0, 0});
  cli_.HdrReplyTo = "reply@example.jp";
  cli_.HdrReturnPath = "  ";
  cli_.HdrCcAddress = {"cc1@example.jp", "cc2@example.jp"};
  cli_.HdrSender = "sender@example.jp";
  cli_.HdrSubject = "plain";
  cli_.HdrXMailer = "MofutanMail";
  cli_.HdrInReplyTo = "<x@y>";
  cli_.HdrReferences = "<r@y>";
  cli_.MailMessage = {"from the list"};
  std::vector<std::string> headerSeen;
  cli_.OnHeaderLine = [&](SmtpClientBase&, std::string& line, int size) {
    EXPECT_GE(size, 1024);
    headerSeen.push_back(line);
    if (line.rfind("X-Mailer", 0) == 0) line = "X-Mailer: rewritten";
  };
  cli_.OnProcessHeader = [](SmtpClientBase&, std::vector<std::string>& lines) { lines.push_back("X-Extra: 1"); };
  EXPECT_EQ(Send({"body"}),
            "Reply-To: reply@example.jp\r\n"
            "From: taro@example.jp\r\n"
            "To: hanako@example.jp\r\n"
            "Cc: cc1@example.jp, cc2@example.jp\r\n"
            "Subject: plain\r\n"
            "Sender: sender@example.jp\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n"
            "Date: Sun, 7 Jan 2024 09:05:03 +0000\r\n"
            "X-Mailer: rewritten\r\n"
            "In-Reply-To: <x@y>\r\n"
            "References: <r@y>\r\n"
            "X-CharacterID: \r\n"
            "X-Extra: 1\r\n"
            "\r\n"
            "from the list\r\n"
            "body\r\n"
            ".\r\n");
  EXPECT_EQ(headerSeen.size(), 15u);
  EXPECT_TRUE(Displayed("> Subject: plain"));
}

TEST_F(SmtpMessageTest, OwnHeadersSendsOnlyTheCallersLines) {
  cli_.OwnHeaders = true;
  EXPECT_EQ(Send({"Subject: mine", "", "text"}), "Subject: mine\r\n\r\ntext\r\n.\r\n");
}

TEST_F(SmtpMessageTest, AttachmentsOfOddSizesAndChangedNames) {
  std::string empty = WriteAttachment("empty.dat", "");
  std::string small = WriteAttachment(Sj("資料.txt"), "abcd");
  cli_.SetEmailFiles({empty, small});
  std::vector<std::string> headerNames;
  cli_.OnAttachContentType = [](SmtpClientBase&, int number, std::string& name, std::string& type) {
    if (number == 1) {
      name = "renamed.txt";
      type = "text/plain";
    }
  };
  cli_.OnAttachHeader = [&](SmtpClientBase&, int, const std::string& name, std::vector<std::string>&) {
    headerNames.push_back(name);
  };
  std::string message = Send({});
  std::string boundary = "--= Multipart Boundary 0305241407";
  std::string firstPart = boundary + "\r\nContent-Type: application/octet-stream;\r\n\tname=\"empty.dat\"\r\n"
                          "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n"
                          "\tfilename=\"empty.dat\"\r\n\r\n\r\n";
  EXPECT_NE(message.find(firstPart), std::string::npos) << message;
  std::string secondPart = boundary + "\r\nContent-Type: text/plain;\r\n\tname=\"renamed.txt\"\r\n"
                           "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n"
                           "\tfilename=\"" + EncodeHeaderText(Sj("資料.txt")) + "\"\r\n\r\nYWJjZA==\r\n\r\n" +
                           boundary + "--\r\n.\r\n";
  EXPECT_NE(message.find(secondPart), std::string::npos) << message;
  EXPECT_EQ(headerNames, (std::vector<std::string>{"empty.dat", "renamed.txt"}));
}

// A body that cannot be produced to its end must not pass for a whole mail:
// the session is dropped before the final dot, so the server discards what
// it got, and the request reports why.
TEST_F(SmtpMessageTest, UnproducibleBodyIsAbandonedBeforeTheDot) {
  struct Case {
    const char* name;
    bool attachmentVanishes;
    const char* reason;
  };
  for (const Case& c : {Case{"vanished attachment", true, "gone.bin"}, Case{"producer throws", false, "disk gone"}}) {
    SCOPED_TRACE(c.name);
    cli_.SetEmailFiles({});
    if (c.attachmentVanishes) {
      std::string path = WriteAttachment("gone.bin", "data");
      cli_.SetEmailFiles({path});
      ASSERT_TRUE(platform::DeleteFileInside(folder_.Path(), path));
    }
    bool throws = !c.attachmentVanishes;
    cli_.OnGetData = [throws](SmtpClientBase&, int lineNum, std::string& line, int, bool& more) {
      if (lineNum == 2 && throws) throw std::runtime_error("disk gone");
      more = lineNum == 1;
      line = "text";
    };
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    ConnectAndHelo(server);
    EXPECT_EQ(Run([&] { cli_.Mail(); }, smtpMail), 500);
    EXPECT_NE(cli_.ErrorMessage().find(c.reason), std::string::npos) << cli_.ErrorMessage();
    EXPECT_FALSE(cli_.Connected());
    EXPECT_EQ(Run([&] { cli_.Quit(); }, smtpQuit), 0);
    // The sink's "250" after the message finds the connection gone, as it should.
    ASSERT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, std::chrono::seconds(15)));
    EXPECT_NE(server.Received().find("DATA\r\n"), std::string::npos);
    EXPECT_EQ(server.Received().find("\r\n.\r\n"), std::string::npos) << server.Received();
  }
}

}  // namespace
}  // namespace mf
