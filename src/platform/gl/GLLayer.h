#pragma once
// Stand-in for the phone's GL layer: the drawable a context renders into. Its
// storage is an RGBA8 renderbuffer of the layer's size times its scale inside
// the owner's framebuffer; backing is retained (present never clears), and
// present hands the picture to whoever shows it (the UI compositor).
#include <GLES2/gl2.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/graphics/Image.h"

namespace glx {

class Context;

class GLLayer {
 public:
  // Receives each presented picture: rows top-down, premultiplied, scale =
  // the layer's contents scale. Runs inside present, with the context current.
  using PresentHandler = std::function<void(const gfx::Image&)>;
  // Told of each present without the pixels, before the handler: for a
  // viewer that reads the picture itself, only when it shows it.
  using PresentObserver = std::function<void()>;

  GLLayer() = default;
  GLLayer(float widthPoints, float heightPoints, float contentsScale = 1.0f);
  // The context forgets the layer; the renderbuffer itself belongs to the
  // framebuffer's owner, who frees it through its handle.
  ~GLLayer();
  GLLayer(const GLLayer&) = delete;
  GLLayer& operator=(const GLLayer&) = delete;

  void setBounds(float widthPoints, float heightPoints);
  float widthPoints() const { return width_; }
  float heightPoints() const { return height_; }
  void setContentsScale(float s) { scale_ = s; }
  float contentsScale() const { return scale_; }

  // Drawable properties as the phone's layer carries them.
  void setOpaque(bool o) { opaque_ = o; }
  bool opaque() const { return opaque_; }
  void setRetainedBacking(bool r) { retained_ = r; }
  bool retainedBacking() const { return retained_; }

  // Pixel size of the storage the layer asks for: points times scale,
  // truncated, at least 1, at most the GL's renderbuffer limit.
  int drawableWidth() const;
  int drawableHeight() const;

  void setPresentHandler(PresentHandler handler) { handler_ = std::move(handler); }
  bool hasPresentHandler() const { return static_cast<bool>(handler_); }
  void setPresentObserver(PresentObserver observer) { observer_ = std::move(observer); }
  // Number of presents so far.
  std::uint64_t presentCount() const { return presents_; }

  // Reads the picture of the framebuffer currently bound (which must hold this
  // layer's renderbuffer) as an image. Context must be current.
  gfx::Image readPicture() const;

 private:
  friend class Context;
  void present();

  float width_ = 0, height_ = 0, scale_ = 1.0f;
  bool opaque_ = false;
  bool retained_ = true;
  // The renderbuffer holding the storage Context::renderbufferStorage gave,
  // and that context: a name the layer refers to, not one it owns.
  GLuint renderbuffer_ = 0;
  Context* storageContext_ = nullptr;
  int storageWidth_ = 0, storageHeight_ = 0;
  std::uint64_t presents_ = 0;
  PresentHandler handler_;
  PresentObserver observer_;
};

}  // namespace glx
