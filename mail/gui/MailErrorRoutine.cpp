#include "mail/gui/MailErrorRoutine.h"

#include "base/ShiftJis.h"
#include "platform/Dialogs.h"

namespace mf {

void TransferCommands::SetSendEnabled(bool enabled) {
  sendEnabled_ = enabled;
  if (OnChange) OnChange();
}

void TransferCommands::SetReceiveEnabled(bool enabled) {
  receiveEnabled_ = enabled;
  if (OnChange) OnChange();
}

MailErrorRoutine::MailErrorRoutine(platform::EventLoop& loop, platform::Dialogs& dialogs,
                                   TransferCommands& commands)
    : loop_(loop), dialogs_(dialogs), commands_(commands) {}

const std::string& MailErrorRoutine::FailureText() {
  static const std::string text = Sj("処理中に異常が発生しました");
  return text;
}

void MailErrorRoutine::Run() { Run(FailureText()); }

void MailErrorRoutine::Run(const std::string& text) {
  // Ending a session can report its own failure back here.
  if (running_) return;
  running_ = true;
  auto call = [](const std::function<void()>& hook) {
    if (hook) hook();
  };
  call(hooks.hideProgress);
  call(hooks.endMailListSessions);
  call(hooks.endCompositionSessions);
  commands_.SetReceiveEnabled(true);
  commands_.SetSendEnabled(true);
  call(hooks.releaseComposition);
  call(hooks.releaseViewer);
  running_ = false;
  loop_.Post(guard_.Bind([this, text] { dialogs_.Error(text); }));
}

}  // namespace mf
