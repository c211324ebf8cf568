// The editor page: worst-case flood fill, a fill from tap to drawn (with its
// undo mark), saving the page files and loading a page. The page save (wall
// time: its encodes run side by side) is measured next to one default PNG
// encode of the same layer, its yardstick (target: at most 0.3 times), and
// its files' sizes next to those of default encodes of the same pictures
// (target: at most 1.1 times), for two drawings: grainy pencil waves drawn
// fast, and slow soft marker strokes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cmath>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "canvas/DrawsView.h"
#include "canvas/FillToolWalk.h"
#include "canvas/PageFiles.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/RunLoop.h"
#include "support/Sandbox.h"

namespace {

constexpr int kW = 768, kH = 576;

// What is drawn on each layer: the canvas's first brush (grainy pencil) in
// quick waves of one colour, or the soft marker at size 50 in slow waves of
// eight colours.
enum Drawing : int { kPencilWaves, kSoftMarkerWaves };

// A sandbox, a fresh model with one project, and a 2x editor canvas with
// a few strokes on both layers of page 1.
struct PageFixture {
  testing_support::ScopedSandbox sandbox;
  std::shared_ptr<DrawsView> view;

  explicit PageFixture(Drawing drawing = kPencilWaves) {
    ZTDataModel::resetSharedInstanceForTesting();
    model().setPrjDataModel(ProjectDataModel::initWithProjectName("bench"));
    model().extendDataModel().setCurPage(1);
    view = DrawsView::initDrawViewWithScaleFactor(2);
    if (!view) return;
    view->setAutoMark(true);
    for (int layer = 1; layer <= 2; ++layer) {
      view->clear();
      if (drawing == kPencilWaves) {
        setColour(10 * layer);
        for (int i = 0; i < 6; ++i)
          strokeWave(static_cast<float>(30 + 40 * i + 7 * layer), static_cast<float>(layer), 18, 40, 9);
      } else {
        view->setBrushType(2);
        view->setBrushSize(50);
        for (int i = 0; i < 8; ++i) {
          setColour(3 + 7 * i + 5 * layer);
          strokeWave(static_cast<float>(20 + 33 * i + 9 * layer), 0.7f * static_cast<float>(i + layer),
                     static_cast<float>(15 + 3 * i), 120, 3);
        }
      }
      view->writeToFileForLay(layer);
    }
  }
  ~PageFixture() {
    view.reset();
    ZTDataModel::resetSharedInstanceForTesting();
  }
  static ZTDataModel& model() { return ZTDataModel::sharedInstance(); }

  void setColour(int index) {
    model().extendDataModel().setCuColorIndex(index);
    view->setBrushColor(model().extendDataModel().cuColor());
  }

