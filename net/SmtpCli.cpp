#include "net/SmtpCli.h"

#include <algorithm>
#include <cctype>

#include "base/Base64.h"
#include "net/Md5.h"
#include "text/Jconvert.h"

namespace mf {

namespace {

// Lines the user may see but must not read the secret in.
constexpr const char* kHidden = "********";

// The status code at the start of a reply line, and whether a "-" after it
// marks a continuation line.
int ParseStatusCode(const std::string& line, bool& continuation) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
  long value = 0;
  while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
    if (value < 100000) value = value * 10 + (line[i] - '0');
    ++i;
  }
  continuation = i < line.size() && line[i] == '-';
  return static_cast<int>(negative ? -value : value);
}

std::string WinsockResponse(int error) {
  return "500 " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

}  // namespace

TCustomSmtpClient::TCustomSmtpClient(platform::EventLoop& loop) : loop_(loop), socket_(loop), timeout_(loop) {
  socket_.OnDnsLookupDone = [this](TWSocket&, std::uint16_t error) { SocketDnsLookupDone(error); };
  socket_.OnSessionConnected = [this](TWSocket&, std::uint16_t error) { SocketSessionConnected(error); };
  socket_.OnDataAvailable = [this](TWSocket&, std::uint16_t) { SocketDataAvailable(); };
  socket_.OnDataSent = [this](TWSocket&, std::uint16_t) { SocketDataSent(); };
  socket_.OnSessionClosed = [this](TWSocket&, std::uint16_t error) { SocketSessionClosed(error); };
}

TCustomSmtpClient::~TCustomSmtpClient() {
  socket_.OnDnsLookupDone = nullptr;
  socket_.OnSessionClosed = nullptr;
}

std::string TCustomSmtpClient::ContentTypeText(TSmtpContentType type) {
  return type == smtpHTML ? "text/html" : "text/plain";
}

// --- request plumbing ---------------------------------------------------------

void TCustomSmtpClient::CheckReady() const {
  if (state_ != smtpReady && state_ != smtpInternalReady) throw SmtpException("SMTP component not ready");
}

void TCustomSmtpClient::CheckConnected() const {
  if (!connected_) throw SmtpException("SMTP component not connected");
}

void TCustomSmtpClient::BeginRequest(TSmtpRequest type) {
  if (!chaining_) requestType_ = type;
  requestDone_ = false;
  requestResult_ = 0;
  afterReply_ = nullptr;
}

void TCustomSmtpClient::Display(const std::string& text) {
  if (OnDisplay) OnDisplay(*this, text);
}

void TCustomSmtpClient::SendCommand(const std::string& command, const std::string& shown) {
  if (OnCommand) OnCommand(*this, command);
  Display("> " + (shown.empty() ? command : shown));
  if (socket_.State() == wsConnected) socket_.SendStr(command + "\r\n");
}

void TCustomSmtpClient::ExecAsync(TSmtpRequest type, const std::string& command, std::vector<int> okResponses,
                                  std::function<void()> afterReply, const std::string& shown) {
  CheckReady();
  CheckConnected();
  BeginRequest(type);
  okResponses_ = std::move(okResponses);
  afterReply_ = std::move(afterReply);
  state_ = smtpWaitingResponse;
  ArmTimeout();
  SendCommand(command, shown);
}

// A request that ends without talking to the server still completes later,
// from the loop.
void TCustomSmtpClient::FailWithoutCommand(int code, const std::string& response) {
  lastResponse_ = response;
  statusCode_ = code;
  requestResult_ = code;
  if (errorMessage_.empty()) errorMessage_ = response;
  TriggerRequestDone(code);
}

void TCustomSmtpClient::TriggerRequestDone(int error) {
  if (requestDone_) return;
  requestDone_ = true;
  if (chaining_) {
    if (state_ != smtpAbort) state_ = smtpInternalReady;
    AfterChainStep(error);
    return;
  }
  StopTimeout();
  state_ = smtpReady;
  TSmtpRequest type = requestType_;
  auto code = static_cast<std::uint16_t>(error);
  loop_.Post(guard_.Bind([this, type, code] {
    if (OnRequestDone) OnRequestDone(*this, type, code);
  }));
}

// --- chained requests -----------------------------------------------------------

