// Receiving from a real Dovecot, mail delivered by a real Postfix: mail
// written by another mail library arrives readable, and a mail written the
// way this program writes it loses its footer and brings its character.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "character/CharacterPackage.h"
#include "mail/receive/ReceiveController.h"
#include "mail/send/MailFooter.h"
#include "net/NetErrors.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/servers/MailServers.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

class ReceiveServersTest : public testing::ReceiveFixture {
 protected:
  ReceiveServersTest() : settings(platform::IniFile(Path("MFMail.ini")), {}, {}) {}

  void SetUp() override {
    servers = &test::SharedMailServers();
    if (servers->Failed()) FAIL() << servers->WhyNot();
    if (!servers->Running()) GTEST_SKIP() << servers->WhyNot();
    settings.pop3Server = "127.0.0.1";
    settings.pop3Port = std::to_string(servers->Pop3Port());
    settings.pop3User = "alice";
    settings.pop3Password = MailServers::kPassword;
    receiver = std::make_unique<ReceiveController>(loop, settings, store, hut, random, clock);
    receiver->OnMailStored = [this](const ArrivedMail& mail) { arrived.push_back(mail); };
    receiver->OnFinished = [this](const ReceiveSummary& summary) {
      last = summary;
      finished = true;
    };
  }

  bool WaitForDelivery(std::size_t count) {
    return loop.RunUntil(
        [&] {
          return platform::ListFolder(servers->Maildir("alice") + "/new", "*", platform::ListKind::FilesOnly).size() >=
                 count;
        },
        10s);
  }

  ReceiveEnd Receive() {
    finished = false;
    EXPECT_EQ(receiver->Receive(ReceiveTrigger::Manual), ReceiveStart::Started);
    EXPECT_TRUE(loop.RunUntil([this] { return finished; }, 30s));
    return last.end;
  }

  // Runs a shell command; false when it failed.
  static bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

  platform::TemporaryFolder servicesFolder;
  MailServers* servers = nullptr;
  platform::PollEventLoop loop;
  LiveSettings settings;
  std::unique_ptr<ReceiveController> receiver;
  std::vector<ArrivedMail> arrived;
  ReceiveSummary last;
  bool finished = false;
};

// Python's email package writes these the way common mail programs do.
constexpr const char* kOtherLibraryScript = R"PY(
import smtplib, sys
from email.message import EmailMessage
port = int(sys.argv[1])
to = 'alice@mfmail.test'
def send(m):
    s = smtplib.SMTP('127.0.0.1', port); s.send_message(m); s.quit()
m = EmailMessage()
m['From'] = '差出人 <bob@mfmail.test>'; m['To'] = to; m['Subject'] = 'UTF-8 の件名'
m.set_content('こんにちは、世界\n二行目 ①\n', charset='utf-8', cte='quoted-printable')
send(m)
m = EmailMessage()
m['From'] = 'bob@mfmail.test'; m['To'] = to; m['Subject'] = 'nested'
m.set_content('プレーンテキスト\n')
m.add_alternative('<p>HTML版</p>', subtype='html')
m.add_attachment('添付の中身'.encode('utf-8'), maintype='application', subtype='octet-stream',
                 filename='日本語の名前.txt')
send(m)
m = EmailMessage()
m['From'] = 'bob@mfmail.test'; m['To'] = to; m['Subject'] = 'html only'
m.set_content('<html><body><p>太字 &amp; <b>強調</b></p></body></html>', subtype='html')
send(m)
)PY";

