#include "net/LineSession.h"

#include <chrono>

#include "net/NetErrors.h"
#include "net/SocketTransport.h"
#include "net/TcpSocket.h"

namespace mf {

namespace {

// One read from the transport; lines are handed out after each, so the
// buffer stays near one read plus one line.
constexpr int kReadChunk = 16384;
// How long one wake-up may read before the loop gets its turn: a fast server
// fills the socket as quickly as it is emptied, and a 50 MB message must not
// freeze the windows while it arrives.
constexpr std::chrono::milliseconds kReadBudget{20};

}  // namespace

LineSession::LineSession(platform::EventLoop& loop, std::unique_ptr<Transport> transport)
    : loop_(loop),
      transport_(transport ? std::move(transport) : std::make_unique<SocketTransport>(loop)),
      timer_(loop) {
  Transport::Events events;
  events.lookupDone = [this](std::uint16_t error) {
    if (OnLookupDone) OnLookupDone(error);
  };
  events.connected = [this](std::uint16_t error) { TransportConnected(error); };
  events.readable = [this] { Readable(); };
  events.sent = [this] { TransportSent(); };
  events.closed = [this](std::uint16_t error) { TransportClosed(error); };
  transport_->SetEvents(std::move(events));
}

LineSession::~LineSession() {
  // The transport may report its own closing; nobody is left to hear it.
  transport_->SetEvents({});
}

void LineSession::SetLineLimit(std::size_t maxLength, LongLines rule) {
  maxLine_ = maxLength;
  rule_ = rule;
}

// --- connecting ---------------------------------------------------------------

void LineSession::Reset() {
  ++generation_;
  tls_.reset();
  handshaking_ = false;
  tlsWanted_ = false;
  brokenError_ = 0;
  input_.clear();
  inputStart_ = 0;
  nextIsTail_ = false;
  held_ = false;
}

void LineSession::Lookup(const std::string& host) {
  Reset();
  tlsDetail_.clear();
  host_ = host;
  transport_->Lookup(host);
}

void LineSession::Connect(const std::string& port, const std::string& localAddr, TlsMode mode) {
  Reset();
  mode_ = mode;
  transport_->Connect(port, localAddr);
}

void LineSession::TransportConnected(std::uint16_t error) {
  if (error != 0 || mode_ != TlsMode::Implicit) {
    if (OnConnected) OnConnected(error);
    return;
  }
  tlsWanted_ = true;
  tls_ = std::make_unique<TlsChannel>(host_);
  if (tls_->Error() != 0) return HandshakeFinished(tls_->Error());
  handshaking_ = true;
  PumpTls();
}

int LineSession::StartTls() {
  // Whatever the server said after its go-ahead was said in clear.
  input_.clear();
  inputStart_ = 0;
  nextIsTail_ = false;
  ++generation_;
  tlsWanted_ = true;
  tls_ = std::make_unique<TlsChannel>(host_);
  if (tls_->Error() != 0) {
    tlsDetail_ = tls_->Detail();
    int error = tls_->Error();
    tls_.reset();
    return error;
  }
  mode_ = TlsMode::StartTls;
  handshaking_ = true;
  // The client hello goes out now; the rest follows the server's answers.
  PumpTls();
  return 0;
}

void LineSession::HandshakeFinished(int error) {
  handshaking_ = false;
  if (error != 0) {
    tlsDetail_ = tls_ ? tls_->Detail() : std::string();
    if (tls_) Flush();  // the alert tells the server why
    tls_.reset();
  }
  std::weak_ptr<char> alive = alive_;
  if (mode_ == TlsMode::Implicit) {
    if (OnConnected) OnConnected(static_cast<std::uint16_t>(error));
  } else {
    if (OnSecured) OnSecured(error);
  }
  // Never a word in clear after a failed handshake.
  if (error != 0 && !alive.expired() && transport_->Open()) transport_->Abort();
}

// --- receiving ------------------------------------------------------------------

void LineSession::Readable() {
  std::weak_ptr<char> alive = alive_;
  char chunk[kReadChunk];
  const auto started = std::chrono::steady_clock::now();
  while (transport_->Connected()) {
    if (std::chrono::steady_clock::now() - started > kReadBudget) {
      // The rest is read on the next turn; not every transport says again
      // that data waits, so ask for that turn.
      loop_.Post([this, alive, generation = generation_] {
        if (!alive.expired() && generation == generation_) Readable();
      });
      return;
    }
    int count = transport_->Receive(chunk, sizeof chunk);
    if (count <= 0) return;
    RestartTimer();
    if (tls_) {
      tls_->PutNetworkBytes(std::string_view(chunk, static_cast<std::size_t>(count)));
      if (!PumpTls() || alive.expired()) return;
    } else {
      input_.append(chunk, static_cast<std::size_t>(count));
    }
    if (!DeliverLines()) return;
  }
}

// Moves the handshake on, then decrypts what has arrived into the input.
// False when the session ended or changed under the call.
bool LineSession::PumpTls() {
  std::weak_ptr<char> alive = alive_;
  const std::uint64_t generation = generation_;
  if (handshaking_) {
    TlsChannel::Status status = tls_->Handshake();
    Flush();
    if (status == TlsChannel::Status::Pending) return true;
    if (status == TlsChannel::Status::Failed) {
      HandshakeFinished(tls_->Error());
      return false;
    }
    HandshakeFinished(0);
    // The first reply may have come with the end of the handshake.
    if (alive.expired() || generation != generation_ || !tls_) return false;
  }
  TlsChannel::Status status = tls_->ReadPlain(input_);
  Flush();
  if (status == TlsChannel::Status::Failed) {
    brokenError_ = tls_->Error();
    tlsDetail_ = tls_->Detail();
    transport_->Abort();
    return false;
  }
  return true;
}

bool LineSession::DeliverLines() {
  std::weak_ptr<char> alive = alive_;
  const std::uint64_t generation = generation_;
  for (;;) {
    if (held_) return true;
    // One buffer for every line: a large message is many lines.
    std::string& line = line_;
    bool cut = false;
    const std::size_t available = input_.size() - inputStart_;
    const std::size_t end = input_.find("\r\n", inputStart_);
    if (end != std::string::npos && end - inputStart_ <= maxLine_) {
      line.assign(input_, inputStart_, end - inputStart_);
      inputStart_ = end + 2;
    } else if (available >= maxLine_ + 2) {
      // Waiting for two more bytes first keeps a line of exactly the
      // limit whole.
      if (rule_ == LongLines::Fail) {
        input_.clear();
        inputStart_ = 0;
        if (OnLineTooLong) OnLineTooLong();
        return !alive.expired() && generation == generation_;
      }
      line.assign(input_, inputStart_, maxLine_);
      inputStart_ += maxLine_;
      cut = true;
    } else {
      input_.erase(0, inputStart_);
      inputStart_ = 0;
      return true;
    }
    const bool tail = nextIsTail_;
    nextIsTail_ = cut;
    if (OnLine) OnLine(line, cut, tail);
    if (alive.expired() || generation != generation_) return false;
  }
}

void LineSession::HoldLines() { held_ = true; }

void LineSession::ReleaseLines() {
  if (!held_) return;
  held_ = false;
  std::weak_ptr<char> alive = alive_;
  loop_.Post([this, alive, generation = generation_] {
    if (alive.expired() || generation != generation_ || held_) return;
    DeliverLines();
  });
}

// --- sending ----------------------------------------------------------------------

void LineSession::Send(std::string_view bytes) {
  if (!tls_ && !tlsWanted_) {
    transport_->Send(bytes);
    return;
  }
  // Once encryption was asked for, nothing goes out in clear, even when
  // the session could not be secured.
  if (!tls_ || !transport_->Connected()) {
    throw ESocketException("Error 10057 in function Send", wsa::kNotConnected);
  }
  if (handshaking_ || !tls_->WritePlain(bytes)) return;  // nothing goes out in clear
  Flush();
}

void LineSession::SendLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line += "\r\n";
  Send(line);
}

