// A mail sent through a real Postfix, fetched from a real Dovecot and
// decoded must come back as it was written: subject, Japanese body and a
// binary attachment.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mime/MimeDecoder.h"
#include "net/Pop3Client.h"
#include "mail/send/MessageBuilder.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/servers/MailServers.h"
#include "tests/servers/RequestChain.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

class RoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    servers = &test::SharedMailServers();
    if (servers->Failed()) FAIL() << servers->WhyNot();
    if (!servers->Running()) GTEST_SKIP() << servers->WhyNot();
  }

  // Waits until Postfix has put `count` messages into the maildir.
  bool WaitForDelivery(const std::string& user, std::size_t count) {
    return loop.RunUntil(
        [&] {
          return platform::ListFolder(servers->Maildir(user) + "/new", "*", platform::ListKind::FilesOnly).size() >=
                 count;
        },
        10s);
  }

  platform::TemporaryFolder folder;
  MailServers* servers = nullptr;
  platform::PollEventLoop loop;
};

TEST_F(RoundTripTest, JapaneseMailWithAttachmentComesBackIntact) {
  const std::string subject = Sj("日本語の件名：往復テスト");
  const std::vector<std::string> body = {
      Sj("こんにちは、往復のテストです。"), Sj(".ドットで始まる行"), ".", "", Sj("..二つのドット"),
      Sj("最後の行 ABC カタカナ ①"),
  };
  std::string attachment;
  for (int round = 0; round < 40; ++round) {
    for (int byte = 0; byte < 256; ++byte) attachment.push_back(static_cast<char>((byte * 7 + round) & 0xff));
  }
  const std::string attachmentPath = folder.Path() + "data.bin";
  ASSERT_TRUE(platform::WriteFileAtomic(attachmentPath, attachment));

  SmtpClient smtp(loop);
  smtp.Host = "127.0.0.1";
  smtp.Port = std::to_string(servers->SmtpPort());
  smtp.SignOn = "client.mfmail.test";
  std::vector<std::string> wireBody;
  for (const std::string& line : body) wireBody.push_back(ConvertJapaneseCode(line, jcJis));
  std::unique_ptr<MessageBuilder> message;
  smtp.Message = [&](std::string& line) { return message->NextLine(line); };
  const std::string sendFailure = test::RunChain<SmtpRequest>(loop, 
      smtp, {[&] { smtp.Connect(); }, [&] { smtp.Helo(); },
             [&] {
               smtp.EnvelopeFrom = MailServers::Address("bob");
               smtp.EnvelopeTo = {MailServers::Address("alice")};
               MessageFields fields;
               fields.from = MailServers::Address("bob");
               fields.to = {{"", MailServers::Address("alice")}};
               fields.subject = subject;
               fields.xMailer = "MofutanMail";
               fields.date = SystemClock().Now();
               message = std::make_unique<MessageBuilder>(fields, wireBody, std::vector<std::string>{attachmentPath});
               smtp.Mail();
             },
             [&] { smtp.Quit(); }});
  ASSERT_EQ(sendFailure, "");
  ASSERT_TRUE(WaitForDelivery("alice", 1));

  Pop3Client pop3(loop);
  pop3.SetHost("127.0.0.1");
  pop3.SetPort(std::to_string(servers->Pop3Port()));
  pop3.SetUserName("alice");
  pop3.SetPassWord(MailServers::kPassword);
  std::string fetched;
  pop3.OnMessageLine = [&](Pop3Client& sender) { fetched += sender.LastResponse() + "\r\n"; };
  const std::string receiveFailure = test::RunChain<Pop3Request>(loop, 
      pop3, {[&] { pop3.Connect(); }, [&] { pop3.User(); }, [&] { pop3.Pass(); }, [&] { pop3.Stat(); },
             [&] {
               ASSERT_EQ(pop3.MsgCount(), 1);
               pop3.SetMsgNum(1);
               pop3.Retr();
             },
             [&] { pop3.Dele(); }, [&] { pop3.Quit(); }});
  ASSERT_EQ(receiveFailure, "");
  const std::string mailFile = folder.Path() + "MailNo1.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(mailFile, fetched));

  MimeDecoder decoder;
  std::map<int, std::string> parts;
  std::map<int, std::string> partNames;
  decoder.OnPartBegin = [&](MimeDecoder& sender) { partNames[sender.PartNumber()] = sender.PartFileName(); };
  decoder.OnPartLine = [&](MimeDecoder& sender, const char* data, std::size_t length) {
    parts[sender.PartNumber()].append(data, length);
  };
  decoder.DecodeFile(mailFile);

  std::string decodedSubject = decoder.Subject();
  DecodeHeaderWords(decodedSubject);
  EXPECT_EQ(SjisToUtf8(decodedSubject), SjisToUtf8(subject));

  // Part 0 is the preamble before the first boundary.
  ASSERT_TRUE(parts.count(1) && parts.count(2)) << fetched;
  EXPECT_EQ(parts.size(), 3u);
  std::vector<std::string> text = SplitLines(ConvertJapaneseCode(parts[1], jcSjis));
  while (!text.empty() && text.back().empty()) text.pop_back();
  ASSERT_EQ(text.size(), body.size()) << parts[1];
  for (std::size_t i = 0; i < body.size(); ++i) EXPECT_EQ(SjisToUtf8(text[i]), SjisToUtf8(body[i])) << "line " << i;

  EXPECT_EQ(partNames[2], "data.bin");
  EXPECT_EQ(parts[2].size(), attachment.size());
  EXPECT_TRUE(parts[2] == attachment) << "attachment bytes differ";
}

