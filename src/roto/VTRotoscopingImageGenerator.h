#pragma once
// One still picture through a GPU filter: the export turns each movie frame
// into black strokes on transparency with it. Callable from any thread; the
// GL work runs on the pipeline's processing queue. One call at a time per
// filter (the filter is reused from call to call).
#include <memory>

#include "gpu/GPUFilter.h"
#include "platform/graphics/Image.h"

namespace roto {

class VTRotoscopingImageGenerator {
 public:
  // The filtered picture, premultiplied as read back; empty when the
  // pipeline produced nothing.
  static gfx::Image image(const gfx::Image& picture, const std::shared_ptr<GPUFilter>& filter);
};

}  // namespace roto
