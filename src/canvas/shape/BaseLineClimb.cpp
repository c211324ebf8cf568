#include "canvas/shape/BaseLineClimb.h"

#include <algorithm>
#include <bit>

namespace shape {

namespace {

// Past this magnitude the step bounds are not trusted and climbs walk point
// by point (no canvas point comes near it).
constexpr double kIndexedCoordinateLimit = 1.0e8;

// Short climbs (the rule on a jittery stroke) are walked point by point
// before the index is asked, and again after every uncertain step.
constexpr int kStepsBeforeIndex = 6;

}  // namespace

Climb ClimbFrom(std::span<const ShapePoint> p, const BaseLine& line, int start, int bound) {
  Climb r = ClimbScaled(p, line, start, bound);
  r.distance /= line.norm();
  return r;
}

StrokeMagnitude::StrokeMagnitude(std::span<const ShapePoint> points) {
  for (const ShapePoint& q : points) {
    if (!(std::fabs(q.x) <= kIndexedCoordinateLimit && std::fabs(q.y) <= kIndexedCoordinateLimit)) bounded_ = false;
    maxAbsX_ = std::max(maxAbsX_, static_cast<double>(std::fabs(q.x)));
    maxAbsY_ = std::max(maxAbsY_, static_cast<double>(std::fabs(q.y)));
  }
}

ClimbIndex::ClimbIndex(std::span<const ShapePoint> points) : points_(points), magnitude_(points) {
  const std::size_t n = points.size();
  usable_ = n >= 2 && magnitude_.bounded();
  if (!usable_) return;

  // Step 0 has no predecessor; a zero box never passes as rising.
  const int count = static_cast<int>(n);
  const int levels = std::bit_width(n);
  runs_.assign(n * static_cast<std::size_t>(levels), StepBox{{0, 0, 0, 0}});
  for (int k = 1; k < count; ++k) {
    const double dx = static_cast<double>(points[k].x) - points[k - 1].x;
    const double dy = static_cast<double>(points[k].y) - points[k - 1].y;
    runs_[k] = {{dx, dx, dy, dy}};
  }
  for (int l = 1; l < levels; ++l) {
    const int half = 1 << (l - 1);
    for (int k = 0; k + 2 * half <= count; ++k) {
      const StepBox& a = runs_[(l - 1) * n + k];
      const StepBox& b = runs_[(l - 1) * n + k + half];
      runs_[l * n + k] = {{std::min(a.bound[0], b.bound[0]), std::max(a.bound[1], b.bound[1]),
                           std::min(a.bound[2], b.bound[2]), std::max(a.bound[3], b.bound[3])}};
    }
  }
}

int ClimbIndex::passRisingSteps(double ux, double uy, double margin, int from, int to) const {
  // The least of ux*dx + uy*dy over a box lies at the corner facing away.
  const int xSide = ux >= 0 ? 0 : 1, ySide = uy >= 0 ? 2 : 3;
  const std::size_t n = points_.size();
  // Binary lifting: whole runs are passed from the longest down, without
  // branching on the outcome.
  int k = from;
  for (int l = std::bit_width(static_cast<unsigned>(to - from)) - 1; l >= 0; --l) {
    const int length = 1 << l;
    const bool fits = k + length <= to;
    const StepBox& box = runs_[l * n + static_cast<std::size_t>(fits ? k : from)];
    const bool rises = ux * box.bound[xSide] + uy * box.bound[ySide] > margin;
    k += fits && rises ? length : 0;
  }
  return k;
}

Climb ClimbIndex::climb(const BaseLine& line, int start, int bound) const {
  if (!usable_ || bound - start <= kStepsBeforeIndex) return ClimbFrom(points_, line, start, bound);
  Climb r{start, 0};
  // Each of value(p[k-1]) and value(p[k]) is within `rounding` of the exact
  // a*x + b*y + c. When the exact value grows by more than twice that from a
  // point where the computed one is not negative, the computed one cannot
  // fall, and neither can its truncated magnitude: such steps never end a
  // climb. Mirrored for the negative side.
  const double margin = 2 * magnitude_.valueRounding(line);
  float value = line.value(points_[start]);
  r.distance = BaseLine::scaled(value);
  int walked = 0;
  for (int k = start + 1; k < bound;) {
    if (walked >= kStepsBeforeIndex) {
      walked = 0;
      const double sign = value >= 0 ? 1.0 : -1.0;
      const int uncertain = passRisingSteps(sign * line.a(), sign * line.b(), margin, k, bound);
      if (uncertain > k) {
        k = uncertain;
        r.apex = k - 1;
        value = line.value(points_[r.apex]);
        r.distance = BaseLine::scaled(value);
        if (k == bound) break;
      }
    }
    const float next = line.value(points_[k]);
    const double d = BaseLine::scaled(next);
    if (d < r.distance) break;
    r.distance = d;
    r.apex = k;
    value = next;
    ++k;
    ++walked;
  }
  r.distance /= line.norm();
  return r;
}

}  // namespace shape
