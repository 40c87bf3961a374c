// Sending through a relay that breaks the session at one step, in front of
// the real Postfix (and Dovecot for POP before SMTP): whatever the step, no
// mail is lost or sent twice, the store stays whole, the user reads which
// step failed, and a second run without the fault finishes the work. A mail
// whose "." the server took while the answer was lost is the one that may
// arrive twice: it stays in the outbox as "送信不明" and is never resent.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/send/ClientFailure.h"
#include "mail/send/OutboxSender.h"
#include "mail/store/MailStatus.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "tests/mail/send/SendServersFixture.h"
#include "tests/servers/FaultProxy.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::Fault;
using test::FaultKind;
using test::MailServers;

enum class Mode {
  Direct,         // "送る": one mail to two recipients
  Outbox,         // "送信": three mails over one session
  PopBeforeSmtp,  // "送る" after a POP log-in, the fault in the POP session
  StartTls,       // "送る" over STARTTLS with a log-in
  Login,          // "送る" with a log-in over plain text, where the AUTH exchange can be broken
};

// Where each mail of a row ends after the fault.
enum class Left { Waiting, Unconfirmed, Sent };

struct SmtpDrill {
  const char* name;
  Mode mode;
  Fault fault;
  std::vector<Left> after;  // one per mail, in the order they were written
  // The step the user is told of (ServerFailure::step); empty when the
  // attempt does not fail.
  const char* step;
};

void PrintTo(const SmtpDrill& drill, std::ostream* out) { *out << drill.name; }

constexpr const char* kMarker = "MIDDLE-OF-THE-BODY";

Fault Drop(const char* command, int nth = 1) { return {{command, nth}, FaultKind::DropBefore, {}, 0}; }
Fault Lost(const char* command, int nth = 1) { return {{command, nth}, FaultKind::ReplyLost, {}, 0}; }
Fault Refuse(const char* command, const char* answer, int nth = 1) {
  return {{command, nth}, FaultKind::Answer, answer, 0};
}
Fault Cut(const char* command, std::size_t bytes, int nth = 1) { return {{command, nth}, FaultKind::CutReply, {}, bytes}; }

class SendDrillTest : public testing::SendServersTestBase, public ::testing::WithParamInterface<SmtpDrill> {
 protected:
  void SetUp() override {
    SendServersTestBase::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const SmtpDrill& drill = GetParam();
    const bool tls = drill.mode == Mode::StartTls;
    const bool login = tls || drill.mode == Mode::Login;
    smtpProxy_ = std::make_unique<test::FaultProxy>(tls                           ? servers_->SubmissionPort()
                                                    : drill.mode == Mode::Login ? servers_->AuthPort()
                                                                                : servers_->SmtpPort());
    popProxy_ = std::make_unique<test::FaultProxy>(servers_->Pop3Port());
    settings_.smtpServer = "127.0.0.1";
    settings_.smtpPort = smtpProxy_->PortText();
    settings_.mailAddress = MailServers::Address("bob");
    if (drill.mode == Mode::PopBeforeSmtp) {
      UsePopBeforeSmtpAsBob();
      settings_.smtpPort = smtpProxy_->PortText();
      settings_.pop3Port = popProxy_->PortText();
    }
    if (tls) {
      ::setenv("SSL_CERT_FILE", servers_->AuthorityFile().c_str(), 1);
      settings_.smtpSecurity = ConnectionSecurity::StartTls;
    }
    if (login) {
      settings_.smtpAuth = true;
      settings_.smtpUser = "bob";
      settings_.smtpPassword = MailServers::kPassword;
    }
    (drill.mode == Mode::PopBeforeSmtp ? *popProxy_ : *smtpProxy_).Arm(drill.fault);
  }

  // A mail to alice with a copy to bob, an attachment and a character; the
  // marker stands in the middle of a body long enough to need several reads.
  Composition Mail(int n) {
    Composition mail;
    mail.to = MailServers::Address("alice");
    mail.cc = MailServers::Address("bob");
    mail.subject = "drill-" + std::to_string(n);
    std::string body;
    for (int line = 0; line < 400; ++line) body += Sj("本文の行 ") + std::to_string(line) + "\r\n";
    mail.body = body + kMarker + "\r\n" + body;
    mail.characterId = "chr" + std::to_string(n);
    mail.attachments.push_back(WriteFile("file" + std::to_string(n) + ".txt", Attachment(n)));
    return mail;
  }

