#include "settings/LiveSettings.h"

#include "base/Integer.h"
#include "base/Text.h"

namespace mf {
namespace {

const std::string kSection = "MailSet";
constexpr int kMinute = 60000;

}  // namespace

std::string ScramblePassword(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ 0xD4);
  return out;
}

int ClampPeriod(int minutes) {
  if (minutes > 60) return 60;
  if (minutes < 1) return 1;
  return minutes;
}

LiveSettings::LiveSettings(platform::IniFile file, ReceiveTimerArm armTimer, AutostartSetter autostart,
                           platform::Keyring* keyring)
    : file_(std::move(file)), armTimer_(std::move(armTimer)), autostart_(std::move(autostart)), keyring_(keyring) {}

bool LiveSettings::PasswordsInKeyring() const {
  // A password still in the file (not yet moved, or refused by the keyring)
  // is kept there.
  return KeyringAnswers() && file_.ReadString(kSection, "POP3Pass", "").empty() &&
         file_.ReadString(kSection, "SMTPPass", "").empty();
}

bool LiveSettings::KeyringAnswers() const { return keyring_ && keyring_->Available(); }

platform::KeyringEntry LiveSettings::Pop3Entry() const { return {"pop3", account, pop3Server, pop3User}; }

platform::KeyringEntry LiveSettings::SmtpEntry() const { return {"smtp", account, smtpServer, smtpUser}; }

std::string LiveSettings::ReadPassword(const char* key, const platform::KeyringEntry& entry) {
  std::string stored = ScramblePassword(file_.ReadString(kSection, key, ""));
  if (!stored.empty() || !KeyringAnswers()) return stored;
  return keyring_->Lookup(entry).value_or("");
}

void LiveSettings::WritePassword(const char* key, const platform::KeyringEntry& entry,
                                 const platform::KeyringEntry& loaded, const std::string& password) {
  bool inKeyring = false;
  if (KeyringAnswers()) {
    if (!(loaded == entry)) keyring_->Clear(loaded);
    if (password.empty()) {
      keyring_->Clear(entry);
      inKeyring = true;
    } else {
      inKeyring = keyring_->Store(entry, password);
    }
  }
  // A keyring that refused leaves the password where it always was.
  file_.WriteString(kSection, key, inKeyring ? std::string() : ScramblePassword(password));
}

namespace {

ConnectionSecurity ReadSecurity(const platform::IniFile& file, const char* key) {
  int value = file.ReadInteger(kSection, key, 0);
  // A value this program never wrote means what an absent one means.
  if (value < 0 || value > 2) value = 0;
  return static_cast<ConnectionSecurity>(value);
}

}  // namespace

std::string LiveSettings::DefaultSmtpPort(ConnectionSecurity security) {
  switch (security) {
    case ConnectionSecurity::StartTls: return "587";  // RFC 6409 submission
    case ConnectionSecurity::Tls: return "465";       // RFC 8314
    case ConnectionSecurity::None: break;
  }
  return "25";
}

std::string LiveSettings::DefaultPop3Port(ConnectionSecurity security) {
  return security == ConnectionSecurity::Tls ? "995" : "110";
}

void LiveSettings::SetSmtpSecurity(ConnectionSecurity security) {
  if (smtpPort.empty() || smtpPort == DefaultSmtpPort(smtpSecurity)) smtpPort = DefaultSmtpPort(security);
  smtpSecurity = security;
}

void LiveSettings::SetPop3Security(ConnectionSecurity security) {
  if (pop3Port.empty() || pop3Port == DefaultPop3Port(pop3Security)) pop3Port = DefaultPop3Port(security);
  pop3Security = security;
}

void LiveSettings::ReadAccount() {
  account = file_.ReadString(kSection, "Acount", "");
  smtpServer = file_.ReadString(kSection, "SMTP_SV", "");
  pop3Server = file_.ReadString(kSection, "POP3SV", "");
  pop3User = file_.ReadString(kSection, "POP3User", "");
  myName = file_.ReadString(kSection, "MyName", "");
  mailAddress = file_.ReadString(kSection, "MailAdd", "");
  smtpPort = file_.ReadString(kSection, "SMTPPort", "25");
  pop3Port = file_.ReadString(kSection, "POP3Port", "110");
  smtpSecurity = ReadSecurity(file_, "SMTPSecurity");
  pop3Security = ReadSecurity(file_, "POP3Security");
  smtpAuth = file_.ReadBool(kSection, "SMTPAuth", false);
  smtpUser = file_.ReadString(kSection, "SMTPUser", "");
  loadedPop3_ = Pop3Entry();
  loadedSmtp_ = SmtpEntry();
  pop3Password = ReadPassword("POP3Pass", loadedPop3_);
  smtpPassword = ReadPassword("SMTPPass", loadedSmtp_);
}

