#pragma once

#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/Files.h"

namespace mf::testing {

// A character folder pair in a temporary program folder.
class CharacterFolder {
 public:
  CharacterFolder() : folder_(program_.Path() + "char1") {
    platform::CreateFolder(folder_);
    platform::CreateFolder(folder_ + "r");
  }

  const std::string& Path() const { return folder_; }

  // scene.txt with the four header lines (modesty as given) and the scenes.
  void WriteScenes(const std::vector<std::string>& scenes, const std::string& modesty = "2") {
    std::vector<std::string> lines = {"<id@test>", "name", modesty, "4"};
    lines.insert(lines.end(), scenes.begin(), scenes.end());
    WriteLines(lines);
  }
  void WriteLines(const std::vector<std::string>& lines) {
    platform::WriteFileAtomic(folder_ + "/scene.txt", JoinLines(lines));
  }

  // Both pictures of a key; `readable` false writes a file that is no bitmap.
  void AddPicture(const std::string& key, bool readable = true) {
    AddPictureIn(false, key, readable);
    AddPictureIn(true, key, readable);
  }
  void AddPictureIn(bool mirrored, const std::string& key, bool readable = true) {
    std::string bytes = readable ? "BM" + std::string(52, '\0') : std::string("not a bitmap");
    platform::WriteFileAtomic(
        mirrored ? folder_ + "r/image" + key + "r.bmp" : folder_ + "/image" + key + ".bmp", bytes);
  }

 private:
  platform::TemporaryFolder program_;
  std::string folder_;
};

}  // namespace mf::testing
