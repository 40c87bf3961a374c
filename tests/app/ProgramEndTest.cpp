// The whole program ends cleanly whatever windows were opened over which
// others: a window kept for the whole run that was shown over another must
// not be destroyed twice when the program ends.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "addressbook/gui/AddressEntryDialog.h"
#include "app/Program.h"
#include "mail/list/gui/MailListWindow.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/app/ProgramFixture.h"

namespace mf {
namespace {

using ProgramEndTest = ProgramFixture;

struct AddSenderCase {
  const char* name;
  std::function<void(AddressEntryDialog&)> close;  // how the entry dialog is left
};

TEST_F(ProgramEndTest, EndsAfterASenderWasAddedFromTheMailList) {
  const AddSenderCase cases[] = {
      {"OK", [](AddressEntryDialog& entry) { entry.Accept(); }},
      {"取り消し", [](AddressEntryDialog& entry) { entry.Cancel(); }},
      // The program may end while the dialog is still open.
      {"left open", [](AddressEntryDialog&) {}},
  };
  int sender = 0;
  for (const AddSenderCase& step : cases) {
    SCOPED_TRACE(step.name);
    MailListWindow& list = program_->MailList();
    list.show();
    ASSERT_TRUE(list.links.addAddress);
    // A sender the book has already would be offered for a change instead.
    list.links.addAddress("Alice", "alice" + std::to_string(++sender) + "@mfmail.test");
    AddressEntryDialog& entry = program_->AddressEntry();
    EXPECT_TRUE(entry.isVisible());
    step.close(entry);
    QCoreApplication::processEvents();
    // Destroying the program is what crashed; a second one starts afresh.
    program_.reset();
    program_ = std::make_unique<Program>(loop_, "");
  }
}

// The program ends with the mail list still open: its size is kept as when
// it is closed.
TEST_F(ProgramEndTest, KeepsTheMailListsSizeWhenItEndsWithTheListOpen) {
  MailListWindow& list = program_->MailList();
  list.show();
  list.resize(640, 480);
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
  program_.reset();
  platform::IniFile file(platform::SettingsPath());
  EXPECT_EQ(file.ReadInteger("Window", "Width", 0), 640);
  EXPECT_EQ(file.ReadInteger("Window", "Height", 0), 480);
}

}  // namespace
}  // namespace mf