// Drops a message straight into a maildir, as the delivery agent would.
void DropIntoMaildir(const std::string& maildir, const std::string& name, const std::string& message) {
  const std::string path = maildir + "/new/" + name;
  ASSERT_TRUE(platform::WriteFileAtomic(path, message));
  ::chmod(path.c_str(), 0644);
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
}

TEST_F(RoundTripTest, Pop3AgainstDovecot) {
  const std::string longLine(5000, 'L');
  DropIntoMaildir(servers->Maildir("bob"), "1000000001.M1P1.mfmail",
                  "Subject: one\n\n.starts with a dot\n..two dots\n" + longLine + "\n.\nend\n");
  DropIntoMaildir(servers->Maildir("bob"), "1000000002.M2P2.mfmail", "Subject: two\n\nsecond\n");

  Pop3Client pop3(loop);
  pop3.SetHost("127.0.0.1");
  pop3.SetPort(std::to_string(servers->Pop3Port()));
  pop3.SetUserName("bob");
  pop3.SetPassWord(MailServers::kPassword);
  std::vector<std::string> lines;
  std::vector<std::string> listed;
  pop3.OnMessageLine = [&](Pop3Client& sender) { lines.push_back(sender.LastResponse()); };
  pop3.OnListLine = [&](Pop3Client& sender) { listed.push_back(std::to_string(sender.MsgNum())); };
  pop3.OnUidlLine = [&](Pop3Client& sender) { listed.push_back(sender.MsgUidl()); };
  const std::string failure = test::RunChain<Pop3Request>(loop, 
      pop3, {[&] { pop3.Connect(); },
             [&] {
               // Dovecot announces APOP when it keeps plain passwords.
               ASSERT_FALSE(pop3.Timestamp().empty());
               pop3.APop();
             },
             [&] { pop3.Stat(); },
             [&] {
               EXPECT_EQ(pop3.MsgCount(), 2);
               pop3.SetMsgNum(0);
               pop3.List();
             },
             [&] {
               pop3.SetMsgNum(0);
               pop3.Uidl();
             },
             [&] {
               pop3.SetMsgNum(1);
               pop3.Retr();
             },
             [&] { pop3.Dele(); }, [&] { pop3.Quit(); }});
  ASSERT_EQ(failure, "");
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed[0], "1");
  EXPECT_EQ(listed[1], "2");
  EXPECT_FALSE(listed[2].empty());
  const std::vector<std::string> expected = {"Subject: one", "", ".starts with a dot", "..two dots",
                                             std::string(4093, 'L'), std::string(907, 'L'), ".", "end"};
  EXPECT_EQ(lines, expected);

  // The deletion took effect with QUIT.
  const std::string again = test::RunChain<Pop3Request>(loop, 
      pop3, {[&] { pop3.Open(); }, [&] { pop3.Stat(); }, [&] { pop3.Quit(); }});
  ASSERT_EQ(again, "");
  EXPECT_EQ(pop3.MsgCount(), 1);
}

}  // namespace
}  // namespace mf
