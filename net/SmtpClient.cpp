#include "net/SmtpClient.h"

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

std::string SocketErrorResponse(int error) { return NetErrorResponse("500 ", error); }

// The mechanisms of an EHLO reply's AUTH line ("AUTH PLAIN LOGIN", or the
// old "AUTH=PLAIN" form), upper-cased.
std::vector<std::string> OfferedMechanisms(const std::vector<std::string>& capabilities) {
  std::vector<std::string> offered;
  for (const auto& line : capabilities) {
    if (line.size() < 5) continue;
    std::string keyword = line.substr(0, 4);
    for (char& c : keyword) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (keyword != "AUTH" || (line[4] != ' ' && line[4] != '=')) continue;
    std::string word;
    for (std::size_t i = 5; i <= line.size(); ++i) {
      if (i == line.size() || line[i] == ' ') {
        if (!word.empty()) offered.push_back(word);
        word.clear();
      } else {
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(line[i])));
      }
    }
  }
  return offered;
}

bool HasCapability(const std::vector<std::string>& capabilities, const std::string& name) {
  for (const auto& line : capabilities) {
    std::string word = line.substr(0, line.find(' '));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (word == name) return true;
  }
  return false;
}

}  // namespace

SmtpClient::SmtpClient(platform::EventLoop& loop) : SmtpClient(loop, nullptr) {}

SmtpClient::SmtpClient(platform::EventLoop& loop, std::unique_ptr<Transport> transport)
    : loop_(loop), session_(loop, std::move(transport)) {
  // A reply line must fit the receive buffer with its CR LF.
  session_.SetLineLimit(kReceiveBufferSize - 2, LineSession::LongLines::Fail);
  session_.OnLookupDone = [this](std::uint16_t error) { SocketDnsLookupDone(error); };
  session_.OnConnected = [this](std::uint16_t error) { SocketSessionConnected(error); };
  session_.OnLine = [this](const std::string& line, bool, bool) { HandleLine(line); };
  session_.OnLineTooLong = [this] { ReplyLineTooLong(); };
  session_.OnSent = [this] { SocketDataSent(); };
  session_.OnSecured = [this](int error) { UpgradeFinished(error); };
  session_.OnClosed = [this](std::uint16_t error) { SocketSessionClosed(error); };
  session_.OnTimedOut = [this] { TimedOut(); };
}

SmtpClient::~SmtpClient() {
  session_.OnLookupDone = nullptr;
  session_.OnClosed = nullptr;
}

// --- request plumbing ---------------------------------------------------------

void SmtpClient::CheckReady() const {
  if (state_ != smtpReady && state_ != smtpInternalReady) throw SmtpException("SMTP component not ready");
}

void SmtpClient::CheckConnected() const {
  if (!connected_) throw SmtpException("SMTP component not connected");
}

void SmtpClient::BeginRequest(TSmtpRequest type) {
  // A step within the request in progress (the next recipient, the log-in
  // after Helo's EHLO) keeps the request's type.
  if (!chaining_ && requestDone_) requestType_ = type;
  requestDone_ = false;
  requestResult_ = 0;
  afterReply_ = nullptr;
}

void SmtpClient::Display(const std::string& text) {
  if (OnDisplay) OnDisplay(*this, text);
}

void SmtpClient::SendCommand(const std::string& command, const std::string& shown) {
  readingCapabilities_ = command.compare(0, 5, "EHLO ") == 0;
  if (readingCapabilities_) capabilities_.clear();
  if (OnCommand) OnCommand(*this, command);
  Display("> " + (shown.empty() ? command : shown));
  if (session_.Connected()) session_.SendLine(command);
}

