#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "charedit/PictureHost.h"
#include "platform/Files.h"

namespace mf::testing {

// The editor's side of the picture windows: a character folder pair in a
// temporary folder, its picture count and the frames added.
class FakePictureHost final : public PictureHost {
 public:
  FakePictureHost() {
    platform::CreateFolder(CharDir());
    platform::CreateFolder(MirrorDir());
  }

  std::string CharDir() const override { return folder.Path() + "char1"; }
  std::string MirrorDir() const override { return folder.Path() + "char1r"; }
  int PictureCount() const override { return count; }
  void SetPictureCount(int value) override { count = value; }
  void AddFrame(int pictureNumber, const std::string& caption) override {
    frames.emplace_back(pictureNumber, caption);
  }
  void RefreshPictureList() override {
    ++refreshes;
    if (onRefresh) onRefresh();
  }

  platform::TemporaryFolder folder;
  int count = 0;
  std::vector<std::pair<int, std::string>> frames;
  int refreshes = 0;
  // What the editor's add-picture command does to the import window.
  std::function<void()> onRefresh;
};

}  // namespace mf::testing
