#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Files.h"
#include "platform/ProgramFolder.h"

namespace mf::platform {
namespace {

TEST(ProgramFolder, SettingsFileFollowsTheExecutableName) {
  EXPECT_EQ(SettingsPathFor("/opt/mf/MFMail"), "/opt/mf/MFMail.ini");
  EXPECT_EQ(SettingsPathFor("C:/mf/MFMAIL.EXE"), "C:/mf/MFMAIL.ini");
  EXPECT_EQ(SettingsPathFor("/x/a.exe"), "/x/a.ini");
}

TEST(ProgramFolder, EnvironmentChoosesTheFolder) {
  TemporaryFolder folder;
  std::string home = folder.Path() + "home";
  setenv("MFMAIL_HOME", home.c_str(), 1);
  EXPECT_EQ(ProgramFolder(), home + "/");
  EXPECT_TRUE(DirectoryExists(home));
  EXPECT_EQ(ExtractFilePath(SettingsPath()), home + "/");
  unsetenv("MFMAIL_HOME");
}

}  // namespace
}  // namespace mf::platform
