#pragma once

#include <string>

namespace mf {

// The record behind one hut list item.
struct CharacterRecord {
  std::string folder;  // the character's main folder, without trailing separator
  std::string id;      // scene.txt line 0
  bool out = false;    // the character is on the desktop
  int index = -1;      // its window's slot in the hut's CharacterWindows
};

}  // namespace mf
