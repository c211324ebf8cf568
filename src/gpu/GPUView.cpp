#include "gpu/GPUView.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "gpu/GPUFilter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "platform/foundation/RunLoop.h"

namespace {

constexpr std::array<GPUQuad, kRotationModeCount> kViewTextureCoordinates = {{
    {0, 1, 1, 1, 0, 0, 1, 0},  // none
    {0, 0, 0, 1, 1, 0, 1, 1},  // left
    {1, 1, 1, 0, 0, 1, 0, 0},  // right
    {0, 0, 1, 0, 0, 1, 1, 1},  // flip vertical
    {1, 1, 0, 1, 1, 0, 0, 0},  // flip horizontal
    {1, 0, 1, 1, 0, 0, 0, 1},  // right, then flip vertical
    {1, 0, 0, 0, 1, 1, 0, 1},  // 180 degrees
}};

gfx::Size aspectFitSize(gfx::Size aspect, gfx::Size box) {
  if (aspect.width <= 0 || aspect.height <= 0) return {};
  const float scale = std::min(box.width / aspect.width, box.height / aspect.height);
  return {aspect.width * scale, aspect.height * scale};
}

}  // namespace

// Pictures presented on the processing queue, handed to the view on the main
// thread. Only the newest waits; the view may be gone when it arrives.
struct GPUView::PresentMailbox {
  std::mutex m;
  GPUView* view = nullptr;
  std::optional<gfx::Image> pending;
  bool posted = false;

  void deliver(const gfx::Image& picture, const std::shared_ptr<PresentMailbox>& self) {
    std::lock_guard lock(m);
    pending = picture;
    if (posted) return;
    posted = true;
    fd::RunLoop::main().post([self] {
      std::optional<gfx::Image> picture;
      GPUView* target = nullptr;
      {
        std::lock_guard lock(self->m);
        picture.swap(self->pending);
        self->posted = false;
        target = self->view;
      }
      if (target != nullptr && picture) target->present(std::move(*picture));
    });
  }
};

const GPUQuad& GPUView::textureCoordinatesForRotation(int mode) { return kViewTextureCoordinates[validRotation(mode)]; }

GPUView::GPUView(const ui::Rect& frame, float contentsScale)
    : ui::GLView(frame, contentsScale), mailbox_(std::make_shared<PresentMailbox>()) {
  // The main loop belongs to the thread that first asks for it: make sure
  // that is this (the main) thread, not the queue that presents.
  fd::RunLoop::main();
  mailbox_->view = this;
  layer().setPresentHandler([mailbox = mailbox_](const gfx::Image& picture) { mailbox->deliver(picture, mailbox); });
  setOpaque(true);
  layer().setOpaque(true);
  layer().setRetainedBacking(false);

  const ui::Rect b = bounds();
  const float scale = layer().contentsScale();
  performOnProcessingQueueSync([&] {
    boundsSize_ = {b.width, b.height};
    scale_ = scale;
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    displayProgram_ = linkedFilterProgram(std::string(kGPUVertexShaderString),
                                          std::string(kGPUPassthroughFragmentShaderString));
    if (displayProgram_ != nullptr) {
      displayInputTextureUniform_ = displayProgram_->uniformIndex("inputImageTexture");
      activateFilterProgram(displayProgram_);
    }
    createDisplayFramebuffer();
  });
}

GPUView::~GPUView() {
  {
    std::lock_guard lock(mailbox_->m);
    mailbox_->view = nullptr;
  }
  destroyDisplayFramebuffer();
  layer().setPresentHandler({});
}

void GPUView::createDisplayFramebuffer() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    displayFramebuffer_ = glx::FramebufferHandle::make();
    glBindFramebuffer(GL_FRAMEBUFFER, displayFramebuffer_.get());
    displayRenderbuffer_ = glx::RenderbufferHandle::make();
    glBindRenderbuffer(GL_RENDERBUFFER, displayRenderbuffer_.get());
    GPUOpenGLESContext::sharedImageProcessingOpenGLESContext().context()->renderbufferStorage(layer());
    GLint width = 0, height = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &height);
    if (width == 0 || height == 0) {
      destroyDisplayFramebuffer();
      return;
    }
    sizeInPixels_ = {static_cast<float>(width), static_cast<float>(height)};
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, displayRenderbuffer_.get());
  });
}

