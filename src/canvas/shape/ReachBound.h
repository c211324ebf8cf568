#pragma once
// Upper bounds on how far from a base line a climb over a run of the stroke
// can get, from the run's reach along eight directions (or, for the diagonals
// that pass, thirty-two). The quadrangle fit passes over the diagonals whose
// bound cannot beat the best area it holds.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <vector>

#include "canvas/shape/BaseLineClimb.h"
#include "canvas/shape/ShapeRecord.h"

namespace shape {

// How far a set of points reaches along directions 45 degrees apart, from
// +x round to +x-y: the greatest dot product of the direction with a point.
class Reach {
 public:
  void include(ShapePoint q) {
    const double x = q.x, y = q.y;
    const double along[8] = {x, x + y, y, y - x, -x, -(x + y), -y, x - y};
    for (int k = 0; k < 8; ++k) along_[k] = std::max(along_[k], along[k]);
  }
  bool empty() const { return along_[0] == -kFar; }
  double along(int direction) const { return along_[direction]; }

 private:
  static constexpr double kFar = 1.0e300;
  std::array<double, 8> along_{-kFar, -kFar, -kFar, -kFar, -kFar, -kFar, -kFar, -kFar};
};

class ReachBound {
 public:
  explicit ReachBound(std::span<const ShapePoint> points);
  // False when the stroke's coordinates are too large (or not finite) for
  // the rounding bounds: then nothing may be passed over.
  bool usable() const { return magnitude_.bounded(); }
  // False only when the quadrangle fit's area for the diagonal from pi to pj,
  // measured from `line` through them, is certainly not above `best`: its near
  // climb runs over a set with the reach `between`, its far climb over the
  // points from farFrom to the end.
  bool mayExceed(const BaseLine& line, ShapePoint pi, ShapePoint pj, const Reach& between, int farFrom,
                 double best) const;
  // Which of the eight cones, counted from +x round to +x-y, holds (a, b).
  static int coneOf(double a, double b) {
    if (b >= 0) {
      if (a >= 0) return a >= b ? 0 : 1;
      return b >= -a ? 2 : 3;
    }
    if (a < 0) return -a >= -b ? 4 : 5;
    return -b >= a ? 6 : 7;
  }

 private:
  // The eight directions by cone: a direction between d[k] and d[k + 1] is
  // alpha * d[k] + beta * d[k + 1] with alpha and beta whole and not
  // negative, and its opposite the same mix of d[k + 4] and d[k + 5].
  struct Cone {
    int first, second, oppositeFirst, oppositeSecond;
    double firstX, firstY, secondX, secondY;
  };
  static constexpr Cone kCones[8] = {
      {0, 1, 4, 5, 1, 0, 1, 1},    {1, 2, 5, 6, 1, 1, 0, 1},   {2, 3, 6, 7, 0, 1, -1, 1},
      {3, 4, 7, 0, -1, 1, -1, 0},  {4, 5, 0, 1, -1, 0, -1, -1}, {5, 6, 1, 2, -1, -1, 0, -1},
      {6, 7, 2, 3, 0, -1, 1, -1},  {7, 0, 3, 4, 1, -1, 1, 0},
  };
  // The bounds' own double arithmetic (sums of coordinates, products with the
  // line's coefficients, a few additions) errs by a few 2^-53 of these
  // magnitudes; this is a thousandfold that.
  static constexpr double kBoundRounding = 1.0e-12;

  StrokeMagnitude magnitude_;
  std::vector<Reach> suffixes_;
};

inline bool ReachBound::mayExceed(const BaseLine& line, ShapePoint pi, ShapePoint pj, const Reach& between,
                                  int farFrom, double best) const {
  if (!usable()) return true;
  const double a = line.a(), b = line.b(), c = line.c();
  // The greatest a*x + b*y over a set is at most the cone's mix of its
  // reaches, and likewise for -a*x - b*y.
  const Cone& cone = kCones[coneOf(a, b)];
  const double alpha = a * cone.secondY - b * cone.secondX;
  const double beta = cone.firstX * b - cone.firstY * a;
  // The computed value of a point lies within the line's rounding of its
  // exact a*x + b*y + c, and truncation only shrinks its magnitude.
  const double spare =
      magnitude_.valueRounding(line) +
      kBoundRounding * ((std::fabs(a) + std::fabs(b)) * (magnitude_.maxAbsX() + magnitude_.maxAbsY()) + std::fabs(c));
  auto scaledBound = [&](const Reach& set) {
    if (set.empty()) return 0.0;  // the climb reaches nothing
    const double up = alpha * set.along(cone.first) + beta * set.along(cone.second);
    const double down = alpha * set.along(cone.oppositeFirst) + beta * set.along(cone.oppositeSecond);
    return std::max(c + up, down - c) + spare;
  };
  return AreaMayExceed(pi, pj, scaledBound(suffixes_[farFrom]) + scaledBound(between), line, best);
}

// A closer bound for the diagonals that ReachBound lets through. On a round
// outline every chord has points as far as the circle's radius either side
// taken together, so the octagon's corners (8% out) let a quarter of all
// diagonals through to be climbed; directions at most 18.5 degrees apart
// bring that to a tenth and below. The reaches of any run come from a table
// of runs of 2^l points, built only when many diagonals get through.
class FineReachBound {
 public:
  // Needs ReachBound::usable() on the same points.
  explicit FineReachBound(std::span<const ShapePoint> points);
  // As ReachBound::mayExceed, for a near climb over points nearFrom ..
  // nearTo - 1 and a far climb over farFrom .. the end.
  bool mayExceed(const BaseLine& line, ShapePoint pi, ShapePoint pj, int nearFrom, int nearTo, int farFrom,
                 double best) const;

 private:
  static constexpr int kDirections = 32;
  // Whole directions round the circle, each with its successor spanning a
  // cell of area 1: a line's coefficients are then whole mixes of the two
  // that bound it.
  struct Direction {
    double x, y;
  };
  static constexpr std::array<Direction, kDirections> kTurn = [] {
    constexpr Direction quadrant[8] = {{1, 0}, {3, 1}, {2, 1}, {3, 2}, {1, 1}, {2, 3}, {1, 2}, {1, 3}};
    std::array<Direction, kDirections> all{};
    for (int k = 0; k < 8; ++k) {
      const Direction d = quadrant[k];
      all[k] = d;
      all[k + 8] = {-d.y, d.x};
      all[k + 16] = {-d.x, -d.y};
      all[k + 24] = {d.y, -d.x};
    }
    return all;
  }();
  // Greatest of the four wanted reaches over points from .. to - 1.
  void reachOver(int from, int to, const int (&directions)[4], double (&out)[4]) const;
  double along(int level, int start, int direction) const {
    return table_[(static_cast<std::size_t>(level) * count_ + start) * kDirections + direction];
  }

  StrokeMagnitude magnitude_;
  int count_ = 0;
  // table_[(l * count + k) * kDirections + d]: reach along d of points k .. k + 2^l - 1.
  std::vector<double> table_;
};

}  // namespace shape
