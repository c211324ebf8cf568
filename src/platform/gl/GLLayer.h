#pragma once
// Stand-in for the phone's GL layer: the drawable a context renders into. Its
// storage is an RGBA8 renderbuffer of the layer's size times its scale inside
// the owner's framebuffer; backing is retained (present never clears), and
// present hands the picture to whoever shows it (the UI compositor).
#include <GLES2/gl2.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/graphics/Image.h"

namespace glx {

class Context;

// A rectangle of storage pixels, origin at the bottom left as GL has it.
struct PixelBox {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelBox&) const = default;
  bool empty() const { return width <= 0 || height <= 0; }
  PixelBox unionWith(const PixelBox& o) const;
  PixelBox intersection(const PixelBox& o) const;
};

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
  // The storage's pixel size (0 until storage is given).
  int storageWidth() const { return storageWidth_; }
  int storageHeight() const { return storageHeight_; }

  // What the drawing since the last present changed, when the drawer knows:
  // the next present then covers only these pixels. A present with nothing
  // told covers the whole picture.
  void addDamage(const PixelBox& box);
  // The pixels the present being told of changed (nullopt: all of them);
  // valid while the observer and handler run.
  const std::optional<PixelBox>& presentedDamage() const { return presentedDamage_; }

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
  std::optional<PixelBox> damage_, presentedDamage_;
  // New storage: the next present covers everything, whatever is told.
  bool storageChanged_ = false;
  PresentHandler handler_;
  PresentObserver observer_;
};

}  // namespace glx
