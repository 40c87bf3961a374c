#pragma once

// An in-process transport: the client under test talks to a peer the test
// (or a fuzz target) plays by hand, without a socket. Events are posted to
// the loop, so they arrive from it as a socket's would.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/Transport.h"
#include "net/TcpSocket.h"
#include "platform/EventLoop.h"

namespace mf::test {

class PipeTransport final : public Transport {
 public:
  // What the test sees of the connection.
  struct Peer {
    std::string written;    // every byte the client sent
    std::string unread;     // bytes said to the client, not yet read
    bool connected = false;
    bool refused = false;   // the next Connect is refused (10061)
    // Called, from the loop, after each Send of the client.
    std::function<void()> onWritten;
    std::function<void()> wake;  // set by the transport: tell the client to read
    std::function<void()> hangUp;
  };

  PipeTransport(platform::EventLoop& loop, std::shared_ptr<Peer> peer) : loop_(loop), peer_(std::move(peer)) {
    peer_->wake = guard_.Bind([this] {
      Post([this] {
        if (peer_->connected && events_.readable) events_.readable();
      });
    });
    // Like a socket, what was said before hanging up is read first.
    peer_->hangUp = guard_.Bind([this] {
      Post([this] {
        if (peer_->connected && !peer_->unread.empty() && events_.readable) events_.readable();
        Closed();
      });
    });
  }
  ~PipeTransport() override {
    peer_->wake = nullptr;
    peer_->hangUp = nullptr;
  }

  void Lookup(const std::string& host) override {
    if (host.empty()) {
      if (events_.lookupDone) events_.lookupDone(wsa::kInvalidArgument);
      throw ESocketException("DNS lookup: invalid host name.", wsa::kInvalidArgument);
    }
    Post([this] {
      if (events_.lookupDone) events_.lookupDone(0);
    });
  }
  void CancelLookup() override {}
  void Connect(const std::string&, const std::string&) override {
    open_ = true;
    Post([this] {
      if (!open_) return;
      if (peer_->refused) {
        open_ = false;
        if (events_.connected) events_.connected(wsa::kConnectionRefused);
        return;
      }
      peer_->connected = true;
      if (events_.connected) events_.connected(0);
      if (!peer_->unread.empty() && events_.readable) events_.readable();
    });
  }
  int Receive(char* buffer, int length) override {
    if (!peer_->connected) return -1;
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(length), peer_->unread.size());
    peer_->unread.copy(buffer, count);
    peer_->unread.erase(0, count);
    return static_cast<int>(count);
  }
  void Send(std::string_view bytes) override {
    if (!peer_->connected) throw ESocketException("Error 10057 in function Send", wsa::kNotConnected);
    peer_->written.append(bytes);
    Post([this] {
      if (peer_->onWritten) peer_->onWritten();
      if (peer_->connected && events_.sent) events_.sent();
    });
  }
  bool Connected() const override { return peer_->connected; }
  bool Open() const override { return open_; }
  void Close() override { Closed(); }
  void Abort() override { Closed(); }

 private:
  void Post(std::function<void()> call) { loop_.Post(guard_.Bind(std::move(call))); }

  void Closed() {
    if (!open_) return;
    open_ = false;
    peer_->connected = false;
    if (events_.closed) events_.closed(0);
  }

  platform::EventLoop& loop_;
  std::shared_ptr<Peer> peer_;
  bool open_ = false;
  platform::LifetimeGuard guard_;
};

// The peer side of a PipeTransport.
inline void PeerSay(PipeTransport::Peer& peer, std::string_view bytes) {
  peer.unread.append(bytes);
  if (peer.wake) peer.wake();
}

}  // namespace mf::test
