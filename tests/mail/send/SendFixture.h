#pragma once

// A program folder with a store, live settings and a send controller on a
// poll loop, for the tests of sending and queueing composed mail.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "mail/send/Composition.h"
#include "mail/send/SendController.h"
#include "mail/store/MailStore.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"

namespace mf::testing {

class SendTestBase : public ::testing::Test {
 protected:
  SendTestBase() {
    settings_.smtpServer = "127.0.0.1";
    settings_.mailAddress = "taro@example.jp";
    settings_.myName = Sj("山田太郎");
    store_.Prepare();
    controller_.OnSent = [this](const SentMail& sent) {
      sent_.push_back(sent);
      events_.push_back("sent");
    };
    controller_.OnFailed = [this](const SendFailure& failure) {
      failures_.push_back(failure);
      events_.push_back("failed");
    };
    controller_.OnClosed = [this] { events_.push_back("closed"); };
  }

  // What the user was told of the first failure, as UTF-8 for messages.
  std::string FailureShown() const { return failures_.empty() ? "" : SjisToUtf8(SendFailureText(failures_[0])); }

  // Runs the loop until the attempt has ended (failed or closed).
  bool RunToEnd(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return loop_.RunUntil(
        [&] { return !failures_.empty() || (!events_.empty() && events_.back() == "closed"); }, limit);
  }

  // A file in the test's own folder, outside the program folder.
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = outside_.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  std::string ReadStoreFile(const std::string& name) const {
    return platform::ReadFile(store_.StoreFolder() + name).value_or(std::string());
  }

  // A plain mail to one recipient.
  static Composition SimpleMail() {
    Composition mail;
    mail.to = "hanako@example.jp";
    mail.subject = Sj("こんにちは");
    mail.body = Sj("本文の一行目") + "\r\nsecond line\r\n";
    return mail;
  }

  platform::TemporaryFolder folder_;
  platform::TemporaryFolder outside_;
  platform::PollEventLoop loop_;
  FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9, 0, 540}};
  ScriptedRandom random_;
  MailStore store_{folder_.Path()};
  LiveSettings settings_{platform::IniFile(folder_.Path() + "MFMail.ini"), [](int, bool) {}, [](bool) {}};
  SendController controller_{loop_, settings_, store_, clock_, random_};
  std::vector<SentMail> sent_;
  std::vector<SendFailure> failures_;
  std::vector<std::string> events_;
};

}  // namespace mf::testing
