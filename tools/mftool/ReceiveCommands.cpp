#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/receive/ReceiveController.h"
#include "mail/store/MailStore.h"
#include "platform/PollEventLoop.h"
#include "platform/ProgramFolder.h"
#include "platform/secret/SecretServiceKeyring.h"
#include "settings/LiveSettings.h"
#include "tools/mftool/Command.h"
#include "tools/mftool/CrashPoint.h"
#include "tools/mftool/HeadlessHut.h"

namespace mf::tool {

int RunReceive(const Arguments& arguments) {
  if (!arguments.empty()) {
    std::cerr << "usage: mftool receive   (the account of $MFMAIL_HOME/MFMail.ini)\n";
    return 2;
  }
  const std::string folder = platform::ProgramFolder();
  platform::SecretServiceKeyring keyring;
  LiveSettings settings(platform::IniFile(folder + "MFMail.ini"), nullptr, nullptr, &keyring);
  settings.Load();
  MailStore store(folder);
  HeadlessHut hut(folder);
  MersenneRandom random;
  SystemClock clock;
  platform::PollEventLoop loop;
  ReceiveController receiver(loop, settings, store, hut, random, clock);
  CrashPoint crash;

  bool finished = false;
  ReceiveSummary result;
  receiver.OnCheckpoint = [&crash](std::string_view point) { crash.Reached(point); };
  receiver.OnMailStored = [](const ArrivedMail& mail) {
    std::cout << mail.recordIndex << "\t" << SjisToUtf8(mail.from) << "\t" << SjisToUtf8(mail.subject);
    if (mail.arrivedFolder != 0) std::cout << "\t(new character in char" << mail.arrivedFolder << ")";
    std::cout << "\n";
  };
  receiver.OnMailRejected = [](const std::string& keptAs) {
    std::cerr << "mftool receive: not a mail, kept as " << SjisToUtf8(keptAs) << "\n";
  };
  receiver.OnFinished = [&](const ReceiveSummary& summary) {
    result = summary;
    finished = true;
  };
  switch (receiver.Receive(ReceiveTrigger::Manual)) {
    case ReceiveStart::Started: break;
    case ReceiveStart::Busy: return 1;
    case ReceiveStart::Failed:
      std::cerr << "mftool receive: no POP3 server in " << SjisToUtf8(folder) << "MFMail.ini\n";
      return 1;
  }
  // The client's time-out bounds every request, so this only waits.
  while (!finished) loop.RunOnce(std::chrono::milliseconds(500));
  switch (result.end) {
    case ReceiveEnd::Done:
    case ReceiveEnd::NoNewMail:
      std::cout << "stored " << result.stored << " mails";
      if (result.rejected > 0) std::cout << ", " << result.rejected << " not mail";
      std::cout << "\n";
      return result.rejected > 0 ? 1 : 0;
    case ReceiveEnd::PasswordRejected:
      std::cerr << "mftool receive: the server refused the password: " << SjisToUtf8(result.error) << "\n";
      return 1;
    case ReceiveEnd::Failed:
      std::cerr << "mftool receive: " << SjisToUtf8(result.error) << "\n";
      if (!result.userText.empty()) std::cerr << "mftool receive: " << SjisToUtf8(result.userText) << "\n";
      return 1;
  }
  return 1;
}

}  // namespace mf::tool
