// The legacy ES 1.1 canvas beside the live ES 2 canvas, in one run, on the
// same 768x576 backing (the page on a 2x screen): dabs per second of each
// canvas's own dab path, and whole touch strokes through each canvas's touch
// entry (curve generation and dabs, no undo snapshot). Rates are per wall
// second: the GL driver draws on threads of its own.
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "canvas/DrawsView.h"
#include "canvas/VTEAGLView.h"
#include "legacy/DrawView.h"
#include "model/ZTDataModel.h"
#include "support/Sandbox.h"

namespace {

constexpr float kScale = 2;
// Dabs 32 backing pixels wide on both canvases.
constexpr float kDabPixels = 32;
constexpr int kMoves = 40;

// One stroke across the page and back, in view points.
std::vector<CanvasTouch> strokeTouches() {
  std::vector<CanvasTouch> touches;
  gfx::Point previous{20, 40};
  for (int i = 0; i <= kMoves; ++i) {
    const gfx::Point p{20 + i * 8.5f, 140 + 100 * std::sin(i * 0.3f)};
    touches.push_back({p, previous, 1});
    previous = p;
  }
  return touches;
}

template <typename Canvas>
void runStroke(Canvas& canvas, const std::vector<CanvasTouch>& touches) {
  canvas.touchesBegan(std::vector<CanvasTouch>{touches.front()});
  for (std::size_t i = 1; i + 1 < touches.size(); ++i) canvas.touchesMoved(std::vector<CanvasTouch>{touches[i]});
  canvas.touchesEnded(std::vector<CanvasTouch>{touches.back()});
}

void finish(const glx::Context& context) {
  glx::ContextGuard guard(context);
  glFinish();
}

struct Legacy {
  testing_support::ScopedSandbox sandbox;
  std::shared_ptr<DrawView> canvas;
  Legacy() {
    ZTDataModel::resetSharedInstanceForTesting();
    // One undo step for the first stroke, none after: the dabs are measured.
    DrawView::setClockForTesting([] { return 0.0; });
    canvas = DrawView::initDrawViewWithScaleFactor(kScale);
    canvas->setToolSize(kDabPixels / kScale);
    canvas->setBrushColor(gfx::Color{0, 0, 1, 1});
    canvas->setToolPattern(3);
  }
  ~Legacy() {
    canvas.reset();
    DrawView::setClockForTesting({});
    ZTDataModel::resetSharedInstanceForTesting();
  }
};

struct Live {
  testing_support::ScopedSandbox sandbox;
  Live() { ZTDataModel::resetSharedInstanceForTesting(); }
  ~Live() { ZTDataModel::resetSharedInstanceForTesting(); }
};

// Legacy dabs: strokes through the touch entry, counted dab by dab.
void BM_LegacyDabs32(benchmark::State& state) {
  Legacy b;
  const auto touches = strokeTouches();
  std::uint64_t dabs = 0;
  for (auto _ : state) {
    const std::uint64_t before = b.canvas->dabCount();
    runStroke(*b.canvas, touches);
    finish(*b.canvas->context());
    dabs += b.canvas->dabCount() - before;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(dabs));
}

// Live dabs: batches of 200 through the brush canvas's dab path.
void BM_LiveDabs32(benchmark::State& state) {
  Live l;
  auto canvas = VTEAGLView::create({0, 0, 384 * kScale, 288 * kScale});
  canvas->setFrame({0, 0, 384, 288});
  canvas->setBrushType(3);
  constexpr int kBatch = 200;
  std::vector<gfx::Point> points;
  for (int i = 0; i < kBatch; ++i) {
    points.push_back({20 + static_cast<float>((i * 7) % 344), 20 + static_cast<float>((i * 13) % 248)});
  }
  const std::vector<float> sizes(kBatch, kDabPixels);
  for (auto _ : state) {
    canvas->drawPoints(points.data(), sizes.data(), kBatch);
    finish(*canvas->context());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The same touch stroke on each canvas; items are strokes.
void BM_LegacyStroke(benchmark::State& state) {
  Legacy b;
  const auto touches = strokeTouches();
  const std::uint64_t before = b.canvas->dabCount();
  for (auto _ : state) {
    runStroke(*b.canvas, touches);
    finish(*b.canvas->context());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["dabs/stroke"] =
      static_cast<double>(b.canvas->dabCount() - before) / static_cast<double>(state.iterations());
}

void BM_LiveStroke(benchmark::State& state) {
  Live l;
  auto canvas = DrawsView::initDrawViewWithScaleFactor(kScale);
  canvas->setBrushType(3);
  canvas->setBrushColor(gfx::Color{0, 0, 1, 1});
  canvas->setBrushSize(kDabPixels / kScale);
  const auto touches = strokeTouches();
  for (auto _ : state) {
    runStroke(*canvas, touches);
    finish(*canvas->context());
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_LegacyDabs32)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LiveDabs32)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LegacyStroke)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LiveStroke)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
