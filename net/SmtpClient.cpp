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
    : session_(loop, std::move(transport)),
      engine_(loop, session_, "SMTP", "500 ", SmtpRequest::Quit,
              Engine::ChainRules{/*lastErrorCounts=*/true, /*refusalEndsChain=*/true, "500 "}) {
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
  engine_.hooks.completed = [this](SmtpRequest type, std::uint16_t error) {
    if (OnRequestDone) OnRequestDone(*this, type, error);
  };
  engine_.hooks.runStep = [this](SmtpRequest step) { RunStep(step); };
  engine_.hooks.stepFailed = [this](SmtpRequest step, int error) { return StepFailed(step, error); };
  engine_.hooks.display = [this](const std::string& text) {
    if (OnDisplay) OnDisplay(*this, text);
  };
}

SmtpClient::~SmtpClient() {
  session_.OnLookupDone = nullptr;
  session_.OnClosed = nullptr;
}

// --- request plumbing ---------------------------------------------------------

std::string SmtpClient::Greeting() const { return SignOn.empty() ? LocalHostName() : SignOn; }

void SmtpClient::SendCommand(const std::string& command, const std::string& shown) {
  readingCapabilities_ = command.compare(0, 5, "EHLO ") == 0;
  if (readingCapabilities_) capabilities_.clear();
  if (OnCommand) OnCommand(*this, command);
  engine_.Display("> " + (shown.empty() ? command : shown));
  if (session_.Connected()) session_.SendLine(command);
}

void SmtpClient::ExecAsync(SmtpRequest type, const std::string& command, std::vector<int> okResponses,
                           Phase phase, const std::string& shown) {
  engine_.CheckReady();
  engine_.CheckConnected();
  engine_.Begin(type);
  okResponses_ = std::move(okResponses);
  phase_ = phase;
  engine_.SetState(ClientState::WaitingResponse);
  ArmTimeout();
  SendCommand(command, shown);
}

// A request that ends without talking to the server still completes later,
// from the loop.
void SmtpClient::FailWithoutCommand(int code, const std::string& response) {
  engine_.lastResponse = response;
  engine_.statusCode = code;
  engine_.result = code;
  if (engine_.errorMessage.empty()) engine_.errorMessage = response;
  engine_.Complete(code);
}

// --- chained requests -----------------------------------------------------------

void SmtpClient::RunStep(SmtpRequest step) {
  switch (step) {
    case SmtpRequest::Connect: Connect(); break;
    case SmtpRequest::Helo: Helo(); break;
    case SmtpRequest::Ehlo: Ehlo(); break;
    case SmtpRequest::Auth: Auth(); break;
    case SmtpRequest::MailFrom: MailFrom(); break;
    case SmtpRequest::RcptTo: RcptTo(); break;
    case SmtpRequest::Data: Data(); break;
    case SmtpRequest::Quit: Quit(); break;
    default: break;
  }
}

bool SmtpClient::StepFailed(SmtpRequest step, int) {
  if (step != SmtpRequest::Ehlo) return false;
  engine_.ReplaceSteps({SmtpRequest::Helo});  // an old server: greet it the old way
  return true;
}

void SmtpClient::Open() {
  engine_.CheckReady();
  if (engine_.connected) throw SmtpException("SMTP component already connected");
  if (AuthType == SmtpAuth::None) {
    engine_.StartChain(SmtpRequest::Open, {SmtpRequest::Connect, SmtpRequest::Helo});
  } else {
    engine_.StartChain(SmtpRequest::Open, {SmtpRequest::Connect, SmtpRequest::Ehlo, SmtpRequest::Auth});
  }
}

void SmtpClient::Mail() {
  engine_.CheckReady();
  engine_.CheckConnected();
  // Found now rather than halfway through the chain, where only the
  // completion could report it.
  if (EnvelopeTo.empty()) throw SmtpException("No recipients");
  engine_.StartChain(SmtpRequest::Mail, {SmtpRequest::MailFrom, SmtpRequest::RcptTo, SmtpRequest::Data});
}

// --- connecting ---------------------------------------------------------------------

