#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/DesktopWindows.h"

namespace mf {

// Read-only access to a picture's 32-bit pixels, row after row, so the
// shape can be worked out without a display.
struct PixelView {
  int width = 0;
  int height = 0;
  const std::uint32_t* pixels = nullptr;
  std::ptrdiff_t stride = 0;  // pixels from one row to the next

  std::uint32_t At(int x, int y) const { return pixels[y * stride + x]; }
};

// The shape of a character picture: every horizontal run of pixels whose
// colour differs from `transparent` becomes one rectangle one pixel high,
// shifted by (offsetX, offsetY) into window coordinates. Row 0 and column 0
// never belong to the shape: characters have always been drawn with that
// margin, and pictures made for it carry stray pixels there.
std::vector<platform::Rect> BuildRegionRects(const PixelView& picture, std::uint32_t transparent,
                                             int offsetX = 0, int offsetY = 0);

// A picture enlarged (or shrunk) to `size` x `size` pixels with square
// pixels and no blending: pixel d of the result shows pixel
// floor(d * width / size) of the picture, so a character keeps its crisp
// pixel art at any scale.
std::vector<std::uint32_t> ScalePicture(const PixelView& picture, int size);

// Shape rectangles of the picture (BuildRegionRects without offsets) in the
// pixels of the same picture scaled by ScalePicture: each covers exactly the
// scaled pixels that show the pixels it covered.
std::vector<platform::Rect> ScaleRects(const std::vector<platform::Rect>& rects, int pictureWidth,
                                       int pictureHeight, int size);

// The pixel area the rectangles cover (they never overlap).
long long RegionArea(const std::vector<platform::Rect>& rects);

}  // namespace mf
