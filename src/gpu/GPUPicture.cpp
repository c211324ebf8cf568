#include "gpu/GPUPicture.h"

#include <algorithm>
#include <cmath>

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPixels.h"

namespace {
// Images with a side above this switch the chain to memory conservation.
constexpr float kConserveMemoryAbove = 1000.0f;

float nextPowerOfTwo(float side) { return std::pow(2.0f, std::ceil(std::log2(side))); }
}  // namespace

gfx::Size GPUPicture::textureSizeForImageSize(gfx::Size pixelSize, bool smoothlyScale) {
  if (!smoothlyScale || pixelSize.width <= 0 || pixelSize.height <= 0) return pixelSize;
  return {nextPowerOfTwo(pixelSize.width), nextPowerOfTwo(pixelSize.height)};
}

GPUPicture::GPUPicture(const gfx::Image& image, bool smoothlyScaleOutput) {
  shouldSmoothlyScaleOutput_ = smoothlyScaleOutput;
  const gfx::Size imageSize{static_cast<float>(image.pixelWidth()), static_cast<float>(image.pixelHeight())};
  pixelSizeOfImage_ = GPUOpenGLESContext::sizeThatFitsWithinATextureForSize(imageSize);
  const gfx::Size textureSize = textureSizeForImageSize(pixelSizeOfImage_, smoothlyScaleOutput);
  const int width = static_cast<int>(textureSize.width);
  const int height = static_cast<int>(textureSize.height);
  const std::vector<std::uint8_t> bytes = bgraBytesFromImage(image, width, height);

  initializeOutputTextureIfNeeded();
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    glBindTexture(GL_TEXTURE_2D, outputTexture_.get());
    if (smoothlyScaleOutput) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    uploadBGRATexture(width, height, bytes.empty() ? nullptr : bytes.data());
    if (smoothlyScaleOutput) glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
  });
}

GPUPicture::~GPUPicture() {
  // A queued send still uses this picture: wait it out.
  performOnProcessingQueueSync([] {});
}

void GPUPicture::processImage() {
  hasProcessedImage_ = true;
  bool idle = false;
  if (!sending_.compare_exchange_strong(idle, true)) return;
  performOnProcessingQueueAsync([this] {
    if (std::max(pixelSizeOfImage_.width, pixelSizeOfImage_.height) > kConserveMemoryAbove) {
      conserveMemoryForNextFrame();
    }
    for (const TargetEntry& e : targetEntries()) {
      e.target->setInputSize(pixelSizeOfImage_, e.textureIndex);
      e.target->newFrameReadyAtTime(kCMTimeIndefinite, e.textureIndex);
    }
    sending_ = false;
  });
}

void GPUPicture::addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) {
  GPUOutput::addTarget(target, textureLocation);
  if (!hasProcessedImage_ || !target) return;
  // Through the queue, so the late frame never overlaps a send in progress.
  performOnProcessingQueueSync([&] {
    target->setInputSize(pixelSizeOfImage_, textureLocation);
    target->newFrameReadyAtTime(kCMTimeIndefinite, textureLocation);
  });
}

void GPUPicture::removeAllTargets() {
  GPUOutput::removeAllTargets();
  hasProcessedImage_ = false;
}
