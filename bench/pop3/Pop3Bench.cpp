// Retrieves 1000 small messages (RETR each, no DELE) from a private Dovecot
// with Pop3Client and with Python's poplib, and prints the times and their
// ratio. Both log in with USER/PASS, read every line and count the bytes;
// the Python time is measured inside the interpreter, start-up excluded.
// Needs root, Postfix and Dovecot, like the real-peer tests.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "net/Pop3Client.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/servers/MailServers.h"

namespace {

constexpr int kMessages = 1000;
constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void FillMaildir(const std::string& maildir) {
  for (int n = 0; n < kMessages; ++n) {
    std::string message = "From: sender@mfmail.test\nTo: bob@mfmail.test\nSubject: message " +
                          std::to_string(n) + "\n\n";
    for (int line = 0; line < 20; ++line) {
      message += "Line " + std::to_string(line) + " of a small message, with a little text to carry.\n";
    }
    message += ".a line with a dot\n";
    const std::string path = maildir + "/new/" + std::to_string(1700000000 + n) + ".M" + std::to_string(n) + ".bench";
    mf::platform::WriteFileAtomic(path, message);
    ::chmod(path.c_str(), 0644);
    if (::chown(path.c_str(), 65534, 65534) != 0) std::perror("chown");
  }
}

// Returns the bytes of message lines received, or 0 on failure.
std::size_t FetchOurs(int port) {
  mf::platform::PollEventLoop loop;
  mf::Pop3Client client(loop);
  client.SetHost("127.0.0.1");
  client.SetPort(std::to_string(port));
  client.SetUserName("bob");
  client.SetPassWord(mf::test::MailServers::kPassword);
  std::size_t bytes = 0;
  bool finished = false;
  bool failed = false;
  client.OnMessageLine = [&](mf::Pop3Client& sender) { bytes += sender.LastResponse().size() + 2; };
  client.OnRequestDone = [&](mf::Pop3Client& sender, mf::Pop3Request type, std::uint16_t error) {
    if (error != 0) failed = true;
    if (error != 0 || type == mf::Pop3Request::Quit) {
      finished = true;
      return;
    }
    switch (type) {
      case mf::Pop3Request::Connect: sender.User(); break;
      case mf::Pop3Request::User: sender.Pass(); break;
      case mf::Pop3Request::Pass: sender.Stat(); break;
      default:
        if (sender.MsgNum() < sender.MsgCount()) {
          sender.SetMsgNum(sender.MsgNum() + 1);
          sender.Retr();
        } else {
          sender.Quit();
        }
    }
  };
  client.SetMsgNum(0);
  client.Connect();
  while (!finished) loop.RunOnce(std::chrono::milliseconds(100));
  return failed ? 0 : bytes;
}

// Runs the same retrieval with poplib; returns the seconds it took, or -1.
double FetchPython(int port, std::size_t& bytes) {
  const std::string script =
      "import poplib, time\n"
      "t = time.perf_counter()\n"
      "p = poplib.POP3('127.0.0.1', " + std::to_string(port) + ")\n"
      "p.user('bob'); p.pass_('secret')\n"
      "count = p.stat()[0]\n"
      "total = 0\n"
      "for n in range(1, count + 1):\n"
      "    for line in p.retr(n)[1]: total += len(line) + 2\n"
      "p.quit()\n"
      "print(time.perf_counter() - t, total)\n";
  const std::string command = "python3 -c \"$(cat <<'PYEOF'\n" + script + "PYEOF\n)\"";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  double seconds = -1;
  unsigned long long total = 0;
  if (std::fscanf(pipe, "%lf %llu", &seconds, &total) != 2) seconds = -1;
  ::pclose(pipe);
  bytes = static_cast<std::size_t>(total);
  return seconds;
}

}  // namespace

int main() {
  mf::platform::TemporaryFolder folder;
  std::string path = folder.Path();
  if (!path.empty() && path.back() == '/') path.pop_back();
  auto servers = mf::test::MailServers::Start(path + "/servers");
  if (!servers.Running()) {
    std::printf("bench_pop3: skipped: %s\n", servers.WhyNot().c_str());
    return servers.Failed() ? 1 : 0;
  }
  FillMaildir(servers.Maildir("bob"));

  double ours = 1e9;
  double python = 1e9;
  std::size_t ourBytes = 0;
  std::size_t pythonBytes = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    ourBytes = FetchOurs(servers.Pop3Port());
    ours = std::min(ours, Seconds(std::chrono::steady_clock::now() - start));
    const double seconds = FetchPython(servers.Pop3Port(), pythonBytes);
    if (seconds >= 0) python = std::min(python, seconds);
  }
  if (ourBytes == 0 || pythonBytes == 0) {
    std::printf("bench_pop3: a retrieval failed (ours %zu bytes, poplib %zu bytes)\n", ourBytes, pythonBytes);
    return 1;
  }
  std::printf("POP3 retrieval of %d messages from Dovecot (best of %d)\n", kMessages, kRounds);
  std::printf("  Pop3Client        %8.3f s  %zu bytes\n", ours, ourBytes);
  std::printf("  Python poplib   %8.3f s  %zu bytes\n", python, pythonBytes);
  std::printf("  ratio (poplib / ours) %.2f\n", python / ours);
  return 0;
}
