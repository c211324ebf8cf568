#pragma once
// Shows a picture, or its highlighted picture while highlighted; stretchable
// pictures fill the bounds with their caps kept.
#include "platform/ui/Picture.h"
#include "platform/ui/View.h"

namespace ui {

class ImageView : public View {
 public:
  explicit ImageView(const Rect& frame = {});
  // Sized to the picture, at the origin.
  explicit ImageView(Picture image);

  const Picture& image() const { return image_; }
  void setImage(Picture image);
  const Picture& highlightedImage() const { return highlightedImage_; }
  void setHighlightedImage(Picture image);
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool on);
  // What is on show now.
  const Picture& currentImage() const;

  Size sizeThatFits(Size) const override { return image_.size(); }

 protected:
  void drawLayerContent(Compositor& compositor, const Geometry& g) override;
  // A picture placed by the content mode may reach beyond the bounds.
  Rect drawnExtent(const Geometry& g) const override;

 private:
  Picture image_, highlightedImage_;
  bool highlighted_ = false;
};

}  // namespace ui
