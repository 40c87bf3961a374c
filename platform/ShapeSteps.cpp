#include "platform/ShapeSteps.h"

#include <algorithm>
#include <cstdlib>

namespace mf::platform {
namespace {

// A step still taking rows, with the ends of its first row.
struct OpenStep {
  Rect rect;
  int firstLeft;
  int firstRight;
};

bool Continues(const OpenStep& step, const Rect& row, int tolerance) {
  return step.rect.bottom == row.top && std::abs(row.left - step.firstLeft) <= tolerance &&
         std::abs(row.right - step.firstRight) <= tolerance;
}

}  // namespace

std::vector<Rect> ShapeSteps(std::vector<Rect> shape, int tolerance) {
  std::erase_if(shape, [](const Rect& r) { return r.Width() <= 0 || r.Height() <= 0; });
  std::sort(shape.begin(), shape.end(),
            [](const Rect& a, const Rect& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
  std::vector<Rect> steps;
  std::vector<OpenStep> open;
  std::vector<OpenStep> next;
  for (std::size_t begin = 0; begin < shape.size();) {
    // One band: the rectangles that start at the same row.
    std::size_t end = begin;
    while (end < shape.size() && shape[end].top == shape[begin].top) ++end;
    next.clear();
    for (std::size_t i = begin; i < end; ++i) {
      const Rect& row = shape[i];
      auto step = std::find_if(open.begin(), open.end(), [&](const OpenStep& s) { return Continues(s, row, tolerance); });
      if (step == open.end()) {
        next.push_back(OpenStep{row, row.left, row.right});
        continue;
      }
      OpenStep grown = *step;
      open.erase(step);
      grown.rect.left = std::max(grown.rect.left, row.left);
      grown.rect.right = std::min(grown.rect.right, row.right);
      grown.rect.bottom = row.bottom;
      next.push_back(grown);
    }
    // Steps the band did not continue are complete.
    for (const OpenStep& done : open) steps.push_back(done.rect);
    open.swap(next);
    begin = end;
  }
  for (const OpenStep& done : open) steps.push_back(done.rect);
  return steps;
}

}  // namespace mf::platform
