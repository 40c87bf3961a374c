#include "net/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "net/ConnectRace.h"
#include "net/SocketAddress.h"

namespace mf {

namespace {

// One Ethernet payload: a full block is one segment on the wire.
constexpr int kSendBlockSize = 1460;
// How long one readiness notification may go on reporting data.
constexpr std::chrono::milliseconds kReceiveBudget{20};
// What the receive loop reads and drops when nobody takes the data.
constexpr int kDiscardSize = 1024;

const char* PropertyName(int which) {
  static const char* const names[] = {"Addr", "Port", "Proto", "LocalAddr"};
  return names[which];
}

// Send errors after which the connection is gone for good.
bool EndsSession(int error) {
  return error == 10022 || error == 10038 || error == 10053 || error == 10054 || error == 10057;
}

int WaitingByteCount(int fd) {
  int count = 0;
  if (ioctl(fd, FIONREAD, &count) != 0) return 0;
  return count;
}

}  // namespace

struct TcpSocket::Lookup {
  std::vector<SocketAddress> addresses;
  int error = 0;
};

TcpSocket::TcpSocket(platform::EventLoop& loop) : loop_(loop), readWatch_(loop), writeWatch_(loop) {}

TcpSocket::~TcpSocket() {
  destroying_ = true;
  CancelDnsLookup();
  // Owners are being torn down: no events reach them any more.
  OnSessionClosed = nullptr;
  if (fd_ >= 0) CloseSocket(true);
}

// --- properties -------------------------------------------------------------

static void RequireClosed(SocketState state, int which) {
  if (state != SocketState::Closed) {
    throw ESocketException(std::string("Cannot change ") + PropertyName(which) + " if not closed");
  }
}

void TcpSocket::SetAddr(const std::string& value) {
  RequireClosed(state_, 0);
  addr_ = value;
}

void TcpSocket::SetPort(const std::string& value) {
  RequireClosed(state_, 1);
  port_ = value;
}

void TcpSocket::SetProto(const std::string& value) {
  RequireClosed(state_, 2);
  proto_ = value;
}

void TcpSocket::SetLocalAddr(const std::string& value) {
  RequireClosed(state_, 3);
  if (!SocketAddress::FromLiteral(value)) throw ESocketException("SetLocalAddr(): Invalid IP address");
  localAddr_ = value;
}


bool TcpSocket::AllSent() const {
  for (const auto& block : sendQueue_) {
    if (block.Unread() > 0) return false;
  }
  return true;
}

// --- lookup -----------------------------------------------------------------

void TcpSocket::DnsLookup(const std::string& host) {
  if (host.empty()) {
    lastError_ = wsa::kInvalidArgument;
    if (OnDnsLookupDone) OnDnsLookupDone(*this, wsa::kInvalidArgument);
    throw ESocketException("DNS lookup: invalid host name.", wsa::kInvalidArgument);
  }
  if (lookupId_ != 0) lookupId_ = 0;  // a newer lookup replaces it silently
  dnsResult_.clear();
  lookedUp_.clear();
  if (auto literal = SocketAddress::FromLiteral(host)) {
    dnsResult_ = literal->Text();
    lookedUp_ = {*literal};
    if (OnDnsLookupDone) OnDnsLookupDone(*this, 0);
    return;
  }
  std::uint64_t id = ++lookupCounter_;
  lookupId_ = id;
  auto result = std::make_shared<Lookup>();
  // Bound here, on the loop thread: the background thread only fills `result`.
  platform::EventLoop::Callback deliver = guard_.Bind([this, id, result] {
    if (lookupId_ != id) return;  // cancelled or replaced
    lookupId_ = 0;
    // The first address is the one shown; connecting tries them all.
    lookedUp_ = result->addresses;
    if (!lookedUp_.empty()) dnsResult_ = lookedUp_.front().Text();
    int error = result->error;
    if (error == 0 && result->addresses.empty()) error = wsa::kNoData;
    lastError_ = error;
    DeliverSafely([&] {
      if (OnDnsLookupDone) OnDnsLookupDone(*this, static_cast<std::uint16_t>(error));
    });
  });
  loop_.RunInBackground([host, result, deliver = std::move(deliver)]() {
    result->addresses = LookUpHost(host, result->error);
    return deliver;
  });
}

void TcpSocket::CancelDnsLookup() {
  if (lookupId_ == 0) return;
  lookupId_ = 0;
  if (!destroying_ && OnDnsLookupDone) OnDnsLookupDone(*this, wsa::kInterrupted);
}

// --- connect ----------------------------------------------------------------

void TcpSocket::Connect() {
  if (state_ != SocketState::Closed) throw ESocketException("Connect: Socket already in use");
  if (port_.empty()) throw ESocketException("Connect: No Port Specified");
  if (addr_.empty()) throw ESocketException("Connect: No IP Address Specified");

  int port = 0;
  std::vector<SocketAddress> addresses;
  SocketAddress local;
  try {
    WSocketResolveProto(proto_);
    port = WSocketResolvePort(port_, proto_);
    // The address the lookup showed stands for every address it found.
    addresses = !lookedUp_.empty() && addr_ == dnsResult_ ? lookedUp_ : ResolveHost(addr_);
    local = ResolveHost(localAddr_).front();
  } catch (const ESocketException& e) {
    throw ESocketException(std::string("connect: ") + e.what(), e.ErrorCode());
  }
  for (SocketAddress& address : addresses) address.SetPort(static_cast<std::uint16_t>(port));

  ++session_;
  closeFired_ = false;
  writablePosted_ = false;
  readPaused_ = false;
  sendQueue_.clear();
  ChangeState(SocketState::Opened);
  if (!local.IsAny()) ChangeState(SocketState::Bound);
  ChangeState(SocketState::Connecting);
  // Refusals and unreachable networks arrive as the connect notification,
  // from the loop, like every other answer from the network.
  std::uint64_t session = session_;
  race_ = std::make_unique<ConnectRace>(loop_, InterleaveFamilies(std::move(addresses)), local,
                                        [this, session](int fd, int error) {
                                          race_.reset();
                                          if (session != session_) {
                                            if (fd >= 0) ::close(fd);
                                            return;
                                          }
                                          fd_ = fd;
                                          ConnectCompleted(error);
                                        });
}

void TcpSocket::ConnectCompleted(int error) {
  std::weak_ptr<char> alive = alive_;
  if (error == 0) {
    ChangeState(SocketState::Connected);
    if (!StillAlive(alive) || state_ != SocketState::Connected) return;
    readWatch_.Start(fd_, platform::EventLoop::Readiness::Read, [this] { OnReadable(); });
    DeliverSafely([&] {
      if (OnSessionConnected) OnSessionConnected(*this, 0);
    });
    if (!StillAlive(alive) || state_ != SocketState::Connected) return;
    if (!AllSent()) {
      TryToSend();
    }
    return;
  }
  lastError_ = error;
  DeliverSafely([&] {
    if (OnSessionConnected) OnSessionConnected(*this, static_cast<std::uint16_t>(error));
  });
  if (StillAlive(alive)) Close();
}

// --- receiving --------------------------------------------------------------

int TcpSocket::Receive(void* buffer, int length) {
  if (fd_ < 0) {
    lastError_ = wsa::kNotConnected;
    return -1;
  }
  if (readPaused_ && state_ == SocketState::Connected) {
    readPaused_ = false;
    readWatch_.Start(fd_, platform::EventLoop::Readiness::Read, [this] { OnReadable(); });
  }
  if (length <= 0) return 0;
  ssize_t count;
  do {
    count = ::recv(fd_, buffer, static_cast<std::size_t>(length), 0);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    lastError_ = SocketErrorFromErrno(errno);
    return -1;
  }
  readCount_ += static_cast<std::uint64_t>(count);
  return static_cast<int>(count);
}

void TcpSocket::OnReadable() {
  if (fd_ < 0) return;
  if (WaitingByteCount(fd_) > 0) {
    ReceiveLoop();
    return;
  }
  // Nothing waiting: either the peer closed (end of stream or an error) or
  // the wake-up was spurious.
  char probe;
  ssize_t count = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (count > 0) {
    ReceiveLoop();
  } else if (count == 0) {
    PeerClosed(0);
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    PeerClosed(SocketErrorFromErrno(errno));
  }
}

void TcpSocket::ReceiveLoop() {
  std::weak_ptr<char> alive = alive_;
  std::uint64_t session = session_;
  const auto started = std::chrono::steady_clock::now();
  for (;;) {
    // Data still waiting after a while is reported on the loop's next turn
    // (the watch stays on), so a flood does not keep the loop from running.
    if (std::chrono::steady_clock::now() - started > kReceiveBudget) return;
    std::uint64_t before = readCount_;
    int readError = 0;
    if (OnDataAvailable) {
      DeliverSafely([&] { OnDataAvailable(*this, 0); });
      if (!StillAlive(alive) || session != session_ || fd_ < 0) return;
    } else {
      char discard[kDiscardSize];
      if (Receive(discard, sizeof discard) < 0) readError = lastError_;
    }
    if (readError != 0 && readError != wsa::kWouldBlock) return;
    if (WaitingByteCount(fd_) == 0) return;
    if (readCount_ == before) {
      // The handler left the data where it is: reporting the same bytes
      // again at once would spin. Reading resumes with its next Receive.
      readWatch_.Stop();
      readPaused_ = true;
      return;
    }
  }
}

void TcpSocket::PeerClosed(int error) {
  std::weak_ptr<char> alive = alive_;
  std::uint64_t session = session_;
  if (WaitingByteCount(fd_) > 0) {
    ReceiveLoop();
    if (!StillAlive(alive) || session != session_ || fd_ < 0) return;
  }
  if (error != 0) lastError_ = error;
  FireSessionClosed(error);
  if (StillAlive(alive) && session == session_) Close();
}

// --- sending ----------------------------------------------------------------

int TcpSocket::Send(const void* buffer, int length) {
  if (fd_ < 0 || state_ != SocketState::Connected) {
    SocketError("Send", wsa::kNotConnected);
    return -1;
  }
  if (length <= 0) return 0;
  PutDataInSendBuffer(buffer, length);
  TryToSend();
  if (fd_ >= 0 && AllSent()) PostWritable();
  return length;
}

int TcpSocket::SendStr(std::string_view text) {
  if (text.empty()) return 0;
  return Send(text.data(), static_cast<int>(text.size()));
}

void TcpSocket::PutDataInSendBuffer(const void* buffer, int length) {
  const char* bytes = static_cast<const char*>(buffer);
  while (length > 0) {
    if (sendQueue_.empty() || sendQueue_.back().IsFull()) sendQueue_.emplace_back(kSendBlockSize);
    int written = sendQueue_.back().Write(bytes, length);
    bytes += written;
    length -= written;
  }
}

void TcpSocket::TryToSend() {
  while (!sendQueue_.empty()) {
    SendBlock& block = sendQueue_.front();
    if (block.Unread() == 0) {
      if (sendQueue_.size() == 1) break;
      sendQueue_.pop_front();
      continue;
    }
    ssize_t sent = ::send(fd_, block.Peek(), static_cast<std::size_t>(block.Unread()), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        writeWatch_.Start(fd_, platform::EventLoop::Readiness::Write, [this] { OnWritable(); });
        return;
      }
      int error = SocketErrorFromErrno(errno);
      lastError_ = error;
      if (EndsSession(error)) {
        sendQueue_.clear();
        CloseSocket(true);
        FireSessionClosed(error);
        ResetDefaults();
      } else {
        SocketError("TryToSend failed", error);
      }
      return;
    }
    bool partial = sent < block.Unread();
    block.Remove(static_cast<int>(sent));
    if (fd_ < 0) return;
    if (partial) {
      writeWatch_.Start(fd_, platform::EventLoop::Readiness::Write, [this] { OnWritable(); });
      return;
    }
  }
  writeWatch_.Stop();
}

