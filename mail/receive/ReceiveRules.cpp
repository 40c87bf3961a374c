#include "mail/receive/ReceiveRules.h"

#include "base/Text.h"
#include "mail/receive/MessageDecoder.h"

namespace mf {

bool KeepLocally(const ReceiveSwitches& switches, bool fromThisMailer) {
  return !switches.onlyFromThisMailer || fromThisMailer;
}

bool DeleteOnServer(const ReceiveSwitches& switches, bool fromThisMailer) {
  const bool leave = switches.leaveOnServer;
  const bool other = switches.leaveOtherMailers;
  bool remove = (!leave && !other) || (!leave && other && fromThisMailer);
  if (switches.onlyFromThisMailer) remove = remove && fromThisMailer;
  return remove;
}

void XMailerProbe::Line(std::string_view line) {
  if (decided_) return;
  constexpr std::string_view kName = "X-Mailer:";
  if (line.substr(0, kName.size()) == kName) {
    decided_ = true;
    fromThisMailer_ = Trim(line.substr(kName.size())) == kThisMailer;
  } else if (line.empty()) {
    decided_ = true;
  }
}

}  // namespace mf
