#include "settings/ClientSetup.h"

#include "base/Text.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"

namespace mf {

namespace {

TlsMode ToTlsMode(ConnectionSecurity security) {
  switch (security) {
    case ConnectionSecurity::StartTls: return TlsMode::StartTls;
    case ConnectionSecurity::Tls: return TlsMode::Implicit;
    case ConnectionSecurity::None: break;
  }
  return TlsMode::None;
}

}  // namespace

void ConfigureSmtpClient(const LiveSettings& settings, SmtpClient& client) {
  client.Host = Trim(settings.smtpServer);
  const std::string port = Trim(settings.smtpPort);
  client.Port = port.empty() ? LiveSettings::DefaultSmtpPort(settings.smtpSecurity) : port;
  client.Security = ToTlsMode(settings.smtpSecurity);
  if (settings.smtpAuth) {
    client.AuthType = SmtpAuth::Auto;
    client.Username = settings.SmtpLogInUser();
    client.Password = settings.SmtpLogInPassword();
  } else {
    client.AuthType = SmtpAuth::None;
  }
}

void ConfigurePop3Client(const LiveSettings& settings, Pop3Client& client) {
  client.SetHost(Trim(settings.pop3Server));
  const std::string port = Trim(settings.pop3Port);
  client.SetPort(port.empty() ? LiveSettings::DefaultPop3Port(settings.pop3Security) : port);
  client.SetSecurity(ToTlsMode(settings.pop3Security));
  client.SetUserName(settings.pop3User);
  client.SetPassWord(settings.pop3Password);
}

}  // namespace mf