void LiveSettings::ReadSignature() {
  signature.clear();
  int count = file_.ReadInteger(kSection, "SignLineCount", 0);
  for (int i = 0; i < count; ++i) {
    signature.push_back(file_.ReadString(kSection, "SignName" + std::to_string(i), ""));
  }
}

void LiveSettings::Load() {
  ReadAccount();
  alwaysRunning = file_.ReadBool(kSection, "AlwaysRunning", true);
  mailLeave = file_.ReadBool(kSection, "MailLeave", false);
  // While greyed out the box keeps whatever state it had.
  if (LeaveOtherMailerEnabled()) leaveOtherMailer = file_.ReadBool(kSection, "MailLeaveOtherMailer", false);
  rcvOnlyFromThisMailer = file_.ReadBool(kSection, "RcvOnlyFromThisMailer", false);
  rcvPeriodically = file_.ReadBool(kSection, "RcvPeriodically", true);
  int period = ClampPeriod(file_.ReadInteger(kSection, "RcvPeriod", 20));
  rcvPeriod = std::to_string(period);
  upDownPosition = period;
  if (armTimer_) armTimer_(period * kMinute, rcvPeriodically);
  mailSign = file_.ReadBool(kSection, "MailSign", false);
  popBeforeSmtp = file_.ReadBool(kSection, "PopBeforeSMTP", false);
  ReadSignature();
}

void LiveSettings::Save() {
  if (smtpPort.empty()) smtpPort = DefaultSmtpPort(smtpSecurity);
  if (pop3Port.empty()) pop3Port = DefaultPop3Port(pop3Security);
  file_.WriteString(kSection, "Acount", account);
  file_.WriteString(kSection, "SMTP_SV", smtpServer);
  file_.WriteString(kSection, "POP3SV", pop3Server);
  file_.WriteString(kSection, "POP3User", pop3User);
  WritePassword("POP3Pass", Pop3Entry(), loadedPop3_, pop3Password);
  file_.WriteString(kSection, "MyName", myName);
  file_.WriteString(kSection, "MailAdd", mailAddress);
  file_.WriteString(kSection, "SMTPPort", smtpPort);
  file_.WriteString(kSection, "POP3Port", pop3Port);
  file_.WriteInteger(kSection, "SMTPSecurity", static_cast<int>(smtpSecurity));
  file_.WriteInteger(kSection, "POP3Security", static_cast<int>(pop3Security));
  file_.WriteBool(kSection, "SMTPAuth", smtpAuth);
  file_.WriteString(kSection, "SMTPUser", smtpUser);
  WritePassword("SMTPPass", SmtpEntry(), loadedSmtp_, smtpPassword);
  loadedPop3_ = Pop3Entry();
  loadedSmtp_ = SmtpEntry();
  file_.WriteBool(kSection, "AlwaysRunning", alwaysRunning);
  file_.WriteBool(kSection, "MailLeave", mailLeave);
  file_.WriteBool(kSection, "MailLeaveOtherMailer", leaveOtherMailer);
  file_.WriteBool(kSection, "RcvOnlyFromThisMailer", rcvOnlyFromThisMailer);
  file_.WriteBool(kSection, "RcvPeriodically", rcvPeriodically);

  int period = IsInteger(rcvPeriod) ? ClampPeriod(*ToInteger(rcvPeriod)) : 20;
  file_.WriteInteger(kSection, "RcvPeriod", period);
  if (armTimer_) armTimer_(period * kMinute, rcvPeriodically);

  // Lines left over from a longer signature stay in the file but are never
  // read: only SignLineCount of them count.
  file_.WriteInteger(kSection, "SignLineCount", static_cast<int>(signature.size()));
  file_.WriteBool(kSection, "MailSign", mailSign);
  file_.WriteBool(kSection, "PopBeforeSMTP", popBeforeSmtp);
  for (std::size_t i = 0; i < signature.size(); ++i) {
    file_.WriteString(kSection, "SignName" + std::to_string(i), signature[i]);
  }
  if (autostart_) autostart_(alwaysRunning);
}

void LiveSettings::Reread() {
  ReadAccount();
  mailLeave = file_.ReadBool(kSection, "MailLeave", false);
  mailSign = file_.ReadBool(kSection, "MailSign", false);
  ReadSignature();
}

bool LiveSettings::AcceptPortKey(char key) { return (key >= '0' && key <= '9') || key == '\b'; }

bool LiveSettings::AcceptPeriodKey(char key) {
  return (key >= '0' && key <= '9') || key == '.' || key == '\b';
}

std::string LiveSettings::NormalizePeriodText(const std::string& text) {
  if (auto value = ToInteger(text)) {
    if (*value > 60) return "60";
    if (*value < 0) return "0";
    return std::to_string(*value);
  }
  return Trim(text).empty() ? text : "20";
}

std::string LiveSettings::SignatureText() const {
  std::string text;
  for (std::size_t i = 0; i < signature.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += signature[i];
  }
  return text;
}

}  // namespace mf
