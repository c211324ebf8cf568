#pragma once
// A view whose content is a GL layer: each present of the layer hands its
// pixels here, and the compositor lays them out over the bounds under the
// view's transform, alpha and clipping like any other content. Pixels can
// also be handed in directly (present()), which is all the compositor needs.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

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
  // marks the shown picture stale, and the view reads what the present
  // changed (readPresentedRect) when it is next composed. A drawing canvas
  // presents after every batch of dabs, far more often than the screen is
  // composed, and each batch changes a small part of the picture.
  void readPicturesOnDemand();
  virtual std::optional<gfx::Image> readPresentedPicture() { return std::nullopt; }
  // Reads a rectangle of the layer's pixels (origin bottom left) as RGBA
  // rows bottom-up, premultiplied, into out; false when nothing was read.
  // By default it is cut from the whole picture.
  virtual bool readPresentedRect(const glx::PixelBox& box, std::uint8_t* out);

  void drawLayerContent(Compositor& compositor, const Geometry& g) override;
  std::optional<Rect> contentDamageSince(std::uint64_t version) const override;
  void boundsSizeChanged(Size oldSize) override;

 private:
  void presentObserved();
  // Brings the screen copy of a picture read on demand up to date.
  bool updateScreenPixels(bool whole);

  std::unique_ptr<glx::GLLayer> layer_;
  std::shared_ptr<const gfx::Image> presented_;
  std::uint64_t presents_ = 0;
  bool stale_ = false;
  bool onDemand_ = false;
  // Pictures read on demand, in the compositor's pixel format, and the part
  // of the layer presented since they were last read (nullopt: none; whole
  // when unknown).
  std::vector<std::uint32_t> screenPixels_;
  int screenWidth_ = 0, screenHeight_ = 0;
  std::optional<glx::PixelBox> unread_;
  bool unreadWhole_ = true;
  // The latest presents: the content version each made and the layer
  // pixels it changed (nullopt: all). Every change after `changesFrom_` is
  // listed.
  struct Change {
    std::uint64_t version = 0;
    std::optional<glx::PixelBox> box;
  };
  void noteChange(std::optional<glx::PixelBox> box);
  std::deque<Change> changes_;
  std::uint64_t changesFrom_ = 0;
};

}  // namespace ui