TEST_F(ReceiveServersTest, MailFromAnotherMailLibraryArrivesReadable) {
  const std::string script = Path("send.py");
  platform::WriteFileAtomic(script, kOtherLibraryScript);
  if (!Shell("python3 -c 'import email' 2>/dev/null")) GTEST_SKIP() << "python3 is not installed";
  ASSERT_TRUE(Shell("python3 '" + script + "' " + std::to_string(servers->SmtpPort())));
  ASSERT_TRUE(WaitForDelivery(3));
  ASSERT_EQ(Receive(), ReceiveEnd::Done) << last.error;
  const auto headers = InboxHeaders();
  ASSERT_EQ(headers.size(), 3u);
  // Postfix may deliver the three side by side, so each is found by its subject.
  auto indexOf = [&](const std::string& subject) {
    for (std::size_t i = 0; i < headers.size(); ++i) {
      if (headers[i].subject == subject) return i;
    }
    ADD_FAILURE() << "no mail with the subject " << SjisToUtf8(subject);
    return headers.size();
  };
  const std::size_t utf8 = indexOf(Sj("UTF-8 の件名"));
  const std::size_t nested = indexOf("nested");
  const std::size_t html = indexOf("html only");
  ASSERT_LT(std::max({utf8, nested, html}), headers.size());
  EXPECT_EQ(headers[utf8].from, Sj("差出人") + " <bob@mfmail.test>");
  EXPECT_EQ(TextOf(InboxBody(utf8)), Sj("こんにちは、世界\r\n二行目 ①"));
  EXPECT_EQ(TextOf(InboxBody(nested)), Sj("プレーンテキスト"));
  const auto files = Fields(InboxBody(nested), "X-Attachments-File: ");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(platform::ExtractFileName(files[0]), Sj("日本語の名前.txt"));
  EXPECT_EQ(platform::ReadFile(files[0]), "\xE6\xB7\xBB\xE4\xBB\x98\xE3\x81\xAE\xE4\xB8\xAD\xE8\xBA\xAB");
  EXPECT_EQ(headers[nested].attachmentFolder.empty(), false);
  EXPECT_EQ(TextOf(InboxBody(html)), Sj("太字 & 強調"));
  EXPECT_EQ(BodyCount(), 3u);
}

TEST_F(ReceiveServersTest, MailFromThisProgramLosesItsFooterAndBringsItsCharacter) {
  testing::CharacterSetup setup;
  setup.folderName = "source";
  setup.id = "<traveller@mfmail.test>";
  setup.name = "Tabi";
  setup.scenes = testing::StandingScenes();
  testing::MakeCharacter(servicesFolder.Path(), setup);
  const std::string package = servicesFolder.Path() + "MofutanData.mfd";
  ASSERT_TRUE(PackCharacter(servicesFolder.Path() + "source", package));
  const std::string body = servicesFolder.Path() + "body.txt";
  platform::WriteFileAtomic(body, TextWithFooter(Sj("本文の一行目\r\n最後の行")));
  ASSERT_TRUE(Shell("'" MFTOOL_PATH "' send --host 127.0.0.1 --port " + std::to_string(servers->SmtpPort()) +
                    " --from bob@mfmail.test --to alice@mfmail.test --subject hello --x-mailer MofutanMail"
                    " --character-id '<traveller@mfmail.test>' --attach '" + package + "' < '" + body +
                    "' >/dev/null 2>&1"));
  ASSERT_TRUE(WaitForDelivery(1));
  ASSERT_EQ(Receive(), ReceiveEnd::Done) << last.error;
  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_EQ(TextOf(InboxBody(0)), Sj("本文の一行目\r\n最後の行"));
  EXPECT_EQ(arrived[0].deliveringId, "<traveller@mfmail.test>");
  EXPECT_EQ(arrived[0].arrivedFolder, 1);
  EXPECT_TRUE(platform::FileExists(Path("char1/scene.txt")));
  EXPECT_TRUE(platform::FileExists(Path("char1r/image1r.bmp")));
  EXPECT_EQ(Field(InboxBody(0), "X-Character: "), "<traveller@mfmail.test>");
  EXPECT_EQ(InboxHeaders()[0].attachmentFolder, "");
}

}  // namespace
}  // namespace mf

