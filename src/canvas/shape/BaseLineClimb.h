#pragma once
// Distances from the base line of a polygon fit and the climbs along the
// stroke that look for the apex farthest from it, plus an index of the
// stroke's steps that lets a climb pass over runs it provably rises through.
#include <cmath>
#include <span>
#include <vector>

#include "canvas/shape/ShapeRecord.h"

namespace shape {

// Line through p[i] and p[j] with the integer coefficients the fits have
// always used; they make the distances coarse but reproducible.
class BaseLine {
 public:
  BaseLine(ShapePoint pi, ShapePoint pj) {
    const float dx = pi.x - pj.x, dy = pi.y - pj.y;
    a_ = std::trunc(static_cast<double>(dy));
    b_ = std::trunc(static_cast<double>(-dx));
    c_ = std::trunc(static_cast<double>(dx * pi.y - pi.x * dy));
    af_ = static_cast<float>(a_);
    bf_ = static_cast<float>(b_);
    cf_ = static_cast<float>(c_);
  }
  bool degenerate() const { return a_ == 0 && b_ == 0; }
  // a*x + b*y + c in single precision: its sign tells the side of the line.
  float value(ShapePoint q) const { return af_ * q.x + bf_ * q.y + cf_; }
  // The distance times the line's norm: climbs compare these, which orders
  // points as the distances do without a division per point.
  static double scaled(float value) { return std::fabs(std::trunc(static_cast<double>(value))); }
  double scaledDistance(ShapePoint q) const { return scaled(value(q)); }
  // Taken when asked: the quadrangle fit passes over most lines unmeasured.
  double norm() const { return std::sqrt(normSquared()); }
  double normSquared() const { return a_ * a_ + b_ * b_; }
  float a() const { return af_; }
  float b() const { return bf_; }
  float c() const { return cf_; }

 private:
  double a_, b_, c_;
  float af_, bf_, cf_;
};

// The largest coordinates of a stroke, which bound the rounding error of
// BaseLine::value over it. Strokes with coordinates past a limit no canvas
// point comes near (or not finite) are not bounded: nothing is skipped on them.
class StrokeMagnitude {
 public:
  explicit StrokeMagnitude(std::span<const ShapePoint> points);
  bool bounded() const { return bounded_; }
  double maxAbsX() const { return maxAbsX_; }
  double maxAbsY() const { return maxAbsY_; }
  // Largest rounding error of BaseLine::value over the stroke, with room to
  // spare for double arithmetic on the same quantities.
  double valueRounding(const BaseLine& line) const {
    const double magnitude =
        std::fabs(line.a()) * maxAbsX_ + std::fabs(line.b()) * maxAbsY_ + std::fabs(line.c());
    return kRelativeRounding * magnitude + kAbsoluteRounding;
  }

 private:
  // BaseLine::value rounds four times (two products, two sums), no term more
  // than three times: its error is below 3 * 2^-24 (1.8e-7) of |a*x| + |b*y| +
  // |c|. The spare factor covers double rounding of the same quantities,
  // some 2^-50 of them.
  static constexpr double kRelativeRounding = 4.0e-7;
  // Underflow to subnormals loses absolute amounts too small to matter
  // anywhere else; this keeps the bound positive for a stroke at the origin.
  static constexpr double kAbsoluteRounding = 1.0e-30;
  double maxAbsX_ = 0, maxAbsY_ = 0;
  bool bounded_ = true;
};

// False only when a fit's area for a diagonal, diagonal * scaled / norm / 2
// as the fits compute it in double, is certainly not above `best`. Squared
// on both sides to spare the square roots and the division; the spare factor
// is far above the dozen roundings either side takes.
inline bool AreaMayExceed(ShapePoint pi, ShapePoint pj, double scaled, const BaseLine& line, double best) {
  constexpr double kAreaSpare = 1.0 + 1.0e-9;
  const double dx = static_cast<double>(pi.x) - pj.x, dy = static_cast<double>(pi.y) - pj.y;
  const double bound = (dx * dx + dy * dy) * (scaled * scaled) * (0.25 * kAreaSpare);
  return !(bound <= best * best * line.normSquared());
}

struct Climb {
  int apex;
  double distance;  // of the apex from the line
};

// Walks from start while the distance does not drop; stops before bound. The
// apex is the last point reached.
Climb ClimbFrom(std::span<const ShapePoint> points, const BaseLine& line, int start, int bound);

// The same walk, with the distance left scaled (not divided by the norm).
// Scaled distances are whole numbers no closer than single precision allows,
// so they order apexes exactly as the divided ones do.
inline Climb ClimbScaled(std::span<const ShapePoint> points, const BaseLine& line, int start, int bound) {
  Climb r{start, 0};
  for (int k = start; k < bound; ++k) {
    const double d = line.scaledDistance(points[k]);
    if (d < r.distance) break;
    r.distance = d;
    r.apex = k;
  }
  return r;
}

// Gives exactly ClimbFrom's answer, but skips stretches of the stroke along
// which every step moves away from the line by more than single-precision
// rounding could hide, so that no distance there can drop. On a smooth outline
// a climb then costs a few dozen operations instead of one per point.
class ClimbIndex {
 public:
  explicit ClimbIndex(std::span<const ShapePoint> points);
  Climb climb(const BaseLine& line, int start, int bound) const;

 private:
  // Bounding box of the steps p[k] - p[k-1] over a run of k: min x, max x,
  // min y, max y.
  struct StepBox {
    double bound[4];
  };
  // A k in [from, to] such that every step before it, from `from` on, is
  // certain to raise ux*x + uy*y by more than margin.
  int passRisingSteps(double ux, double uy, double margin, int from, int to) const;
  std::span<const ShapePoint> points_;
  StrokeMagnitude magnitude_;
  // Runs of 2^l steps from every k: runs_[l * n + k] covers steps k .. k + 2^l - 1.
  std::vector<StepBox> runs_;
  bool usable_ = false;
};

}  // namespace shape
