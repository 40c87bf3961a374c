// The cost of one animation tick of a walking character: the window-edge
// search over 30 windows, the engine step and the shape of a 46 x 46
// picture, against a plain copy of the window list as the reference.
// With DISPLAY set, the search also runs over the real X server with 30
// windows of its own.

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "base/Text.h"
#include "character/CharacterEngine.h"
#include "character/CharacterShape.h"
#include "character/WindowEdgeSearch.h"
#include "platform/Files.h"
#include "platform/x11/X11DesktopWindows.h"

namespace {

using mf::platform::DesktopWindow;
using mf::platform::Rect;

constexpr int kWindows = 30;

mf::platform::FakeDesktopWindows& Desktop() {
  static mf::platform::FakeDesktopWindows desktop = [] {
    mf::platform::FakeDesktopWindows fake;
    // The floor window in front, overlapping windows spread behind it.
    fake.windows.push_back(DesktopWindow{99, Rect{0, 700, 1024, 760}});
    for (int i = 0; i < kWindows - 1; ++i) {
      int left = (i * 97) % 800;
      int top = 50 + (i * 53) % 600;
      fake.windows.push_back(DesktopWindow{std::uint64_t(i + 1), Rect{left, top, left + 300, top + 200}});
    }
    return fake;
  }();
  return desktop;
}

void CopyWindowList(benchmark::State& state) {
  auto& desktop = Desktop();
  std::vector<DesktopWindow> copy;
  copy.reserve(100);
  for (auto _ : state) {
    copy.assign(desktop.windows.begin(), desktop.windows.end());
    benchmark::DoNotOptimize(copy.data());
  }
}

void FindFloor(benchmark::State& state) {
  mf::WindowEdgeSearch search(Desktop());
  for (auto _ : state) benchmark::DoNotOptimize(search.FindFloor(523, 653));
}

// A character walking on the floor window, put back before it reaches the end.
struct Walker {
  Walker() {
    std::string folder = program.Path() + "char1";
    mf::platform::CreateFolder(folder);
    mf::platform::CreateFolder(folder + "r");
    for (const char* key : {"1", "2"}) {
      std::string bitmap = "BM" + std::string(52, '\0');
      mf::platform::WriteFileAtomic(folder + "/image" + key + ".bmp", bitmap);
      mf::platform::WriteFileAtomic(folder + "r/image" + key + "r.bmp", bitmap);
    }
    mf::platform::WriteFileAtomic(
        folder + "/scene.txt",
        mf::JoinLines({"<id>", "walker", "2", "2", "idle\\1\\4\\1\\\\1\\1:0:0\\",
                       "walk\\1000\\0\\1\\\\1\\1:4:0\\2\\1:4:0\\"}));
    engine.SetFolder(folder);
    engine.LoadScenes();
    engine.SetMode(mf::Place::OnWindowTop);
    engine.PickScene();
    engine.PlaceOnEntry();
  }
  void Step() {
    if (engine.Left() < 100 || engine.Left() > 900 || engine.Mode() != mf::Place::OnWindowTop) {
      engine.SetMode(mf::Place::OnWindowTop);
      engine.MoveTo(500, 700 - mf::CharacterEngine::kWindowSize);
    }
    benchmark::DoNotOptimize(engine.Tick());
    if (engine.Mode() != mf::Place::OnWindowTop) ++stumbles;
  }

  // Ticks that left the floor: should stay 0, or the figure is not a walk.
  long stumbles = 0;
  mf::platform::TemporaryFolder program;
  mf::WindowEdgeSearch search{Desktop()};
  mf::BitmapFileCheck pictures;
  mf::MersenneRandom random{1};
  mf::CharacterEngine engine{search, pictures, random};
};

void EngineTick(benchmark::State& state) {
  Walker walker;
  for (auto _ : state) walker.Step();
  state.counters["stumbles"] = walker.stumbles;
}

void EngineTickWithShape(benchmark::State& state) {
  Walker walker;
  // A round character on a plain background, as the pictures are drawn.
  std::vector<std::uint32_t> pixels(46 * 46, 0xFFFFFF);
  for (int y = 0; y < 46; ++y) {
    for (int x = 0; x < 46; ++x) {
      if ((x - 23) * (x - 23) + (y - 23) * (y - 23) < 400) pixels[y * 46 + x] = 0x804020 + x;
    }
  }
  mf::PixelView view{46, 46, pixels.data(), 46};
  for (auto _ : state) {
    walker.Step();
    benchmark::DoNotOptimize(mf::BuildRegionRects(view, view.At(0, 0)));
  }
}

void X11FindFloor(benchmark::State& state) {
  // No reuse of the last list: this measures a full read from the server.
  mf::platform::X11DesktopWindows desktop(std::string(), std::chrono::milliseconds(0));
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (!desktop.Connected() || xcb_connection_has_error(connection)) {
    state.SkipWithError("no X display");
    xcb_disconnect(connection);
    return;
  }
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  for (int i = 0; i < kWindows; ++i) {
    xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, (i * 97) % 800,
                      50 + (i * 53) % 600, 300, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(connection, window);
  }
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  mf::WindowEdgeSearch search(desktop);
  for (auto _ : state) benchmark::DoNotOptimize(search.FindFloor(523, 653));
  xcb_disconnect(connection);
}

// Prints each figure against the plain copy of the window list.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto reference = times_.find("CopyWindowList");
    if (reference == times_.end() || reference->second <= 0) return;
    std::printf("\nper tick, against a plain copy of the %d-window list (%.1f ns):\n", kWindows,
                reference->second);
    for (const auto& [name, time] : times_) {
      std::printf("  %-22s %10.1f ns  %6.1fx\n", name.c_str(), time, time / reference->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

BENCHMARK(CopyWindowList);
BENCHMARK(FindFloor);
BENCHMARK(EngineTick);
BENCHMARK(EngineTickWithShape);
BENCHMARK(X11FindFloor);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
