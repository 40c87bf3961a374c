#pragma once

#include <QPixmap>
#include <vector>

namespace mf {

// The pictures of the progress windows, drawn here rather than shipped.
inline constexpr int kLetterFrameWidth = 55;
inline constexpr int kLetterFrameHeight = 44;
inline constexpr int kFixedPictureSide = 48;

// A red post box, where sent mail goes.
QPixmap PostBoxPicture();
// A little house, where received mail comes home.
QPixmap HomePicture();
// A winged letter in five wing beats, on a transparent ground.
std::vector<QPixmap> FlyingLetterFrames();

}  // namespace mf
