#pragma once
// Lower half of the legacy drawing canvas: a view of the toolkit whose layer
// is drawn with OpenGL ES 1.1 through one framebuffer-object framebuffer and
// one retained colour renderbuffer. It owns the brush texture, a ring of five
// whole-surface snapshots for undo and redo, the read-back of the surface as
// a picture, the replacement of the surface by a picture, the stamp paste and
// cut, and the writers of the page files, which are the live canvas's files
// at the live canvas's sizes. No code of the program creates it; it answers
// to the live canvas's messages and reports through the same delegate.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "canvas/EAGLView.h"
#include "platform/gl/Context.h"
#include "platform/gl/ES1.h"
#include "platform/graphics/Image.h"
#include "platform/ui/GLView.h"

class OpenGLES2DView : public ui::GLView {
 public:
  static constexpr int kRingSize = 5;

  ~OpenGLES2DView() override;
  OpenGLES2DView(const OpenGLES2DView&) = delete;
  OpenGLES2DView& operator=(const OpenGLES2DView&) = delete;

  // NO when the ES 1 context, the framebuffer extension or the framebuffer
  // could not be had; the factories answer nullptr then.
  bool isValid() const { return valid_; }

  // --- brush texture
  // Alpha the next brush picture is prepared with (1 at creation).
  void setBrushTexureAlpha(float alpha) { textureA_ = alpha; }
  float brushTextureAlpha() const { return textureA_; }
  // The brush tip: an eraser tip as it is, a brush tip with the alpha above.
  // Square of 64, 256 or 1024 pixels by the picture's width; nullptr keeps
  // the old tip.
  void bindTextureWithImage(const gfx::Image* image, bool isEraser);
  // Side of the current brush texture (0 before the first).
  int brushTextureSide() const { return brushTextureSide_; }

  // --- surface
  // Transparent black, presented.
  void clear();
  // The surface right way up (top row first), premultiplied, backing size.
  std::optional<gfx::Image> image();
  // Pastes a picture (or, with isPaste false, cuts where it is opaque)
  // centred at rect's origin (view points, y down) at rect's size, turned by
  // angle radians clockwise on screen; then an undo step.
  void drawToolGraphImage(const gfx::Image* image, gfx::Rect rect, float angle, bool isPaste);
  // Replaces the surface by the picture (scaled to the backing), leaving the
  // undo ring and `operated` as they are.
  void drawImage(const gfx::Image* image);
  // Loads a page: the picture (or a clear surface for nullptr) becomes the
  // ring's only step and `operated` is cleared. With isNotSetBuffer set the
  // surface stays as it is (the flag is then cleared).
  void setBufferWithImage(const gfx::Image* image);

  // --- undo ring: at most five states, so four undos in a row
  // Empties the ring and saves the surface as its only state.
  void initRedo_Undo();
  // The surface as a new state: redo states are dropped, and the oldest one
  // when the ring is full.
  void saveToBuffer();
  void undo();
  void redo();
  bool canUndo() const;
  bool canRedo() const;
  struct RingState {
    int top = -1, indicator = -1, low = -1;
    int buffers = 0;  // slots holding a snapshot
  };
  RingState ringState() const;

  // --- page files of the model's current page (mark 0). NO when a file could
  // not be written (logged); `operated` then stays set. Writing the layer
  // also restarts the undo ring at the written surface.
  bool writeToFileForLay(int position);
  bool writeSnapAndIconImage(int position);
  bool writeToFileForBackground();

  // --- properties
  OpenGLESDrawDelegate* delegate() const { return delegate_; }
  void setDelegate(OpenGLESDrawDelegate* d) { delegate_ = d; }
  bool operated() const { return operated_; }
  void setOperated(bool on) { operated_ = on; }
  float alphaDegree() const { return alphaDegree_; }
  void setAlphaDegree(float a) { alphaDegree_ = a; }
  bool isNotSetBuffer() const { return isNotSetBuffer_; }
  void setIsNotSetBuffer(bool on) { isNotSetBuffer_ = on; }

  int backingWidth() const { return backingWidth_; }
  int backingHeight() const { return backingHeight_; }
  float cScaleFactor() const { return cScaleFactor_; }
  glx::Context* context() const { return context_.get(); }

 protected:
  // frame in points; the backing is the frame's size in pixels, and the
  // projection maps one GL unit to one backing pixel (y up).
  explicit OpenGLES2DView(gfx::Rect frame);
  void setScaleFactor(float s) { cScaleFactor_ = s; }
  // Context current, framebuffer bound, viewport the backing, model-view.
  bool beginDrawing();
  // Presents the renderbuffer (the screen reads it when it composes).
  void presentRenderbuffer();
  // A page is about to replace the surface (work begun on the old one must
  // not land on the new one).
  virtual void pageReplaced() {}
  // Texture coordinates of a dab's square, corner by corner.
  static const GLfloat kDabTexCoords[8];
  GLuint brushTexture() const { return texture_.get(); }
  std::optional<gfx::Image> readPresentedPicture() override { return image(); }
  bool readPresentedRect(const glx::PixelBox& box, std::uint8_t* out) override;

 private:
  bool createFramebuffer();
  void glBufferSave();
  void setBufferForRedo_Undo();
  // Draws backing-size rows (bottom-up, premultiplied) over the whole surface.
  void setBuffer(const std::vector<std::uint8_t>& rows);
  // Surface rows, bottom-up; empty when they cannot be had.
  std::vector<std::uint8_t> readSurface();
  // A rectangle of the surface into out, rows bottom-up; false when it cannot be read.
  bool readSurfaceRect(const glx::PixelBox& box, std::uint8_t* out);
  int uploadSide() const;
  void notify(void (OpenGLESDrawDelegate::*message)());

  std::unique_ptr<glx::Context> context_;
  glx::es1::FramebufferHandle viewFramebuffer_;
  glx::es1::RenderbufferHandle viewRenderbuffer_;
  glx::TextureHandle texture_;
  int brushTextureSide_ = 0;
  // What the brush texture was made from: the pen asks for its tip again at
  // every move, and the same tip is not made twice.
  struct TipSource {
    gfx::Image image;
    bool eraser = false;
    float alpha = 0;
    bool operator==(const TipSource&) const = default;
  };
  std::optional<TipSource> tipSource_;
  int backingWidth_ = 0, backingHeight_ = 0;
  float projectionWidth_ = 0, projectionHeight_ = 0;
  // The ring: a freed slot holds no bytes.
  std::array<std::vector<std::uint8_t>, kRingSize> ring_;
  int top_ = -1, indicator_ = -1, low_ = -1;
  bool operated_ = false;
  float alphaDegree_ = 1.0f;
  float cScaleFactor_ = 1.0f;
  float textureA_ = 1.0f;
  OpenGLESDrawDelegate* delegate_ = nullptr;
  bool isNotSetBuffer_ = false;
  bool valid_ = false;
};
