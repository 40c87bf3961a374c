#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/gui/MailErrorRoutine.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/mail/gui/MailWindowFixture.h"

namespace mf {
namespace {

class ErrorRoutine : public ::testing::Test {
 protected:
  ErrorRoutine() {
    auto record = [this](const char* name) { return [this, name] { steps_.push_back(name); }; };
    errors_.hooks.hideProgress = record("hide progress");
    errors_.hooks.endMailListSessions = record("end list sessions");
    errors_.hooks.endCompositionSessions = [this] {
      steps_.push_back("end composition sessions");
      // An aborted client may report its own failure while the routine runs.
      errors_.Run();
    };
    errors_.hooks.releaseComposition = [this] {
      steps_.push_back(commands_.SendEnabled() ? "release composition, sending on" : "release composition");
    };
    errors_.hooks.releaseViewer = record("release viewer");
  }

  platform::QtEventLoop loop_;
  platform::FakeDialogs dialogs_;
  TransferCommands commands_;
  MailErrorRoutine errors_{loop_, dialogs_, commands_};
  std::vector<std::string> steps_;
};

TEST_F(ErrorRoutine, EndsEverythingOnceAndTellsTheUserFromTheLoop) {
  commands_.SetSendEnabled(false);
  commands_.SetReceiveEnabled(false);
  errors_.Run();

  EXPECT_EQ(steps_, (std::vector<std::string>{"hide progress", "end list sessions", "end composition sessions",
                                              "release composition, sending on", "release viewer"}));
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_TRUE(commands_.ReceiveEnabled());
  // The message box never opens inside the failing client's callback.
  EXPECT_TRUE(dialogs_.calls.empty());
  ASSERT_TRUE(testing::RunUntil([&] { return !dialogs_.calls.empty(); }));
  testing::RunUntil([] { return false; }, std::chrono::milliseconds(50));
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].kind, "Error");
  EXPECT_EQ(dialogs_.calls[0].text, Sj("処理中に異常が発生しました"));
}

TEST_F(ErrorRoutine, AMoreTellingTextReplacesTheGeneralOne) {
  errors_.hooks = {};
  errors_.Run("File not found '/tmp/x'");
  ASSERT_TRUE(testing::RunUntil([&] { return !dialogs_.calls.empty(); }));
  EXPECT_EQ(dialogs_.calls[0].text, "File not found '/tmp/x'");
}

TEST_F(ErrorRoutine, CommandsReportTheirChange) {
  int changes = 0;
  commands_.OnChange = [&] { ++changes; };
  commands_.SetSendEnabled(false);
  errors_.hooks = {};
  errors_.Run();
  EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace mf
