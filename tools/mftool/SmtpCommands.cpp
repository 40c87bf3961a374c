#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "mail/send/MessageBuilder.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "text/Jconvert.h"
#include "tools/mftool/Command.h"

namespace mf::tool {

namespace {

// Whole runs are bounded by the clients' own inactivity time-outs; this only
// catches a loop that stopped making progress altogether.
constexpr auto kRunLimit = std::chrono::hours(1);

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string item = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

struct PopLogin {
  std::string host, port, user, pass;
};

// Sends one mail the way the composition window does: Connect, HELO, the
// chained MAIL, QUIT, each started from the completion of the one before.
class Sender {
 public:
  explicit Sender(platform::PollEventLoop& loop) : smtp_(loop), pop_(loop) {
    smtp_.OnDisplay = [](SmtpClient&, const std::string& text) { std::cerr << SjisToUtf8(text) << "\n"; };
    smtp_.OnRequestDone = [this](SmtpClient&, SmtpRequest type, std::uint16_t error) {
      SmtpDone(type, error);
    };
    pop_.OnDisplay = [](Pop3Client&, const std::string& text) { std::cerr << SjisToUtf8(text) << "\n"; };
    pop_.OnRequestDone = [this](Pop3Client&, Pop3Request type, std::uint16_t error) { PopDone(type, error); };
  }

  SmtpClient& Smtp() { return smtp_; }
  void SetMessage(std::unique_ptr<MessageBuilder> message) {
    message_ = std::move(message);
    smtp_.Message = [this](std::string& line) { return message_->NextLine(line); };
  }
  bool Finished() const { return finished_; }
  int ExitCode() const { return exitCode_; }

  void Start(const PopLogin* login) {
    if (login) {
      pop_.SetHost(login->host);
      pop_.SetPort(login->port);
      pop_.SetUserName(login->user);
      pop_.SetPassWord(login->pass);
      Guard([this] { pop_.Connect(); });
    } else {
      Guard([this] { smtp_.Connect(); });
    }
  }

 private:
  template <typename F>
  void Guard(F start) {
    try {
      start();
    } catch (const std::exception& error) {
      std::cerr << "mftool send: " << error.what() << "\n";
      exitCode_ = 1;
      finished_ = true;
    }
  }

  void PopDone(Pop3Request type, std::uint16_t error) {
    if (error != 0 && type != Pop3Request::Quit) {
      std::cerr << "mftool send: POP3 log-in failed, error " << error << ": " << SjisToUtf8(pop_.LastResponse()) << "\n";
      if (pop_.Connected()) {
        Guard([this] { pop_.Quit(); });
        popFailed_ = true;
        return;
      }
      exitCode_ = 2;
      finished_ = true;
      return;
    }
    switch (type) {
      case Pop3Request::Connect: Guard([this] { pop_.User(); }); break;
      case Pop3Request::User: Guard([this] { pop_.Pass(); }); break;
      case Pop3Request::Pass: Guard([this] { pop_.Quit(); }); break;
      case Pop3Request::Quit:
        if (popFailed_) {
          exitCode_ = 2;
          finished_ = true;
        } else {
          Guard([this] { smtp_.Connect(); });
        }
        break;
      default: break;
    }
  }

  void SmtpDone(SmtpRequest type, std::uint16_t error) {
    if (type == SmtpRequest::Quit) {
      finished_ = true;
      return;
    }
    if (error != 0) {
      std::cerr << "mftool send: error " << error << ": " << SjisToUtf8(smtp_.LastResponse()) << "\n";
      if (const std::string text = NetErrorTextJa(error); !text.empty()) {
        std::cerr << "mftool send: " << SjisToUtf8(text) << "\n";
      }
      if (!smtp_.ErrorMessage().empty() && smtp_.ErrorMessage() != smtp_.LastResponse()) {
        std::cerr << "mftool send: first refusal: " << SjisToUtf8(smtp_.ErrorMessage()) << "\n";
      }
      exitCode_ = 2;
      Guard([this] { smtp_.Quit(); });
      return;
    }
    switch (type) {
      case SmtpRequest::Connect: Guard([this] { smtp_.Helo(); }); break;
      case SmtpRequest::Helo: Guard([this] { smtp_.Mail(); }); break;
      case SmtpRequest::Mail: Guard([this] { smtp_.Quit(); }); break;
      default: break;
    }
  }

