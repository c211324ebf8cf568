#include "legacy/OpenGLES2DView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "canvas/PageFiles.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Util.h"
#include "platform/graphics/Context.h"

namespace {

using glx::es1::framebufferObject;

// Brush tips are squares of one of three sides, by the picture's width.
int brushSideForWidth(int width) {
  if (width > 500) return 1024;
  if (width > 200) return 256;
  return 64;
}

// The picture at the given pixel size as GL rows: bottom row first,
// premultiplied, tightly packed.
std::vector<std::uint8_t> glRows(const gfx::Image& picture, int width, int height) {
  const gfx::Image upright = picture.normalizedOrientation();
  if (upright.pixelWidth() == width && upright.pixelHeight() == height) return upright.toPixelBlock();
  return upright.scaledTo(width, height).toPixelBlock();
}

// Rows of `width` x `height` copied into the first rows of a side x side square.
std::vector<std::uint8_t> intoSquare(const std::vector<std::uint8_t>& rows, int width, int height, int side) {
  std::vector<std::uint8_t> square(static_cast<std::size_t>(side) * side * 4, 0);
  const int w = std::min(width, side), h = std::min(height, side);
  for (int y = 0; y < h; ++y) {
    std::memcpy(&square[static_cast<std::size_t>(y) * side * 4], &rows[static_cast<std::size_t>(y) * width * 4],
                static_cast<std::size_t>(w) * 4);
  }
  return square;
}

glx::TextureHandle uploadSquare(const std::vector<std::uint8_t>& square, int side, GLint filter) {
  glx::TextureHandle texture = glx::TextureHandle::make();
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, square.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  return texture;
}

void drawFan(const GLfloat* vertices, const GLfloat* texCoords) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, vertices);
  glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

}  // namespace

const GLfloat OpenGLES2DView::kDabTexCoords[8] = {0, 1, 0, 0, 1, 0, 1, 1};

OpenGLES2DView::OpenGLES2DView(gfx::Rect frame) : ui::GLView(frame, 1.0f) {
  setBackgroundColor(gfx::Color{0, 0, 0, 0});
  setOpaque(false);
  layer().setOpaque(false);
  layer().setRetainedBacking(true);
  readPicturesOnDemand();
  context_ = glx::Context::create(1);
  if (!context_ || !context_->makeCurrent() || !glx::es1::hasFramebufferObject() || !createFramebuffer()) return;
  projectionWidth_ = frame.width;
  projectionHeight_ = frame.height;
  framebufferObject()->bindFramebuffer(GL_FRAMEBUFFER_OES, viewFramebuffer_.get());
  glViewport(0, 0, backingWidth_, backingHeight_);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrthof(0, projectionWidth_, 0, projectionHeight_, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  presentRenderbuffer();
  texture_ = glx::TextureHandle::make();
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_POINT_SMOOTH);
  glEnable(GL_BLEND);
  glEnable(GL_MULTISAMPLE);
  glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  glx::clearErrors();
  valid_ = true;
  // The blank surface is the first state, so the first stroke can be undone.
  initRedo_Undo();
}

OpenGLES2DView::~OpenGLES2DView() {
  if (!context_) return;
  {
    glx::ContextGuard guard(*context_);
    texture_.reset();
    viewFramebuffer_.reset();
    viewRenderbuffer_.reset();
  }
  if (context_->isCurrent()) glx::Context::clearCurrent();
}

