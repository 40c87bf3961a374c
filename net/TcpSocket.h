#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "net/SendBlock.h"
#include "net/SocketAddress.h"
#include "platform/EventLoop.h"

namespace mf {

// Socket error numbers as the user sees them (" (socket error #10061)").
// POSIX errno values and resolver failures are mapped onto these.
namespace wsa {
constexpr int kNoError = 0;
constexpr int kInterrupted = 10004;        // also: a cancelled lookup, a lost session
constexpr int kBadFile = 10009;
constexpr int kAccessDenied = 10013;
constexpr int kInvalidArgument = 10022;
constexpr int kWouldBlock = 10035;
constexpr int kInProgress = 10036;
constexpr int kNotSocket = 10038;
constexpr int kAddressInUse = 10048;
constexpr int kAddressNotAvailable = 10049;
constexpr int kNetworkDown = 10050;
constexpr int kNetworkUnreachable = 10051;
constexpr int kConnectionAborted = 10053;
constexpr int kConnectionReset = 10054;
constexpr int kNotConnected = 10057;
constexpr int kTimedOut = 10060;
constexpr int kConnectionRefused = 10061;
constexpr int kHostUnreachable = 10065;
constexpr int kHostNotFound = 11001;
constexpr int kTryAgain = 11002;
constexpr int kNoRecovery = 11003;
constexpr int kNoData = 11004;
}  // namespace wsa

// The system's own text for the errno value or resolver failure behind a
// socket error number ("Connection refused" for 10061); "Unknown socket
// error" for a number outside the table.
std::string SocketErrorText(int error);

// The socket number for an errno value, and for a getaddrinfo() result.
int SocketErrorFromErrno(int errnoValue);
int SocketErrorFromResolver(int gaiError);

// Misuse at the call and failing socket calls. `ErrorCode()` is the socket
// error number when there is one, else 0.
class ESocketException : public std::runtime_error {
 public:
  explicit ESocketException(const std::string& message, int errorCode = 0)
      : std::runtime_error(message), errorCode_(errorCode) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

enum class SocketState {
  Opened,
  Bound,
  Connecting,
  Connected,
  Closed,
};

// Resolvers used by Connect; each throws ESocketException with the message
// the user sees. Exposed for the clients and for tests.
int WSocketResolvePort(const std::string& port, const std::string& proto);
int WSocketResolveProto(const std::string& proto);
// An IPv4 or IPv6 address, or every address of a name. May block for a
// name lookup.
std::vector<SocketAddress> ResolveHost(const std::string& host);
// The local host name; throws "gethostname failed".
std::string LocalHostName();

// An event-driven TCP client socket. Nothing blocks: lookup, connection,
// arriving data, an emptied send queue and closing are reported through the
// event slots, from the event loop. Only Close, Abort, CancelDnsLookup and a
// DnsLookup of a dotted address fire events inside the call.
class ConnectRace;

class TcpSocket {
 public:
  using ErrorEvent = std::function<void(TcpSocket& sender, std::uint16_t error)>;

  explicit TcpSocket(platform::EventLoop& loop);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // --- properties ---------------------------------------------------------
  // Addr, Port, Proto and LocalAddr may change only while the socket is
  // SocketState::Closed ("Cannot change Addr if not closed").
  const std::string& Addr() const { return addr_; }
  void SetAddr(const std::string& value);
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value);
  const std::string& Proto() const { return proto_; }
  void SetProto(const std::string& value);
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value);  // an IPv4 or IPv6 address only

  const std::string& DnsResult() const { return dnsResult_; }
  int LastError() const { return lastError_; }
  SocketState State() const { return state_; }

  // --- events -------------------------------------------------------------
  // An exception escaping a handler aborts the socket.
  ErrorEvent OnDnsLookupDone;
  ErrorEvent OnSessionConnected;
  ErrorEvent OnDataAvailable;
  ErrorEvent OnDataSent;
  ErrorEvent OnSessionClosed;

  // --- requests -----------------------------------------------------------
  // Finds the addresses of `host` (IPv6 and IPv4); DnsResult shows the first.
  // Connecting to that address tries every address found, in turn.
  void DnsLookup(const std::string& host);
  void CancelDnsLookup();
  void Connect();
  // Count read, 0 at end of stream, or -1 with LastError set (10035 when
  // nothing is waiting).
  int Receive(void* buffer, int length);
  // Queues and tries to send; returns `length`. When not connected this is
  // the socket error "Send" (10057), thrown as ESocketException.
  int Send(const void* buffer, int length);
  int SendStr(std::string_view text);
  void Close();
  void Abort();

 private:
  struct Lookup;

  // Queues without sending; the next Send or writable notification sends.
  void PutDataInSendBuffer(const void* buffer, int length);
  // True when the send queue holds nothing unsent.
  bool AllSent() const;

  void ChangeState(SocketState newState);
  void SocketError(const std::string& callName, int error);
  void OnReadable();
  void OnWritable();
  void ConnectCompleted(int error);
  void ReceiveLoop();
  void PeerClosed(int error);
  void TryToSend();
  void PostWritable();
  void CloseSocket(bool graceful);
  void FireSessionClosed(int error);
  void ResetDefaults();
  void DeliverSafely(const std::function<void()>& notify);
  bool StillAlive(const std::weak_ptr<char>& alive) const { return !alive.expired(); }

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  platform::FdWatch readWatch_;
  platform::FdWatch writeWatch_;

  std::string addr_;
  std::string port_;
  std::string proto_ = "tcp";
  std::string localAddr_ = "0.0.0.0";
  std::string dnsResult_;
  std::vector<SocketAddress> lookedUp_;
  std::unique_ptr<ConnectRace> race_;
  int lastError_ = 0;
  std::uint64_t readCount_ = 0;  // bytes received, to see whether a handler read
  SocketState state_ = SocketState::Closed;

  int fd_ = -1;
  std::deque<SendBlock> sendQueue_;
  // Bumped on every close, so notifications posted for an earlier session
  // are dropped.
  std::uint64_t session_ = 0;
  std::uint64_t lookupId_ = 0;  // 0: no lookup running
  std::uint64_t lookupCounter_ = 0;
  bool closeFired_ = true;
  bool writablePosted_ = false;
  bool readPaused_ = false;
  bool destroying_ = false;
  // Lets a notification notice that a handler destroyed this socket.
  std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace mf