  // A row that breaks off inside the body sends mails too large for the
  // connection's buffers, so that the break reaches the client before its
  // final "." could go: a smaller mail is all written, "." included, before
  // the client can know, and stays "送信不明" as after a lost answer.
  static std::string Attachment(int n) {
    std::string text = "attachment " + std::to_string(n);
    if (GetParam().fault.step.inBody) {
      for (int line = 0; line < 20000; ++line) text += "\r\n" + std::string(62, static_cast<char>('a' + line % 26));
    }
    return text;
  }

  // Runs the outbox once; the text of its failure, or "".
  std::string RunOutbox() {
    OutboxSender outbox(loop_, settings_, store_, clock_, random_);
    bool closed = false;
    std::string failure;
    outbox.OnClosed = [&] { closed = true; };
    outbox.OnFailed = [&](const std::string& text) { failure = text; };
    if (!outbox.Start()) return "";
    EXPECT_TRUE(loop_.RunUntil([&] { return closed || !failure.empty(); }, 30s));
    return failure;
  }

  // Subject -> how many copies reached alice, once Postfix had time to
  // deliver at least `expected`.
  std::map<std::string, int> Delivered(std::size_t expected) {
    const std::string folder = servers_->Maildir("alice") + "/new/";
    auto names = [&] { return platform::ListFolder(folder, "*", platform::ListKind::FilesOnly); };
    loop_.RunUntil([&] { return names().size() >= expected; }, 10s);
    std::this_thread::sleep_for(300ms);  // a copy too many would be on its way by now
    return servers_->NewSubjects("alice");
  }

  // Every folder's header and body files hold whole records, as many of each.
  void ExpectWholeStore() {
    for (FolderKind folder : {FolderKind::Outbox, FolderKind::Sent}) {
      for (const std::string& path : {store_.HeaderPath(folder), store_.BodyPath(folder)}) {
        const std::string file = platform::ReadFile(path).value_or("");
        for (const auto& span : RecordSpans(file)) EXPECT_TRUE(span.terminated) << path;
      }
      const std::string body = platform::ReadFile(store_.BodyPath(folder)).value_or("");
      EXPECT_EQ(store_.RecordCount(folder), RecordSpans(body).size());
    }
  }

  // The outbox and sent folders by subject, with each outbox mail's status;
  // an outbox mail keeps its attachment and its character.
  std::map<std::string, Left> Places() {
    std::map<std::string, Left> places;
    const auto outbox = store_.ReadHeaderRecords(FolderKind::Outbox);
    for (std::size_t i = 0; i < outbox.size(); ++i) {
      const bool unconfirmed = outbox[i].status == StatusWord(MailStatus::Unconfirmed);
      EXPECT_TRUE(unconfirmed || outbox[i].status == StatusWord(MailStatus::Waiting)) << outbox[i].subject;
      EXPECT_FALSE(places.contains(outbox[i].subject)) << outbox[i].subject << " twice";
      places[outbox[i].subject] = unconfirmed ? Left::Unconfirmed : Left::Waiting;
      const std::string body = store_.ReadBodyRecord(FolderKind::Outbox, i);
      const std::string n = outbox[i].subject.substr(6);
      EXPECT_NE(body.find("X-Character: chr" + n + "\r\n"), std::string::npos) << outbox[i].subject;
      const std::size_t file = body.find("X-Attachments-File: ");
      EXPECT_NE(file, std::string::npos) << outbox[i].subject;
      if (file == std::string::npos) continue;
      const std::string path = body.substr(file + 20, body.find("\r\n", file) - file - 20);
      EXPECT_EQ(platform::ReadFile(path), Attachment(std::stoi(n))) << outbox[i].subject;
    }
    for (const auto& sent : store_.ReadHeaderRecords(FolderKind::Sent)) {
      EXPECT_FALSE(places.contains(sent.subject)) << sent.subject << " twice";
      places[sent.subject] = Left::Sent;
    }
    return places;
  }

  std::unique_ptr<test::FaultProxy> smtpProxy_;
  std::unique_ptr<test::FaultProxy> popProxy_;
};

