#pragma once

#include <string>

#include "character/CharacterHost.h"
#include "mail/gui/MailHost.h"

namespace mf {

// What the hut asks of the composition window when one of its characters
// carries a mail. The composition window implements it and the program hands
// it to the hut, so that the hut knows no mail window.
class CompositionOpener {
 public:
  virtual ~CompositionOpener() = default;

  // Whether a mail is being written (the window is shown).
  virtual bool Composing() const = 0;
  // Brings the mail being written to the front.
  virtual void BringForward() = 0;
  // A new mail, not an answer: every field emptied, nothing carried, and
  // the signature under a blank line when the user keeps one.
  virtual void StartNewMail() = 0;
  // Whether the viewer opened it for an answer: the viewer's character is
  // parked already and stays with the viewer afterwards.
  virtual bool OpenedFromViewer() const = 0;
  // The character that carries the mail: its package and id.
  virtual void SetCarrier(const std::string& packagePath, const std::string& characterId) = 0;
  // The carrying character's window, parked at `carrierTopLeft` with a
  // picture `pictureWidth` wide: the window stands beside it.
  virtual void StandBeside(const CarrierRef& carrier, ScreenPoint carrierTopLeft, int pictureWidth) = 0;
  // Empties the recipient picker's list of chosen To recipients, and its Cc
  // list too when `alsoCc`: nothing picked for an earlier mail may slip
  // into a new one.
  virtual void ClearRecipientPicker(bool alsoCc) = 0;
  // Shows the window modally until the mail is sent, filed or dropped.
  virtual void ComposeModally() = 0;
  // The carrying character's window, or none once it left with the mail.
  virtual CarrierRef LentCarrier() const = 0;
  // Forgets the carrying character's window.
  virtual void ForgetCarrier() = 0;
};

}  // namespace mf
