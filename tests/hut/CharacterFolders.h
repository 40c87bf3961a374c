#pragma once

// Builds character folders for tests: 24-bit bitmaps and scene scripts in a
// program folder, the way the character editor leaves them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/Files.h"

namespace mf::testing {

// A colour as 0xRRGGBB.
using PixelFunction = std::function<std::uint32_t(int x, int y)>;

inline std::string BitmapBytes(int width, int height, const PixelFunction& pixel) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const std::uint32_t imageSize = static_cast<std::uint32_t>(rowBytes * height);
  std::string bytes;
  auto put16 = [&](std::uint32_t v) {
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>((v >> 8) & 0xFF);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  bytes += "BM";
  put32(14 + 40 + imageSize);
  put32(0);
  put32(14 + 40);
  put32(40);
  put32(static_cast<std::uint32_t>(width));
  put32(static_cast<std::uint32_t>(height));
  put16(1);
  put16(24);
  put32(0);
  put32(imageSize);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  for (int y = height - 1; y >= 0; --y) {  // bottom-up
    int written = 0;
    for (int x = 0; x < width; ++x) {
      std::uint32_t c = pixel(x, y);
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>((c >> 8) & 0xFF);
      bytes += static_cast<char>((c >> 16) & 0xFF);
      written += 3;
    }
    for (; written < rowBytes; ++written) bytes += '\0';
  }
  return bytes;
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
