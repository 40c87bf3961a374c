// The wire lines of a 4 MB mail text whose paragraphs are long lines (every
// one split into several wire lines) against iconv converting the same text
// to ISO-2022-JP in one call, which neither splits nor balances escapes.
// The best of five runs of each, taken in turn; exits 1 when ours takes more
// than five times as long (time it in a release build: the sanitizers of a
// test build slow it several times over).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "bench/text/SampleText.h"
#include "mail/send/WireLines.h"
#include "text/Jconvert.h"

namespace {

constexpr int kRounds = 5;
constexpr std::size_t kTextBytes = 4 * 1024 * 1024;
// Sample lines joined into paragraphs of this many, about 1.4 KB each.
constexpr std::size_t kLinesPerParagraph = 20;
constexpr double kWorstAcceptedRatio = 5.0;

template <typename F>
double Seconds(F&& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count();
}

}  // namespace

int main() {
  const std::vector<std::string> lines = mf::SplitLines(mf::bench::MakeSampleText(kTextBytes));
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if ((i + 1) % kLinesPerParagraph == 0) text += "\r\n";
  }

  double ours = 1e9, theirs = 1e9;
  std::size_t wireCount = 0, iconvBytes = 0;
  for (int round = 0; round < kRounds; ++round) {
    ours = std::min(ours, Seconds([&] { wireCount = mf::BodyWireLines(text).size(); }));
    theirs = std::min(theirs, Seconds([&] {
      iconvBytes = mf::ConvertCharset(text, "ISO-2022-JP", "CP932", "").value_or("").size();
    }));
  }
  // How much of our time is the conversion itself, the rest being the split.
  double convertOnly = 1e9;
  std::size_t convertedBytes = 0;
  for (int round = 0; round < kRounds; ++round) {
    convertOnly = std::min(convertOnly, Seconds([&] {
      convertedBytes = 0;
      for (const std::string& line : mf::SplitLines(text)) convertedBytes += mf::ProgramTextToJis(line).size();
    }));
  }
  const double ratio = ours / theirs;
  std::printf("%zu bytes, %zu wire lines (%zu bytes from iconv)\n", text.size(), wireCount, iconvBytes);
  std::printf("BodyWireLines %6.3f s (converting alone %.3f s, %zu bytes)   iconv %6.3f s   ours / iconv = %.2f\n",
              ours, convertOnly, convertedBytes, theirs, ratio);
  if (iconvBytes == 0 || ratio > kWorstAcceptedRatio) {
    std::printf("slower than %.0f times iconv, or iconv failed\n", kWorstAcceptedRatio);
    return 1;
  }
  return 0;
}