void LineSession::Flush() {
  std::string bytes = tls_->TakeNetworkBytes();
  if (!bytes.empty() && transport_->Connected()) transport_->Send(bytes);
}

void LineSession::TransportSent() {
  RestartTimer();
  if (handshaking_) return;  // handshake records, not the client's lines
  if (OnSent) OnSent();
}

// --- closing ------------------------------------------------------------------------

void LineSession::TransportClosed(std::uint16_t error) {
  std::weak_ptr<char> alive = alive_;
  if (handshaking_) {
    HandshakeFinished(tls::kClosedInHandshake);
    if (alive.expired()) return;
  }
  int reported = brokenError_ != 0 ? brokenError_ : error;
  Reset();
  if (OnClosed) OnClosed(static_cast<std::uint16_t>(reported));
}

void LineSession::Close() {
  transport_->Close();
}

void LineSession::Abort() {
  transport_->Abort();
  Reset();
}

// --- time-out -------------------------------------------------------------------------

void LineSession::ArmTimeout(int seconds) {
  timeoutSeconds_ = seconds;
  if (seconds <= 0) {
    timer_.Stop();
    return;
  }
  timer_.Start(std::chrono::seconds(seconds), platform::EventLoop::Repeat::Once, [this] {
    if (OnTimedOut) OnTimedOut();
  });
}

void LineSession::StopTimeout() {
  timeoutSeconds_ = 0;
  timer_.Stop();
}

void LineSession::RestartTimer() {
  if (timeoutSeconds_ > 0 && timer_.IsActive()) ArmTimeout(timeoutSeconds_);
}

}  // namespace mf
