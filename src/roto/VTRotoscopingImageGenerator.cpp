#include "roto/VTRotoscopingImageGenerator.h"

#include "gpu/GPUPicture.h"

namespace roto {

gfx::Image VTRotoscopingImageGenerator::image(const gfx::Image& picture, const std::shared_ptr<GPUFilter>& filter) {
  if (picture.empty() || !filter) return {};
  auto source = std::make_shared<GPUPicture>(picture);
  source->addTarget(filter);
  source->processImage();
  // Synchronous on the same serial queue, so it follows the queued frame.
  gfx::Image out = filter->imageFromCurrentlyProcessedOutput();
  filter->removeAllTargets();
  source->removeAllTargets();
  return out;
}

}  // namespace roto
