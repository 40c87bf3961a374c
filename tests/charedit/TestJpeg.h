#pragma once

// JPEG files made with libjpeg's own compressor, for the picture loading tests.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "character/Bitmap.h"

namespace mf::testing {

// A picture of four flat quarters, which JPEG keeps close to their colours
// away from the edges between them.
inline constexpr Colour kQuarters[4] = {MakeColour(200, 30, 30), MakeColour(30, 200, 30), MakeColour(30, 30, 200),
                                 MakeColour(240, 240, 20)};

inline Colour QuarterColour(int x, int y, int width, int height) {
  return kQuarters[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
}

enum class JpegKind { Colour, Grey, Cmyk, Progressive };

// A JPEG file made with libjpeg's own compressor.
inline std::string MakeJpeg(int width, int height, JpegKind kind) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = kind == JpegKind::Grey ? 1 : kind == JpegKind::Cmyk ? 4 : 3;
  info.in_color_space = kind == JpegKind::Grey ? JCS_GRAYSCALE : kind == JpegKind::Cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (kind == JpegKind::Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width * info.input_components));
  while (info.next_scanline < info.image_height) {
    int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      Colour c = QuarterColour(x, y, width, height);
      JSAMPLE* p = &row[static_cast<std::size_t>(x * info.input_components)];
      if (kind == JpegKind::Grey) {
        p[0] = GreenOf(c);
      } else {
        p[0] = RedOf(c);
        p[1] = GreenOf(c);
        p[2] = BlueOf(c);
        if (kind == JpegKind::Cmyk) p[3] = 0;
      }
    }
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&info, &rowPointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

}  // namespace mf::testing
