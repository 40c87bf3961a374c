#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mf::test {

// A one-connection server on 127.0.0.1 that plays a script on its own thread:
// it says what the script says, checks that the client wrote exactly the
// expected bytes, and keeps every byte it received for the test to compare.
class ScriptedServer {
 public:
  ScriptedServer();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }

  // Script steps, run in order once Start() is called.
  ScriptedServer& Say(std::string bytes);
  // Sends the bytes in pieces of `piece` bytes with a pause between them, so
  // the client sees them in separate reads.
  ScriptedServer& SayInPieces(std::string bytes, std::size_t piece);
  // Waits (up to 5 s) for exactly these bytes from the client.
  ScriptedServer& Expect(std::string bytes);
  ScriptedServer& CloseConnection();
  // Keeps the connection open and says nothing until the server is destroyed.
  ScriptedServer& StaySilent();

  // Accepts one connection and plays the script on a thread.
  void Start();
  // Waits for the script to end and for the client to close (at most 5 s).
  void Finish();

  // Everything the client wrote so far.
  std::string Received() const;
  // Expectations that failed, as readable texts; empty when all held.
  std::vector<std::string> Failures() const;

 private:
  using Action = std::function<void()>;

  void Run();
  bool ReadAtLeast(std::size_t count, std::chrono::milliseconds limit);
  void SendAll(const std::string& bytes);
  void Fail(std::string text);

  int listener_ = -1;
  int connection_ = -1;
  int port_ = 0;
  std::vector<Action> script_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::size_t consumed_ = 0;  // bytes of received_ matched by Expect so far
  std::vector<std::string> failures_;
};

}  // namespace mf::test
