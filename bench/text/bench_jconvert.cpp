// Shift_JIS <-> JIS on about 20 MB of mail-like Japanese text, against the
// system's iconv (CP932 <-> ISO-2022-JP) in the same process.
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "bench/text/SampleText.h"
#include "text/Jconvert.h"

namespace {

constexpr int kRounds = 5;

std::string Iconv(const char* to, const char* from, const std::string& input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(input.size() * 2 + 64, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

double BestSeconds(const std::function<std::size_t()>& run) {
  double best = 1e9;
  for (int i = 0; i < kRounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    volatile std::size_t sink = run();
    (void)sink;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count());
  }
  return best;
}

void Report(const char* what, std::size_t bytes, double ours, double theirs) {
  const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  std::printf("%-18s ours %7.1f MB/s   iconv %7.1f MB/s   iconv time / our time = %.2f\n", what, mb / ours,
              mb / theirs, theirs / ours);
}

}  // namespace

int main() {
  const std::string sjis = mf::bench::MakeSampleText();
  const std::string ourJis = mf::ConvertJapaneseCode(sjis, mf::jcJis);
  const std::string theirJis = Iconv("ISO-2022-JP", "CP932", sjis);
  if (theirJis.empty()) {
    std::fprintf(stderr, "iconv could not convert the sample text\n");
    return 1;
  }
  // Both sides must read each other's output the same way.
  if (mf::ConvertJapaneseCode(theirJis, mf::jcSjis) != sjis || Iconv("CP932", "ISO-2022-JP", ourJis) != sjis) {
    std::fprintf(stderr, "conversions disagree\n");
    return 1;
  }
  std::printf("sample: %zu bytes of Shift_JIS, %zu bytes of JIS\n", sjis.size(), ourJis.size());

  double ours = BestSeconds([&] { return mf::ConvertJapaneseCode(sjis, mf::jcJis).size(); });
  double theirs = BestSeconds([&] { return Iconv("ISO-2022-JP", "CP932", sjis).size(); });
  Report("Shift_JIS -> JIS", sjis.size(), ours, theirs);

  ours = BestSeconds([&] { return mf::ConvertJapaneseCode(theirJis, mf::jcSjis).size(); });
  theirs = BestSeconds([&] { return Iconv("CP932", "ISO-2022-JP", theirJis).size(); });
  Report("JIS -> Shift_JIS", theirJis.size(), ours, theirs);
  return 0;
}
