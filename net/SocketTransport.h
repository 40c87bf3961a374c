#pragma once

#include "net/Transport.h"
#include "net/TcpSocket.h"

namespace mf {

// The transport of the program: an event-driven TCP socket.
class SocketTransport final : public Transport {
 public:
  explicit SocketTransport(platform::EventLoop& loop);
  ~SocketTransport() override;

  void Lookup(const std::string& host) override;
  void CancelLookup() override;
  void Connect(const std::string& port, const std::string& localAddr) override;
  int Receive(char* buffer, int length) override;
  void Send(std::string_view bytes) override;
  bool Connected() const override { return socket_.State() == SocketState::Connected; }
  bool Open() const override;
  void Close() override { socket_.Close(); }
  void Abort() override { socket_.Abort(); }

 private:
  TcpSocket socket_;
  bool lookingUp_ = false;
};

}  // namespace mf
