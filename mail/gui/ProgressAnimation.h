#pragma once

namespace mf {

// The moving picture of a progress window: five frames run forth and back
// (1, 2, 3, 4, 3, 2, 1, 0, 1, ...) while the picture crosses the window ten
// pixels a tick and starts over at its end. Sending carries it away from the
// fixed picture, receiving brings it towards it.
class ProgressAnimation {
 public:
  static constexpr int kFrames = 5;
  static constexpr int kStride = 10;  // pixels per tick

  enum class Direction { AwayFromPicture, TowardsPicture };

  // `fixedRight` is the right edge of the fixed picture (its left plus its
  // width), `clientWidth` the window's, `width` the moving picture's.
  ProgressAnimation(Direction direction, int fixedRight, int clientWidth, int width);

  void Start();
  void Tick();

  int Frame() const { return frame_; }
  int Left() const { return left_; }

 private:
  int StartLeft() const;

  Direction direction_;
  int fixedRight_;
  int clientWidth_;
  int width_;
  int frame_ = 0;
  int step_ = 1;
  int left_ = 0;
};

}  // namespace mf
