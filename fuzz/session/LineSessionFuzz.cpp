// Feeds arbitrary bytes, split at arbitrary points, to the line session
// over an in-process transport. The first byte picks the line limit, the
// long-line rule and whether the connection is upgraded to TLS after the
// first line (the rest then goes to the TLS handshake); the second seeds
// the sizes of the reads. Under the split rule the pieces handed out, put
// back together, must give exactly the bytes that were read.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/LineSession.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/PipeTransport.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

// No certificate is ever accepted here; not loading the system's trust
// store on every upgrade keeps the runs fast.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("SSL_CERT_FILE", "/nonexistent/fuzz-trust-store.pem", 1);
  ::setenv("SSL_CERT_DIR", "/nonexistent", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t limit = 1 + (data[0] >> 2) % 48;
  const bool split = (data[0] & 1) != 0;
  const bool upgrade = (data[0] & 2) != 0;
  std::uint32_t random = data[1] * 2654435761u + 1;
  const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);

  mf::platform::PollEventLoop loop;
  auto peer = std::make_shared<mf::test::PipeTransport::Peer>();
  mf::LineSession session(loop, std::make_unique<mf::test::PipeTransport>(loop, peer));
  session.SetLineLimit(limit, split ? mf::LineSession::LongLines::Split : mf::LineSession::LongLines::Fail);
  std::string rebuilt;
  bool upgraded = false;
  session.OnLine = [&](const std::string& line, bool cut, bool) {
    Check(line.size() <= limit);
    Check(line.find("\r\n") == std::string::npos);
    Check(split || !cut);
    rebuilt += line;
    if (!cut) rebuilt += "\r\n";
    if (upgrade && !upgraded) {
      upgraded = true;
      session.StartTls();
    }
  };
  session.Lookup("fuzz.example");
  loop.RunUntilIdle();
  session.Connect("1", "0.0.0.0", mf::TlsMode::None);
  loop.RunUntilIdle();

  std::size_t at = 0;
  while (at < input.size() && peer->connected) {
    random = random * 1103515245u + 12345u;
    const std::size_t piece = 1 + (random >> 16) % 64;
    mf::test::PeerSay(*peer, std::string_view(input).substr(at, piece));
    loop.RunUntilIdle();
    at += piece;
  }
  if (split && !upgrade) {
    // Everything handed out came from the input, in order, and what is
    // held back is less than a line.
    Check(input.compare(0, rebuilt.size(), rebuilt) == 0);
    Check(input.size() - rebuilt.size() < limit + 2);
  }
  if (peer->hangUp) peer->hangUp();
  loop.RunUntilIdle();
  return 0;
}