void SmtpClient::Connect() {
  engine_.CheckReady();
  if (engine_.connected) throw SmtpException("SMTP component already connected");
  engine_.Begin(SmtpRequest::Connect);
  esmtp_ = false;
  loggedIn_ = false;
  capabilities_.clear();
  engine_.SetState(ClientState::DnsLookup);
  ArmTimeout();
  try {
    session_.Lookup(Host);
  } catch (const ESocketException&) {
    // An empty host name: already reported through the lookup event.
  }
}

void SmtpClient::SocketDnsLookupDone(std::uint16_t error) {
  if (engine_.State() != ClientState::DnsLookup && engine_.State() != ClientState::Aborting) return;
  if (error != 0) {
    engine_.lastResponse = engine_.FailureResponse(error);
    engine_.statusCode = 500;
    engine_.Complete(error);
    return;
  }
  try {
    engine_.SetState(ClientState::Connecting);
    session_.Connect(Port, LocalAddr, Security == TlsMode::Implicit ? TlsMode::Implicit : TlsMode::None);
  } catch (const std::exception& e) {
    const char* kind = dynamic_cast<const ESocketException*>(&e) ? "ESocketException" : "Exception";
    engine_.lastResponse = std::string("500 ") + kind + ": " + e.what();
    engine_.statusCode = 500;
    engine_.result = 500;
    engine_.Complete(500);
  }
}

void SmtpClient::SocketSessionConnected(std::uint16_t error) {
  if (error == 0) {
    engine_.connected = true;
    engine_.SetState(ClientState::WaitingBanner);
    ArmTimeout();
    return;
  }
  engine_.RecordFailure(error, 500);
  // A refused certificate is what the user must read about, not a detail.
  if (IsTlsError(error) && engine_.errorMessage.empty()) engine_.errorMessage = engine_.lastResponse;
  engine_.Complete(error);
  session_.Close();
  if (!engine_.Chaining()) engine_.SetState(ClientState::Ready);
}

void SmtpClient::SocketSessionClosed(std::uint16_t error) {
  engine_.connected = false;
  sendingData_ = false;
  if (OnSessionClosed) OnSessionClosed(*this, error);
  engine_.Complete(wsa::kInterrupted);
  if (!engine_.Chaining() && engine_.Done()) session_.StopTimeout();
}

// --- replies --------------------------------------------------------------------------

void SmtpClient::HandleLine(const std::string& line) {
  engine_.lastResponse = line;
  if (OnResponse) OnResponse(*this, line);
  switch (engine_.State()) {
    case ClientState::WaitingBanner:
      HandleBanner();
      break;
    case ClientState::WaitingResponse:
      StandardResponse();
      break;
    default:
      engine_.Display("< " + line);
      break;
  }
}

void SmtpClient::HandleBanner() {
  engine_.Display("< " + engine_.lastResponse);
  bool continuation = false;
  engine_.statusCode = ParseReplyNumber(engine_.lastResponse, continuation);
  if (continuation) return;
  if (engine_.statusCode != 220) {
    // The session closing reports the failed connect (10004).
    engine_.errorMessage = engine_.lastResponse;
    engine_.result = engine_.statusCode;
    session_.Close();
    return;
  }
  if (Security == TlsMode::StartTls) {
    // RFC 3207: STARTTLS is offered in the EHLO reply; nothing else is
    // said before the session is secure.
    SendInternal("EHLO " + Greeting(), {250}, Phase::UpgradeEhlo);
    return;
  }
  ConnectionReady();
}

void SmtpClient::ConnectionReady() {
  engine_.SetState(ClientState::Connected);
  if (OnSessionConnected) OnSessionConnected(*this, 0);
  engine_.Complete(0);
}

// A command the client says on its own within the request in progress.
void SmtpClient::SendInternal(const std::string& command, std::vector<int> okResponses, Phase phase) {
  okResponses_ = std::move(okResponses);
  phase_ = phase;
  engine_.SetState(ClientState::WaitingResponse);
  SendCommand(command);
}

void SmtpClient::FailConnect(int error) {
  engine_.RecordFailure(error, error);
  if (engine_.errorMessage.empty()) engine_.errorMessage = engine_.lastResponse;
  engine_.Display("< " + engine_.lastResponse);
  engine_.Complete(error);
  session_.Abort();
  if (!engine_.Chaining()) engine_.SetState(ClientState::Ready);
}

