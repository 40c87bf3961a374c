#pragma once

#include "settings/LiveSettings.h"

namespace mf {

class Pop3Client;
class SmtpClient;

// Points a client at the server of the live settings: host, port, the
// encryption chosen and the log-in (for SMTP only when "SMTP認証" is on). Nothing else of the client
// is touched, so a caller sets its mail's properties as before.
void ConfigureSmtpClient(const LiveSettings& settings, SmtpClient& client);
void ConfigurePop3Client(const LiveSettings& settings, Pop3Client& client);

}  // namespace mf
