#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include <QCoreApplication>
#include <QLocale>

#include "app/JapaneseInterface.h"
#include "app/SecondStart.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/PollEventLoop.h"
#include "platform/TerminationWatch.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

TEST(SecondStart, WithoutARecordedHutThereIsNothingToAsk) {
  platform::TemporaryFolder folder;
  std::string settings = folder.Path() + "MFMail.ini";
  EXPECT_FALSE(ShowRunningHut(settings));
  platform::IniFile(settings).WriteString("Main", "Handle", "0");
  EXPECT_FALSE(ShowRunningHut(settings));
  platform::IniFile(settings).WriteString("Main", "Handle", "-5");
  EXPECT_FALSE(ShowRunningHut(settings));
  // Nothing was written by asking.
  EXPECT_EQ(platform::IniFile(settings).ReadString("Main", "Handle", ""), "-5");
}

TEST(TerminationWatch, SignalsArriveOnTheLoopNotInTheHandler) {
  platform::PollEventLoop loop;
  int calls = 0;
  {
    platform::TerminationWatch watch(loop, [&] { ++calls; });
    ASSERT_TRUE(watch.Active());
    // Only one watch can own the signals at a time.
    platform::TerminationWatch second(loop, [] {});
    EXPECT_FALSE(second.Active());

    ::raise(SIGTERM);
    ::raise(SIGHUP);
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(loop.RunUntil([&] { return calls > 0; }, 2s));
    loop.RunFor(50ms);
    // Two signals read in one go end the program once.
    EXPECT_EQ(calls, 1);
  }
  // Gone: a new watch can take the signals again.
  platform::TerminationWatch again(loop, [] {});
  EXPECT_TRUE(again.Active());
}

TEST(JapaneseInterface, QtsOwnButtonsSpeakJapaneseWhateverTheUsersLocale) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  int argc = 1;
  char name[] = "app_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  ASSERT_TRUE(UseJapaneseInterface(application)) << "Qt's translations (qt6-translations-l10n) are missing";
  EXPECT_EQ(QLocale().language(), QLocale::Japanese);
  // The buttons of message boxes and the file dialog's column headers.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString::fromUtf8("はい(&Y)"));
  EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
  EXPECT_NE(QCoreApplication::translate("QFileSystemModel", "Name"), "Name");
  // Where Qt's translation has nothing, the program's own words fill in.
  EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QString::fromUtf8("フォルダー"));
  EXPECT_EQ(QCoreApplication::translate("QMessageBox", "Not a text of Qt's"), "Not a text of Qt's");
}

}  // namespace
}  // namespace mf
