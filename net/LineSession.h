#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/TlsChannel.h"
#include "net/Transport.h"
#include "platform/EventLoop.h"

namespace mf {

// What both mail clients stand on: a transport (a TCP socket, or anything
// else that moves bytes), TLS over it when asked for, the splitting of what
// arrives into CR LF lines with a limit on their length, and the inactivity
// time-out. The clients only see lines and say when to send, upgrade or
// give up, so their protocol code is the same over plain text and TLS.
class LineSession {
 public:
  // A line longer than the limit either arrives in pieces of the limit's
  // length (POP3 message lines), or ends the session's usefulness (a reply
  // line that cannot be judged from a piece).
  enum class LongLines { Split, Fail };

  explicit LineSession(platform::EventLoop& loop, std::unique_ptr<Transport> transport = nullptr);
  ~LineSession();
  LineSession(const LineSession&) = delete;
  LineSession& operator=(const LineSession&) = delete;

  void SetLineLimit(std::size_t maxLength, LongLines rule);

  // --- events -------------------------------------------------------------
  std::function<void(std::uint16_t error)> OnLookupDone;
  // The connection is ready for lines; with implicit TLS after the
  // handshake, whose failure arrives here as its TLS error number.
  std::function<void(std::uint16_t error)> OnConnected;
  // `cut`: the line goes on in the next piece; `tail`: this piece goes on
  // from the one before. The receiver may take the line's bytes (by swapping
  // them out); the buffer is refilled for the next line.
  std::function<void(std::string& line, bool cut, bool tail)> OnLine;
  // LongLines::Fail and a line over the limit: what was buffered is dropped.
  std::function<void()> OnLineTooLong;
  // Everything sent has gone out; never inside the sending call.
  std::function<void()> OnSent;
  std::function<void(int error)> OnSecured;  // the result of StartTls
  std::function<void(std::uint16_t error)> OnClosed;
  std::function<void()> OnTimedOut;

  // --- requests -----------------------------------------------------------
  // Resolves `host`, which is also the name the certificate must carry.
  void Lookup(const std::string& host);
  void CancelLookup() { transport_->CancelLookup(); }
  // Connects to the address found; misuse throws ESocketException.
  void Connect(const std::string& port, const std::string& localAddr, TlsMode mode);
  // Upgrades the connection: plain text still buffered is dropped, for it
  // was sent before the upgrade and cannot be trusted after it. Returns 0,
  // or the error number when TLS could not even be prepared; the outcome
  // of the handshake arrives through OnSecured.
  int StartTls();
  void Send(std::string_view bytes);
  void SendLine(std::string_view text);
  void Close();
  void Abort();

  // While held, lines stay in the buffer instead of being handed out: the
  // replies to commands sent ahead wait there for the request that claims
  // them. Reading goes on meanwhile. Releasing hands the held lines out
  // from the event loop, never inside the call.
  void HoldLines();
  void ReleaseLines();

  bool Connected() const { return transport_->Connected(); }
  bool Open() const { return transport_->Open(); }
  bool Secure() const { return tls_ != nullptr && tls_->Secure() && !handshaking_; }
  // The detail of the last TLS failure, for the user's logs.
  const std::string& TlsDetail() const { return tlsDetail_; }

  // Runs the time-out; any byte moving either way starts it again.
  void ArmTimeout(int seconds);
  void StopTimeout();

 private:
  void TransportConnected(std::uint16_t error);
  void Readable();
  bool PumpTls();
  bool DeliverLines();
  void HandshakeFinished(int error);
  void Flush();
  void TransportSent();
  void TransportClosed(std::uint16_t error);
  void Reset();
  void RestartTimer();

  platform::EventLoop& loop_;
  std::unique_ptr<Transport> transport_;
  platform::Timer timer_;
  int timeoutSeconds_ = 0;

  std::string host_;
  TlsMode mode_ = TlsMode::None;
  std::unique_ptr<TlsChannel> tls_;
  bool handshaking_ = false;
  bool tlsWanted_ = false;  // this connection is to be encrypted
  int brokenError_ = 0;  // a TLS failure after the handshake, reported on close
  std::string tlsDetail_;

  std::size_t maxLine_ = 4094;
  LongLines rule_ = LongLines::Fail;
  std::string input_;
  std::size_t inputStart_ = 0;  // bytes of input_ already handed out
  std::string line_;             // the line being handed out
  bool nextIsTail_ = false;
  bool held_ = false;
  // Bumped whenever buffered input stops belonging to the connection.
  std::uint64_t generation_ = 0;
  std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace mf