TEST_P(SendDrillTest, NoMailIsLostOrSentTwiceAndTheNextRunFinishes) {
  const SmtpDrill& drill = GetParam();
  const int mails = drill.mode == Mode::Outbox ? 3 : 1;
  std::string told;
  if (drill.mode == Mode::Outbox) {
    for (int n = 1; n <= mails; ++n) {
      std::string error;
      ASSERT_TRUE(controller_.SendLater(Mail(n), error)) << error;
    }
    told = RunOutbox();
  } else {
    ASSERT_EQ(controller_.SendNow(Mail(1)), SendStart::Started);
    ASSERT_TRUE(RunToEnd(30s));
    if (!failures_.empty()) told = SendFailureText(failures_[0]);
  }
  const test::FaultProxy& proxy = drill.mode == Mode::PopBeforeSmtp ? *popProxy_ : *smtpProxy_;
  ASSERT_TRUE(proxy.Fired()) << "the fault never struck";

  // Where each mail is now, whole, and what the user read.
  ExpectWholeStore();
  std::map<std::string, Left> expected;
  for (int n = 1; n <= mails; ++n) expected["drill-" + std::to_string(n)] = drill.after[n - 1];
  EXPECT_EQ(Places(), expected);
  if (*drill.step != '\0') {
    EXPECT_NE(told.find(Sj("止まったところ: ") + SessionStepText(drill.step)), std::string::npos) << SjisToUtf8(told);
  } else {
    EXPECT_EQ(told, "");
  }
  const bool unconfirmed = std::find(drill.after.begin(), drill.after.end(), Left::Unconfirmed) != drill.after.end();
  EXPECT_EQ(told.find(Sj("送信不明")) != std::string::npos, unconfirmed) << SjisToUtf8(told);

  // The next run sends what waits and leaves the unconfirmed mail alone.
  EXPECT_EQ(RunOutbox(), "");
  ExpectWholeStore();
  std::size_t sent = 0;
  for (auto& [subject, left] : expected) {
    if (left != Left::Unconfirmed) left = Left::Sent;
    sent += left == Left::Sent ? 1 : 0;
  }
  EXPECT_EQ(Places(), expected);
  // Each mail reached the server once; one left unconfirmed once at most.
  const auto delivered = Delivered(sent);
  for (const auto& [subject, left] : expected) {
    const auto copies = delivered.find(subject);
    const int count = copies == delivered.end() ? 0 : copies->second;
    if (left == Left::Sent) EXPECT_EQ(count, 1) << subject;
    if (left == Left::Unconfirmed) EXPECT_LE(count, 1) << subject;
  }
  EXPECT_LE(delivered.size(), expected.size());
}

std::string Name(const ::testing::TestParamInfo<SmtpDrill>& info) { return info.param.name; }

constexpr auto kW = Left::Waiting;
constexpr auto kU = Left::Unconfirmed;
constexpr auto kS = Left::Sent;

