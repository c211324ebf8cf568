#pragma once
// A still picture as a pipeline source: uploaded once as a BGRA texture when
// made, sent to the targets as a frame with the indefinite time each time
// processImage is called.
#include <atomic>

#include "gpu/GPUOutput.h"

class GPUPicture : public GPUOutput {
 public:
  // The image's stored pixels (its orientation is not applied). With smooth
  // scaling the texture's sides are raised to powers of two and mipmapped.
  explicit GPUPicture(const gfx::Image& image, bool smoothlyScaleOutput = false);
  ~GPUPicture() override;

  // Queues one frame to every target and returns at once; dropped while an
  // earlier frame is still being sent.
  void processImage();
  gfx::Size outputImageSize() const { return pixelSizeOfImage_; }

  // A target added after processImage gets the frame at once.
  void addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) override;
  using GPUOutput::addTarget;
  void removeAllTargets() override;

  // The texture size for an image size: powers of two with smooth scaling.
  static gfx::Size textureSizeForImageSize(gfx::Size pixelSize, bool smoothlyScale);

 private:
  gfx::Size pixelSizeOfImage_;
  std::atomic<bool> hasProcessedImage_{false};
  std::atomic<bool> sending_{false};
};
