#include "character/Bitmap.h"

namespace mf {

Bitmap::Bitmap(int width, int height, Colour fill) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                 fill & 0xFFFFFFu);
}

Bitmap MirrorLeftRight(const Bitmap& picture) {
  Bitmap mirrored(picture.Width(), picture.Height());
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      mirrored.Set(x, y, picture.At(picture.Width() - 1 - x, y));
    }
  }
  return mirrored;
}

}  // namespace mf
