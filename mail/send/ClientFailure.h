#pragma once

#include <string>

namespace mf {

// A request to a mail server that failed, with what the client knew then.
struct ServerFailure {
  const char* serverKind = "SMTP";  // "SMTP" or "POP3", as the settings name them
  std::string host;
  std::string port;
  int error = 0;              // the request's error number
  std::string errorMessage;   // the client's: the first reply that refused, or its own words
  std::string lastResponse;   // the last line the client heard or made up
  // Where in the session it failed: SessionStepOf a command, or "greeting",
  // "tls" (the handshake), "body"; empty when unknown.
  std::string step;
};

// The step a command line starts ("RCPT TO:<a@b>" is "RCPT TO", "RETR 3" is
// "RETR"); its key for ServerFailure::step.
std::string SessionStepOf(const std::string& command);
// The step in the user's words (Shift_JIS), "RCPT TO（宛先の指定）の応答待ち";
// empty for an unknown one.
std::string SessionStepText(const std::string& step);

// The failure in the user's terms (Shift_JIS): a server that cannot be
// reached is named with its port and why (refused, not found, silent,
// unreachable, not secured); a server that refused is quoted in its own
// words; a connection lost on the way says so. A server that was reached
// is told with the step of the session that failed.
std::string ServerFailureText(const ServerFailure& failure);

}  // namespace mf
