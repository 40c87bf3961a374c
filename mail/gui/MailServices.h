#pragma once

#include "platform/IniFile.h"

namespace mf {

namespace platform {
class Dialogs;
class EventLoop;
class Shell;
}  // namespace platform
class Clock;
class LiveSettings;
class MailErrorRoutine;
class MailHost;
class MailStore;
class RandomGenerator;
class TransferCommands;

// What every mail window works with, made once by the program. Everything
// must outlive the windows.
struct MailServices {
  MailHost& host;  // the hut: lends and parks the characters
  platform::EventLoop& loop;
  LiveSettings& settings;  // the password prompt stores a new password
  const MailStore& store;
  const Clock& clock;
  RandomGenerator& random;
  platform::Dialogs& dialogs;
  platform::Shell& shell;
  platform::IniFile settingsFile;  // [CharPosition], [Window]
  TransferCommands& commands;
  MailErrorRoutine& errors;
};

}  // namespace mf
