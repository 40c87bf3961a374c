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

// An install under a prefix: the executable in bin/, the starter characters
// in share/MFMail/.
struct Install {
  TemporaryFolder prefix;
  std::string Bin() const { return prefix.Path() + "bin/"; }
  std::string Share() const { return prefix.Path() + "share/MFMail/"; }
  Install() {
    CreateFolders(Bin());
    CreateFolders(Share() + "char1");
    WriteFileAtomic(Share() + "char1/scene.txt", "[walk]\r\n");
    WriteFileAtomic(Share() + "visibleDB.dat", "char1\r\n");
    WriteFileAtomic(Share() + "README.md", "not for users");
    CreateFolders(Share() + "help");
    WriteFileAtomic(Share() + "help/index.html", "<html></html>");
  }
};

TEST(ProgramFolder, OnlyAWritablePortableFolderKeepsTheFilesBesideTheExecutable) {
  // A portable copy: the executable and its characters in one folder, no
  // install layout around it.
  TemporaryFolder portable;
  EXPECT_EQ(ProgramFolderBeside(portable.Path(), true), portable.Path());

  // An install the user may write to (root running /usr/bin/MFMail, or a
  // prefix inside the home folder) still keeps its files in the data folder.
  Install install;
  TemporaryFolder data;
  setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  EXPECT_EQ(ProgramFolderBeside(install.Bin(), true), data.Path() + "MFMail/");
  EXPECT_FALSE(DirectoryExists(install.Bin() + "char1"));
  EXPECT_TRUE(FileExists(data.Path() + "MFMail/char1/scene.txt"));
  unsetenv("XDG_DATA_HOME");
}

TEST(ProgramFolder, AReadOnlyInstallSeedsTheDataFolderOnTheFirstStartOnly) {
  Install install;
  TemporaryFolder data;
  setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  const std::string folder = ProgramFolderBeside(install.Bin(), false);
  EXPECT_EQ(folder, data.Path() + "MFMail/");
  EXPECT_EQ(*ReadFile(folder + "char1/scene.txt"), "[walk]\r\n");
  EXPECT_EQ(*ReadFile(folder + "visibleDB.dat"), "char1\r\n");
  EXPECT_FALSE(FileExists(folder + "README.md"));
  // The user guide is read where it is installed.
  EXPECT_FALSE(DirectoryExists(folder + "help"));
  // The user lets the character go; it must not come back on the next start.
  ASSERT_TRUE(RemoveFolderTreeInside(folder, folder + "char1"));
  ASSERT_TRUE(WriteFileAtomic(folder + "visibleDB.dat", ""));
  EXPECT_EQ(ProgramFolderBeside(install.Bin(), false), folder);
  EXPECT_FALSE(DirectoryExists(folder + "char1"));
  EXPECT_EQ(*ReadFile(folder + "visibleDB.dat"), "");
  unsetenv("XDG_DATA_HOME");
}

TEST(ProgramFolder, SeedingNeverOverwritesWhatIsThere) {
  Install install;
  TemporaryFolder target;
  ASSERT_TRUE(WriteFileAtomic(target.Path() + "visibleDB.dat", "mine\r\n"));
  SeedProgramFolder(install.Share(), target.Path());
  EXPECT_EQ(*ReadFile(target.Path() + "visibleDB.dat"), "mine\r\n");
  EXPECT_TRUE(FileExists(target.Path() + "char1/scene.txt"));
  SeedProgramFolder(target.Path() + "missing/", target.Path());  // nothing to copy: no harm
}

}  // namespace
}  // namespace mf::platform
