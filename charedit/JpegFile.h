#pragma once

#include <optional>
#include <string_view>

#include "character/Bitmap.h"

namespace mf {

// Decodes the top-left corner, at most `mostWidth` x `mostHeight` pixels, of
// a colour (YCbCr or RGB) or grey JPEG picture; rows below the corner are
// never decoded. Nothing for CMYK and other colour spaces, for a file that
// ends early or holds damaged data, and for pictures whose decoding would
// need more memory or scans than a sane picture does.
std::optional<Bitmap> DecodeJpegFile(std::string_view bytes, int mostWidth, int mostHeight);

}  // namespace mf
