#pragma once
// A view whose content is a GL layer: each present of the layer hands its
// pixels here, and the compositor lays them out over the bounds under the
// view's transform, alpha and clipping like any other content. Pixels can
// also be handed in directly (present()), which is all the compositor needs.
#include <memory>
#include <optional>

#include "platform/gl/GLLayer.h"
#include "platform/ui/View.h"

namespace ui {

class GLView : public View {
 public:
  // The layer's contents scale is the main screen's unless given.
  explicit GLView(const Rect& frame, float contentsScale = 0);
  ~GLView() override;

  glx::GLLayer& layer() { return *layer_; }
  float contentsScale() const { return layer_->contentsScale(); }
  void setContentsScale(float s);

  // A presented picture: rows top-down, premultiplied (or straight, as the
  // image says). The latest one is shown until the next.
  void present(gfx::Image picture);
  // The picture shown now (read from the layer first when it is stale).
  const std::shared_ptr<const gfx::Image>& presentedImage();
  std::uint64_t presentCount() const { return presents_; }

 protected:
  // For a view that owns the context its layer draws with: a present only
  // marks the shown picture stale, and readPresentedPicture() fetches it
  // once, when the view is next composed. A drawing canvas presents after
  // every batch of dabs, far more often than the screen is composed.
  void readPicturesOnDemand();
  virtual std::optional<gfx::Image> readPresentedPicture() { return std::nullopt; }

  void drawLayerContent(Compositor& compositor, const Geometry& g) override;
  void boundsSizeChanged(Size oldSize) override;

 private:
  std::unique_ptr<glx::GLLayer> layer_;
  std::shared_ptr<const gfx::Image> presented_;
  std::uint64_t presents_ = 0;
  bool stale_ = false;
};

}  // namespace ui