void SmtpClient::UpgradeEhloDone() {
  if (engine_.result != 0) {
    // The server cannot even say what it offers: it offers no STARTTLS.
    return FailConnect(tls::kNotOffered);
  }
  if (!HasCapability(capabilities_, "STARTTLS")) return FailConnect(tls::kNotOffered);
  SendInternal("STARTTLS", {220}, Phase::UpgradeStartTls);
}

void SmtpClient::UpgradeAccepted() {
  if (engine_.result != 0) return FailConnect(tls::kNotOffered);
  engine_.errorMessage.clear();
  engine_.SetState(ClientState::Connecting);
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
  const std::string& line = engine_.lastResponse;
  engine_.Display("< " + line);
  bool continuation = false;
  engine_.statusCode = ParseReplyNumber(line, continuation);
  if (readingCapabilities_ && engine_.statusCode == 250 && line.size() > 4) {
    capabilities_.push_back(line.substr(4));
  }
  if (continuation) return;
  readingCapabilities_ = false;
  const int code = engine_.statusCode;
  bool accepted = okResponses_.empty()
                      ? code < 500
                      : std::find(okResponses_.begin(), okResponses_.end(), code) != okResponses_.end();
  if (accepted) {
    engine_.result = 0;
    if (code == 235) loggedIn_ = true;  // only AUTH answers 235
  } else {
    engine_.result = code;
    if (engine_.errorMessage.empty()) engine_.errorMessage = line;
  }
  const Phase answered = phase_;
  phase_ = Phase::Command;
  switch (answered) {
    case Phase::Command:
      engine_.Complete(engine_.result);
      break;
    case Phase::UpgradeEhlo:
      UpgradeEhloDone();
      break;
    case Phase::UpgradeStartTls:
      UpgradeAccepted();
      break;
    case Phase::GreetingBeforeAuth:
      if (engine_.result == 0 && engine_.connected) esmtp_ = true;
      // The next mail of the same session greets again but is logged in
      // already (RFC 4954: a second AUTH is refused).
      if (engine_.result != 0 || !engine_.connected || loggedIn_) return engine_.Complete(engine_.result);
      engine_.SetState(ClientState::InternalReady);
      StartAuth(AuthType);
      break;
    case Phase::Ehlo:
      if (engine_.result == 0 && engine_.connected) esmtp_ = true;
      engine_.Complete(engine_.result);
      break;
    case Phase::AuthLogin:
      AuthLoginUser();
      break;
    case Phase::AuthLoginUser:
      AuthLoginPassword();
      break;
    case Phase::AuthCramMd5:
      AuthCramMd5Answer();
      break;
    case Phase::Recipient:
      NextRecipient();
      break;
    case Phase::Data:
      DataAccepted();
      break;
  }
}

// A line that does not fit the receive buffer can never be taken out of it:
// give the request up instead of waiting for ever.
void SmtpClient::ReplyLineTooLong() {
  engine_.lastResponse = "500 Reply line too long (more than " + std::to_string(kReceiveBufferSize) +
                         " bytes without CR LF)";
  engine_.statusCode = 500;
  engine_.result = 500;
  if (engine_.errorMessage.empty()) engine_.errorMessage = engine_.lastResponse;
  engine_.Display("< " + engine_.lastResponse);
  engine_.GiveUp(500);  // nothing more to say to this server
  session_.Close();
}

// --- time-out -----------------------------------------------------------------------------

void SmtpClient::ArmTimeout() { session_.ArmTimeout(Timeout); }

void SmtpClient::TimedOut() { engine_.TimedOut("< "); }

// --- single commands ----------------------------------------------------------------------

void SmtpClient::Helo() {
  engine_.CheckReady();
  engine_.CheckConnected();
  // Inside Open the log-in is a step of its own; HELO there is the
  // fall-back for a server that does not know EHLO.
  if (AuthType == SmtpAuth::None || engine_.Chaining()) {
    ExecAsync(SmtpRequest::Helo, "HELO " + Greeting(), {250});
    return;
  }
  ExecAsync(SmtpRequest::Helo, "EHLO " + Greeting(), {250}, Phase::GreetingBeforeAuth);
}

