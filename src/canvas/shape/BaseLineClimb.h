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
  BaseLine(ShapePoint pi, ShapePoint pj);
  bool degenerate() const { return a_ == 0 && b_ == 0; }
  // a*x + b*y + c in single precision: its sign tells the side of the line.
  float value(ShapePoint q) const { return af_ * q.x + bf_ * q.y + cf_; }
  // The distance times the line's norm: climbs compare these, which orders
  // points as the distances do without a division per point.
  static double scaled(float value) { return std::fabs(std::trunc(static_cast<double>(value))); }
  double scaledDistance(ShapePoint q) const { return scaled(value(q)); }
  double norm() const { return norm_; }
  float a() const { return af_; }
  float b() const { return bf_; }
  float c() const { return cf_; }

 private:
  double a_, b_, c_, norm_;
  float af_, bf_, cf_;
};

struct Climb {
  int apex;
  double distance;  // of the apex from the line
};

// Walks from start while the distance does not drop; stops before bound. The
// apex is the last point reached.
Climb ClimbFrom(std::span<const ShapePoint> points, const BaseLine& line, int start, int bound);

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
  // Largest rounding error of BaseLine::value over the stroke, with room to
  // spare for the double arithmetic of the step bounds.
  double roundingBound(const BaseLine& line) const;

  std::span<const ShapePoint> points_;
  // Runs of 2^l steps from every k: runs_[l * n + k] covers steps k .. k + 2^l - 1.
  std::vector<StepBox> runs_;
  double maxAbsX_ = 0, maxAbsY_ = 0;
  bool usable_ = false;
};

}  // namespace shape
