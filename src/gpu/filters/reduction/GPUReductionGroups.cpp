#include "gpu/filters/reduction/GPUReductionGroups.h"

#include "gpu/GPUFilterRegistry.h"

GPUAverageLuminanceThresholdFilter::GPUAverageLuminanceThresholdFilter()
    : luminosityFilter_(std::make_shared<GPULuminosity>()),
      luminanceThresholdFilter_(std::make_shared<GPULuminanceThresholdFilter>()) {
  addFilter(luminosityFilter_);
  addFilter(luminanceThresholdFilter_);
  // The callback runs on the processing queue, where the threshold's uniform
  // update is applied at once: the frame just measured is drawn with it.
  luminosityFilter_->setLuminosityProcessingFinishedBlock([this](float luminosity, CMTime) {
    luminanceThresholdFilter_->setThreshold(thresholdMultiplier_ * luminosity);
  });
  setInitialFilters({luminosityFilter_, luminanceThresholdFilter_});
  setTerminalFilter(luminanceThresholdFilter_);
  setThresholdMultiplier(1.0f);
}

GPUAverageLuminanceThresholdFilter::~GPUAverageLuminanceThresholdFilter() {
  // Whoever still holds the luminosity filter must not call back into this group.
  luminosityFilter_->setLuminosityProcessingFinishedBlock(nullptr);
}

void registerReductionGroups() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  using T = GPUAverageLuminanceThresholdFilter;
  r.registerClass(C::of<T>("GPUAverageLuminanceThresholdFilter").message("setThresholdMultiplier:", &T::setThresholdMultiplier));
}
