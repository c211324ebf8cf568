// Drawing-engine speed on a 768x576 backing (the editor's page on a 2x screen):
// dabs (the default pen, and each tip at two sizes), smudge dabs, a fast touch
// batch, marks, undo restores and stroke generation, beside a bare loop of one
// textured draw call per dab (target: dabs at 1.5 times its rate or more).
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "canvas/GenCurvePoints.h"
#include "canvas/ProgramObject.h"
#include "canvas/TextureObject.h"
#include "canvas/VTEAGLView.h"
#include "support/Sandbox.h"

namespace {

constexpr float kScale = 2;

struct Bench {
  testing_support::ScopedSandbox sandbox;
  std::shared_ptr<VTEAGLView> canvas;
  Bench() {
    canvas = VTEAGLView::create({0, 0, 384 * kScale, 288 * kScale});
    canvas->setFrame({0, 0, 384, 288});
  }
  void finish() {
    auto guard = canvas->contextGuard();
    glFinish();
  }
};

// Dab centres spread over the page, in view points.
std::vector<gfx::Point> dabCentres(int n) {
  std::vector<gfx::Point> points;
  for (int i = 0; i < n; ++i) {
    points.push_back({20 + static_cast<float>((i * 7) % 344), 20 + static_cast<float>((i * 13) % 248)});
  }
  return points;
}

void dabs(benchmark::State& state, int type, float size) {
  Bench b;
  b.canvas->setBrushType(type);
  b.canvas->setBrushSize(size);
  constexpr int kBatch = 200;
  const auto points = dabCentres(kBatch);
  const std::vector<float> sizes(kBatch, size);
  for (auto _ : state) {
    b.canvas->drawPoints(points.data(), sizes.data(), kBatch);
    b.finish();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_Dabs32(benchmark::State& state) { dabs(state, 2, 32); }
void BM_Dabs64(benchmark::State& state) { dabs(state, 2, 64); }
void BM_SmudgeDabs64(benchmark::State& state) {
  Bench b;
  b.canvas->setBrushType(7);
  b.canvas->setBrushSize(64);
  constexpr int kBatch = 100;
  std::vector<gfx::Point> points;
  for (int i = 0; i < kBatch; ++i) points.push_back({40 + i * 3.0f, 140 + 20 * std::sin(i * 0.1f)});
  const std::vector<float> sizes(kBatch, 64);
  for (auto _ : state) {
    b.canvas->shaderObject()->setLineBegin(true);
    b.canvas->drawPoints(points.data(), sizes.data(), kBatch);
    b.finish();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The floor: one textured draw call per dab with its centre as a uniform,
// through the canvas's own program, tip and framebuffer.
void bareLoop(benchmark::State& state, int type, float size) {
  Bench b;
  b.canvas->setBrushType(type);
  b.canvas->setBrushSize(size);
  constexpr int kBatch = 200;
  const auto points = dabCentres(kBatch);
  const GLint center = b.canvas->shaderObject()->program()->uniform(RenderObject::kCenter);
  const float h = size / kScale * 0.5f;  // half the dab in points
  const float quad[8] = {-h, -h, h, -h, h, h, -h, h};
  for (auto _ : state) {
    b.canvas->beginRender();
    glUniform1f(b.canvas->shaderObject()->program()->uniform(RenderObject::kEnableRotate), 0);
    glVertexAttribPointer(RenderObject::kPosition, 2, GL_FLOAT, GL_FALSE, 0, quad);
    glEnableVertexAttribArray(RenderObject::kPosition);
    for (const gfx::Point& p : points) {
      glUniform2f(center, p.x, p.y);
      glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    }
    b.canvas->finishRender();
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_BareLoop32(benchmark::State& state) { bareLoop(state, 2, 32); }

// Each pen tip at 32 and 64 pixels, batched and dab by dab: a tip that fills
// little of its square is drawn only where it has coverage.
void BM_DabsOfTip(benchmark::State& state) {
  dabs(state, static_cast<int>(state.range(0)), static_cast<float>(state.range(1)));
}
void BM_BareLoopOfTip(benchmark::State& state) {
  bareLoop(state, static_cast<int>(state.range(0)), static_cast<float>(state.range(1)));
}

// A fast finger: 30 touch points 25 points apart, one stroke batch each.
void BM_FastTouchBatch30(benchmark::State& state) {
  Bench b;
  b.canvas->setBrushType(2);
  for (auto _ : state) {
    b.canvas->drawWithBeginPoint({10, 20});
    for (int i = 1; i <= 30; ++i) {
      b.canvas->drawWithMovePoint({10 + 12.0f * i, 20 + 8.0f * i * (i % 2 ? 1 : 0.5f)});
    }
    b.finish();
  }
}

void BM_Mark(benchmark::State& state) {
  Bench b;
  b.canvas->setBrushType(2);
  for (auto _ : state) {
    state.PauseTiming();
    b.canvas->drawPoint({100, 100}, 8);
    b.finish();
    state.ResumeTiming();
    b.canvas->mark();
  }
}

void BM_UndoRestore(benchmark::State& state) {
  Bench b;
  b.canvas->setBrushType(2);
  b.canvas->drawPoint({100, 100}, 32);
  b.canvas->mark();
  bool back = true;
  for (auto _ : state) {
    benchmark::DoNotOptimize(back ? b.canvas->undo() : b.canvas->redo());
    b.finish();
    back = !back;
  }
}

void BM_StrokeGeneration(benchmark::State& state) {
  GenCurvePoints g;
  g.setMaxSpeedSize(2, 32);
  g.setDensityFactor(0.125f);
  std::vector<gfx::Point> points;
  std::vector<float> sizes;
  std::int64_t produced = 0;
  for (auto _ : state) {
    g.newBeginningWithPoint({0, 0});
    for (int i = 1; i <= 100; ++i) {
      const int n = g.genWithNewPoint({i * 4.0f, 100 + 50 * std::sin(i * 0.2f)}, points, sizes);
      if (n > 0) produced += n;
    }
    benchmark::DoNotOptimize(points.data());
  }
  state.SetItemsProcessed(produced);
}

}  // namespace

BENCHMARK(BM_Dabs32)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLoop32)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Dabs64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DabsOfTip)->ArgsProduct({{1, 3, 4, 5, 6}, {32, 64}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLoopOfTip)->ArgsProduct({{1, 3, 4, 5, 6}, {32, 64}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SmudgeDabs64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FastTouchBatch30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mark)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UndoRestore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StrokeGeneration)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
