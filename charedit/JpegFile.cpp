#include "charedit/JpegFile.h"

// jpeglib.h needs FILE and size_t declared first.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <csetjmp>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace mf {
namespace {

// A progressive file may keep the whole picture's coefficients in memory and
// may consist of any number of scans: both are bounded so that a small file
// cannot make us allocate or work without end.
constexpr long kMostDecoderMemory = 256L * 1024 * 1024;
constexpr int kMostScans = 256;

// libjpeg ends the program on an error unless the handler leaves the call;
// it jumps back into DecodeJpegFile instead. Everything the jump crosses is
// libjpeg's own C code.
struct Decoder {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf failed;
  std::vector<JSAMPLE> row;
  Bitmap picture;
};

Decoder& DecoderOf(j_common_ptr info) { return *static_cast<Decoder*>(info->client_data); }

[[noreturn]] void Fail(j_common_ptr info) { std::longjmp(DecoderOf(info).failed, 1); }

// Level -1 is a warning about damaged data (a file cut short is padded with
// grey and only warned about): a damaged picture is refused, not shown.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Fail(info);
}

void Silence(j_common_ptr) {}

void OnProgress(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMostScans) Fail(info);
}

}  // namespace

std::optional<Bitmap> DecodeJpegFile(std::string_view bytes, int mostWidth, int mostHeight) {
  if (bytes.empty() || mostWidth <= 0 || mostHeight <= 0) return std::nullopt;
  // On the heap: locals changed between setjmp and longjmp would be
  // indeterminate after the jump.
  auto decoder = std::make_unique<Decoder>();
  jpeg_decompress_struct& info = decoder->info;
  info.client_data = decoder.get();
  info.err = jpeg_std_error(&decoder->errors);
  decoder->errors.error_exit = Fail;
  decoder->errors.emit_message = OnMessage;
  decoder->errors.output_message = Silence;
  decoder->progress.progress_monitor = OnProgress;

  if (setjmp(decoder->failed) != 0) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kMostDecoderMemory;
  info.progress = &decoder->progress;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      // Grey is widened here: not every libjpeg converts grey to RGB.
      info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_RGB:
    case JCS_YCbCr:
      info.out_color_space = JCS_RGB;
      break;
    default:
      jpeg_destroy_decompress(&info);
      return std::nullopt;
  }
  jpeg_start_decompress(&info);
  const int components = info.output_components;
  const int width = static_cast<int>(std::min<JDIMENSION>(info.output_width, static_cast<JDIMENSION>(mostWidth)));
  const int height = static_cast<int>(std::min<JDIMENSION>(info.output_height, static_cast<JDIMENSION>(mostHeight)));
  decoder->row.resize(static_cast<std::size_t>(info.output_width) * static_cast<std::size_t>(components));
  decoder->picture = Bitmap(width, height);
  while (info.output_scanline < static_cast<JDIMENSION>(height)) {
    int y = static_cast<int>(info.output_scanline);
    JSAMPROW row = decoder->row.data();
    if (jpeg_read_scanlines(&info, &row, 1) != 1) Fail(reinterpret_cast<j_common_ptr>(&info));
    for (int x = 0; x < width; ++x) {
      const JSAMPLE* pixel = row + static_cast<std::ptrdiff_t>(x) * components;
      decoder->picture.Set(x, y, components == 1 ? MakeColour(pixel[0], pixel[0], pixel[0])
                                         : MakeColour(pixel[0], pixel[1], pixel[2]));
    }
  }
  // The rows below the corner are left undecoded.
  jpeg_destroy_decompress(&info);
  return std::move(decoder->picture);
}

}  // namespace mf
