#include "mail/ClientFailure.h"

#include "base/ShiftJis.h"
#include "net/NetErrors.h"

namespace mf {

std::string ClientFailureText(std::uint16_t error, const std::string& errorMessage,
                              const std::string& lastResponse, const char* fallbackUtf8) {
  if (error != 0) {
    if (std::string japanese = NetErrorTextJa(error); !japanese.empty()) return japanese;
  }
  if (!errorMessage.empty()) return errorMessage;
  if (!lastResponse.empty()) return lastResponse;
  return Sj(fallbackUtf8);
}

}  // namespace mf
