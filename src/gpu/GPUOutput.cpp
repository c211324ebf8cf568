#include "gpu/GPUOutput.h"

#include <algorithm>

#include "gpu/GPUMovieWriter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPicture.h"
#include "platform/foundation/Log.h"

GPUOutput::GPUOutput() = default;

GPUOutput::~GPUOutput() {
  removeAllTargets();
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) outputTexture_.reset();
  });
}

void GPUOutput::addTarget(const std::shared_ptr<GPUInput>& target) {
  if (!target) return;
  const int index = target->nextAvailableTextureIndex();
  addTarget(target, index);
  if (textureForOutput() != 0) {
    performOnProcessingQueueSync([&] { setInputTextureForTarget(target.get(), index); });
  }
  if (target->shouldIgnoreUpdatesToThisTarget()) setTargetToIgnoreForUpdates(target.get());
}

void GPUOutput::addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) {
  if (!target) return;
  performOnProcessingQueueSync([&] {
    if (indexOfTarget(target.get()) >= 0) return;
    setInputTextureForTarget(target.get(), textureLocation);
    target->setTextureDelegate(this, textureLocation);
    targets_.push_back({target, textureLocation});
  });
}

void GPUOutput::detachTarget(GPUInput& target, int textureIndex) {
  target.setInputSize({0, 0}, textureIndex);
  target.setInputTexture(0, textureIndex);
  target.setTextureDelegate(nullptr, textureIndex);
  target.setInputRotation(RotationNone, textureIndex);
}

void GPUOutput::removeTarget(const std::shared_ptr<GPUInput>& target) {
  if (!target) return;
  performOnProcessingQueueSync([&] {
    const int index = indexOfTarget(target.get());
    if (index < 0) return;
    if (targetToIgnoreForUpdates_ == target.get()) targetToIgnoreForUpdates_ = nullptr;
    detachTarget(*target, index);
    std::erase_if(targets_, [&](const TargetEntry& e) { return e.target == target; });
    target->endProcessing();
  });
}

void GPUOutput::removeAllTargets() {
  performOnProcessingQueueSync([this] {
    // Taken out first: a target told that its source goes away may answer by
    // touching this source's list.
    std::vector<TargetEntry> old = std::move(targets_);
    targets_.clear();
    for (const TargetEntry& e : old) detachTarget(*e.target, e.textureIndex);
  });
}

std::vector<std::shared_ptr<GPUInput>> GPUOutput::targets() const {
  std::vector<std::shared_ptr<GPUInput>> copy;
  performOnProcessingQueueSync([&] {
    for (const TargetEntry& e : targets_) copy.push_back(e.target);
  });
  return copy;
}

int GPUOutput::textureIndexOfTarget(const GPUInput* target) const {
  int index = -1;
  performOnProcessingQueueSync([&] { index = indexOfTarget(target); });
  return index;
}

int GPUOutput::indexOfTarget(const GPUInput* target) const {
  for (const TargetEntry& e : targets_) {
    if (e.target.get() == target) return e.textureIndex;
  }
  return -1;
}

void GPUOutput::setInputTextureForTarget(GPUInput* target, int textureIndex) {
  target->setInputTexture(textureForOutput(), textureIndex);
}

void GPUOutput::notifyTargetsAboutNewOutputTexture() {
  for (const TargetEntry& e : targetEntries()) setInputTextureForTarget(e.target.get(), e.textureIndex);
}

void GPUOutput::initializeOutputTextureIfNeeded() {
  performOnProcessingQueueSync([this] {
    if (outputTexture_ || !GPUOpenGLESContext::useImageProcessingContext()) return;
    glActiveTexture(GL_TEXTURE0);
    outputTexture_ = makeOutputTexture();
    glBindTexture(GL_TEXTURE_2D, 0);
  });
}

glx::TextureHandle GPUOutput::makeOutputTexture() {
  glx::TextureHandle texture = glx::TextureHandle::make();
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return texture;
}

void GPUOutput::deleteOutputTexture() {
  performOnProcessingQueueSync([this] {
    if (outputTexture_ && GPUOpenGLESContext::useImageProcessingContext()) outputTexture_.reset();
  });
}

void GPUOutput::setAudioEncodingTarget(const std::shared_ptr<GPUMovieWriter>& writer) {
  audioEncodingTarget_ = writer;
  if (writer) writer->setHasAudioTrack(true);
}

void GPUOutput::cleanupOutputImage() { fd::Log("WARNING: Undefined image cleanup\n"); }

void GPUOutput::conserveMemoryForNextFrame() {
  shouldConserveMemoryForNextFrame_ = true;
  for (const TargetEntry& e : targetEntries()) {
    if (e.target.get() != targetToIgnoreForUpdates_) e.target->conserveMemoryForNextFrame();
  }
}

void GPUOutput::textureNoLongerNeededForTarget(GPUInput*) {
  if (outputTextureRetainCount_ == 0) return;
  if (--outputTextureRetainCount_ == 0) cleanupOutputImage();
}

gfx::Image GPUOutput::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation) { return {}; }

gfx::Image GPUOutput::newCGImageFromCurrentlyProcessedOutput() {
  return newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation::Up);
}

gfx::Image GPUOutput::imageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation orientation) {
  gfx::Image image = newCGImageFromCurrentlyProcessedOutputWithOrientation(orientation);
  image.setScale(1.0f);
  image.setOrientation(orientation);
  return image;
}

gfx::Image GPUOutput::imageFromCurrentlyProcessedOutput() {
  return imageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation::Up);
}

gfx::Image GPUOutput::newCGImageByFilteringCGImage(const gfx::Image& image, gfx::Orientation orientation) {
  auto picture = std::make_shared<GPUPicture>(image);
  prepareForImageCapture();
  // This object is owned by its caller; the picture only borrows it as a target.
  std::shared_ptr<GPUInput> self(std::shared_ptr<GPUInput>{}, dynamic_cast<GPUInput*>(this));
  if (!self) return {};
  picture->addTarget(self);
  picture->processImage();
  gfx::Image result = newCGImageFromCurrentlyProcessedOutputWithOrientation(orientation);
  picture->removeTarget(self);
  return result;
}

gfx::Image GPUOutput::newCGImageByFilteringCGImage(const gfx::Image& image) {
  return newCGImageByFilteringCGImage(image, gfx::Orientation::Up);
}

gfx::Image GPUOutput::newCGImageByFilteringImage(const gfx::Image& image) {
  return newCGImageByFilteringCGImage(image, image.orientation());
}

gfx::Image GPUOutput::imageByFilteringImage(const gfx::Image& image) {
  gfx::Image result = newCGImageByFilteringCGImage(image, image.orientation());
  result.setScale(image.scale());
  result.setOrientation(image.orientation());
  return result;
}
