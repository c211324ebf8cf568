#pragma once
// Groups that steer their output by a number measured on the GPU: a
// threshold that follows the frame's mean luminance, and a motion detector
// that reports where and how much the picture moved.
#include <atomic>
#include <functional>
#include <memory>

#include "gpu/GPUFilterGroup.h"
#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"
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

void registerReductionGroups();
