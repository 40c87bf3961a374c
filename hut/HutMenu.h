#pragma once

#include <functional>
#include <optional>

namespace mf {

// The hut draws its own menu bar: two titles, each with a drop-down of
// labels, and a close button. This is its state; the window feeds it mouse,
// timer and key events, paints what it says and runs the commands it
// returns.

// Menu cursor values: which drop-down is open and which of its items is
// highlighted.
namespace menu_cursor {
inline constexpr int kClosed = -1;
inline constexpr int kFileOpen = 10;  // File open, no item
inline constexpr int kMailList = 11;
inline constexpr int kNewCharacter = 12;
inline constexpr int kReceive = 13;
inline constexpr int kCloseHut = 14;
inline constexpr int kHelpOpen = 20;  // Help open, no item
inline constexpr int kHelp = 21;
inline constexpr int kVersion = 22;
}  // namespace menu_cursor

enum class MenuTitle { File = 1, Help = 2 };

// What the hut runs when a menu item is chosen.
enum class MenuCommand { MailList, NewCharacter, Receive, CloseHut, Help, Version };

// Where the pointer is, as far as the menu bar cares.
enum class MenuTarget {
  Elsewhere,     // outside the menu bar strip and the drop-downs
  Strip,         // on the menu bar strip, not on a title or the close button
  FileTitle,
  HelpTitle,
  CloseButton,
  FileDropDown,  // on the File drop-down (an item or a separator)
  HelpDropDown,
};

enum class TitleLook {
  Plain,    // normal colour, no bevel
  Raised,   // highlighted colour, raised bevel (hover, keyboard highlight)
  Lowered,  // highlighted colour, lowered bevel (its drop-down is open)
};

enum class MenuKey { Left, Right, Up, Down, Enter, Escape, F1, Letter };

class HutMenu {
 public:
  // Whether "メール受信" can run now (the mail list window's receive button);
  // asked whenever the File drop-down opens.
  explicit HutMenu(std::function<bool()> receiveEnabled = {}) : receiveEnabled_(std::move(receiveEnabled)) {}

  // Mouse on the titles.
  void TitleEnter(MenuTitle title);
  void TitleLeave(MenuTitle title);
  void TitlePress(MenuTitle title);
  // Mouse on drop-down items (cursor values 11-14, 21, 22).
  void ItemEnter(int item);
  // The left button released over an item: the menu closes and the item's
  // command comes back, except for a disabled "メール受信".
  std::optional<MenuCommand> ItemRelease(int item, std::optional<MenuTarget> pointerIfActive);
  // The close button.
  void CloseButtonEnter();
  // The hover check, every 300 ms while the timer runs: labels miss leave
  // events, so the pointer is compared with the controls.
  void HoverTimerTick(MenuTarget pointer);
  // Closes everything (deactivation, a press on the strip, the list or the
  // roof, Esc, a command). When the hut is still active, the control under
  // the pointer gets its hover look again.
  void CloseMenus(std::optional<MenuTarget> pointerIfActive);

  // Keyboard, while the hut is the active window. Each returns whether the
  // key was used (a used key goes no further); a chosen command comes back
  // in `command`.
  bool AltPress(std::optional<MenuTarget> pointerIfActive);
  bool AltRelease();
  bool Key(MenuKey key, char letter, std::optional<MenuCommand>& command,
           std::optional<MenuTarget> pointerIfActive);

  // What the window paints.
  bool MenuOpen() const { return menuOpen_; }
  bool KeyboardMode() const { return keyboardMode_; }
  int Cursor() const { return cursor_; }
  int TitleHighlight() const { return titleHighlight_; }  // 0 none, 1 File, 2 Help
  TitleLook Look(MenuTitle title) const { return title == MenuTitle::File ? fileLook_ : helpLook_; }
  bool CloseButtonHover() const { return closeHover_; }
  // The drop-down shown, if any.
  std::optional<MenuTitle> DropDown() const;
  bool ItemHighlighted(int item) const { return menuOpen_ && cursor_ == item; }
  bool ReceiveItemEnabled() const { return receiveItemEnabled_; }
  bool HoverTimerRunning() const { return timerRunning_; }

 private:
  void Open(MenuTitle title, int cursor);
  void SetKeyboardHighlight(int title);
  void ShowHover(MenuTarget pointer);
  std::optional<MenuCommand> Choose(int item, std::optional<MenuTarget> pointerIfActive);
  bool ReceiveEnabledNow() const { return !receiveEnabled_ || receiveEnabled_(); }
  TitleLook& LookOf(MenuTitle title) { return title == MenuTitle::File ? fileLook_ : helpLook_; }

  std::function<bool()> receiveEnabled_;

  bool menuOpen_ = false;
  bool keyboardMode_ = false;
  bool swallowAltRelease_ = false;
  int cursor_ = menu_cursor::kClosed;
  int titleHighlight_ = 0;
  TitleLook fileLook_ = TitleLook::Plain;
  TitleLook helpLook_ = TitleLook::Plain;
  bool closeHover_ = false;
  bool receiveItemEnabled_ = true;
  bool timerRunning_ = false;
};

// Which commands of the list's right-click menu are enabled.
struct PopupSituation {
  bool selected = false;       // an item is selected
  bool out = false;            // ... and its character is on the desktop
  int itemCount = 0;           // characters listed in the hut
  bool receiveEnabled = true;  // the mail list window's receive button
};

struct PopupEnabling {
  bool goOut = false;
  bool returnHome = false;
  bool writeMail = false;
  bool evolve = false;
  bool haveChild = false;
  bool leaveForGood = false;
  bool newCharacter = false;
  bool receive = false;
  bool operator==(const PopupEnabling&) const = default;
};

PopupEnabling CharacterMenuEnabling(const PopupSituation& situation);

}  // namespace mf
