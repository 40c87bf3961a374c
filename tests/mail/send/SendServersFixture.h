#pragma once

// The send fixture with the program's private Postfix and Dovecot, their
// mailboxes empty at each test's start; a test is skipped where they cannot
// run here.

#include <gtest/gtest.h>

#include <string>

#include "tests/mail/send/SendFixture.h"
#include "tests/servers/MailServers.h"

namespace mf::testing {

class SendServersTestBase : public SendTestBase {
 protected:
  void SetUp() override {
    servers_ = &test::SharedMailServers();
    if (servers_->Failed()) FAIL() << servers_->WhyNot();
    if (!servers_->Running()) GTEST_SKIP() << servers_->WhyNot();
  }

  // Plain SMTP to Postfix after a POP-before-SMTP log-in at Dovecot, as bob.
  void UsePopBeforeSmtpAsBob() {
    settings_.smtpServer = "127.0.0.1";
    settings_.smtpPort = std::to_string(servers_->SmtpPort());
    settings_.popBeforeSmtp = true;
    settings_.pop3Server = "127.0.0.1";
    settings_.pop3Port = std::to_string(servers_->Pop3Port());
    settings_.pop3User = "bob";
    settings_.pop3Password = test::MailServers::kPassword;
    settings_.mailAddress = test::MailServers::Address("bob");
  }

  test::MailServers* servers_ = nullptr;
};

}  // namespace mf::testing
