#include "net/SocketTransport.h"

namespace mf {

SocketTransport::SocketTransport(platform::EventLoop& loop) : socket_(loop) {
  socket_.OnDnsLookupDone = [this](TcpSocket&, std::uint16_t error) {
    lookingUp_ = false;
    if (events_.lookupDone) events_.lookupDone(error);
  };
  socket_.OnSessionConnected = [this](TcpSocket&, std::uint16_t error) {
    if (events_.connected) events_.connected(error);
  };
  socket_.OnDataAvailable = [this](TcpSocket&, std::uint16_t) {
    if (events_.readable) events_.readable();
  };
  socket_.OnDataSent = [this](TcpSocket&, std::uint16_t) {
    if (events_.sent) events_.sent();
  };
  socket_.OnSessionClosed = [this](TcpSocket&, std::uint16_t error) {
    if (events_.closed) events_.closed(error);
  };
}

SocketTransport::~SocketTransport() {
  // Owners are being torn down: nobody is left to hear the socket close.
  socket_.OnDnsLookupDone = nullptr;
  socket_.OnSessionConnected = nullptr;
  socket_.OnDataAvailable = nullptr;
  socket_.OnDataSent = nullptr;
  socket_.OnSessionClosed = nullptr;
}

void SocketTransport::Lookup(const std::string& host) {
  lookingUp_ = true;
  socket_.DnsLookup(host);
}

void SocketTransport::CancelLookup() {
  if (!lookingUp_) return;
  lookingUp_ = false;
  socket_.CancelDnsLookup();
}

void SocketTransport::Connect(const std::string& port, const std::string& localAddr) {
  socket_.SetAddr(socket_.DnsResult());
  socket_.SetLocalAddr(localAddr);
  socket_.SetProto("tcp");
  socket_.SetPort(port);
  socket_.Connect();
}

int SocketTransport::Receive(char* buffer, int length) {
  int count = socket_.Receive(buffer, length);
  if (count < 0 && socket_.LastError() == wsa::kWouldBlock) return 0;
  return count;
}

void SocketTransport::Send(std::string_view bytes) {
  if (bytes.empty()) return;
  socket_.Send(bytes.data(), static_cast<int>(bytes.size()));
}

bool SocketTransport::Open() const { return lookingUp_ || socket_.State() != SocketState::Closed; }

}  // namespace mf
