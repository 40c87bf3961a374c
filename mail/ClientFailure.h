#pragma once

#include <cstdint>
#include <string>

namespace mf {

// What the user is told when a mail client's request failed: the Japanese
// text of a failure the user can act on (a certificate, the log-in, a server
// that cannot be reached), else the client's own message, the server's last
// reply, or the fallback (UTF-8 in the source, Shift_JIS out).
std::string ClientFailureText(std::uint16_t error, const std::string& errorMessage,
                              const std::string& lastResponse, const char* fallbackUtf8);

}  // namespace mf
