#include "canvas/ES2Renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/gl/Util.h"

ES2Renderer::ES2Renderer(gfx::Rect frame, float contentScaleFactor) : ui::GLView(frame, contentScaleFactor) {
  loadOpenGLES();
  context_ = glx::Context::create(2);
  valid_ = context_ != nullptr && createBuffer();
  recomputeScales();
}

ES2Renderer::~ES2Renderer() {
  if (!context_) return;
  destoryBuffer();
  if (context_->isCurrent()) glx::Context::clearCurrent();
}

void ES2Renderer::loadOpenGLES() {
  // Transparent pixels show whatever lies under the canvas.
  setBackgroundColor(gfx::Color{0, 0, 0, 0});
  setOpaque(false);
  layer().setOpaque(false);
  layer().setRetainedBacking(true);
  readPicturesOnDemand();
}

bool ES2Renderer::framebufferComplete() {
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    fd::Log("Failed to make complete framebuffer object %x\n", status);
    return false;
  }
  return true;
}

bool ES2Renderer::createBuffer() {
  if (!context_->makeCurrent()) return false;
  defaultFramebuffer_ = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_.get());
  colorRenderbuffer_ = glx::RenderbufferHandle::make();
  glBindRenderbuffer(GL_RENDERBUFFER, colorRenderbuffer_.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRenderbuffer_.get());
  context_->renderbufferStorage(layer());
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &backingWidth_);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &backingHeight_);
  glx::clearErrors();
  if (!framebufferComplete()) return false;
  // New storage holds whatever the driver left there; a new canvas is transparent.
  glViewport(0, 0, backingWidth_, backingHeight_);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  return true;
}

void ES2Renderer::destoryBuffer() {
  bufferAccessSemaphore_.wait();
  {
    glx::ContextGuard guard(*context_);
    defaultFramebuffer_.reset();
    colorRenderbuffer_.reset();
  }
  bufferAccessSemaphore_.signal();
}

bool ES2Renderer::resizeFromLayer(glx::GLLayer& layer) {
  bufferAccessSemaphore_.wait();
  if (!context_ || !context_->makeCurrent()) {
    bufferAccessSemaphore_.signal();
    return false;
  }
  glBindRenderbuffer(GL_RENDERBUFFER, colorRenderbuffer_.get());
  context_->renderbufferStorage(layer);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &backingWidth_);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &backingHeight_);
  bufferAccessSemaphore_.signal();
  glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_.get());
  recomputeScales();
  return framebufferComplete();
}

void ES2Renderer::recomputeScales() {
  scaleWidth_ = backingWidth_ != 0 ? static_cast<double>(bounds().width) / backingWidth_ : 1.0;
  scaleHeight_ = backingHeight_ != 0 ? static_cast<double>(bounds().height) / backingHeight_ : 1.0;
}

void ES2Renderer::boundsSizeChanged(ui::Size oldSize) {
  ui::GLView::boundsSizeChanged(oldSize);
  recomputeScales();
}

void ES2Renderer::layoutSubviews() {
  recomputeScales();
  if (autoBufferResize_) resizeFromLayer(layer());
}

unsigned ES2Renderer::viewWidth() const { return bounds().width > 0 ? static_cast<unsigned>(bounds().width) : 0; }
unsigned ES2Renderer::viewHeight() const { return bounds().height > 0 ? static_cast<unsigned>(bounds().height) : 0; }

gfx::Point ES2Renderer::bufferPointWithPoint(gfx::Point p) const {
  return {static_cast<float>(p.x / scaleWidth_), static_cast<float>(p.y / scaleHeight_)};
}
gfx::Size ES2Renderer::bufferSizeWithSize(gfx::Size s) const {
  return {static_cast<float>(s.width / scaleWidth_), static_cast<float>(s.height / scaleHeight_)};
}
gfx::Rect ES2Renderer::bufferRectWithRect(gfx::Rect r) const {
  return {static_cast<float>(r.x / scaleWidth_), static_cast<float>(r.y / scaleHeight_),
          static_cast<float>(r.width / scaleWidth_), static_cast<float>(r.height / scaleHeight_)};
}
gfx::Point ES2Renderer::pointWithBufferPoint(gfx::Point p) const {
  return {static_cast<float>(p.x * scaleWidth_), static_cast<float>(p.y * scaleHeight_)};
}
gfx::Size ES2Renderer::sizeWithBufferSize(gfx::Size s) const {
  return {static_cast<float>(s.width * scaleWidth_), static_cast<float>(s.height * scaleHeight_)};
}
gfx::Rect ES2Renderer::rectWithBufferRect(gfx::Rect r) const {
  return {static_cast<float>(r.x * scaleWidth_), static_cast<float>(r.y * scaleHeight_),
          static_cast<float>(r.width * scaleWidth_), static_cast<float>(r.height * scaleHeight_)};
}

