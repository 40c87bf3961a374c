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

std::vector<std::uint32_t> ScalePicture(const PixelView& picture, int size) {
  std::vector<std::uint32_t> scaled;
  if (size <= 0 || picture.width <= 0 || picture.height <= 0 || picture.pixels == nullptr) return scaled;
  scaled.resize(static_cast<std::size_t>(size) * size);
  std::vector<int> columns(size);
  for (int d = 0; d < size; ++d) columns[d] = static_cast<int>(static_cast<long long>(d) * picture.width / size);
  for (int y = 0; y < size; ++y) {
    int row = static_cast<int>(static_cast<long long>(y) * picture.height / size);
    std::uint32_t* out = scaled.data() + static_cast<std::size_t>(y) * size;
    for (int x = 0; x < size; ++x) out[x] = picture.At(columns[x], row);
  }
  return scaled;
}

std::vector<platform::Rect> ScaleRects(const std::vector<platform::Rect>& rects, int pictureWidth,
                                       int pictureHeight, int size) {
  // Scaled pixel d shows picture pixel p when p * size / width <= d <
  // (p + 1) * size / width, so an edge at p lands on ceil(p * size / width).
  auto edge = [size](int p, int extent) {
    return static_cast<int>((static_cast<long long>(p) * size + extent - 1) / extent);
  };
  std::vector<platform::Rect> scaled;
  if (pictureWidth <= 0 || pictureHeight <= 0 || size <= 0) return scaled;
  scaled.reserve(rects.size());
  for (const auto& r : rects) {
    platform::Rect s{edge(r.left, pictureWidth), edge(r.top, pictureHeight), edge(r.right, pictureWidth),
                     edge(r.bottom, pictureHeight)};
    if (s.Width() > 0 && s.Height() > 0) scaled.push_back(s);
  }
  return scaled;
}

long long RegionArea(const std::vector<platform::Rect>& rects) {
  long long area = 0;
  for (const auto& rect : rects) area += static_cast<long long>(rect.Width()) * rect.Height();
  return area;
}

}  // namespace mf
