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

LiveSettings::LiveSettings(platform::IniFile file, ReceiveTimerArm armTimer, AutostartSetter autostart)
    : file_(std::move(file)), armTimer_(std::move(armTimer)), autostart_(std::move(autostart)) {}

void LiveSettings::ReadAccount() {
  pop3Password = ScramblePassword(file_.ReadString(kSection, "POP3Pass", ""));
  account = file_.ReadString(kSection, "Acount", "");
  smtpServer = file_.ReadString(kSection, "SMTP_SV", "");
  pop3Server = file_.ReadString(kSection, "POP3SV", "");
  pop3User = file_.ReadString(kSection, "POP3User", "");
  myName = file_.ReadString(kSection, "MyName", "");
  mailAddress = file_.ReadString(kSection, "MailAdd", "");
  smtpPort = file_.ReadString(kSection, "SMTPPort", "25");
  pop3Port = file_.ReadString(kSection, "POP3Port", "110");
}

void LiveSettings::ReadSignature() {
  signature.clear();
  int count = file_.ReadInteger(kSection, "SignLineCount", 0);
  for (int i = 0; i < count; ++i) {
    signature.push_back(file_.ReadString(kSection, "SignName" + std::to_string(i), ""));
  }
}

void LiveSettings::FormCreate() {
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

void LiveSettings::OKButtonClick() {
  if (smtpPort.empty()) smtpPort = "25";
  if (pop3Port.empty()) pop3Port = "110";
  file_.WriteString(kSection, "Acount", account);
  file_.WriteString(kSection, "SMTP_SV", smtpServer);
  file_.WriteString(kSection, "POP3SV", pop3Server);
  file_.WriteString(kSection, "POP3User", pop3User);
  file_.WriteString(kSection, "POP3Pass", ScramblePassword(pop3Password));
  file_.WriteString(kSection, "MyName", myName);
  file_.WriteString(kSection, "MailAdd", mailAddress);
  file_.WriteString(kSection, "SMTPPort", smtpPort);
  file_.WriteString(kSection, "POP3Port", pop3Port);
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

void LiveSettings::CancelClick() {
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
