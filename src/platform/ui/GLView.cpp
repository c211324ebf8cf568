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

GLView::~GLView() { layer_->setPresentHandler({}); }

void GLView::setContentsScale(float s) { layer_->setContentsScale(s); }

void GLView::present(gfx::Image picture) {
  presented_ = std::make_shared<const gfx::Image>(std::move(picture));
  ++presents_;
}

void GLView::boundsSizeChanged(Size oldSize) {
  View::boundsSizeChanged(oldSize);
  layer_->setBounds(bounds().width, bounds().height);
}

void GLView::drawLayerContent(Compositor& compositor, const Geometry& g) {
  if (presented_) compositor.drawImage(presented_, g.bounds);
}

}  // namespace ui
