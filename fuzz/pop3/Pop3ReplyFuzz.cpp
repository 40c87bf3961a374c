// Feeds arbitrary server replies to the POP3 client over a loopback
// connection. The input is the server's side of the conversation: turns
// separated by a 0 byte, the first sent when the client connects, one more
// after every line the client writes. The first byte picks how the client
// logs in and which commands it sends after that. When both sides wait for
// each other the server hangs up; after that the client must finish: a hang
// is a fault.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/support/ScriptedPeer.h"
#include "net/Pop3Client.h"
#include "platform/PollEventLoop.h"

namespace {

using namespace std::chrono_literals;

// What the client does once logged in, one command per completion.
// CAPA may announce PIPELINING, after which the RETRs of the announced
// numbers go out ahead and every other command gives them up.
const mf::Pop3Request kCommands[] = {
    mf::Pop3Request::Stat, mf::Pop3Request::Capa, mf::Pop3Request::List, mf::Pop3Request::Uidl, mf::Pop3Request::Retr,
    mf::Pop3Request::Retr, mf::Pop3Request::Top,  mf::Pop3Request::Dele, mf::Pop3Request::Noop};
constexpr std::size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int port = 0;
  static int listener = mf::fuzz::Listener(port);
  if (size == 0) return 0;

  mf::platform::PollEventLoop loop;
  mf::fuzz::ScriptedPeer script(loop, listener, mf::fuzz::SplitTurns(data, size));
  mf::Pop3Client client(loop);
  client.SetHost("127.0.0.1");
  client.SetPort(std::to_string(port));
  client.SetUserName("user");
  client.SetPassWord("secret");
  client.SetMsgLines(data[0] & 3);
  // APOP and Open both asked for: STLS first, and the rest of the input
  // meets the TLS handshake.
  if ((data[0] & 0xC0) == 0xC0) client.SetSecurity(mf::TlsMode::StartTls);
  // Touch what handlers read, so that a stale or cut value shows up under ASan.
  std::size_t seen = 0;
  auto look = [&seen](mf::Pop3Client& sender) { seen += sender.LastResponse().size() + sender.MsgUidl().size(); };
  client.OnMessageLine = look;
  client.OnListLine = look;
  client.OnUidlLine = look;
  client.OnMessageEnd = look;

  const bool useApop = data[0] & 0x80;
  const bool useOpen = !useApop && (data[0] & 0x40);
  std::size_t command = (data[0] >> 2) & 15;
  int sent = 0;
  bool finished = false;
  auto quit = [&](mf::Pop3Client& sender) {
    try {
      sender.Quit();
    } catch (const mf::Pop3Exception&) {
      finished = true;
    }
  };
  client.OnRequestDone = [&](mf::Pop3Client& sender, mf::Pop3Request type, std::uint16_t error) {
    if (type == mf::Pop3Request::Quit) {
      finished = true;
      return;
    }
    if (error != 0 && !sender.Connected()) return quit(sender);
    try {
      switch (type) {
        case mf::Pop3Request::Connect:
          if (useApop) {
            sender.APop();
          } else {
            sender.User();
          }
          break;
        case mf::Pop3Request::User:
          sender.Pass();
          sender.SetRetrAhead({1, 2, 0, 1, 2, 0});
          break;
        default:
          if (sent++ >= 6) return quit(sender);
          sender.SetMsgNum(static_cast<int>(sent % 3));
          switch (kCommands[command++ % kCommandCount]) {
            case mf::Pop3Request::Stat: sender.Stat(); break;
            case mf::Pop3Request::Capa: sender.Capa(); break;
            case mf::Pop3Request::List: sender.List(); break;
            case mf::Pop3Request::Uidl: sender.Uidl(); break;
            case mf::Pop3Request::Retr: sender.Retr(); break;
            case mf::Pop3Request::Top: sender.Top(); break;
            case mf::Pop3Request::Dele: sender.Dele(); break;
            default: sender.Noop(); break;
          }
      }
    } catch (const mf::Pop3Exception&) {
      quit(sender);
    }
  };
  if (useOpen) {
    client.Open();
  } else {
    client.Connect();
  }
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!finished) {
    if (std::chrono::steady_clock::now() > deadline) std::abort();  // the client hangs
    if (!loop.RunOnce(5ms)) script.Close();
  }
  if (seen == SIZE_MAX) std::abort();
  return 0;
}