void TCustomSmtpClient::StartChain(TSmtpRequest type, unsigned steps) {
  CheckReady();
  requestType_ = type;
  lastResponse_.clear();
  errorMessage_.clear();
  chaining_ = true;
  chainResult_ = 0;
  timedOut_ = false;
  pendingSteps_ = steps;
  currentStep_ = 0;
  try {
    RunNextStep();
  } catch (...) {
    // Misuse found by the first step is the caller's to see.
    chaining_ = false;
    pendingSteps_ = 0;
    throw;
  }
}

void TCustomSmtpClient::RunNextStep() {
  static const unsigned order[] = {kStepConnect, kStepHelo,   kStepEhlo,   kStepAuth, kStepVrfy,
                                   kStepMailFrom, kStepRcptTo, kStepData, kStepQuit};
  for (unsigned step : order) {
    if (!(pendingSteps_ & step)) continue;
    pendingSteps_ &= ~step;
    currentStep_ = step;
    switch (step) {
      case kStepConnect: Connect(); break;
      case kStepHelo: Helo(); break;
      case kStepEhlo: Ehlo(); break;
      case kStepAuth: Auth(); break;
      case kStepVrfy: Vrfy(); break;
      case kStepMailFrom: MailFrom(); break;
      case kStepRcptTo: RcptTo(); break;
      case kStepData: Data(); break;
      case kStepQuit: Quit(); break;
    }
    return;
  }
  chaining_ = false;
  requestDone_ = false;
  TriggerRequestDone(chainResult_);
}

void TCustomSmtpClient::AfterChainStep(int error) {
  if (state_ == smtpAbort || timedOut_) {
    pendingSteps_ = 0;
    if (state_ == smtpAbort) {
      chainResult_ = 426;
      errorMessage_ = "426 Operation aborted.";
    } else {
      chainResult_ = error;
    }
  } else if (error != 0) {
    if (currentStep_ == kStepEhlo) {
      pendingSteps_ = kStepHelo;  // an old server: greet it the old way
    } else {
      chainResult_ = error;
      bool quitPending = (pendingSteps_ & kStepQuit) && currentStep_ != kStepQuit;
      pendingSteps_ = quitPending ? static_cast<unsigned>(kStepQuit) : 0u;
    }
  }
  try {
    RunNextStep();
  } catch (const std::exception& e) {
    // The chain runs from socket events: a step refusing to start ends the
    // request instead of escaping into the socket.
    pendingSteps_ = 0;
    chainResult_ = 500;
    if (errorMessage_.empty()) errorMessage_ = std::string("500 ") + e.what();
    chaining_ = false;
    requestDone_ = false;
    TriggerRequestDone(chainResult_);
  }
}

void TCustomSmtpClient::Open() {
  CheckReady();
  if (connected_) throw SmtpException("SMTP component already connected");
  StartChain(smtpOpen, AuthType == smtpAuthNone ? kStepConnect | kStepHelo : kStepConnect | kStepEhlo | kStepAuth);
}

void TCustomSmtpClient::Mail() {
  CheckReady();
  CheckConnected();
  // Found now rather than halfway through the chain, where only the
  // completion could report it.
  if (RcptName.empty()) throw SmtpException("RcptName list is empty");
  StartChain(smtpMail, kStepMailFrom | kStepRcptTo | kStepData);
}

// --- connecting ---------------------------------------------------------------------

void TCustomSmtpClient::Connect() {
  CheckReady();
  if (connected_) throw SmtpException("SMTP component already connected");
  BeginRequest(smtpConnect);
  receiveBuffer_.clear();
  esmtp_ = false;
  timedOut_ = false;
  state_ = smtpDnsLookup;
  ArmTimeout();
  try {
    socket_.DnsLookup(Host);
  } catch (const ESocketException&) {
    // An empty host name: already reported through the lookup event.
  }
}

void TCustomSmtpClient::SocketDnsLookupDone(std::uint16_t error) {
  if (state_ != smtpDnsLookup && state_ != smtpAbort) return;
  if (error != 0) {
    lastResponse_ = WinsockResponse(error);
    statusCode_ = 500;
    TriggerRequestDone(error);
    return;
  }
  try {
    socket_.SetAddr(socket_.DnsResult());
    socket_.SetLocalAddr(LocalAddr);
    socket_.SetProto("tcp");
    socket_.SetPort(Port);
    state_ = smtpConnecting;
    socket_.Connect();
  } catch (const std::exception& e) {
    const char* kind = dynamic_cast<const ESocketException*>(&e) ? "ESocketException" : "Exception";
    lastResponse_ = std::string("500 ") + kind + ": " + e.what();
    statusCode_ = 500;
    requestResult_ = 500;
    TriggerRequestDone(500);
  }
}

