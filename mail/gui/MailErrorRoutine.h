#pragma once

#include <functional>
#include <string>

#include "platform/EventLoop.h"

namespace mf {

namespace platform {
class Dialogs;
}

// The mail list window's send and receive commands. Only one transfer runs
// at a time: whoever starts one disables them, and its end or the common
// error routine enables them again. Until the mail list window exists this
// is their only home; that window shows them as its buttons.
class TransferCommands {
 public:
  bool SendEnabled() const { return sendEnabled_; }
  bool ReceiveEnabled() const { return receiveEnabled_; }
  void SetSendEnabled(bool enabled);
  void SetReceiveEnabled(bool enabled);

  // Called after either changed (the mail list window repaints its buttons).
  std::function<void()> OnChange;

 private:
  bool sendEnabled_ = true;
  bool receiveEnabled_ = true;
};

// The one way a failed transfer ends, whichever window ran it: every
// session of the mail windows ends, the commands work again, lent characters
// go back, the composition window and the viewer close, and the user is told.
// Each mail window fills its hooks when it is created; an empty hook is a
// window that does not exist yet.
class MailErrorRoutine {
 public:
  MailErrorRoutine(platform::EventLoop& loop, platform::Dialogs& dialogs, TransferCommands& commands);

  // In the order the routine runs them.
  struct Hooks {
    std::function<void()> hideProgress;             // both progress windows
    std::function<void()> endMailListSessions;      // the mail list window's clients
    std::function<void()> endCompositionSessions;   // the composition window's sender
    std::function<void()> releaseComposition;       // clears its state, gives back its character, cancels it
    std::function<void()> releaseViewer;            // gives back the viewer's character, dismisses it
  };
  Hooks hooks;

  // Ends everything and shows "処理中に異常が発生しました", or `text` when a
  // more telling one is known (a missing attachment). The message box opens
  // from the loop, never inside the failing client's callback; a failure
  // that arrives while the routine runs is the same failure.
  void Run();
  void Run(const std::string& text);

  // "処理中に異常が発生しました"
  static const std::string& FailureText();

 private:
  platform::EventLoop& loop_;
  platform::Dialogs& dialogs_;
  TransferCommands& commands_;
  platform::LifetimeGuard guard_;
  bool running_ = false;
};

}  // namespace mf