void GPUView::destroyDisplayFramebuffer() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    displayFramebuffer_.reset();
    displayRenderbuffer_.reset();
  });
}

void GPUView::setDisplayFramebuffer() {
  if (!displayFramebuffer_) createDisplayFramebuffer();
  glBindFramebuffer(GL_FRAMEBUFFER, displayFramebuffer_.get());
  glViewport(0, 0, static_cast<GLsizei>(sizeInPixels_.width), static_cast<GLsizei>(sizeInPixels_.height));
}

void GPUView::presentFramebuffer() {
  glBindRenderbuffer(GL_RENDERBUFFER, displayRenderbuffer_.get());
  GPUOpenGLESContext::sharedImageProcessingOpenGLESContext().presentBufferForDisplay();
}

gfx::Size GPUView::maximumOutputSize() const { return {boundsSize_.width * scale_, boundsSize_.height * scale_}; }

gfx::Size GPUView::sizeInPixels() const {
  gfx::Size size;
  performOnProcessingQueueSync([&] { size = sizeInPixels_ == gfx::Size{} ? maximumOutputSize() : sizeInPixels_; });
  return size;
}

void GPUView::setBackgroundColorRed(float red, float green, float blue, float alpha) {
  backgroundColorRed_ = red;
  backgroundColorGreen_ = green;
  backgroundColorBlue_ = blue;
  backgroundColorAlpha_ = alpha;
}

void GPUView::setFillMode(int mode) {
  fillMode_ = mode;
  recalculateViewGeometry();
}

void GPUView::setInputSize(gfx::Size size, int) {
  performOnProcessingQueueSync([&] {
    const gfx::Size rotated = rotationSwapsWidthAndHeight(inputRotation_) ? gfx::Size{size.height, size.width} : size;
    if (rotated == inputImageSize_) return;
    inputImageSize_ = rotated;
    recalculateViewGeometry();
  });
}

void GPUView::recalculateViewGeometry() {
  performOnProcessingQueueSync([this] {
    const gfx::Size view = boundsSize_;
    const gfx::Size inset = aspectFitSize(inputImageSize_, view);
    float w = 1, h = 1;
    switch (fillMode_) {
      case kGPUFillModeStretch:
        break;
      case kGPUFillModePreserveAspectRatio:
        w = inset.width / view.width;
        h = inset.height / view.height;
        break;
      case kGPUFillModePreserveAspectRatioAndFill:
        w = view.height / inset.height;
        h = view.width / inset.width;
        break;
      default:
        break;
    }
    imageVertices_ = {-w, -h, w, -h, -w, h, w, h};
  });
}

void GPUView::newFrameReadyAtTime(CMTime, int) {
  performOnProcessingQueueSync([this] {
    if (displayProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    GPUOpenGLESContext::setActiveShaderProgram(displayProgram_);
    setDisplayFramebuffer();
    if (!displayFramebuffer_) return;
    glClearColor(backgroundColorRed_, backgroundColorGreen_, backgroundColorBlue_, backgroundColorAlpha_);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glActiveTexture(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, inputTextureForDisplay_);
    glUniform1i(displayInputTextureUniform_, 4);
    glVertexAttribPointer(displayProgram_->attributeIndex("position"), 2, GL_FLOAT, GL_FALSE, 0,
                          imageVertices_.data());
    glVertexAttribPointer(displayProgram_->attributeIndex("inputTextureCoordinate"), 2, GL_FLOAT, GL_FALSE, 0,
                          textureCoordinatesForRotation(inputRotation_).data());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    presentFramebuffer();
  });
}

void GPUView::boundsSizeChanged(ui::Size oldSize) {
  ui::GLView::boundsSizeChanged(oldSize);
  const ui::Rect b = bounds();
  if (b.width == 0 || b.height == 0) return;
  performOnProcessingQueueSync([&] {
    boundsSize_ = {b.width, b.height};
    destroyDisplayFramebuffer();
    createDisplayFramebuffer();
  });
}
