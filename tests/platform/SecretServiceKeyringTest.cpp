#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "platform/secret/SecretServiceKeyring.h"
#include "settings/LiveSettings.h"

namespace mf::platform {
namespace {

// Run by tests/platform/keyring_session, which says whether a keyring answers.
class SecretServiceKeyringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* mode = std::getenv("MFMAIL_KEYRING");
    if (!mode) GTEST_SKIP() << "run through tests/platform/keyring_session";
    withService = std::string(mode) == "service";
  }

  bool withService = false;
  SecretServiceKeyring keyring;
  const KeyringEntry entry{"pop3", Sj("わたしのアカウント"), "pop.example.jp", "alice"};
  TemporaryFolder folder;
  std::string path = folder.Path() + "MFMail.ini";
};

TEST_F(SecretServiceKeyringTest, ThePasswordsGoWhereTheSessionCanKeepThem) {
  const std::string password = Sj("ひみつ-secret");
  EXPECT_EQ(keyring.Available(), withService);
  EXPECT_EQ(keyring.Store(entry, password), withService);
  EXPECT_EQ(keyring.Lookup(entry), withService ? std::optional(password) : std::nullopt);
  KeyringEntry otherUser = entry;
  otherUser.user = "bob";
  EXPECT_FALSE(keyring.Lookup(otherUser));
  keyring.Clear(entry);
  EXPECT_FALSE(keyring.Lookup(entry));

  // The settings over the real keyring: an old scrambled password moves in,
  // or stays in the file where no keyring answers.
  {
    IniFile file(path);
    file.WriteString("MailSet", "Acount", entry.account);
    file.WriteString("MailSet", "POP3SV", entry.server);
    file.WriteString("MailSet", "POP3User", entry.user);
    file.WriteString("MailSet", "POP3Pass", ScramblePassword(password));
  }
  LiveSettings settings(IniFile(path), nullptr, nullptr, &keyring);
  settings.Load();
  settings.Save();
  EXPECT_EQ(IniFile(path).ReadString("MailSet", "POP3Pass", "?"), withService ? "" : ScramblePassword(password));
  EXPECT_EQ(settings.PasswordsInKeyring(), withService);
  SecretServiceKeyring later;
  LiveSettings reread(IniFile(path), nullptr, nullptr, &later);
  reread.Load();
  EXPECT_EQ(reread.pop3Password, password);
  keyring.Clear(entry);
}

}  // namespace
}  // namespace mf::platform
