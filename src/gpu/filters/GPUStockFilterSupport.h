#pragma once
// What the stock filters share: looking a uniform up once when the filter is
// made, the aspect ratio that follows the input size, the smallest cell width
// of the pixel-grid filters, and the centre mapped through the input rotation.
#include <string>

#include "gpu/GPUFilter.h"

// The location of the uniform in the filter's program, -1 when it has none
// (or the program failed to build). Runs on the processing queue.
GLint stockUniformIndex(const GPUFilter& filter, const std::string& name);

// Passes the position through and hands on the four corners around the
// input coordinate, (-texelWidth, -texelHeight) to (+texelWidth,
// +texelHeight): upper left, upper right, lower left, lower right.
extern const char* const kGPUFourCornerVertexShaderString;

// The framebuffer's pixels of that size as an image; empty for a zero size or
// no framebuffer. Runs on the processing queue.
gfx::Image stockImageFromFramebuffer(GLuint framebuffer, gfx::Size size);

// Height over width, or width over height when the rotation swaps the sides;
// 0 for a zero size.
float stockAspectRatio(gfx::Size size, RotationMode rotation);

// One pixel of the recorded width, or 1/2048 while no width is known.
float stockMinimumCellWidth(gfx::Size inputSize);

// The chroma-key settings the one-input and the blending key share: how near
// a colour must come to the one replaced, and how softly the edge falls off.
template <class Base>
class GPUChromaKeying : public Base {
 public:
  explicit GPUChromaKeying(const std::string& fragmentShader) : Base(fragmentShader) {
    thresholdSensitivityUniform_ = stockUniformIndex(*this, "thresholdSensitivity");
    smoothingUniform_ = stockUniformIndex(*this, "smoothing");
    colorToReplaceUniform_ = stockUniformIndex(*this, "colorToReplace");
    setThresholdSensitivity(0.4f);
    setSmoothing(0.1f);
    setColorToReplaceRed(0.0f, 1.0f, 0.0f);
  }
  void setThresholdSensitivity(float v) {
    thresholdSensitivity_ = v;
    this->setFloat(v, thresholdSensitivityUniform_, this->filterProgram());
  }
  void setSmoothing(float v) {
    smoothing_ = v;
    this->setFloat(v, smoothingUniform_, this->filterProgram());
  }
  void setColorToReplaceRed(float red, float green, float blue) {
    this->setVec3(GPUVector3{red, green, blue}, colorToReplaceUniform_, this->filterProgram());
  }
  float thresholdSensitivity() const { return thresholdSensitivity_; }
  float smoothing() const { return smoothing_; }

 private:
  GLint thresholdSensitivityUniform_ = -1, smoothingUniform_ = -1, colorToReplaceUniform_ = -1;
  float thresholdSensitivity_ = 0.4f, smoothing_ = 0.1f;
};

// A filter whose aspectRatio follows its input size: setInputSize records the
// size, and a changed, non-zero size sets the aspect ratio again.
class GPUAspectRatioFilter : public GPUFilter {
 public:
  using GPUFilter::GPUFilter;
  void setInputSize(gfx::Size size, int textureIndex) override;
  virtual void setAspectRatio(float ratio) = 0;
};
