#pragma once

#include <string>

namespace mf {

// Failures of an encrypted session and of an SMTP log-in. They share the
// error numbers of OnRequestDone with the socket errors (10000-11004) and
// the servers' reply codes (below 600), so each gets a range of its own.
namespace tls {
constexpr int kUntrusted = 12001;         // unknown authority, self-signed, incomplete chain
constexpr int kExpired = 12002;           // expired or not yet valid
constexpr int kWrongHost = 12003;         // the certificate names another host
constexpr int kBadCertificate = 12004;    // any other certificate fault
constexpr int kHandshakeFailed = 12005;   // no common version or cipher, protocol error
constexpr int kClosedInHandshake = 12006; // the peer hung up before the session was secure
constexpr int kNotOffered = 12007;        // no STARTTLS / STLS although it was asked for
constexpr int kStreamBroken = 12008;      // a record that does not decrypt, after the handshake
constexpr int kSetupFailed = 12009;       // the TLS library could not be prepared
constexpr int kNoAuthMechanism = 12010;   // SMTP: no log-in method the server offers may be used here
}  // namespace tls

bool IsTlsError(int error);

// English description for LastResponse and logs: the TLS texts for their
// numbers, the socket descriptions for the others.
std::string NetErrorText(int error);

// What the user is told, in Japanese (Shift_JIS), for the failures a user
// can do something about: certificates, log-in, unreachable servers.
// Empty for numbers without a text of their own.
std::string NetErrorTextJa(int error);

// "500 <text> (TLS error #12001)" or "... (socket error #10061)".
std::string NetErrorResponse(const std::string& prefix, int error);

}  // namespace mf