void ES2Renderer::bindForSettings() {
  context_->makeCurrent();
  glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_.get());
}

void ES2Renderer::openSection() {
  if (sectionOpen_) unpresentedSection_ = true;
  sectionOpen_ = true;
}

void ES2Renderer::beginRender() {
  openSection();
  context_->makeCurrent();
  glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_.get());
  glViewport(0, 0, backingWidth_, backingHeight_);
}

void ES2Renderer::beginRenderForLayer(glx::GLLayer& layer) {
  openSection();
  context_->makeCurrent();
  resizeFromLayer(layer);
  glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_.get());
  glViewport(0, 0, backingWidth_, backingHeight_);
}

void ES2Renderer::finishRender() {
  sectionOpen_ = unpresentedSection_ = false;
  glBindRenderbuffer(GL_RENDERBUFFER, colorRenderbuffer_.get());
  context_->presentRenderbuffer();
}

void ES2Renderer::finishRender(const gfx::Rect& changed) {
  const gfx::Rect r = changed.standardized();
  if (r.isEmpty()) {
    if (!unpresentedSection_) layer().addDamage({});
  } else if (!unpresentedSection_) {
    const int x0 = static_cast<int>(std::floor(r.x)) - 1, y0 = static_cast<int>(std::floor(r.y)) - 1;
    const int x1 = static_cast<int>(std::ceil(r.x + r.width)) + 1;
    const int y1 = static_cast<int>(std::ceil(r.y + r.height)) + 1;
    layer().addDamage({x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)});
  }
  finishRender();
}

bool ES2Renderer::readPresentedRect(const glx::PixelBox& box, std::uint8_t* out) {
  readData(out, {static_cast<float>(box.x), static_cast<float>(box.y), static_cast<float>(box.width),
                 static_cast<float>(box.height)});
  return true;
}

void ES2Renderer::readData(std::uint8_t* out, gfx::Rect rect) {
  bufferAccessSemaphore_.wait();
  {
    glx::ContextGuard guard(*context_);
    glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_.get());
    glx::readPixels(static_cast<int>(rect.x), static_cast<int>(rect.y), static_cast<int>(rect.width),
                    static_cast<int>(rect.height), out);
  }
  bufferAccessSemaphore_.signal();
}

std::optional<gfx::Image> ES2Renderer::image() {
  gfx::Image picture;
  if (!readImage(picture)) return std::nullopt;
  return picture;
}

bool ES2Renderer::readImage(gfx::Image& picture) {
  const int w = static_cast<int>(backingWidth_), h = static_cast<int>(backingHeight_);
  if (w <= 0 || h <= 0) return false;
  if (picture.pixelWidth() != w || picture.pixelHeight() != h) picture = gfx::Image(w, h);
  picture.setScale(1.0f);
  picture.setOrientation(gfx::Orientation::Up);
  picture.setPremultiplied(true);
  readData(picture.pixels(), {0, 0, static_cast<float>(w), static_cast<float>(h)});
  // The GL's rows run bottom-up.
  for (int y = 0; y < h / 2; ++y)
    std::swap_ranges(picture.pixel(0, y), picture.pixel(0, y) + picture.stride(), picture.pixel(0, h - 1 - y));
  return true;
}

std::optional<gfx::Image> ES2Renderer::imageWithRect(gfx::Rect rect) {
  const int w = static_cast<int>(rect.width), h = static_cast<int>(rect.height);
  if (w <= 0 || h <= 0) return std::nullopt;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4);
  readData(block.data(), rect);
  return gfx::Image::fromPixelBlock(block.data(), w, h, 1.0f);
}
