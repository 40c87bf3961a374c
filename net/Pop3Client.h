#pragma once

#include <cstdint>
#include <deque>
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

// Misuse at the call (busy, not connected, wrong protocol state). Server and
// network failures never throw: they arrive in OnRequestDone.
class Pop3Exception : public std::runtime_error {
 public:
  explicit Pop3Exception(const std::string& message) : std::runtime_error(message) {}
};

// Where the session is in RFC 1939's terms.
enum class Pop3SessionState {
  Disconnected = 0,
  WaitingUser = 1,
  WaitingPass = 2,
  Transaction = 3,
};

// What OnRequestDone reports as done.
enum class Pop3Request {
  Connect = 0,
  User = 1,
  Pass = 2,
  Quit = 4,
  Stat = 5,
  List = 6,
  Retr = 7,
  Top = 8,
  Dele = 9,
  Noop = 10,
  Rset = 12,
  Uidl = 13,
  Apop = 14,
  Open = 15,
  Capa = 16,
};

// A POP3 client (RFC 1939). Every request returns at once; its completion is
// posted on the event loop and reported once through OnRequestDone, so the
// caller starts the next request from there.
class Pop3Client {
 public:
  using NotifyEvent = std::function<void(Pop3Client& sender)>;
  using TextEvent = std::function<void(Pop3Client& sender, const std::string& msg)>;
  using SessionEvent = std::function<void(Pop3Client& sender, std::uint16_t error)>;
  using RequestDoneEvent =
      std::function<void(Pop3Client& sender, Pop3Request rqType, std::uint16_t error)>;

  // Longest line handed out whole; longer lines come in pieces of this size.
  static constexpr std::size_t kMaxLineLength = 4093;
  static constexpr int kDefaultTimeoutSeconds = 120;

  explicit Pop3Client(platform::EventLoop& loop);
  // Over another transport than a TCP socket (tests, fuzzing).
  Pop3Client(platform::EventLoop& loop, std::unique_ptr<Transport> transport);
  virtual ~Pop3Client();
  Pop3Client(const Pop3Client&) = delete;
  Pop3Client& operator=(const Pop3Client&) = delete;

