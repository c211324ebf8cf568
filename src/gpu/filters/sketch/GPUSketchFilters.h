#pragma once
// The pencil-sketch chain of the rotoscoping camera: luminance on one
// branch, one minus the blurred luminance on the other, joined by an add
// blend, so pixels darker than their neighbourhood become grey-to-black lines
// on white. Luminance weighs red, green and blue by 0.2125, 0.7154, 0.0721.
#include <optional>
#include <string>

#include "gpu/GPUFilter.h"
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/GPUTwoPassFilter.h"

// (L, L, L, a).
class GPUGrayscaleFilter : public GPUFilter {
 public:
  GPUGrayscaleFilter();
};

// (1 - L, 1 - L, 1 - L, 1).
class GPUGrayscaleColorInvertFilter : public GPUFilter {
 public:
  GPUGrayscaleColorInvertFilter();
};

// Nine weighted samples per pass along the pass's texel step times blurSize;
// the luminance of the sum, opaque.
class GPUGrayscaleGaussianBlurFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  GPUGrayscaleGaussianBlurFilter();
  // nullopt vertex stages stand for the nine-sample stage, nullopt fragment
  // stages for the plain blur.
  GPUGrayscaleGaussianBlurFilter(const std::optional<std::string>& firstStageVertexShader,
                                 const std::optional<std::string>& firstStageFragmentShader,
                                 const std::optional<std::string>& secondStageVertexShader,
                                 const std::optional<std::string>& secondStageFragmentShader);
  float blurSize() const { return blurSize_; }
  void setBlurSize(float size);

 private:
  GLint horizontalBlurSizeUniform_ = -1;
  GLint verticalBlurSizeUniform_ = -1;
  float blurSize_ = 1.0f;
};

// The blur, its second pass inverted: 1 minus the blurred luminance.
class GPUGrayscaleGaussianBlurColorInvertFilter : public GPUGrayscaleGaussianBlurFilter {
 public:
  GPUGrayscaleGaussianBlurColorInvertFilter();
};

// Base the first input, overlay the second: per channel, where
// overlay x base.a + base x overlay.a reaches overlay.a x base.a the result is
// overlay.a x base.a + overlay x (1 - base.a) + base x (1 - overlay.a), else
// overlay + base; alpha overlay.a + base.a - overlay.a x base.a.
class GPUAddBlendFilter : public GPUTwoInputFilter {
 public:
  GPUAddBlendFilter();
};

// Enters the sketch filters and the white filter into the filter registry;
// calling it again changes nothing.
void registerSketchFilters();
