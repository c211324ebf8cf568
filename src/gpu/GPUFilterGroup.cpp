#include "gpu/GPUFilterGroup.h"

void GPUFilterGroup::addFilter(std::shared_ptr<GPUFilterStage> filter) { filters_.push_back(std::move(filter)); }

std::shared_ptr<GPUFilterStage> GPUFilterGroup::filterAtIndex(std::size_t index) const {
  return index < filters_.size() ? filters_[index] : nullptr;
}

void GPUFilterGroup::addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) {
  if (terminalFilter_) terminalFilter_->addTarget(target, textureLocation);
}

void GPUFilterGroup::removeTarget(const std::shared_ptr<GPUInput>& target) {
  if (terminalFilter_) terminalFilter_->removeTarget(target);
}

void GPUFilterGroup::removeAllTargets() {
  if (terminalFilter_) terminalFilter_->removeAllTargets();
}

void GPUFilterGroup::setTargetToIgnoreForUpdates(GPUInput* target) {
  if (terminalFilter_) terminalFilter_->setTargetToIgnoreForUpdates(target);
}

void GPUFilterGroup::setFrameProcessingCompletionBlock(FrameProcessingCompletionBlock block) {
  if (terminalFilter_) terminalFilter_->setFrameProcessingCompletionBlock(std::move(block));
}

const GPUOutput::FrameProcessingCompletionBlock& GPUFilterGroup::frameProcessingCompletionBlock() const {
  static const FrameProcessingCompletionBlock none;
  return terminalFilter_ ? terminalFilter_->frameProcessingCompletionBlock() : none;
}

void GPUFilterGroup::prepareForImageCapture() {
  if (terminalFilter_) terminalFilter_->prepareForImageCapture();
}

gfx::Image GPUFilterGroup::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) {
  return terminalFilter_ ? terminalFilter_->newCGImageFromCurrentlyProcessedOutputWithOrientation(orientation)
                         : gfx::Image{};
}

void GPUFilterGroup::newFrameReadyAtTime(CMTime frameTime, int textureIndex) {
  outputTextureRetainCount_ = static_cast<unsigned>(initialFilters_.size());
  for (const auto& filter : initialFilters_) {
    if (filter != inputFilterToIgnoreForUpdates_) filter->newFrameReadyAtTime(frameTime, textureIndex);
  }
}

void GPUFilterGroup::setInputTexture(GLuint texture, int textureIndex) {
  for (const auto& filter : initialFilters_) filter->setInputTexture(texture, textureIndex);
}

void GPUFilterGroup::setTextureDelegate(GPUTextureDelegate* delegate, int textureIndex) {
  firstTextureDelegate_ = delegate;
  for (const auto& filter : initialFilters_) filter->setTextureDelegate(this, textureIndex);
}

void GPUFilterGroup::setInputSize(gfx::Size size, int textureIndex) {
  for (const auto& filter : initialFilters_) filter->setInputSize(size, textureIndex);
}

void GPUFilterGroup::setInputRotation(RotationMode rotation, int textureIndex) {
  for (const auto& filter : initialFilters_) filter->setInputRotation(rotation, textureIndex);
}

void GPUFilterGroup::endProcessing() {
  for (const auto& filter : initialFilters_) filter->endProcessing();
}

void GPUFilterGroup::conserveMemoryForNextFrame() {
  for (const auto& filter : initialFilters_) filter->conserveMemoryForNextFrame();
}

void GPUFilterGroup::textureNoLongerNeededForTarget(GPUInput*) {
  // A release beyond the count (a filter done twice) must not release the
  // source's texture again.
  if (outputTextureRetainCount_ == 0) return;
  if (--outputTextureRetainCount_ == 0 && firstTextureDelegate_ != nullptr) {
    firstTextureDelegate_->textureNoLongerNeededForTarget(this);
  }
}

void GPUFilterGroup::forceProcessingAtSize(gfx::Size size) {
  for (const auto& filter : filters_) filter->forceProcessingAtSize(size);
}
