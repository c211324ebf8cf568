#include "gpu/filters/reduction/GPUReductionGroups.h"

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"

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

const char* const kGPUMotionComparisonFragmentShaderString =
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "void main() {\n"
    "  lowp vec3 current = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
    "  lowp vec3 lowPass = texture2D(inputImageTexture2, textureCoordinate2).rgb;\n"
    "  mediump float moved = step(0.2, distance(current, lowPass));\n"
    "  gl_FragColor = moved * vec4(textureCoordinate2, 1.0, 1.0);\n}\n";

GPUMotionDetector::GPUMotionDetector()
    : lowPassFilter_(std::make_shared<GPULowPassFilter>()),
      frameComparisonFilter_(std::make_shared<GPUTwoInputFilter>(kGPUMotionComparisonFragmentShaderString)),
      averageColor_(std::make_shared<GPUAverageColor>()) {
  addFilter(lowPassFilter_);
  addFilter(frameComparisonFilter_);
  // The average is a sink of the comparison, not a member: the group's
  // targets hang on the comparison.
  lowPassFilter_->addTarget(frameComparisonFilter_, 1);
  frameComparisonFilter_->addTarget(averageColor_);
  averageColor_->setColorAverageProcessingFinishedBlock([this](float red, float green, float, float alpha, CMTime t) {
    if (!motionDetectionBlock_) return;
    // No moving pixel: no centroid to divide out.
    const gfx::Point centroid = alpha > 0 ? gfx::Point{red / alpha, green / alpha} : gfx::Point{0, 0};
    motionDetectionBlock_(centroid, alpha, t);
  });
  setInitialFilters({lowPassFilter_, frameComparisonFilter_});
  setTerminalFilter(frameComparisonFilter_);
  setLowPassFilterStrength(0.5f);
}

GPUMotionDetector::~GPUMotionDetector() {
  // Whoever still holds the average must not call back into this group.
  averageColor_->setColorAverageProcessingFinishedBlock(nullptr);
}

void GPUMotionDetector::removeAllTargets() {
  // A pipeline clears its stages' targets each time it chains them again.
  performOnProcessingQueueSync([this] {
    frameComparisonFilter_->removeAllTargets();
    frameComparisonFilter_->addTarget(averageColor_);
  });
}

void GPUMotionDetector::setMotionDetectionBlock(MotionDetectionBlock block) {
  performOnProcessingQueueSync([&] { motionDetectionBlock_ = std::move(block); });
}

void registerReductionGroups() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  using T = GPUAverageLuminanceThresholdFilter;
  r.registerClass(C::of<T>("GPUAverageLuminanceThresholdFilter").message("setThresholdMultiplier:", &T::setThresholdMultiplier));
  r.registerClass(C::of<GPUMotionDetector>("GPUMotionDetector")
                      .message("setLowPassFilterStrength:", &GPUMotionDetector::setLowPassFilterStrength));
}
