#pragma once
// Synthetic hand-drawn strokes for the recogniser tests: outlines sampled at
// touch-like spacing with jitter from a seeded generator.
#include <cmath>
#include <random>
#include <vector>

#include "canvas/shape/ShapeRecord.h"
#include "canvas/shape/Unitily.h"
#include "support/Sandbox.h"

namespace shapetest {

class StrokeMaker {
 public:
  StrokeMaker(unsigned seed, float jitter) : rng_(seed), jitter_(-jitter, jitter) {}

  // Through the vertices in order, one point every `spacing`; `close` returns
  // to the first vertex.
  std::vector<ShapePoint> path(const std::vector<ShapePoint>& vertices, float spacing, bool close = false) {
    std::vector<ShapePoint> out;
    std::vector<ShapePoint> v = vertices;
    if (close) v.push_back(vertices.front());
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
      const float dx = v[i + 1].x - v[i].x, dy = v[i + 1].y - v[i].y;
      const int steps = std::max(1, static_cast<int>(std::hypot(dx, dy) / spacing));
      for (int s = 0; s < steps; ++s) out.push_back(jittered(v[i].x + dx * s / steps, v[i].y + dy * s / steps));
    }
    out.push_back(jittered(v.back().x, v.back().y));
    return out;
  }

  // An ellipse outline from angle 0 through sweepDegrees, `count` points.
  std::vector<ShapePoint> ellipse(ShapePoint centre, float rx, float ry, float rotationDegrees, int count,
                                  float sweepDegrees = 360) {
    std::vector<ShapePoint> out;
    const double rot = rotationDegrees * M_PI / 180;
    for (int i = 0; i <= count; ++i) {
      const double t = sweepDegrees * M_PI / 180 * i / count;
      const double x = rx * std::cos(t), y = ry * std::sin(t);
      out.push_back(jittered(static_cast<float>(centre.x + x * std::cos(rot) - y * std::sin(rot)),
                             static_cast<float>(centre.y + x * std::sin(rot) + y * std::cos(rot))));
    }
    return out;
  }

 private:
  ShapePoint jittered(double x, double y) {
    return {static_cast<float>(x + jitter_(rng_)), static_cast<float>(y + jitter_(rng_))};
  }
  std::mt19937 rng_;
  std::uniform_real_distribution<float> jitter_;
};

// A fresh sandbox and an empty stroke history for every test.
class RecogniserTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { Unitily::resetHistory(); }
  void TearDown() override { Unitily::resetHistory(); }
};

}  // namespace shapetest
