#include "platform/ui/ImageView.h"

#include "platform/ui/Compositor.h"

namespace ui {

ImageView::ImageView(const Rect& frame) : View(frame) { setUserInteractionEnabled(false); }

ImageView::ImageView(Picture image) : View(Rect{0, 0, image.size().width, image.size().height}), image_(std::move(image)) {
  setUserInteractionEnabled(false);
}

void ImageView::setImage(Picture image) { image_ = std::move(image); }
void ImageView::setHighlightedImage(Picture image) { highlightedImage_ = std::move(image); }

const Picture& ImageView::currentImage() const {
  return highlighted_ && !highlightedImage_.empty() ? highlightedImage_ : image_;
}

void ImageView::drawLayerContent(Compositor& compositor, const Geometry& g) {
  const Picture& p = currentImage();
  if (p.empty()) return;
  if (p.isStretchable()) compositor.drawPicture(p, g.bounds);
  else compositor.drawPicture(p, contentRect(contentMode(), g.bounds, p.size()));
}

}  // namespace ui
