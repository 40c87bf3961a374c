#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "character/Bitmap.h"

namespace mf {

// The run-length code of a package picture: runs of four bytes (count 1..255,
// red, green, blue) covering the pixels row by row from the top left.
inline constexpr int kMostRunCount = 255;
inline constexpr std::size_t kRunSize = 4;

// The runs of a picture. A single-pixel picture yields none (the first pixel
// is only emitted when a further one is visited), and so does an empty one.
std::string EncodePictureRuns(const Bitmap& picture);

// The runs of a bitmap file that must be exactly width x height; empty when
// it cannot be loaded or has another size.
std::string EncodePicture(const std::string& bitmapPath, int width, int height);

// True when the runs paint every pixel of a width x height picture before
// they end, and every run they need is whole. Runs after the last pixel are
// ignored. Allocates nothing, so a package can be checked before any picture
// is decoded.
bool RunsCoverPicture(std::string_view runs, int width, int height);

// The picture the runs paint, or nothing when RunsCoverPicture says no.
std::optional<Bitmap> DecodePictureRuns(std::string_view runs, int width, int height);

// Decodes and saves a 24-bit bitmap file; nothing is written on failure.
bool DecodePicture(std::string_view runs, int width, int height, const std::string& outputPath);

}  // namespace mf