void SmtpClient::Ehlo() {
  engine_.CheckReady();
  engine_.CheckConnected();
  ExecAsync(SmtpRequest::Ehlo, "EHLO " + Greeting(), {250}, Phase::Ehlo);
}

void SmtpClient::Auth() {
  engine_.CheckReady();
  engine_.CheckConnected();
  StartAuth(AuthType);
}

// CRAM-MD5 never shows the password; PLAIN and LOGIN send it as it is, so
// only over TLS.
SmtpAuth SmtpClient::ChooseAuth() const {
  const std::vector<std::string> offered = OfferedMechanisms(capabilities_);
  auto offers = [&](const char* name) { return std::find(offered.begin(), offered.end(), name) != offered.end(); };
  if (offers("CRAM-MD5")) return SmtpAuth::CramMd5;
  if (!session_.Secure()) return SmtpAuth::None;
  if (offers("PLAIN")) return SmtpAuth::Plain;
  if (offers("LOGIN")) return SmtpAuth::Login;
  return SmtpAuth::None;
}

void SmtpClient::StartAuth(SmtpAuth type) {
  if (!esmtp_) {
    engine_.Begin(SmtpRequest::Auth);
    return FailWithoutCommand(500, "500 ESMTP not supported.");
  }
  if (type == SmtpAuth::Auto) {
    type = ChooseAuth();
    if (type == SmtpAuth::None) {
      engine_.Begin(SmtpRequest::Auth);
      return FailWithoutCommand(tls::kNoAuthMechanism, NetErrorResponse("500 ", tls::kNoAuthMechanism));
    }
  }
  switch (type) {
    case SmtpAuth::None:
      engine_.Begin(SmtpRequest::Auth);
      return FailWithoutCommand(500, "500 No Authorization Type Selected.");
    case SmtpAuth::Plain: {
      // RFC 4616: authorization identity, authentication identity, password.
      // Both identities are the log-in name: the envelope sender is an
      // address, which servers refuse as a log-in name.
      std::string secret = Username + '\0' + Username + '\0' + Password;
      ExecAsync(SmtpRequest::Auth, "AUTH PLAIN " + Base64Encode(secret), {235}, Phase::Command,
                std::string("AUTH PLAIN ") + kHidden);
      return;
    }
    case SmtpAuth::Login:
      ExecAsync(SmtpRequest::Auth, "AUTH LOGIN", {334}, Phase::AuthLogin);
      return;
    case SmtpAuth::CramMd5:
      ExecAsync(SmtpRequest::Auth, "AUTH CRAM-MD5", {334}, Phase::AuthCramMd5);
      return;
    case SmtpAuth::Auto:
      return;  // chosen above
  }
}

void SmtpClient::AuthLoginUser() {
  if (engine_.result != 0) return engine_.Complete(engine_.result);
  engine_.SetState(ClientState::InternalReady);
  ExecAsync(SmtpRequest::Auth, Base64Encode(Username), {334}, Phase::AuthLoginUser);
}

void SmtpClient::AuthLoginPassword() {
  if (engine_.result != 0) return engine_.Complete(engine_.result);
  engine_.SetState(ClientState::InternalReady);
  ExecAsync(SmtpRequest::Auth, Base64Encode(Password), {235}, Phase::Command, kHidden);
}

void SmtpClient::AuthCramMd5Answer() {
  if (engine_.result != 0) return engine_.Complete(engine_.result);
  if (engine_.lastResponse.size() <= 4) {
    engine_.result = 500;
    engine_.lastResponse = "500 Malformed MD5 Challenge: " + engine_.lastResponse;
    engine_.statusCode = 500;
    engine_.errorMessage = engine_.lastResponse;
    return engine_.Complete(500);
  }
  std::string challenge = Base64Decode(std::string_view(engine_.lastResponse).substr(4));
  // RFC 2104 hashes a key longer than the block; cutting it would give a
  // digest no server accepts.
  std::string answer = Base64Encode(Username + " " + HmacMd5Hex(Password, challenge));
  engine_.SetState(ClientState::InternalReady);
  ExecAsync(SmtpRequest::Auth, answer, {235}, Phase::Command, kHidden);
}
}  // namespace mf
