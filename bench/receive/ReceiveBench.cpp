// Receives 1000 small mails and 10 mails of 5 MB from a private Dovecot into
// a fresh inbox (fetch, journal, fsync, decode, store; mail left on the
// server) with the receive controller, and the same mailbox into a maildir
// with mpop (keep on), and prints both times and their ratio. While ours
// runs, a 10 ms timer measures the longest gap between its ticks: how long
// the event loop, and so the windows, could stall. Needs root, Postfix,
// Dovecot and mpop, like the real-peer tests.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "bench/support/MailStandIns.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/receive/ReceiveController.h"
#include "mail/store/MailStore.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/servers/MailServers.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSmallMails = 1000;
constexpr int kLargeMails = 10;
constexpr std::size_t kLargeBytes = 5u * 1024u * 1024u;
constexpr int kRounds = 2;
constexpr auto kTick = std::chrono::milliseconds(10);
// A run that takes longer than this is broken, not slow.
constexpr auto kRunLimit = std::chrono::minutes(10);

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void FillMaildir(const std::string& maildir) {
  for (int n = 0; n < kSmallMails; ++n) {
    std::string message = "From: sender@mfmail.test\nTo: bob@mfmail.test\nSubject: small " + std::to_string(n) +
                          "\nMessage-ID: <s" + std::to_string(n) + "@mfmail.test>\n\n";
    for (int line = 0; line < 20; ++line) message += "Line " + std::to_string(line) + " of a small mail.\n";
    mf::bench::Deliver(maildir, n, message);
  }
  const std::string base64Line(76, 'Q');
  for (int n = 0; n < kLargeMails; ++n) {
    std::string message = "From: sender@mfmail.test\nTo: bob@mfmail.test\nSubject: large " + std::to_string(n) +
                          "\nMessage-ID: <l" + std::to_string(n) +
                          "@mfmail.test>\nContent-Type: multipart/mixed; boundary=B\n\n--B\n\nsee the file\n--B\n"
                          "Content-Disposition: attachment; filename=data.bin\nContent-Transfer-Encoding: base64\n\n";
    while (message.size() < kLargeBytes) message += base64Line + "\n";
    message += "--B--\n";
    mf::bench::Deliver(maildir, kSmallMails + n, message);
  }
}

struct OurRun {
  double seconds = -1;
  double fetchSeconds = 0;  // until the session closed; the rest is storing
  double longestGap = 0;
  std::string longestGapDuring;  // the checkpoints passed in it
  int stored = 0;
};

OurRun ReceiveOurs(int port) {
  mf::platform::TemporaryFolder folder;
  mf::MailStore store(folder.Path());
  mf::LiveSettings settings(mf::platform::IniFile(folder.Path() + "MFMail.ini"), {}, {});
  settings.pop3Server = "127.0.0.1";
  settings.pop3Port = std::to_string(port);
  settings.pop3User = "bob";
  settings.pop3Password = mf::test::MailServers::kPassword;
  settings.mailLeave = true;
  mf::bench::NoCharacters hut;
  mf::MersenneRandom random(1);
  mf::SystemClock clock;
  mf::platform::PollEventLoop loop;
  mf::ReceiveController receiver(loop, settings, store, hut, random, clock);
  OurRun run;
  bool finished = false;
  receiver.OnFinished = [&](const mf::ReceiveSummary& summary) {
    run.stored = summary.stored;
    finished = summary.end == mf::ReceiveEnd::Done;
    if (!finished) std::printf("bench_receive: the run ended with %s\n", summary.error.c_str());
    finished = true;
  };
  Clock::time_point lastTick = Clock::now();
  std::string during;  // what the run did since the last tick
  receiver.OnCheckpoint = [&](std::string_view point) {
    char at[32];
    std::snprintf(at, sizeof at, "@%.0f ", Seconds(Clock::now() - lastTick) * 1000.0);
    if (during.size() < 200) during += std::string(point) + at;
  };
  int storedInGap = 0;
  double lastStoredAt = 0;
  receiver.OnMailStored = [&](const mf::ArrivedMail&) {
    ++storedInGap;
    lastStoredAt = Seconds(Clock::now() - lastTick) * 1000.0;
  };
  const auto start = Clock::now();
  receiver.OnSessionClosed = [&] { run.fetchSeconds = Seconds(Clock::now() - start); };
  mf::platform::Timer ticker(loop);
  ticker.Start(kTick, mf::platform::EventLoop::Repeat::Repeating, [&] {
    const Clock::time_point now = Clock::now();
    const double gap = Seconds(now - lastTick);
    if (storedInGap > 0) {
      char stored[64];
      std::snprintf(stored, sizeof stored, "%d presented, the last @%.0f", storedInGap, lastStoredAt);
      during += stored;
    }
    if (gap > run.longestGap) {
      run.longestGap = gap;
      run.longestGapDuring = during.empty() ? "fetching or decoding" : during;
    }
    during.clear();
    storedInGap = 0;
    lastTick = now;
  });
  if (receiver.Receive(mf::ReceiveTrigger::Manual) != mf::ReceiveStart::Started) return run;
  if (!loop.RunUntil([&] { return finished; }, kRunLimit)) return run;
  run.seconds = Seconds(Clock::now() - start);
  return run;
}

