#include "settings/InputChecks.h"

#include <cctype>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "settings/LiveSettings.h"

namespace mf {

namespace {

constexpr long kHighestPort = 65535;

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
  return Sj("ポート番号は1から65535までの数にしてください");
}

std::optional<std::string> MailAddressProblem(std::string_view address) {
  const std::string text = Trim(address);
  if (text.empty()) return std::nullopt;
  const std::size_t at = text.rfind('@');
  bool plausible = at != std::string::npos && at > 0 && at + 1 < text.size();
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F || c == '<' || c == '>' || c == ',') plausible = false;
  }
  if (plausible) return std::nullopt;
  return Sj("「@」の前後に文字が必要です（例: taro@example.jp）");
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
      problems.push_back({SettingsField::SmtpPort,
                          Sj("POP3ポートと同じです。別のポートにしてください")});
    }
  }
  if (auto text = MailAddressProblem(settings.mailAddress)) problems.push_back({SettingsField::MailAddress, *text});
  return problems;
}

}  // namespace mf
