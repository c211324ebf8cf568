#pragma once
// The stroke generator: turns the touch points of one stroke into dab centres
// and sizes. The stroke is a chain of quadratic curves through the midpoints
// of successive touch points, sampled finely and thinned so that dabs lie a
// fixed fraction of their size apart; the dab size follows the finger's speed.
// Plain computation - it knows nothing of GL.
#include <vector>

#include "platform/graphics/Geometry.h"

class GenCurvePoints {
 public:
  GenCurvePoints() = default;

  // The size at high speed is the smaller one when a < b.
  void setMaxSpeedSize(float a, float b);
  void setMaxSize(float x);
  void setMinSize(float x);
  void setIsConstSize(bool c) { isConstSize_ = c; }
  void setIsFaster2Narrower(bool f) { isFaster2Narrower_ = f; }
  void setSpeedSenseFactor(float k);
  void setDensityFactor(float d);

  void newBeginningWithPoint(gfx::Point p);
  // Adds a touch point. Returns the number of dabs n; when n > 0 the vectors
  // are replaced by the n centres and sizes. 0 (outputs untouched) when no dab
  // is due, -1 when memory for the results is lacking.
  int genWithNewPoint(gfx::Point p, std::vector<gfx::Point>& points, std::vector<float>& sizes) {
    return generate(p, points, sizes, false);
  }
  // The stroke's last point, where the finger lifted: as a touch point, but
  // the last curve runs on to it instead of stopping halfway there.
  int genWithEndPoint(gfx::Point p, std::vector<gfx::Point>& points, std::vector<float>& sizes) {
    return generate(p, points, sizes, true);
  }

  float maxSize() const { return maxSize_; }
  float minSize() const { return minSize_; }
  bool isConstSize() const { return isConstSize_; }
  bool isFaster2Narrower() const { return isFaster2Narrower_; }
  float speedSenseFactor() const { return speedSenseFactor_; }
  float densityFactor() const { return densityFactor_; }
  float sizeFactor() const { return sizeFactor_; }
  float totalDist() const { return totalDist_; }
  unsigned distNum() const { return distNum_; }
  gfx::Point curLocation() const { return curLocation_; }
  gfx::Point preLocation() const { return preLocation_; }

 private:
  int generate(gfx::Point p, std::vector<gfx::Point>& points, std::vector<float>& sizes, bool toPoint);
  float maxSize_ = 100;
  float minSize_ = 1;
  bool isConstSize_ = false;
  bool isFaster2Narrower_ = true;
  float speedSenseFactor_ = 0.5f;
  float densityFactor_ = 0.25f;
  gfx::Point preLocation_;
  gfx::Point curLocation_;
  float preSize_ = -1;
  float curSize_ = 0;
  gfx::Point latestGenPoint_;
  float latestGenPointSize_ = 0;
  float sizeFactor_ = 0;
  // The running mean segment length starts at 100 points.
  float totalDist_ = 5000;
  unsigned distNum_ = 50;
};
