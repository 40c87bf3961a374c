#include "hut/HutMenu.h"

namespace mf {
namespace {

using namespace menu_cursor;

MenuTitle Other(MenuTitle title) { return title == MenuTitle::File ? MenuTitle::Help : MenuTitle::File; }
int NoItem(MenuTitle title) { return title == MenuTitle::File ? kFileOpen : kHelpOpen; }
int FirstItem(MenuTitle title) { return title == MenuTitle::File ? kMailList : kHelp; }

bool InFileMenu(int cursor) { return cursor >= kFileOpen && cursor <= kCloseHut; }
bool IsItem(int cursor) { return (cursor > kFileOpen && cursor <= kCloseHut) || (cursor > kHelpOpen && cursor <= kVersion); }

MenuCommand CommandOf(int item) {
  switch (item) {
    case kMailList: return MenuCommand::MailList;
    case kNewCharacter: return MenuCommand::NewCharacter;
    case kReceive: return MenuCommand::Receive;
    case kCloseHut: return MenuCommand::CloseHut;
    case kHelp: return MenuCommand::Help;
    default: return MenuCommand::Version;
  }
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::optional<MenuTitle> HutMenu::DropDown() const {
  if (!menuOpen_) return std::nullopt;
  return InFileMenu(cursor_) ? MenuTitle::File : MenuTitle::Help;
}

void HutMenu::Open(MenuTitle title, int cursor) {
  menuOpen_ = true;
  LookOf(title) = TitleLook::Lowered;
  LookOf(Other(title)) = TitleLook::Plain;
  closeHover_ = false;
  cursor_ = cursor;
  if (keyboardMode_) titleHighlight_ = static_cast<int>(title);
  if (title == MenuTitle::File) receiveItemEnabled_ = ReceiveEnabledNow();
}

void HutMenu::SetKeyboardHighlight(int title) {
  titleHighlight_ = title;
  fileLook_ = title == 1 ? TitleLook::Raised : TitleLook::Plain;
  helpLook_ = title == 2 ? TitleLook::Raised : TitleLook::Plain;
}

void HutMenu::TitleEnter(MenuTitle title) {
  if (menuOpen_) {
    if (DropDown() != title) {
      Open(title, FirstItem(title));
    } else {
      cursor_ = NoItem(title);
    }
  } else if (keyboardMode_) {
    SetKeyboardHighlight(static_cast<int>(title));
    timerRunning_ = true;
  } else {
    LookOf(title) = TitleLook::Raised;
    timerRunning_ = true;
  }
}

void HutMenu::TitleLeave(MenuTitle title) {
  // In keyboard mode the highlight belongs to the keys, not the pointer.
  if (menuOpen_ || keyboardMode_) return;
  LookOf(title) = TitleLook::Plain;
  timerRunning_ = false;
}

void HutMenu::TitlePress(MenuTitle title) {
  if (!menuOpen_) {
    Open(title, NoItem(title));
    return;
  }
  menuOpen_ = false;
  cursor_ = kClosed;
  if (keyboardMode_) {
    SetKeyboardHighlight(static_cast<int>(title));
  } else {
    LookOf(title) = TitleLook::Raised;
    LookOf(Other(title)) = TitleLook::Plain;
  }
  timerRunning_ = true;
}

void HutMenu::ItemEnter(int item) {
  if (!menuOpen_ || !IsItem(item) || InFileMenu(item) != InFileMenu(cursor_)) return;
  cursor_ = item;
  timerRunning_ = true;
}

std::optional<MenuCommand> HutMenu::ItemRelease(int item, std::optional<MenuTarget> pointerIfActive) {
  if (!menuOpen_ || !IsItem(item) || InFileMenu(item) != InFileMenu(cursor_)) return std::nullopt;
  // A grey item takes no click and leaves the menu open.
  if (item == kReceive && !(receiveItemEnabled_ && ReceiveEnabledNow())) return std::nullopt;
  return Choose(item, pointerIfActive);
}

std::optional<MenuCommand> HutMenu::Choose(int item, std::optional<MenuTarget> pointerIfActive) {
  std::optional<MenuCommand> command;
  if (IsItem(item) && !(item == kReceive && !(receiveItemEnabled_ && ReceiveEnabledNow()))) {
    command = CommandOf(item);
  }
  // The menu closes before the command runs: a command may open a modal
  // window, which must not find the menu still open behind it.
  CloseMenus(pointerIfActive);
  return command;
}

void HutMenu::CloseButtonEnter() {
  if (menuOpen_ || keyboardMode_) return;
  closeHover_ = true;
  timerRunning_ = true;
}

void HutMenu::HoverTimerTick(MenuTarget pointer) {
  const bool onStrip = pointer == MenuTarget::Strip || pointer == MenuTarget::FileTitle ||
                       pointer == MenuTarget::HelpTitle || pointer == MenuTarget::CloseButton;
  if (menuOpen_) {
    MenuTarget open = DropDown() == MenuTitle::File ? MenuTarget::FileDropDown : MenuTarget::HelpDropDown;
    if (pointer != open) {
      cursor_ = NoItem(*DropDown());
      timerRunning_ = false;
    }
  } else if (keyboardMode_) {
    if (!onStrip) {
      SetKeyboardHighlight(0);
      timerRunning_ = false;
    }
  } else {
    if (pointer != MenuTarget::FileTitle) fileLook_ = TitleLook::Plain;
    if (pointer != MenuTarget::HelpTitle) helpLook_ = TitleLook::Plain;
    if (pointer != MenuTarget::CloseButton) closeHover_ = false;
    if (pointer != MenuTarget::FileTitle && pointer != MenuTarget::HelpTitle && pointer != MenuTarget::CloseButton) {
      timerRunning_ = false;
    }
  }
}

void HutMenu::CloseMenus(std::optional<MenuTarget> pointerIfActive) {
  fileLook_ = TitleLook::Plain;
  helpLook_ = TitleLook::Plain;
  closeHover_ = false;
  timerRunning_ = false;
  menuOpen_ = false;
  keyboardMode_ = false;
  swallowAltRelease_ = false;
  cursor_ = kClosed;
  titleHighlight_ = 0;
  if (pointerIfActive) ShowHover(*pointerIfActive);
}

void HutMenu::ShowHover(MenuTarget pointer) {
  switch (pointer) {
    case MenuTarget::FileTitle: fileLook_ = TitleLook::Raised; break;
    case MenuTarget::HelpTitle: helpLook_ = TitleLook::Raised; break;
    case MenuTarget::CloseButton: closeHover_ = true; break;
    default: return;
  }
  timerRunning_ = true;
}

bool HutMenu::AltPress(std::optional<MenuTarget> pointerIfActive) {
  if (!menuOpen_ && !keyboardMode_) return false;
  CloseMenus(pointerIfActive);
  swallowAltRelease_ = true;
  return true;
}

bool HutMenu::AltRelease() {
  if (swallowAltRelease_) {
    swallowAltRelease_ = false;
    return true;
  }
  keyboardMode_ = true;
  closeHover_ = false;
  SetKeyboardHighlight(1);
  return true;
}

bool HutMenu::Key(MenuKey key, char letter, std::optional<MenuCommand>& command,
                  std::optional<MenuTarget> pointerIfActive) {
  command.reset();
  // The help item shows F1 as its key: F1 closes the menu and opens help.
  if (key == MenuKey::F1) {
    if (menuOpen_) CloseMenus(pointerIfActive);
    command = MenuCommand::Help;
    return true;
  }

  if (menuOpen_) {
    const MenuTitle open = *DropDown();
    switch (key) {
      case MenuKey::Left:
      case MenuKey::Right:
        Open(Other(open), FirstItem(Other(open)));
        return true;
      case MenuKey::Up: {
        int c = cursor_ - 1;
        if (open == MenuTitle::File && c <= kFileOpen) c = kCloseHut;
        if (open == MenuTitle::Help && c <= kHelpOpen) c = kVersion;
        cursor_ = c;
        return true;
      }
      case MenuKey::Down: {
        int c = cursor_ + 1;
        if (open == MenuTitle::File && c > kCloseHut) c = kMailList;
        if (open == MenuTitle::Help && c > kVersion) c = kHelp;
        cursor_ = c;
        return true;
      }
      case MenuKey::Enter:
        command = Choose(cursor_, pointerIfActive);
        return true;
      case MenuKey::Escape:
        CloseMenus(pointerIfActive);
        return true;
      case MenuKey::Letter: {
        int item = kClosed;
        switch (Upper(letter)) {
          case 'M': item = open == MenuTitle::File ? kMailList : kClosed; break;
          case 'N': item = open == MenuTitle::File ? kNewCharacter : kClosed; break;
          case 'J': item = open == MenuTitle::File ? kReceive : kClosed; break;
          case 'C': item = open == MenuTitle::File ? kCloseHut : kClosed; break;
          case 'H': item = open == MenuTitle::Help ? kHelp : kClosed; break;
          case 'V': item = open == MenuTitle::Help ? kVersion : kClosed; break;
          default: break;
        }
        if (item == kClosed) return false;
        command = Choose(item, pointerIfActive);
        return true;
      }
      default:
        return false;
    }
  }

  if (keyboardMode_) {
    switch (key) {
      case MenuKey::Right:
        SetKeyboardHighlight(titleHighlight_ == 1 ? 2 : 1);
        return true;
      case MenuKey::Left:
        SetKeyboardHighlight(titleHighlight_ == 2 ? 1 : 2);
        return true;
      case MenuKey::Up:
      case MenuKey::Down:
      case MenuKey::Enter:
        if (titleHighlight_ == 1) Open(MenuTitle::File, kMailList);
        if (titleHighlight_ == 2) Open(MenuTitle::Help, kHelp);
        return true;
      case MenuKey::Escape:
        CloseMenus(pointerIfActive);
        return true;
      case MenuKey::Letter:
        if (Upper(letter) == 'F') {
          Open(MenuTitle::File, kMailList);
          return true;
        }
        if (Upper(letter) == 'H') {
          Open(MenuTitle::Help, kHelp);
          return true;
        }
        return false;
      default:
        return false;
    }
  }
  return false;
}

PopupEnabling CharacterMenuEnabling(const PopupSituation& s) {
  PopupEnabling e;
  e.receive = s.receiveEnabled;
  if (!s.selected) {
    e.newCharacter = true;
    return e;
  }
  e.goOut = !s.out;
  e.returnHome = s.out;
  e.writeMail = true;
  e.evolve = !s.out;
  e.haveChild = true;
  e.leaveForGood = !s.out && s.itemCount > 1;
  return e;
}

}  // namespace mf
