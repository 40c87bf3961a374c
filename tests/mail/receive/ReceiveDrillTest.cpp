// Receiving from the real Dovecot through a relay that breaks the session
// at one step: whatever the step, every mail ends in the inbox exactly once,
// the inbox files stay whole, the user reads which step failed, and the
// next run without the fault fetches the rest and empties the server.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/receive/ReceiveController.h"
#include "mail/send/ClientFailure.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/servers/FaultProxy.h"
#include "tests/servers/MailServers.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::FaultKind;

struct Pop3Drill {
  const char* name;
  Fault fault;
  bool pipelining;  // the client hears of PIPELINING in CAPA
  bool stls;
  ReceiveEnd end;    // of the run with the fault
  const char* step;  // the step the user is told of; empty when none
};

void PrintTo(const Pop3Drill& drill, std::ostream* out) { *out << drill.name; }

constexpr int kMails = 3;

class ReceiveDrillTest : public testing::ReceiveFixture, public ::testing::WithParamInterface<Pop3Drill> {
 protected:
  ReceiveDrillTest() : settings(platform::IniFile(Path("MFMail.ini")), {}, {}) {}

  void SetUp() override {
    servers = &test::SharedMailServers();
    if (servers->Failed()) FAIL() << servers->WhyNot();
    if (!servers->Running()) GTEST_SKIP() << servers->WhyNot();
    const Pop3Drill& drill = GetParam();
    proxy = std::make_unique<test::FaultProxy>(servers->Pop3Port());
    if (!drill.pipelining) proxy->HideCapability("PIPELINING");
    settings.pop3Server = "127.0.0.1";
    settings.pop3Port = proxy->PortText();
    settings.pop3User = "alice";
    settings.pop3Password = test::MailServers::kPassword;
    if (drill.stls) {
      ::setenv("SSL_CERT_FILE", servers->AuthorityFile().c_str(), 1);
      settings.pop3Security = ConnectionSecurity::StartTls;
    }
    receiver = std::make_unique<ReceiveController>(loop, settings, store, hut, random, clock);
    receiver->OnFinished = [this](const ReceiveSummary& summary) {
      last = summary;
      finished = true;
    };
    // Mails long enough that a cut reply ends inside the first.
    std::string script = "import smtplib\ns = smtplib.SMTP('127.0.0.1', " + std::to_string(servers->SmtpPort()) +
                         ")\nfor n in range(" + std::to_string(kMails) +
                         "):\n  s.sendmail('bob@mfmail.test', ['alice@mfmail.test'], 'Subject: drill %d\\r\\n\\r\\n' % n + "
                         "''.join('line %d\\r\\n' % i for i in range(300)))\ns.quit()\n";
    platform::WriteFileAtomic(Path("send.py"), script);
    ASSERT_EQ(std::system(("python3 '" + Path("send.py") + "'").c_str()), 0);
    ASSERT_TRUE(loop.RunUntil([&] { return OnServer() == kMails; }, 10s));
  }

  std::size_t OnServer() const { return servers->MessageCount("alice"); }

  ReceiveEnd Receive() {
    finished = false;
    EXPECT_EQ(receiver->Receive(ReceiveTrigger::Manual), ReceiveStart::Started);
    EXPECT_TRUE(loop.RunUntil([this] { return finished; }, 30s));
    return last.end;
  }

  // The inbox subjects, each checked to be stored once, the files whole.
  std::vector<std::string> Stored() const {
    std::vector<std::string> subjects;
    for (const auto& header : InboxHeaders()) {
      EXPECT_EQ(std::count(subjects.begin(), subjects.end(), header.subject), 0) << header.subject << " twice";
      subjects.push_back(header.subject);
    }
    EXPECT_EQ(BodyCount(), subjects.size());
    for (std::size_t i = 0; i < subjects.size(); ++i) {
      EXPECT_NE(TextOf(InboxBody(i)).find("line 299"), std::string::npos) << subjects[i] << " is cut";
    }
    return subjects;
  }

  test::MailServers* servers = nullptr;
  platform::PollEventLoop loop;
  LiveSettings settings;
  std::unique_ptr<test::FaultProxy> proxy;
  std::unique_ptr<ReceiveController> receiver;
  ReceiveSummary last;
  bool finished = false;
};

