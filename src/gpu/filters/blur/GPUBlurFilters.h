#pragma once
// The separable filters: each draws twice, the first program stepping along
// one axis and the second along the other, so an n-tap kernel costs 2n
// samples. Every sample coordinate is worked out in the vertex shader.
#include <optional>
#include <string>

#include "gpu/GPUTwoPassFilter.h"

// Nine taps of fixed Gaussian weights. Its step vector takes the height
// offset first and the width offset second.
class GPUGaussianBlurFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  GPUGaussianBlurFilter();
  // A shader left out is the Gaussian's own.
  GPUGaussianBlurFilter(const std::optional<std::string>& firstStageVertexShader,
                        const std::optional<std::string>& firstStageFragmentShader,
                        const std::optional<std::string>& secondStageVertexShader,
                        const std::optional<std::string>& secondStageFragmentShader);
  void setBlurSize(float blurSize);
  float blurSize() const { return blurSize_; }

 private:
  GLint horizontalBlurSizeUniform_ = -1, verticalBlurSizeUniform_ = -1;
  float blurSize_ = 1.0f;
};

// The Gaussian taps, each weighed down by its colour distance to the centre,
// so edges between flat colours stay hard.
class GPUBilateralFilter : public GPUGaussianBlurFilter {
 public:
  GPUBilateralFilter();
};

// The Gaussian on the red channel only, as grey.
class GPUSingleComponentGaussianBlurFilter : public GPUGaussianBlurFilter {
 public:
  GPUSingleComponentGaussianBlurFilter();
};

// Five bilinear samples of equal weight, each covering two texels.
class GPUBoxBlurFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  GPUBoxBlurFilter();
  void setBlurSize(float blurSize);
  float blurSize() const { return blurSize_; }

 private:
  GLint firstBlurSizeUniform_ = -1, secondBlurSizeUniform_ = -1;
  float blurSize_ = 1.0f;
};

// A nine-tap Gaussian folded into five bilinear samples, run blurPasses
// times (at least once).
class GPUFastBlurFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  GPUFastBlurFilter();
  explicit GPUFastBlurFilter(const std::string& fragmentShader);
  void setBlurSize(float blurSize);
  float blurSize() const { return blurSize_; }
  void setBlurPasses(unsigned passes) { blurPasses_ = passes; }
  void setBlurPassesNumber(float passes) { setBlurPasses(passes > 0 ? static_cast<unsigned>(passes) : 0u); }
  unsigned blurPasses() const { return blurPasses_; }
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;

 private:
  GLint firstBlurSizeUniform_ = -1, secondBlurSizeUniform_ = -1;
  float blurSize_ = 1.0f;
  unsigned blurPasses_ = 0;
};

// The fast blur on the red channel only, as grey.
class GPUSingleComponentFastBlurFilter : public GPUFastBlurFilter {
 public:
  GPUSingleComponentFastBlurFilter();
};

// Lanczos resampling: steps come from the input's own size, so a target
// that downscales still samples one input texel apart.
class GPULanczosResamplingFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  GPULanczosResamplingFilter();
  void setInputSize(gfx::Size size, int textureIndex) override;
  void setupFilterForSize(gfx::Size size) override;
  gfx::Size originalImageSize() const { return originalImageSize_; }

 private:
  gfx::Size originalImageSize_;
};

// The maximum (dilation) or minimum (erosion) over a square of
// (2r + 1) x (2r + 1) texels: of the red channel as grey, or per component
// for the RGB variants. Radius 0 works as 1, above 4 as 4.
class GPUDilationFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  explicit GPUDilationFilter(unsigned radius = 1);
};
class GPUErosionFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  explicit GPUErosionFilter(unsigned radius = 1);
};
class GPURGBDilationFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  explicit GPURGBDilationFilter(unsigned radius = 1);
};
class GPURGBErosionFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  explicit GPURGBErosionFilter(unsigned radius = 1);
};
// The radius the morphology shaders serve for a requested one (1 to 4).
unsigned morphologyShaderRadius(unsigned radius);

void registerBlurFilters();
