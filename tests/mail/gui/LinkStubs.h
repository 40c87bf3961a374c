#pragma once

// Links a window test does not watch: the windows they reach are not there,
// so they do nothing. A fixture stubs them first and then wires what it
// watches, so that a link it forgot still stops the test.

#include <QPoint>

#include "mail/list/gui/MailListWindow.h"
#include "mail/receive/gui/ReceivingWindowController.h"
#include "mail/send/gui/CompositionWindow.h"

namespace mf::testing {

inline void StubLinks(CompositionLinks& links) {
  links.showSendingProgress = [] {};
  links.hideProgress = [] {};
  links.pickRecipients = [] {};
  links.clearPickerSelection = [](bool) {};
  links.moveViewer = [](QPoint) {};
}

inline void StubLinks(MailListLinks& links) {
  links.receive = [] {};
  links.showSendingProgress = [] {};
  links.hideProgress = [] {};
  links.hideReturnNotice = [] {};
  links.openAddressBook = [] {};
  links.addAddress = [](const std::string&, const std::string&) {};
  links.openSettings = [] {};
  links.showVersion = [] {};
  links.openHelp = [] {};
  links.presentMail = [](const ArrivedMail&) {};
  links.viewerCarrier = [] { return CarrierRef{}; };
}

inline void StubLinks(ReceivingLinks& links) {
  links.sendBusy = [] { return false; };
  links.inboxChanged = [] {};
}

}  // namespace mf::testing
