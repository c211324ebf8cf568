#pragma once
// A filter that reads two textures from two sources in one draw. It draws
// once both inputs have delivered, or on every frame of a moving input when
// the other input is a still picture (frames with the indefinite time).
#include "gpu/GPUFilter.h"

// Passes both texture coordinates through.
extern const char* const kGPUTwoInputTextureVertexShaderString;

class GPUTwoInputFilter : public GPUFilter {
 public:
  explicit GPUTwoInputFilter(const std::string& fragmentShader);
  GPUTwoInputFilter(const std::string& vertexShader, const std::string& fragmentShader);

  void disableFirstFrameCheck() { firstFrameCheckDisabled_ = true; }
  void disableSecondFrameCheck() { secondFrameCheckDisabled_ = true; }

  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void setInputTexture(GLuint texture, int textureIndex) override;
  void setTextureDelegate(GPUTextureDelegate* delegate, int textureIndex) override;
  int nextAvailableTextureIndex() const override { return hasSetFirstTexture_ ? 1 : 0; }
  void setInputSize(gfx::Size size, int textureIndex) override;
  void setInputRotation(RotationMode rotation, int textureIndex) override;
  gfx::Size rotatedSize(gfx::Size size, int textureIndex) const override;
  void releaseInputTexturesIfNeeded() override;
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;

  RotationMode inputRotation2() const { return inputRotation2_; }

 protected:
  GLint filterSecondTextureCoordinateAttribute_ = 2;
  GLint filterInputTextureUniform2_ = -1;
  RotationMode inputRotation2_ = RotationNone;
  GLuint filterSourceTexture2_ = 0;
  CMTime firstFrameTime_ = kCMTimeInvalid;
  CMTime secondFrameTime_ = kCMTimeInvalid;
  bool hasSetFirstTexture_ = false;
  bool detachingFirstInput_ = false;
  bool hasReceivedFirstFrame_ = false;
  bool hasReceivedSecondFrame_ = false;
  bool firstFrameCheckDisabled_ = false;
  bool secondFrameCheckDisabled_ = false;
  GPUTextureDelegate* secondTextureDelegate_ = nullptr;
};
