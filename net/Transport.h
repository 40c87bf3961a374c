#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace mf {

// The byte stream under a line session: a TCP socket in the program, an
// in-process pipe in tests. Events come from the event loop; only Close,
// Abort and CancelLookup (and a lookup of a dotted address) report inside
// the call, as the socket does.
class Transport {
 public:
  struct Events {
    std::function<void(std::uint16_t error)> lookupDone;
    std::function<void(std::uint16_t error)> connected;
    std::function<void()> readable;
    // Everything given to Send has gone out; never inside Send.
    std::function<void()> sent;
    std::function<void(std::uint16_t error)> closed;
  };

  virtual ~Transport() = default;

  void SetEvents(Events events) { events_ = std::move(events); }

  // Resolves `host`; reports lookupDone. An empty name throws
  // ESocketException after reporting 10022.
  virtual void Lookup(const std::string& host) = 0;
  virtual void CancelLookup() = 0;
  // Connects to the address found by the last lookup; reports connected.
  // Misuse (a bad port, a bad local address) throws ESocketException.
  virtual void Connect(const std::string& port, const std::string& localAddr) = 0;
  // Count read, 0 when nothing more is waiting, -1 on an error.
  virtual int Receive(char* buffer, int length) = 0;
  virtual void Send(std::string_view bytes) = 0;
  virtual bool Connected() const = 0;
  // Not yet closed: looking up, connecting or connected.
  virtual bool Open() const = 0;
  virtual void Close() = 0;
  virtual void Abort() = 0;

 protected:
  Events events_;
};

}  // namespace mf
