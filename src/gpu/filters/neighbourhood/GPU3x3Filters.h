#pragma once
// Single-pass filters that look at a pixel and its eight neighbours. The
// base's vertex shader works out the nine coordinates; the texel step
// follows the input size until one is set by hand.
#include <string>

#include "gpu/GPUFilter.h"

// The nine coordinates: textureCoordinate and its left, right, top,
// topLeft, topRight, bottom, bottomLeft and bottomRight neighbours, one
// texelWidth / texelHeight away ("...TextureCoordinate" varyings).
extern const char* const kGPUNearbyTexelSamplingVertexShaderString;
// A fragment shader over those coordinates: the precision, the input
// sampler and the nine varyings, then `body`.
std::string nearbyTexelFragmentShader(const char* precision, const std::string& body);
// Statements reading the eight neighbours' reds into floats named
// bottomLeftIntensity, topRightIntensity, ... topIntensity.
extern const char* const kGPUNeighbourRedsString;

class GPU3x3TextureSamplingFilter : public GPUFilter {
 public:
  explicit GPU3x3TextureSamplingFilter(const std::string& fragmentShader);
  void setupFilterForSize(gfx::Size size) override;
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

// The sum of the nine samples weighed by the kernel; rows run from the top
// neighbours to the bottom ones, columns from left to right.
class GPU3x3ConvolutionFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPU3x3ConvolutionFilter();
  void setConvolutionKernel(const GPUMatrix3x3& kernel);
  const GPUMatrix3x3& convolutionKernel() const { return convolutionKernel_; }

 private:
  GLint convolutionMatrixUniform_ = -1;
  GPUMatrix3x3 convolutionKernel_;
};

class GPUEmbossFilter : public GPU3x3ConvolutionFilter {
 public:
  GPUEmbossFilter();
  void setIntensity(float intensity);
  float intensity() const { return intensity_; }

 private:
  float intensity_ = 1.0f;
};

// The per-component median of the nine colours.
class GPUMedianFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPUMedianFilter();
};

// Eight bits, one per neighbour whose red is at least the centre's, as grey.
class GPULocalBinaryPatternFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPULocalBinaryPatternFilter();
};

// Keeps the centre where its red tops the ring (strictly against the top
// and left half, at least against the other half), black elsewhere.
class GPUNonMaximumSuppressionFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPUNonMaximumSuppressionFilter();
};

// White where the suppression leaves a red of at least the threshold.
class GPUThresholdedNonMaximumSuppressionFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPUThresholdedNonMaximumSuppressionFilter();
  void setThreshold(float v);
  float threshold() const { return threshold_; }

 private:
  GLint thresholdUniform_ = -1;
  float threshold_ = 0.9f;
};

// White where a lit pixel has enough lit neighbours.
class GPUWeakPixelInclusionFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPUWeakPixelInclusionFilter();
};

// Posterised colour with black outlines where the Sobel magnitude reaches
// the threshold.
class GPUToonFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPUToonFilter();
  void setThreshold(float v);
  void setQuantizationLevels(float v);
  float threshold() const { return threshold_; }
  float quantizationLevels() const { return quantizationLevels_; }

 private:
  GLint thresholdUniform_ = -1, quantizationLevelsUniform_ = -1;
  float threshold_ = 0.2f, quantizationLevels_ = 10.0f;
};

// The Sobel gradient of the reds: red its length, green and blue its
// direction snapped to the eight neighbours, mapped from -1..1 to 0..1. A
// flat neighbourhood (no direction) gives (0, 0.5, 0.5).
class GPUimageDirectionalSobelEdgeDetectionFilter : public GPU3x3TextureSamplingFilter {
 public:
  GPUimageDirectionalSobelEdgeDetectionFilter();
};

void register3x3Filters();
