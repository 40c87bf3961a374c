// Feeds arbitrary server replies to the SMTP client over a loopback
// connection. The input is the server's side of the conversation: turns
// separated by a 0 byte, the first sent when the client connects, one more after every
// line the client writes. The first byte picks the authentication the
// client tries and whether it asks for STARTTLS. When both sides wait for each other the server hangs up;
// after that the client must finish: a hang is a fault.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/support/ScriptedPeer.h"
#include "net/SmtpClient.h"
#include "platform/PollEventLoop.h"

using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int port = 0;
  static int listener = mf::fuzz::Listener(port);
  if (size == 0) return 0;

  mf::platform::PollEventLoop loop;
  mf::fuzz::ScriptedPeer script(loop, listener, mf::fuzz::SplitTurns(data, size));
  mf::SmtpClient client(loop);
  client.Host = "127.0.0.1";
  client.Port = std::to_string(port);
  client.SignOn = "fuzz";
  client.Username = "user";
  client.Password = "secret";
  client.AuthType = static_cast<mf::SmtpAuth>(data[0] % 5);
  // Some inputs ask for STARTTLS: the greeting, EHLO and the upgrade, after
  // which the rest of the input meets the TLS handshake.
  if ((data[0] / 5) % 4 == 1) client.Security = mf::TlsMode::StartTls;
  client.EnvelopeFrom = "a@example.jp";
  client.EnvelopeTo = {"b@example.jp", "c@example.jp"};
  int lineNum = 0;
  client.Message = [&lineNum](std::string& line) {
    line = ".line";
    return ++lineNum <= 3;
  };
  bool finished = false;
  client.OnRequestDone = [&](mf::SmtpClient& sender, mf::SmtpRequest type, std::uint16_t error) {
    try {
      if (type == mf::SmtpRequest::Quit) {
        finished = true;
      } else if (type == mf::SmtpRequest::Open && error == 0) {
        sender.Mail();
      } else if (type == mf::SmtpRequest::Mail && error == 0) {
        sender.Rset();
      } else {
        sender.Quit();
      }
    } catch (const mf::SmtpException&) {
      finished = true;
    }
  };
  client.Open();
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!finished) {
    if (std::chrono::steady_clock::now() > deadline) std::abort();  // the client hangs
    if (!loop.RunOnce(5ms)) script.Close();
  }
  return 0;
}
