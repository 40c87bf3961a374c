#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "mail/send/MessageBuilder.h"
#include "platform/Files.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using test::ScriptedServer;
using testing::SinkLog;
using testing::SmtpSink;

// The whole message as the builder makes it and the client sends it.
class MessageBuilderTest : public testing::SmtpTestBase {
 protected:
  MessageBuilderTest() {
    cli_.EnvelopeFrom = "taro@example.jp";
    cli_.EnvelopeTo = {"hanako@example.jp"};
    fields_.from = "taro@example.jp";
    fields_.to = {{"", "hanako@example.jp"}};
    fields_.date = clock_.Now();
  }

  // Sends one mail to a permissive server and returns what it received
  // between DATA and the final dot.
  std::string Send(const std::vector<std::string>& body) {
    builder_ = std::make_unique<MessageBuilder>(fields_, body, files_);
    cli_.Message = [this](std::string& line) { return builder_->NextLine(line); };
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    ConnectAndHelo(server);
    EXPECT_EQ(Run([&] { cli_.Mail(); }, SmtpRequest::Mail), 0) << cli_.ErrorMessage();
    EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
    WaitFor(server);
    return log.messages.empty() ? std::string() : log.messages.front();
  }

  std::string WriteAttachment(const std::string& name, const std::string& bytes) {
    std::string path = folder_.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  platform::TemporaryFolder folder_;
  MessageFields fields_;
  std::vector<std::string> files_;
  std::unique_ptr<MessageBuilder> builder_;
};

TEST_F(MessageBuilderTest, JapaneseSubjectWithAttachmentExactBytes) {
  fields_.fromName = Sj("山田太郎");
  fields_.to = {{"", "hanako@example.jp"}, {"nobody", ""}, {"Jiro", "jiro@example.jp"}};
  fields_.subject = Sj("こんにちは");
  fields_.xMailer = "MofutanMail";
  fields_.messageId = "<20240305.abc@example.jp>";
  fields_.characterId = "<char-1>";
  files_ = {WriteAttachment("a.bin", std::string(45, 'M')), "  "};

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
}

TEST_F(MessageBuilderTest, PlainMessageHeaderAndOptionalLines) {
  fields_.date = DateTime{2024, 1, 7, 9, 5, 3, 0, 0};
  fields_.cc = {{"", "cc1@example.jp"}, {"", "cc2@example.jp"}};
  fields_.subject = "plain";
  fields_.xMailer = "MofutanMail";
  fields_.inReplyTo = "<x@y>";
  fields_.references = "<r@y>";
  EXPECT_EQ(Send({"body", std::string(1100, 'x')}),
            "From: taro@example.jp\r\n"
            "To: hanako@example.jp\r\n"
            "Cc: cc1@example.jp, cc2@example.jp\r\n"
            "Subject: plain\r\n"
            "Sender: taro@example.jp\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n"
            "Date: Sun, 7 Jan 2024 09:05:03 +0000\r\n"
            "X-Mailer: MofutanMail\r\n"
            "In-Reply-To: <x@y>\r\n"
            "References: <r@y>\r\n"
            "X-CharacterID: \r\n"
            "\r\n"
            "body\r\n" +
                std::string(MessageBuilder::kMaxTextLine, 'x') + "\r\n.\r\n");
  EXPECT_TRUE(Displayed("> Subject: plain"));
}

TEST_F(MessageBuilderTest, TheClientSendsTheCallersLinesOnly) {
  cli_.Message = [n = 0](std::string& line) mutable {
    static const char* const lines[] = {"Subject: mine", "", "text"};
    if (n == 3) return false;
    line = lines[n++];
    return true;
  };
  SinkLog log;
  ScriptedServer server;
  server.Do(SmtpSink(log)).Start();
  ConnectAndHelo(server);
  EXPECT_EQ(Run([&] { cli_.Mail(); }, SmtpRequest::Mail), 0) << cli_.ErrorMessage();
  EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
  WaitFor(server);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0], "Subject: mine\r\n\r\ntext\r\n.\r\n");
}

TEST_F(MessageBuilderTest, AttachmentsOfOddSizes) {
  std::string empty = WriteAttachment("empty.dat", "");
  std::string small = WriteAttachment(Sj("資料.txt"), "abcd");
  files_ = {empty, small};
  std::string message = Send({});
  std::string boundary = "--= Multipart Boundary 0305241407";
  std::string firstPart = boundary + "\r\nContent-Type: application/octet-stream;\r\n\tname=\"empty.dat\"\r\n"
                          "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n"
                          "\tfilename=\"empty.dat\"\r\n\r\n\r\n";
  EXPECT_NE(message.find(firstPart), std::string::npos) << message;
  std::string secondPart = boundary + "\r\nContent-Type: application/octet-stream;\r\n\tname=\"" +
                           EncodeHeaderText(Sj("資料.txt")) + "\"\r\n"
                           "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n"
                           "\tfilename=\"" + EncodeHeaderText(Sj("資料.txt")) + "\"\r\n\r\nYWJjZA==\r\n\r\n" +
                           boundary + "--\r\n.\r\n";
  EXPECT_NE(message.find(secondPart), std::string::npos) << message;
}

// A body that cannot be produced to its end must not pass for a whole mail:
// the session is dropped before the final dot, so the server discards what
// it got, and the request reports why.
TEST_F(MessageBuilderTest, UnproducibleBodyIsAbandonedBeforeTheDot) {
  struct Case {
    const char* name;
    bool attachmentVanishes;
    const char* reason;
  };
  for (const Case& c : {Case{"vanished attachment", true, "gone.bin"}, Case{"producer throws", false, "disk gone"}}) {
    SCOPED_TRACE(c.name);
    files_.clear();
    if (c.attachmentVanishes) {
      std::string path = WriteAttachment("gone.bin", "data");
      files_ = {path};
      builder_ = std::make_unique<MessageBuilder>(fields_, std::vector<std::string>{"text"}, files_);
      ASSERT_TRUE(platform::DeleteFileInside(folder_.Path(), path));
      cli_.Message = [this](std::string& line) { return builder_->NextLine(line); };
    } else {
      cli_.Message = [lineNum = 0](std::string& line) mutable {
        if (++lineNum == 2) throw std::runtime_error("disk gone");
        line = "text";
        return true;
      };
    }
    SinkLog log;
    ScriptedServer server;
    server.Do(SmtpSink(log)).Start();
    ConnectAndHelo(server);
    EXPECT_EQ(Run([&] { cli_.Mail(); }, SmtpRequest::Mail), 500);
    EXPECT_NE(cli_.ErrorMessage().find(c.reason), std::string::npos) << cli_.ErrorMessage();
    EXPECT_FALSE(cli_.Connected());
    EXPECT_EQ(Run([&] { cli_.Quit(); }, SmtpRequest::Quit), 0);
    // The sink's "250" after the message finds the connection gone, as it should.
    ASSERT_TRUE(loop_.RunUntil([&] { return server.Finished(); }, std::chrono::seconds(15)));
    EXPECT_NE(server.Received().find("DATA\r\n"), std::string::npos);
    EXPECT_EQ(server.Received().find("\r\n.\r\n"), std::string::npos) << server.Received();
  }
}

TEST_F(MessageBuilderTest, AMissingFileIsRefusedAtOnce) {
  try {
    MessageBuilder builder(fields_, {}, {"/no/such/file.bin"});
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "File not found '/no/such/file.bin'");
  }
}

}  // namespace
}  // namespace mf
