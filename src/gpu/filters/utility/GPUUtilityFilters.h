#pragma once
// Filters that serve other pipelines rather than give a look: a frame delay
// through a ring of textures, packing the red of each 2 x 2 block into one
// pixel, and thinning a gradient image to its ridges.
#include <vector>

#include "gpu/GPUFilter.h"
#include "gpu/filters/GPUStockFilterSupport.h"

// Hands its targets each frame bufferSize frames after it arrived (the
// textures' first contents until then). Entry 0 is what the targets read,
// the last entry receives the next frame.
class GPUBuffer : public GPUFilter {
 public:
  GPUBuffer();
  ~GPUBuffer() override;
  // 0, or the current size, changes nothing; shrinking deletes the textures
  // at the end of the list.
  void setBufferSize(unsigned size);
  void setBufferSizeNumber(float v) { setBufferSize(v > 0 ? static_cast<unsigned>(v) : 0u); }
  unsigned bufferSize() const { return static_cast<unsigned>(bufferedTextures_.size()); }
  std::vector<GLuint> bufferedTextures() const;

  GLuint textureForOutput() const override;
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;
  void prepareForImageCapture() override {}
  gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) override;

 private:
  glx::TextureHandle generateTexture() const;
  // Storage of the framebuffer's size for every entry (contents go when the
  // size changes).
  void sizeTexturesToFBO();
  std::vector<glx::TextureHandle> bufferedTextures_;
  gfx::Size textureSize_;
};

// A half-size output: each pixel holds the red of the 2 x 2 input block it
// covers, upper left, upper right, lower left, lower right.
class GPUColorPackingFilter : public GPUFilter {
 public:
  GPUColorPackingFilter();
  void setupFilterForSize(gfx::Size size) override;
  void setFilterFBO() override;
  gfx::Size outputFrameSize() const override { return {inputTextureSize_.width / 2, inputTextureSize_.height / 2}; }
  gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) override;
  // The half size, or the maximum output size where that is smaller.
  gfx::Size packedSizeOfFBO() const;
  float texelWidth() const { return texelWidth_; }
  float texelHeight() const { return texelHeight_; }

 private:
  GLint texelWidthUniform_ = -1, texelHeightUniform_ = -1;
  float texelWidth_ = 0, texelHeight_ = 0;
};

// Keeps a pixel of a gradient image (red the magnitude, green and blue the
// direction mapped to 0..1) only where it is not below either neighbour along
// the gradient, weighted by a smooth step between the two thresholds.
class GPUDirectionalNonMaximumSuppressionFilter : public GPUFilter {
 public:
  GPUDirectionalNonMaximumSuppressionFilter();
  void setTexelWidth(float v);
  void setTexelHeight(float v);
  void setUpperThreshold(float v);
  void setLowerThreshold(float v);
  float texelWidth() const { return texelWidth_; }
  float texelHeight() const { return texelHeight_; }
  float upperThreshold() const { return upperThreshold_; }
  float lowerThreshold() const { return lowerThreshold_; }
  bool hasOverriddenImageSizeFactor() const { return hasOverriddenImageSizeFactor_; }
  void setupFilterForSize(gfx::Size size) override;

 private:
  GLint texelWidthUniform_ = -1, texelHeightUniform_ = -1, upperThresholdUniform_ = -1, lowerThresholdUniform_ = -1;
  float texelWidth_ = 0, texelHeight_ = 0, upperThreshold_ = 0.5f, lowerThreshold_ = 0.1f;
  bool hasOverriddenImageSizeFactor_ = false;
};

void registerUtilityFilters();
