#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/Keyring.h"

namespace mf {

// How a mail server connection is protected ("なし", "STARTTLS", "SSL/TLS"),
// stored as 0, 1, 2.
enum class ConnectionSecurity { None = 0, StartTls = 1, Tls = 2 };

// Arms the hut's periodic-receive timer (interval in milliseconds).
using ReceiveTimerArm = std::function<void(int intervalMs, bool enabled)>;
// Adds or removes the start-with-the-desktop entry.
using AutostartSetter = std::function<void(bool enabled)>;

// The settings the running program works with. The settings dialog edits
// these fields directly, so a box the user toggled is in effect even when
// the dialog is cancelled, while Cancel re-reads the account fields from the
// file. Every other window reads the current values from here.
//
// With a keyring that answers, the passwords live there and the file keeps
// none; a password still in the file (an older version's, or one written
// while no keyring answered) is read from the file and moves into the
// keyring at the next save.
class LiveSettings {
 public:
  LiveSettings(platform::IniFile file, ReceiveTimerArm armTimer, AutostartSetter autostart,
               platform::Keyring* keyring = nullptr);

  // Field values as the dialog shows them.
  std::string account;         // ACOUNT
  std::string smtpServer;      // E_SMTP_SV
  std::string pop3Server;      // E_POP3_SV
  std::string pop3User;        // E_POP3USERID
  std::string pop3Password;    // E_POP3USEPASS, plain
  std::string myName;          // E_NAME
  std::string mailAddress;     // E_MAILADD
  std::string smtpPort = "25";   // SMTPPORT
  std::string pop3Port = "110";  // POP3PORT
  bool alwaysRunning = true;        // cbAlwaysRunning
  bool mailLeave = false;           // MailLeave
  bool leaveOtherMailer = false;    // cbLeaveOtherMailer
  bool rcvOnlyFromThisMailer = false;
  bool rcvPeriodically = true;
  std::string rcvPeriod = "20";     // edRcvPeriod
  int upDownPosition = 20;
  bool mailSign = false;            // CheckSine
  bool popBeforeSmtp = false;       // cbPopBeforeSMTP
  std::vector<std::string> signature;  // MemoSine lines
  // Encrypted connections and the SMTP log-in. Absent from an older file,
  // they read as today's behaviour: no encryption, no log-in.
  ConnectionSecurity smtpSecurity = ConnectionSecurity::None;
  ConnectionSecurity pop3Security = ConnectionSecurity::None;
  bool smtpAuth = false;
  std::string smtpUser;      // empty: the POP3 user
  std::string smtpPassword;  // plain; empty: the POP3 password

  // The usual port of each choice: 110/995 for POP3, 25/587/465 for SMTP.
  static std::string DefaultSmtpPort(ConnectionSecurity security);
  static std::string DefaultPop3Port(ConnectionSecurity security);
  // Changing the security moves a port the user left at the old choice's
  // default to the new one's; a port the user typed stays.
  void SetSmtpSecurity(ConnectionSecurity security);
  void SetPop3Security(ConnectionSecurity security);
  // The log-in SMTP uses: its own when given, else the POP3 account's.
  std::string SmtpLogInUser() const { return smtpUser.empty() ? pop3User : smtpUser; }
  std::string SmtpLogInPassword() const { return smtpUser.empty() ? pop3Password : smtpPassword; }

  // Enabling rules of the dialog.
  bool LeaveOtherMailerEnabled() const { return !mailLeave; }
  bool PeriodEnabled() const { return rcvPeriodically; }

  // Loads every field from the file and arms the receive timer.
  void Load();
  // Saves every field, arms the timer and sets the autostart entry.
  void Save();
  // Re-reads the account fields, the leave-on-server box and the signature.
  void Reread();

  // Input filters: whether a typed character is accepted.
  static bool AcceptPortKey(char key);
  static bool AcceptPeriodKey(char key);
  // The text the period edit holds after a change to `text`.
  static std::string NormalizePeriodText(const std::string& text);

  // The signature as one text, lines joined by CR LF.
  std::string SignatureText() const;

  const platform::IniFile& File() const { return file_; }

  // Whether the passwords are kept in the desktop's keyring (else in the file).
  bool PasswordsInKeyring() const;

 private:
  void ReadAccount();
  void ReadSignature();
  bool KeyringAnswers() const;
  platform::KeyringEntry Pop3Entry() const;
  platform::KeyringEntry SmtpEntry() const;
  std::string ReadPassword(const char* key, const platform::KeyringEntry& entry);
  void WritePassword(const char* key, const platform::KeyringEntry& entry, const platform::KeyringEntry& loaded,
                     const std::string& password);

  platform::IniFile file_;
  ReceiveTimerArm armTimer_;
  AutostartSetter autostart_;
  platform::Keyring* keyring_;
  // Where the passwords were read from: an entry whose account, server or
  // user changed since is cleared from the keyring when saving.
  platform::KeyringEntry loadedPop3_;
  platform::KeyringEntry loadedSmtp_;
};

// The stored form of the POP3 password: every byte exclusive-ORed with 0xD4.
std::string ScramblePassword(const std::string& text);

// Minutes clamped to 1..60.
int ClampPeriod(int minutes);

}  // namespace mf
