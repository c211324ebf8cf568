// The indexed climbs of the largest-triangle and largest-quadrangle fits, and
// the diagonals they pass over as unable to beat the best, must give exactly
// what walking every point from every pair gives: same apexes, same areas to
// the bit, the same first-found winner among equal areas, on smooth,
// jittered, pixel-stepped, straight-sided, repeated and far-off strokes.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "StrokeMaker.h"
#include "canvas/shape/BaseLineClimb.h"
#include "canvas/shape/ReachBound.h"
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

namespace {

// Outlines where many diagonals tie or nearly tie for the largest area.
std::vector<Stroke> tiedStrokes() {
  StrokeMaker exact(5, 0);
  std::vector<Stroke> out;
  // Regular polygons on whole coordinates: equal areas by symmetry.
  out.push_back(exact.path({{100, 100}, {200, 100}, {200, 200}, {100, 200}}, 5, true));
  out.push_back(exact.path({{100, 60}, {160, 60}, {200, 100}, {200, 160}, {160, 200}, {100, 200}, {60, 160}, {60, 100}},
                           4, true));
  // Laps over the same points: every area comes round again exactly.
  Stroke laps;
  const Stroke lap = pixelStepped(exact.ellipse({150, 150}, 40, 40, 0, 90));
  for (int k = 0; k < 3; ++k) laps.insert(laps.end(), lap.begin(), lap.end());
  out.push_back(laps);
  // A circle whose points differ by a hair: areas equal to a few units in the
  // last place, and a far-off one where the line values round by whole units.
  StrokeMaker hair(6, 0.01f);
  out.push_back(hair.ellipse({200, 150}, 45, 45, 0, 300));
  out.push_back(shifted(exact.ellipse({0, 0}, 45, 45, 0, 240), 3.0e5f, 2.0e5f));
  return out;
}

// Of the points from i+1 to j-1, where the quadrangle fit's near climb runs.
Reach reachBetween(const Stroke& s, int i, int j) {
  Reach r;
  for (int k = i + 1; k < j; ++k) r.include(s[k]);
  return r;
}

}  // namespace

TEST(ShapeFitEquivalence, TiedAndNearlyTiedAreasKeepTheFirstWinner) {
  for (const Stroke& s : tiedStrokes()) {
    expectSameTriangle(FitLargestTriangle(s), reference::triangle(s), "tied");
    expectSameQuadrangle(FitLargestQuadrangle(s), reference::quadrangle(s), "tied");
  }
}

TEST(ShapeFitEquivalence, SmoothCirclesOfManyPoints) {
  // The counts the recogniser fits at most, where nearly every diagonal is
  // passed over unclimbed.
  StrokeMaker exact(2, 0);
  for (int count : {500, 1199}) {
    const Stroke s = exact.ellipse({200, 150}, 45, 45, 0, count);
    const std::string where = "circle of " + std::to_string(count);
    expectSameTriangle(FitLargestTriangle(s), reference::triangle(s), where);
    expectSameQuadrangle(FitLargestQuadrangle(s), reference::quadrangle(s), where);
  }
}

TEST(ShapeFitEquivalence, AreaBoundsHoldToTheLastBit) {
  // A diagonal whose area is even one step of double above the best must
  // never be passed over: the bounds answer "may exceed" for the largest
  // double below every area the point-by-point fits measure.
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::vector<Stroke> all = strokes(seed);
    for (const Stroke& s : tiedStrokes()) all.push_back(s);
    std::mt19937 rng(seed * 104729);
    for (const Stroke& s : all) {
      const ReachBound bound(s);
      const std::optional<FineReachBound> fine = bound.usable() ? std::optional<FineReachBound>(s) : std::nullopt;
      const int n = static_cast<int>(s.size());
      std::uniform_int_distribution<int> pick(0, n - 1);
      for (int trial = 0; trial < 300; ++trial) {
        int i = pick(rng), j = pick(rng);
        if (i == j) continue;
        if (i > j) std::swap(i, j);
        const BaseLine line(s[i], s[j]);
        if (line.degenerate()) continue;
        const reference::Line plain(s[i], s[j]);
        const Climb far = reference::climb(s, plain, j + 1, n);
        const Climb near = reference::climb(s, plain, i + 1, j);
        const double diagonal = DistanceBetweenPoints(s[i], s[j]);
        const double area = (diagonal * far.distance + diagonal * near.distance) * 0.5;
        if (area > 0) {
          ASSERT_TRUE(bound.mayExceed(line, s[i], s[j], reachBetween(s, i, j), j + 1, std::nextafter(area, 0.0)))
              << seed << " " << i << " " << j;
          if (bound.usable()) {
            ASSERT_TRUE(fine->mayExceed(line, s[i], s[j], i + 1, j, j + 1, std::nextafter(area, 0.0)))
                << seed << " " << i << " " << j;
          }
        }
        for (const Climb& apex : {far, near}) {
          if (apex.apex >= n) continue;  // a far climb from the last point reaches nothing
          const double scaled = plain.scaled(s[apex.apex]);
          const double triangle = diagonal * (scaled / line.norm()) * 0.5;
          if (triangle > 0) {
            ASSERT_TRUE(AreaMayExceed(s[i], s[j], scaled, line, std::nextafter(triangle, 0.0)))
                << seed << " " << i << " " << j;
          }
        }
      }
    }
  }
}