void TCustomSmtpClient::SocketSessionConnected(std::uint16_t error) {
  if (error == 0) {
    connected_ = true;
    state_ = smtpWaitingBanner;
    ArmTimeout();
    return;
  }
  lastResponse_ = WinsockResponse(error);
  statusCode_ = 500;
  requestResult_ = 500;
  TriggerRequestDone(error);
  socket_.Close();
  if (!chaining_) state_ = smtpReady;
}

void TCustomSmtpClient::SocketSessionClosed(std::uint16_t error) {
  connected_ = false;
  sendingData_ = false;
  if (OnSessionClosed) OnSessionClosed(*this, error);
  TriggerRequestDone(wsa::kInterrupted);
  if (!chaining_ && requestDone_) StopTimeout();
}

// --- replies --------------------------------------------------------------------------

void TCustomSmtpClient::SocketDataAvailable() {
  int room = kReceiveBufferSize - static_cast<int>(receiveBuffer_.size());
  if (room <= 0) return ReplyLineTooLong();
  std::string chunk(static_cast<std::size_t>(room), '\0');
  int count = socket_.Receive(chunk.data(), room);
  if (count <= 0) return;
  ArmTimeout();
  receiveBuffer_.append(chunk.data(), static_cast<std::size_t>(count));
  for (;;) {
    std::size_t end = receiveBuffer_.find("\r\n");
    if (end == std::string::npos) break;
    std::string line = receiveBuffer_.substr(0, end);
    receiveBuffer_.erase(0, end + 2);
    HandleLine(line);
  }
  if (static_cast<int>(receiveBuffer_.size()) >= kReceiveBufferSize) ReplyLineTooLong();
}

void TCustomSmtpClient::HandleLine(const std::string& line) {
  lastResponse_ = line;
  if (OnResponse) OnResponse(*this, line);
  switch (state_) {
    case smtpWaitingBanner:
      HandleBanner();
      break;
    case smtpWaitingResponse:
      StandardResponse();
      break;
    default:
      Display("< " + line);
      break;
  }
}

void TCustomSmtpClient::HandleBanner() {
  Display("< " + lastResponse_);
  bool continuation = false;
  statusCode_ = ParseStatusCode(lastResponse_, continuation);
  if (continuation) return;
  if (statusCode_ != 220) {
    // The session closing reports the failed connect (10004).
    errorMessage_ = lastResponse_;
    requestResult_ = statusCode_;
    socket_.Close();
    return;
  }
  state_ = smtpConnected;
  if (OnSessionConnected) OnSessionConnected(*this, 0);
  TriggerRequestDone(0);
}

void TCustomSmtpClient::StandardResponse() {
  Display("< " + lastResponse_);
  bool continuation = false;
  statusCode_ = ParseStatusCode(lastResponse_, continuation);
  if (continuation) return;
  bool accepted = okResponses_.empty()
                      ? statusCode_ < 500
                      : std::find(okResponses_.begin(), okResponses_.end(), statusCode_) != okResponses_.end();
  if (accepted) {
    requestResult_ = 0;
  } else {
    requestResult_ = statusCode_;
    if (errorMessage_.empty()) errorMessage_ = lastResponse_;
  }
  if (afterReply_) {
    auto next = std::move(afterReply_);
    afterReply_ = nullptr;
    next();
  } else {
    TriggerRequestDone(requestResult_);
  }
}

// A line that does not fit the receive buffer can never be taken out of it:
// give the request up instead of waiting for ever.
void TCustomSmtpClient::ReplyLineTooLong() {
  receiveBuffer_.clear();
  lastResponse_ = "500 Reply line too long (more than " + std::to_string(kReceiveBufferSize) +
                  " bytes without CR LF)";
  statusCode_ = 500;
  requestResult_ = 500;
  if (errorMessage_.empty()) errorMessage_ = lastResponse_;
  Display("< " + lastResponse_);
  if (chaining_) pendingSteps_ = 0;
  timedOut_ = true;  // ends a chain like a time-out: nothing more to say to this server
  TriggerRequestDone(500);
  timedOut_ = false;
  socket_.Close();
}

