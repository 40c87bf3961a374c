#include "net/Pop3Client.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "base/Text.h"
#include "net/Md5.h"

namespace mf {

namespace {

// What OnDisplay shows instead of a password, whatever its length.
constexpr const char* kHiddenPassword = "********";

// RETR commands kept on their way ahead of the one being answered: enough
// that the server always has the next in hand, few enough that what it
// answers ahead stays a small part of the buffer.
constexpr std::size_t kRetrAhead = 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits from `at`, saturating instead of overflowing.
int ReadNumber(const std::string& text, std::size_t& at) {
  long long value = 0;
  while (at < text.size() && IsDigit(text[at])) {
    if (value <= INT_MAX) value = value * 10 + (text[at] - '0');
    ++at;
  }
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string ExceptionText(const std::exception& error) {
  const char* name = "Exception";
  if (dynamic_cast<const ESocketException*>(&error)) name = "ESocketException";
  if (dynamic_cast<const Pop3Exception*>(&error)) name = "Pop3Exception";
  return std::string("-ERR ") + name + ": " + error.what();
}

}  // namespace

Pop3Client::Pop3Client(platform::EventLoop& loop) : Pop3Client(loop, nullptr) {}

Pop3Client::Pop3Client(platform::EventLoop& loop, std::unique_ptr<Transport> transport)
    : session_(loop, std::move(transport)),
      engine_(loop, session_, "POP3", "-ERR ", Pop3Request::Quit, Engine::ChainRules{}) {
  session_.SetLineLimit(kMaxLineLength, LineSession::LongLines::Split);
  session_.OnLookupDone = [this](std::uint16_t error) { DnsLookupDone(error); };
  session_.OnConnected = [this](std::uint16_t error) { SocketConnected(error); };
  session_.OnLine = [this](std::string& line, bool cut, bool tail) { LineArrived(line, cut, tail); };
  session_.OnSecured = [this](int error) { UpgradeFinished(error); };
  session_.OnClosed = [this](std::uint16_t error) { SessionClosed(error); };
  session_.OnTimedOut = [this] { TimedOut(); };
  engine_.hooks.completed = [this](Pop3Request type, std::uint16_t error) {
    if (OnRequestDone) OnRequestDone(*this, type, error);
  };
  engine_.hooks.runStep = [this](Pop3Request step) { RunStep(step); };
  engine_.hooks.display = [this](const std::string& text) {
    if (OnDisplay) OnDisplay(*this, text);
  };
  engine_.hooks.stateChanged = [this] {
    if (OnStateChange) OnStateChange(*this);
  };
  // What the server answers ahead waits for the Retr that claims it.
  engine_.hooks.finishing = [this] {
    if (!retrSent_.empty()) session_.HoldLines();
  };
}

Pop3Client::~Pop3Client() {
  // The session closes itself when destroyed; nobody is left to hear it.
  session_.OnLookupDone = nullptr;
  session_.OnConnected = nullptr;
  session_.OnLine = nullptr;
  session_.OnClosed = nullptr;
}

// --- small helpers ----------------------------------------------------------

void Pop3Client::RaiseInvalid(const std::string& message) {
  engine_.errorMessage = message;
  engine_.Display(message);
  throw Pop3Exception(message);
}

void Pop3Client::StartRequest(Pop3Request type) {
  engine_.Begin(type);
  // A failure of an earlier request must not pass for this one's. Inside Open
  // the first failing step's message is the one kept.
  if (!engine_.Chaining()) engine_.errorMessage.clear();
  replyHandler_ = nullptr;
  afterOk_ = nullptr;
  inMultiLine_ = false;
  RestartTimer();
}

void Pop3Client::SendCommand(const std::string& command, const std::string& shown) {
  engine_.SetState(ClientState::WaitingResponse);
  engine_.Display("> " + shown);
  try {
    session_.SendLine(command);
  } catch (const ESocketException& error) {
    // The connection broke under us: report it like any network failure
    // rather than throwing at a caller who did nothing wrong.
    if (!engine_.Done()) FailSocketError(error.ErrorCode() != 0 ? error.ErrorCode() : wsa::kNotConnected);
  }
}

void Pop3Client::FailSocketError(int error) {
  engine_.RecordFailure(error, error);
  TriggerRequestDone(error);
}

// --- requests ---------------------------------------------------------------

void Pop3Client::Connect() {
  engine_.CheckReady();
  if (engine_.connected) throw Pop3Exception("POP3 component already connected");
  StartRequest(Pop3Request::Connect);
  engine_.errorMessage.clear();
  timestamp_.clear();
  capabilities_.clear();
  ForgetRetrAhead();
  quitSent_ = false;
  engine_.SetState(ClientState::DnsLookup);
  try {
    session_.Lookup(host_);
  } catch (const ESocketException& error) {
    // The lookup may already have reported its failure through the event.
    if (!engine_.Done()) FailSocketError(error.ErrorCode() != 0 ? error.ErrorCode() : wsa::kInvalidArgument);
  }
}

// The steps of Open.
void Pop3Client::RunStep(Pop3Request step) {
  switch (step) {
    case Pop3Request::Connect: Connect(); break;
    case Pop3Request::User: User(); break;
    case Pop3Request::Pass: Pass(); break;
    case Pop3Request::Dele: Dele(); break;
    case Pop3Request::Noop: Noop(); break;
    case Pop3Request::List: List(); break;
    case Pop3Request::Rset: RSet(); break;
    case Pop3Request::Apop: APop(); break;
    case Pop3Request::Retr: Retr(); break;
    case Pop3Request::Top: Top(); break;
    case Pop3Request::Stat: Stat(); break;
    case Pop3Request::Uidl: Uidl(); break;
    case Pop3Request::Capa: Capa(); break;
    case Pop3Request::Quit: Quit(); break;
    case Pop3Request::Open: break;
  }
}

void Pop3Client::Open() {
  engine_.CheckReady();
  if (engine_.connected) throw Pop3Exception("pop3 component already connected");
  engine_.StartChain(Pop3Request::Open, {Pop3Request::Connect, Pop3Request::User, Pop3Request::Pass});
}

void Pop3Client::User() {
  engine_.CheckReady();
  engine_.CheckConnected();
  if (protocolState_ > Pop3SessionState::WaitingUser) RaiseInvalid("-ERR USER command invalid now");
  StartRequest(Pop3Request::User);
  nextProtocolState_ = Pop3SessionState::WaitingPass;
  replyHandler_ = [this] { HandleSingleReply(); };
  const std::string command = "USER " + Trim(userName_);
  SendCommand(command, command);
}

void Pop3Client::Pass() {
  engine_.CheckReady();
  engine_.CheckConnected();
  if (protocolState_ > Pop3SessionState::WaitingPass) RaiseInvalid("-ERR PASS command invalid now");
  StartRequest(Pop3Request::Pass);
  nextProtocolState_ = Pop3SessionState::Transaction;
  replyHandler_ = [this] { HandleSingleReply(); };
  // The display goes to logs and windows; the password never does.
  SendCommand("PASS " + Trim(passWord_), std::string("PASS ") + kHiddenPassword);
}

void Pop3Client::APop() {
  engine_.CheckReady();
  engine_.CheckConnected();
  if (protocolState_ != Pop3SessionState::WaitingUser) RaiseInvalid("-ERR APOP command invalid now");
  if (timestamp_.empty()) RaiseInvalid("-ERR Server do not support APOP (no timestamp)");
  StartRequest(Pop3Request::Apop);
  nextProtocolState_ = Pop3SessionState::Transaction;
  replyHandler_ = [this] { HandleSingleReply(); };
  // RFC 1939 section 7: the digest covers the password exactly as given.
  const std::string command = "APOP " + Trim(userName_) + " " + Md5Hex(timestamp_ + passWord_);
  SendCommand(command, command);
}

void Pop3Client::Quit() {
  engine_.CheckReady();
  StartRequest(Pop3Request::Quit);
  if (!engine_.connected) {
    TriggerRequestDone(0);
    return;
  }
  nextProtocolState_ = Pop3SessionState::Disconnected;
  quitSent_ = true;
  retrAhead_.clear();
  DropRepliesAhead();
  replyHandler_ = [this] { HandleSingleReply(); };
  SendCommand("QUIT", "QUIT");
}

void Pop3Client::StartTransactionCommand(Pop3Request type, const std::string& word,
                                             const std::string& command, Step afterOk) {
  engine_.CheckReady();
  engine_.CheckConnected();
  if (protocolState_ != Pop3SessionState::Transaction) RaiseInvalid("-ERR " + word + " command invalid now");
  StartRequest(type);
  nextProtocolState_ = Pop3SessionState::Transaction;
  afterOk_ = std::move(afterOk);
  replyHandler_ = [this] { HandleSingleReply(); };
  if (type == Pop3Request::Retr && ClaimRetrSentAhead()) {
    // Its command went out before; the reply is in the buffer or on its way.
    engine_.SetState(ClientState::WaitingResponse);
    session_.ReleaseLines();
  } else {
    const bool asAnnounced = type == Pop3Request::Retr && retrSent_.empty() && !retrAhead_.empty() &&
                             retrAhead_.front() == msgNum_;
    if (asAnnounced) {
      retrAhead_.pop_front();
    } else {
      retrAhead_.clear();
    }
    DropRepliesAhead();
    SendCommand(command, command);
  }
  if (type == Pop3Request::Retr && !engine_.Done()) SendRetrAhead();
}

void Pop3Client::Stat() {
  StartTransactionCommand(Pop3Request::Stat, "STAT", "STAT", [this] {
    ParseNumbers(msgCount_, msgSize_);
    TriggerRequestDone(0);
  });
}

void Pop3Client::List() {
  if (msgNum_ > 0) {
    StartTransactionCommand(Pop3Request::List, "LIST", "LIST " + std::to_string(msgNum_), [this] {
      ParseNumbers(msgNum_, msgSize_);
      TriggerRequestDone(0);
    });
    return;
  }
  StartTransactionCommand(Pop3Request::List, "LIST", "LIST", [this] {
    StartMultiLine(&Pop3Client::OnListBegin, &Pop3Client::OnListLine, &Pop3Client::OnListEnd,
                   [this] { ParseNumbers(msgNum_, msgSize_); });
  });
}

void Pop3Client::Retr() {
  StartTransactionCommand(Pop3Request::Retr, "RETR", "RETR " + std::to_string(msgNum_), [this] {
    StartMultiLine(&Pop3Client::OnMessageBegin, &Pop3Client::OnMessageLine,
                   &Pop3Client::OnMessageEnd, nullptr);
  });
}

void Pop3Client::Top() {
  engine_.CheckReady();
  if (msgLines_ < 0) throw Pop3Exception("Invalid MsgLines for TOP command");
  StartTransactionCommand(Pop3Request::Top, "TOP", "TOP " + std::to_string(msgNum_) + " " + std::to_string(msgLines_),
                          [this] {
                            StartMultiLine(&Pop3Client::OnMessageBegin, &Pop3Client::OnMessageLine,
                                           &Pop3Client::OnMessageEnd, nullptr);
                          });
}

void Pop3Client::Dele() {
  StartTransactionCommand(Pop3Request::Dele, "DELE", "DELE " + std::to_string(msgNum_), nullptr);
}

void Pop3Client::Noop() { StartTransactionCommand(Pop3Request::Noop, "NOOP", "NOOP", nullptr); }

void Pop3Client::RSet() { StartTransactionCommand(Pop3Request::Rset, "RSET", "RSET", nullptr); }

void Pop3Client::Uidl() {
  if (msgNum_ > 0) {
    StartTransactionCommand(Pop3Request::Uidl, "UIDL", "UIDL " + std::to_string(msgNum_), [this] {
      ParseUidl();
      TriggerRequestDone(0);
    });
    return;
  }
  StartTransactionCommand(Pop3Request::Uidl, "UIDL", "UIDL", [this] {
    StartMultiLine(&Pop3Client::OnUidlBegin, &Pop3Client::OnUidlLine, &Pop3Client::OnUidlEnd,
                   [this] { ParseUidl(); });
  });
}

void Pop3Client::Capa() {
  engine_.CheckReady();
  engine_.CheckConnected();
  if (protocolState_ == Pop3SessionState::Disconnected) RaiseInvalid("-ERR CAPA command invalid now");
  StartRequest(Pop3Request::Capa);
  capabilities_.clear();
  nextProtocolState_ = protocolState_;
  afterOk_ = [this] {
    StartMultiLine(nullptr, nullptr, nullptr, [this] {
      if (!lineIsTail_) capabilities_.push_back(engine_.lastResponse);
    });
  };
  replyHandler_ = [this] { HandleSingleReply(); };
  retrAhead_.clear();
  DropRepliesAhead();
  SendCommand("CAPA", "CAPA");
}

bool Pop3Client::Pipelining() const {
  return std::any_of(capabilities_.begin(), capabilities_.end(), [](const std::string& line) {
    return UpperAscii(line.substr(0, line.find(' '))) == "PIPELINING";
  });
}

// --- retrieving ahead -----------------------------------------------------------

void Pop3Client::SetRetrAhead(std::vector<int> numbers) {
  retrAhead_.assign(numbers.begin(), numbers.end());
  // Those already on their way stay claimable in their order.
  for (std::size_t i = 0; i < retrSent_.size() && !retrAhead_.empty() && retrAhead_.front() == retrSent_[i]; ++i) {
    retrAhead_.pop_front();
  }
}

bool Pop3Client::ClaimRetrSentAhead() {
  if (retrSent_.empty() || retrSent_.front() != msgNum_) return false;
  retrSent_.pop_front();
  return true;
}

// The caller went another way: what went out ahead is answered all the
// same, before the request now being sent, and is skipped.
void Pop3Client::DropRepliesAhead() {
  if (retrSent_.empty()) return;
  repliesToDrop_ += static_cast<int>(retrSent_.size());
  retrSent_.clear();
  session_.ReleaseLines();
}

void Pop3Client::SendRetrAhead() {
  if (!Pipelining()) return;
  std::string commands;
  while (retrSent_.size() < kRetrAhead && !retrAhead_.empty()) {
    const std::string command = "RETR " + std::to_string(retrAhead_.front());
    retrSent_.push_back(retrAhead_.front());
    retrAhead_.pop_front();
    engine_.Display("> " + command);
    commands += command + "\r\n";
  }
  if (commands.empty()) return;
  try {
    session_.Send(commands);
  } catch (const ESocketException&) {
    // The close that follows ends the present request.
  }
}

void Pop3Client::ForgetRetrAhead() {
  retrAhead_.clear();
  retrSent_.clear();
  repliesToDrop_ = 0;
  droppingBody_ = false;
}

// One line of a reply to a RETR sent ahead and given up: its status line,
// and its body when the status was positive.
void Pop3Client::DiscardLine() {
  if (droppingBody_) {
    if (!lineIsTail_ && engine_.lastResponse == ".") {
      droppingBody_ = false;
      --repliesToDrop_;
    }
    return;
  }
  if (lineIsTail_) return;  // the rest of a long status line
  engine_.Display("< " + engine_.lastResponse);
  if (!engine_.lastResponse.empty() && engine_.lastResponse[0] == '+') {
    droppingBody_ = true;
  } else {
    --repliesToDrop_;
  }
}

void Pop3Client::Abort() {
  ForgetRetrAhead();
  engine_.Abort();
}

// --- socket events ------------------------------------------------------------

void Pop3Client::DnsLookupDone(std::uint16_t error) {
  if (engine_.State() != ClientState::DnsLookup || engine_.Done()) return;
  if (error != 0) {
    FailSocketError(error);
    return;
  }
  try {
    engine_.SetState(ClientState::Connecting);
    session_.Connect(port_, localAddr_, security_ == TlsMode::Implicit ? TlsMode::Implicit : TlsMode::None);
  } catch (const std::exception& failure) {
    engine_.lastResponse = ExceptionText(failure);
    engine_.statusCode = 500;
    engine_.result = 500;
    TriggerRequestDone(500);
    if (session_.Open()) session_.Abort();
  }
}

void Pop3Client::SocketConnected(std::uint16_t error) {
  if (error != 0) {
    // A refused certificate is what the user must read about, not a detail.
    if (IsTlsError(error) && engine_.errorMessage.empty()) engine_.errorMessage = engine_.FailureResponse(error);
    FailSocketError(error);
    if (session_.Open()) session_.Close();
    return;
  }
  engine_.connected = true;
  engine_.SetState(ClientState::WaitingBanner);
  RestartTimer();
}

void Pop3Client::SessionClosed(std::uint16_t error) {
  engine_.connected = false;
  ForgetRetrAhead();
  if (OnSessionClosed) OnSessionClosed(*this, error);
  if (quitSent_) {
    // The close is QUIT's real completion, whatever the server answered.
    quitSent_ = false;
    TriggerRequestDone(0);
  } else {
    TriggerRequestDone(wsa::kInterrupted);
  }
  protocolState_ = Pop3SessionState::Disconnected;
}

// --- replies ----------------------------------------------------------------

void Pop3Client::LineArrived(std::string& line, bool cut, bool tail) {
  if (!engine_.connected) return;
  // Taken, not copied: a large message is many lines.
  engine_.lastResponse.swap(line);
  lineIsCut_ = cut;
  lineIsTail_ = tail;
  if (repliesToDrop_ > 0) return DiscardLine();
  HandleLine();
}

void Pop3Client::HandleLine() {
  if (OnResponse) OnResponse(*this, engine_.lastResponse);
  switch (engine_.State()) {
    case ClientState::WaitingBanner:
      HandleGreeting();
      break;
    case ClientState::WaitingResponse: {
      if (inMultiLine_) {
        HandleMultiLine();
        break;
      }
      if (!replyHandler_) throw Pop3Exception("No handler for the reply");
      // A copy: the handler may complete the request and replace itself.
      const Step handler = replyHandler_;
      handler();
      break;
    }
    default:
      engine_.Display("< " + engine_.lastResponse);
      break;
  }
}

void Pop3Client::FailLongStatusLine() {
  // The status line cannot be judged from a piece, and the rest of it would
  // be taken for the next reply: give up the session instead of guessing.
  engine_.errorMessage = "-ERR Reply line longer than " + std::to_string(kMaxLineLength) + " bytes";
  engine_.statusCode = 500;
  engine_.result = 500;
  engine_.Display(engine_.errorMessage);
  quitSent_ = false;
  ForgetRetrAhead();
  TriggerRequestDone(500);
  if (session_.Open()) session_.Abort();
}

void Pop3Client::HandleGreeting() {
  engine_.Display("< " + engine_.lastResponse);
  if (lineIsCut_ || lineIsTail_) {
    FailLongStatusLine();
    return;
  }
  if (engine_.lastResponse.empty() || engine_.lastResponse[0] != '+') {
    engine_.errorMessage = engine_.lastResponse;
    engine_.statusCode = 500;
    engine_.result = 500;
    session_.Close();
    return;
  }
  engine_.statusCode = 0;
  // RFC 1939 section 7: the time stamp is the first <...> of the greeting.
  timestamp_.clear();
  const std::size_t open = engine_.lastResponse.find('<');
  if (open != std::string::npos) {
    const std::size_t close = engine_.lastResponse.find('>', open);
    if (close != std::string::npos) timestamp_ = engine_.lastResponse.substr(open, close - open + 1);
  }
  if (security_ == TlsMode::StartTls) {
    // RFC 2595: nothing but STLS is said before the session is secure.
    replyHandler_ = [this] { StlsReply(); };
    SendCommand("STLS", "STLS");
    return;
  }
  GreetingAccepted();
}

void Pop3Client::GreetingAccepted() {
  protocolState_ = Pop3SessionState::WaitingUser;
  engine_.SetState(ClientState::Connected);
  if (OnSessionConnected) OnSessionConnected(*this, 0);
  TriggerRequestDone(0);
}

void Pop3Client::StlsReply() {
  engine_.Display("< " + engine_.lastResponse);
  if (lineIsCut_ || lineIsTail_ || engine_.lastResponse.empty() || engine_.lastResponse[0] != '+') {
    return FailConnect(tls::kNotOffered);
  }
  engine_.SetState(ClientState::Connecting);
  replyHandler_ = nullptr;
  const int error = session_.StartTls();
  if (error != 0) FailConnect(error);
}

void Pop3Client::UpgradeFinished(int error) {
  if (error != 0) return FailConnect(error);
  GreetingAccepted();
}

void Pop3Client::FailConnect(int error) {
  engine_.lastResponse = engine_.FailureResponse(error);
  if (engine_.errorMessage.empty()) engine_.errorMessage = engine_.lastResponse;
  engine_.Display(engine_.lastResponse);
  FailSocketError(error);
  if (session_.Open()) session_.Abort();
}

void Pop3Client::HandleSingleReply() {
  engine_.Display("< " + engine_.lastResponse);
  if (lineIsCut_ || lineIsTail_) {
    FailLongStatusLine();
    return;
  }
  const bool positive = !engine_.lastResponse.empty() && engine_.lastResponse[0] == '+';
  engine_.statusCode = positive ? 0 : 500;
  engine_.result = engine_.statusCode;
  if (positive) {
    protocolState_ = nextProtocolState_;
  } else if (engine_.errorMessage.empty()) {
    engine_.errorMessage = engine_.lastResponse;
  }
  if (quitSent_) {
    // The server is done with us either way; closing reports QUIT.
    session_.Close();
    return;
  }
  if (!positive) {
    TriggerRequestDone(500);
  } else if (afterOk_) {
    const Step next = afterOk_;
    next();
  } else {
    TriggerRequestDone(0);
  }
}

void Pop3Client::StartMultiLine(NotifyEvent Pop3Client::*begin, NotifyEvent Pop3Client::*line,
                                    NotifyEvent Pop3Client::*end, Step parser) {
  lineEvent_ = line;
  endEvent_ = end;
  lineParser_ = std::move(parser);
  replyHandler_ = [this] { HandleMultiLine(); };
  inMultiLine_ = true;
  if (begin != nullptr && this->*begin) (this->*begin)(*this);
}

void Pop3Client::HandleMultiLine() {
  if (!engine_.connected) {
    engine_.errorMessage = "-ERR Disconnected unexpectedly";
    engine_.statusCode = 500;
    engine_.result = 500;
    engine_.Display(engine_.errorMessage);
    TriggerRequestDone(500);
    return;
  }
  // The terminator and dot-stuffing (RFC 1939 section 3) only exist at the
  // start of a real line, never at the start of a piece of a long one.
  if (!lineIsTail_) {
    if (engine_.lastResponse == ".") {
      if (endEvent_ != nullptr && this->*endEvent_) (this->*endEvent_)(*this);
      engine_.lastResponse.clear();
      TriggerRequestDone(0);
      return;
    }
    std::string& line = engine_.lastResponse;
    if (line.size() >= 2 && line[0] == '.' && line[1] == '.') line.erase(0, 1);
  }
  if (lineParser_) lineParser_();
  if (lineEvent_ != nullptr && this->*lineEvent_) (this->*lineEvent_)(*this);
}

void Pop3Client::ParseNumbers(int& first, int& second) {
  const std::string& text = engine_.lastResponse;
  std::size_t at = 0;
  while (at < text.size() && !IsDigit(text[at])) ++at;
  if (at >= text.size()) {
    first = second = 0;
    return;
  }
  const int a = ReadNumber(text, at);
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) ++at;
  if (at >= text.size() || !IsDigit(text[at])) {
    first = second = 0;
    return;
  }
  first = a;
  second = ReadNumber(text, at);
}

void Pop3Client::ParseUidl() {
  const std::string& text = engine_.lastResponse;
  std::size_t at = 0;
  while (at < text.size() && !IsDigit(text[at])) ++at;
  msgNum_ = ReadNumber(text, at);
  while (at < text.size() && text[at] == ' ') ++at;
  std::size_t end = at;
  while (end < text.size() && text[end] >= 0x21 && text[end] <= 0x7e) ++end;
  msgUidl_ = text.substr(at, end - at);
}

// --- completion ---------------------------------------------------------------

// --- completion and time-out ------------------------------------------------

void Pop3Client::TriggerRequestDone(int error) {
  if (!engine_.Done()) inMultiLine_ = false;
  engine_.Complete(error);
}

void Pop3Client::RestartTimer() { engine_.ArmTimeout(timeoutSeconds_); }

void Pop3Client::TimedOut() {
  if (engine_.Done()) return;
  // Nothing more is sent to a server that stopped answering.
  inMultiLine_ = false;
  ForgetRetrAhead();
  quitSent_ = false;
  engine_.TimedOut("");
}

}  // namespace mf
