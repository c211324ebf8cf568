#include "legacy/PointsArrayOfQuardCurveLine.h"

#include <algorithm>
#include <cmath>

namespace {

// Speed bands, slowest first: the segment length exceeds this many of the
// six thresholds. The band between the third and fourth threshold has no
// size of its own in the ladder and keeps the size of the band below it, so
// the size never jumps past a band.
constexpr std::array<int, PointsArrayOfQuardCurveLine::kBands + 1> kSizeOfBand = {0, 1, 2, 2, 3, 4, 5};

// Ladder steps of the speed-dependent sizes: size i is M - kSizeDrop[i]·k·q·s.
constexpr std::array<float, 5> kSizeDrop = {0, 1, 2, 4, 8};

gfx::Point midpoint(gfx::Point a, gfx::Point b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

}  // namespace

void PointsArrayOfQuardCurveLine::beginOneNewQuardCurveLineWithBrushMaxSize(float size, float scale,
                                                                            bool isBrush04) {
  const float s = scale > 0 ? scale : 1.0f;
  brushMaxSize_ = size * s;
  if (isBrush04) brushMaxSize_ /= 2;
  isBrush04_ = isBrush04;
  brushSize_ = 1.0f;
  ctrlCount_ = 0;
  isEnd_ = false;

  const float M = brushMaxSize_;
  const float m = M / s;
  const float q = std::sqrt(m / 32);
  const float k = m >= 2 ? (m / 10) * q : 0.0f;
  const float a = m <= 10 ? 5.0f : (m <= 20 ? 10.0f : 15.0f);
  for (int i = 0; i < kBands; ++i) distance_[i] = ((i + 1) * a + 5) * s;
  for (std::size_t i = 0; i < kSizeDrop.size(); ++i) bandSize_[i] = M - kSizeDrop[i] * k * q * s;
  bandSize_[5] = std::sqrt(m / 2);
  sizeBase_ = 150 * std::sqrt(32 / m);
}

void PointsArrayOfQuardCurveLine::beginEraseOperation() {
  ctrlCount_ = 0;
  isEnd_ = false;
}

float PointsArrayOfQuardCurveLine::targetSizeForSpeed(float length) const {
  int band = 0;
  while (band < kBands && length > distance_[band]) ++band;
  const int index = kSizeOfBand[band];
  return bandSize_[isBrush04_ ? kBands - 1 - index : index];
}

bool PointsArrayOfQuardCurveLine::canGetQuardCurveLinePointsAfterSendingPoint(gfx::Point p, bool isEndPoint,
                                                                             bool isInterpolation) {
  return addPoint(p, isEndPoint, isInterpolation, Run::Brush);
}

bool PointsArrayOfQuardCurveLine::canGetEraserPointsAfterSendingPoint(gfx::Point p, bool isEndPoint,
                                                                     bool isInterpolation) {
  return addPoint(p, isEndPoint, isInterpolation, Run::Eraser);
}

void PointsArrayOfQuardCurveLine::shift() {
  ctrl_[0] = ctrl_[1];
  ctrl_[1] = ctrl_[2];
}

void PointsArrayOfQuardCurveLine::store(gfx::Point p) {
  shift();
  ctrl_[2] = p;
}

bool PointsArrayOfQuardCurveLine::addPoint(gfx::Point p, bool isEndPoint, bool isInterpolation, Run run) {
  isEnd_ = isEndPoint;
  const int before = ctrlCount_;
  if (before == 0) {
    ctrl_[2] = p;
    ctrlCount_ = 1;
    return false;
  }
  if (run == Run::Brush && before < 3) {
    // A stroke that starts slowly, or with a small brush, starts at full size.
    const float dx = p.x - ctrl_[2].x, dy = p.y - ctrl_[2].y;
    const float M = brushMaxSize_;
    if (dx * dx + dy * dy < M * M * 0.5f || M < 3) brushSize_ = M;
  }
  store(p);
  if (before < 3) ++ctrlCount_;
  if (ctrlCount_ < 3) {
    if (!isEndPoint && !isInterpolation) return false;
    if (isInterpolation && !isEndPoint) {
      while (ctrlCount_ < 3) {
        store(p);
        ++ctrlCount_;
      }
    }
  }
  bSplineLinePointsInfo(run);
  return true;
}

void PointsArrayOfQuardCurveLine::bSplineLinePointsInfo(Run run) {
  result_.points.clear();
  if (run == Run::Brush) result_.sizes.clear();
  if (ctrlCount_ == 3) {
    search(run, false);
    if (isEnd_) {
      // The last half-segment reaches the final point.
      shift();
      search(run, true);
    }
  } else if (isEnd_) {
    for (int i = ctrlCount_; i < 3; ++i) shift();
    search(run, false);
  }
}

void PointsArrayOfQuardCurveLine::search(Run run, bool isLast) {
  if (run == Run::Brush) {
    searchPoints(isLast);
  } else {
    searchEraserPoints(isLast);
  }
}

namespace {

// The segment B(u) = start + u·b + u²·c from the midpoint of p0 and p1 (u = 0)
// to the midpoint of p1 and p2 (u = 1), sampled at u = t / 10 with t running
// from 0 by 0.01 up to 10, accumulated as the stroke code always has.
template <typename Visit>
void sampleSegment(const std::array<gfx::Point, 3>& p, Visit visit) {
  const gfx::Point start = midpoint(p[0], p[1]);
  const gfx::Point b{p[1].x - p[0].x, p[1].y - p[0].y};
  const gfx::Point c{(p[0].x - 2 * p[1].x + p[2].x) / 2, (p[0].y - 2 * p[1].y + p[2].y) / 2};
  for (float t = 0; t <= 10; t = static_cast<float>(static_cast<double>(t) + 0.01)) {
    const float u = t * 0.1f;
    visit(gfx::Point{start.x + u * b.x + u * u * c.x, start.y + u * b.y + u * u * c.y});
  }
}

}  // namespace

void PointsArrayOfQuardCurveLine::searchPoints(bool isLast) {
  const gfx::Point start = midpoint(ctrl_[0], ctrl_[1]);
  const gfx::Point end = midpoint(ctrl_[1], ctrl_[2]);
  const float length = std::hypot(end.x - start.x, end.y - start.y);
  // The final half-segment keeps the size it reached: there is no new speed
  // to move towards.
  const float step = isLast ? 0.0f : (targetSizeForSpeed(length) - brushSize_) / sizeBase_;
  gfx::Point last = start;
  if (sizeEmittable()) {
    result_.points.push_back(start);
    result_.sizes.push_back(brushSize_);
  }
  sampleSegment(ctrl_, [&](gfx::Point q) {
    // About one point a pixel: a sample within a whole pixel of the last in
    // both axes adds nothing.
    if (std::trunc(q.x - last.x) == 0 && std::trunc(q.y - last.y) == 0) return;
    brushSize_ = std::max(1.0f, std::min(brushSize_ + step, brushMaxSize_));
    result_.points.push_back(q);
    result_.sizes.push_back(brushSize_);
    last = q;
  });
}

void PointsArrayOfQuardCurveLine::searchEraserPoints(bool /*isLast*/) {
  gfx::Point last = midpoint(ctrl_[0], ctrl_[1]);
  if (sizeEmittable()) result_.points.push_back(last);
  sampleSegment(ctrl_, [&](gfx::Point q) {
    if (q.x == last.x && q.y == last.y) return;
    result_.points.push_back(q);
    last = q;
  });
}
