#pragma once

#include <functional>
#include <memory>

#include "mail/gui/MailServices.h"
#include "mail/receive/ReceiveController.h"

namespace mf {

namespace platform {
class Dialogs;
}
class LiveSettings;
class MailErrorRoutine;
class MailHost;
class ReceivingProgressWindow;
class ReturnNotice;
class MailViewer;
class TransferCommands;
struct ArrivedMail;

// What it asks of windows that come and go with other parts of the program;
// the program wires every one (a debug build stops on one it did not wire).
struct ReceivingLinks {
  std::function<void()> hideProgress;  // both progress windows
  std::function<bool()> sendBusy;      // a mail is on its way out
  std::function<void()> inboxChanged;  // the mail list reloads the inbox when it shows it
};

// The receive command and what it shows: the progress window, each stored
// mail presented by its character beside the viewer, the password prompt
// and the failures. The mail list window takes it over once it exists; until
// then the hut's commands run it.
class ReceivingWindowController {
 public:
  // `hut` is the registry arriving characters join; the windows are the ones
  // it shows.
  ReceivingWindowController(const MailServices& services, ReceivingHut& hut, ReceivingProgressWindow& progress,
                            MailViewer& viewer, ReturnNotice& notice);
  ~ReceivingWindowController();
  ReceivingWindowController(const ReceivingWindowController&) = delete;
  ReceivingWindowController& operator=(const ReceivingWindowController&) = delete;

  ReceivingLinks links;

  // Starts a run unless one or a send is going on.
  void Receive(ReceiveTrigger trigger);
  // The receive button and menu items are enabled: no run and no send.
  bool ReceiveEnabled() const;
  bool Running() const { return receiver_.Running(); }

  ReceiveController& Receiver() { return receiver_; }

  // Shows a mail that entered the inbox in the viewer beside the character
  // that brings it (also an imported mail).
  void Present(const ArrivedMail& mail);

 private:
  void Finished(const ReceiveSummary& summary);
  void AskForPassword(ReceiveTrigger trigger);
  void HideProgress();
  // The run is over: the commands work again.
  void Idle();

  MailServices context_;
  ReceivingHut& hut_;
  ReceivingProgressWindow& progress_;
  MailViewer& viewer_;
  ReturnNotice& notice_;
  ReceiveController receiver_;
  platform::LifetimeGuard guard_;
};

}  // namespace mf
