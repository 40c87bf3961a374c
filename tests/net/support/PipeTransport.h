#pragma once

// An in-process transport: the client under test talks to a peer the test
// (or a fuzz target) plays by hand, without a socket. Events are posted to
// the loop, so they arrive from it as a socket's would.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/Transport.h"
#include "net/TcpSocket.h"
#include "platform/EventLoop.h"
#include "platform/PollEventLoop.h"

namespace mf::test {

class PipeTransport final : public Transport {
 public:
  // What the test sees of the connection.
  struct Peer {
    std::string written;    // every byte the client sent
    std::string unread;     // bytes said to the client, not yet read
    bool connected = false;
    bool refused = false;   // the next Connect is refused (10061)
    // Called, from the loop, after each Send of the client and once connected.
    std::function<void()> onWritten;
    std::function<void()> onConnected;
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
      if (peer_->onConnected) peer_->onConnected();
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

// Plays a script over a PipeTransport as ScriptedServer does over a socket:
// once the client is connected it says what the script says and waits for
// what the client should write, all on the loop.
class ScriptedPipePeer {
 public:
  explicit ScriptedPipePeer(platform::EventLoop& loop,
                            std::shared_ptr<PipeTransport::Peer> peer = std::make_shared<PipeTransport::Peer>())
      : peer(std::move(peer)), loop_(loop) {
    this->peer->onConnected = [this] {
      ++connections_;
      Run();
    };
    this->peer->onWritten = [this] { Run(); };
  }
  ScriptedPipePeer(const ScriptedPipePeer&) = delete;
  ScriptedPipePeer& operator=(const ScriptedPipePeer&) = delete;

  ScriptedPipePeer& Say(std::string bytes) {
    return Step([this, bytes] {
      PeerSay(*peer, bytes);
      return true;
    });
  }
  // Each piece in a read of its own.
  ScriptedPipePeer& SayInPieces(const std::string& bytes, std::size_t piece) {
    for (std::size_t at = 0; at < bytes.size(); at += piece) Say(bytes.substr(at, piece)).Pause();
    return *this;
  }
  // Lets the client read what was said so far before more is said.
  ScriptedPipePeer& Pause() {
    return Step([this, posted = false]() mutable {
      if (posted) return true;
      posted = true;
      loop_.Post(guard_.Bind([this] { Run(); }));
      return false;
    });
  }
  ScriptedPipePeer& Expect(std::string bytes) {
    return Step([this, bytes] {
      if (peer->written.size() < consumed_ + bytes.size()) return false;
      const std::string got = peer->written.substr(consumed_, bytes.size());
      if (got != bytes) failures_.push_back("expected \"" + bytes + "\" but got \"" + got + "\"");
      consumed_ += bytes.size();
      return true;
    });
  }
  // Waits for everything up to and including `terminator`, whatever it says.
  ScriptedPipePeer& ExpectThrough(std::string terminator) {
    return Step([this, terminator] {
      const std::size_t end = peer->written.find(terminator, consumed_);
      if (end == std::string::npos) return false;
      consumed_ = end + terminator.size();
      return true;
    });
  }
  ScriptedPipePeer& ExpectLine() { return ExpectThrough("\r\n"); }
  ScriptedPipePeer& CloseConnection() {
    return Step([this] {
      if (peer->hangUp) peer->hangUp();
      return true;
    });
  }
  // The steps after it wait for the client to connect again.
  ScriptedPipePeer& NextConnection() {
    return Step([this, count = connectionsScripted_++] { return connections_ > count; });
  }
  // A socket server needs these; here the script runs as the client goes.
  ScriptedPipePeer& StaySilent() { return *this; }
  void Start() { Run(); }
  void Finish() {}
  bool Finished() const { return next_ == steps_.size(); }

  const std::string& Received() const { return peer->written; }
  std::vector<std::string> ReceivedLines() const {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = peer->written.find("\r\n", at)) != std::string::npos; at = end + 2) {
      lines.push_back(peer->written.substr(at, end - at));
    }
    return lines;
  }
  std::vector<std::string> Failures() const {
    auto failures = failures_;
    if (!Finished()) failures.push_back("the script stopped at step " + std::to_string(next_));
    return failures;
  }

  std::shared_ptr<PipeTransport::Peer> peer;

 private:
  ScriptedPipePeer& Step(std::function<bool()> step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  void Run() {
    if (connections_ == 0 || running_) return;
    running_ = true;
    while (next_ < steps_.size() && steps_[next_]()) ++next_;
    running_ = false;
  }

  platform::EventLoop& loop_;
  std::vector<std::function<bool()>> steps_;
  std::size_t next_ = 0;
  std::size_t consumed_ = 0;
  int connections_ = 0;
  int connectionsScripted_ = 1;
  bool running_ = false;
  std::vector<std::string> failures_;
  platform::LifetimeGuard guard_;
};

// Runs the timers of whatever is built on it only when the test moves their
// clock on, so a time-out of seconds is tried exactly and at once. Everything
// else goes to the poll loop underneath.
class SteppedTimers final : public platform::EventLoop {
 public:
  explicit SteppedTimers(platform::PollEventLoop& loop) : loop_(loop) {}

  void Post(Callback callback) override { loop_.Post(std::move(callback)); }
  Id AddTimer(std::chrono::milliseconds interval, Repeat repeat, Callback callback) override {
    timers_[++lastId_] = {now_ + interval, interval, repeat, std::move(callback)};
    return lastId_;
  }
  void RemoveTimer(Id id) override { timers_.erase(id); }
  Id AddWatch(int fd, Readiness readiness, Callback callback) override {
    return loop_.AddWatch(fd, readiness, std::move(callback));
  }
  void RemoveWatch(Id id) override { loop_.RemoveWatch(id); }
  void RunInBackground(std::function<Callback()> job) override { loop_.RunInBackground(std::move(job)); }

  // Moves the clock on by `time`, firing what falls due in order, with the
  // loop run idle before and after each.
  void Elapse(std::chrono::milliseconds time) {
    const auto end = now_ + time;
    for (loop_.RunUntilIdle();; loop_.RunUntilIdle()) {
      auto due = timers_.end();
      for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.due <= end && (due == timers_.end() || it->second.due < due->second.due)) due = it;
      }
      if (due == timers_.end()) break;
      now_ = due->second.due;
      const Callback callback = due->second.callback;
      if (due->second.repeat == Repeat::Once) {
        timers_.erase(due);
      } else {
        due->second.due += due->second.interval;
      }
      callback();
    }
    now_ = end;
  }

 private:
  struct Entry {
    std::chrono::milliseconds due;
    std::chrono::milliseconds interval;
    Repeat repeat;
    Callback callback;
  };
  platform::PollEventLoop& loop_;
  std::map<Id, Entry> timers_;
  Id lastId_ = 0;
  std::chrono::milliseconds now_{0};
};

}  // namespace mf::test
