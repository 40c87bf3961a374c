#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/net/support/TestPki.h"

namespace mf::test {

// A one-connection server on 127.0.0.1 that plays a script on its own thread
// while the test drives the client on its event loop. It says what the script
// says, checks that the client wrote the expected bytes, and keeps every byte
// it received for the test to compare. Every wait is bounded, so a broken
// client fails the test instead of hanging it.
class ScriptedServer {
 public:
  // The connection as a Do step sees it, for servers whose answers depend on
  // what the client wrote. Only valid on the server's thread.
  class Peer {
   public:
    void Send(const std::string& bytes) { server_.SendAll(bytes); }
    // The next line without its CR LF; nothing once the client closed or
    // stayed silent too long.
    std::optional<std::string> ReadLine() { return server_.ReadThrough("\r\n", true); }
    // Everything up to and including `terminator`.
    std::optional<std::string> ReadThrough(const std::string& terminator) {
      return server_.ReadThrough(terminator, false);
    }
    void Close() { server_.ShutdownOutput(); }

   private:
    friend class ScriptedServer;
    explicit Peer(ScriptedServer& server) : server_(server) {}
    ScriptedServer& server_;
  };

  ScriptedServer();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  // A loopback port with nobody listening: connecting to it is refused.
  static int ClosedPort();

  // Script steps, run in order once Start() is called.
  ScriptedServer& Say(std::string bytes);
  // Sends the bytes in pieces of `piece` bytes with a pause between them, so
  // the client sees them in separate reads.
  ScriptedServer& SayInPieces(std::string bytes, std::size_t piece);
  // Waits for exactly these bytes from the client.
  ScriptedServer& Expect(std::string bytes);
  // Waits for one line, whatever it says; ReceivedLines() shows it later.
  ScriptedServer& ExpectLine();
  // Holds back, without reading, like a server busy elsewhere.
  ScriptedServer& Pause(std::chrono::milliseconds time);
  // Ends our direction only: a full close with unread input would send a
  // reset and the client could lose what we said before.
  ScriptedServer& CloseConnection();
  // Keeps the connection open and says nothing until the server is destroyed.
  ScriptedServer& StaySilent();
  ScriptedServer& Do(std::function<void(Peer&)> step);
  // Waits for the client to close, then accepts its next connection; the
  // steps after it play on that one.
  ScriptedServer& NextConnection();
  // Answers the client's TLS handshake with `certificate` and speaks TLS
  // from then on. A failed handshake is recorded, ends the script, and
  // whatever the client still writes is recorded as it comes, in clear.
  ScriptedServer& StartTls(ServerCertificate certificate);

  // Accepts one connection and plays the script on a thread. After the
  // script it records whatever else the client writes until the client
  // closes, then hangs up.
  void Start();
  // Waits until the thread has ended.
  void Finish();
  bool Finished() const { return finished_; }

  // Everything the client wrote so far.
  std::string Received() const;
  // The complete lines of Received(), without their CR LF.
  std::vector<std::string> ReceivedLines() const;
  // Expectations that failed, as readable texts; empty when all held.
  std::vector<std::string> Failures() const;

 private:
  using Action = std::function<void()>;
  struct Tls;

  void Run();
  bool Accept();
  bool ReadAtLeast(std::size_t count, std::chrono::milliseconds limit);
  std::optional<std::string> ReadThrough(const std::string& terminator, bool dropTerminator);
  void SendAll(const std::string& bytes);
  void ShutdownOutput();
  void Fail(std::string text);

  int listener_ = -1;
  int connection_ = -1;
  int port_ = 0;
  std::vector<Action> script_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::size_t consumed_ = 0;  // bytes of received_ the script has read so far
  std::vector<std::string> failures_;
  std::unique_ptr<Tls> tls_;  // only touched on the server's thread
  bool broken_ = false;       // the script cannot go on
};

}  // namespace mf::test
