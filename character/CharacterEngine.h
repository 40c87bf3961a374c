#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Random.h"
#include "character/SceneScript.h"

namespace mf {

class WindowEdgeSearch;

// The character window's picture list (one picture per loadable frame, in
// frame order). The window keeps the decoded pictures; the engine only
// learns which files could be read.
class PictureList {
 public:
  virtual ~PictureList() = default;
  virtual void Clear() = 0;
  // Reads the picture at `path` and appends it; false, appending nothing,
  // when the file cannot be read as a bitmap.
  virtual bool Append(const std::string& path) = 0;
};

// A picture list that only checks that each file looks like a Windows
// bitmap; for tools, tests and windows that load pictures by path.
class BitmapFileCheck final : public PictureList {
 public:
  void Clear() override {}
  bool Append(const std::string& path) override;
};

// One entry of the engine's picture list.
struct PictureRef {
  std::string key;
  std::string path;
  bool mirrored = false;
};

struct TickResult {
  // False when the tick only counted towards the scene's speed: nothing moved.
  bool advanced = false;
  // The character left the screen and was placed for re-entry: the window
  // applies Topmost() (without moving or sizing), shows itself and reshapes.
  bool reentered = false;
};

// The animation engine of one desktop character: reads the folder's scene
// script, picks scenes by weight, steps their frames and moves the window
// over the desktop. The window calls Tick() every 200 ms while its timer
// runs, then moves itself to (Left(), Top()) and shows ShownPicture().
class CharacterEngine {
 public:
  static constexpr int kWindowSize = 46;
  static constexpr int kOffScreen = -4000;

  // `edges` is shared by every character; it also knows the monitors. The
  // engine works in the X server's pixels: on a monitor of scale 2 the
  // window, its steps and its falls are twice as large.
  CharacterEngine(WindowEdgeSearch& edges, PictureList& pictures, RandomGenerator& random);

  // The character's main folder, without trailing separator.
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  const std::string& Folder() const { return folder_; }

  // Reads scene.txt and starts the character; true when it has a weighted
  // scene of place Free (else it cannot go out).
  bool LoadScenes();

  // The 200 ms step.
  TickResult Tick();

  // Window position and size.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The window was moved from outside (dragged, parked for a mail, restored).
  void MoveTo(int left, int top) {
    left_ = left;
    top_ = top;
  }
  // The scale of the monitor the character is on (see MonitorLayout); its
  // size follows it.
  double Scale() const { return scale_; }
  void SetScale(double scale);
  // After the monitors changed or the character was dropped: a character
  // that no monitor shows in full any more (its monitor went away, it hangs
  // into a part no monitor shows) is brought onto the nearest monitor, and
  // takes that monitor's scale.
  void KeepOnMonitors();

  // The picture to show: an index into the picture list, -1 when there is
  // none (keep showing what is shown).
  int ShownPictureIndex() const;
  const PictureRef* ShownPicture() const;

  bool Topmost() const { return topmost_; }
  int Modesty() const { return modesty_; }

  // State, for the window, tools and tests.
  Place Mode() const { return mode_; }
  void SetMode(Place mode) { mode_ = mode; }
  bool Mirrored() const { return mirrored_; }
  void SetMirrored(bool mirrored) { mirrored_ = mirrored; }
  int CurrentSceneIndex() const { return currentScene_; }
  const Scene* CurrentScene() const;
  const std::vector<Scene>& Scenes() const { return scenes_; }
  const std::vector<Frame>& Frames() const { return frames_; }
  const std::vector<PictureRef>& Pictures() const { return pictures_; }
  int Total(Place place) const { return totals_[static_cast<int>(place)]; }
  int FrameIndex() const { return frameIndex_; }
  int PassCounter() const { return passCounter_; }
  int PassLimit() const { return passLimit_; }
  int FallSpeed() const { return fallSpeed_; }
  int TickDivisor() const { return tickDivisor_; }

  // The steps the tick is made of.
  void PickScene();
  void NextScene();
  void BuildFrames(const std::string& list);
  void PlaceOnEntry();

 private:
  void StartCurrentScene();
  void FrameOffsets(int& dx, int& dy) const;
  void PlaceFromSum(std::int64_t left, std::int64_t top);
  bool OffScreen();
  void ReEnter();
  // The window size and step length on a monitor of this scale.
  int Scaled(int value) const;
  // Takes the scale of the monitor under the character's feet, growing or
  // shrinking about them so it neither jumps nor sinks into its floor.
  void FollowMonitorScale();

  WindowEdgeSearch& edges_;
  PictureList& pictureList_;
  RandomGenerator& random_;
  std::string folder_;

  double scale_ = 1.0;
  int width_ = kWindowSize;
  int height_ = kWindowSize;
  int left_ = kOffScreen;
  int top_ = kOffScreen;

  std::vector<Scene> scenes_;
  int totals_[kPlaceCount] = {};
  int currentScene_ = -1;
  Place mode_ = Place::OnWindowTop;
  bool mirrored_ = false;

  std::vector<Frame> frames_;
  std::vector<PictureRef> pictures_;
  int frameIndex_ = 0;
  int lastFrameIndex_ = 7;
  int passCounter_ = 0;
  int passLimit_ = 4;
  int tickCounter_ = 0;
  int tickDivisor_ = 0;
  int fallSpeed_ = 1;
  int modesty_ = kDefaultModesty;
  bool topmost_ = true;
};

}  // namespace mf
