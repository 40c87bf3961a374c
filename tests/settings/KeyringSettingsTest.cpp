#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "platform/Files.h"
#include "settings/LiveSettings.h"

namespace mf {
namespace {

// A keyring in memory that can be switched off or made to refuse.
class MemoryKeyring final : public platform::Keyring {
 public:
  bool Available() override { return answers; }
  std::optional<std::string> Lookup(const platform::KeyringEntry& entry) override {
    auto found = passwords.find(Key(entry));
    if (found == passwords.end()) return std::nullopt;
    return found->second;
  }
  bool Store(const platform::KeyringEntry& entry, const std::string& password) override {
    if (refuses) return false;
    passwords[Key(entry)] = password;
    return true;
  }
  void Clear(const platform::KeyringEntry& entry) override { passwords.erase(Key(entry)); }

  using EntryKey = std::tuple<std::string, std::string, std::string, std::string>;
  static EntryKey Key(const platform::KeyringEntry& e) { return {e.protocol, e.account, e.server, e.user}; }

  bool answers = true;
  bool refuses = false;
  std::map<EntryKey, std::string> passwords;
};

class KeyringSettingsTest : public ::testing::Test {
 protected:
  LiveSettings Make() { return LiveSettings(platform::IniFile(path), nullptr, nullptr, &keyring); }
  std::string InFile(const char* key) const { return platform::IniFile(path).ReadString("MailSet", key, "?"); }

  // What an older version left: the account with its scrambled passwords.
  void WriteOldSettings() {
    platform::IniFile file(path);
    file.WriteString("MailSet", "Acount", "alice");
    file.WriteString("MailSet", "POP3SV", "pop.example.jp");
    file.WriteString("MailSet", "POP3User", "alice");
    file.WriteString("MailSet", "POP3Pass", ScramblePassword("pop-secret"));
    file.WriteString("MailSet", "SMTP_SV", "smtp.example.jp");
    file.WriteString("MailSet", "SMTPUser", "alice-smtp");
    file.WriteString("MailSet", "SMTPPass", ScramblePassword("smtp-secret"));
  }

  platform::TemporaryFolder folder;
  std::string path = folder.Path() + "MFMail.ini";
  MemoryKeyring keyring;
};

TEST_F(KeyringSettingsTest, TheFirstSaveMovesThePasswordsIntoTheKeyringAndTheFileKeepsNone) {
  WriteOldSettings();
  auto settings = Make();
  settings.Load();
  EXPECT_EQ(settings.pop3Password, "pop-secret");
  EXPECT_EQ(settings.smtpPassword, "smtp-secret");
  settings.Save();
  EXPECT_EQ(InFile("POP3Pass"), "");
  EXPECT_EQ(InFile("SMTPPass"), "");
  EXPECT_EQ(keyring.Lookup({"pop3", "alice", "pop.example.jp", "alice"}), "pop-secret");
  EXPECT_EQ(keyring.Lookup({"smtp", "alice", "smtp.example.jp", "alice-smtp"}), "smtp-secret");

  auto again = Make();
  again.Load();
  EXPECT_EQ(again.pop3Password, "pop-secret");
  EXPECT_EQ(again.smtpPassword, "smtp-secret");
  EXPECT_TRUE(again.PasswordsInKeyring());
}

TEST_F(KeyringSettingsTest, WithoutAKeyringOrWhenItRefusesThePasswordStaysScrambledInTheFile) {
  for (bool answers : {false, true}) {
    SCOPED_TRACE(answers ? "a keyring that refuses" : "no keyring");
    keyring.answers = answers;
    keyring.refuses = true;
    WriteOldSettings();
    auto settings = Make();
    settings.Load();
    settings.pop3Password = "changed";
    settings.Save();
    EXPECT_EQ(InFile("POP3Pass"), ScramblePassword("changed"));
    EXPECT_EQ(InFile("SMTPPass"), ScramblePassword("smtp-secret"));
    EXPECT_TRUE(keyring.passwords.empty());
    EXPECT_FALSE(Make().PasswordsInKeyring());
  }
}

TEST_F(KeyringSettingsTest, AChangedAccountServerOrUserLeavesNoPasswordBehindUnderTheOldKey) {
  WriteOldSettings();
  auto settings = Make();
  settings.Load();
  settings.Save();
  settings.pop3Server = "pop.example.com";
  settings.pop3Password = "new-secret";
  settings.Save();
  EXPECT_FALSE(keyring.Lookup({"pop3", "alice", "pop.example.jp", "alice"}));
  EXPECT_EQ(keyring.Lookup({"pop3", "alice", "pop.example.com", "alice"}), "new-secret");
  // An emptied password leaves the keyring too.
  settings.pop3Password.clear();
  settings.Save();
  EXPECT_FALSE(keyring.Lookup({"pop3", "alice", "pop.example.com", "alice"}));
  EXPECT_EQ(InFile("POP3Pass"), "");
}

}  // namespace
}  // namespace mf
