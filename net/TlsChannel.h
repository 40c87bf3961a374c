#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace mf {

// How a connection is protected. StartTls upgrades a plain connection after
// the greeting (SMTP STARTTLS, POP3 STLS); Implicit speaks TLS from the
// first byte (SMTPS on 465, POP3S on 995).
enum class TlsMode { None = 0, StartTls = 1, Implicit = 2 };

// The client side of one TLS session, working on bytes only: what comes
// from the network is put in, what must go to it is taken out. It never
// touches a socket, so it runs on the event loop over any transport and
// never blocks. The peer's certificate is checked against the system's
// trust store (OpenSSL's default paths, which honour SSL_CERT_FILE and
// SSL_CERT_DIR) and must name `host`; TLS 1.2 is the oldest version spoken.
class TlsChannel {
 public:
  enum class Status { Pending, Ready, Failed, Closed };

  // A channel that has failed to start reports it through Error().
  explicit TlsChannel(const std::string& host);
  ~TlsChannel();
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // Runs the handshake as far as the bytes received allow.
  Status Handshake();
  bool Secure() const { return secure_; }

  // Bytes from the network.
  void PutNetworkBytes(std::string_view bytes);
  // Decrypts what has arrived and appends it to `plain`. Closed once the
  // peer said it is done; Failed on a record that does not decrypt.
  Status ReadPlain(std::string& plain);
  // Encrypts `plain`; false when the session failed.
  bool WritePlain(std::string_view plain);
  // Bytes waiting to go to the network, taken out.
  std::string TakeNetworkBytes();

  // The error number (net/NetErrors.h) and an English detail of a failure.
  int Error() const { return error_; }
  const std::string& Detail() const { return detail_; }

 private:
  struct Handles;

  bool Setup(const std::string& host);
  void Fail(int error, std::string detail);
  void FailFromLibrary(int sslError);

  std::unique_ptr<Handles> handles_;
  bool secure_ = false;
  int error_ = 0;
  std::string detail_;
};

}  // namespace mf
