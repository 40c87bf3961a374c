#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "character/Bitmap.h"

namespace mf {

// Pictures larger than this are refused, so a few hostile header bytes cannot
// make us allocate gigabytes.
inline constexpr int kMostBitmapSide = 32767;
inline constexpr long long kMostBitmapPixels = 1LL << 25;

// Reads a Windows bitmap file: 1, 4, 8, 16, 24 and 32 bits per pixel,
// uncompressed, with bit fields or run-length coded (8 and 4 bits), stored
// bottom-up or top-down, with the old and the newer header forms.
// Nothing when the bytes are not such a file or the pixels run past its end.
std::optional<Bitmap> DecodeBitmapFile(std::string_view bytes);

// A 24-bit uncompressed bottom-up file: every colour survives exactly.
std::string EncodeBitmapFile(const Bitmap& picture);

std::optional<Bitmap> LoadBitmapFile(const std::string& path);
// Replaces the file whole: a failed save leaves the old file.
bool SaveBitmapFile(const std::string& path, const Bitmap& picture);

}  // namespace mf
