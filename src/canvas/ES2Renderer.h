#pragma once
// Bottom of the canvas chain: a view of the toolkit whose layer is a GL layer,
// with one OpenGL ES 2 context and one framebuffer whose single colour
// renderbuffer takes its storage from that layer. Presents reach the screen
// through the GL view: the compositor reads the picture when it shows it.
// Every dab, stamp and clear is drawn straight into that renderbuffer, which
// is retained across presents and so is the only copy of the picture while it
// is edited. Maps view points to backing pixels, reads pixels back, and owns
// the lock that serialises renderbuffer access.
#include <GLES2/gl2.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/foundation/Dispatch.h"
#include "platform/gl/Context.h"
#include "platform/gl/GLLayer.h"
#include "platform/gl/Handles.h"
#include "platform/graphics/Image.h"
#include "platform/ui/GLView.h"

class ES2Renderer : public ui::GLView {
 public:
  ~ES2Renderer() override;
  ES2Renderer(const ES2Renderer&) = delete;
  ES2Renderer& operator=(const ES2Renderer&) = delete;

  // NO when the context or the framebuffer could not be made; factories of
  // the subclasses return nullptr then.
  bool isValid() const { return valid_; }

  // The view's geometry is the toolkit's (frame, bounds, layout). The backing
  // keeps the size it was made with unless autoBufferResize is on; a new
  // frame changes only the scales.
  // Backing pixels per point the view asks of its layer (1 unless set).
  float contentScaleFactor() const { return contentsScale(); }
  void layoutSubviews() override;
  unsigned viewWidth() const;
  unsigned viewHeight() const;

  glx::Context* context() const { return context_.get(); }
  // Makes this canvas's context current for a scope, restoring the previous one.
  glx::ContextGuard contextGuard() const { return glx::ContextGuard(*context_); }
  fd::Semaphore& bufferAccessSemaphore() { return bufferAccessSemaphore_; }

  bool createBuffer();
  void destoryBuffer();
  virtual bool resizeFromLayer(glx::GLLayer& layer);

  gfx::Point bufferPointWithPoint(gfx::Point p) const;
  gfx::Size bufferSizeWithSize(gfx::Size s) const;
  gfx::Rect bufferRectWithRect(gfx::Rect r) const;
  gfx::Point pointWithBufferPoint(gfx::Point p) const;
  gfx::Size sizeWithBufferSize(gfx::Size s) const;
  gfx::Rect rectWithBufferRect(gfx::Rect r) const;

  // Context current, framebuffer bound, viewport the whole backing. Every
  // drawing operation is bracketed by beginRender ... finishRender.
  void beginRender();
  void beginRenderForLayer(glx::GLLayer& layer);
  // Presents the renderbuffer. Given the backing pixels the drawing since
  // beginRender changed (origin bottom left), the screen reads back only
  // those; otherwise the whole picture.
  void finishRender();
  void finishRender(const gfx::Rect& changed);

  // Reads a rectangle of backing pixels (truncated to integers, origin bottom
  // left) into out: width x height x 4 bytes, RGBA, rows bottom-up.
  void readData(std::uint8_t* out, gfx::Rect rect);
  // The picture right way up (top row first), premultiplied, scale 1.
  std::optional<gfx::Image> image();
  // The backing read into `picture` (premultiplied, rows top-down), whose
  // memory is used again when it already has the backing's size.
  bool readImage(gfx::Image& picture);
  std::optional<gfx::Image> imageWithRect(gfx::Rect rect);

  int backingWidth() const { return backingWidth_; }
  int backingHeight() const { return backingHeight_; }
  bool autoBufferResize() const { return autoBufferResize_; }
  void setAutoBufferResize(bool on) { autoBufferResize_ = on; }
  double scaleWidth() const { return scaleWidth_; }
  double scaleHeight() const { return scaleHeight_; }

 protected:
  // The layer's storage is allocated at the frame's size times the content
  // scale factor (default 1).
  explicit ES2Renderer(gfx::Rect frame, float contentScaleFactor = 1.0f);
  // Context current and framebuffer bound, without presenting: for settings.
  void bindForSettings();
  // The scales follow the bounds' size.
  void boundsSizeChanged(ui::Size oldSize) override;
  std::optional<gfx::Image> readPresentedPicture() override { return image(); }
  bool readPresentedRect(const glx::PixelBox& box, std::uint8_t* out) override;

 private:
  void loadOpenGLES();
  void openSection();
  void recomputeScales();
  bool framebufferComplete();

  std::unique_ptr<glx::Context> context_;
  int backingWidth_ = 0, backingHeight_ = 0;
  bool autoBufferResize_ = false;
  double scaleWidth_ = 1, scaleHeight_ = 1;
  glx::FramebufferHandle defaultFramebuffer_;
  glx::RenderbufferHandle colorRenderbuffer_;
  fd::Semaphore bufferAccessSemaphore_{1};
  bool valid_ = false;
  // A render section begun and not yet presented, and whether one was begun
  // again before the present: then what the present changed is not known.
  bool sectionOpen_ = false;
  bool unpresentedSection_ = false;
};
