// Recognition time of long strokes. The canvas recognises at touch-up on the
// main thread, so a 1000-point hand-drawn stroke should take well under 50 ms.
// Hand jitter ends the quadrangle fit's climbs early; on a perfectly smooth
// outline every climb runs a quarter of the way round, and only the climb
// index and the area bounds that pass over most diagonals keep it short. The smooth circles past 1200 points show what the
// fitted-point limit guards against: there only the corner finder runs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "canvas/shape/Unitily.h"

namespace {

std::vector<ShapePoint> ellipseStroke(int count, float rx, float ry, float turns, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> jitter(-0.8f, 0.8f);
  std::vector<ShapePoint> p;
  for (int i = 0; i < count; ++i) {
    const double t = 2 * M_PI * turns * i / (count - 1);
    p.push_back({static_cast<float>(240 + rx * std::cos(t)) + jitter(rng),
                 static_cast<float>(160 + ry * std::sin(t)) + jitter(rng)});
  }
  return p;
}

std::vector<ShapePoint> smoothCircleStroke(int count, float radius) {
  std::vector<ShapePoint> p;
  for (int i = 0; i <= count; ++i) {
    const double t = 2 * M_PI * i / count;
    p.push_back({static_cast<float>(200 + radius * std::cos(t)), static_cast<float>(150 + radius * std::sin(t))});
  }
  return p;
}

std::vector<ShapePoint> rectangleStroke(int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> jitter(-0.8f, 0.8f);
  const ShapePoint corners[5] = {{100, 80}, {380, 80}, {380, 250}, {100, 250}, {100, 80}};
  std::vector<ShapePoint> p;
  for (int i = 0; i < count; ++i) {
    const float s = 4.0f * i / (count - 1);
    const int side = std::min(3, static_cast<int>(s));
    const float f = s - side;
    const ShapePoint a = corners[side], b = corners[side + 1];
    p.push_back({a.x + f * (b.x - a.x) + jitter(rng), a.y + f * (b.y - a.y) + jitter(rng)});
  }
  return p;
}

void recognise(benchmark::State& state, const std::vector<ShapePoint>& stroke) {
  for (auto _ : state) {
    Unitily::resetHistory();
    ShapeRecord r = Unitily::recogniseWithPoints(stroke);
    benchmark::DoNotOptimize(r);
  }
}

// A circle drawn slowly: 1000 touch points under a point apart.
void BM_Circle1000(benchmark::State& state) { recognise(state, ellipseStroke(1000, 100, 100, 1, 1)); }
// A rectangle drawn slowly.
void BM_Rectangle1000(benchmark::State& state) { recognise(state, rectangleStroke(1000, 2)); }
// A small circle drawn very slowly: its outline is too short (under 320) for
// thinning, so all 1000 points reach the fits.
void BM_SmallSlowCircle1000(benchmark::State& state) { recognise(state, ellipseStroke(1000, 45, 45, 1, 4)); }
// A fast scribble going round 24 times: points 18 or more apart, so nothing
// is thinned and the prepared stroke doubles.
void BM_FastScribble1000(benchmark::State& state) { recognise(state, ellipseStroke(1000, 150, 120, 24, 3)); }
// Small circles without jitter, all points reaching the fits: the worst case
// of the quadrangle fit, whose climbs run a quarter of the way round.
void BM_SmoothSmallCircle(benchmark::State& state) {
  recognise(state, smoothCircleStroke(static_cast<int>(state.range(0)), 45));
}
// The same drawn by hand.
void BM_SmallSlowCircle(benchmark::State& state) {
  recognise(state, ellipseStroke(static_cast<int>(state.range(0)), 45, 45, 1, 5));
}
// A short line drawn very slowly: decided as a line before any fit.
void BM_SlowLine3000(benchmark::State& state) {
  std::vector<ShapePoint> p;
  for (int i = 0; i < 3000; ++i) p.push_back({50 + i * 0.05f, 100 + i * 0.01f});
  recognise(state, p);
}

}  // namespace

BENCHMARK(BM_Circle1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rectangle1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallSlowCircle1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastScribble1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothSmallCircle)->Arg(1000)->Arg(1198)->Arg(2000)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallSlowCircle)->Arg(2000)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlowLine3000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
