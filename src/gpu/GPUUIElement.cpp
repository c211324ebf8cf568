#include "gpu/GPUUIElement.h"

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPixels.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"

namespace {
constexpr std::int32_t kUITimescale = 600;
}

GPUUIElement::GPUUIElement(std::shared_ptr<ui::View> view) : view_(std::move(view)) { update(); }

gfx::Size GPUUIElement::layerSizeInPixels() const {
  const float scale = ui::Screen::main().scale();
  const ui::Rect bounds = view_->bounds();
  return {bounds.width * scale, bounds.height * scale};
}

void GPUUIElement::update() {
  const double now = fd::RunLoop::main().now();
  if (CMTIME_IS_VALID(time_)) {
    time_ = CMTimeAdd(time_, CMTimeMakeWithSeconds(now - actualTimeOfLastUpdate_, kUITimescale));
  } else {
    time_ = CMTimeMakeWithSeconds(0, kUITimescale);
  }
  actualTimeOfLastUpdate_ = now;

  const gfx::Size size = layerSizeInPixels();
  const int width = static_cast<int>(size.width), height = static_cast<int>(size.height);
  const gfx::Image picture = view_->renderToImage(ui::Screen::main().scale());
  const std::vector<std::uint8_t> bytes = bgraBytesFromImage(picture, width, height);

  initializeOutputTextureIfNeeded();
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    glBindTexture(GL_TEXTURE_2D, outputTexture_.get());
    uploadBGRATexture(width, height, bytes.empty() ? nullptr : bytes.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    for (const TargetEntry& e : targetEntries()) {
      if (e.target.get() == targetToIgnoreForUpdates_) continue;
      e.target->setInputSize(size, e.textureIndex);
      e.target->newFrameReadyAtTime(time_, e.textureIndex);
    }
  });
}