TEST_P(ReceiveDrillTest, EveryMailIsStoredOnceAndTheNextRunFinishes) {
  const Pop3Drill& drill = GetParam();
  proxy->Arm(drill.fault);
  EXPECT_EQ(Receive(), drill.end) << last.error;
  ASSERT_TRUE(proxy->Fired()) << "the fault never struck";
  const std::size_t first = Stored().size();
  if (*drill.step != '\0') {
    EXPECT_NE(last.userText.find(Sj("止まったところ: ") + SessionStepText(drill.step)), std::string::npos)
        << SjisToUtf8(last.userText) << " / " << last.error;
  }
  // Mail stored is gone from the server or goes with the next run; none
  // left the server unstored.
  EXPECT_GE(OnServer() + first, static_cast<std::size_t>(kMails));

  EXPECT_NE(Receive(), ReceiveEnd::Failed) << last.error;
  std::vector<std::string> subjects = Stored();
  std::sort(subjects.begin(), subjects.end());
  EXPECT_EQ(subjects, (std::vector<std::string>{"drill 0", "drill 1", "drill 2"}));
  EXPECT_EQ(OnServer(), 0u);
}

Fault Drop(const char* command, int nth = 1) { return {{command, nth}, FaultKind::DropBefore, {}, 0}; }
Fault Refuse(const char* command, const char* answer, int nth = 1) {
  return {{command, nth}, FaultKind::Answer, answer, 0};
}
Fault Cut(const char* command, std::size_t bytes, int nth = 1) { return {{command, nth}, FaultKind::CutReply, {}, bytes}; }

constexpr auto kFailed = ReceiveEnd::Failed;

INSTANTIATE_TEST_SUITE_P(
    Steps, ReceiveDrillTest,
    ::testing::Values(Pop3Drill{"GreetingDropped", Drop(""), true, false, kFailed, "greeting"},
                      Pop3Drill{"GreetingRefused", Refuse("", "-ERR busy"), true, false, kFailed, "greeting"},
                      Pop3Drill{"UserDropped", Drop("USER"), true, false, kFailed, "USER"},
                      Pop3Drill{"UserRefused", Refuse("USER", "-ERR no"), true, false, kFailed, "USER"},
                      Pop3Drill{"PassDropped", Drop("PASS"), true, false, kFailed, "PASS"},
                      Pop3Drill{"PassRefused", Refuse("PASS", "-ERR [AUTH] no"), true, false,
                                ReceiveEnd::PasswordRejected, ""},
                      Pop3Drill{"CapaDropped", Drop("CAPA"), true, false, kFailed, "CAPA"},
                      Pop3Drill{"StatDropped", Drop("STAT"), true, false, kFailed, "STAT"},
                      Pop3Drill{"StatRefused", Refuse("STAT", "-ERR later"), true, false, kFailed, "STAT"},
                      Pop3Drill{"UidlDropped", Drop("UIDL"), true, false, kFailed, "UIDL"},
                      Pop3Drill{"SecondRetrDropped", Drop("RETR", 2), false, false, kFailed, "RETR"},
                      Pop3Drill{"FirstRetrCut", Cut("RETR", 400), false, false, kFailed, "RETR"},
                      Pop3Drill{"FirstRetrCutPipelined", Cut("RETR", 400), true, false, kFailed, "RETR"},
                      Pop3Drill{"SecondRetrCutPipelined", Cut("RETR", 400, 2), true, false, kFailed, "RETR"},
                      Pop3Drill{"SecondRetrRefused", Refuse("RETR", "-ERR gone", 2), false, false, kFailed, "RETR"},
                      Pop3Drill{"SecondDeleDropped", Drop("DELE", 2), true, false, kFailed, "DELE"},
                      Pop3Drill{"SecondDeleRefused", Refuse("DELE", "-ERR locked", 2), true, false, kFailed, "DELE"},
                      Pop3Drill{"QuitDropped", Drop("QUIT"), true, false, ReceiveEnd::Done, ""},
                      Pop3Drill{"StlsDropped", Drop("STLS"), true, true, kFailed, "STLS"},
                      Pop3Drill{"StlsRefused", Refuse("STLS", "-ERR no TLS"), true, true, kFailed, "STLS"},
                      Pop3Drill{"HandshakeCut", Cut("STLS", 200), true, true, kFailed, "STLS"}),
    [](const ::testing::TestParamInfo<Pop3Drill>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mf
