#pragma once
// The ready-made groups: each builds a small graph of other stock filters
// when it is made, names the members that take the group's input and the one
// that feeds its targets, and forwards its properties to the member that
// owns them. Nothing is added or removed after construction.
#include <memory>
#include <string>

#include "gpu/GPUFilterGroup.h"
#include "gpu/GPUPicture.h"
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/GPUTwoPassFilter.h"
#include "gpu/filters/blend/GPUBlendFilters.h"
#include "gpu/filters/blur/GPUBlurFilters.h"
#include "gpu/filters/neighbourhood/GPU3x3Filters.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"
#include "gpu/filters/utility/GPUUtilityFilters.h"

// The groups' own two-input shaders: the first input is the sharp (or
// current) image, the second the processed one.
extern const char* const kGPUAdaptiveThresholdFragmentShaderString;
extern const char* const kGPUSelectiveFocusFragmentShaderString;
extern const char* const kGPUTiltShiftFragmentShaderString;
extern const char* const kGPUUnsharpMaskFragmentShaderString;

// White where a pixel's luminance is at least that of its box-blurred
// neighbourhood less 0.05, black elsewhere.
class GPUAdaptiveThresholdFilter : public GPUFilterGroup {
 public:
  GPUAdaptiveThresholdFilter();
  void setBlurSize(float v) { boxBlurFilter_->setBlurSize(v); }
  float blurSize() const { return boxBlurFilter_->blurSize(); }
  const std::shared_ptr<GPUBoxBlurFilter>& boxBlurFilter() const { return boxBlurFilter_; }

 private:
  std::shared_ptr<GPUGrayscaleFilter> luminanceFilter_;
  std::shared_ptr<GPUBoxBlurFilter> boxBlurFilter_;
  std::shared_ptr<GPUTwoInputFilter> adaptiveThresholdFilter_;
};

// A dilation and an erosion of the same radius, one after the other.
class GPUMorphologyGroup : public GPUFilterGroup {
 public:
  const std::shared_ptr<GPUTwoPassTextureSamplingFilter>& dilationFilter() const { return dilationFilter_; }
  const std::shared_ptr<GPUTwoPassTextureSamplingFilter>& erosionFilter() const { return erosionFilter_; }

 protected:
  GPUMorphologyGroup(std::shared_ptr<GPUTwoPassTextureSamplingFilter> dilation,
                     std::shared_ptr<GPUTwoPassTextureSamplingFilter> erosion, bool dilateFirst);

 private:
  std::shared_ptr<GPUTwoPassTextureSamplingFilter> dilationFilter_;
  std::shared_ptr<GPUTwoPassTextureSamplingFilter> erosionFilter_;
};

// Dilation then erosion: fills dark gaps narrower than the square.
class GPUClosingFilter : public GPUMorphologyGroup {
 public:
  explicit GPUClosingFilter(unsigned radius = 1);
};
// Erosion then dilation: removes bright specks smaller than the square.
class GPUOpeningFilter : public GPUMorphologyGroup {
 public:
  explicit GPUOpeningFilter(unsigned radius = 1);
};
// The same per colour component.
class GPURGBClosingFilter : public GPUMorphologyGroup {
 public:
  explicit GPURGBClosingFilter(unsigned radius = 1);
};
class GPURGBOpeningFilter : public GPUMorphologyGroup {
 public:
  explicit GPURGBOpeningFilter(unsigned radius = 1);
};

// A Gaussian blur of the input, and a two-input member that reads the
// input itself first and the blurred copy second.
class GPUBlurredPairGroup : public GPUFilterGroup {
 public:
  void setBlurSize(float v) { blurFilter_->setBlurSize(v); }
  float blurSize() const { return blurFilter_->blurSize(); }
  const std::shared_ptr<GPUGaussianBlurFilter>& blurFilter() const { return blurFilter_; }

 protected:
  explicit GPUBlurredPairGroup(const char* pairFragmentShader);

  std::shared_ptr<GPUGaussianBlurFilter> blurFilter_;
  std::shared_ptr<GPUTwoInputFilter> pairFilter_;
};

// Sharp inside a circle, blurred outside it, with a soft band between.
class GPUGaussianSelectiveBlurFilter : public GPUBlurredPairGroup {
 public:
  GPUGaussianSelectiveBlurFilter();
  void setExcludeCircleRadius(float v);
  void setExcludeCirclePoint(gfx::Point p);
  void setExcludeBlurSize(float v);
  // A ratio set here is kept whatever the input size becomes.
  void setAspectRatio(float v);
  float excludeCircleRadius() const { return excludeCircleRadius_; }
  gfx::Point excludeCirclePoint() const { return excludeCirclePoint_; }
  float excludeBlurSize() const { return excludeBlurSize_; }
  float aspectRatio() const { return aspectRatio_; }
  bool hasOverriddenAspectRatio() const { return hasOverriddenAspectRatio_; }
  const std::shared_ptr<GPUTwoInputFilter>& selectiveFocusFilter() const { return pairFilter_; }

  // Width over height of a new, non-zero input size, unless set by hand.
  void setInputSize(gfx::Size size, int textureIndex) override;

 private:
  void sendAspectRatio(float v);
  float excludeCircleRadius_ = 0, excludeBlurSize_ = 0, aspectRatio_ = 0;
  gfx::Point excludeCirclePoint_;
  bool hasOverriddenAspectRatio_ = false;
  gfx::Size currentInputSize_;
};

