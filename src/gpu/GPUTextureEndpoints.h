#pragma once
// Textures of other GL code in and out of the pipeline: a source that wraps
// an existing texture (which stays its owner's), and a target that records
// the texture it is handed and tells its delegate when a frame is ready.
#include <atomic>

#include "gpu/GPUOutput.h"

class GPUTextureInput : public GPUOutput {
 public:
  // The texture must live in the processing context's share group and
  // outlive this source; it is never deleted here.
  GPUTextureInput(GLuint texture, gfx::Size size);
  ~GPUTextureInput() override;

  GLuint textureForOutput() const override { return texture_; }
  // Queues one frame with the given time to every target.
  void processTextureWithFrameTime(CMTime frameTime);
  gfx::Size textureSize() const { return textureSize_; }

 private:
  GLuint texture_;
  gfx::Size textureSize_;
};

class GPUTextureOutput;

class GPUTextureOutputDelegate {
 public:
  virtual ~GPUTextureOutputDelegate() = default;
  // On the processing queue, with the new frame in output->texture().
  virtual void newFrameReadyFromTextureOutput(GPUTextureOutput* output) = 0;
};

class GPUTextureOutput : public GPUInput {
 public:
  GPUTextureOutput() = default;

  void newFrameReadyAtTime(CMTime, int) override {
    if (delegate_ != nullptr) delegate_->newFrameReadyFromTextureOutput(this);
  }
  void setInputTexture(GLuint texture, int) override { texture_ = texture; }
  void setTextureDelegate(GPUTextureDelegate* delegate, int) override { textureDelegate_ = delegate; }
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size, int) override {}
  void setInputRotation(RotationMode, int) override {}
  gfx::Size maximumOutputSize() const override { return {}; }
  void endProcessing() override {}
  bool shouldIgnoreUpdatesToThisTarget() const override { return false; }
  bool enabled() const override { return enabled_; }
  void setEnabled(bool on) { enabled_ = on; }
  void conserveMemoryForNextFrame() override {}

  GLuint texture() const { return texture_; }
  // Not retained.
  void setDelegate(GPUTextureOutputDelegate* delegate) { delegate_ = delegate; }

 private:
  GPUTextureDelegate* textureDelegate_ = nullptr;
  GPUTextureOutputDelegate* delegate_ = nullptr;
  GLuint texture_ = 0;
  bool enabled_ = true;
};
