#include <chrono>
#include <iostream>
#include <string>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tools/mftool/Command.h"

namespace mf::tool {

namespace {

// Retrieves every message of a mailbox the way the receiving window does:
// one request after another, each started from the previous completion.
class Fetcher {
 public:
  Fetcher(platform::PollEventLoop& loop, std::string folder, bool deleteAfter)
      : client_(loop), folder_(std::move(folder)), delete_(deleteAfter) {
    client_.OnRequestDone = [this](Pop3Client&, Pop3Request type, std::uint16_t error) {
      RequestDone(type, error);
    };
    // A long line comes in pieces; only its last piece ends it.
    client_.OnMessageLine = [this](Pop3Client& sender) {
      message_ += sender.LastResponse();
      if (!sender.LineContinues()) message_ += "\r\n";
    };
  }

  Pop3Client& Client() { return client_; }
  bool Finished() const { return finished_; }
  int ExitCode() const { return exitCode_; }
  int Fetched() const { return fetched_; }

  void Start() { Step([this] { client_.Connect(); }); }

 private:
  template <typename F>
  void Step(F start) {
    try {
      start();
    } catch (const Pop3Exception& error) {
      Fail(error.what());
    }
  }

  void Fail(const std::string& why) {
    std::cerr << "mftool fetch: " << why << "\n";
    exitCode_ = 1;
    if (client_.Connected() && !quitting_) {
      quitting_ = true;
      Step([this] { client_.Quit(); });
    } else {
      finished_ = true;
    }
  }

  void RequestDone(Pop3Request type, std::uint16_t error) {
    if (type == Pop3Request::Quit) {
      // A QUIT that never got through leaves deletions undone on the server.
      if (error != 0) {
        std::cerr << "mftool fetch: " << client_.LastResponse() << "\n";
        exitCode_ = 1;
      }
      finished_ = true;
      return;
    }
    if (type == Pop3Request::Capa && error != 0 && client_.Connected()) {
      // A server older than CAPA: one message at a time.
      Step([this] { client_.Stat(); });
      return;
    }
    if (error != 0) {
      const std::string& why = client_.ErrorMessage().empty() ? client_.LastResponse() : client_.ErrorMessage();
      if (const std::string text = NetErrorTextJa(error); !text.empty()) {
        std::cerr << "mftool fetch: " << SjisToUtf8(text) << "\n";
      }
      Fail(why + " (error " + std::to_string(error) + ")");
      return;
    }
    switch (type) {
      case Pop3Request::Connect: Step([this] { client_.User(); }); break;
      case Pop3Request::User: Step([this] { client_.Pass(); }); break;
      case Pop3Request::Pass: Step([this] { client_.Capa(); }); break;
      case Pop3Request::Capa: Step([this] { client_.Stat(); }); break;
      case Pop3Request::Stat:
        count_ = client_.MsgCount();
        // A DELE between two RETRs would give up what went out ahead.
        if (!delete_) {
          std::vector<int> numbers;
          for (int number = 1; number <= count_; ++number) numbers.push_back(number);
          client_.SetRetrAhead(std::move(numbers));
        }
        FetchNext();
        break;
      case Pop3Request::Retr:
        if (!platform::WriteFileAtomic(folder_ + "/MailNo" + std::to_string(number_) + ".txt", message_)) {
          Fail("cannot write into " + folder_);
          return;
        }
        ++fetched_;
        if (delete_) {
          Step([this] { client_.Dele(); });
        } else {
          FetchNext();
        }
        break;
      case Pop3Request::Dele: FetchNext(); break;
      default: break;
    }
  }

  void FetchNext() {
    if (number_ < count_) {
      ++number_;
      message_.clear();
      client_.SetMsgNum(number_);
      Step([this] { client_.Retr(); });
    } else {
      quitting_ = true;
      Step([this] { client_.Quit(); });
    }
  }

  Pop3Client client_;
  std::string folder_;
  bool delete_;
  std::string message_;
  int count_ = 0;
  int number_ = 0;
  int fetched_ = 0;
  bool quitting_ = false;
  bool finished_ = false;
  int exitCode_ = 0;
};

}  // namespace

int RunFetch(const Arguments& arguments) {
  const std::string host = OptionValue(arguments, "--host");
  const std::string folder = OptionValue(arguments, "--out");
  if (host.empty() || folder.empty()) {
    std::cerr << "usage: mftool fetch --host H [--port P] [--tls | --starttls] --user U --pass PW --out DIR [--delete]"
                 " [--timeout S]\n";
    return 2;
  }
  if (!platform::CreateFolders(folder)) {
    std::cerr << "mftool fetch: cannot create " << folder << "\n";
    return 1;
  }
  platform::PollEventLoop loop;
  Fetcher fetcher(loop, folder, HasFlag(arguments, "--delete"));
  Pop3Client& client = fetcher.Client();
  client.SetHost(host);
  const std::string port = OptionValue(arguments, "--port");
  // --tls: POP3S from the first byte (995); --starttls: STLS on the usual port.
  if (HasFlag(arguments, "--tls") && HasFlag(arguments, "--starttls")) {
    std::cerr << "mftool fetch: --tls and --starttls exclude each other\n";
    return 2;
  }
  if (HasFlag(arguments, "--tls")) {
    client.SetSecurity(TlsMode::Implicit);
    client.SetPort("995");
  } else if (HasFlag(arguments, "--starttls")) {
    client.SetSecurity(TlsMode::StartTls);
  }
  if (!port.empty()) client.SetPort(port);
  client.SetUserName(OptionValue(arguments, "--user"));
  client.SetPassWord(OptionValue(arguments, "--pass"));
  const std::string timeout = OptionValue(arguments, "--timeout");
  if (!timeout.empty()) client.SetTimeout(ToIntegerOr(timeout, Pop3Client::kDefaultTimeoutSeconds));
  fetcher.Start();
  // The client's own time-out bounds every request, so this only waits.
  while (!fetcher.Finished()) loop.RunOnce(std::chrono::milliseconds(500));
  loop.RunUntilIdle();
  if (fetcher.ExitCode() == 0) std::cout << "fetched " << fetcher.Fetched() << " messages into " << folder << "\n";
  return fetcher.ExitCode();
}

}  // namespace mf::tool
