// A whole run of `mftool jconv` against the `iconv` command on the same
// 20 MB file, both directions (Shift_JIS -> JIS and JIS -> Shift_JIS): each
// program is started with the file on its standard input and a file on its
// standard output; the best of five runs of each is compared. Usage:
// bench_jconv_tool [MFTOOL]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "bench/text/SampleText.h"
#include "platform/Files.h"

extern char** environ;

namespace {

constexpr int kRounds = 5;

// Runs `argv` with `input` as standard input and `output` as standard
// output; the seconds it took, or a negative number when it failed.
double TimedRun(const std::vector<std::string>& argv, const std::string& input, const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  const bool started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
  if (started) ::waitpid(pid, &status, 0);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  return started && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed.count() : -1.0;
}

// The best time of each program, their runs taken in turn so that both see
// the same state of the machine.
bool Compare(const char* what, const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
             const std::string& input, const std::string& folder, double& worstRatio) {
  double bestOurs = 1e9, bestTheirs = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const double a = TimedRun(ours, input, folder + "ours.out");
    const double b = TimedRun(theirs, input, folder + "theirs.out");
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "%s: a run failed (mftool %s, iconv %s)\n", what, a < 0 ? "failed" : "ok", b < 0 ? "failed" : "ok");
      return false;
    }
    bestOurs = std::min(bestOurs, a);
    bestTheirs = std::min(bestTheirs, b);
  }
  const double ratio = bestOurs / bestTheirs;
  worstRatio = std::max(worstRatio, ratio);
  std::printf("%-18s mftool jconv %6.3f s   iconv %6.3f s   mftool time / iconv time = %.2f\n", what, bestOurs,
              bestTheirs, ratio);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mftool = argc > 1 ? argv[1] : MFTOOL_PATH;
  const mf::platform::TemporaryFolder temporary;
  const std::string folder = temporary.Path();
  const std::string sjisFile = folder + "sample.sjis";
  const std::string jisFile = folder + "sample.jis";
  const std::string sjis = mf::bench::MakeSampleText();
  const auto jis = mf::ConvertCharset(sjis, "ISO-2022-JP", "CP932", "");
  int exitCode = 1;
  double worstRatio = 0;
  if (!jis || !mf::platform::WriteFileAtomic(sjisFile, sjis) || !mf::platform::WriteFileAtomic(jisFile, *jis)) {
    std::fprintf(stderr, "cannot write the sample files in %s\n", folder.c_str());
  } else {
    std::printf("sample: %zu bytes of Shift_JIS, %zu bytes of JIS\n", sjis.size(), jis->size());
    bool ran = Compare("Shift_JIS -> JIS", {mftool, "jconv", "--to", "jis"}, {"iconv", "-f", "CP932", "-t", "ISO-2022-JP"},
                       sjisFile, folder, worstRatio);
    // Both outputs must read back as the sample.
    const auto ourJis = mf::platform::ReadFile(folder + "ours.out");
    if (ran && (!ourJis || mf::ConvertCharset(*ourJis, "CP932", "ISO-2022-JP", "") != sjis)) {
      std::fprintf(stderr, "mftool's JIS does not read back as the sample\n");
      ran = false;
    }
    ran = ran && Compare("JIS -> Shift_JIS", {mftool, "jconv", "--to", "sjis"}, {"iconv", "-f", "ISO-2022-JP", "-t", "CP932"},
                         jisFile, folder, worstRatio);
    if (ran && mf::platform::ReadFile(folder + "ours.out") != sjis) {
      std::fprintf(stderr, "mftool's Shift_JIS is not the sample\n");
      ran = false;
    }
    if (ran) {
      std::printf("verdict: mftool jconv %s iconv (worst ratio %.2f)\n",
                  worstRatio <= 1.0 ? "is at least as fast as" : "is slower than", worstRatio);
      exitCode = 0;
    }
  }
  return exitCode;
}
