// Speed of the graphics layer's hot paths: page-sized PNG coding, icon
// scaling, full-screen compositing and label text.
#include <benchmark/benchmark.h>

#include <random>

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"

namespace {

// A page-like picture: soft strokes over transparency.
gfx::Image page(int w, int h) {
  gfx::Context ctx(w, h);
  std::mt19937 rng(1);
  ctx.setLineWidth(6);
  ctx.setLineCap(gfx::LineCap::Round);
  for (int i = 0; i < 40; ++i) {
    ctx.setStrokeColor(gfx::Color::rgba8(rng() % 256, rng() % 256, rng() % 256, 128 + rng() % 128));
    ctx.strokePolyline({{float(rng() % w), float(rng() % h)}, {float(rng() % w), float(rng() % h)},
                        {float(rng() % w), float(rng() % h)}});
  }
  return ctx.makeImage();
}

void BM_EncodePNG(benchmark::State& state) {
  const gfx::Image img = page(768, 576);
  for (auto _ : state) benchmark::DoNotOptimize(gfx::encodePNG(img));
}
BENCHMARK(BM_EncodePNG)->Unit(benchmark::kMillisecond);

void BM_DecodePNG(benchmark::State& state) {
  const fd::Data bytes = *gfx::encodePNG(page(768, 576));
  for (auto _ : state) benchmark::DoNotOptimize(gfx::decodePNG(bytes));
}
BENCHMARK(BM_DecodePNG)->Unit(benchmark::kMillisecond);

void BM_IconFromSnapshot(benchmark::State& state) {
  const gfx::Image snapshot = page(384, 288);
  for (auto _ : state) benchmark::DoNotOptimize(snapshot.scaledTo(216, 162));
}
BENCHMARK(BM_IconFromSnapshot)->Unit(benchmark::kMicrosecond);

// A 2x screen frame: a background and two layers drawn with alpha, read back.
void BM_CompositeScreen(benchmark::State& state) {
  const gfx::Image layer = page(768, 576);
  gfx::Context ctx(960, 640, 2.0f);
  for (auto _ : state) {
    ctx.setFillColor(gfx::Color::white(0.9f));
    ctx.fillRect({0, 0, 480, 320});
    ctx.drawImage(layer, {48, 16, 384, 288});
    ctx.setAlpha(0.5f);
    ctx.drawImage(layer, {48, 16, 384, 288});
    ctx.setAlpha(1);
    benchmark::DoNotOptimize(ctx.makeImage(true));
  }
}
BENCHMARK(BM_CompositeScreen)->Unit(benchmark::kMillisecond);

void BM_LabelText(benchmark::State& state) {
  gfx::Context ctx(400, 60, 2.0f);
  gfx::TextStyle style;
  style.alignment = gfx::TextAlignment::Center;
  for (auto _ : state) gfx::drawText(ctx, "Frame 12 of 48", {0, 0, 200, 30}, style);
}
BENCHMARK(BM_LabelText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