bool OpenGLES2DView::createFramebuffer() {
  const glx::es1::FramebufferObject& f = *framebufferObject();
  viewFramebuffer_ = glx::es1::FramebufferHandle::make();
  viewRenderbuffer_ = glx::es1::RenderbufferHandle::make();
  f.bindFramebuffer(GL_FRAMEBUFFER_OES, viewFramebuffer_.get());
  f.bindRenderbuffer(GL_RENDERBUFFER_OES, viewRenderbuffer_.get());
  // The layer's storage comes through the context as for the ES 2 canvases:
  // the extension's renderbuffers are the same objects under the same enums.
  if (!context_->renderbufferStorage(layer())) return false;
  f.framebufferRenderbuffer(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES,
                            viewRenderbuffer_.get());
  f.getRenderbufferParameteriv(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_WIDTH_OES, &backingWidth_);
  f.getRenderbufferParameteriv(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_HEIGHT_OES, &backingHeight_);
  const GLenum status = f.checkFramebufferStatus(GL_FRAMEBUFFER_OES);
  if (status != GL_FRAMEBUFFER_COMPLETE_OES) {
    fd::Log("failed to make complete framebuffer object %x\n", status);
    return false;
  }
  return true;
}

bool OpenGLES2DView::beginDrawing() {
  if (!valid_ || !context_->makeCurrent()) return false;
  framebufferObject()->bindFramebuffer(GL_FRAMEBUFFER_OES, viewFramebuffer_.get());
  glViewport(0, 0, backingWidth_, backingHeight_);
  glMatrixMode(GL_MODELVIEW);
  return true;
}

void OpenGLES2DView::presentRenderbuffer() {
  framebufferObject()->bindRenderbuffer(GL_RENDERBUFFER_OES, viewRenderbuffer_.get());
  context_->presentRenderbuffer();
}

void OpenGLES2DView::notify(void (OpenGLESDrawDelegate::*message)()) {
  if (delegate_ != nullptr) (delegate_->*message)();
}

// --- brush texture

void OpenGLES2DView::bindTextureWithImage(const gfx::Image* image, bool isEraser) {
  if (image == nullptr || image->empty() || !valid_) return;
  TipSource source{*image, isEraser, isEraser ? 0.0f : textureA_};
  if (tipSource_ && *tipSource_ == source && texture_) {
    if (!context_->makeCurrent()) return;
    glBindTexture(GL_TEXTURE_2D, texture_.get());
    glEnable(GL_TEXTURE_2D);
    return;
  }
  gfx::Image tip = image->normalizedOrientation();
  if (!isEraser) {
    gfx::Context faded(tip.pixelWidth(), tip.pixelHeight());
    faded.clear();
    faded.setBlendMode(gfx::BlendMode::Multiply);
    faded.setAlpha(textureA_);
    faded.drawImage(tip, {0, 0, static_cast<float>(tip.pixelWidth()), static_cast<float>(tip.pixelHeight())});
    tip = faded.makeImage(true);
  }
  // A tip that cannot be had at its side is tried at half, then a quarter.
  for (int side = brushSideForWidth(tip.pixelWidth()), tries = 0; tries < 3; side /= 2, ++tries) {
    gfx::Context square(side, side);
    if (!square.valid()) continue;
    square.clear();
    square.drawImage(tip, {0, 0, static_cast<float>(side), static_cast<float>(side)});
    const gfx::Image bitmap = square.makeImage(true);
    if (!context_->makeCurrent()) return;
    texture_ = glx::TextureHandle::make();
    glBindTexture(GL_TEXTURE_2D, texture_.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, bitmap.pixels());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    brushTextureSide_ = side;
    tipSource_ = std::move(source);
    return;
  }
}

// --- surface

void OpenGLES2DView::clear() {
  if (!beginDrawing()) return;
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  presentRenderbuffer();
}

bool OpenGLES2DView::readSurfaceRect(const glx::PixelBox& box, std::uint8_t* out) {
  if (!valid_) return false;
  glx::ContextGuard guard(*context_);
  if (!guard.ok()) return false;
  framebufferObject()->bindFramebuffer(GL_FRAMEBUFFER_OES, viewFramebuffer_.get());
  glx::readPixels(box.x, box.y, box.width, box.height, out);
  return true;
}

bool OpenGLES2DView::readPresentedRect(const glx::PixelBox& box, std::uint8_t* out) {
  return readSurfaceRect(box, out);
}

