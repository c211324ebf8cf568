#pragma once
// Several filters acting as one: frames that reach the group go to its
// initial filters, and its targets hang on its terminal filter. A subclass
// builds and chains its inner filters itself.
#include <memory>
#include <vector>

#include "gpu/GPUOutput.h"

class GPUFilterGroup : public GPUFilterStage {
 public:
  GPUFilterGroup() = default;

  // Appends to the list; chaining is the caller's.
  void addFilter(std::shared_ptr<GPUFilterStage> filter);
  std::shared_ptr<GPUFilterStage> filterAtIndex(std::size_t index) const;
  std::size_t filterCount() const { return filters_.size(); }

  void setTerminalFilter(std::shared_ptr<GPUFilterStage> filter) { terminalFilter_ = std::move(filter); }
  const std::shared_ptr<GPUFilterStage>& terminalFilter() const { return terminalFilter_; }
  void setInitialFilters(std::vector<std::shared_ptr<GPUFilterStage>> filters) { initialFilters_ = std::move(filters); }
  const std::vector<std::shared_ptr<GPUFilterStage>>& initialFilters() const { return initialFilters_; }
  void setInputFilterToIgnoreForUpdates(std::shared_ptr<GPUFilterStage> filter) {
    inputFilterToIgnoreForUpdates_ = std::move(filter);
  }

  // --- sent on to the terminal filter
  using GPUOutput::addTarget;
  void addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) override;
  void removeTarget(const std::shared_ptr<GPUInput>& target) override;
  void removeAllTargets() override;
  void setTargetToIgnoreForUpdates(GPUInput* target) override;
  void setFrameProcessingCompletionBlock(FrameProcessingCompletionBlock block) override;
  const FrameProcessingCompletionBlock& frameProcessingCompletionBlock() const override;
  void prepareForImageCapture() override;
  gfx::Image newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) override;

  // --- GPUInput: sent on to the initial filters
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;
  void setInputTexture(GLuint texture, int textureIndex) override;
  void setTextureDelegate(GPUTextureDelegate* delegate, int textureIndex) override;
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size size, int textureIndex) override;
  void setInputRotation(RotationMode rotation, int textureIndex) override;
  gfx::Size maximumOutputSize() const override { return {}; }
  void endProcessing() override;
  void conserveMemoryForNextFrame() override;

  // All initial filters done with the source's texture: tell the source.
  void textureNoLongerNeededForTarget(GPUInput* target) override;
  // Reaches every filter of the group.
  void forceProcessingAtSize(gfx::Size size) override;

 private:
  std::vector<std::shared_ptr<GPUFilterStage>> filters_;
  std::shared_ptr<GPUFilterStage> terminalFilter_;
  std::vector<std::shared_ptr<GPUFilterStage>> initialFilters_;
  std::shared_ptr<GPUFilterStage> inputFilterToIgnoreForUpdates_;
};
