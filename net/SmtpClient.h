#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/LineSession.h"
#include "net/NetErrors.h"
#include "net/RequestEngine.h"
#include "net/TcpSocket.h"
#include "platform/EventLoop.h"

namespace mf {

// What OnRequestDone reports as done.
enum class SmtpRequest {
  Connect = 0,
  Helo = 1,
  MailFrom = 2,
  RcptTo = 4,
  Data = 5,
  Quit = 6,
  Rset = 7,
  Open = 8,
  Mail = 9,
  Ehlo = 10,
  Auth = 11,
};

// SmtpAuth::Auto picks the strongest mechanism the server offers of
// CRAM-MD5, PLAIN and LOGIN, the latter two only on an encrypted connection.
enum class SmtpAuth {
  None = 0,
  Plain = 1,
  Login = 2,
  CramMd5 = 3,
  Auto = 4,
};

// Misuse at the call ("SMTP component not ready", ...). Network and protocol
// failures never throw: they arrive through OnRequestDone.
class SmtpException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The next line of a message without its CR LF (a header line may carry its
// own folds); false after the last. Throwing gives the message up.
using MessageLineSource = std::function<bool(std::string& line)>;

// An SMTP client: it sends an envelope and a message its caller made. Every
// request returns at once and completes exactly once through OnRequestDone,
// posted to the event loop, so it never fires inside the call that started it.
class SmtpClient {
 public:
  using TextEvent = std::function<void(SmtpClient& sender, const std::string& msg)>;
  using ErrorEvent = std::function<void(SmtpClient& sender, std::uint16_t error)>;

  // The receive buffer; a reply line must fit in it.
  static constexpr int kReceiveBufferSize = 4096;
  static constexpr int kDefaultTimeoutSeconds = 120;

  explicit SmtpClient(platform::EventLoop& loop);
  // Over another transport than a TCP socket (tests, fuzzing).
  SmtpClient(platform::EventLoop& loop, std::unique_ptr<Transport> transport);
  ~SmtpClient();
  SmtpClient(const SmtpClient&) = delete;
  SmtpClient& operator=(const SmtpClient&) = delete;

  // --- published properties ----------------------------------------------
  std::string Host;
  std::string LocalAddr = "0.0.0.0";
  std::string Port = "smtp";
  std::string SignOn;  // HELO/EHLO argument; empty: the local host name
  std::string Username;
  std::string Password;
  SmtpAuth AuthType = SmtpAuth::None;
  std::string EnvelopeFrom;              // MAIL FROM
  std::vector<std::string> EnvelopeTo;   // RCPT TO, one each
  // What DATA sends, dot-stuffed and ended with "."; asked for a batch at a
  // time as the connection takes it. Unset: an empty message.
  MessageLineSource Message;
  // Seconds without any sign of life from the server before a pending
  // request is given up with 10060; 0 waits for ever.
  int Timeout = kDefaultTimeoutSeconds;
  // StartTls: Connect completes once the greeting, EHLO, STARTTLS and the
  // handshake are through, so every command after it is encrypted (the
  // caller's HELO or EHLO is the greeting again that RFC 3207 asks for).
  // Implicit: TLS from the first byte. A server that cannot be secured
  // fails Connect with its TLS error number; nothing is sent in clear.
  TlsMode Security = TlsMode::None;

  ClientState State() const { return engine_.State(); }
  // The connection is encrypted.
  bool Secure() const { return session_.Secure(); }
  // The lines of the last successful EHLO reply, codes removed.
  const std::vector<std::string>& Capabilities() const { return capabilities_; }
  const std::string& ErrorMessage() const { return engine_.errorMessage; }
  const std::string& LastResponse() const { return engine_.lastResponse; }
  bool Connected() const { return engine_.connected; }

  // --- events -------------------------------------------------------------
  TextEvent OnDisplay;
  TextEvent OnCommand;
  TextEvent OnResponse;
  std::function<void(SmtpClient& sender, SmtpRequest rqType, std::uint16_t error)> OnRequestDone;
  ErrorEvent OnSessionConnected;
  ErrorEvent OnSessionClosed;

  // --- requests -----------------------------------------------------------
  void Connect();
  // With a log-in asked for (AuthType other than SmtpAuth::None) the greeting
  // is EHLO and the log-in follows within the same request, so that a
  // caller's Connect, Helo, Mail, Quit works with a server that wants one.
  void Helo();
  void Ehlo();
  void Auth();
  void MailFrom();
  void RcptTo();
  void Data();
  void Quit();
  void Rset();
  void Open();
  void Mail();
  // Synchronous: drops the connection; a pending request completes (426 for
  // Open and Mail).
  void Abort();

 private:
  // What the awaited reply answers, and so what follows it.
  enum class Phase {
    Command,            // the request's own command: its reply completes it
    UpgradeEhlo,        // EHLO before STARTTLS
    UpgradeStartTls,    // STARTTLS
    GreetingBeforeAuth, // Helo's EHLO, the log-in follows
    Ehlo,
    AuthLogin,          // AUTH LOGIN, the user name goes next
    AuthLoginUser,      // the user name, the password goes next
    AuthCramMd5,        // AUTH CRAM-MD5, the challenge arrives
    Recipient,          // one RCPT TO, the next recipient goes next
    Data,               // DATA, the message goes next
  };

  using Engine = RequestEngine<SmtpRequest, SmtpException>;

  void ExecAsync(SmtpRequest type, const std::string& command, std::vector<int> okResponses,
                 Phase phase = Phase::Command, const std::string& shown = std::string());
  void SendCommand(const std::string& command, const std::string& shown = std::string());
  void FailWithoutCommand(int code, const std::string& response);
  void RunStep(SmtpRequest step);
  bool StepFailed(SmtpRequest step, int error);
  std::string Greeting() const;  // the argument of HELO and EHLO

  // Session events.
  void SocketDnsLookupDone(std::uint16_t error);
  void SocketSessionConnected(std::uint16_t error);
  void SocketDataSent();
  void SocketSessionClosed(std::uint16_t error);

  void HandleLine(const std::string& line);
  void HandleBanner();
  void ConnectionReady();
  void UpgradeEhloDone();
  void UpgradeAccepted();
  void UpgradeFinished(int error);
  void FailConnect(int error);
  void SendInternal(const std::string& command, std::vector<int> okResponses, Phase phase);
  void StandardResponse();
  void ReplyLineTooLong();

  void StartAuth(SmtpAuth type);
  SmtpAuth ChooseAuth() const;
  void AuthLoginUser();
  void AuthLoginPassword();
  void AuthCramMd5Answer();
  void NextRecipient();
  void DataAccepted();
  void SendNextDataLine();
  void AbandonMessage(const std::string& why);

  void ArmTimeout();
  void TimedOut();

  LineSession session_;
  Engine engine_;

  std::vector<int> okResponses_;
  Phase phase_ = Phase::Command;
  bool esmtp_ = false;
  std::vector<std::string> capabilities_;
  bool readingCapabilities_ = false;
  bool loggedIn_ = false;  // AUTH succeeded on this connection

  std::size_t rcptIndex_ = 0;
  bool sendingData_ = false;
};

}  // namespace mf
