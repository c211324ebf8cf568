#pragma once
// Pixel bytes in memory as a pipeline source, and a target that renders what
// it receives into a framebuffer of its own size and gives the pixels back as
// bytes (read back with glReadPixels, as the platform has no shared buffers).
#include <atomic>
#include <functional>
#include <vector>

#include "gpu/GLProgram.h"
#include "gpu/GPUOutput.h"
#include "platform/gl/Extensions.h"

class GPURawDataInput : public GPUOutput {
 public:
  // pixelFormat: glx::kFormatBGRA (the default), GL_RGBA or GL_RGB. The bytes
  // are tightly packed rows, top row first, and are uploaded at once.
  GPURawDataInput(const std::uint8_t* bytes, gfx::Size size, GLenum pixelFormat = glx::kFormatBGRA,
                  GLenum pixelType = GL_UNSIGNED_BYTE);
  ~GPURawDataInput() override;

  // Uploads on the processing queue (the caller's bytes are read before it returns).
  void uploadBytes(const std::uint8_t* bytes);
  void updateDataFromBytes(const std::uint8_t* bytes, gfx::Size size);
  // Queues one frame (the invalid time) to every target; dropped while an
  // earlier one is still being sent.
  void processData();
  gfx::Size outputImageSize() const { return uploadedImageSize_; }

  GLenum pixelFormat() const { return pixelFormat_; }
  void setPixelFormat(GLenum format) { pixelFormat_ = format; }
  GLenum pixelType() const { return pixelType_; }
  void setPixelType(GLenum type) { pixelType_ = type; }

 private:
  gfx::Size uploadedImageSize_;
  std::atomic<bool> sending_{false};
  GLenum pixelFormat_;
  GLenum pixelType_;
};

class GPURawDataOutput : public GPUInput {
 public:
  GPURawDataOutput(gfx::Size imageSize, bool resultsInBGRAFormat);
  ~GPURawDataOutput() override;

  // --- GPUInput
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void setInputTexture(GLuint texture, int) override { inputTextureForDisplay_ = texture; }
  void setTextureDelegate(GPUTextureDelegate* delegate, int) override { textureDelegate_ = delegate; }
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size size, int) override { inputSize_ = size; }
  void setInputRotation(RotationMode rotation, int) override { inputRotation_ = rotation; }
  gfx::Size maximumOutputSize() const override { return imageSize_; }
  void endProcessing() override {}
  bool shouldIgnoreUpdatesToThisTarget() const override { return false; }
  bool enabled() const override { return enabled_; }
  void setEnabled(bool on) { enabled_ = on; }
  void conserveMemoryForNextFrame() override {}

  // The pixels of the current frame: imageSize rows of width x 4 bytes, in
  // B, G, R, A or R, G, B, A order as asked. Rendered and read once per
  // frame; valid until the next read.
  const std::uint8_t* rawBytesForImage();
  int bytesPerRowInOutput() const { return static_cast<int>(imageSize_.width) * 4; }
  // One pixel, y counted from the top (see the .cpp for the row it reads).
  GPUByteColorVector colorAtLocation(gfx::Point location);

  gfx::Size imageSize() const { return imageSize_; }
  // A new output size: the next read renders and reads at that size.
  void setImageSize(gfx::Size size);
  void setNewFrameAvailableBlock(std::function<void()> block) { newFrameAvailableBlock_ = std::move(block); }

 private:
  void createDataFBO();
  void destroyDataFBO();
  void setFilterFBO();
  void renderAtInternalSize();
  // Reads the source's texture itself when drawing it would change nothing
  // (same size): false when that texture cannot be read that way.
  bool readInputTextureDirectly();

  gfx::Size imageSize_;
  RotationMode inputRotation_ = RotationNone;
  bool outputBGRA_;
  GPUTextureDelegate* textureDelegate_ = nullptr;
  bool hasReadFromTheCurrentFrame_ = false;
  glx::FramebufferHandle dataFramebuffer_;
  glx::RenderbufferHandle dataRenderbuffer_;
  gfx::Size framebufferSize_;
  GLuint inputTextureForDisplay_ = 0;
  gfx::Size inputSize_;
  glx::FramebufferHandle inputReadFramebuffer_;
  GLProgram* dataProgram_ = nullptr;
  GLint dataInputTextureUniform_ = -1;
  std::vector<std::uint8_t> rawBytes_;
  std::function<void()> newFrameAvailableBlock_;
  bool enabled_ = true;
};
