#include "platform/ui/GLView.h"

#include "platform/ui/Compositor.h"
#include "platform/ui/Screen.h"

namespace ui {

GLView::GLView(const Rect& frame, float contentsScale) : View(frame) {
  float scale = contentsScale > 0 ? contentsScale : Screen::main().scale();
  layer_ = std::make_unique<glx::GLLayer>(bounds().width, bounds().height, scale);
  layer_->setPresentHandler([this](const gfx::Image& picture) { present(picture); });
  setOpaque(true);
}

GLView::~GLView() {
  layer_->setPresentHandler({});
  layer_->setPresentObserver({});
}

void GLView::setContentsScale(float s) { layer_->setContentsScale(s); }

void GLView::present(gfx::Image picture) {
  presented_ = std::make_shared<const gfx::Image>(std::move(picture));
  stale_ = false;
  ++presents_;
}

void GLView::readPicturesOnDemand() {
  layer_->setPresentHandler({});
  layer_->setPresentObserver([this] {
    stale_ = true;
    ++presents_;
  });
}

const std::shared_ptr<const gfx::Image>& GLView::presentedImage() {
  if (stale_) {
    stale_ = false;
    if (std::optional<gfx::Image> picture = readPresentedPicture()) {
      presented_ = std::make_shared<const gfx::Image>(std::move(*picture));
    }
  }
  return presented_;
}

void GLView::boundsSizeChanged(Size oldSize) {
  View::boundsSizeChanged(oldSize);
  layer_->setBounds(bounds().width, bounds().height);
}

void GLView::drawLayerContent(Compositor& compositor, const Geometry& g) {
  if (const auto& picture = presentedImage()) compositor.drawImage(picture, g.bounds);
}

}  // namespace ui
