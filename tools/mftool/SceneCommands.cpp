#include <iostream>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterEngine.h"
#include "character/SceneScript.h"
#include "tools/mftool/Command.h"

namespace mf::tool {
namespace {

const char* PlaceName(int place) {
  static const char* const names[kPlaceCount] = {"OnWindowTop", "AtWindowEdge", "Falling",
                                                 "Rising", "Free"};
  return place >= 0 && place < kPlaceCount ? names[place] : "?";
}

std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

// scene-check DIR: which scene lines the animation engine takes and why it
// skips the others, and whether the character can go out at all.
int RunSceneCheck(const Arguments& arguments) {
  if (arguments.size() != 1) {
    std::cerr << "usage: mftool scene-check CHARDIR\n";
    return 2;
  }
  std::string folder = WithoutTrailingSeparator(arguments[0]);
  auto lines = ReadSceneFile(folder);
  if (!lines) {
    std::cout << "no scene.txt in " << folder << "\ncan go out: no\n";
    return 1;
  }
  if (lines->size() < kMinimumSceneFileLines) {
    std::cout << "scene.txt has " << lines->size() << " lines, at least "
              << kMinimumSceneFileLines << " are needed\ncan go out: no\n";
    return 1;
  }
  const std::string& modesty = (*lines)[kModestyLine];
  // The script is Shift_JIS; names are printed for people, as UTF-8.
  std::cout << "id: " << SjisToUtf8((*lines)[kIdLine]) << "\nname: " << SjisToUtf8((*lines)[kNameLine]) << "\nmodesty: "
            << (IsInteger(modesty) ? modesty : "5 (line 2 is not an integer)") << "\n";

  int totals[kPlaceCount] = {};
  BitmapFileCheck bitmaps;
  for (std::size_t i = kFirstSceneLine; i < lines->size(); ++i) {
    std::string line = Trim((*lines)[i]);
    std::cout << "line " << i << ": ";
    std::string whyNot;
    auto scene = ParseSceneLine(line, &whyNot);
    if (!scene) {
      std::cout << "skipped, " << whyNot << "\n";
      continue;
    }
    auto frames = ParseFrameList(scene->frames);
    std::string missing = MissingPicture(folder, frames);
    if (!missing.empty()) {
      std::cout << "skipped, picture missing: " << missing << "\n";
      continue;
    }
    totals[scene->place] += scene->frequency;
    std::cout << "scene \"" << SjisToUtf8(scene->name) << "\" " << PlaceName(scene->place) << " weight "
              << scene->frequency << " repeat " << scene->repeat << ", " << frames.size()
              << " frames";
    if (!scene->next.empty()) std::cout << ", then \"" << SjisToUtf8(scene->next) << "\"";
    std::cout << "\n";
    for (const auto& frame : frames) {
      for (bool mirrored : {false, true}) {
        std::string path = PicturePath(folder, frame.key, mirrored);
        if (!bitmaps.Append(path)) std::cout << "  warning: not a bitmap, left out: " << path << "\n";
      }
    }
  }
  for (int place = 0; place < kPlaceCount; ++place) {
    std::cout << "weight " << PlaceName(place) << ": " << totals[place] << "\n";
  }
  bool canGoOut = totals[static_cast<int>(Place::Free)] > 0;
  std::cout << "can go out: " << (canGoOut ? "yes" : "no (no Free scene with a weight above 0)")
            << "\n";
  return canGoOut ? 0 : 1;
}

}  // namespace mf::tool
