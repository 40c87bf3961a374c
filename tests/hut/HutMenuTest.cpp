#include "hut/HutMenu.h"

#include <gtest/gtest.h>

namespace mf {
namespace {

using namespace menu_cursor;

TEST(PopupMenu, EnablingFollowsSelectionPlaceAndCount) {
  // In the hut, with others beside it.
  EXPECT_EQ(CharacterMenuEnabling({.selected = true, .out = false, .itemCount = 2, .receiveEnabled = true}),
            (PopupEnabling{.goOut = true,
                           .returnHome = false,
                           .writeMail = true,
                           .evolve = true,
                           .haveChild = true,
                           .leaveForGood = true,
                           .newCharacter = false,
                           .receive = true}));
  // The only one cannot go on a journey.
  EXPECT_FALSE(CharacterMenuEnabling({.selected = true, .out = false, .itemCount = 1}).leaveForGood);
  // Out on the desktop.
  EXPECT_EQ(CharacterMenuEnabling({.selected = true, .out = true, .itemCount = 3, .receiveEnabled = false}),
            (PopupEnabling{.goOut = false,
                           .returnHome = true,
                           .writeMail = true,
                           .evolve = false,
                           .haveChild = true,
                           .leaveForGood = false,
                           .newCharacter = false,
                           .receive = false}));
  // Nothing selected: only a new character, and receiving when possible.
  EXPECT_EQ(CharacterMenuEnabling({.selected = false, .itemCount = 3, .receiveEnabled = true}),
            (PopupEnabling{.newCharacter = true, .receive = true}));
  EXPECT_EQ(CharacterMenuEnabling({.selected = false, .itemCount = 3, .receiveEnabled = false}),
            (PopupEnabling{.newCharacter = true}));
}

TEST(HutMenu, TitlesSwitchAndCloseWithTheMouse) {
  HutMenu menu;
  menu.TitlePress(MenuTitle::File);
  menu.TitleEnter(MenuTitle::Help);  // the other title: its menu, first item
  EXPECT_EQ(menu.DropDown(), MenuTitle::Help);
  EXPECT_EQ(menu.Cursor(), kHelp);
  EXPECT_EQ(menu.Look(MenuTitle::File), TitleLook::Plain);
  EXPECT_EQ(menu.Look(MenuTitle::Help), TitleLook::Lowered);
  menu.TitleEnter(MenuTitle::Help);  // the open title again: no item
  EXPECT_EQ(menu.Cursor(), kHelpOpen);
  // Items of the closed drop-down do not count.
  menu.ItemEnter(kMailList);
  EXPECT_EQ(menu.Cursor(), kHelpOpen);
  EXPECT_EQ(menu.ItemRelease(kMailList, std::nullopt), std::nullopt);

  menu.TitlePress(MenuTitle::Help);  // pressing the open title closes it
  EXPECT_FALSE(menu.MenuOpen());
  EXPECT_EQ(menu.Look(MenuTitle::Help), TitleLook::Raised);

  // The hover check puts back what the pointer left.
  menu.HoverTimerTick(MenuTarget::Strip);
  EXPECT_EQ(menu.Look(MenuTitle::Help), TitleLook::Plain);
  EXPECT_FALSE(menu.HoverTimerRunning());

  // With a menu open, leaving the drop-down clears its item highlight only.
  menu.TitlePress(MenuTitle::File);
  menu.ItemEnter(kCloseHut);
  menu.HoverTimerTick(MenuTarget::FileDropDown);
  EXPECT_EQ(menu.Cursor(), kCloseHut);
  menu.HoverTimerTick(MenuTarget::Elsewhere);
  EXPECT_EQ(menu.Cursor(), kFileOpen);
  EXPECT_TRUE(menu.MenuOpen());
}

TEST(HutMenu, AltTogglesKeyboardModeAndSwallowsItsOwnRelease) {
  HutMenu menu;
  std::optional<MenuCommand> command;
  EXPECT_FALSE(menu.AltPress(std::nullopt));  // nothing open: Alt passes on
  EXPECT_TRUE(menu.AltRelease());
  EXPECT_TRUE(menu.KeyboardMode());
  EXPECT_TRUE(menu.Key(MenuKey::Letter, 'H', command, std::nullopt));
  EXPECT_EQ(menu.DropDown(), MenuTitle::Help);

  // Alt again closes everything and its release is swallowed.
  EXPECT_TRUE(menu.AltPress(std::nullopt));
  EXPECT_FALSE(menu.MenuOpen());
  EXPECT_FALSE(menu.KeyboardMode());
  EXPECT_TRUE(menu.AltRelease());
  EXPECT_FALSE(menu.KeyboardMode());
  // Keys mean nothing to a closed menu outside keyboard mode.
  EXPECT_FALSE(menu.Key(MenuKey::Down, 0, command, std::nullopt));
  EXPECT_FALSE(menu.Key(MenuKey::Letter, 'F', command, std::nullopt));
  EXPECT_FALSE(command);
}

TEST(HutMenu, CursorWrapsInBothMenus) {
  HutMenu menu;
  std::optional<MenuCommand> command;
  menu.AltRelease();
  menu.Key(MenuKey::Letter, 'f', command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kMailList);
  menu.Key(MenuKey::Up, 0, command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kCloseHut);
  menu.Key(MenuKey::Down, 0, command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kMailList);

  menu.Key(MenuKey::Left, 0, command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kHelp);
  menu.Key(MenuKey::Up, 0, command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kVersion);
  menu.Key(MenuKey::Down, 0, command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kHelp);
  // From "no item" the first step down lands on the first item.
  menu.TitleEnter(MenuTitle::Help);
  EXPECT_EQ(menu.Cursor(), kHelpOpen);
  menu.Key(MenuKey::Up, 0, command, std::nullopt);
  EXPECT_EQ(menu.Cursor(), kVersion);

  EXPECT_TRUE(menu.Key(MenuKey::Enter, 0, command, std::nullopt));
  EXPECT_EQ(command, MenuCommand::Version);
  EXPECT_FALSE(menu.MenuOpen());
  EXPECT_FALSE(menu.KeyboardMode());
}

TEST(HutMenu, LettersChooseOnlyInTheirOwnMenu) {
  HutMenu menu;
  std::optional<MenuCommand> command;
  menu.AltRelease();
  menu.Key(MenuKey::Letter, 'H', command, std::nullopt);
  EXPECT_EQ(menu.DropDown(), MenuTitle::Help);
  EXPECT_FALSE(menu.Key(MenuKey::Letter, 'M', command, std::nullopt));
  EXPECT_TRUE(menu.MenuOpen());
  EXPECT_TRUE(menu.Key(MenuKey::Letter, 'v', command, std::nullopt));
  EXPECT_EQ(command, MenuCommand::Version);

  menu.TitlePress(MenuTitle::File);
  EXPECT_TRUE(menu.Key(MenuKey::Letter, 'C', command, std::nullopt));
  EXPECT_EQ(command, MenuCommand::CloseHut);

  // F1 closes an open menu and asks for help.
  menu.TitlePress(MenuTitle::File);
  EXPECT_TRUE(menu.Key(MenuKey::F1, 0, command, std::nullopt));
  EXPECT_EQ(command, MenuCommand::Help);
  EXPECT_FALSE(menu.MenuOpen());
}

TEST(HutMenu, CloseButtonHoverOnlyWhenNoMenuIsOpen) {
  HutMenu menu;
  menu.CloseButtonEnter();
  EXPECT_TRUE(menu.CloseButtonHover());
  menu.HoverTimerTick(MenuTarget::CloseButton);
  EXPECT_TRUE(menu.CloseButtonHover());
  menu.HoverTimerTick(MenuTarget::Elsewhere);
  EXPECT_FALSE(menu.CloseButtonHover());

  menu.TitlePress(MenuTitle::File);
  menu.CloseButtonEnter();
  EXPECT_FALSE(menu.CloseButtonHover());
  // Closing with the pointer on the close button gives it its hover look.
  menu.CloseMenus(MenuTarget::CloseButton);
  EXPECT_TRUE(menu.CloseButtonHover());
  EXPECT_TRUE(menu.HoverTimerRunning());

  // In keyboard mode a pointer off the strip drops the keyboard highlight.
  menu.AltRelease();
  menu.CloseButtonEnter();
  EXPECT_FALSE(menu.CloseButtonHover());
  menu.TitleEnter(MenuTitle::Help);
  EXPECT_EQ(menu.TitleHighlight(), 2);
  menu.HoverTimerTick(MenuTarget::Strip);
  EXPECT_EQ(menu.TitleHighlight(), 2);
  menu.HoverTimerTick(MenuTarget::Elsewhere);
  EXPECT_EQ(menu.TitleHighlight(), 0);
  EXPECT_EQ(menu.Look(MenuTitle::Help), TitleLook::Plain);
  EXPECT_TRUE(menu.KeyboardMode());
}

}  // namespace
}  // namespace mf
