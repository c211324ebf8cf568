#pragma once
// Touch points of one stroke of the legacy canvas turned into evenly sampled
// points of a smooth curve: a window of three control points, and for each
// new point the quadratic B-spline segment between the window's midpoints,
// sampled finely and thinned to about one point a backing pixel. Brush runs
// carry a dab size per point that follows the finger's speed; eraser runs
// carry points only. Plain geometry, no drawing.
#include <array>
#include <vector>

#include "platform/graphics/Geometry.h"

class PointsArrayOfQuardCurveLine {
 public:
  static constexpr int kBands = 6;

  // The result of the last point that answered true; replaced by the next.
  struct PointsWithSizes {
    std::vector<gfx::Point> points;
    std::vector<float> sizes;  // one per point for brush runs, empty for eraser runs
  };

  // size: the tool size in points; scale: backing pixels per point. Brush 4
  // halves the size and runs its sizes the other way (fast strokes widen).
  void beginOneNewQuardCurveLineWithBrushMaxSize(float size, float scale, bool isBrush04);
  // Adds a point of a brush stroke (backing pixels); true when new points are
  // ready. isEndPoint finishes the curve at the point; isInterpolation asks
  // for points even while the window is not yet full.
  bool canGetQuardCurveLinePointsAfterSendingPoint(gfx::Point p, bool isEndPoint, bool isInterpolation);
  const PointsWithSizes& GetQuardCurveLinePointsWithSizes() const { return result_; }

  // An eraser run keeps the sizes and thresholds of the last brush stroke.
  void beginEraseOperation();
  bool canGetEraserPointsAfterSendingPoint(gfx::Point p, bool isEndPoint, bool isInterpolation);
  const std::vector<gfx::Point>& GetEraserPoints() const { return result_.points; }

  // The stroke's ladder, for callers that show or test it.
  float brushMaxSize() const { return brushMaxSize_; }
  float brushSize() const { return brushSize_; }
  float sizeBase() const { return sizeBase_; }
  const std::array<float, kBands>& distances() const { return distance_; }
  const std::array<float, kBands>& brushSizes() const { return bandSize_; }
  // The target size for a segment of the given length in backing pixels.
  float targetSizeForSpeed(float length) const;

 private:
  enum class Run { Brush, Eraser };
  bool addPoint(gfx::Point p, bool isEndPoint, bool isInterpolation, Run run);
  void shift();
  void store(gfx::Point p);
  void bSplineLinePointsInfo(Run run);
  void search(Run run, bool isLast);
  void searchPoints(bool isLast);
  void searchEraserPoints(bool isLast);
  bool sizeEmittable() const { return brushSize_ >= 1 && brushSize_ <= brushMaxSize_; }

  float brushMaxSize_ = 0;
  float brushSize_ = 0;
  std::array<gfx::Point, 3> ctrl_{};
  int ctrlCount_ = 0;
  std::array<float, kBands> distance_{};
  std::array<float, kBands> bandSize_{};
  float sizeBase_ = 0;
  bool isEnd_ = false;
  bool isBrush04_ = false;
  PointsWithSizes result_;
};
