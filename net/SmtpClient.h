#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/LineSession.h"
#include "net/NetErrors.h"
#include "net/TcpSocket.h"
#include "platform/EventLoop.h"

namespace mf {

enum TSmtpState {
  smtpReady = 0,
  smtpDnsLookup = 1,
  smtpConnecting = 2,
  smtpConnected = 3,
  smtpInternalReady = 4,
  smtpWaitingBanner = 5,
  smtpWaitingResponse = 6,
  smtpAbort = 7,
};

enum TSmtpRequest {
  smtpConnect = 0,
  smtpHelo = 1,
  smtpMailFrom = 2,
  smtpRcptTo = 4,
  smtpData = 5,
  smtpQuit = 6,
  smtpRset = 7,
  smtpOpen = 8,
  smtpMail = 9,
  smtpEhlo = 10,
  smtpAuth = 11,
};

// smtpAuthAuto picks the strongest mechanism the server offers of
// CRAM-MD5, PLAIN and LOGIN, the latter two only on an encrypted connection.
enum TSmtpAuthType {
  smtpAuthNone = 0,
  smtpAuthPlain = 1,
  smtpAuthLogin = 2,
  smtpAuthCramMD5 = 3,
  smtpAuthAuto = 4,
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
  TSmtpAuthType AuthType = smtpAuthNone;
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

  TSmtpState State() const { return state_; }
  // The connection is encrypted.
  bool Secure() const { return session_.Secure(); }
  // The lines of the last successful EHLO reply, codes removed.
  const std::vector<std::string>& Capabilities() const { return capabilities_; }
  const std::string& ErrorMessage() const { return errorMessage_; }
  const std::string& LastResponse() const { return lastResponse_; }
  bool Connected() const { return connected_; }

  // --- events -------------------------------------------------------------
  TextEvent OnDisplay;
  TextEvent OnCommand;
  TextEvent OnResponse;
  std::function<void(SmtpClient& sender, TSmtpRequest rqType, std::uint16_t error)> OnRequestDone;
  ErrorEvent OnSessionConnected;
  ErrorEvent OnSessionClosed;

  // --- requests -----------------------------------------------------------
  void Connect();
  // With a log-in asked for (AuthType other than smtpAuthNone) the greeting
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
  enum Step : unsigned {
    kStepConnect = 1u << 0,
    kStepHelo = 1u << 1,
    kStepEhlo = 1u << 2,
    kStepAuth = 1u << 3,
    kStepMailFrom = 1u << 4,
    kStepRcptTo = 1u << 5,
    kStepData = 1u << 6,
    kStepQuit = 1u << 7,
  };

  void CheckReady() const;
  void CheckConnected() const;
  void BeginRequest(TSmtpRequest type);
  void ExecAsync(TSmtpRequest type, const std::string& command, std::vector<int> okResponses,
                 std::function<void()> afterReply = nullptr, const std::string& shown = std::string());
  void SendCommand(const std::string& command, const std::string& shown = std::string());
  void Display(const std::string& text);
  void FailWithoutCommand(int code, const std::string& response);
  void TriggerRequestDone(int error);
  void StartChain(TSmtpRequest type, unsigned steps);
  void RunNextStep();
  void AfterChainStep(int error);

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
  void SendInternal(const std::string& command, std::vector<int> okResponses, std::function<void()> afterReply);
  void StandardResponse();
  void ReplyLineTooLong();

  void StartAuth(TSmtpAuthType type);
  TSmtpAuthType ChooseAuth() const;
  void AuthLoginUser();
  void AuthLoginPassword();
  void AuthCramMd5Answer();
  void NextRecipient();
  void DataAccepted();
  void SendNextDataLine();
  void AbandonMessage(const std::string& why);

  void ArmTimeout();
  void StopTimeout();
  void TimedOut();

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  LineSession session_;

  TSmtpState state_ = smtpReady;
  std::string errorMessage_;
  std::string lastResponse_;
  int statusCode_ = 0;
  int requestResult_ = 0;
  TSmtpRequest requestType_ = smtpConnect;
  std::vector<int> okResponses_;
  std::function<void()> afterReply_;
  bool connected_ = false;
  bool esmtp_ = false;
  bool requestDone_ = true;
  std::vector<std::string> capabilities_;
  bool readingCapabilities_ = false;
  bool loggedIn_ = false;  // AUTH succeeded on this connection

  // Chained requests (Open, Mail).
  bool chaining_ = false;
  unsigned pendingSteps_ = 0;
  unsigned currentStep_ = 0;
  int chainResult_ = 0;
  bool timedOut_ = false;

  std::size_t rcptIndex_ = 0;
  bool sendingData_ = false;
};

}  // namespace mf