std::vector<std::uint8_t> OpenGLES2DView::readSurface() {
  std::vector<std::uint8_t> rows;
  if (!valid_) return rows;
  try {
    rows.resize(static_cast<std::size_t>(backingWidth_) * backingHeight_ * 4);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (!readSurfaceRect({0, 0, backingWidth_, backingHeight_}, rows.data())) return {};
  return rows;
}

std::optional<gfx::Image> OpenGLES2DView::image() {
  const std::vector<std::uint8_t> rows = readSurface();
  if (rows.empty()) return std::nullopt;
  return gfx::Image::fromPixelBlock(rows.data(), backingWidth_, backingHeight_);
}

// The upload square: 512 per unit of screen scale, which always holds the
// backing (384 x 288 per unit).
int OpenGLES2DView::uploadSide() const { return static_cast<int>(cScaleFactor_ * 512); }

void OpenGLES2DView::setBuffer(const std::vector<std::uint8_t>& rows) {
  const int side = std::max(uploadSide(), std::max(backingWidth_, backingHeight_));
  if (rows.size() < static_cast<std::size_t>(backingWidth_) * backingHeight_ * 4 || !beginDrawing()) return;
  std::vector<std::uint8_t> square;
  try {
    square = intoSquare(rows, backingWidth_, backingHeight_, side);
  } catch (const std::bad_alloc&) {
    return;
  }
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_BLEND);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  // Texel for pixel: a snapshot comes back exactly as it was read.
  glx::TextureHandle upload = uploadSquare(square, side, GL_NEAREST);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  const GLfloat s = static_cast<GLfloat>(side);
  const GLfloat vertices[] = {0, 0, 0, s, s, s, s, 0};
  const GLfloat texCoords[] = {0, 0, 0, 1, 1, 1, 1, 0};
  drawFan(vertices, texCoords);
  glEnable(GL_BLEND);
  glPopMatrix();
  presentRenderbuffer();
  upload.reset();
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glEnable(GL_TEXTURE_2D);
}

void OpenGLES2DView::drawImage(const gfx::Image* image) {
  if (image == nullptr || image->empty()) return;
  setBuffer(glRows(*image, backingWidth_, backingHeight_));
}

void OpenGLES2DView::drawToolGraphImage(const gfx::Image* image, gfx::Rect rect, float angle, bool isPaste) {
  if (image == nullptr || image->empty() || !valid_) return;
  const gfx::Rect f = frame();
  if (!(f.width > 0 && f.height > 0)) return;
  const float sx = backingWidth_ / f.width, sy = backingHeight_ / f.height;
  const int side = uploadSide();
  gfx::Context square(side, side);
  if (!square.valid()) return;
  square.clear();
  square.drawImage(image->normalizedOrientation(), {0, 0, static_cast<float>(side), static_cast<float>(side)});
  const gfx::Image bitmap = square.makeImage(true);
  if (!beginDrawing()) return;
  glx::TextureHandle upload = uploadSquare(bitmap.bytes(), side, GL_LINEAR);
  glEnable(GL_TEXTURE_2D);
  const GLfloat w = rect.width * sx, h = rect.height * sy;
  const GLfloat vertices[] = {0, 0, w, 0, w, h, 0, h};
  const GLfloat texCoords[] = {0, 1, 1, 1, 1, 0, 0, 0};
  glPushMatrix();
  // A cut takes the surface away where the picture is opaque.
  glBlendFunc(isPaste ? GL_ONE : GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, 1);
  glTranslatef(rect.x * sx, backingHeight_ - rect.y * sy, 0);
  glRotatef(angle / 6.2831855f * 360, 0, 0, -1);
  glTranslatef(-w / 2, -h / 2, 0);
  drawFan(vertices, texCoords);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glPopMatrix();
  presentRenderbuffer();
  upload.reset();
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glEnable(GL_TEXTURE_2D);
  operated_ = true;
  saveToBuffer();
}

