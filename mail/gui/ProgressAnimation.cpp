#include "mail/gui/ProgressAnimation.h"

namespace mf {
namespace {

// The moving picture keeps this far from the window's right edge.
constexpr int kRightMargin = 10;
// An arriving picture may run this far into the fixed one before it starts over.
constexpr int kArrivalOverlap = 30;

}  // namespace

ProgressAnimation::ProgressAnimation(Direction direction, int fixedRight, int clientWidth, int width)
    : direction_(direction), fixedRight_(fixedRight), clientWidth_(clientWidth), width_(width) {
  Start();
}

int ProgressAnimation::StartLeft() const {
  return direction_ == Direction::AwayFromPicture ? fixedRight_ : clientWidth_ - width_ - kRightMargin;
}

void ProgressAnimation::Start() {
  left_ = StartLeft();
  frame_ = 0;
  step_ = 1;
}

void ProgressAnimation::Tick() {
  frame_ += step_;
  if (frame_ > kFrames - 1) {
    frame_ = kFrames - 2;
    step_ = -1;
  } else if (frame_ < 0) {
    frame_ = 1;
    step_ = 1;
  }
  if (direction_ == Direction::AwayFromPicture) {
    left_ += kStride;
    if (left_ > clientWidth_ - width_ - kRightMargin) left_ = StartLeft();
  } else {
    left_ -= kStride;
    if (left_ < fixedRight_ - kArrivalOverlap) left_ = StartLeft();
  }
}

}  // namespace mf
