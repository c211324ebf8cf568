#pragma once
// Edge detectors (a luminance pass, then a 3x3 gradient pass) and the groups
// that turn edges into features: Canny edges, corners (Harris, Noble,
// Shi-Tomasi) and Hough lines. The corner and line groups read their final,
// mostly black image back and hand normalised positions to a callback.
#include <functional>
#include <memory>
#include <vector>

#include "gpu/GPUFilterGroup.h"
#include "gpu/GPUTwoPassFilter.h"
#include "gpu/filters/blur/GPUBlurFilters.h"
#include "gpu/filters/generators/GPUGenerators.h"
#include "gpu/filters/neighbourhood/GPU3x3Filters.h"
#include "gpu/filters/utility/GPUUtilityFilters.h"

// The luminance of each pixel (weights 0.2125, 0.7154, 0.0721), alpha kept:
// the first pass of the edge detectors and the first member of Canny.
extern const char* const kGPUDetectionLuminanceFragmentShaderString;
class GPUDetectionLuminanceFilter : public GPUFilter {
 public:
  GPUDetectionLuminanceFilter();
};

// Sobel magnitude of the luminance, as grey. The texel step follows the
// size until one is set by hand.
class GPUSobelEdgeDetectionFilter : public GPUTwoPassFilter {
 public:
  GPUSobelEdgeDetectionFilter();
  explicit GPUSobelEdgeDetectionFilter(const std::string& secondStageFragmentShader);
  void setupFilterForSize(gfx::Size size) override;
  void setUniformsForProgramAtIndex(int programIndex) override;
  void setTexelWidth(float v);
  void setTexelHeight(float v);
  float texelWidth() const { return texelWidth_; }
  float texelHeight() const { return texelHeight_; }
  bool hasOverriddenImageSizeFactor() const { return hasOverriddenImageSizeFactor_; }

 protected:
  GLint texelWidthUniform_ = -1, texelHeightUniform_ = -1;
  float texelWidth_ = 0, texelHeight_ = 0;
  bool hasOverriddenImageSizeFactor_ = false;
};

class GPUPrewittEdgeDetectionFilter : public GPUSobelEdgeDetectionFilter {
 public:
  GPUPrewittEdgeDetectionFilter();
};
// Dark lines on white.
class GPUSketchFilter : public GPUSobelEdgeDetectionFilter {
 public:
  GPUSketchFilter();
};
// (Dx squared, Dy squared, (Dx Dy + 1) / 2): what the corner detectors read.
class GPUXYDerivativeFilter : public GPUSobelEdgeDetectionFilter {
 public:
  GPUXYDerivativeFilter();
};
// White where the Sobel magnitude reaches the threshold.
class GPUThresholdEdgeDetectionFilter : public GPUSobelEdgeDetectionFilter {
 public:
  GPUThresholdEdgeDetectionFilter();
  void setThreshold(float v);
  float threshold() const { return threshold_; }

 protected:
  explicit GPUThresholdEdgeDetectionFilter(const std::string& secondStageFragmentShader);

 private:
  GLint thresholdUniform_ = -1;
  float threshold_ = 0.9f;
};
// White where one minus the magnitude reaches the threshold.
class GPUThresholdSketchFilter : public GPUThresholdEdgeDetectionFilter {
 public:
  GPUThresholdSketchFilter();
};

// Luminance, single-channel blur, directional Sobel, directional
// suppression between the two thresholds, weak-pixel inclusion.
class GPUCannyEdgeDetectionFilter : public GPUFilterGroup {
 public:
  GPUCannyEdgeDetectionFilter();
  void setUpperThreshold(float v) { nonMaximumSuppressionFilter_->setUpperThreshold(v); }
  void setLowerThreshold(float v) { nonMaximumSuppressionFilter_->setLowerThreshold(v); }
  void setBlurSize(float v) { blurFilter_->setBlurSize(v); }
  void setTexelWidth(float v) { edgeDetectionFilter_->setTexelWidth(v); }
  void setTexelHeight(float v) { edgeDetectionFilter_->setTexelHeight(v); }
  float upperThreshold() const { return nonMaximumSuppressionFilter_->upperThreshold(); }
  float lowerThreshold() const { return nonMaximumSuppressionFilter_->lowerThreshold(); }
  float blurSize() const { return blurFilter_->blurSize(); }
  float texelWidth() const { return edgeDetectionFilter_->texelWidth(); }
  float texelHeight() const { return edgeDetectionFilter_->texelHeight(); }

 private:
  std::shared_ptr<GPUDetectionLuminanceFilter> luminanceFilter_;
  std::shared_ptr<GPUSingleComponentFastBlurFilter> blurFilter_;
  std::shared_ptr<GPUimageDirectionalSobelEdgeDetectionFilter> edgeDetectionFilter_;
  std::shared_ptr<GPUDirectionalNonMaximumSuppressionFilter> nonMaximumSuppressionFilter_;
  std::shared_ptr<GPUWeakPixelInclusionFilter> weakPixelInclusionFilter_;
};

