// Times loading the 46 x 46 corner of a large photo into the picture editor
// against libjpeg decoding the whole photo in the same run, and prints the
// ratio. Only the rows that fit are decoded, so a baseline photo should load
// in a small part of the time of a whole decode; a progressive one has to be
// read whole and is only reported.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "charedit/JpegFile.h"
#include "tests/charedit/TestJpeg.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kSide = 46;
constexpr int kRuns = 5;
constexpr double kMostBaselineRatio = 0.2;

using Clock = std::chrono::steady_clock;

double BestMilliseconds(const std::function<bool()>& work) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    if (!work()) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

// The reference: libjpeg's plain decode of every row to RGB.
bool DecodeWhole(const std::string& file) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.data()), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(info.output_width) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW pointer = row.data();
    jpeg_read_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

int main() {
  bool fast = true;
  for (auto kind : {mf::testing::JpegKind::Colour, mf::testing::JpegKind::Progressive}) {
    const bool baseline = kind == mf::testing::JpegKind::Colour;
    const std::string file = mf::testing::MakeJpeg(kWidth, kHeight, kind);
    const double ours = BestMilliseconds([&] { return mf::DecodeJpegFile(file, kSide, kSide).has_value(); });
    const double whole = BestMilliseconds([&] { return DecodeWhole(file); });
    if (ours < 0) {
      std::printf("the corner of the %s photo did not load\n", baseline ? "baseline" : "progressive");
      return 1;
    }
    const double ratio = ours / whole;
    if (baseline) fast = fast && ratio <= kMostBaselineRatio;
    std::printf("%s %dx%d photo: corner %.2f ms, libjpeg whole decode %.2f ms, ratio %.3f%s\n",
                baseline ? "baseline" : "progressive", kWidth, kHeight, ours, whole, ratio,
                baseline ? (ratio <= kMostBaselineRatio ? " (at most 0.2)" : " (MORE THAN 0.2)") : "");
  }
  std::printf("%s\n", fast ? "PASS" : "SLOWER THAN ALLOWED");
  return 0;
}
