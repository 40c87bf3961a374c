#include "charedit/PictureLoader.h"

#include <algorithm>
#include <cstdint>

#include "base/Text.h"
#include "character/BitmapFile.h"
#include "charedit/JpegFile.h"
#include "platform/Files.h"

namespace mf {
namespace {

// Larger files are not pictures anyone draws a character from; reading
// them whole would only cost memory.
constexpr std::uint64_t kMostPictureFileBytes = 64ULL * 1024 * 1024;

Bitmap Corner(const Bitmap& picture, int mostWidth, int mostHeight) {
  int width = std::min(picture.Width(), mostWidth);
  int height = std::min(picture.Height(), mostHeight);
  if (width == picture.Width() && height == picture.Height()) return picture;
  Bitmap corner(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) corner.Set(x, y, picture.At(x, y));
  }
  return corner;
}

}  // namespace

PictureFormat PictureFormatOf(const std::string& path) {
  std::string name = platform::ExtractFileName(path);
  auto dot = name.rfind('.');
  if (dot == std::string::npos) return PictureFormat::WindowsBitmap;
  std::string extension = LowerAscii(name.substr(dot + 1));
  return extension == "jpeg" || extension == "jpg" ? PictureFormat::Jpeg : PictureFormat::WindowsBitmap;
}

std::optional<Bitmap> DecodePictureCorner(std::string_view bytes, PictureFormat format, int mostWidth,
                                          int mostHeight) {
  if (mostWidth <= 0 || mostHeight <= 0) return std::nullopt;
  if (format == PictureFormat::Jpeg) return DecodeJpegFile(bytes, mostWidth, mostHeight);
  auto picture = DecodeBitmapFile(bytes);
  if (!picture || picture->Empty()) return std::nullopt;
  return Corner(*picture, mostWidth, mostHeight);
}

std::optional<Bitmap> LoadPictureCorner(const std::string& path, int mostWidth, int mostHeight) {
  auto bytes = platform::ReadFileBytes(path, kMostPictureFileBytes);
  if (!bytes) return std::nullopt;
  return DecodePictureCorner(bytes->View(), PictureFormatOf(path), mostWidth, mostHeight);
}

}  // namespace mf