  SmtpClient smtp_;
  Pop3Client pop_;
  std::unique_ptr<MessageBuilder> message_;
  bool finished_ = false;
  bool popFailed_ = false;
  int exitCode_ = 0;
};

}  // namespace

// Command-line values come from a UTF-8 terminal and become the program's
// Shift_JIS; the body on standard input is Shift_JIS text, as the program
// keeps it.
int RunSend(const Arguments& arguments) {
  std::string host = OptionValue(arguments, "--host");
  std::string port = OptionValue(arguments, "--port");
  std::string from = OptionValue(arguments, "--from");
  std::vector<std::string> to = SplitList(OptionValue(arguments, "--to"));
  std::vector<std::string> cc = SplitList(OptionValue(arguments, "--cc"));
  if (host.empty() || from.empty() || to.empty()) {
    std::cerr << "mftool send: --host, --from and --to are required\n";
    return 1;
  }
  PopLogin login;
  std::string popText = OptionValue(arguments, "--pop-before-smtp");
  if (!popText.empty()) {
    // HOST:PORT:USER:PASS; the password may itself hold colons.
    std::size_t a = popText.find(':');
    std::size_t b = a == std::string::npos ? a : popText.find(':', a + 1);
    std::size_t c = b == std::string::npos ? b : popText.find(':', b + 1);
    if (c == std::string::npos) {
      std::cerr << "mftool send: --pop-before-smtp wants HOST:PORT:USER:PASS\n";
      return 1;
    }
    login = {popText.substr(0, a), popText.substr(a + 1, b - a - 1), popText.substr(b + 1, c - b - 1),
             popText.substr(c + 1)};
  }

  // --tls: SMTPS from the first byte (465); --starttls: submission (587).
  if (HasFlag(arguments, "--tls") && HasFlag(arguments, "--starttls")) {
    std::cerr << "mftool send: --tls and --starttls exclude each other\n";
    return 1;
  }
  TlsMode security = HasFlag(arguments, "--tls")        ? TlsMode::Implicit
                     : HasFlag(arguments, "--starttls") ? TlsMode::StartTls
                                                        : TlsMode::None;
  std::string authText = OptionValue(arguments, "--auth");
  if (!authText.empty() && authText.find(':') == std::string::npos) {
    std::cerr << "mftool send: --auth wants USER:PASS\n";
    return 1;
  }

  platform::PollEventLoop loop;
  Sender sender(loop);
  SmtpClient& smtp = sender.Smtp();
  smtp.Host = host;
  const char* defaultPort = security == TlsMode::Implicit ? "465" : security == TlsMode::StartTls ? "587" : "smtp";
  smtp.Port = port.empty() ? defaultPort : port;
  smtp.Security = security;
  if (!authText.empty()) {
    // The strongest mechanism the server offers; PLAIN and LOGIN only over TLS.
    smtp.AuthType = SmtpAuth::Auto;
    smtp.Username = authText.substr(0, authText.find(':'));
    smtp.Password = authText.substr(authText.find(':') + 1);
  }
  MessageFields fields;
  fields.from = from;
  fields.fromName = Utf8ToSjis(OptionValue(arguments, "--from-name"));
  for (const auto& address : to) fields.to.push_back(Recipient{"", address});
  for (const auto& address : cc) fields.cc.push_back(Recipient{"", address});
  smtp.EnvelopeFrom = from;
  smtp.EnvelopeTo = to;
  smtp.EnvelopeTo.insert(smtp.EnvelopeTo.end(), cc.begin(), cc.end());
  fields.subject = Utf8ToSjis(OptionValue(arguments, "--subject"));
  fields.xMailer = OptionValue(arguments, "--x-mailer");
  fields.characterId = OptionValue(arguments, "--character-id");
  fields.messageId = OptionValue(arguments, "--message-id");
  fields.date = SystemClock().Now();
  // Lines of the body as the program kept them, each cut to what a wire
  // line holds before it is converted.
  std::vector<std::string> body;
  for (std::string text : SplitLines(ReadStandardInput())) {
    if (text.size() >= MessageBuilder::kMaxTextLine) text.resize(MessageBuilder::kMaxTextLine - 1);
    body.push_back(ProgramTextToJis(text));
  }
  std::vector<std::string> files;
  for (const auto& path : OptionValues(arguments, "--attach")) files.push_back(platform::FromNativePath(path));
  try {
    sender.SetMessage(std::make_unique<MessageBuilder>(fields, body, files));
  } catch (const std::exception& error) {
    std::cerr << "mftool send: " << SjisToUtf8(error.what()) << "\n";
    return 1;
  }

  sender.Start(popText.empty() ? nullptr : &login);
  if (!loop.RunUntil([&] { return sender.Finished(); }, kRunLimit)) {
    std::cerr << "mftool send: no progress\n";
    return 3;
  }
  return sender.ExitCode();
}

}  // namespace mf::tool
