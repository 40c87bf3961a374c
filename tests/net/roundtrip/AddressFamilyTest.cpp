// The clients reach servers that listen on IPv6 only, on IPv4 only, and
// through a name that resolves to both while only one answers.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "mail/send/MessageBuilder.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/servers/MailServers.h"
#include "tests/servers/RequestChain.h"
#include "tests/support/PrivateHostsFile.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

// A name of both families, IPv6 first as the resolver orders loopbacks.
constexpr const char* kBothFamilies = "dual.mfmail.test";

struct Servers {
  platform::TemporaryFolder folder;
  MailServers ipv4 = MailServers::Start(folder.Path() + "ipv4", MailServers::Listen::Ipv4);
  MailServers ipv6 = MailServers::Start(folder.Path() + "ipv6", MailServers::Listen::Ipv6);
  testing::PrivateHostsFile hosts{folder.Path() + "hosts",
                                  std::string("::1 ") + kBothFamilies + "\n127.0.0.1 " + kBothFamilies + "\n"};
};

Servers& Shared() {
  static Servers servers;
  return servers;
}

struct FamilyCase {
  const char* name;
  MailServers::Listen listen;
  const char* host;
  TlsMode pop3Security;
  bool reached;  // else refused
};

class AddressFamilyTest : public ::testing::TestWithParam<FamilyCase> {
 protected:
  void SetUp() override {
    // The hosts file first: the resolver threads must start inside its namespace.
    Servers& servers = Shared();
    if (!servers.hosts.Active()) GTEST_SKIP() << servers.hosts.WhyNot();
    for (MailServers* pair : {&servers.ipv4, &servers.ipv6}) {
      if (pair->Failed()) FAIL() << pair->WhyNot();
      if (!pair->Running()) GTEST_SKIP() << pair->WhyNot();
      pair->EmptyMailboxes();
    }
    // Only the IPv6 pair is spoken to over TLS.
    ::setenv("SSL_CERT_FILE", servers.ipv6.AuthorityFile().c_str(), 1);
  }

  MailServers& ServersOf(const FamilyCase& row) {
    return row.listen == MailServers::Listen::Ipv6 ? Shared().ipv6 : Shared().ipv4;
  }

  platform::PollEventLoop loop;
};

TEST_P(AddressFamilyTest, SendsAndFetchesOrIsRefused) {
  const FamilyCase& row = GetParam();
  MailServers& servers = ServersOf(row);

  SmtpClient smtp(loop);
  smtp.Host = row.host;
  smtp.Port = std::to_string(servers.SmtpPort());
  smtp.SignOn = "client.mfmail.test";
  smtp.EnvelopeFrom = MailServers::Address("bob");
  smtp.EnvelopeTo = {MailServers::Address("alice")};
  MessageFields fields;
  fields.from = MailServers::Address("bob");
  fields.to = {{"", MailServers::Address("alice")}};
  fields.subject = row.name;
  MessageBuilder message(fields, {"over either family"}, {});
  smtp.Message = [&message](std::string& line) { return message.NextLine(line); };
  const std::string sent = test::RunChain<SmtpRequest>(
      loop, smtp, {[&] { smtp.Connect(); }, [&] { smtp.Helo(); }, [&] { smtp.Mail(); }, [&] { smtp.Quit(); }});

  Pop3Client pop3(loop);
  pop3.SetHost(row.host);
  pop3.SetPort(std::to_string(servers.Pop3Port()));
  pop3.SetSecurity(row.pop3Security);
  pop3.SetUserName("alice");
  pop3.SetPassWord(MailServers::kPassword);
  if (!row.reached) {
    EXPECT_NE(sent.find("10061"), std::string::npos) << sent;
    const std::string fetched =
        test::RunChain<Pop3Request>(loop, pop3, {[&] { pop3.Connect(); }, [&] { pop3.Quit(); }});
    EXPECT_NE(fetched.find("10061"), std::string::npos) << fetched;
    return;
  }
  ASSERT_EQ(sent, "");
  ASSERT_TRUE(loop.RunUntil([&] { return servers.MessageCount("alice") == 1; }, 10s));
  int count = -1;
  const std::string fetched = test::RunChain<Pop3Request>(
      loop, pop3, {[&] { pop3.Connect(); }, [&] { pop3.User(); }, [&] { pop3.Pass(); }, [&] { pop3.Stat(); },
                   [&] {
                     count = pop3.MsgCount();
                     pop3.Quit();
                   }});
  ASSERT_EQ(fetched, "");
  EXPECT_EQ(count, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, AddressFamilyTest,
    ::testing::Values(
        FamilyCase{"Ipv4Address", MailServers::Listen::Ipv4, "127.0.0.1", TlsMode::None, true},
        FamilyCase{"Ipv6Address", MailServers::Listen::Ipv6, "::1", TlsMode::None, true},
        // The certificate names ::1; the check must compare addresses, not names.
        FamilyCase{"Ipv6InBracketsOverTls", MailServers::Listen::Ipv6, "[::1]", TlsMode::StartTls, true},
        // IPv6 refused, then IPv4 answers.
        FamilyCase{"BothFamiliesIpv4Answers", MailServers::Listen::Ipv4, kBothFamilies, TlsMode::None, true},
        FamilyCase{"BothFamiliesIpv6Answers", MailServers::Listen::Ipv6, kBothFamilies, TlsMode::None, true},
        FamilyCase{"Ipv6OnlyRefusesIpv4", MailServers::Listen::Ipv6, "localhost", TlsMode::None, false},
        FamilyCase{"Ipv4OnlyRefusesIpv6", MailServers::Listen::Ipv4, "::1", TlsMode::None, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mf
