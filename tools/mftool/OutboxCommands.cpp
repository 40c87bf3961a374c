#include <chrono>
#include <iostream>
#include <string>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "mail/answer/MailImport.h"
#include "mail/send/OutboxSender.h"
#include "mail/store/MailStore.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/PollEventLoop.h"
#include "platform/ProgramFolder.h"
#include "platform/secret/SecretServiceKeyring.h"
#include "settings/LiveSettings.h"
#include "tools/mftool/Command.h"
#include "tools/mftool/CrashPoint.h"
#include "tools/mftool/HeadlessHut.h"

namespace mf::tool {

namespace {

// Each step is bounded by the clients' own time-outs; this only stops a run
// that stopped making progress altogether.
constexpr auto kOutboxRunLimit = std::chrono::minutes(30);

}  // namespace

// Sends every outbox mail of the program folder over one session, as the
// mail list's "送信" does; one line per mail sent.
int RunSendOutbox(const Arguments& arguments) {
  if (!arguments.empty()) {
    std::cerr << "usage: mftool send-outbox   (the account of $MFMAIL_HOME/MFMail.ini)\n";
    return 2;
  }
  const std::string folder = platform::ProgramFolder();
  platform::SecretServiceKeyring keyring;
  LiveSettings settings(platform::IniFile(folder + "MFMail.ini"), nullptr, nullptr, &keyring);
  settings.Load();
  MailStore store(folder);
  SystemClock clock;
  MersenneRandom random;
  random.SeedFromClock();
  platform::PollEventLoop loop;
  OutboxSender sender(loop, settings, store, clock, random);
  CrashPoint crash;
  sender.OnCheckpoint = [&crash](std::string_view point) { crash.Reached(point); };
  int exitCode = -1;
  sender.OnSent = [](const OutboxSent& sent) {
    std::cout << "sent " << sent.messageId << "\t" << SjisToUtf8(sent.subject) << "\n";
    for (const std::string& file : sent.missingFiles) {
      std::cerr << "mftool send-outbox: left behind, no longer there: " << SjisToUtf8(file) << "\n";
    }
  };
  sender.OnFailed = [&](const std::string& text) {
    std::cerr << "mftool send-outbox: " << SjisToUtf8(text) << "\n";
    exitCode = 1;
  };
  sender.OnClosed = [&] { exitCode = 0; };
  if (!sender.Start()) {
    std::cout << "outbox empty\n";
    return 0;
  }
  if (!loop.RunUntil([&] { return exitCode >= 0; }, kOutboxRunLimit)) {
    sender.Abort();
    std::cerr << "mftool send-outbox: no progress, given up\n";
    return 1;
  }
  return exitCode;
}

// Takes a mail file into the inbox as "インポート(&I)" does; prints its
// record index, sender and subject.
int RunImport(const Arguments& arguments) {
  if (arguments.size() != 1) {
    std::cerr << "usage: mftool import FILE\n";
    return 2;
  }
  const std::string folder = platform::ProgramFolder();
  MailStore store(folder);
  HeadlessHut hut(folder);
  SystemClock clock;
  MersenneRandom random;
  random.SeedFromClock();
  const auto arrived = ImportMailFile(store, hut, random, clock, platform::FromNativePath(arguments[0]));
  if (!arrived) {
    std::cerr << "mftool import: " << SjisToUtf8(ImportFailureText()) << "\n";
    return 1;
  }
  std::cout << arrived->recordIndex << "\t" << SjisToUtf8(arrived->from) << "\t" << SjisToUtf8(arrived->subject)
            << "\n";
  return 0;
}

}  // namespace mf::tool
