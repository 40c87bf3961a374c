#include "settings/InputChecks.h"

#include <cctype>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "settings/LiveSettings.h"

namespace mf {

namespace {

constexpr long kHighestPort = 65535;

// What a refused field says (UTF-8 here).
constexpr const char* kPortProblem = "ポート番号は1から65535までの数にしてください";
constexpr const char* kSamePorts = "POP3ポートと同じです。別のポートにしてください";
constexpr const char* kNoAt = "メールアドレスに「@」がありません（例: taro@example.jp）";
constexpr const char* kForbiddenCharacter = "メールアドレスに空白や「<」「>」「,」は使えません";
constexpr const char* kNothingBesideAt = "「@」の前後に文字が必要です（例: taro@example.jp）";

// The port a text stands for: its number, or the encryption's usual one
// when it is empty; nothing when it is no port.
std::optional<long> PortNumber(std::string_view text, const std::string& usual) {
  std::string port = Trim(text);
  if (port.empty()) port = usual;
  if (port.empty() || port.size() > 6) return std::nullopt;
  long value = 0;
  for (char c : port) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kHighestPort) return std::nullopt;
  return value;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<std::string> PortProblem(std::string_view port) {
  if (Trim(port).empty() || PortNumber(port, std::string())) return std::nullopt;
  return Sj(kPortProblem);
}

// Each text says what is wrong, so that the user knows what to mend.
std::optional<std::string> MailAddressProblem(std::string_view address) {
  const std::string text = Trim(address);
  if (text.empty()) return std::nullopt;
  const std::size_t at = text.rfind('@');
  if (at == std::string::npos) return Sj(kNoAt);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F || c == '<' || c == '>' || c == ',') {
      return Sj(kForbiddenCharacter);
    }
  }
  if (at == 0 || at + 1 == text.size()) return Sj(kNothingBesideAt);
  return std::nullopt;
}

std::vector<std::string> ProblemTexts() {
  std::vector<std::string> texts;
  for (const char* text : {kPortProblem, kSamePorts, kNoAt, kForbiddenCharacter, kNothingBesideAt}) {
    texts.push_back(Sj(text));
  }
  return texts;
}

std::vector<SettingsProblem> CheckSettings(const LiveSettings& settings) {
  std::vector<SettingsProblem> problems;
  if (auto text = PortProblem(settings.smtpPort)) problems.push_back({SettingsField::SmtpPort, *text});
  if (auto text = PortProblem(settings.pop3Port)) problems.push_back({SettingsField::Pop3Port, *text});
  if (problems.empty()) {
    const std::string smtpServer = Lower(Trim(settings.smtpServer));
    const auto smtp = PortNumber(settings.smtpPort, LiveSettings::DefaultSmtpPort(settings.smtpSecurity));
    const auto pop3 = PortNumber(settings.pop3Port, LiveSettings::DefaultPop3Port(settings.pop3Security));
    if (!smtpServer.empty() && smtpServer == Lower(Trim(settings.pop3Server)) && smtp && smtp == pop3) {
      problems.push_back({SettingsField::SmtpPort, Sj(kSamePorts)});
    }
  }
  if (auto text = MailAddressProblem(settings.mailAddress)) problems.push_back({SettingsField::MailAddress, *text});
  return problems;
}

}  // namespace mf
