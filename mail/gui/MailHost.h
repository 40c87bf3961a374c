#pragma once

#include <optional>
#include <string>

#include "character/CharacterHost.h"

namespace mf {

// A character window lent to a mail window. It is named by the hut's slot
// and the character's id, never held by address: the character may leave
// with the mail while the mail window still names it, and a name that no
// longer matches a window simply finds nothing.
struct CarrierRef {
  int slot = -1;
  std::string id;
  bool Empty() const { return slot < 0; }
  bool operator==(const CarrierRef&) const = default;
};

// Where a lent character stands and how large its picture is.
struct CarrierPlace {
  ScreenPoint topLeft;
  int pictureWidth = 0;
  int pictureHeight = 0;
};

// What the mail windows ask of the hut and its character windows. The hut
// implements it and the program hands it to the mail windows, so that no
// mail window knows the hut's own classes.
class MailHost {
 public:
  virtual ~MailHost() = default;

  // The lent character's place; nothing once its window has gone.
  virtual std::optional<CarrierPlace> PlaceOf(const CarrierRef& carrier) const = 0;
  // Moves the parked character (it stands still while it is lent).
  virtual void MoveCarrier(const CarrierRef& carrier, ScreenPoint topLeft) = 0;
  // Shows the character's window above the others.
  virtual void BringCarrierIntoView(const CarrierRef& carrier) = 0;
  // Gives a parked character back: topmost again when its flag is set, its
  // current frame, where and as it was before it was parked.
  virtual void RestoreCarrier(const CarrierRef& carrier) = 0;

  // Writes a mail carried by the first listed character with this id; false
  // when there is none or its package cannot be made.
  virtual bool SendMailByCharacterId(const std::string& id) = 0;
  // The character leaves with the mail it carried (for a day); the last
  // character listed stays.
  virtual void DepartWithMail(const std::string& id) = 0;

  // The screen point where a character stands while it carries or presents
  // a mail, shared by every mail window.
  virtual ScreenPoint& MailPosition() = 0;

  // Whether the hut lists a character with this id.
  virtual bool ListsCharacter(const std::string& /*id*/) const { return false; }
  // Lends the first listed character with this id that has a window to
  // present a received mail: parked at the mail position, standing still on
  // its first picture, shown but not topmost. Empty when none has a window.
  // RestoreCarrier gives it back.
  virtual CarrierRef LendCharacter(const std::string& /*id*/) { return {}; }
};

}  // namespace mf
