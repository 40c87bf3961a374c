// Saving a copy of an attachment: it lands in the chosen folder under a
// safe name, never over a file the user did not agree to replace.

#include "mail/store/AttachmentActions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Files.h"

namespace mf {
namespace {

class AttachmentActionsTest : public ::testing::Test {
 protected:
  std::string Stored(const std::string& name, const std::string& bytes) {
    const std::string path = store_.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }

  platform::TemporaryFolder store_;
  platform::TemporaryFolder chosen_;
  platform::FakeDialogs dialogs_;
};

struct SaveCase {
  const char* name;
  const char* attachment;  // the stored file's name
  const char* present;     // a file already in the chosen folder under the saved name, or null
  bool replace;            // the user's answer to replacing it
  const char* saved;       // the name the copy has ("*": any safe name); null when nothing is saved
};

class SaveCopyTest : public AttachmentActionsTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveCopyTest, TheCopyLandsInTheChosenFolderAndReplacesOnlyWhatTheUserAgreed) {
  const SaveCase& c = GetParam();
  const std::string source = Stored(c.attachment, "attachment bytes");
  if (c.present != nullptr) {
    ASSERT_TRUE(platform::WriteFileAtomic(chosen_.Path() + c.present, "the user's file"));
  }
  dialogs_.folders = {chosen_.Path()};
  dialogs_.yesNo = {c.replace};

  EXPECT_EQ(SaveAttachmentCopy(dialogs_, source), c.saved != nullptr);
  EXPECT_EQ(dialogs_.calls.at(0).kind, "ChooseFolder");
  EXPECT_EQ(dialogs_.calls.size() > 1 && dialogs_.calls[1].kind == "Question", c.present != nullptr);
  const auto names = platform::ListFolder(chosen_.Path(), "*", platform::ListKind::FilesOnly);
  EXPECT_EQ(names.size(), (c.present != nullptr || c.saved != nullptr) ? 1u : 0u) << "a stray file";
  if (c.saved != nullptr) {
    // "*": whatever safe name it got, as long as it is in the folder itself.
    const std::string name = std::string(c.saved) == "*" && !names.empty() ? names[0] : c.saved;
    EXPECT_EQ(name.find_first_of("/\\"), std::string::npos) << name;
    EXPECT_EQ(platform::ReadFile(chosen_.Path() + name).value_or(""), "attachment bytes");
  } else if (c.present != nullptr) {
    EXPECT_EQ(platform::ReadFile(chosen_.Path() + c.present).value_or(""), "the user's file");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveCopyTest,
    ::testing::Values(SaveCase{"NewName", "report.pdf", nullptr, false, "report.pdf"},
                      SaveCase{"ExistingKept", "report.pdf", "report.pdf", false, nullptr},
                      SaveCase{"ExistingReplaced", "report.pdf", "report.pdf", true, "report.pdf"},
                      SaveCase{"NameWithSeparatorsStaysInside", "..\\..\\evil.txt", nullptr, false, "*"},
                      SaveCase{"LeadingDotGoes", ".profile", nullptr, false, "_profile"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AttachmentActionsTest, NothingIsWrittenThroughALinkOrOverAFolderOrWhenCancelled) {
  const std::string source = Stored("notes.txt", "attachment bytes");
  platform::TemporaryFolder elsewhere;
  ASSERT_TRUE(platform::WriteFileAtomic(elsewhere.Path() + "target.txt", "not mine to touch"));
  std::filesystem::create_symlink(platform::NativePath(elsewhere.Path() + "target.txt"),
                                  platform::NativePath(chosen_.Path() + "notes.txt"));
  dialogs_.folders = {chosen_.Path()};
  dialogs_.yesNo = {true};
  EXPECT_FALSE(SaveAttachmentCopy(dialogs_, source));
  EXPECT_EQ(platform::ReadFile(elsewhere.Path() + "target.txt").value_or(""), "not mine to touch");

  platform::TemporaryFolder other;
  ASSERT_TRUE(platform::CreateFolder(other.Path() + "notes.txt"));
  dialogs_.folders = {other.Path()};
  EXPECT_FALSE(SaveAttachmentCopy(dialogs_, source));
  EXPECT_TRUE(platform::DirectoryExists(other.Path() + "notes.txt"));

  dialogs_.calls.clear();
  EXPECT_FALSE(SaveAttachmentCopy(dialogs_, source));  // the folder dialog is cancelled
  EXPECT_EQ(dialogs_.calls.size(), 1u);
}

}  // namespace
}  // namespace mf
