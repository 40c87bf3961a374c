#include "character/CharacterEngine.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "character/WindowEdgeSearch.h"
#include "platform/Files.h"
#include "platform/RandomSeed.h"

namespace mf {
namespace {

// Falling and rising scenes end by landing, not by their repeats.
constexpr int kLandingPassLimit = 100000;
constexpr int kFallAcceleration = 7;
constexpr int kDefaultRise = 7;
// How far from its feet a walking character still finds its footing.
constexpr int kFootingTolerance = 2;
// Where a character that left the screen waits for its next entry.
constexpr int kReEntryTop = -1000;

int ClampToInt(std::int64_t value) {
  if (value < INT_MIN) return INT_MIN;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

// |value| without overflow for the most negative int.
int Magnitude(int value) { return value == INT_MIN ? INT_MAX : std::abs(value); }

}  // namespace

bool BitmapFileCheck::Append(const std::string& path) {
  // A Windows bitmap starts with "BM" and carries at least the file header
  // and the smallest info header.
  constexpr std::size_t kSmallestHeaders = 14 + 12;
  auto head = platform::ReadAt(path, 0, kSmallestHeaders);
  return head && head->size() == kSmallestHeaders && (*head)[0] == 'B' && (*head)[1] == 'M';
}

CharacterEngine::CharacterEngine(WindowEdgeSearch& edges, PictureList& pictures,
                                 RandomGenerator& random)
    : edges_(edges), pictureList_(pictures), random_(random) {}

int CharacterEngine::Scaled(int value) const {
  if (scale_ == 1.0) return value;
  double scaled = std::round(value * scale_);
  if (scaled <= INT_MIN) return INT_MIN;
  if (scaled >= INT_MAX) return INT_MAX;
  return static_cast<int>(scaled);
}

void CharacterEngine::SetScale(double scale) {
  scale_ = scale > 0 ? scale : 1.0;
  width_ = Scaled(kWindowSize);
  height_ = width_;
}

void CharacterEngine::FollowMonitorScale() {
  std::int64_t middle = std::int64_t{left_} + width_ / 2;
  std::int64_t feet = std::int64_t{top_} + height_;
  if (middle < INT_MIN || middle > INT_MAX || feet - 1 < INT_MIN || feet > INT_MAX) return;
  const MonitorLayout& monitors = edges_.Monitors();
  int index = monitors.MonitorAt(static_cast<int>(middle), static_cast<int>(feet - 1));
  if (index < 0 || monitors.Monitors()[index].scale == scale_) return;
  SetScale(monitors.Monitors()[index].scale);
  left_ = ClampToInt(middle - width_ / 2);
  top_ = ClampToInt(feet - height_);
}

void CharacterEngine::KeepOnMonitors() {
  const MonitorLayout& monitors = edges_.Monitors();
  platform::Rect rect{left_, top_, left_ + width_, top_ + height_};
  int index = monitors.NearestMonitor(rect);
  if (index < 0) return;
  bool shownInFull = false;
  for (const auto& m : monitors.Monitors()) {
    shownInFull = shownInFull || (m.area.left <= rect.left && rect.right <= m.area.right &&
                                  m.area.top <= rect.top && rect.bottom <= m.area.bottom);
  }
  if (!shownInFull) {
    SetScale(monitors.Monitors()[index].scale);
    rect = monitors.BringOnto(platform::Rect{left_, top_, left_ + width_, top_ + height_}, index);
    left_ = rect.left;
    top_ = rect.top;
  }
  FollowMonitorScale();
}

const Scene* CharacterEngine::CurrentScene() const {
  if (currentScene_ < 0 || currentScene_ >= static_cast<int>(scenes_.size())) return nullptr;
  return &scenes_[currentScene_];
}

int CharacterEngine::ShownPictureIndex() const {
  if (frameIndex_ < 0 || frameIndex_ >= static_cast<int>(pictures_.size())) return -1;
  return frameIndex_;
}

const PictureRef* CharacterEngine::ShownPicture() const {
  int index = ShownPictureIndex();
  return index < 0 ? nullptr : &pictures_[index];
}

bool CharacterEngine::LoadScenes() {
  modesty_ = kDefaultModesty;
  scenes_.clear();
  for (int& total : totals_) total = 0;
  // A character that cannot go out must not keep showing the pictures of an
  // earlier outing.
  frames_.clear();
  pictures_.clear();
  pictureList_.Clear();
  left_ = kOffScreen;
  top_ = kOffScreen;
  currentScene_ = -1;

  SceneScript script = LoadSceneScript(folder_);
  if (!script.enoughLines) return false;
  modesty_ = script.modesty;
  scenes_ = std::move(script.scenes);
  for (const auto& scene : scenes_) totals_[scene.place] += scene.frequency;

  // Seeded by the character's own folder name where a benchmark fixes the
  // seed, so that each character walks its own way in every run.
  std::string_view name = folder_;
  while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.remove_suffix(1);
  platform::SeedForRun(random_, name.substr(name.find_last_of("/\\") + 1));
  mode_ = RandomBelow(random_, 2) != 0 ? Place::Falling : Place::Free;
  if (Total(Place::Free) > 0) PickScene();
  PlaceOnEntry();
  return Total(Place::Free) > 0;
}

void CharacterEngine::PickScene() {
  if (mode_ != Place::Free && Total(mode_) <= 0) mode_ = Place::Free;
  int sum = Total(mode_);
  if (sum <= 0) {
    currentScene_ = -1;
    return;
  }
  if (mode_ != Place::AtWindowEdge && mode_ != Place::Falling) {
    mirrored_ = RandomBelow(random_, 2) != 0;
  }
  int r = RandomBelow(random_, sum);
  for (std::size_t i = 0; i < scenes_.size(); ++i) {
    if (scenes_[i].place != static_cast<int>(mode_)) continue;
    r -= scenes_[i].frequency;
    if (r < 0) {
      currentScene_ = static_cast<int>(i);
      break;
    }
  }
  StartCurrentScene();
}

void CharacterEngine::StartCurrentScene() {
  frames_.clear();
  const Scene* scene = CurrentScene();
  if (scene) BuildFrames(scene->frames);
  tickCounter_ = 0;
  tickDivisor_ = frames_.empty() ? 0 : frames_[0].speed - 1;
  // Showing picture 0 happens through the window reading ShownPicture().
}

void CharacterEngine::NextScene() {
  passCounter_ = 0;
  const Scene* scene = CurrentScene();
  if (scene && !scene->next.empty()) {
    for (std::size_t i = 0; i < scenes_.size(); ++i) {
      if (scenes_[i].name != scene->next) continue;
      currentScene_ = static_cast<int>(i);
      mode_ = static_cast<Place>(scenes_[i].place);
      StartCurrentScene();
      return;
    }
  }
  PickScene();
}

void CharacterEngine::BuildFrames(const std::string& list) {
  for (Frame frame : ParseFrameList(list)) {
    if (mode_ == Place::Falling || mode_ == Place::Rising) frame.dx = 0;
    if (mode_ == Place::Rising) frame.dy = frame.dy == 0 ? -kDefaultRise : -Magnitude(frame.dy);
    if (mirrored_) frame.dx = frame.dx == INT_MIN ? INT_MAX : -frame.dx;
    frames_.push_back(std::move(frame));
  }

  pictures_.clear();
  pictureList_.Clear();
  for (const auto& frame : frames_) {
    std::string path = PicturePath(folder_, frame.key, mirrored_);
    if (!IsSafePictureKey(frame.key) || !pictureList_.Append(path)) continue;
    pictures_.push_back(PictureRef{frame.key, std::move(path), mirrored_});
  }

  if (mode_ == Place::Falling) fallSpeed_ = 1;
  frameIndex_ = -1;
  passCounter_ = 0;
  lastFrameIndex_ = static_cast<int>(pictures_.size()) - 1;
  const Scene* scene = CurrentScene();
  passLimit_ = scene ? scene->repeat - 1 : 0;
  if (mode_ == Place::Falling || mode_ == Place::Rising) passLimit_ = kLandingPassLimit;
}

void CharacterEngine::PlaceOnEntry() {
  left_ = kOffScreen;
  top_ = kOffScreen;
  frameIndex_ = 0;
  passCounter_ = 0;
  if (frames_.empty()) return;
  int dx = frames_[0].dx;
  int dy = frames_[0].dy;
  const MonitorLayout& monitors = edges_.Monitors();
  if (monitors.Empty()) return;
  const platform::Rect& bounds = monitors.Bounds();
  // A character comes in from the outside: across an outer edge of the
  // desktop, onto a monitor that reaches that edge, never out of a part of
  // the desktop that no monitor shows.
  const bool still = dx == 0 && dy == 0;
  const bool sideways = !still && Magnitude(dx) > Magnitude(dy);
  std::vector<const Monitor*> entries;
  for (const auto& m : monitors.Monitors()) {
    bool reaches = still || (sideways ? (dx > 0 ? m.area.left == bounds.left : m.area.right == bounds.right)
                                      : (dy > 0 ? m.area.top == bounds.top : m.area.bottom == bounds.bottom));
    if (reaches) entries.push_back(&m);
  }
  const Monitor& monitor = *entries[entries.size() > 1 ? RandomBelow(random_, static_cast<int>(entries.size())) : 0];
  SetScale(monitor.scale);
  const platform::Rect& work = monitor.work;
  auto randomLeft = [this, &work] {
    return work.left + RandomBelow(random_, work.Width() * 8 / 10) + work.Width() / 10;
  };
  auto randomTop = [this, &work] {
    return work.top + RandomBelow(random_, work.Height() * 8 / 10) + work.Height() / 10;
  };
  if (still) {
    top_ = randomTop();
    left_ = randomLeft();
  } else if (sideways) {
    top_ = randomTop();
    left_ = dx > 0 ? bounds.left - width_ : bounds.right;
  } else {
    top_ = dy > 0 ? bounds.top - height_ : bounds.bottom;
    left_ = randomLeft();
  }
}

void CharacterEngine::FrameOffsets(int& dx, int& dy) const {
  dx = 0;
  dy = 0;
  if (frameIndex_ < 0 || frameIndex_ >= static_cast<int>(frames_.size())) return;
  dx = Scaled(frames_[frameIndex_].dx);
  dy = Scaled(frames_[frameIndex_].dy);
}

bool CharacterEngine::OffScreen() {
  const MonitorLayout& monitors = edges_.Monitors();
  const platform::Rect& bounds = monitors.Bounds();
  if (left_ < bounds.left - width_ || left_ > bounds.right || top_ < bounds.top - height_ ||
      top_ > bounds.bottom) {
    return true;
  }
  // Inside the desktop, a place no monitor shows counts as outside too.
  return !monitors.Shows(platform::Rect{left_, top_, left_ + width_, top_ + height_});
}

void CharacterEngine::ReEnter() {
  frameIndex_ = 0;
  passCounter_ = 0;
  mode_ = Place::Free;
  top_ = kReEntryTop;
  topmost_ = RandomBelow(random_, 5) < modesty_;
  PickScene();
  mode_ = RandomBelow(random_, 2) != 0 ? Place::Falling : Place::Free;
  if (Total(Place::Free) > 0) PickScene();
  PlaceOnEntry();
}

TickResult CharacterEngine::Tick() {
  TickResult result;
  ++tickCounter_;
  if (tickCounter_ < tickDivisor_) return result;
  tickCounter_ = 0;
  result.advanced = true;

  int dx = 0;
  int dy = 0;
  FrameOffsets(dx, dy);
  int x = left_ + width_ / 2;
  // Offsets come from a hand-written file and may be huge; sums are taken
  // wide and a far-away result simply counts as off the screen.
  switch (mode_) {
    case Place::Free:
    case Place::AtWindowEdge:
      left_ = ClampToInt(std::int64_t{left_} + dx);
      top_ = ClampToInt(std::int64_t{top_} + dy);
      break;
    case Place::OnWindowTop: {
      Floor floor = edges_.FindFloor(x, top_ + height_ - 1);
      std::int64_t nl = std::int64_t{left_} + dx;
      int feet = top_ + height_;
      const int tolerance = Scaled(kFootingTolerance);
      const MonitorLayout& monitors = edges_.Monitors();
      const platform::Rect& bounds = monitors.Bounds();
      const int stepLeft = ClampToInt(nl);
      const bool stepShown =
          monitors.Shows(platform::Rect{stepLeft, top_, ClampToInt(nl + width_), top_ + height_});
      if ((nl < bounds.left || nl + width_ > bounds.right) && stepShown) {
        left_ = stepLeft;
      } else if (floor.y > feet + tolerance || floor.y < feet - tolerance) {
        mode_ = Place::Falling;
        PickScene();
      } else if (nl <= floor.left) {
        left_ = floor.left;
        mirrored_ = false;
        mode_ = Place::AtWindowEdge;
        PickScene();
      } else if (nl + width_ >= floor.right) {
        left_ = floor.right - width_;
        mirrored_ = true;
        mode_ = Place::AtWindowEdge;
        PickScene();
      } else if (!stepShown) {
        // Walking on a window across into a part no monitor shows: a wall.
        mirrored_ = dx > 0;
        mode_ = Place::AtWindowEdge;
        PickScene();
      } else {
        left_ = ClampToInt(nl);
        top_ = ClampToInt(std::int64_t{top_} + dy);
      }
      break;
    }
    case Place::Falling: {
      fallSpeed_ += Scaled(kFallAcceleration);
      int floorY = edges_.FindFloor(x, top_ + height_).y;
      if (std::int64_t{floorY} < std::int64_t{top_} + height_ + fallSpeed_) {
        top_ = floorY - height_;
        mode_ = Place::OnWindowTop;
        NextScene();
      } else {
        top_ += fallSpeed_;
      }
      break;
    }
    case Place::Rising: {
      int ceiling = edges_.FindCeiling(x, top_);
      if (std::int64_t{ceiling} >= std::int64_t{top_} + dy) {
        top_ = ceiling - height_;
        mode_ = Place::OnWindowTop;
        NextScene();
      } else {
        top_ = ClampToInt(std::int64_t{top_} + dy);
      }
      break;
    }
  }

  ++frameIndex_;
  if (frameIndex_ > lastFrameIndex_) {
    frameIndex_ = 0;
    ++passCounter_;
    if (passCounter_ > passLimit_) {
      NextScene();
      frameIndex_ = 0;
    }
  }

  if (OffScreen()) {
    ReEnter();
    result.reentered = true;
  } else {
    FollowMonitorScale();
  }
  return result;
}

}  // namespace mf
