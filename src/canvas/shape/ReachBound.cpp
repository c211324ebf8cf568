#include "canvas/shape/ReachBound.h"

#include <bit>

namespace shape {

ReachBound::ReachBound(std::span<const ShapePoint> points) : magnitude_(points), suffixes_(points.size() + 1) {
  if (!usable()) return;
  for (std::size_t k = points.size(); k-- > 0;) {
    suffixes_[k] = suffixes_[k + 1];
    suffixes_[k].include(points[k]);
  }
}

FineReachBound::FineReachBound(std::span<const ShapePoint> points)
    : magnitude_(points), count_(static_cast<int>(points.size())) {
  const int levels = std::max(1, static_cast<int>(std::bit_width(points.size())));
  table_.assign(static_cast<std::size_t>(levels) * count_ * kDirections, 0.0);
  for (int k = 0; k < count_; ++k) {
    const double x = points[k].x, y = points[k].y;
    for (int d = 0; d < kDirections; ++d) table_[static_cast<std::size_t>(k) * kDirections + d] = kTurn[d].x * x + kTurn[d].y * y;
  }
  for (int l = 1; l < levels; ++l) {
    const int half = 1 << (l - 1);
    for (int k = 0; k + 2 * half <= count_; ++k) {
      double* out = &table_[(static_cast<std::size_t>(l) * count_ + k) * kDirections];
      for (int d = 0; d < kDirections; ++d) out[d] = std::max(along(l - 1, k, d), along(l - 1, k + half, d));
    }
  }
}

void FineReachBound::reachOver(int from, int to, const int (&directions)[4], double (&out)[4]) const {
  // Two runs of the same length cover the points from `from` to `to`,
  // overlapping: a greatest value is unchanged by counting points twice.
  const int level = std::bit_width(static_cast<unsigned>(to - from)) - 1;
  const int second = to - (1 << level);
  for (int k = 0; k < 4; ++k)
    out[k] = std::max(along(level, from, directions[k]), along(level, second, directions[k]));
}

bool FineReachBound::mayExceed(const BaseLine& line, ShapePoint pi, ShapePoint pj, int nearFrom, int nearTo,
                               int farFrom, double best) const {
  const double a = line.a(), b = line.b(), c = line.c();
  // The cone of directions k, k + 1 holding (a, b): both mixes whole and not
  // negative, so exact. Every fourth direction is one of the eight, so the
  // cone lies within the coarse one. A line not found in any (never
  // expected) is not passed over.
  int cone = -1;
  double alpha = 0, beta = 0;
  const int coarse = ReachBound::coneOf(a, b) * 4;
  for (int k = coarse; k < coarse + 4; ++k) {
    const Direction& first = kTurn[k];
    const Direction& second = kTurn[(k + 1) % kDirections];
    alpha = a * second.y - b * second.x;
    beta = first.x * b - first.y * a;
    if (alpha >= 0 && beta >= 0) {
      cone = k;
      break;
    }
  }
  if (cone < 0) return true;
  const int directions[4] = {cone, (cone + 1) % kDirections, (cone + kDirections / 2) % kDirections,
                             (cone + 1 + kDirections / 2) % kDirections};
  // As ReachBound's, with mixes up to three times larger: still far inside
  // this margin.
  constexpr double kBoundRounding = 1.0e-12;
  const double spare =
      magnitude_.valueRounding(line) +
      kBoundRounding * 4 * ((std::fabs(a) + std::fabs(b)) * (magnitude_.maxAbsX() + magnitude_.maxAbsY()) + std::fabs(c));
  auto scaledBound = [&](int from, int to) {
    if (from >= to) return 0.0;
    double reach[4];
    reachOver(from, to, directions, reach);
    const double up = alpha * reach[0] + beta * reach[1];
    const double down = alpha * reach[2] + beta * reach[3];
    return std::max(c + up, down - c) + spare;
  };
  return AreaMayExceed(pi, pj, scaledBound(farFrom, count_) + scaledBound(nearFrom, nearTo), line, best);
}

}  // namespace shape