void OpenGLES2DView::setBufferWithImage(const gfx::Image* image) {
  pageReplaced();
  operated_ = false;
  if (image == nullptr || image->empty()) {
    clear();
  } else {
    std::vector<std::uint8_t> rows;
    try {
      rows = glRows(*image, backingWidth_, backingHeight_);
    } catch (const std::bad_alloc&) {
      return;
    }
    if (!isNotSetBuffer_) setBuffer(rows);
    isNotSetBuffer_ = false;
  }
  initRedo_Undo();
}

// --- undo ring

void OpenGLES2DView::initRedo_Undo() {
  top_ = indicator_ = low_ = -1;
  for (auto& slot : ring_) std::vector<std::uint8_t>().swap(slot);
  saveToBuffer();
  notify(&OpenGLESDrawDelegate::disableRedo);
  notify(&OpenGLESDrawDelegate::disableUndo);
}

void OpenGLES2DView::saveToBuffer() {
  if (top_ == -1) {
    top_ = indicator_ = low_ = 0;
  } else {
    indicator_ = (indicator_ + 1) % kRingSize;
    top_ = indicator_;
    notify(&OpenGLESDrawDelegate::disableRedo);
    notify(&OpenGLESDrawDelegate::enableUndo);
    if (top_ == low_) low_ = (top_ + 1) % kRingSize;
  }
  glBufferSave();
}

void OpenGLES2DView::glBufferSave() { ring_[top_] = readSurface(); }

void OpenGLES2DView::setBufferForRedo_Undo() {
  operated_ = true;
  setBuffer(ring_[indicator_]);
}

bool OpenGLES2DView::canUndo() const {
  return indicator_ != low_ && !ring_[(indicator_ + kRingSize - 1) % kRingSize].empty();
}

bool OpenGLES2DView::canRedo() const {
  return indicator_ != top_ && !ring_[(indicator_ + 1) % kRingSize].empty();
}

// A step whose snapshot is missing (it could not be read) is refused rather
// than shown as a blank surface.
void OpenGLES2DView::undo() {
  if (!canUndo()) return;
  indicator_ = (indicator_ + kRingSize - 1) % kRingSize;
  setBufferForRedo_Undo();
  if (indicator_ == low_) notify(&OpenGLESDrawDelegate::disableUndo);
  notify(&OpenGLESDrawDelegate::enableRedo);
}

void OpenGLES2DView::redo() {
  if (!canRedo()) return;
  indicator_ = (indicator_ + 1) % kRingSize;
  setBufferForRedo_Undo();
  if (indicator_ == top_) notify(&OpenGLESDrawDelegate::disableRedo);
  notify(&OpenGLESDrawDelegate::enableUndo);
}

OpenGLES2DView::RingState OpenGLES2DView::ringState() const {
  RingState s{top_, indicator_, low_, 0};
  for (const auto& slot : ring_) s.buffers += slot.empty() ? 0 : 1;
  return s;
}

// --- page files

bool OpenGLES2DView::writeToFileForLay(int position) {
  bool written = true;
  if (operated_) {
    written = PageFiles::writeCurrentLayer(image(), position, cScaleFactor_);
    if (written) operated_ = false;
  }
  // The history ends with the page leaving the canvas. The ring starts again
  // at what is on the surface, so an undo after the write is refused rather
  // than stepping onto snapshots that are gone.
  initRedo_Undo();
  return written;
}

bool OpenGLES2DView::writeSnapAndIconImage(int position) {
  return PageFiles::writeCurrentSnapshotAndIcon(image(), position, cScaleFactor_);
}

bool OpenGLES2DView::writeToFileForBackground() {
  if (!operated_) return true;
  const bool written = PageFiles::writeCurrentBackground(image(), cScaleFactor_);
  if (written) operated_ = false;
  return written;
}
