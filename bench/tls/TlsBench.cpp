// Our clients over TLS against mpop and msmtp on the same private servers,
// in one run: retrieving 1000 small mails and 10 mails of 5 MB over POP3S
// (every message stored as a file, both into a folder in memory), and
// sending a 10 MB attachment over STARTTLS with a log-in. Prints the best
// and the median round of each, and the ratio of ours to the reference
// round by round with its 95% interval; ours should take no longer.
// Each retrieval also runs a bare reader (openssl s_client sending every
// command at once and keeping the bytes unread): it does nothing a client
// must do, so it shows how much of a round is the server's own pace.
// Needs root, Postfix, Dovecot, mpop and msmtp, like the real-peer tests.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/Base64.h"
#include "net/Pop3Client.h"
#include "mail/send/MessageBuilder.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/servers/MailServers.h"

namespace {

using Clock = std::chrono::steady_clock;
using mf::test::MailServers;

// Rounds of each case; in a retrieval the programs take turns at going
// first, so that none always meets the server fresh.
constexpr int kRounds = 15;
constexpr int kSmallMails = 1000;
constexpr int kLargeMails = 10;
constexpr std::size_t kLargeMailBytes = 5u << 20;
constexpr std::size_t kAttachmentBytes = 10u << 20;
// Everything a round stores goes here, so the disk does not decide the race.
constexpr const char* kScratch = "/dev/shm/mfmail-bench-tls";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Timed(const std::function<bool()>& run) {
  const auto start = Clock::now();
  if (!run()) return -1;
  return Seconds(Clock::now() - start);
}

void Drop(const std::string& maildir, int n, const std::string& message) {
  const std::string path = maildir + "/new/" + std::to_string(1700000000 + n) + ".M" + std::to_string(n) + ".bench";
  mf::platform::WriteFileAtomic(path, message);
  ::chmod(path.c_str(), 0644);
  if (::chown(path.c_str(), 65534, 65534) != 0) std::perror("chown");
}

// Both return the bytes they stored.
std::size_t FillSmall(const std::string& maildir) {
  std::size_t total = 0;
  for (int n = 0; n < kSmallMails; ++n) {
    std::string message = "From: sender@mfmail.test\nTo: bob@mfmail.test\nSubject: message " + std::to_string(n) + "\n\n";
    for (int line = 0; line < 20; ++line) message += "Line " + std::to_string(line) + " of a small message, with a little text.\n";
    Drop(maildir, n, message);
    total += message.size();
  }
  return total;
}

std::size_t FillLarge(const std::string& maildir) {
  std::size_t total = 0;
  std::string line(74, 'x');
  for (int n = 0; n < kLargeMails; ++n) {
    std::string message = "From: sender@mfmail.test\nTo: alice@mfmail.test\nSubject: large " + std::to_string(n) + "\n\n";
    while (message.size() < kLargeMailBytes) {
      line[n % line.size()] = static_cast<char>('a' + message.size() % 26);
      message += line + "\n";
    }
    Drop(maildir, n, message);
    total += message.size();
  }
  return total;
}

void Scratch() {
  std::system((std::string("rm -rf ") + kScratch + " && mkdir -p " + kScratch + "/ours " + kScratch +
               "/theirs/cur " + kScratch + "/theirs/new " + kScratch + "/theirs/tmp")
                  .c_str());
}

// Retrieves every message of `user` over POP3S into one file each.
bool FetchOurs(int port, const std::string& user, std::size_t& count) {
  mf::platform::PollEventLoop loop;
  mf::Pop3Client client(loop);
  client.SetHost("127.0.0.1");
  client.SetPort(std::to_string(port));
  client.SetSecurity(mf::TlsMode::Implicit);
  client.SetUserName(user);
  client.SetPassWord(MailServers::kPassword);
  std::string message;
  bool finished = false;
  bool failed = false;
  count = 0;
  client.OnMessageLine = [&](mf::Pop3Client& sender) {
    message += sender.LastResponse();
    message += "\r\n";
  };
  client.OnRequestDone = [&](mf::Pop3Client& sender, mf::Pop3Request type, std::uint16_t error) {
    if (error != 0) failed = true;
    if (error != 0 || type == mf::Pop3Request::Quit) {
      finished = true;
      return;
    }
    if (type == mf::Pop3Request::Retr) {
      const std::string path = std::string(kScratch) + "/ours/MailNo" + std::to_string(sender.MsgNum()) + ".txt";
      if (!mf::platform::WriteFileUnsynced(path, message)) failed = true;
      ++count;
      message.clear();
    }
    switch (type) {
      case mf::Pop3Request::Connect: sender.User(); break;
      case mf::Pop3Request::User: sender.Pass(); break;
      case mf::Pop3Request::Pass: sender.Capa(); break;
      case mf::Pop3Request::Capa: sender.Stat(); break;
      case mf::Pop3Request::Stat: {
        std::vector<int> numbers;
        for (int number = 1; number <= sender.MsgCount(); ++number) numbers.push_back(number);
        sender.SetRetrAhead(std::move(numbers));
        [[fallthrough]];
      }
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
  return !failed;
}

bool FetchMpop(const MailServers& servers, const std::string& user) {
  const std::string command = "mpop --host=127.0.0.1 --port=" + std::to_string(servers.Pop3sPort()) +
                              " --tls=on --tls-starttls=off --tls-trust-file=" + servers.AuthorityFile() +
                              " --auth=user --user=" + user + " --passwordeval='echo secret' --keep=on" +
                              " --only-new=off --uidls-file=" + kScratch + "/uidls --delivery=maildir," + kScratch +
                              "/theirs --quiet";
  return std::system(command.c_str()) == 0;
}

// The server's own pace: every command goes out at once, the replies land in
// one file unread. The file's size tells that the whole of each reply came.
bool FetchBareReader(const MailServers& servers, const std::string& user, int messages, std::size_t expectedBytes) {
  const std::string commands = std::string(kScratch) + "/commands";
  const std::string replies = std::string(kScratch) + "/replies";
  std::string text = "USER " + user + "\r\nPASS " + MailServers::kPassword + "\r\n";
  for (int number = 1; number <= messages; ++number) text += "RETR " + std::to_string(number) + "\r\n";
  mf::platform::WriteFileAtomic(commands, text + "QUIT\r\n");
  const std::string command = "openssl s_client -quiet -verify_return_error -connect 127.0.0.1:" +
                              std::to_string(servers.Pop3sPort()) + " -CAfile " + servers.AuthorityFile() + " <" +
                              commands + " >" + replies + " 2>/dev/null";
  struct stat info {};
  return std::system(command.c_str()) == 0 && ::stat(replies.c_str(), &info) == 0 &&
         static_cast<std::size_t>(info.st_size) >= expectedBytes;
}

bool SendOurs(const MailServers& servers, const std::string& attachment) {
  mf::platform::PollEventLoop loop;
  mf::SmtpClient smtp(loop);
  smtp.Host = "127.0.0.1";
  smtp.Port = std::to_string(servers.SubmissionPort());
  smtp.SignOn = "bench.mfmail.test";
  smtp.Security = mf::TlsMode::StartTls;
  smtp.AuthType = mf::SmtpAuth::Auto;
  smtp.Username = "bob";
  smtp.Password = MailServers::kPassword;
  smtp.EnvelopeFrom = MailServers::Address("bob");
  smtp.EnvelopeTo = {MailServers::Address("alice")};
  mf::MessageFields fields;
  fields.from = MailServers::Address("bob");
  fields.to = {{"", MailServers::Address("alice")}};
  fields.subject = "attachment";
  fields.date = mf::SystemClock().Now();
  mf::MessageBuilder message(fields, {"The attachment follows."}, {attachment});
  smtp.Message = [&message](std::string& line) { return message.NextLine(line); };
  bool finished = false;
  bool failed = false;
  smtp.OnRequestDone = [&](mf::SmtpClient& sender, mf::SmtpRequest type, std::uint16_t error) {
    if (error != 0 && type != mf::SmtpRequest::Quit) {
      std::fprintf(stderr, "bench_tls: send failed: %s\n", smtp.LastResponse().c_str());
      failed = true;
    }
    if (type == mf::SmtpRequest::Quit) {
      finished = true;
    } else if (error != 0) {
      sender.Quit();
    } else if (type == mf::SmtpRequest::Connect) {
      sender.Helo();
    } else if (type == mf::SmtpRequest::Helo) {
      sender.Mail();
    } else {
      sender.Quit();
    }
  };
  smtp.Connect();
  while (!finished) loop.RunOnce(std::chrono::milliseconds(100));
  return !failed;
}

// The same mail as ours, written out, for msmtp to send.
std::string MessageForMsmtp(const std::string& bytes) {
  std::string message =
      "From: bob@mfmail.test\r\nTo: alice@mfmail.test\r\nSubject: attachment\r\nMime-Version: 1.0\r\n"
      "Content-Type: multipart/mixed;\r\n\tboundary=\"b\"\r\n\r\nThis is a multipart MIME message.\r\n\r\n--b\r\n"
      "Content-Type: text/plain\r\n\r\nThe attachment follows.\r\n--b\r\nContent-Type: application/octet-stream\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n";
  for (std::size_t at = 0; at < bytes.size(); at += 45) message += mf::Base64Encode(std::string_view(bytes).substr(at, 45)) + "\r\n";
  return message + "\r\n--b--\r\n";
}

bool SendMsmtp(const MailServers& servers, const std::string& messageFile) {
  const std::string command = "msmtp --host=127.0.0.1 --port=" + std::to_string(servers.SubmissionPort()) +
                              " --tls=on --tls-starttls=on --tls-trust-file=" + servers.AuthorityFile() +
                              " --auth=on --user=bob --passwordeval='echo secret' --from=bob@mfmail.test" +
                              " alice@mfmail.test < " + messageFile;
  return std::system(command.c_str()) == 0;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// A best round is mostly luck on a busy machine, and two programs that wait
// on the same server come out even only on average. So each of our rounds is
// set against the reference's round next to it, which takes out what the
// machine was doing at the time, and the median of those ratios is bounded
// by the order statistics that hold it at 95% or more whatever the spread
// (the sign test).
struct PairedRatio {
  double median = 0;
  double low = 0;
  double high = 0;
};

PairedRatio RoundByRound(const std::vector<double>& ours, const std::vector<double>& theirs) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < ours.size(); ++i) ratios.push_back(ours[i] / theirs[i]);
  std::sort(ratios.begin(), ratios.end());
  const std::size_t n = ratios.size();
  // k rounds are left out at each end: the largest k whose chance of that
  // many falling below the true median, P(X <= k - 1) for X ~ B(n, 1/2), is
  // at most 2.5%.
  std::size_t k = 0;
  double below = 0;
  double term = std::ldexp(1.0, -static_cast<int>(n));  // P(X = 0)
  while (k < n / 2 && below + term <= 0.025) {
    below += term;
    ++k;
    term = term * static_cast<double>(n - k + 1) / static_cast<double>(k);
  }
  const std::size_t lowAt = k == 0 ? 0 : k - 1;
  return {Median(ratios), ratios[lowAt], ratios[n - 1 - lowAt]};
}

void ReportRatio(const char* against, const PairedRatio& ratio) {
  const char* verdict = ratio.high < 1 ? "faster" : ratio.low > 1 ? "SLOWER" : "no difference the rounds can tell";
  std::printf("  ours / %s, round by round: %.2f (95%% between %.2f and %.2f): %s\n", against, ratio.median, ratio.low,
              ratio.high, verdict);
}

void ReportTimes(const char* who, const std::vector<double>& times) {
  std::printf("  %-16s %8.3f s %8.3f s\n", who, *std::min_element(times.begin(), times.end()), Median(times));
}

}  // namespace

int main() {
  mf::platform::TemporaryFolder folder;
  std::string path = folder.Path();
  if (!path.empty() && path.back() == '/') path.pop_back();
  auto servers = MailServers::Start(path + "/servers");
  if (!servers.Running()) {
    std::printf("bench_tls: skipped: %s\n", servers.WhyNot().c_str());
    return servers.Failed() ? 1 : 0;
  }
  if (std::system("command -v mpop >/dev/null && command -v msmtp >/dev/null") != 0) {
    std::printf("bench_tls: skipped: mpop and msmtp are not installed\n");
    return 0;
  }
  ::setenv("SSL_CERT_FILE", servers.AuthorityFile().c_str(), 1);
  const std::size_t smallBytes = FillSmall(servers.Maildir("bob"));
  const std::size_t largeBytes = FillLarge(servers.Maildir("alice"));

  struct Fetch {
    const char* what;
    const char* user;
    int expected;
    std::size_t bytes;
  };
  bool ok = true;
  for (const Fetch& fetch : {Fetch{"POP3S retrieval of 1000 small mails", "bob", kSmallMails, smallBytes},
                             Fetch{"POP3S retrieval of 10 mails of 5 MB", "alice", kLargeMails, largeBytes}}) {
    std::vector<double> ours;
    std::vector<double> theirs;
    std::vector<double> bare;
    for (int round = 0; round < kRounds; ++round) {
      Scratch();
      std::size_t count = 0;
      double times[3] = {};
      const std::function<bool()> runs[3] = {
          [&] { return FetchOurs(servers.Pop3sPort(), fetch.user, count); },
          [&] { return FetchMpop(servers, fetch.user); },
          [&] { return FetchBareReader(servers, fetch.user, fetch.expected, fetch.bytes); },
      };
      // Each takes its turn at going first.
      for (int turn = 0; turn < 3; ++turn) {
        const int which = (round + turn) % 3;
        times[which] = Timed(runs[which]);
      }
      if (times[0] < 0 || times[1] < 0 || times[2] < 0 || count != static_cast<std::size_t>(fetch.expected)) {
        std::printf("bench_tls: %s failed (ours %.3f s, %zu mails; mpop %.3f s; bare reader %.3f s)\n", fetch.what,
                    times[0], count, times[1], times[2]);
        ok = false;
        break;
      }
      ours.push_back(times[0]);
      theirs.push_back(times[1]);
      bare.push_back(times[2]);
    }
    if (!ok) continue;
    std::printf("%s (%d rounds: best, median)\n", fetch.what, kRounds);
    ReportTimes("ours", ours);
    ReportTimes("mpop", theirs);
    ReportTimes("bare TLS reader", bare);
    ReportRatio("mpop", RoundByRound(ours, theirs));
    ReportRatio("bare TLS reader", RoundByRound(ours, bare));
  }

  std::string attachment(kAttachmentBytes, '\0');
  for (std::size_t i = 0; i < attachment.size(); ++i) attachment[i] = static_cast<char>((i * 2654435761u) >> 13);
  Scratch();
  const std::string attachmentFile = std::string(kScratch) + "/attachment.bin";
  const std::string messageFile = std::string(kScratch) + "/message.eml";
  mf::platform::WriteFileAtomic(attachmentFile, attachment);
  mf::platform::WriteFileAtomic(messageFile, MessageForMsmtp(attachment));
  std::vector<double> ours;
  std::vector<double> theirs;
  for (int round = 0; round < kRounds && ok; ++round) {
    const double a = Timed([&] { return SendOurs(servers, attachmentFile); });
    const double b = Timed([&] { return SendMsmtp(servers, messageFile); });
    if (a < 0 || b < 0) {
      std::printf("bench_tls: sending failed (ours %.3f s, msmtp %.3f s)\n", a, b);
      ok = false;
      break;
    }
    ours.push_back(a);
    theirs.push_back(b);
  }
  if (ok) {
    std::printf("STARTTLS send of a 10 MB attachment with a log-in (%d rounds: best, median)\n", kRounds);
    ReportTimes("ours", ours);
    ReportTimes("msmtp", theirs);
    ReportRatio("msmtp", RoundByRound(ours, theirs));
  }
  std::system((std::string("rm -rf ") + kScratch).c_str());
  return ok ? 0 : 1;
}
