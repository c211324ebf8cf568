#include "platform/ui/ImageView.h"

#include "platform/ui/Compositor.h"

namespace ui {

ImageView::ImageView(const Rect& frame) : View(frame) { setUserInteractionEnabled(false); }

ImageView::ImageView(Picture image) : View(Rect{0, 0, image.size().width, image.size().height}), image_(std::move(image)) {
  setUserInteractionEnabled(false);
}

void ImageView::setImage(Picture image) {
  if (image == image_) return;
  image_ = std::move(image);
  contentChanged();
}

void ImageView::setHighlightedImage(Picture image) {
  if (image == highlightedImage_) return;
  highlightedImage_ = std::move(image);
  contentChanged();
}

void ImageView::setHighlighted(bool on) {
  if (on == highlighted_) return;
  highlighted_ = on;
  contentChanged();
}

const Picture& ImageView::currentImage() const {
  return highlighted_ && !highlightedImage_.empty() ? highlightedImage_ : image_;
}

namespace {
Rect pictureRect(const Picture& p, ContentMode mode, const Rect& bounds) {
  return p.isStretchable() ? bounds : contentRect(mode, bounds, p.size());
}
}  // namespace

void ImageView::drawLayerContent(Compositor& compositor, const Geometry& g) {
  const Picture& p = currentImage();
  if (p.empty()) return;
  compositor.drawPicture(p, pictureRect(p, contentMode(), g.bounds));
}

Rect ImageView::drawnExtent(const Geometry& g) const {
  const Picture& p = currentImage();
  if (p.empty()) return g.bounds;
  return g.bounds.unionWith(pictureRect(p, contentMode(), g.bounds).standardized());
}

}  // namespace ui