// Called on the processing queue with normalised (x, y) pairs, or line
// parameter pairs, their count and the frame's time.
using GPUFeaturesDetectedBlock = std::function<void(const float* pairs, unsigned count, CMTime frameTime)>;

// Derivatives, blurred, into a cornerness (its shader), thinned to lit
// pixels above the threshold; each lit pixel is reported as a corner.
class GPUHarrisCornerDetectionFilter : public GPUFilterGroup {
 public:
  static constexpr unsigned kCornerCapacity = 1024;  // floats: pairs x, y
  static constexpr unsigned kMaximumCorners = 511;

  GPUHarrisCornerDetectionFilter();
  explicit GPUHarrisCornerDetectionFilter(const std::string& cornerDetectionFragmentShader);

  void setCornersDetectedBlock(GPUFeaturesDetectedBlock block) { cornersDetectedBlock_ = std::move(block); }
  void setSensitivity(float v);
  void setThreshold(float v) { nonMaximumSuppressionFilter_->setThreshold(v); }
  void setBlurSize(float v) { blurFilter_->setBlurSize(v); }
  float sensitivity() const { return sensitivity_; }
  float threshold() const { return nonMaximumSuppressionFilter_->threshold(); }
  float blurSize() const { return blurFilter_->blurSize(); }
  // The group fills no intermediate images.
  const std::vector<gfx::Image>& intermediateImages() const { return intermediateImages_; }

  // On the processing queue: reads the suppression image and reports.
  void extractCornerLocationsFromImageAtFrameTime(CMTime frameTime);
  // The read-back buffer's current size in bytes (follows the output size).
  std::size_t rawImageBytes() const { return rawImagePixels_.size(); }

 private:
  std::shared_ptr<GPUXYDerivativeFilter> derivativeFilter_;
  std::shared_ptr<GPUFastBlurFilter> blurFilter_;
  std::shared_ptr<GPUFilter> harrisCornerDetectionFilter_;
  std::shared_ptr<GPUThresholdedNonMaximumSuppressionFilter> nonMaximumSuppressionFilter_;
  GPUFeaturesDetectedBlock cornersDetectedBlock_;
  std::vector<float> cornersArray_;
  std::vector<std::uint8_t> rawImagePixels_;
  std::vector<gfx::Image> intermediateImages_;
  float sensitivity_ = 5.0f;
};

class GPUNobleCornerDetectionFilter : public GPUHarrisCornerDetectionFilter {
 public:
  GPUNobleCornerDetectionFilter();
};

class GPUShiTomasiFeatureDetectionFilter : public GPUHarrisCornerDetectionFilter {
 public:
  GPUShiTomasiFeatureDetectionFilter();
};

// Canny edges voted into parallel-coordinate space, thinned to maxima above
// the threshold; each is reported as a line's pair of parameters.
class GPUHoughTransformLineDetector : public GPUFilterGroup {
 public:
  static constexpr unsigned kLineCapacity = 2048;  // floats: pairs
  static constexpr unsigned kMaximumLines = 1023;

  GPUHoughTransformLineDetector();
  void setLinesDetectedBlock(GPUFeaturesDetectedBlock block) { linesDetectedBlock_ = std::move(block); }
  // Kept only: the Canny member's thresholds stay at their own defaults.
  void setEdgeThreshold(float v) { edgeThreshold_ = v; }
  float edgeThreshold() const { return edgeThreshold_; }
  void setLineDetectionThreshold(float v) { nonMaximumSuppressionFilter_->setThreshold(v); }
  float lineDetectionThreshold() const { return nonMaximumSuppressionFilter_->threshold(); }
  const std::vector<gfx::Image>& intermediateImages() const { return intermediateImages_; }

  void extractLineParametersFromImageAtFrameTime(CMTime frameTime);
  std::size_t rawImageBytes() const { return rawImagePixels_.size(); }

 private:
  std::shared_ptr<GPUCannyEdgeDetectionFilter> thresholdEdgeDetectionFilter_;
  std::shared_ptr<GPUParallelCoordinateLineTransformFilter> parallelCoordinateLineTransformFilter_;
  std::shared_ptr<GPUThresholdedNonMaximumSuppressionFilter> nonMaximumSuppressionFilter_;
  GPUFeaturesDetectedBlock linesDetectedBlock_;
  std::vector<float> linesArray_;
  std::vector<std::uint8_t> rawImagePixels_;
  std::vector<gfx::Image> intermediateImages_;
  float edgeThreshold_ = 0.95f;
};

void registerDetectionFilters();
