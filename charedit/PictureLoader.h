#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "character/Bitmap.h"

namespace mf {

enum class PictureFormat { WindowsBitmap, Jpeg };

// JPEG for the extensions "jpeg" and "jpg" in any case, a Windows bitmap
// for every other name.
PictureFormat PictureFormatOf(const std::string& path);

// The top-left corner, at most `mostWidth` x `mostHeight` pixels, of a
// picture file's bytes; nothing when they are not a picture of that format.
std::optional<Bitmap> DecodePictureCorner(std::string_view bytes, PictureFormat format, int mostWidth,
                                          int mostHeight);

// The same for a file, its format chosen by its name.
std::optional<Bitmap> LoadPictureCorner(const std::string& path, int mostWidth, int mostHeight);

}  // namespace mf