// mpop into a fresh maildir, keeping the mail on the server; seconds or -1.
double ReceiveMpop(int port) {
  mf::platform::TemporaryFolder folder;
  const std::string maildir = folder.Path() + "Maildir";
  for (const char* sub : {"", "/new", "/cur", "/tmp"}) mf::platform::CreateFolder(maildir + sub);
  const std::string config = folder.Path() + "mpoprc";
  mf::platform::WriteFileAtomic(config, "defaults\ntls off\nauth user\nkeep on\n"
                                        "account bench\nhost 127.0.0.1\nport " +
                                            std::to_string(port) + "\nuser bob\npassword " +
                                            mf::test::MailServers::kPassword + "\ndelivery maildir " + maildir +
                                            "\nuidls_file " + folder.Path() + "uidls\naccount default : bench\n");
  ::chmod(config.c_str(), 0600);
  const auto start = Clock::now();
  const int status = std::system(("mpop -q -C '" + config + "' >/dev/null 2>&1").c_str());
  const double seconds = Seconds(Clock::now() - start);
  const auto delivered = mf::platform::ListFolder(maildir + "/new", "*", mf::platform::ListKind::FilesOnly).size();
  if (status != 0 || delivered != static_cast<std::size_t>(kSmallMails + kLargeMails)) {
    std::printf("bench_receive: mpop failed (status %d, %zu mails)\n", status, delivered);
    return -1;
  }
  return seconds;
}

}  // namespace

int main() {
  if (std::system("command -v mpop >/dev/null 2>&1") != 0) {
    std::printf("bench_receive: skipped: mpop is not installed (Debian package mpop)\n");
    return 0;
  }
  mf::platform::TemporaryFolder folder;
  std::string path = folder.Path();
  path.pop_back();
  auto servers = mf::test::MailServers::Start(path + "/servers");
  if (!servers.Running()) {
    std::printf("bench_receive: skipped: %s\n", servers.WhyNot().c_str());
    return servers.Failed() ? 1 : 0;
  }
  FillMaildir(servers.Maildir("bob"));

  OurRun best;
  double mpop = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const OurRun run = ReceiveOurs(servers.Pop3Port());
    if (run.seconds < 0 || run.stored != kSmallMails + kLargeMails) {
      std::printf("bench_receive: our run failed (%d mails stored)\n", run.stored);
      return 1;
    }
    std::printf("  round %d: ours %.3f s (session %.3f s), longest gap %.1f ms (%s)\n", round + 1, run.seconds,
                run.fetchSeconds, run.longestGap * 1000.0, run.longestGapDuring.c_str());
    const OurRun worstGap = run.longestGap > best.longestGap ? run : best;
    if (best.seconds < 0 || run.seconds < best.seconds) best = run;
    best.longestGap = worstGap.longestGap;
    best.longestGapDuring = worstGap.longestGapDuring;
    const double seconds = ReceiveMpop(servers.Pop3Port());
    if (seconds < 0) return 1;
    std::printf("  round %d: mpop %.3f s\n", round + 1, seconds);
    mpop = std::min(mpop, seconds);
  }
  std::printf("Receiving %d small and %d mails of 5 MB from Dovecot (best of %d)\n", kSmallMails, kLargeMails, kRounds);
  std::printf("  ReceiveController into the inbox   %8.3f s\n", best.seconds);
  std::printf("  mpop into a maildir (keep on)      %8.3f s\n", mpop);
  std::printf("  ratio (mpop / ours) %.2f   (1.00 or more: as fast as mpop)\n", mpop / best.seconds);
  std::printf("  longest gap between 10 ms ticks    %8.1f ms   (bound 100 ms)\n", best.longestGap * 1000.0);
  return 0;
}
