#include "character/CharacterShape.h"

namespace mf {

std::vector<platform::Rect> BuildRegionRects(const PixelView& picture, std::uint32_t transparent,
                                             int offsetX, int offsetY) {
  std::vector<platform::Rect> rects;
  const int width = picture.width;
  const int height = picture.height;
  if (width <= 0 || height <= 0 || picture.pixels == nullptr) return rects;

  for (int y = 1; y < height; ++y) {
    // A position outside the picture never counts as transparent, which
    // closes a run that reaches the right edge.
    auto isTransparent = [&](int x) { return x < width && picture.At(x, y) == transparent; };
    int start = 1;
    for (int x = 1; x <= width; ++x) {
      bool before = isTransparent(x - 1);
      bool here = isTransparent(x);
      if ((before || x == 1) && !here) {
        start = x;
        continue;
      }
      if (!before && (here || x == width) && x != 1) {
        rects.push_back(platform::Rect{start + offsetX, y + offsetY, x + offsetX, y + 1 + offsetY});
      }
    }
  }
  return rects;
}

long long RegionArea(const std::vector<platform::Rect>& rects) {
  long long area = 0;
  for (const auto& rect : rects) area += static_cast<long long>(rect.Width()) * rect.Height();
  return area;
}

}  // namespace mf
