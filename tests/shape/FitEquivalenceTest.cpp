// The indexed climbs of the largest-triangle and largest-quadrangle fits must
// give exactly what walking every point gives: same apexes, same areas to the
// bit, on smooth, jittered, pixel-stepped, straight-sided and far-off strokes.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "StrokeMaker.h"
#include "canvas/shape/BaseLineClimb.h"
#include "canvas/shape/ShapeFitting.h"
#include "canvas/shape/ShapeGeometry.h"

using namespace shape;
using shapetest::StrokeMaker;

namespace {

// The fits as first written: every climb walks point by point.
namespace reference {

struct Line {
  double a, b, c, norm;
  Line(ShapePoint pi, ShapePoint pj) {
    const float dx = pi.x - pj.x, dy = pi.y - pj.y;
    a = std::trunc(static_cast<double>(dy));
    b = std::trunc(static_cast<double>(-dx));
    c = std::trunc(static_cast<double>(dx * pi.y - pi.x * dy));
    norm = std::sqrt(a * a + b * b);
  }
  double scaled(ShapePoint q) const {
    const float v = static_cast<float>(a) * q.x + static_cast<float>(b) * q.y + static_cast<float>(c);
    return std::fabs(std::trunc(static_cast<double>(v)));
  }
};

Climb climb(const std::vector<ShapePoint>& p, const Line& line, int start, int bound) {
  Climb r{start, 0};
  for (int k = start; k < bound; ++k) {
    const double d = line.scaled(p[k]);
    if (d < r.distance) break;
    r.distance = d;
    r.apex = k;
  }
  r.distance /= line.norm;
  return r;
}

FittedTriangle triangle(const std::vector<ShapePoint>& p) {
  FittedTriangle best;
  const int n = static_cast<int>(p.size());
  for (int i = 0; i + 1 < n; ++i) {
    int farStart = i + 1, nearStart = i + 1;
    for (int j = i + 1; j < n; ++j) {
      const Line line(p[i], p[j]);
      if (line.a == 0 && line.b == 0) continue;
      const Climb far = climb(p, line, farStart, n);
      const Climb near = climb(p, line, nearStart, j);
      farStart = far.apex;
      nearStart = near.apex;
      const Climb& apex = near.distance > far.distance ? near : far;
      const double area = DistanceBetweenPoints(p[i], p[j]) * apex.distance * 0.5;
      if (area > best.area) best = {{p[i], p[j], p[apex.apex]}, area};
    }
  }
  return best;
}

FittedQuadrangle quadrangle(const std::vector<ShapePoint>& p) {
  FittedQuadrangle best;
  const int n = static_cast<int>(p.size());
  for (int i = 0; i + 1 < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const Line line(p[i], p[j]);
      if (line.a == 0 && line.b == 0) continue;
      const Climb far = climb(p, line, j + 1, n);
      const Climb near = climb(p, line, i + 1, j);
      const double diagonal = DistanceBetweenPoints(p[i], p[j]);
      const double area = (diagonal * far.distance + diagonal * near.distance) * 0.5;
      if (area > best.area) best = {{p[i], p[j], p[std::min(far.apex, n - 1)], p[near.apex]}, area};
    }
  }
  return best;
}

}  // namespace reference

using Stroke = std::vector<ShapePoint>;

Stroke shifted(Stroke s, float dx, float dy) {
  for (ShapePoint& q : s) q = {q.x + dx, q.y + dy};
  return s;
}

// Whole-pixel input: long runs of exactly collinear points and equal distances.
Stroke pixelStepped(Stroke s) {
  for (ShapePoint& q : s) q = {std::round(q.x), std::round(q.y)};
  return s;
}

Stroke randomWalk(unsigned seed, int count, float step) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> turn(-0.6f, 0.6f);
  Stroke s{{200, 200}};
  float heading = 0;
  for (int k = 1; k < count; ++k) {
    heading += turn(rng);
    s.push_back({s.back().x + step * std::cos(heading), s.back().y + step * std::sin(heading)});
  }
  return s;
}

Stroke cloud(unsigned seed, int count) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> coord(0, 300);
  Stroke s;
  for (int k = 0; k < count; ++k) s.push_back({coord(rng), coord(rng)});
  return s;
}

