#include "canvas/shape/CornerFinding.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/shape/ShapeGeometry.h"

namespace shape {

namespace {

// Sum of the distances of the neighbourhood from the line through point i at
// the given direction.
double directionCost(std::span<const ShapePoint> p, int i, int lo, int hi, double degrees) {
  double cost = 0;
  if (degrees == 90.0) {
    for (int j = lo; j <= hi; ++j) cost += std::fabs(static_cast<double>(p[i].x) - p[j].x);
    return cost;
  }
  const double t = std::tan(degrees * kPi / 180.0);
  const double norm = std::sqrt(t * t + 1);
  for (int j = lo; j <= hi; ++j) {
    const double dx = static_cast<double>(p[i].x) - p[j].x;
    const double dy = static_cast<double>(p[i].y) - p[j].y;
    cost += std::fabs(t * dx - dy) / norm;
  }
  return cost;
}

}  // namespace

double TangentAngleAt(std::span<const ShapePoint> p, int i) {
  const int n = static_cast<int>(p.size());
  const int lo = std::max(0, i - 2);
  const int hi = std::min(n - 1, i + 2);
  constexpr float kCoarseStep = 7.2f;
  constexpr float kFineHalfWidth = 3.6f;
  constexpr float kFineStep = 0.2f;

  double best = 2147483647.0;
  double coarse = 0;
  for (double a = 0; a < 180; a += kCoarseStep) {
    const double cost = directionCost(p, i, lo, hi, a);
    if (cost < best) {
      best = cost;
      coarse = a;
    }
  }
  // A fine direction must beat the coarse minimum strictly; when none does the
  // answer is 0, which is exact for horizontal runs.
  double result = 0;
  for (double a = coarse - kFineHalfWidth; a <= coarse + kFineHalfWidth; a += kFineStep) {
    const double cost = directionCost(p, i, lo, hi, a);
    if (cost < best) {
      best = cost;
      result = a;
    }
  }
  return result;
}

CurvatureMeans CurvatureProfile(std::span<const ShapePoint> p, std::vector<double>& kappa) {
  const int n = static_cast<int>(p.size());
  kappa.assign(p.size(), 0.0);
  std::vector<double> theta(p.size());
  for (int i = 0; i < n; ++i) theta[i] = TangentAngleAt(p, i);
  for (int i = 1; i + 1 < n; ++i) {
    if (p[i] == p[i - 1]) continue;
    double d = DistanceBetweenPoints(p[i - 1], p[i + 1]);
    if (d == 0) d = 1;
    kappa[i] = (theta[i + 1] - theta[i - 1]) / d;
  }
  double posSum = 0, negSum = 0;
  int posCount = 0, negCount = 0;
  for (int i = 2; i <= n - 4; ++i) {
    if (kappa[i] >= 0) {
      posSum += kappa[i];
      ++posCount;
    }
    if (kappa[i] <= 0) {
      negSum += kappa[i];
      ++negCount;
    }
  }
  constexpr float kInf = std::numeric_limits<float>::infinity();
  return {posCount ? static_cast<float>(posSum / posCount) : kInf,
          negCount ? static_cast<float>(negSum / negCount) : -kInf};
}

double SegmentLengths(std::span<const ShapePoint> p, std::vector<double>& lengths) {
  const int n = static_cast<int>(p.size());
  lengths.assign(p.size(), 0.0);
  if (n == 0) return 0;
  double sum = 0;
  for (int i = 1; i + 1 < n; ++i) {
    if (p[i] == p[i - 1]) continue;
    lengths[i] = DistanceBetweenPoints(p[i - 1], p[i]);
    sum += lengths[i];
  }
  lengths.front() = 1000.0;
  lengths.back() = 1000.0;
  return sum / n;
}

std::vector<int> CurvatureCorners(float factor, float divisor, std::span<const ShapePoint> p) {
  const int n = static_cast<int>(p.size());
  std::vector<int> out;
  if (n == 0) return out;
  std::vector<double> kappa, lengths;
  const CurvatureMeans means = CurvatureProfile(p, kappa);
  const double meanLength = SegmentLengths(p, lengths);
  out.push_back(0);
  for (int i = 4; i <= n - 5; ++i) {
    // A divisor of 0 puts the length limit at infinity: every step passes
    // unless the stroke has no length at all.
    const bool shortStep = divisor != 0 ? lengths[i] < meanLength / divisor : meanLength > 0;
    const bool bent = kappa[i] > factor * means.positive || kappa[i] < factor * means.negative;
    if (shortStep && bent) out.push_back(i);
  }
  out.push_back(n - 1);
  return out;
}

std::vector<int> TurningAngleCorners(std::span<const ShapePoint> p) {
  const int n = static_cast<int>(p.size());
  std::vector<int> out;
  for (int i = 1; i + 1 < n; ++i) {
    const ShapePoint u = p[i] - p[i - 1];
    const ShapePoint v = p[i + 1] - p[i];
    if ((u.x == 0 && u.y == 0) || (v.x == 0 && v.y == 0)) continue;
    if (TurnAngle(u, v) > 15) out.push_back(i);
  }
  return out;
}

std::vector<int> MergeIndexLists(std::span<const int> a, std::span<const int> b) {
  std::vector<int> out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<int> FilterCorners(std::span<const ShapePoint> p, std::span<const int> c,
                               double minDistance, double minAngle) {
  std::vector<int> kept;
  if (c.empty()) return kept;
  const std::size_t m = c.size();
  kept.push_back(c[0]);
  // Distances are between consecutive candidates, not from the last one kept.
  for (std::size_t j = 0; j + 1 < m; ++j) {
    if (DistanceBetweenPoints(p[c[j]], p[c[j + 1]]) >= minDistance && j + 1 != m - 1)
      kept.push_back(c[j + 1]);
  }
  kept.push_back(c[m - 1]);

  const std::size_t s = kept.size() - 1;
  std::vector<int> out;
  out.push_back(kept[0]);
  for (std::size_t j = 1; j < s; ++j) {
    const ShapePoint u = p[kept[j]] - p[kept[j - 1]];
    const ShapePoint v = p[kept[j + 1]] - p[kept[j]];
    if (TurnAngle(u, v) > minAngle) out.push_back(kept[j]);
  }
  if (s == 0 || !(p[kept[s - 1]] == p[kept[s]])) out.push_back(kept[s]);
  return out;
}

ShapeRecord FindInflexionPoints(std::span<const ShapePoint> p) {
  if (p.empty()) return {};
  const std::vector<int> byCurvature = CurvatureCorners(1, 0, p);
  const std::vector<int> byTurning = TurningAngleCorners(p);
  const std::vector<int> merged = MergeIndexLists(byCurvature, byTurning);
  const std::vector<int> corners = FilterCorners(p, merged, 15, 15);
  const std::size_t c = corners.size();
  if (c < 2) return {};
  if (c == 2) return ShapeRecord::makeLine(p.front(), p.back());
  std::vector<ShapePoint> vertices;
  vertices.reserve(c);
  for (std::size_t k = 0; k + 1 < c; ++k) vertices.push_back(p[corners[k]]);
  const bool closed = DistanceBetweenPoints(p.front(), p.back()) < 35 && c >= 4;
  vertices.push_back(closed ? p.front() : p.back());
  return ShapeRecord::makePolyline(vertices);
}

}  // namespace shape
