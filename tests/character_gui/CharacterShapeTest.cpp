#include "character/CharacterShape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "character/CharacterHost.h"

namespace mf {
namespace {

using platform::Rect;

// A picture drawn as text: '.' is the background colour, any other letter
// a colour of its own.
struct Picture {
  explicit Picture(std::vector<std::string> rows) : rows_(std::move(rows)) {
    for (const auto& row : rows_) {
      for (char c : row) pixels_.push_back(c == '.' ? 0xFF00FFu : 0x100u + static_cast<unsigned char>(c));
    }
  }
  PixelView View() const {
    return PixelView{static_cast<int>(rows_[0].size()), static_cast<int>(rows_.size()),
                     pixels_.data(), static_cast<std::ptrdiff_t>(rows_[0].size())};
  }
  std::vector<Rect> Shape(int dx = 0, int dy = 0) const {
    return BuildRegionRects(View(), pixels_[0], dx, dy);
  }

  std::vector<std::string> rows_;
  std::vector<std::uint32_t> pixels_;
};

TEST(CharacterShape, BackgroundColourInsideTheCharacterLeavesHoles) {
  Picture picture({
      ".....",
      ".XXX.",
      ".X.X.",
      ".XXX.",
  });
  EXPECT_EQ(picture.Shape(), (std::vector<Rect>{
                                 {1, 1, 4, 2},
                                 {1, 2, 2, 3},
                                 {3, 2, 4, 3},
                                 {1, 3, 4, 4},
                             }));
}

TEST(CharacterShape, TopRowAndLeftColumnNeverBelongToTheShape) {
  // The transparent colour comes from pixel (0, 0), which here is opaque
  // looking: every 'A' is "transparent", every 'B' is not.
  Picture picture({
      "ABBB",
      "BBBA",
      "BAAB",
  });
  EXPECT_EQ(picture.Shape(), (std::vector<Rect>{
                                 {1, 1, 3, 2},
                                 {3, 2, 4, 3},
                             }));
  // A wholly opaque picture: everything but row 0 and column 0.
  Picture solid({"A..", "...", "..."});
  EXPECT_EQ(solid.Shape(), (std::vector<Rect>{{1, 1, 3, 2}, {1, 2, 3, 3}}));
  EXPECT_EQ(RegionArea(solid.Shape()), 4);
}

TEST(CharacterShape, RunsEndAtTheRightEdgeAndShiftIntoTheWindow) {
  Picture picture({
      "....",
      "..XX",
      ".X.X",
  });
  EXPECT_EQ(picture.Shape(10, 20), (std::vector<Rect>{
                                       {12, 21, 14, 22},
                                       {11, 22, 12, 23},
                                       {13, 22, 14, 23},
                                   }));
}

TEST(CharacterShape, DegeneratePicturesHaveNoShape) {
  EXPECT_TRUE(BuildRegionRects(PixelView{}, 0).empty());
  Picture one({"X"});
  EXPECT_TRUE(one.Shape().empty());
  Picture blank({"...", "...", "..."});
  EXPECT_TRUE(blank.Shape().empty());
}

// At any scale the shape covers exactly the scaled pixels that show the
// character: every pixel of the enlarged picture is inside the scaled shape
// when it shows an opaque pixel outside row 0 and column 0, else outside.
TEST(CharacterShape, ScaledShapeFollowsTheScaledPictureExactly) {
  Picture picture({
      "X....",
      ".XXX.",
      ".X.XX",
      "XXXX.",
  });
  const int width = 5;
  const int height = 4;
  for (int size : {4, 5, 7, 8, 10, 12, 13}) {
    SCOPED_TRACE(size);
    std::vector<std::uint32_t> scaled = ScalePicture(picture.View(), size);
    ASSERT_EQ(scaled.size(), static_cast<std::size_t>(size * size));
    std::vector<Rect> shape = ScaleRects(picture.Shape(), width, height, size);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        int sourceX = x * width / size;
        int sourceY = y * height / size;
        EXPECT_EQ(scaled[y * size + x], picture.View().At(sourceX, sourceY));
        bool opaque = scaled[y * size + x] != picture.pixels_[0] && sourceX > 0 && sourceY > 0;
        bool inside = false;
        for (const auto& r : shape) inside = inside || (r.left <= x && x < r.right && r.top <= y && y < r.bottom);
        EXPECT_EQ(inside, opaque) << x << "," << y;
      }
    }
  }
}

TEST(MailPosition, OffScreenCoordinatesMoveToTheCentreEachOnItsOwn) {
  EXPECT_EQ(CorrectMailPosition({100, 200}, 800, 600, 46, 46), (ScreenPoint{100, 200}));
  EXPECT_EQ(CorrectMailPosition({-46, -46}, 800, 600, 46, 46), (ScreenPoint{-46, -46}));
  EXPECT_EQ(CorrectMailPosition({801, 200}, 800, 600, 46, 46), (ScreenPoint{400, 200}));
  EXPECT_EQ(CorrectMailPosition({-47, 601}, 800, 600, 46, 46), (ScreenPoint{400, 300}));
}

}  // namespace
}  // namespace mf