// Strokes of every kind the fits meet, seeded; sizes kept small enough for
// the point-by-point reference.
std::vector<Stroke> strokes(unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(0, 1);
  const float jitter = std::vector<float>{0, 0.3f, 1, 3}[seed % 4];
  StrokeMaker m(seed, jitter);
  const float rotation = 360 * unit(rng);
  const int count = 40 + static_cast<int>(unit(rng) * 160);
  const float spacing = 2 + 6 * unit(rng);
  std::vector<Stroke> out{
      m.ellipse({200, 150}, 60, 60, 0, count),
      m.ellipse({240, 160}, 120, 50, rotation, count),
      m.ellipse({240, 160}, 100, 80, rotation, count, 300),
      m.path({{100, 100}, {260, 100}, {260, 190}, {100, 190}}, spacing, true),
      m.path({{100, 100}, {240, 150}, {210, 235}, {70, 185}}, spacing, true),
      m.path({{100, 100}, {250, 100}, {160, 220}}, spacing, true),
      m.path({{50, 50}, {300, 120}}, spacing),
      m.ellipse({200, 150}, 90, 70, rotation, count, 360 * 3),
      randomWalk(seed, count, 1 + 4 * unit(rng)),
      cloud(seed, count / 2),
  };
  out.push_back(pixelStepped(out[0]));
  out.push_back(pixelStepped(out[1]));
  out.push_back(pixelStepped(out[3]));
  // Far from the origin the single-precision line values round by whole units.
  out.push_back(shifted(out[1], 1.0e5f, -3.0e4f));
  out.push_back(shifted(out[4], 2.0e6f, 2.0e6f));
  out.push_back(shifted(out[0], -400, -300));
  // Repeated points give degenerate base lines and zero steps.
  Stroke doubled;
  for (ShapePoint q : out[5]) doubled.insert(doubled.end(), {q, q});
  out.push_back(doubled);
  return out;
}

void expectSameTriangle(const FittedTriangle& got, const FittedTriangle& want, const std::string& where) {
  EXPECT_EQ(got.area, want.area) << where;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(got.vertices[k], want.vertices[k]) << where << " vertex " << k;
}

void expectSameQuadrangle(const FittedQuadrangle& got, const FittedQuadrangle& want, const std::string& where) {
  EXPECT_EQ(got.area, want.area) << where;
  for (int k = 0; k < 4; ++k) EXPECT_EQ(got.vertices[k], want.vertices[k]) << where << " vertex " << k;
}

}  // namespace

TEST(ShapeFitEquivalence, FitsMatchPointByPointSearch) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::vector<Stroke> all = strokes(seed);
    for (std::size_t s = 0; s < all.size(); ++s) {
      const std::string where = "seed " + std::to_string(seed) + " stroke " + std::to_string(s);
      expectSameTriangle(FitLargestTriangle(all[s]), reference::triangle(all[s]), where);
      expectSameQuadrangle(FitLargestQuadrangle(all[s]), reference::quadrangle(all[s]), where);
    }
  }
}

TEST(ShapeFitEquivalence, LongSmoothOutlines) {
  // Smooth outlines are where the index skips the most: whole half-circles.
  StrokeMaker exact(1, 0);
  for (const Stroke& s : {exact.ellipse({200, 150}, 45, 45, 0, 500), exact.ellipse({300, 200}, 150, 60, 30, 400),
                          pixelStepped(exact.ellipse({300, 200}, 150, 150, 0, 450))}) {
    expectSameTriangle(FitLargestTriangle(s), reference::triangle(s), "smooth");
    expectSameQuadrangle(FitLargestQuadrangle(s), reference::quadrangle(s), "smooth");
  }
}

TEST(ShapeFitEquivalence, ClimbsFromAnyStartOnAnyLine) {
  // Lines through any two points, including ones not drawn by the fits, and
  // climbs starting anywhere: apex and distance as the plain walk gives them.
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed * 7919);
    for (const Stroke& s : strokes(seed)) {
      const ClimbIndex index(s);
      const int n = static_cast<int>(s.size());
      std::uniform_int_distribution<int> pick(0, n - 1);
      for (int trial = 0; trial < 400; ++trial) {
        const int i = pick(rng), j = pick(rng);
        int start = pick(rng), bound = pick(rng) + 1;
        if (trial % 3 == 0) bound = n;
        const BaseLine line(s[i], s[j]);
        if (line.degenerate()) continue;
        const Climb got = index.climb(line, start, bound);
        const Climb want = reference::climb(s, reference::Line(s[i], s[j]), start, bound);
        ASSERT_EQ(got.apex, want.apex) << seed << " " << i << " " << j << " " << start << " " << bound;
        ASSERT_EQ(got.distance, want.distance);
      }
    }
  }
}

TEST(ShapeFitEquivalence, OutOfRangePointsFallBackToWalking) {
  // Coordinates the step bounds do not cover, and non-finite ones, still climb
  // exactly as the walk does.
  StrokeMaker exact(3, 0);
  Stroke huge = shifted(exact.ellipse({0, 0}, 1.0e8f, 1.0e8f, 0, 60), 5.0e8f, 0);
  expectSameQuadrangle(FitLargestQuadrangle(huge), reference::quadrangle(huge), "huge");
  Stroke broken = exact.ellipse({200, 150}, 60, 60, 0, 60);
  broken[30].x = NAN;
  const ClimbIndex index(broken);
  const BaseLine line(broken[0], broken[15]);
  const Climb got = index.climb(line, 1, 60);
  const Climb want = reference::climb(broken, reference::Line(broken[0], broken[15]), 1, 60);
  EXPECT_EQ(got.apex, want.apex);
}
