#pragma once
// The two contracts that join the pipeline's graph: GPUOutput, the base of
// every source (and of every filter, which is also a target), and GPUInput,
// the protocol of every target. Sources hand textures, sizes and rotations to
// their targets and then only name the texture index with each frame.
#include <GLES2/gl2.h>

#include <functional>
#include <memory>
#include <vector>

#include "gpu/GPUTypes.h"
#include "platform/media/MediaTime.h"
#include "platform/gl/Handles.h"
#include "platform/graphics/Image.h"

class GPUInput;
class GPUMovieWriter;
class GPUOutput;

// How a target tells its source that it has finished reading the source's
// texture for this frame.
class GPUTextureDelegate {
 public:
  virtual ~GPUTextureDelegate() = default;
  virtual void textureNoLongerNeededForTarget(GPUInput* target) = 0;
};

class GPUInput {
 public:
  virtual ~GPUInput() = default;
  // A new frame is in the texture handed over earlier at that index.
  virtual void newFrameReadyAtTime(CMTime frameTime, int textureIndex) = 0;
  // The texture read at that index from now on (0 detaches).
  virtual void setInputTexture(GLuint texture, int textureIndex) = 0;
  virtual void setTextureDelegate(GPUTextureDelegate* delegate, int textureIndex) = 0;
  virtual int nextAvailableTextureIndex() const = 0;
  // A zero size means the source went away.
  virtual void setInputSize(gfx::Size size, int textureIndex) = 0;
  virtual void setInputRotation(RotationMode rotation, int textureIndex) = 0;
  // Zero means no limit.
  virtual gfx::Size maximumOutputSize() const = 0;
  virtual void endProcessing() = 0;
  virtual bool shouldIgnoreUpdatesToThisTarget() const = 0;
  virtual bool enabled() const = 0;
  virtual void conserveMemoryForNextFrame() = 0;
};

class GPUOutput : public GPUTextureDelegate {
 public:
  using FrameProcessingCompletionBlock = std::function<void(GPUOutput* output, CMTime frameTime)>;

  GPUOutput();
  // Detaches every target, then frees the output texture, on the processing queue.
  ~GPUOutput() override;
  GPUOutput(const GPUOutput&) = delete;
  GPUOutput& operator=(const GPUOutput&) = delete;

