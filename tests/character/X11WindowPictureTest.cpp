#include "platform/x11/X11WindowPicture.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace mf::platform {
namespace {

// Events carry the low 16 bits of the last request the server had done; the
// program's own request numbers run on past 65535.
TEST(X11WindowPictureTest, AnExposeIsCoveredOnlyByADrawingRequestAfterIt) {
  struct Case {
    std::uint16_t event;
    std::uint32_t draw;
    bool covered;
  } cases[] = {
      {100, 101, true},          // drawn right after
      {100, 100, false},         // the drawing itself was the last request done
      {101, 100, false},         // shown anew after the drawing
      {0xFFFF, 0x10001, true},   // the numbers wrapped between the two
      {0x0001, 0x1FFFF, false},  // the event is newer, across the wrap
      {1000, 1000 + 0x7FFF, true},
      {1000, 1000 + 0x8000, false},  // half the circle away: taken as older
  };
  for (const auto& c : cases) {
    EXPECT_EQ(X11WindowPicture::DrawnAfter(c.event, c.draw), c.covered) << c.event << " / " << c.draw;
  }
}

}  // namespace
}  // namespace mf::platform
