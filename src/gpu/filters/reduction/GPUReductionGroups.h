#pragma once
// Groups that steer their output by a number measured on the GPU: a
// threshold that follows the frame's mean luminance, and a motion detector
// that reports where and how much the picture moved.
#include <atomic>
#include <functional>
#include <memory>

#include "gpu/GPUFilterGroup.h"
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"
#include "gpu/filters/groups/GPUFilterGroups.h"
#include "gpu/filters/reduction/GPUReductionFilters.h"

// A luminance threshold at thresholdMultiplier x the frame's mean luminance:
// the luminosity filter measures each frame before the threshold filter
// draws it.
class GPUAverageLuminanceThresholdFilter : public GPUFilterGroup {
 public:
  GPUAverageLuminanceThresholdFilter();
  ~GPUAverageLuminanceThresholdFilter() override;

  float thresholdMultiplier() const { return thresholdMultiplier_; }
  void setThresholdMultiplier(float v) { thresholdMultiplier_ = v; }

  const std::shared_ptr<GPULuminosity>& luminosityFilter() const { return luminosityFilter_; }
  const std::shared_ptr<GPULuminanceThresholdFilter>& luminanceThresholdFilter() const {
    return luminanceThresholdFilter_;
  }

 private:
  std::shared_ptr<GPULuminosity> luminosityFilter_;
  std::shared_ptr<GPULuminanceThresholdFilter> luminanceThresholdFilter_;
  std::atomic<float> thresholdMultiplier_{1.0f};
};

// Two inputs, the current frame and its low pass: a pixel whose colour lies
// at least 0.2 from its low pass writes its own position (x, y, 1, 1),
// every other pixel zero.
extern const char* const kGPUMotionComparisonFragmentShaderString;

// Finds what moves: each pixel is compared with the low pass of the frames
// before it, and the mean of the comparison gives the moving pixels'
// centroid (0..1 in texture coordinates) and their share of the frame (the
// intensity). A frame without motion reports intensity 0 at the centroid
// (0, 0). The callback runs on the processing queue.
class GPUMotionDetector : public GPUFilterGroup {
 public:
  using MotionDetectionBlock = std::function<void(gfx::Point motionCentroid, float motionIntensity, CMTime frameTime)>;

  GPUMotionDetector();
  ~GPUMotionDetector() override;

  float lowPassFilterStrength() const { return lowPassFilter_->filterStrength(); }
  void setLowPassFilterStrength(float v) { lowPassFilter_->setFilterStrength(v); }
  void setMotionDetectionBlock(MotionDetectionBlock block);

  // The group's own targets go; the comparison keeps feeding the average.
  void removeAllTargets() override;

  const std::shared_ptr<GPULowPassFilter>& lowPassFilter() const { return lowPassFilter_; }
  const std::shared_ptr<GPUTwoInputFilter>& frameComparisonFilter() const { return frameComparisonFilter_; }
  const std::shared_ptr<GPUAverageColor>& averageColor() const { return averageColor_; }

 private:
  std::shared_ptr<GPULowPassFilter> lowPassFilter_;
  std::shared_ptr<GPUTwoInputFilter> frameComparisonFilter_;
  std::shared_ptr<GPUAverageColor> averageColor_;
  MotionDetectionBlock motionDetectionBlock_;  // processing queue only
};

void registerReductionGroups();