TEST(ShapeFitEquivalence, AreaBoundsPassOverMostDiagonalsOfACircle) {
  // The bounds must be sharp enough to matter: against the best area of a
  // smooth circle, short diagonals and ones near the end cannot compete.
  StrokeMaker exact(4, 0);
  const Stroke s = exact.ellipse({200, 150}, 45, 45, 0, 240);
  const double best = FitLargestQuadrangle(s).area;
  const ReachBound bound(s);
  const int n = static_cast<int>(s.size());
  int pairs = 0, kept = 0;
  for (int i = 0; i + 1 < n; ++i) {
    Reach between;
    for (int j = i + 1; j < n; ++j) {
      if (j > i + 1) between.include(s[j - 1]);
      const BaseLine line(s[i], s[j]);
      if (line.degenerate()) continue;
      ++pairs;
      kept += bound.mayExceed(line, s[i], s[j], between, j + 1, best) ? 1 : 0;
    }
  }
  EXPECT_LT(kept * 4, pairs);
  EXPECT_GT(kept, 0);
}

TEST(ShapeFitEquivalence, FineBoundsHoldOnEveryDiagonalOfRoundOutlines) {
  // Every diagonal, not a sample, of outlines round enough that the fit
  // builds the closer bound: ellipses turned through all directions (every
  // cone of the finer fan), far off, and pixel-stepped. Each must be kept
  // against the largest double below the area it truly has.
  StrokeMaker exact(8, 0);
  std::vector<Stroke> all;
  for (float turn : {0.0f, 7.0f, 22.5f, 40.0f, 71.0f})
    all.push_back(exact.ellipse({200, 150}, 60, 25, turn, 90));
  all.push_back(shifted(exact.ellipse({0, 0}, 45, 45, 0, 80), 3.0e5f, -2.0e5f));
  all.push_back(pixelStepped(exact.ellipse({150, 150}, 40, 40, 0, 90)));
  for (const Stroke& s : all) {
    const FineReachBound fine(s);
    const int n = static_cast<int>(s.size());
    for (int i = 0; i + 1 < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        const BaseLine line(s[i], s[j]);
        if (line.degenerate()) continue;
        const reference::Line plain(s[i], s[j]);
        const double diagonal = DistanceBetweenPoints(s[i], s[j]);
        const double area = (diagonal * reference::climb(s, plain, j + 1, n).distance +
                             diagonal * reference::climb(s, plain, i + 1, j).distance) *
                            0.5;
        if (area > 0) {
          ASSERT_TRUE(fine.mayExceed(line, s[i], s[j], i + 1, j, j + 1, std::nextafter(area, 0.0))) << i << " " << j;
        }
      }
    }
  }
}

TEST(ShapeFitEquivalence, FineBoundsLeaveFewDiagonalsOfACircleToClimb) {
  // A quarter of a circle's diagonals get past the octagon; the finer fan
  // must stop most of those, yet keep the winners.
  StrokeMaker exact(4, 0);
  const Stroke s = exact.ellipse({200, 150}, 45, 45, 0, 240);
  const double best = FitLargestQuadrangle(s).area;
  const ReachBound bound(s);
  const FineReachBound fine(s);
  const int n = static_cast<int>(s.size());
  int coarse = 0, kept = 0;
  for (int i = 0; i + 1 < n; ++i) {
    Reach between;
    for (int j = i + 1; j < n; ++j) {
      if (j > i + 1) between.include(s[j - 1]);
      const BaseLine line(s[i], s[j]);
      if (line.degenerate() || !bound.mayExceed(line, s[i], s[j], between, j + 1, best)) continue;
      ++coarse;
      kept += fine.mayExceed(line, s[i], s[j], i + 1, j, j + 1, best) ? 1 : 0;
    }
  }
  EXPECT_LT(kept * 2, coarse);
  EXPECT_GT(kept, 0);
}

TEST(ShapeFitEquivalence, RoundOutlinesPastTheFineBoundThreshold) {
  // Enough diagonals pass the octagon here for the fit to switch to the finer
  // bound part-way: hand jitter, laps that tie every area, and a far-off
  // circle whose line values round by whole units.
  StrokeMaker hand(9, 0.8f), exact(9, 0);
  Stroke laps;
  const Stroke lap = pixelStepped(exact.ellipse({150, 150}, 40, 40, 0, 150));
  for (int k = 0; k < 3; ++k) laps.insert(laps.end(), lap.begin(), lap.end());
  for (const Stroke& s : {hand.ellipse({200, 150}, 45, 45, 0, 600), laps,
                          shifted(exact.ellipse({0, 0}, 45, 45, 10, 400), 3.0e5f, 2.0e5f),
                          exact.ellipse({240, 160}, 120, 50, 33, 500)})
    expectSameQuadrangle(FitLargestQuadrangle(s), reference::quadrangle(s), "round");
}

TEST(ShapeFitEquivalence, UnboundedStrokesAreNeverPassedOver) {
  // Coordinates the rounding bounds do not cover leave every diagonal to be
  // climbed.
  StrokeMaker exact(3, 0);
  Stroke s = exact.ellipse({200, 150}, 60, 60, 0, 40);
  s[10].y = INFINITY;
  const ReachBound bound(s);
  EXPECT_FALSE(bound.usable());
  EXPECT_TRUE(bound.mayExceed(BaseLine(s[0], s[20]), s[0], s[20], reachBetween(s, 0, 20), 21, 1.0e30));
  EXPECT_EQ(FitLargestQuadrangle(s).area, reference::quadrangle(s).area);
}