void SmtpClient::ExecAsync(TSmtpRequest type, const std::string& command, std::vector<int> okResponses,
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
void SmtpClient::FailWithoutCommand(int code, const std::string& response) {
  lastResponse_ = response;
  statusCode_ = code;
  requestResult_ = code;
  if (errorMessage_.empty()) errorMessage_ = response;
  TriggerRequestDone(code);
}

void SmtpClient::TriggerRequestDone(int error) {
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

void SmtpClient::StartChain(TSmtpRequest type, unsigned steps) {
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

void SmtpClient::RunNextStep() {
  static const unsigned order[] = {kStepConnect,  kStepHelo, kStepEhlo, kStepAuth,
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

void SmtpClient::AfterChainStep(int error) {
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

void SmtpClient::Open() {
  CheckReady();
  if (connected_) throw SmtpException("SMTP component already connected");
  StartChain(smtpOpen, AuthType == smtpAuthNone ? kStepConnect | kStepHelo : kStepConnect | kStepEhlo | kStepAuth);
}

void SmtpClient::Mail() {
  CheckReady();
  CheckConnected();
  // Found now rather than halfway through the chain, where only the
  // completion could report it.
  if (EnvelopeTo.empty()) throw SmtpException("No recipients");
  StartChain(smtpMail, kStepMailFrom | kStepRcptTo | kStepData);
}

// --- connecting ---------------------------------------------------------------------

void SmtpClient::Connect() {
  CheckReady();
  if (connected_) throw SmtpException("SMTP component already connected");
  BeginRequest(smtpConnect);
  esmtp_ = false;
  loggedIn_ = false;
  capabilities_.clear();
  timedOut_ = false;
  state_ = smtpDnsLookup;
  ArmTimeout();
  try {
    session_.Lookup(Host);
  } catch (const ESocketException&) {
    // An empty host name: already reported through the lookup event.
  }
}

void SmtpClient::SocketDnsLookupDone(std::uint16_t error) {
  if (state_ != smtpDnsLookup && state_ != smtpAbort) return;
  if (error != 0) {
    lastResponse_ = SocketErrorResponse(error);
    statusCode_ = 500;
    TriggerRequestDone(error);
    return;
  }
  try {
    state_ = smtpConnecting;
    session_.Connect(Port, LocalAddr, Security == TlsMode::Implicit ? TlsMode::Implicit : TlsMode::None);
  } catch (const std::exception& e) {
    const char* kind = dynamic_cast<const ESocketException*>(&e) ? "ESocketException" : "Exception";
    lastResponse_ = std::string("500 ") + kind + ": " + e.what();
    statusCode_ = 500;
    requestResult_ = 500;
    TriggerRequestDone(500);
  }
}

void SmtpClient::SocketSessionConnected(std::uint16_t error) {
  if (error == 0) {
    connected_ = true;
    state_ = smtpWaitingBanner;
    ArmTimeout();
    return;
  }
  lastResponse_ = SocketErrorResponse(error);
  statusCode_ = 500;
  requestResult_ = 500;
  // A refused certificate is what the user must read about, not a detail.
  if (IsTlsError(error) && errorMessage_.empty()) errorMessage_ = lastResponse_;
  TriggerRequestDone(error);
  session_.Close();
  if (!chaining_) state_ = smtpReady;
}

void SmtpClient::SocketSessionClosed(std::uint16_t error) {
  connected_ = false;
  sendingData_ = false;
  if (OnSessionClosed) OnSessionClosed(*this, error);
  TriggerRequestDone(wsa::kInterrupted);
  if (!chaining_ && requestDone_) StopTimeout();
}

// --- replies --------------------------------------------------------------------------

void SmtpClient::HandleLine(const std::string& line) {
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

void SmtpClient::HandleBanner() {
  Display("< " + lastResponse_);
  bool continuation = false;
  statusCode_ = ParseStatusCode(lastResponse_, continuation);
  if (continuation) return;
  if (statusCode_ != 220) {
    // The session closing reports the failed connect (10004).
    errorMessage_ = lastResponse_;
    requestResult_ = statusCode_;
    session_.Close();
    return;
  }
  if (Security == TlsMode::StartTls) {
    // RFC 3207: STARTTLS is offered in the EHLO reply; nothing else is
    // said before the session is secure.
    SendInternal("EHLO " + (SignOn.empty() ? LocalHostName() : SignOn), {250}, [this] { UpgradeEhloDone(); });
    return;
  }
  ConnectionReady();
}

void SmtpClient::ConnectionReady() {
  state_ = smtpConnected;
  if (OnSessionConnected) OnSessionConnected(*this, 0);
  TriggerRequestDone(0);
}

// A command the client says on its own within the request in progress.
void SmtpClient::SendInternal(const std::string& command, std::vector<int> okResponses,
                                     std::function<void()> afterReply) {
  okResponses_ = std::move(okResponses);
  afterReply_ = std::move(afterReply);
  state_ = smtpWaitingResponse;
  SendCommand(command);
}

void SmtpClient::FailConnect(int error) {
  lastResponse_ = SocketErrorResponse(error);
  statusCode_ = 500;
  requestResult_ = error;
  if (errorMessage_.empty()) errorMessage_ = lastResponse_;
  Display("< " + lastResponse_);
  TriggerRequestDone(error);
  session_.Abort();
  if (!chaining_) state_ = smtpReady;
}

void SmtpClient::UpgradeEhloDone() {
  if (requestResult_ != 0) {
    // The server cannot even say what it offers: it offers no STARTTLS.
    return FailConnect(tls::kNotOffered);
  }
  if (!HasCapability(capabilities_, "STARTTLS")) return FailConnect(tls::kNotOffered);
  SendInternal("STARTTLS", {220}, [this] { UpgradeAccepted(); });
}

void SmtpClient::UpgradeAccepted() {
  if (requestResult_ != 0) return FailConnect(tls::kNotOffered);
  errorMessage_.clear();
  state_ = smtpConnecting;
  int error = session_.StartTls();
  if (error != 0) FailConnect(error);
}

void SmtpClient::UpgradeFinished(int error) {
  if (error != 0) return FailConnect(error);
  // What the server said before the upgrade no longer counts.
  capabilities_.clear();
  esmtp_ = false;
  loggedIn_ = false;
  ConnectionReady();
}

void SmtpClient::StandardResponse() {
  Display("< " + lastResponse_);
  bool continuation = false;
  statusCode_ = ParseStatusCode(lastResponse_, continuation);
  if (readingCapabilities_ && statusCode_ == 250 && lastResponse_.size() > 4) {
    capabilities_.push_back(lastResponse_.substr(4));
  }
  if (continuation) return;
  readingCapabilities_ = false;
  bool accepted = okResponses_.empty()
                      ? statusCode_ < 500
                      : std::find(okResponses_.begin(), okResponses_.end(), statusCode_) != okResponses_.end();
  if (accepted) {
    requestResult_ = 0;
    if (statusCode_ == 235) loggedIn_ = true;  // only AUTH answers 235
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
void SmtpClient::ReplyLineTooLong() {
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
  session_.Close();
}

// --- time-out -----------------------------------------------------------------------------

void SmtpClient::ArmTimeout() { session_.ArmTimeout(Timeout); }

void SmtpClient::StopTimeout() { session_.StopTimeout(); }

void SmtpClient::TimedOut() {
  if (requestDone_) return;
  lastResponse_ = SocketErrorResponse(wsa::kTimedOut);
  statusCode_ = 500;
  requestResult_ = wsa::kTimedOut;
  if (errorMessage_.empty()) errorMessage_ = lastResponse_;
  Display("< " + lastResponse_);
  timedOut_ = true;
  if (state_ == smtpDnsLookup) state_ = smtpReady;  // the lookup result is ignored from now on
  TriggerRequestDone(wsa::kTimedOut);
  session_.Abort();
  timedOut_ = false;
}

// --- single commands ----------------------------------------------------------------------

void SmtpClient::Helo() {
  CheckReady();
  CheckConnected();
  // Inside Open the log-in is a step of its own; HELO there is the
  // fall-back for a server that does not know EHLO.
  if (AuthType == smtpAuthNone || chaining_) {
    ExecAsync(smtpHelo, "HELO " + (SignOn.empty() ? LocalHostName() : SignOn), {250});
    return;
  }
  ExecAsync(smtpHelo, "EHLO " + (SignOn.empty() ? LocalHostName() : SignOn), {250}, [this] {
    if (requestResult_ == 0 && connected_) esmtp_ = true;
    // The next mail of the same session greets again but is logged in
    // already (RFC 4954: a second AUTH is refused).
    if (requestResult_ != 0 || !connected_ || loggedIn_) return TriggerRequestDone(requestResult_);
    state_ = smtpInternalReady;
    StartAuth(AuthType);
  });
}

void SmtpClient::Ehlo() {
  CheckReady();
  CheckConnected();
  ExecAsync(smtpEhlo, "EHLO " + (SignOn.empty() ? LocalHostName() : SignOn), {250}, [this] {
    if (requestResult_ == 0 && connected_) esmtp_ = true;
    TriggerRequestDone(requestResult_);
  });
}

void SmtpClient::Auth() {
  CheckReady();
  CheckConnected();
  StartAuth(AuthType);
}

// CRAM-MD5 never shows the password; PLAIN and LOGIN send it as it is, so
// only over TLS.
TSmtpAuthType SmtpClient::ChooseAuth() const {
  const std::vector<std::string> offered = OfferedMechanisms(capabilities_);
  auto offers = [&](const char* name) { return std::find(offered.begin(), offered.end(), name) != offered.end(); };
  if (offers("CRAM-MD5")) return smtpAuthCramMD5;
  if (!session_.Secure()) return smtpAuthNone;
  if (offers("PLAIN")) return smtpAuthPlain;
  if (offers("LOGIN")) return smtpAuthLogin;
  return smtpAuthNone;
}

void SmtpClient::StartAuth(TSmtpAuthType type) {
  if (!esmtp_) {
    BeginRequest(smtpAuth);
    return FailWithoutCommand(500, "500 ESMTP not supported.");
  }
  if (type == smtpAuthAuto) {
    type = ChooseAuth();
    if (type == smtpAuthNone) {
      BeginRequest(smtpAuth);
      return FailWithoutCommand(tls::kNoAuthMechanism, NetErrorResponse("500 ", tls::kNoAuthMechanism));
    }
  }
  switch (type) {
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
    case smtpAuthAuto:
      return;  // chosen above
  }
}

void SmtpClient::AuthLoginUser() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  state_ = smtpInternalReady;
  ExecAsync(smtpAuth, Base64Encode(Username), {334}, [this] { AuthLoginPassword(); });
}

void SmtpClient::AuthLoginPassword() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  state_ = smtpInternalReady;
  ExecAsync(smtpAuth, Base64Encode(Password), {235}, nullptr, kHidden);
}

void SmtpClient::AuthCramMd5Answer() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  if (lastResponse_.size() <= 4) {
    requestResult_ = 500;
    lastResponse_ = "500 Malformed MD5 Challege: " + lastResponse_;
    statusCode_ = 500;
    errorMessage_ = lastResponse_;
    return TriggerRequestDone(500);
  }
  std::string challenge = Base64Decode(std::string_view(lastResponse_).substr(4));
  // RFC 2104 hashes a key longer than the block; cutting it would give a
  // digest no server accepts.
  std::string answer = Base64Encode(Username + " " + HmacMd5Hex(Password, challenge));
  state_ = smtpInternalReady;
  ExecAsync(smtpAuth, answer, {235}, nullptr, kHidden);
}
}  // namespace mf
