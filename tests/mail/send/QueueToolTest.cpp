// mftool queue over a program folder: the outbox records it writes are the
// ones "後で送る" writes, carrier package included.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "base/ShiftJis.h"
#include "character/CharacterPackage.h"
#include "mail/store/MailStatus.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

class QueueToolTest : public ::testing::Test {
 protected:
  QueueToolTest() {
    platform::WriteFileAtomic(home_.Path() + "MFMail.ini", "[MailSet]\r\nMailAdd=taro@example.jp\r\n");
    platform::WriteFileAtomic(scratch_.Path() + "body.txt", Sj("本文です") + "\r\n");
    platform::WriteFileAtomic(scratch_.Path() + "note.txt", "attached");
  }

  // Runs mftool queue with `arguments` (UTF-8, already quoted for the shell).
  int Queue(const std::string& arguments) {
    const std::string command = "MFMAIL_HOME='" + home_.Path() + "' '" MFTOOL_PATH "' queue " + arguments + " < '" +
                                scratch_.Path() + "body.txt' > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  platform::TemporaryFolder home_;
  platform::TemporaryFolder scratch_;
};

TEST_F(QueueToolTest, QueuesACarriedMailWithItsFiles) {
  testing::MakeCharacter(home_.Path(), {.id = "<9@test>"});
  ASSERT_EQ(Queue("--to 'a@x.jp,b@y.jp' --subject '件名' --attach '" + scratch_.Path() +
                  "note.txt' --character 1"),
            0);
  MailStore store(home_.Path());
  const auto headers = store.ReadHeaderRecords(FolderKind::Outbox);
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].status, StatusWord(MailStatus::Waiting));
  EXPECT_EQ(SjisToUtf8(headers[0].subject), "件名");
  EXPECT_EQ(headers[0].from, "taro@example.jp");
  EXPECT_EQ(headers[0].to, "a@x.jp,b@y.jp");
  const std::string body = store.ReadBodyRecord(FolderKind::Outbox, 0);
  EXPECT_NE(body.find("X-Character: <9@test>"), std::string::npos);
  EXPECT_NE(body.find(Sj("本文です")), std::string::npos);
  const auto files = AttachmentFilesOf(body);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(platform::ReadFile(files[0]).value_or(""), "attached");
  EXPECT_EQ(platform::ExtractFileName(files[1]), "MofutanData.mfd");
  EXPECT_TRUE(CheckPackage(platform::ReadFile(files[1]).value_or("")).has_value());
}

TEST_F(QueueToolTest, WritesNothingForAMissingCharacterOrFile) {
  EXPECT_NE(Queue("--to a@x.jp --subject s --character 7"), 0);
  EXPECT_NE(Queue("--to a@x.jp --subject s --attach '" + scratch_.Path() + "gone.txt'"), 0);
  EXPECT_NE(Queue("--subject s"), 0);
  EXPECT_FALSE(platform::FileExists(MailStore(home_.Path()).HeaderPath(FolderKind::Outbox)));
}

}  // namespace
}  // namespace mf