  void strokeWave(float y, float phase, float amplitude, int points, float step) {
    auto at = [&](int i) { return gfx::Point{12.0f + i * step, y + amplitude * std::sin(i * 0.4f + phase)}; };
    gfx::Point last = at(0);
    view->touchesBegan({{last, last, 1}});
    for (int i = 1; i < points; ++i) {
      const gfx::Point p = at(i);
      view->touchesMoved({{p, last, 1}});
      last = p;
    }
    view->touchesEnded({{last, last, 1}});
  }
};

// The walk as it was first written, a pixel stack in depth-first order: the
// yardstick for the span walk on growing pages.
std::size_t pixelStackWalk(const fill::Surface& s, int sx, int sy, std::uint32_t setter, int tolerance,
                           std::vector<std::uint32_t>& stack) {
  const std::size_t w = static_cast<std::size_t>(s.width), total = w * static_cast<std::size_t>(s.height);
  if (stack.size() < total) stack.resize(total);
  std::uint32_t* top = stack.data();
  const std::uint32_t seed = static_cast<std::uint32_t>(static_cast<std::size_t>(sy) * w + sx);
  const fill::PixelTest test(s.input[seed], setter, tolerance);
  std::size_t painted = 0;
  if (s.output[seed] != setter) {
    s.output[seed] = setter;
    ++painted;
  }
  *top++ = seed;
  auto visit = [&](std::uint32_t n) {
    fill::PixelClass c = test.classify(s.input[n], s.output[n]);
    if (c == fill::PixelClass::Filled) return;
    s.output[n] = setter;
    ++painted;
    if (c == fill::PixelClass::Inside) *top++ = n;
  };
  while (top != stack.data()) {
    const std::uint32_t p = *--top;
    const std::uint32_t x = p % static_cast<std::uint32_t>(w);
    if (x >= 1) visit(p - 1);
    if (p >= w) visit(p - static_cast<std::uint32_t>(w));
    if (x < w - 1) visit(p + 1);
    if (p < total - w) visit(p + static_cast<std::uint32_t>(w));
  }
  return painted;
}

template <bool kSpanWalk>
void BM_FillComputeWorstCase(benchmark::State& state) {
  // Every pixel of the page is inside: the largest region a tap can make.
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  std::vector<std::uint32_t> input(static_cast<std::size_t>(w) * h, 0u), output(input.size(), 0u), stack;
  const std::uint32_t colours[2] = {fill::packRGBA(200, 10, 10, 255), fill::packRGBA(10, 10, 200, 255)};
  int turn = 0;
  for (auto _ : state) {
    fill::Surface s{w, h, input.data(), output.data()};
    if constexpr (kSpanWalk) {
      benchmark::DoNotOptimize(fill::walkRegion(s, w / 2, h / 2, colours[turn ^= 1], 10, stack));
    } else {
      benchmark::DoNotOptimize(pixelStackWalk(s, w / 2, h / 2, colours[turn ^= 1], 10, stack));
    }
  }
  state.counters["pixels"] = static_cast<double>(input.size());
}
BENCHMARK(BM_FillComputeWorstCase<true>)
    ->Name("BM_FillComputeWorstCase")
    ->Args({kW, kH})->Args({2 * kW, 2 * kH})->Args({4 * kW, 4 * kH})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillComputeWorstCase<false>)
    ->Name("BM_FillComputeWorstCase_PixelStack")
    ->Args({kW, kH})->Args({2 * kW, 2 * kH})->Args({4 * kW, 4 * kH})
    ->Unit(benchmark::kMillisecond);

void BM_FillComputeNoisyPage(benchmark::State& state) {
  // Faint noise within the tolerance: every pixel is inside, and every test
  // walks the colour comparisons rather than the exact-match shortcut.
  std::vector<std::uint32_t> input(static_cast<std::size_t>(kW) * kH), output(input.size(), 0u), stack;
  for (std::size_t i = 0; i < input.size(); ++i) {
    const auto v = static_cast<std::uint8_t>(120 + (static_cast<std::uint32_t>(i * 2654435761u) >> 29));
    input[i] = fill::packRGBA(v, v, v, 255);
  }
  const std::uint32_t colours[2] = {fill::packRGBA(200, 10, 10, 255), fill::packRGBA(10, 10, 200, 255)};
  int turn = 0;
  std::size_t painted = 0;
  for (auto _ : state) {
    fill::Surface s{kW, kH, input.data(), output.data()};
    painted = fill::walkRegion(s, 0, 0, colours[turn ^= 1], 10, stack);
    benchmark::DoNotOptimize(painted);
  }
  state.counters["pixels"] = static_cast<double>(painted);
}
BENCHMARK(BM_FillComputeNoisyPage)->Unit(benchmark::kMillisecond);