namespace mf {
namespace {

// Dovecot takes commands ahead: many mails fetched in one run each arrive
// whole, once, and leave the server after QUIT.
TEST_F(ReceiveServersTest, ManyMailsFetchedAheadArriveWholeAndOnce) {
  constexpr int kMails = 40;
  ASSERT_TRUE(Shell("python3 -c \"import smtplib\n"
                    "s = smtplib.SMTP('127.0.0.1'," + std::to_string(servers->SmtpPort()) + ")\n"
                    "for n in range(" + std::to_string(kMails) + "):\n"
                    "  body = 'first\\r\\n' + ''.join('line %d of mail %d\\r\\n' % (i, n) for i in range(n * 40)) + '.\\r\\nend\\r\\n'\n"
                    "  s.sendmail('bob@mfmail.test', ['alice@mfmail.test'], 'Subject: mail %02d\\r\\n\\r\\n' % n + body)\n"
                    "s.quit()\""));
  ASSERT_TRUE(WaitForDelivery(kMails));
  ASSERT_EQ(Receive(), ReceiveEnd::Done) << last.error;
  EXPECT_TRUE(receiver->Pop3().Pipelining()) << "the server's CAPA was not read";
  std::vector<std::string> subjects;
  for (std::size_t i = 0; i < InboxHeaders().size(); ++i) {
    subjects.push_back(InboxHeaders()[i].subject);
    const std::string text = TextOf(InboxBody(i));
    const int n = std::atoi(subjects.back().c_str() + 5);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), n * 40 + 2) << subjects.back();
    EXPECT_TRUE(text.size() >= 8 && text.compare(text.size() - 8, 8, "\r\n.\r\nend") == 0) << subjects.back();
  }
  std::sort(subjects.begin(), subjects.end());
  std::vector<std::string> expected;
  for (int n = 0; n < kMails; ++n) expected.push_back((n < 10 ? "mail 0" : "mail ") + std::to_string(n));
  EXPECT_EQ(subjects, expected);
  EXPECT_EQ(Receive(), ReceiveEnd::NoNewMail);
}

struct SecureReceiveCase {
  const char* name;
  ConnectionSecurity security;
  bool implicitPort;  // the POP3S port, else the plain one with STLS
  bool trusted;       // the test authority is in the trust store
};

class ReceiveSecureServersTest : public ReceiveServersTest,
                                 public ::testing::WithParamInterface<SecureReceiveCase> {};

TEST_P(ReceiveSecureServersTest, FetchesOnlyOverTheChosenEncryption) {
  const SecureReceiveCase& c = GetParam();
  ::setenv("SSL_CERT_FILE", c.trusted ? servers->AuthorityFile().c_str() : "/nonexistent", 1);
  ASSERT_TRUE(Shell("printf 'Subject: secure\\r\\n\\r\\nbody\\r\\n' | python3 -c \"import smtplib,sys; "
                    "smtplib.SMTP('127.0.0.1'," + std::to_string(servers->SmtpPort()) +
                    ").sendmail('bob@mfmail.test',['alice@mfmail.test'],sys.stdin.read())\""));
  ASSERT_TRUE(WaitForDelivery(1));
  settings.pop3Server = "localhost";
  settings.pop3Security = c.security;
  settings.pop3Port = std::to_string(c.implicitPort ? servers->Pop3sPort() : servers->Pop3Port());
  if (c.trusted) {
    ASSERT_EQ(Receive(), ReceiveEnd::Done) << last.error;
    EXPECT_EQ(InboxHeaders().size(), 1u);
  } else {
    ASSERT_EQ(Receive(), ReceiveEnd::Failed);
    EXPECT_NE(last.userText.find(NetErrorTextJa(tls::kUntrusted)), std::string::npos) << last.error;
    EXPECT_EQ(last.userText.rfind(Sj("POP3サーバー localhost（ポート "), 0), 0u) << SjisToUtf8(last.userText);
    EXPECT_TRUE(InboxHeaders().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveSecureServersTest,
    ::testing::Values(SecureReceiveCase{"Pop3s", ConnectionSecurity::Tls, true, true},
                      SecureReceiveCase{"Stls", ConnectionSecurity::StartTls, false, true},
                      SecureReceiveCase{"UntrustedAuthority", ConnectionSecurity::Tls, true, false}),
    [](const ::testing::TestParamInfo<SecureReceiveCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mf
