#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/Pop3Client.h"

namespace mf {

namespace platform {
class EventLoop;
}
class LiveSettings;

// The POP-before-SMTP login of both senders: connect, USER, PASS and QUIT,
// each on the completion of the one before. The server's answers to USER
// and PASS do not stop it (the SMTP server decides whether the login
// counted); a login that never reached the server, or lost it before its
// end, fails, or the send commands would stay disabled with nobody told.
class PopBeforeSmtpLogin {
 public:
  explicit PopBeforeSmtpLogin(platform::EventLoop& loop);
  ~PopBeforeSmtpLogin();
  PopBeforeSmtpLogin(const PopBeforeSmtpLogin&) = delete;
  PopBeforeSmtpLogin& operator=(const PopBeforeSmtpLogin&) = delete;

  // Points the client at the POP3 server of the settings and connects;
  // throws what the client's Connect throws.
  void Start(const LiveSettings& settings);
  // Ends the login without an event.
  void Abort();
  bool Busy() const { return active_ || client_.Connected(); }
  Pop3Client& Client() { return client_; }

  std::function<void()> OnLoggedIn;
  std::function<void(const std::string& text)> OnFailed;  // Shift_JIS, for the user

 private:
  void RequestDone(Pop3Request type, std::uint16_t error);
  void SessionClosed(std::uint16_t error);
  void Succeed();
  void Fail(const std::string& text);
  // Fails naming the POP3 server, the step and what went wrong.
  void FailWith(int error);

  Pop3Client client_;
  const LiveSettings* settings_ = nullptr;
  bool active_ = false;
  bool loginDone_ = false;
  bool connected_ = false;  // the connection was made
  std::string step_;        // ServerFailure::step of the request under way
};

}  // namespace mf