void TcpSocket::PostWritable() {
  if (writablePosted_) return;
  writablePosted_ = true;
  std::uint64_t session = session_;
  loop_.Post(guard_.Bind([this, session] {
    if (session != session_) return;
    writablePosted_ = false;
    if (fd_ >= 0 && state_ == SocketState::Connected) OnWritable();
  }));
}

void TcpSocket::OnWritable() {
  if (fd_ < 0) return;
  std::uint64_t session = session_;
  TryToSend();
  if (session != session_ || fd_ < 0) return;
  if (AllSent()) {
    writeWatch_.Stop();
    DeliverSafely([&] {
      if (OnDataSent) OnDataSent(*this, 0);
    });
  }
}

// --- closing ----------------------------------------------------------------

void TcpSocket::Close() {
  if (state_ == SocketState::Closed) return;
  CloseSocket(true);
  FireSessionClosed(0);
  ResetDefaults();
}

void TcpSocket::Abort() {
  CancelDnsLookup();
  sendQueue_.clear();
  if (state_ == SocketState::Closed) return;
  if (state_ == SocketState::Connected) {
    linger off{0, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
  }
  CloseSocket(false);
  FireSessionClosed(0);
  ResetDefaults();
}

void TcpSocket::CloseSocket(bool graceful) {
  readWatch_.Stop();
  writeWatch_.Stop();
  readPaused_ = false;
  writablePosted_ = false;
  race_.reset();
  ++session_;
  if (fd_ >= 0) {
    if (graceful && state_ == SocketState::Connected) ::shutdown(fd_, SHUT_WR);
    ::close(fd_);  // never retried: Linux releases the descriptor even on EINTR
    fd_ = -1;
  }
  ChangeState(SocketState::Closed);
}

void TcpSocket::FireSessionClosed(int error) {
  if (closeFired_) return;
  closeFired_ = true;
  DeliverSafely([&] {
    if (OnSessionClosed) OnSessionClosed(*this, static_cast<std::uint16_t>(error));
  });
}

void TcpSocket::ResetDefaults() {
  addr_.clear();
  port_.clear();
  proto_ = "tcp";
}

// --- helpers ----------------------------------------------------------------

void TcpSocket::ChangeState(SocketState newState) { state_ = newState; }

void TcpSocket::SocketError(const std::string& callName, int error) {
  lastError_ = error;
  std::string message =
      "Error " + std::to_string(error) + " in function " + callName + "\r\n" + SocketErrorText(error);
  if (error == wsa::kConnectionReset || error == wsa::kNotConnected) {
    std::weak_ptr<char> alive = alive_;
    Close();
    if (!StillAlive(alive)) return;
  }
  throw ESocketException(message, error);
}

void TcpSocket::DeliverSafely(const std::function<void()>& notify) {
  std::weak_ptr<char> alive = alive_;
  try {
    notify();
  } catch (const std::exception&) {
    if (!StillAlive(alive)) return;
    Abort();
  }
}

}  // namespace mf
