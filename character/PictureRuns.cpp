#include "character/PictureRuns.h"

#include "character/BitmapFile.h"

namespace mf {
namespace {

void PutRun(std::string& out, int count, Colour colour) {
  out.push_back(static_cast<char>(count));
  out.push_back(static_cast<char>(RedOf(colour)));
  out.push_back(static_cast<char>(GreenOf(colour)));
  out.push_back(static_cast<char>(BlueOf(colour)));
}

// Walks the runs the way the decoder paints them, calling paint(index, count,
// colour) for each run with the first pixel index it covers. False when the
// runs end, whole or truncated, before the last pixel.
template <typename Paint>
bool WalkRuns(std::string_view runs, int width, int height, Paint&& paint) {
  if (width <= 0 || height <= 0) return false;
  const long long total = static_cast<long long>(width) * height;
  long long painted = 0;
  std::size_t at = 0;
  while (painted < total) {
    if (runs.size() - at < kRunSize) return false;
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(runs[at + i]); };
    long long count = byte(0);
    if (count > total - painted) count = total - painted;
    paint(painted, count, MakeColour(byte(1), byte(2), byte(3)));
    painted += count;
    at += kRunSize;
  }
  return true;
}

}  // namespace

std::string EncodePictureRuns(const Bitmap& picture) {
  std::string runs;
  if (picture.Empty()) return runs;
  const auto& pixels = picture.Pixels();
  Colour colour = pixels[0];
  int count = 1;
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    if (pixels[i] == colour) {
      if (count == kMostRunCount) {
        PutRun(runs, count, colour);
        count = 0;
      }
      ++count;
    } else {
      PutRun(runs, count, colour);
      colour = pixels[i];
      count = 1;
    }
    if (i + 1 == pixels.size()) PutRun(runs, count, colour);
  }
  return runs;
}

std::string EncodePicture(const std::string& bitmapPath, int width, int height) {
  auto picture = LoadBitmapFile(bitmapPath);
  if (!picture || picture->Width() != width || picture->Height() != height) return {};
  return EncodePictureRuns(*picture);
}

bool RunsCoverPicture(std::string_view runs, int width, int height) {
  return WalkRuns(runs, width, height, [](long long, long long, Colour) {});
}

std::optional<Bitmap> DecodePictureRuns(std::string_view runs, int width, int height) {
  if (!RunsCoverPicture(runs, width, height)) return std::nullopt;
  Bitmap picture(width, height);
  WalkRuns(runs, width, height, [&](long long first, long long count, Colour colour) {
    for (long long i = first; i < first + count; ++i) {
      picture.Set(static_cast<int>(i % width), static_cast<int>(i / width), colour);
    }
  });
  return picture;
}

bool DecodePicture(std::string_view runs, int width, int height, const std::string& outputPath) {
  auto picture = DecodePictureRuns(runs, width, height);
  return picture && SaveBitmapFile(outputPath, *picture);
}

}  // namespace mf
