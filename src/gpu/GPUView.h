#pragma once
// The pipeline's on-screen target: a toolkit view backed by a GL layer that
// draws every frame it receives into its renderbuffer, scaled into the view
// by one of three fill modes and turned by the input rotation, and presents
// it. Presented pictures reach the view on the main thread (the latest one
// wins when frames come faster than the main loop turns).
#include <memory>

#include "gpu/GLProgram.h"
#include "gpu/GPUOutput.h"
#include "platform/ui/GLView.h"

enum GPUFillModeType : int {
  kGPUFillModeStretch = 0,
  kGPUFillModePreserveAspectRatio = 1,
  kGPUFillModePreserveAspectRatioAndFill = 2,
};

class GPUView : public ui::GLView, public GPUInput {
 public:
  // Create with std::make_shared, on the main thread.
  explicit GPUView(const ui::Rect& frame, float contentsScale = 0);
  ~GPUView() override;

  // The view's own quads: the filters' quad of each mode with the bottom and
  // top corners exchanged, so the picture shows the right way up on screen.
  static const GPUQuad& textureCoordinatesForRotation(int mode);

  int fillMode() const { return fillMode_; }
  void setFillMode(int mode);
  // The renderbuffer's size; without one, maximumOutputSize().
  gfx::Size sizeInPixels() const;
  void setEnabled(bool on) { enabled_ = on; }
  void setBackgroundColorRed(float red, float green, float blue, float alpha);
  gfx::Size inputImageSize() const { return inputImageSize_; }
  const GPUQuad& imageVertices() const { return imageVertices_; }

  // --- GPUInput (the index is ignored throughout)
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void setInputTexture(GLuint texture, int) override { inputTextureForDisplay_ = texture; }
  void setTextureDelegate(GPUTextureDelegate* delegate, int) override { textureDelegate_ = delegate; }
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size size, int textureIndex) override;
  void setInputRotation(RotationMode rotation, int) override { inputRotation_ = validRotation(rotation); }
  gfx::Size maximumOutputSize() const override;
  void endProcessing() override {}
  bool shouldIgnoreUpdatesToThisTarget() const override { return false; }
  bool enabled() const override { return enabled_; }
  void conserveMemoryForNextFrame() override {}

 protected:
  void boundsSizeChanged(ui::Size oldSize) override;

 private:
  struct PresentMailbox;

  void createDisplayFramebuffer();
  void destroyDisplayFramebuffer();
  void setDisplayFramebuffer();
  void presentFramebuffer();
  void recalculateViewGeometry();

  RotationMode inputRotation_ = RotationNone;
  GPUTextureDelegate* textureDelegate_ = nullptr;
  GLuint inputTextureForDisplay_ = 0;
  glx::RenderbufferHandle displayRenderbuffer_;
  glx::FramebufferHandle displayFramebuffer_;
  GLProgram* displayProgram_ = nullptr;
  GLint displayInputTextureUniform_ = -1;
  gfx::Size inputImageSize_;
  GPUQuad imageVertices_ = kFullFrameVertices;
  float backgroundColorRed_ = 0, backgroundColorGreen_ = 0, backgroundColorBlue_ = 0, backgroundColorAlpha_ = 1;
  gfx::Size sizeInPixels_;
  int fillMode_ = kGPUFillModePreserveAspectRatio;
  bool enabled_ = true;
  // The bounds as the processing queue sees them (points), and times the
  // scale; written only inside jobs on the queue.
  gfx::Size boundsSize_;
  float scale_ = 1;
  std::shared_ptr<PresentMailbox> mailbox_;
};
