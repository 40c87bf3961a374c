#include "mail/SendController.h"

#include "base/ShiftJis.h"
#include "settings/LiveSettings.h"

namespace mf {

const std::string& NoRecipientText() {
  static const std::string text = Sj("宛先が指定されていません");
  return text;
}

SendController::SendController(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
                               const Clock& clock, RandomGenerator& random)
    : loop_(loop), settings_(settings), store_(store), clock_(clock), random_(random), smtp_(loop), pop_(loop) {}

SendController::~SendController() = default;

// FIXME: the sending flow lands in the next commits; this keeps the
// interface buildable for the windows meanwhile.
SendStart SendController::SendNow(const Composition&) { return SendStart::Busy; }

bool SendController::SendLater(const Composition&, std::string& error) {
  error = NoRecipientText();
  return false;
}

void SendController::Abort() {}
bool SendController::Busy() const { return false; }
TSmtpCli& SendController::Smtp() { return smtp_; }
TPop3Cli& SendController::PopBeforeSmtp() { return pop_; }

}  // namespace mf
