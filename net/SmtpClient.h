#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/DateTime.h"
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
  smtpVrfy = 3,
  smtpRcptTo = 4,
  smtpData = 5,
  smtpQuit = 6,
  smtpRset = 7,
  smtpOpen = 8,
  smtpMail = 9,
  smtpEhlo = 10,
  smtpAuth = 11,
};

enum TSmtpContentType { smtpHTML = 0, smtpPlainText = 1 };
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

// The SMTP protocol engine and the RFC 822 header generator. Every request
// returns at once and completes exactly once through OnRequestDone, posted to
// the event loop, so it never fires inside the call that started it.
class SmtpClientBase {
 public:
  using TextEvent = std::function<void(SmtpClientBase& sender, const std::string& msg)>;
  using ErrorEvent = std::function<void(SmtpClientBase& sender, std::uint16_t error)>;

  // The receive buffer; a reply line must fit in it.
  static constexpr int kReceiveBufferSize = 4096;
  static constexpr int kDefaultTimeoutSeconds = 120;

  explicit SmtpClientBase(platform::EventLoop& loop);
  // Over another transport than a TCP socket (tests, fuzzing).
  SmtpClientBase(platform::EventLoop& loop, std::unique_ptr<Transport> transport);
  virtual ~SmtpClientBase();
  SmtpClientBase(const SmtpClientBase&) = delete;
  SmtpClientBase& operator=(const SmtpClientBase&) = delete;

  // --- published properties ----------------------------------------------
  std::string Host;
  std::string LocalAddr = "0.0.0.0";
  std::string Port = "smtp";
  std::string SignOn;  // HELO/EHLO argument; empty: the local host name
  std::string Username;
  std::string Password;
  TSmtpAuthType AuthType = smtpAuthNone;
  std::string FromName;                  // envelope sender
  std::vector<std::string> RcptName;     // envelope recipients
  std::vector<std::string> MailMessage;  // body lines sent before OnGetData's
  std::string HdrFrom;
  std::string HdrFromName;
  std::vector<std::string> HdrToAddress, HdrRcptName;
  std::vector<std::string> HdrCcAddress, HdrCcName;
  std::vector<std::string> RcptToAddress, RcptToName;
  std::string HdrReplyTo, HdrReturnPath, HdrSubject, HdrSender, HdrXMailer, HdrXAnimationID;
  std::string HdrInReplyTo, HdrReferences, HdrMessageId;
  std::string CharSet = "iso-8859-1";
  TSmtpContentType ContentType = smtpPlainText;
  bool OwnHeaders = false;
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

  // The date in the header and the multipart boundary read this clock.
  void SetClock(const Clock& clock) { clock_ = &clock; }

  // --- events -------------------------------------------------------------
  TextEvent OnDisplay;
  TextEvent OnCommand;
  TextEvent OnResponse;
  // `msgLine` is the line to send (at most `maxLen` bytes are used); clear
  // `more` when the body is complete.
  std::function<void(SmtpClientBase& sender, int lineNum, std::string& msgLine, int maxLen, bool& more)>
      OnGetData;
  // May rewrite the header line about to be sent; `size` is its buffer size.
  std::function<void(SmtpClientBase& sender, std::string& msg, int size)> OnHeaderLine;
  std::function<void(SmtpClientBase& sender, std::vector<std::string>& hdrLines)> OnProcessHeader;
  std::function<void(SmtpClientBase& sender, TSmtpRequest rqType, std::uint16_t error)> OnRequestDone;
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
  void Vrfy();
  void MailFrom();
  void RcptTo();
  virtual void Data();
  void Quit();
  void Rset();
  void Open();
  void Mail();
  // Synchronous: drops the connection; a pending request completes (426 for
  // Open and Mail).
  void Abort();

 protected:
  // Produces the next body line; the base asks OnGetData.
  virtual void TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more);
  // Gives a subclass the chance to rewrite a header line before OnHeaderLine.
  virtual void PrepareHeaderLine(std::string& line) { (void)line; }
  const Clock& CurrentClock() const { return *clock_; }
  static std::string ContentTypeText(TSmtpContentType type);

 private:
  enum Step : unsigned {
    kStepConnect = 1u << 0,
    kStepHelo = 1u << 1,
    kStepEhlo = 1u << 2,
    kStepAuth = 1u << 3,
    kStepVrfy = 1u << 4,
    kStepMailFrom = 1u << 5,
    kStepRcptTo = 1u << 6,
    kStepData = 1u << 7,
    kStepQuit = 1u << 8,
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
  void NextVrfy();
  void DataAccepted();
  void SendNextDataLine();
  void AbandonMessage(const std::string& why);

  void ArmTimeout();
  void StopTimeout();
  void TimedOut();

  // Builds the header for DATA; also settles CharSet to the charset the
  // header encoder used, as the Content-Type line announces it.
  std::vector<std::string> BuildHeaderLines();
  std::string ListText(const std::vector<std::string>& addresses, const std::vector<std::string>& names) const;
  std::string DateText() const;

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  SystemClock systemClock_;
  const Clock* clock_ = &systemClock_;
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

  // Recipient and VRFY progress.
  std::size_t rcptIndex_ = 0;
  std::vector<std::string> vrfyLists_;
  std::size_t vrfyIndex_ = 0;

  // Message transfer.
  std::vector<std::string> hdrLines_;
  std::size_t hdrIndex_ = 0;
  int lineNum_ = 0;
  bool sendingData_ = false;
};

// The SMTP client with MIME multipart bodies for attached files and encoded
// header words.
class SmtpClient : public SmtpClientBase {
 public:
  explicit SmtpClient(platform::EventLoop& loop);
  SmtpClient(platform::EventLoop& loop, std::unique_ptr<Transport> transport);
  ~SmtpClient() override;

  // Blank entries are dropped; a missing file throws "File not found '...'".
  void SetEmailFiles(const std::vector<std::string>& files);
  const std::vector<std::string>& EmailFiles() const { return emailFiles_; }

  std::function<void(SmtpClientBase& sender, int fileNumber, std::string& fileName, std::string& contentType)>
      OnAttachContentType;
  std::function<void(SmtpClientBase& sender, int fileNumber, const std::string& fileName,
                     std::vector<std::string>& hdrLines)>
      OnAttachHeader;

  void Data() override;

 protected:
  void TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more) override;
  void PrepareHeaderLine(std::string& line) override;

 private:
  void NextAttachmentLine(std::string& line);
  void StartAttachment(std::string& line);

  std::vector<std::string> emailFiles_;
  std::vector<std::string> pending_;
  std::string boundary_;
  std::size_t fileIndex_ = 0;
  std::ifstream file_;
  std::uint64_t fileRemaining_ = 0;
  bool askingCaller_ = false;
  bool encodingFile_ = false;
  int bodyLine_ = 0;
};

}  // namespace mf