  // --- targets (from any thread; the work runs on the processing queue)
  void addTarget(const std::shared_ptr<GPUInput>& target);
  virtual void addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation);
  virtual void removeTarget(const std::shared_ptr<GPUInput>& target);
  virtual void removeAllTargets();
  std::vector<std::shared_ptr<GPUInput>> targets() const;
  // The texture index of a target; -1 when it is not one.
  int textureIndexOfTarget(const GPUInput* target) const;

  // --- the output texture
  void setInputTextureForTarget(GPUInput* target, int textureIndex);
  virtual GLuint textureForOutput() const { return outputTexture_.get(); }
  void notifyTargetsAboutNewOutputTexture();
  void initializeOutputTextureIfNeeded();
  virtual void deleteOutputTexture();

  // --- processing size and capture; sources without a framebuffer ignore these
  virtual void forceProcessingAtSize(gfx::Size) {}
  virtual void forceProcessingAtSizeRespectingAspectRatio(gfx::Size) {}
  virtual void prepareForImageCapture() {}
  virtual void cleanupOutputImage();

  // --- memory conservation
  virtual void conserveMemoryForNextFrame();
  void textureNoLongerNeededForTarget(GPUInput* target) override;

  // --- capture of the frame currently held, as pixels (rows top-down as they
  // lie in memory, RGBA). Empty for a source that holds no rendered frame.
  virtual gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation);
  // A desktop has no device orientation: the picture comes out up.
  gfx::Image newCGImageFromCurrentlyProcessedOutput();
  // The same with scale 1 and the orientation given.
  gfx::Image imageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation);
  gfx::Image imageFromCurrentlyProcessedOutput();
  // Runs one still picture through this object (see GPUPicture).
  gfx::Image newCGImageByFilteringCGImage(const gfx::Image& image, gfx::Orientation orientation);
  gfx::Image newCGImageByFilteringCGImage(const gfx::Image& image);
  // With the image's own orientation, and (imageByFilteringImage) its scale.
  gfx::Image newCGImageByFilteringImage(const gfx::Image& image);
  gfx::Image imageByFilteringImage(const gfx::Image& image);

  // --- properties
  gfx::Size inputTextureSize() const { return inputTextureSize_; }
  bool shouldSmoothlyScaleOutput() const { return shouldSmoothlyScaleOutput_; }
  void setShouldSmoothlyScaleOutput(bool on) { shouldSmoothlyScaleOutput_ = on; }
  bool shouldIgnoreUpdatesToThisTarget() const { return shouldIgnoreUpdatesToThisTarget_; }
  void setShouldIgnoreUpdatesToThisTarget(bool on) { shouldIgnoreUpdatesToThisTarget_ = on; }
  GPUInput* targetToIgnoreForUpdates() const { return targetToIgnoreForUpdates_; }
  virtual void setTargetToIgnoreForUpdates(GPUInput* target) { targetToIgnoreForUpdates_ = target; }
  virtual void setFrameProcessingCompletionBlock(FrameProcessingCompletionBlock block) {
    frameProcessingCompletionBlock_ = std::move(block);
  }
  virtual const FrameProcessingCompletionBlock& frameProcessingCompletionBlock() const {
    return frameProcessingCompletionBlock_;
  }
  bool enabled() const { return enabled_; }
  void setEnabled(bool on) { enabled_ = on; }
  // The movie writer that receives this source's sound; setting one tells it
  // to expect a sound track.
  const std::shared_ptr<GPUMovieWriter>& audioEncodingTarget() const { return audioEncodingTarget_; }
  virtual void setAudioEncodingTarget(const std::shared_ptr<GPUMovieWriter>& writer);
  unsigned outputTextureRetainCount() const { return outputTextureRetainCount_; }

 protected:
  struct TargetEntry {
    std::shared_ptr<GPUInput> target;
    int textureIndex;
  };
  // A copy, for walking while targets may change.
  std::vector<TargetEntry> targetEntries() const { return targets_; }
  // Tells a target at its index that this source goes away (size zero,
  // texture 0, no delegate, no rotation).
  static void detachTarget(GPUInput& target, int textureIndex);
  // A new texture, bound, with linear filtering and clamped edges, no storage.
  static glx::TextureHandle makeOutputTexture();
  // textureIndexOfTarget for code already on the processing queue.
  int indexOfTarget(const GPUInput* target) const;

  std::vector<TargetEntry> targets_;
  glx::TextureHandle outputTexture_;
  gfx::Size inputTextureSize_;
  gfx::Size forcedMaximumSize_;
  bool overrideInputSize_ = false;
  unsigned outputTextureRetainCount_ = 0;
  GPUTextureDelegate* firstTextureDelegate_ = nullptr;
  bool shouldConserveMemoryForNextFrame_ = false;
  bool shouldSmoothlyScaleOutput_ = false;
  bool shouldIgnoreUpdatesToThisTarget_ = false;
  GPUInput* targetToIgnoreForUpdates_ = nullptr;
  FrameProcessingCompletionBlock frameProcessingCompletionBlock_;
  bool enabled_ = true;
  std::shared_ptr<GPUMovieWriter> audioEncodingTarget_;
};

// A stage of a chain: both a target and a source (filters and filter groups).
class GPUFilterStage : public GPUOutput, public GPUInput {
 public:
  bool shouldIgnoreUpdatesToThisTarget() const override { return GPUOutput::shouldIgnoreUpdatesToThisTarget(); }
  bool enabled() const override { return GPUOutput::enabled(); }
  void conserveMemoryForNextFrame() override { GPUOutput::conserveMemoryForNextFrame(); }
};
