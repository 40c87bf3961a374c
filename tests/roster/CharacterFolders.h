#pragma once

// Builds character folders for tests: 24-bit bitmaps and scene scripts in a
// program folder, the way the character editor leaves them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Text.h"
#include "character/Bitmap.h"
#include "character/BitmapFile.h"
#include "platform/Files.h"

namespace mf::testing {

// A colour as 0xRRGGBB.
using PixelFunction = std::function<std::uint32_t(int x, int y)>;

// A 24-bit bitmap file, as the character editor saves them.
inline std::string BitmapBytes(int width, int height, const PixelFunction& pixel) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) picture.Set(x, y, pixel(x, y));
  }
  return EncodeBitmapFile(picture);
}

inline constexpr std::uint32_t kBackground = 0xFF00FF;
inline constexpr std::uint32_t kBody = 0xE08030;

// A 46 x 46 picture: background with a filled square from (10, 10) to
// (35, 35) in the body colour.
inline std::string SquarePicture() {
  return BitmapBytes(46, 46, [](int x, int y) {
    return (x >= 10 && x < 36 && y >= 10 && y < 36) ? kBody : kBackground;
  });
}

struct CharacterSetup {
  std::string folderName = "char1";  // main folder; the companion gets "r"
  std::string id = "<1@test>";
  std::string name = "Tama";
  std::string modesty = "0";
  std::string pictureCount = "2";
  std::vector<std::string> scenes;   // lines from line 4 on
  std::vector<int> pictures = {1, 2};
  bool companion = true;
};

// A scene script with a free scene that stands still and a walking scene.
inline std::vector<std::string> StandingScenes() {
  return {"stand\\1\\4\\1\\\\1\\1:0:0\\2\\1:0:0\\", "walk\\3\\0\\1\\\\1\\1:4:0\\2\\1:4:0\\"};
}

inline void MakeCharacter(const std::string& programFolder, const CharacterSetup& setup) {
  std::string folder = programFolder + setup.folderName;
  platform::CreateFolder(folder);
  if (setup.companion) platform::CreateFolder(folder + "r");
  std::vector<std::string> lines = {setup.id, setup.name, setup.modesty, setup.pictureCount};
  lines.insert(lines.end(), setup.scenes.begin(), setup.scenes.end());
  platform::WriteFileAtomic(folder + "/scene.txt", JoinLines(lines));
  for (int k : setup.pictures) {
    platform::WriteFileAtomic(folder + "/image" + std::to_string(k) + ".bmp", SquarePicture());
    if (setup.companion) {
      platform::WriteFileAtomic(folder + "r/image" + std::to_string(k) + "r.bmp", SquarePicture());
    }
  }
}

inline void WriteList(const std::string& path, const std::vector<std::string>& lines) {
  platform::WriteFileAtomic(path, JoinLines(lines));
}

}  // namespace mf::testing
