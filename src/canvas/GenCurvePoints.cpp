#include "canvas/GenCurvePoints.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

float distance(gfx::Point a, gfx::Point b) {
  const float dx = a.x - b.x, dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

// Spacing is a little under density x size, so that rounding never leaves a gap.
constexpr float kSpacingFactor = 0.96875f;
// Samples per 2 x (density x size) of path: several candidates between dabs.
constexpr float kSamplesPerSpacing = 16.0f;
// Past this many segments the speed mean halves its weight of old strokes.
constexpr unsigned kDistNumLimit = 20000;

}  // namespace

void GenCurvePoints::setMaxSpeedSize(float a, float b) {
  a = std::max(1.0f, a);
  b = std::max(1.0f, b);
  maxSize_ = std::max(a, b);
  minSize_ = std::min(a, b);
  isConstSize_ = a == b;
  isFaster2Narrower_ = a < b;
}

void GenCurvePoints::setMaxSize(float x) {
  if (!isConstSize_ && minSize_ > x) {
    maxSize_ = minSize_;
  } else {
    maxSize_ = std::max(1.0f, x);
  }
}

void GenCurvePoints::setMinSize(float x) {
  if (!isConstSize_) minSize_ = std::min(std::max(1.0f, x), maxSize_);
}

void GenCurvePoints::setSpeedSenseFactor(float k) { speedSenseFactor_ = std::clamp(k, 0.0f, 1.0f); }

void GenCurvePoints::setDensityFactor(float d) { densityFactor_ = std::max(0.0f, d); }

void GenCurvePoints::newBeginningWithPoint(gfx::Point p) {
  curLocation_ = preLocation_ = p;
  preSize_ = -1;
  if (!isConstSize_ && maxSize_ != minSize_) {
    const float mean = totalDist_ / static_cast<float>(distNum_);
    sizeFactor_ = isFaster2Narrower_ ? (maxSize_ + minSize_) * mean * 0.5f : (maxSize_ + minSize_) / (2 * mean);
  }
  if (distNum_ > kDistNumLimit) {
    distNum_ >>= 1;
    totalDist_ *= 0.5f;
  }
}

int GenCurvePoints::generate(gfx::Point p, std::vector<gfx::Point>& points, std::vector<float>& sizes,
                             bool toPoint) {
  const gfx::Point q = curLocation_, p0 = preLocation_;
  const float v = std::max(1.0f, distance(p, q));
  const bool first = preSize_ == -1;

  const bool constant = isConstSize_ || maxSize_ == minSize_;
  float newSize = maxSize_;
  if (!constant) {
    const float raw = std::clamp(isFaster2Narrower_ ? sizeFactor_ / v : sizeFactor_ * v, minSize_, maxSize_);
    if (first) {
      newSize = raw;
      curSize_ = preSize_ = raw;
    } else {
      newSize = (1 - speedSenseFactor_) * curSize_ + speedSenseFactor_ * raw;
    }
  }
  const bool evenSize = constant || first;

  totalDist_ += v;
  distNum_ += 1;

  const float a = preSize_, b = curSize_;
  const float m0 = (a + b) / 2, m1 = (newSize + b) / 2;
  const float low = std::min(m0, m1);
  const float divisor = densityFactor_ * low < 1 ? 2.0f : 2 * densityFactor_ * low;
  const int n = static_cast<int>((v + distance(p0, q)) * kSamplesPerSpacing / divisor + 1);

  std::vector<gfx::Point> outPoints;
  std::vector<float> outSizes;
  try {
    outPoints.reserve(static_cast<std::size_t>(n));
    outSizes.reserve(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    return -1;
  }

  // position(t) = M0 + (Q - P0) t + ((P0 - 2Q + p) / 2) t^2, from midpoint
  // (P0 + Q)/2 through control Q to midpoint (Q + p)/2; at the stroke's end
  // the curve goes on to p itself: position(t) = M0 + (Q - P0) t +
  // ((P0 - 3Q + 2p) / 2) t^2. Short moves leave Q behind the finger, so
  // stopping halfway could leave much of the stroke undrawn.
  const gfx::Point m = {(p0.x + q.x) / 2, (p0.y + q.y) / 2};
  const gfx::Point lin = {q.x - p0.x, q.y - p0.y};
  const float pull = toPoint ? 2.0f : 1.0f, back = 1 + pull;
  const gfx::Point quad = {(p0.x - back * q.x + pull * p.x) / 2, (p0.y - back * q.y + pull * p.y) / 2};
  const float sizeLin = b - a, sizeQuad = (a - 2 * b + newSize) / 2;

  int skip = 0;
  if (first) {
    outPoints.push_back(q);
    outSizes.push_back(newSize);
    latestGenPoint_ = q;
    latestGenPointSize_ = newSize;
    skip = 1;
  }
  const float step = static_cast<float>(1.0 / n);
  float t = 0;
  for (int j = 1; j <= n - skip; ++j) {
    t += step;
    const gfx::Point pos = {m.x + lin.x * t + quad.x * t * t, m.y + lin.y * t + quad.y * t * t};
    if (evenSize) {
      if (distance(pos, latestGenPoint_) > std::max(1.0f, densityFactor_ * newSize * kSpacingFactor)) {
        outPoints.push_back(pos);
        outSizes.push_back(newSize);
        latestGenPoint_ = pos;
      }
    } else {
      const float z = m0 + sizeLin * t + sizeQuad * t * t;
      const float threshold = std::max(1.0f, densityFactor_ * kSpacingFactor * 0.5f * (z + latestGenPointSize_));
      if (distance(pos, latestGenPoint_) > threshold) {
        outPoints.push_back(pos);
        outSizes.push_back(z);
        latestGenPoint_ = pos;
        latestGenPointSize_ = z;
      }
    }
  }

  if (outPoints.empty()) return 0;
  preLocation_ = curLocation_;
  curLocation_ = p;
  preSize_ = curSize_;
  curSize_ = newSize;
  points = std::move(outPoints);
  sizes = std::move(outSizes);
  return static_cast<int>(points.size());
}