INSTANTIATE_TEST_SUITE_P(
    Direct, SendDrillTest,
    ::testing::Values(SmtpDrill{"GreetingDropped", Mode::Direct, Drop(""), {kW}, "greeting"},
                      SmtpDrill{"GreetingRefused", Mode::Direct, Refuse("", "554 5.3.2 not now"), {kW}, "greeting"},
                      SmtpDrill{"HeloDropped", Mode::Direct, Drop("HELO"), {kW}, "HELO"},
                      SmtpDrill{"HeloRefused", Mode::Direct, Refuse("HELO", "451 4.3.0 later"), {kW}, "HELO"},
                      SmtpDrill{"MailFromDropped", Mode::Direct, Drop("MAIL FROM"), {kW}, "MAIL FROM"},
                      SmtpDrill{"MailFromRefused", Mode::Direct, Refuse("MAIL FROM", "451 4.3.0 later"), {kW}, "MAIL FROM"},
                      SmtpDrill{"FirstRcptDropped", Mode::Direct, Drop("RCPT TO"), {kW}, "RCPT TO"},
                      SmtpDrill{"SecondRcptRefused", Mode::Direct, Refuse("RCPT TO", "554 5.7.1 no", 2), {kW}, "RCPT TO"},
                      SmtpDrill{"SecondRcptReplyLost", Mode::Direct, Lost("RCPT TO", 2), {kW}, "RCPT TO"},
                      SmtpDrill{"DataDropped", Mode::Direct, Drop("DATA"), {kW}, "DATA"},
                      SmtpDrill{"DataRefused", Mode::Direct, Refuse("DATA", "451 4.3.0 later"), {kW}, "DATA"},
                      SmtpDrill{"BodyDropped", Mode::Direct, {{kMarker, 1, true}, FaultKind::DropBefore}, {kW}, "body"},
                      // The "." is written when the line goes: the client cannot tell this from an answer lost.
                      SmtpDrill{"DotDropped", Mode::Direct, Drop("."), {kU}, "."},
                      SmtpDrill{"DotRefused", Mode::Direct, Refuse(".", "554 5.6.0 rejected"), {kW}, "."},
                      SmtpDrill{"DotAcceptedReplyLost", Mode::Direct, Lost("."), {kU}, "."},
                      SmtpDrill{"QuitDropped", Mode::Direct, Drop("QUIT"), {kS}, ""},
                      SmtpDrill{"QuitReplyLost", Mode::Direct, Lost("QUIT"), {kS}, ""}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Outbox, SendDrillTest,
    ::testing::Values(SmtpDrill{"GreetingDropped", Mode::Outbox, Drop(""), {kW, kW, kW}, "greeting"},
                      SmtpDrill{"SecondHeloDropped", Mode::Outbox, Drop("HELO", 2), {kS, kW, kW}, "HELO"},
                      SmtpDrill{"SecondMailFromRefused", Mode::Outbox, Refuse("MAIL FROM", "451 4.3.0 later", 2),
                                {kS, kW, kW}, "MAIL FROM"},
                      SmtpDrill{"ThirdRcptDropped", Mode::Outbox, Drop("RCPT TO", 3), {kS, kW, kW}, "RCPT TO"},
                      SmtpDrill{"SecondDataDropped", Mode::Outbox, Drop("DATA", 2), {kS, kW, kW}, "DATA"},
                      SmtpDrill{"SecondBodyDropped", Mode::Outbox, {{kMarker, 2, true}, FaultKind::DropBefore},
                                {kS, kW, kW}, "body"},
                      SmtpDrill{"SecondDotRefused", Mode::Outbox, Refuse(".", "451 4.3.0 later", 2), {kS, kW, kW}, "."},
                      SmtpDrill{"SecondDotAcceptedReplyLost", Mode::Outbox, Lost(".", 2), {kS, kU, kW}, "."},
                      SmtpDrill{"LastDotAcceptedReplyLost", Mode::Outbox, Lost(".", 3), {kS, kS, kU}, "."},
                      SmtpDrill{"QuitDropped", Mode::Outbox, Drop("QUIT"), {kS, kS, kS}, ""}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    PopBeforeSmtp, SendDrillTest,
    ::testing::Values(SmtpDrill{"PopGreetingDropped", Mode::PopBeforeSmtp, Drop(""), {kW}, "greeting"},
                      SmtpDrill{"UserDropped", Mode::PopBeforeSmtp, Drop("USER"), {kW}, "USER"},
                      SmtpDrill{"PassDropped", Mode::PopBeforeSmtp, Drop("PASS"), {kW}, "PASS"},
                      // A refused log-in does not stop the mail: the SMTP server decides.
                      SmtpDrill{"PassRefused", Mode::PopBeforeSmtp, Refuse("PASS", "-ERR [AUTH] no"), {kS}, ""},
                      SmtpDrill{"PopQuitDropped", Mode::PopBeforeSmtp, Drop("QUIT"), {kS}, ""}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    StartTls, SendDrillTest,
    ::testing::Values(SmtpDrill{"EhloDropped", Mode::StartTls, Drop("EHLO"), {kW}, "EHLO"},
                      SmtpDrill{"StartTlsDropped", Mode::StartTls, Drop("STARTTLS"), {kW}, "STARTTLS"},
                      SmtpDrill{"StartTlsRefused", Mode::StartTls, Refuse("STARTTLS", "454 4.7.0 no TLS"), {kW}, "STARTTLS"},
                      SmtpDrill{"HandshakeCut", Mode::StartTls, Cut("STARTTLS", 200), {kW}, "tls"}),
    Name);

INSTANTIATE_TEST_SUITE_P(
    Login, SendDrillTest,
    ::testing::Values(SmtpDrill{"AuthDropped", Mode::Login, Drop("AUTH"), {kW}, "AUTH"},
                      SmtpDrill{"AuthRefused", Mode::Login, Refuse("AUTH", "535 5.7.8 authentication failed"), {kW},
                                "AUTH"},
                      SmtpDrill{"AuthTemporaryFailure", Mode::Login, Refuse("AUTH", "454 4.7.0 try later"), {kW},
                                "AUTH"},
                      SmtpDrill{"AuthReplyLost", Mode::Login, Lost("AUTH"), {kW}, "AUTH"},
                      SmtpDrill{"MailFromAfterLoginDropped", Mode::Login, Drop("MAIL FROM"), {kW}, "MAIL FROM"}),
    Name);

}  // namespace
}  // namespace mf
