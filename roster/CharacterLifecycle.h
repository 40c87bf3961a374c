#pragma once

#include <optional>
#include <string>

#include "base/DateTime.h"
#include "roster/CharacterRecord.h"
#include "roster/CharacterRegistry.h"

namespace mf {

namespace platform {
class Dialogs;
}

// What an item's icon becomes when the item leaves the list.
enum class IconFate {
  Remove,  // taken out of the image list; icons behind it move up by one
  Keep,    // stays in the image list, unused
};

// What the character rules need from the hut window: its list items (each
// with its CharacterRecord and icon), its character window slots (CharacterWindows) and
// the other windows it talks to. Rows are list positions.
class HutView {
 public:
  virtual ~HutView() = default;

  // The list.
  virtual int ItemCount() const = 0;
  virtual CharacterRecord& ItemData(int row) = 0;
  virtual int SelectedRow() const = 0;  // -1 when no item is selected
  // Appends an item with its record; its icon is the picture at
  // `iconPath`, masked with the colour of its pixel (0, 0).
  virtual void AddItem(const std::string& caption, const CharacterRecord& data, const std::string& iconPath) = 0;
  virtual void DeleteItem(int row, IconFate icon) = 0;
  virtual void SetItemCaption(int row, const std::string& caption) = 0;
  virtual void ArrangeIcons() = 0;

  // Character windows, one per slot of CharacterWindows.
  virtual bool HasWindow(int slot) const = 0;
  // The first empty slot, or a new one at the end.
  virtual int FreeSlot() const = 0;
  // Creates a hidden window in `slot` with that index, id and folder.
  virtual void CreateCharacterWindow(int slot, const std::string& id, const std::string& folder) = 0;
  // Destroys the window and leaves the slot empty.
  virtual void DestroyCharacterWindow(int slot) = 0;
  // The window's LoadScenes(): false when the character cannot go out.
  virtual bool LoadScenes(int slot) = 0;
  // Shows the window with its animation timer running, or hides it with
  // the timer stopped.
  virtual void ShowOnDesktop(int slot) = 0;
  virtual void HideFromDesktop(int slot) = 0;
  virtual void SetWindowId(int slot, const std::string& id) = 0;

  // The mail list window sends or receives: a client is busy or one of its
  // send and receive buttons is disabled.
  virtual bool MailTransferBusy() const = 0;
  // The composition window forgets the character it was opened for.
  virtual void ForgetComposingCharacter() = 0;
};

// The rules of a character's life in the hut: going out and coming home,
// the journey, leaving with a mail and coming back a day later, and
// (re-)registration after creation, evolution or arrival by mail. The
// lists live in the registry; every list that has a file is saved when it
// changes, except where noted.
class CharacterLifecycle {
 public:
  static constexpr int kReturnCheckMs = 15 * 60 * 1000;
  // A character away with a mail comes back after a day (in day counts).
  static constexpr double kAwayDays = 1.0;

  CharacterLifecycle(CharacterRegistry& registry, HutView& view, const Clock& clock,
                     platform::Dialogs& dialogs);

  // The selected character goes out onto the desktop.
  void GoOut();
  // Every listed character in window slot `index` comes home.
  void ReturnHome(int index);
  // The selected character leaves for good, after the user agrees.
  void LeaveForGood();
  // The character `id` leaves with a mail it carries, for a day; the last
  // character listed never leaves. The time it is due back (as stored in
  // resurrDB) when it left.
  std::optional<DateTime> DepartWithMail(const std::string& id);
  // Brings back the characters whose day away is over; waits while mail
  // moves, so that a returning character never meets a running transfer.
  void ReturnDueCharacters();
  // Lists a known character again, in the hut; true when it is (or already
  // was) listed. Either way it is no longer away with a mail.
  bool ShowAgain(const std::string& number, const std::string& id);
  // Records the id of folder pair `number` and lists the character; a
  // number already known takes the new id in every list (evolution).
  void RegisterCharacter(int number, const std::string& id);

  // The folder of "char" + number in the program folder.
  std::string FolderOf(const std::string& number) const;

 private:
  // Lists the character of `folder` as ShowAgain does, without touching
  // VisibleDB; false when the folder has no name or no picture.
  bool ListCharacter(const std::string& folder, const std::string& id, bool appendVisible);
  void RemoveFolders(const std::string& folder);
  // The character is home: it is no longer away with a mail.
  void ForgetTrip(const std::string& id);
  int RowOfId(const std::string& id);

  CharacterRegistry& registry_;
  HutView& view_;
  const Clock& clock_;
  platform::Dialogs& dialogs_;
};

}  // namespace mf
