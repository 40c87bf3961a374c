// Sends one mail with a 10 MB attachment to a local sink (bench/smtp/
// smtp_sink.py) with SmtpClient and with Python's smtplib and email packages,
// and prints the best of three times of each and their ratio. Both encode
// the attachment as Base64 and deliver it over loopback to the same sink.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "mail/send/MessageBuilder.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"

namespace {

constexpr std::size_t kAttachmentBytes = 10u * 1024 * 1024;
constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string SourceDir() {
  const char* fromEnvironment = std::getenv("MFMAIL_SOURCE_DIR");
  return fromEnvironment ? fromEnvironment : MFMAIL_SOURCE_DIR_DEFAULT;
}

// The sink runs as our child for the whole benchmark.
class Sink {
 public:
  explicit Sink(const std::string& folder) {
    std::string portFile = folder + "sink.port";
    std::string script = SourceDir() + "/bench/smtp/smtp_sink.py";
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execlp("python3", "python3", script.c_str(), portFile.c_str(), static_cast<char*>(nullptr));
      std::_Exit(127);
    }
    for (int i = 0; i < 200 && port_.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      port_ = mf::platform::ReadFile(portFile).value_or("");
    }
  }
  ~Sink() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::string port_;
};

double SendOurs(const std::string& port, const std::string& attachment, bool& ok) {
  mf::platform::PollEventLoop loop;
  mf::SmtpClient client(loop);
  client.Host = "127.0.0.1";
  client.Port = port;
  client.SignOn = "bench";
  client.EnvelopeFrom = "sender@example.jp";
  client.EnvelopeTo = {"user@example.jp"};
  mf::MessageFields fields;
  fields.from = "sender@example.jp";
  fields.to = {{"", "user@example.jp"}};
  fields.subject = "bench";
  fields.date = mf::SystemClock().Now();
  mf::MessageBuilder message(fields, {"See the attachment."}, {attachment});
  client.Message = [&message](std::string& line) { return message.NextLine(line); };
  bool finished = false;
  ok = false;
  client.OnRequestDone = [&](mf::SmtpClient& sender, mf::SmtpRequest type, std::uint16_t error) {
    if (error != 0 && type != mf::SmtpRequest::Quit) {
      std::printf("bench_smtp: request %d failed: %s\n", static_cast<int>(type), sender.LastResponse().c_str());
      finished = true;
      return;
    }
    switch (type) {
      case mf::SmtpRequest::Connect: sender.Helo(); break;
      case mf::SmtpRequest::Helo: sender.Mail(); break;
      case mf::SmtpRequest::Mail: ok = true; sender.Quit(); break;
      default: finished = true; break;
    }
  };
  auto start = std::chrono::steady_clock::now();
  client.Connect();
  loop.RunUntil([&] { return finished; }, std::chrono::minutes(5));
  return Seconds(std::chrono::steady_clock::now() - start);
}

double SendPython(const std::string& port, const std::string& attachment) {
  const std::string script =
      "import smtplib, sys, time\n"
      "from email.mime.multipart import MIMEMultipart\n"
      "from email.mime.text import MIMEText\n"
      "from email.mime.application import MIMEApplication\n"
      "start = time.perf_counter()\n"
      "m = MIMEMultipart()\n"
      "m['From'] = 'sender@example.jp'\n"
      "m['To'] = 'user@example.jp'\n"
      "m['Subject'] = 'bench'\n"
      "m.attach(MIMEText('See the attachment.', 'plain', 'iso-2022-jp'))\n"
      "with open(sys.argv[2], 'rb') as f:\n"
      "    part = MIMEApplication(f.read(), Name='data.bin')\n"
      "part['Content-Disposition'] = 'attachment; filename=\"data.bin\"'\n"
      "m.attach(part)\n"
      "with smtplib.SMTP('127.0.0.1', int(sys.argv[1])) as s:\n"
      "    s.sendmail('sender@example.jp', ['user@example.jp'], m.as_bytes())\n"
      "print(time.perf_counter() - start)\n";
  const std::string command =
      "python3 -c \"$(cat <<'PYEOF'\n" + script + "PYEOF\n)\" " + port + " '" + attachment + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  double seconds = -1;
  if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
  ::pclose(pipe);
  return seconds;
}

}  // namespace

int main() {
  mf::platform::TemporaryFolder folder;
  std::string attachment = folder.Path() + "data.bin";
  std::string bytes(kAttachmentBytes, '\0');
  std::uint32_t seed = 2024;
  for (auto& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 24);
  }
  if (!mf::platform::WriteFileAtomic(attachment, bytes)) {
    std::printf("bench_smtp: cannot write %s\n", attachment.c_str());
    return 1;
  }
  Sink sink(folder.Path());
  if (sink.Port().empty()) {
    std::printf("bench_smtp: the sink did not start\n");
    return 1;
  }
  double ours = 1e9;
  double python = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    bool ok = false;
    double seconds = SendOurs(sink.Port(), attachment, ok);
    if (!ok) return 1;
    ours = std::min(ours, seconds);
    double theirs = SendPython(sink.Port(), attachment);
    if (theirs < 0) {
      std::printf("bench_smtp: smtplib run failed\n");
      return 1;
    }
    python = std::min(python, theirs);
  }
  std::printf("SMTP send of a 10 MB attachment to a local sink (best of %d)\n", kRounds);
  std::printf("  SmtpClient        %8.3f s\n", ours);
  std::printf("  Python smtplib  %8.3f s\n", python);
  std::printf("  ratio (smtplib / ours) %.2f\n", python / ours);
  return 0;
}
