#pragma once
// A filter that runs a second program over the output of the first, with a
// second framebuffer; the second pass is the filter's output. The texture
// sampling variant steps its samples along one axis per pass (first the
// vertical pass, then the horizontal one), by texel steps from the frame size.
#include "gpu/GPUFilter.h"

class GPUTwoPassFilter : public GPUFilter {
 public:
  GPUTwoPassFilter(const std::string& firstStageVertexShader, const std::string& firstStageFragmentShader,
                   const std::string& secondStageVertexShader, const std::string& secondStageFragmentShader);
  // The default vertex shader for both stages.
  GPUTwoPassFilter(const std::string& firstStageFragmentShader, const std::string& secondStageFragmentShader);
  ~GPUTwoPassFilter() override;

  GLuint textureForOutput() const override { return secondFilterOutputTexture_.get(); }
  void createFilterFBOofSize(gfx::Size size) override;
  void setFilterFBO() override;
  void setSecondFilterFBO();
  void setOutputFBO() override { setSecondFilterFBO(); }
  void recreateFilterFBO() override;
  void destroyFilterFBO() override;
  void deleteOutputTexture() override;
  void releaseInputTexturesIfNeeded() override {}
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;

  GLProgram* secondFilterProgram() const { return secondFilterProgram_; }

 protected:
  glx::TextureHandle secondFilterOutputTexture_;
  GLProgram* secondFilterProgram_ = nullptr;
  GLint secondFilterInputTextureUniform_ = -1;
  glx::FramebufferHandle secondFilterFramebuffer_;
};

class GPUTwoPassTextureSamplingFilter : public GPUTwoPassFilter {
 public:
  GPUTwoPassTextureSamplingFilter(const std::string& firstStageVertexShader,
                                  const std::string& firstStageFragmentShader,
                                  const std::string& secondStageVertexShader,
                                  const std::string& secondStageFragmentShader);

  void setupFilterForSize(gfx::Size filterFrameSize) override;
  void setUniformsForProgramAtIndex(int programIndex) override;

  gfx::Point verticalPassTexelOffset() const { return {verticalPassTexelWidthOffset_, verticalPassTexelHeightOffset_}; }
  gfx::Point horizontalPassTexelOffset() const {
    return {horizontalPassTexelWidthOffset_, horizontalPassTexelHeightOffset_};
  }

 protected:
  GLint verticalPassTexelWidthOffsetUniform_ = -1, verticalPassTexelHeightOffsetUniform_ = -1;
  GLint horizontalPassTexelWidthOffsetUniform_ = -1, horizontalPassTexelHeightOffsetUniform_ = -1;
  float verticalPassTexelWidthOffset_ = 0, verticalPassTexelHeightOffset_ = 0;
  float horizontalPassTexelWidthOffset_ = 0, horizontalPassTexelHeightOffset_ = 0;
};
