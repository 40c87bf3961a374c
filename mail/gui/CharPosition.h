#pragma once

#include "character/CharacterHost.h"

namespace mf {

namespace platform {
class IniFile;
}

// The mail position as the settings file keeps it: [CharPosition] Left and
// Top, decimal text, "A" while never set.
//
// Each stored coordinate that is an integer replaces that coordinate of
// `position`; anything else leaves it as it was (the screen centre at start).
void LoadCharPosition(const platform::IniFile& settings, ScreenPoint& position);
void SaveCharPosition(platform::IniFile& settings, ScreenPoint position);

}  // namespace mf
