#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Autostart.h"
#include "platform/Files.h"

namespace mf::platform {
namespace {

TEST(Autostart, EntryIsWrittenWithTheExecutableAndSlashSAndRemoved) {
  TemporaryFolder config;
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  SetAutostart(true, "/opt/MFMail/MFMail");
  auto entry = ReadFile(AutostartEntryPath());
  ASSERT_TRUE(entry);
  EXPECT_NE(entry->find("\nExec=/opt/MFMail/MFMail /s\n"), std::string::npos);
  EXPECT_EQ(AutostartEntryPath(), config.Path() + "/autostart/Mofutan.desktop");

  SetAutostart(true, "/home/me/My Apps/MFMail");
  EXPECT_NE(ReadFile(AutostartEntryPath())->find("Exec=\"/home/me/My Apps/MFMail\" /s"), std::string::npos);

  SetAutostart(false, "/opt/MFMail/MFMail");
  EXPECT_FALSE(FileExists(AutostartEntryPath()));
  SetAutostart(false, "/opt/MFMail/MFMail");  // removing twice is silent
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace mf::platform
