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

// The pixel area the rectangles cover (they never overlap).
long long RegionArea(const std::vector<platform::Rect>& rects);

}  // namespace mf
