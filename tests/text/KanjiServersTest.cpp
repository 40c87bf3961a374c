// Kanji with Shift_JIS lead bytes 0xF0-0xFC (髙, 﨑, ⅰ) in the subject, the
// sender's name and the body of a mail sent through a real Postfix and
// fetched from a real Dovecot: another mail reader (Python's email package)
// must read them back.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
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

constexpr auto kDeliveryWait = 10s;

// Reads a mail file with Python's email package and prints the From name,
// the subject and the text body as UTF-8, one per line. Python's
// iso-2022-jp codec knows JIS X 0208 only, so the JIS pairs go to Shift_JIS
// by the usual arithmetic and code page 932 reads them, NEC rows included.
constexpr const char* kReaderScript = R"PY(
import email, sys
from email.header import decode_header
from email.utils import parseaddr

def jis_text(data):
    out = bytearray()
    kanji = False
    i = 0
    while i < len(data):
        if data[i] == 0x1B:
            kanji = data[i + 1:i + 2] == b'$'
            i += 3
        elif kanji and 0x21 <= data[i] <= 0x7E and i + 1 < len(data):
            j1, j2 = data[i], data[i + 1]
            lead = (j1 + 1) // 2 + (0x70 if j1 <= 0x5E else 0xB0)
            trail = j2 + 0x7E if j1 % 2 == 0 else (j2 + 0x1F if j2 < 0x60 else j2 + 0x20)
            out += bytes([lead, trail])
            i += 2
        else:
            out.append(data[i])
            i += 1
    return out.decode('cp932')

def header_text(value):
    words = []
    for chunk, charset in decode_header(value):
        if isinstance(chunk, str):
            words.append(chunk)
        elif charset and charset.lower() == 'iso-2022-jp':
            words.append(jis_text(chunk))
        else:
            words.append(chunk.decode('ascii'))
    return ''.join(words)

with open(sys.argv[1], 'rb') as f:
    message = email.message_from_binary_file(f)
part = next(p for p in message.walk() if p.get_content_type() == 'text/plain')
if (part.get_content_charset() or '').lower() != 'iso-2022-jp':
    sys.exit('text part is ' + str(part.get_content_charset()))
name = header_text(parseaddr(message['From'])[0] or message['From'])
body = jis_text(part.get_payload(decode=True)).replace('\r\n', '\n').rstrip('\n')
sys.stdout.buffer.write('\n'.join([header_text(name), header_text(message['Subject']), body]).encode('utf-8'))
)PY";

class KanjiServersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string path = folder.Path();
    if (!path.empty() && path.back() == '/') path.pop_back();
    servers = std::make_unique<MailServers>(MailServers::Start(path + "/servers"));
    if (servers->Failed()) FAIL() << servers->WhyNot();
    if (!servers->Running()) GTEST_SKIP() << servers->WhyNot();
    if (std::system("python3 -c 'import email' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
  }

  platform::TemporaryFolder folder;
  std::unique_ptr<MailServers> servers;
  platform::PollEventLoop loop;
};

TEST_F(KanjiServersTest, VendorKanjiReachAnotherMailReader) {
  const std::string name = "髙橋 太郎";
  const std::string subject = "髙橋さんへ：﨑山の件 ⅰⅱ";
  const std::vector<std::string> body = {"髙い山の﨑", "①㈱と髙橋", "plain line"};

  SmtpClient smtp(loop);
  smtp.Host = "127.0.0.1";
  smtp.Port = std::to_string(servers->SmtpPort());
  smtp.SignOn = "client.mfmail.test";
  // The program's own text goes out as the composition window sends it.
  std::vector<std::string> wireBody;
  for (const std::string& line : body) wireBody.push_back(ProgramTextToJis(Utf8ToSjis(line)));
  std::unique_ptr<MessageBuilder> message;
  smtp.Message = [&](std::string& line) { return message->NextLine(line); };
  const std::string sendFailure = test::RunChain<SmtpRequest>(loop, 
      smtp, {[&] { smtp.Connect(); }, [&] { smtp.Helo(); },
             [&] {
               smtp.EnvelopeFrom = MailServers::Address("bob");
               smtp.EnvelopeTo = {MailServers::Address("alice")};
               MessageFields fields;
               fields.from = MailServers::Address("bob");
               fields.fromName = Utf8ToSjis(name);
               fields.to = {{"", MailServers::Address("alice")}};
               fields.subject = Utf8ToSjis(subject);
               fields.date = SystemClock().Now();
               message = std::make_unique<MessageBuilder>(fields, wireBody, std::vector<std::string>{});
               smtp.Mail();
             },
             [&] { smtp.Quit(); }});
  ASSERT_EQ(sendFailure, "");
  ASSERT_TRUE(loop.RunUntil(
      [&] {
        return !platform::ListFolder(servers->Maildir("alice") + "/new", "*", platform::ListKind::FilesOnly).empty();
      },
      kDeliveryWait));

  Pop3Client pop3(loop);
  pop3.SetHost("127.0.0.1");
  pop3.SetPort(std::to_string(servers->Pop3Port()));
  pop3.SetUserName("alice");
  pop3.SetPassWord(MailServers::kPassword);
  std::string fetched;
  pop3.OnMessageLine = [&](Pop3Client& sender) { fetched += sender.LastResponse() + "\r\n"; };
  const std::string receiveFailure = test::RunChain<Pop3Request>(loop, 
      pop3, {[&] { pop3.Connect(); }, [&] { pop3.User(); }, [&] { pop3.Pass(); },
             [&] {
               pop3.SetMsgNum(1);
               pop3.Retr();
             },
             [&] { pop3.Quit(); }});
  ASSERT_EQ(receiveFailure, "");
  // Nothing 8-bit travelled: the whole mail is 7-bit ISO-2022-JP.
  for (char c : fetched) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << fetched;

  const std::string mailFile = folder.Path() + "fetched.eml";
  const std::string script = folder.Path() + "read.py";
  const std::string output = folder.Path() + "read.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(mailFile, fetched));
  ASSERT_TRUE(platform::WriteFileAtomic(script, kReaderScript));
  const std::string command = "python3 '" + script + "' '" + mailFile + "' > '" + output + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << fetched;
  EXPECT_EQ(platform::ReadFile(output).value_or(""), name + "\n" + subject + "\n" + body[0] + "\n" + body[1] + "\n" + body[2])
      << fetched;
}

}  // namespace
}  // namespace mf