void BM_FillTapToDrawn(benchmark::State& state) {
  PageFixture f;
  if (!f.view) {
    state.SkipWithError("no GL canvas");
    return;
  }
  f.view->clear();
  f.view->setIsFillTool(true);
  int turn = 0;
  for (auto _ : state) {
    // Alternate colours so that every tap fills the whole page again.
    f.model().extendDataModel().setCuColorIndex((turn ^= 1) ? 13 : 27);
    f.view->touchesBegan({{{200, 150}, {200, 150}, 1}});
    f.view->touchesEnded({{{200, 150}, {200, 150}, 1}});
    while (f.view->fillTool()->hasPendingFill()) {
      fd::RunLoop::main().runUntilIdle();
      std::this_thread::yield();
    }
  }
}
BENCHMARK(BM_FillTapToDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayerDefaultPngEncode(benchmark::State& state) {
  PageFixture f(static_cast<Drawing>(state.range(0)));
  if (!f.view) {
    state.SkipWithError("no GL canvas");
    return;
  }
  const gfx::Image layer = *f.view->image();
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto png = gfx::encodePNG(layer);
    bytes = png ? png->size() : 0;
    benchmark::DoNotOptimize(png);
  }
  state.counters["png_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LayerDefaultPngEncode)->Arg(kPencilWaves)->Arg(kSoftMarkerWaves)->Unit(benchmark::kMillisecond);

// The same layer as the page files encode it, and read back.
void BM_LayerPageEncodeAndDecode(benchmark::State& state) {
  PageFixture f(static_cast<Drawing>(state.range(0)));
  if (!f.view) {
    state.SkipWithError("no GL canvas");
    return;
  }
  const gfx::Image layer = *f.view->image();
  using Clock = std::chrono::steady_clock;
  double encode = 0, decode = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    auto png = gfx::encodePNG(layer, PageFiles::kEncoding);
    const auto t1 = Clock::now();
    auto back = gfx::decodePNG(*png);
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(back);
    bytes = png ? png->size() : 0;
    encode += std::chrono::duration<double>(t1 - t0).count();
    decode += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["png_bytes"] = static_cast<double>(bytes);
  state.counters["encode_ms"] = encode * 1000 / static_cast<double>(state.iterations());
  state.counters["decode_ms"] = decode * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LayerPageEncodeAndDecode)
    ->Arg(kPencilWaves)->Arg(kSoftMarkerWaves)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The size of a page file, and that of a default encode of its picture.
struct FileSizes {
  double page = 0, byDefault = 0;
};
FileSizes sizesOf(const std::optional<std::filesystem::path>& path) {
  if (!path) return {};
  fd::Expected<gfx::Image> picture = gfx::readPNG(*path);
  fd::Expected<fd::Data> byDefault = picture ? gfx::encodePNG(*picture) : fd::Expected<fd::Data>(picture.failure());
  return {static_cast<double>(fd::files::fileSize(*path).value_or(0)),
          byDefault ? static_cast<double>(byDefault->size()) : 0};
}

void BM_PageSave(benchmark::State& state) {
  PageFixture f(static_cast<Drawing>(state.range(0)));
  if (!f.view) {
    state.SkipWithError("no GL canvas");
    return;
  }
  // Layer 2 being edited: read-back, layer file, snapshot with layer 1 read
  // from its file, icon. The processor time of all the save's threads does
  // not depend on how many cores are free.
  const double cpuBefore = processSeconds();
  for (auto _ : state) {
    f.view->setOperated(true);
    f.view->writeToFileForLay(2);
  }
  state.counters["all_threads_cpu_ms"] =
      (processSeconds() - cpuBefore) * 1000 / static_cast<double>(state.iterations());
  const ProjectDataModel& project = *f.model().prjDataModel();
  const FileSizes layer = sizesOf(project.layFullPathAtPage(1, false, 2));
  const FileSizes snapshot = sizesOf(project.snapshotFullPathAtPage(1, false));
  state.counters["png_bytes"] = layer.page;
  state.counters["layer_to_default"] = layer.byDefault > 0 ? layer.page / layer.byDefault : 0;
  state.counters["snapshot_bytes"] = snapshot.page;
  state.counters["snapshot_to_default"] = snapshot.byDefault > 0 ? snapshot.page / snapshot.byDefault : 0;
}
BENCHMARK(BM_PageSave)->Arg(kPencilWaves)->Arg(kSoftMarkerWaves)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PageLoad(benchmark::State& state) {
  PageFixture f;
  if (!f.view) {
    state.SkipWithError("no GL canvas");
    return;
  }
  const auto path = *f.model().prjDataModel()->layFullPathAtPage(1, false, 1);
  for (auto _ : state) {
    auto picture = gfx::readPNG(path);
    f.view->setImage(picture ? &*picture : nullptr, f.view->bounds());
  }
}
BENCHMARK(BM_PageLoad)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