// Sharp in a horizontal band, blurred above and below it.
class GPUTiltShiftFilter : public GPUBlurredPairGroup {
 public:
  GPUTiltShiftFilter();
  void setTopFocusLevel(float v);
  void setBottomFocusLevel(float v);
  void setFocusFallOffRate(float v);
  float topFocusLevel() const { return topFocusLevel_; }
  float bottomFocusLevel() const { return bottomFocusLevel_; }
  float focusFallOffRate() const { return focusFallOffRate_; }
  const std::shared_ptr<GPUTwoInputFilter>& tiltShiftFilter() const { return pairFilter_; }

 private:
  float topFocusLevel_ = 0, bottomFocusLevel_ = 0, focusFallOffRate_ = 0;
};

// The input pushed away from its blurred copy by the intensity: 1 keeps it,
// more sharpens.
class GPUUnsharpMaskFilter : public GPUBlurredPairGroup {
 public:
  GPUUnsharpMaskFilter();
  void setIntensity(float v);
  float intensity() const { return intensity_; }
  const std::shared_ptr<GPUTwoInputFilter>& unsharpMaskFilter() const { return pairFilter_; }

 private:
  float intensity_ = 0;
};

// Each output frame mixes the input with the group's own previous output,
// filterStrength being the weight of the past.
class GPULowPassFilter : public GPUFilterGroup {
 public:
  GPULowPassFilter();
  ~GPULowPassFilter() override;
  void setFilterStrength(float v) { dissolveBlendFilter_->setMix(v); }
  float filterStrength() const { return dissolveBlendFilter_->mix(); }
  const std::shared_ptr<GPUDissolveBlendFilter>& dissolveBlendFilter() const { return dissolveBlendFilter_; }
  const std::shared_ptr<GPUBuffer>& bufferFilter() const { return bufferFilter_; }

  // The group's own targets go; the loop back through the buffer stays.
  void removeAllTargets() override;

 private:
  std::shared_ptr<GPUDissolveBlendFilter> dissolveBlendFilter_;
  std::shared_ptr<GPUBuffer> bufferFilter_;
};

// What changes from frame to frame: the input's distance from its low pass.
class GPUHighPassFilter : public GPUFilterGroup {
 public:
  GPUHighPassFilter();
  void setFilterStrength(float v) { lowPassFilter_->setFilterStrength(v); }
  float filterStrength() const { return lowPassFilter_->filterStrength(); }
  const std::shared_ptr<GPULowPassFilter>& lowPassFilter() const { return lowPassFilter_; }

 private:
  std::shared_ptr<GPULowPassFilter> lowPassFilter_;
  std::shared_ptr<GPUDifferenceBlendFilter> differenceBlendFilter_;
};

// A light Gaussian blur before the toon look, so noise draws no outlines.
class GPUSmoothToonFilter : public GPUFilterGroup {
 public:
  GPUSmoothToonFilter();
  void setBlurSize(float v) { blurFilter_->setBlurSize(v); }
  void setThreshold(float v) { toonFilter_->setThreshold(v); }
  void setQuantizationLevels(float v) { toonFilter_->setQuantizationLevels(v); }
  void setTexelWidth(float v) { toonFilter_->setTexelWidth(v); }
  void setTexelHeight(float v) { toonFilter_->setTexelHeight(v); }
  float blurSize() const { return blurFilter_->blurSize(); }
  float threshold() const { return toonFilter_->threshold(); }
  float quantizationLevels() const { return toonFilter_->quantizationLevels(); }
  float texelWidth() const { return toonFilter_->texelWidth(); }
  float texelHeight() const { return toonFilter_->texelHeight(); }
  const std::shared_ptr<GPUGaussianBlurFilter>& blurFilter() const { return blurFilter_; }
  const std::shared_ptr<GPUToonFilter>& toonFilter() const { return toonFilter_; }

 private:
  std::shared_ptr<GPUGaussianBlurFilter> blurFilter_;
  std::shared_ptr<GPUToonFilter> toonFilter_;
};

// Two lookups with a soft glow between them: the first graded image, its
// strong blur laid over it at 0.14, graded again.
class GPUSoftEleganceFilter : public GPUFilterGroup {
 public:
  static constexpr float kGlowBlurSize = 9.7f;
  static constexpr float kGlowMix = 0.14f;
  GPUSoftEleganceFilter();

 private:
  std::shared_ptr<GPULookupFilter> lookupFilter1_;
  std::shared_ptr<GPUPicture> lookupImageSource1_;
  std::shared_ptr<GPUGaussianBlurFilter> blurFilter_;
  std::shared_ptr<GPUAlphaBlendFilter> alphaBlendFilter_;
  std::shared_ptr<GPULookupFilter> lookupFilter2_;
  std::shared_ptr<GPUPicture> lookupImageSource2_;
};

// One colour lookup through a picture of the resources.
class GPUSingleLookupGroup : public GPUFilterGroup {
 public:
  const std::shared_ptr<GPULookupFilter>& lookupFilter() const { return lookupFilter_; }

 protected:
  explicit GPUSingleLookupGroup(const std::string& pictureName);

 private:
  std::shared_ptr<GPUPicture> lookupImageSource_;
  std::shared_ptr<GPULookupFilter> lookupFilter_;
};

class GPUBrenlowFilter : public GPUSingleLookupGroup {
 public:
  GPUBrenlowFilter();
};
class GPUVastrelFilter : public GPUSingleLookupGroup {
 public:
  GPUVastrelFilter();
};

void registerFilterGroups();
