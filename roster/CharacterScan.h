#pragma once

#include <string>
#include <vector>

#include "roster/CharacterRegistry.h"

namespace mf {

// A character folder found at start-up that the hut lists.
struct ScannedCharacter {
  std::string number;    // the folder number as written after "char"
  std::string folder;    // main folder path, without trailing separator
  std::string id;        // scene.txt line 0
  std::string name;      // scene.txt line 1, the list caption
  std::string iconPath;  // the first "image" + k + ".bmp" that exists
  bool out = false;      // the id is in outDB
};

// The image count that a line 3 which is not a number stands for.
inline constexpr int kUnknownPictureCount = 10000;

// Scans the program folder for character folders "char" + N that have a
// scene.txt and a companion folder "char" + N + "r", in listing order.
// Appends the number and id of each to `registry.charDB` and returns the
// ones to list in the hut: those whose id is in VisibleDB and that have one
// of the pictures 1 .. image count (line 3).
std::vector<ScannedCharacter> ScanCharacterFolders(CharacterRegistry& registry);

// The first "image" + k + ".bmp" of `folder` for k from 1 to `count`, as a
// path; empty when there is none.
std::string FirstPicture(const std::string& folder, int count);

}  // namespace mf
