#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Integer.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "mail/send/CarrierPackage.h"
#include "mail/send/Composition.h"
#include "mail/send/SendController.h"
#include "mail/store/MailStore.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/PollEventLoop.h"
#include "platform/ProgramFolder.h"
#include "platform/secret/SecretServiceKeyring.h"
#include "settings/LiveSettings.h"
#include "tools/mftool/Command.h"

namespace mf::tool {

namespace {

// Each step of a send is bounded by the clients' own time-outs; this only
// stops a run that stopped making progress altogether.
constexpr auto kSendRunLimit = std::chrono::minutes(30);

// The program's settings file in the program folder, whatever this tool's
// own name is; its passwords where the program keeps them.
LiveSettings ProgramSettings(platform::Keyring& keyring) {
  LiveSettings settings(platform::IniFile(platform::ProgramFolder() + "MFMail.ini"), [](int, bool) {},
                        [](bool) {}, &keyring);
  settings.Load();
  return settings;
}

// The mail the arguments describe, or nothing after saying what is wrong.
// Text arguments come from a UTF-8 terminal; the body on standard input is
// Shift_JIS, as the program keeps it.
std::optional<Composition> CompositionFrom(const Arguments& arguments, const char* command) {
  Composition mail;
  mail.to = Utf8ToSjis(OptionValue(arguments, "--to"));
  mail.cc = Utf8ToSjis(OptionValue(arguments, "--cc"));
  mail.subject = Utf8ToSjis(OptionValue(arguments, "--subject"));
  for (const std::string& file : OptionValues(arguments, "--attach")) {
    mail.attachments.push_back(platform::FromNativePath(file));
  }
  const std::string number = OptionValue(arguments, "--character");
  if (!number.empty()) {
    if (!IsInteger(number)) {
      std::cerr << "mftool " << command << ": --character wants a character folder number\n";
      return std::nullopt;
    }
    const std::string folder = platform::ProgramFolder() + "char" + number;
    const auto id = CharacterIdOf(folder);
    if (!platform::DirectoryExists(folder) || !id) {
      std::cerr << "mftool " << command << ": no character in " << SjisToUtf8(folder) << "\n";
      return std::nullopt;
    }
    const auto package = PrepareCarrierPackage(folder);
    if (!package) {
      std::cerr << "mftool " << command << ": " << SjisToUtf8(BrokenPackageText()) << "\n";
      return std::nullopt;
    }
    mail.packagePath = *package;
    mail.characterId = *id;
  }
  mail.body = ReadStandardInput();
  return mail;
}

// What both commands stand on: the program folder's store and settings and
// a send controller over them.
struct ProgramSender {
  platform::PollEventLoop loop;
  SystemClock clock;
  MersenneRandom random;
  MailStore store;
  platform::SecretServiceKeyring keyring;
  LiveSettings settings = ProgramSettings(keyring);
  SendController controller{loop, settings, store, clock, random};
};

}  // namespace

// Stores a mail in the outbox of the program folder exactly as "後で送る"
// does.
int RunQueue(const Arguments& arguments) {
  if (OptionValue(arguments, "--to").empty()) {
    std::cerr << "mftool queue: --to is required\n";
    return 2;
  }
  auto mail = CompositionFrom(arguments, "queue");
  if (!mail) return 1;
  ProgramSender sender;
  std::string error;
  if (!sender.controller.SendLater(*mail, error)) {
    std::cerr << "mftool queue: " << SjisToUtf8(error) << "\n";
    return 1;
  }
  std::cout << "queued " << sender.store.RecordCount(FolderKind::Outbox) - 1 << "\n";
  return 0;
}

// Sends a mail at once with the program folder's account, as "送る" does,
// and files it in the sent folder, or in the outbox when it could not go.
// Prints the Message-ID it went out with.
int RunSendMail(const Arguments& arguments) {
  if (OptionValue(arguments, "--to").empty()) {
    std::cerr << "mftool send-mail: --to is required\n";
    return 2;
  }
  auto mail = CompositionFrom(arguments, "send-mail");
  if (!mail) return 1;
  ProgramSender sender;
  SendController& controller = sender.controller;
  int exitCode = -1;
  controller.OnSent = [](const SentMail& sent) {
    std::cout << "sent " << sent.messageId << "\n";
    if (!sent.filingError.empty()) std::cerr << "mftool send-mail: " << SjisToUtf8(sent.filingError) << "\n";
  };
  controller.OnFailed = [&](const SendFailure& failure) {
    std::cerr << "mftool send-mail: " << SjisToUtf8(SendFailureText(failure)) << "\n";
    exitCode = 1;
  };
  controller.OnClosed = [&] { exitCode = 0; };
  if (controller.SendNow(*mail) != SendStart::Started) {
    std::cerr << "mftool send-mail: " << SjisToUtf8(NoRecipientText()) << "\n";
    return 1;
  }
  if (!sender.loop.RunUntil([&] { return exitCode >= 0; }, kSendRunLimit)) {
    controller.Abort();
    std::cerr << "mftool send-mail: no progress, given up\n";
    return 1;
  }
  return exitCode;
}

}  // namespace mf::tool