// --- time-out -----------------------------------------------------------------------------

void TCustomSmtpClient::ArmTimeout() {
  if (Timeout <= 0) {
    timeout_.Stop();
    return;
  }
  timeout_.Start(std::chrono::seconds(Timeout), platform::EventLoop::Repeat::Once, [this] { TimedOut(); });
}

void TCustomSmtpClient::StopTimeout() { timeout_.Stop(); }

void TCustomSmtpClient::TimedOut() {
  if (requestDone_) return;
  lastResponse_ = WinsockResponse(wsa::kTimedOut);
  statusCode_ = 500;
  requestResult_ = wsa::kTimedOut;
  if (errorMessage_.empty()) errorMessage_ = lastResponse_;
  Display("< " + lastResponse_);
  timedOut_ = true;
  if (state_ == smtpDnsLookup) state_ = smtpReady;  // the lookup result is ignored from now on
  TriggerRequestDone(wsa::kTimedOut);
  socket_.Abort();
  timedOut_ = false;
}

// --- single commands ----------------------------------------------------------------------

void TCustomSmtpClient::Helo() {
  CheckReady();
  CheckConnected();
  ExecAsync(smtpHelo, "HELO " + (SignOn.empty() ? LocalHostName() : SignOn), {250});
}

void TCustomSmtpClient::Ehlo() {
  CheckReady();
  CheckConnected();
  ExecAsync(smtpEhlo, "EHLO " + (SignOn.empty() ? LocalHostName() : SignOn), {250}, [this] {
    if (requestResult_ == 0 && connected_) esmtp_ = true;
    TriggerRequestDone(requestResult_);
  });
}

void TCustomSmtpClient::Auth() {
  CheckReady();
  CheckConnected();
  if (!esmtp_) {
    BeginRequest(smtpAuth);
    return FailWithoutCommand(500, "500 ESMTP not supported.");
  }
  switch (AuthType) {
    case smtpAuthNone:
      BeginRequest(smtpAuth);
      return FailWithoutCommand(500, "500 No Authorization Type Selected.");
    case smtpAuthPlain: {
      // RFC 4616: authorization identity, authentication identity, password.
      // Both identities are the log-in name: the envelope sender is an
      // address, which servers refuse as a log-in name.
      std::string secret = Username + '\0' + Username + '\0' + Password;
      ExecAsync(smtpAuth, "AUTH PLAIN " + Base64Encode(secret), {235}, nullptr,
                std::string("AUTH PLAIN ") + kHidden);
      return;
    }
    case smtpAuthLogin:
      ExecAsync(smtpAuth, "AUTH LOGIN", {334}, [this] { AuthLoginUser(); });
      return;
    case smtpAuthCramMD5:
      ExecAsync(smtpAuth, "AUTH CRAM-MD5", {334}, [this] { AuthCramMd5Answer(); });
      return;
  }
}

void TCustomSmtpClient::AuthLoginUser() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  state_ = smtpInternalReady;
  ExecAsync(smtpAuth, Base64Encode(Username), {334}, [this] { AuthLoginPassword(); });
}

void TCustomSmtpClient::AuthLoginPassword() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  state_ = smtpInternalReady;
  ExecAsync(smtpAuth, Base64Encode(Password), {235}, nullptr, kHidden);
}

void TCustomSmtpClient::AuthCramMd5Answer() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  if (lastResponse_.size() <= 4) {
    requestResult_ = 500;
    lastResponse_ = "500 Malformed MD5 Challege: " + lastResponse_;
    statusCode_ = 500;
    errorMessage_ = lastResponse_;
    return TriggerRequestDone(500);
  }
  std::string challenge = DecodeBase64Text(std::string_view(lastResponse_).substr(4));
  // RFC 2104 hashes a key longer than the block; cutting it would give a
  // digest no server accepts.
  std::string answer = Base64Encode(Username + " " + HmacMd5Hex(Password, challenge));
  state_ = smtpInternalReady;
  ExecAsync(smtpAuth, answer, {235}, nullptr, kHidden);
}
}  // namespace mf
