#pragma once

#include <string>
#include <vector>

namespace mf {

// The modesty choices run "5" down to "1"; the chosen position is what
// line 2 stores, so "5" stores 0 (never topmost) and "1" stores 4.
inline constexpr int kModestyChoices = 5;
inline constexpr int kNewModestyChoice = 2;  // "3"

// What the hut hands the editor when it opens it.
struct EditorOpening {
  std::string programFolder;  // with trailing separator; files are only deleted inside it
  std::string charDir;        // "char" + N, no trailing separator
  std::string mirrorDir;      // "char" + N + "r"
  std::vector<std::string> script;
  std::string name;                       // the name field
  int modestyChoice = kNewModestyChoice;  // -1: none chosen
  bool isNew = false;                     // the folder pair goes when the editing is abandoned
};

}  // namespace mf