  // --- properties ---------------------------------------------------------
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& value) { host_ = value; }
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value) { localAddr_ = value; }
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value) { port_ = value; }
  const std::string& UserName() const { return userName_; }
  void SetUserName(const std::string& value) { userName_ = value; }
  const std::string& PassWord() const { return passWord_; }
  void SetPassWord(const std::string& value) { passWord_ = value; }

  const std::string& ErrorMessage() const { return engine_.errorMessage; }
  // True while the line in hand was cut at kMaxLineLength: the rest of it
  // comes in the next piece.
  bool LineContinues() const { return lineIsCut_; }
  const std::string& LastResponse() const { return engine_.lastResponse; }
  Pop3SessionState ProtocolState() const { return protocolState_; }
  ClientState State() const { return engine_.State(); }
  bool Connected() const { return engine_.connected; }
  // The APOP time stamp of the current connection's greeting, brackets included.
  const std::string& Timestamp() const { return timestamp_; }

  int MsgCount() const { return msgCount_; }
  void SetMsgCount(int value) { msgCount_ = value; }
  int MsgSize() const { return msgSize_; }
  void SetMsgSize(int value) { msgSize_ = value; }
  int MsgLines() const { return msgLines_; }
  void SetMsgLines(int value) { msgLines_ = value; }
  int MsgNum() const { return msgNum_; }
  void SetMsgNum(int value) { msgNum_ = value; }
  const std::string& MsgUidl() const { return msgUidl_; }
  void SetMsgUidl(const std::string& value) { msgUidl_ = value; }

  // Seconds without any sign of the server after which a pending request is
  // given up (10060); 0 waits for ever.
  int Timeout() const { return timeoutSeconds_; }
  void SetTimeout(int seconds) { timeoutSeconds_ = seconds < 0 ? 0 : seconds; }

  // StartTls: Connect completes once the greeting, STLS (RFC 2595) and the
  // handshake are through; Implicit: TLS from the first byte (POP3S). A
  // server that cannot be secured fails Connect with its TLS error number
  // and the password is never sent.
  TlsMode Security() const { return security_; }
  void SetSecurity(TlsMode value) { security_ = value; }
  // The connection is encrypted.
  bool Secure() const { return session_.Secure(); }

  // What the server said it can do in its last CAPA reply (RFC 2449), one
  // line each; empty before CAPA or when the server does not know it.
  const std::vector<std::string>& Capabilities() const { return capabilities_; }
  // The server takes commands before it has answered the ones before them.
  bool Pipelining() const;

  // The messages the caller will retrieve next, in this order, each with
  // its own Retr from the completion of the one before. On a server that
  // announced PIPELINING their RETR commands go out ahead, a few at a time,
  // so the server never waits a round trip between two messages; events
  // and completions stay exactly as without. A Retr of another message, or
  // any other request, forgets the rest of the list, and the replies to
  // what went out ahead are read and dropped before its own.
  void SetRetrAhead(std::vector<int> numbers);

  // --- events -------------------------------------------------------------
  TextEvent OnDisplay;
  NotifyEvent OnMessageBegin;
  NotifyEvent OnMessageEnd;
  NotifyEvent OnMessageLine;  // the line is in LastResponse
  NotifyEvent OnListBegin;
  NotifyEvent OnListEnd;
  NotifyEvent OnListLine;
  NotifyEvent OnUidlBegin;
  NotifyEvent OnUidlEnd;
  NotifyEvent OnUidlLine;
  NotifyEvent OnStateChange;
  RequestDoneEvent OnRequestDone;
  TextEvent OnResponse;
  SessionEvent OnSessionConnected;
  SessionEvent OnSessionClosed;

  // --- requests -----------------------------------------------------------
  void Connect();
  void Open();
  void User();
  void Pass();
  void APop();
  void Quit();
  void Stat();
  void List();
  void Retr();
  void Top();
  void Dele();
  void Noop();
  void RSet();
  void Uidl();
  void Capa();
  // Drops the session at once; a pending request completes (10004, or 426
  // inside Open).
  void Abort();

 private:
  using Step = std::function<void()>;
  using Engine = RequestEngine<Pop3Request, Pop3Exception>;

  void RunStep(Pop3Request step);
  void RaiseInvalid(const std::string& message);
  void StartRequest(Pop3Request type);
  void SendCommand(const std::string& command, const std::string& shown);
  void StartTransactionCommand(Pop3Request type, const std::string& word, const std::string& command,
                               Step afterOk);

  void DnsLookupDone(std::uint16_t error);
  void SocketConnected(std::uint16_t error);
  void SessionClosed(std::uint16_t error);
  void LineArrived(std::string& line, bool cut, bool tail);
  void HandleLine();
  void HandleGreeting();
  void GreetingAccepted();
  void StlsReply();
  void UpgradeFinished(int error);
  void FailConnect(int error);
  void HandleSingleReply();
  void StartMultiLine(NotifyEvent Pop3Client::*begin, NotifyEvent Pop3Client::*line,
                      NotifyEvent Pop3Client::*end, Step parser);
  void HandleMultiLine();
  void FailLongStatusLine();
  void FailSocketError(int error);

  bool ClaimRetrSentAhead();
  void DropRepliesAhead();
  void SendRetrAhead();
  void ForgetRetrAhead();
  void DiscardLine();

  void ParseNumbers(int& first, int& second);
  void ParseUidl();

  void TriggerRequestDone(int error);
  void RestartTimer();
  void TimedOut();

  LineSession session_;
  Engine engine_;

  std::string host_;
  std::string localAddr_ = "0.0.0.0";
  std::string port_ = "pop3";
  std::string userName_;
  std::string passWord_;
  Pop3SessionState protocolState_ = Pop3SessionState::Disconnected;
  int msgCount_ = 0;
  int msgSize_ = 0;
  int msgLines_ = 0;
  int msgNum_ = 0;
  std::string msgUidl_;
  int timeoutSeconds_ = kDefaultTimeoutSeconds;
  TlsMode security_ = TlsMode::None;

  // The line in hand was cut at kMaxLineLength / continues a line cut before.
  bool lineIsCut_ = false;
  bool lineIsTail_ = false;

  bool quitSent_ = false;  // QUIT's reply is held back until the session closes
  std::string timestamp_;
  Pop3SessionState nextProtocolState_ = Pop3SessionState::Disconnected;

  Step replyHandler_;  // runs on each line while waiting for a reply
  bool inMultiLine_ = false;  // the reply's lines go straight to HandleMultiLine
  Step afterOk_;       // the command's own step after a positive reply
  NotifyEvent Pop3Client::*lineEvent_ = nullptr;
  NotifyEvent Pop3Client::*endEvent_ = nullptr;
  Step lineParser_;

  std::vector<std::string> capabilities_;
  // Announced by SetRetrAhead and not sent yet / sent and not yet claimed
  // by a Retr; replies to skip before the present request's own, and
  // whether the one being skipped is in its multi-line body.
  std::deque<int> retrAhead_;
  std::deque<int> retrSent_;
  int repliesToDrop_ = 0;
  bool droppingBody_ = false;
};

}  // namespace mf
