#include "gpu/GPURawData.h"

#include <algorithm>
#include <cmath>

#include "gpu/GPUFilter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPixels.h"
#include "platform/gl/Util.h"

// --- input

GPURawDataInput::GPURawDataInput(const std::uint8_t* bytes, gfx::Size size, GLenum pixelFormat, GLenum pixelType)
    : uploadedImageSize_(size), pixelFormat_(pixelFormat), pixelType_(pixelType) {
  uploadBytes(bytes);
}

GPURawDataInput::~GPURawDataInput() {
  // A queued send still uses this source: wait it out.
  performOnProcessingQueueSync([] {});
}

void GPURawDataInput::uploadBytes(const std::uint8_t* bytes) {
  initializeOutputTextureIfNeeded();
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    const int w = static_cast<int>(uploadedImageSize_.width), h = static_cast<int>(uploadedImageSize_.height);
    glBindTexture(GL_TEXTURE_2D, outputTexture_.get());
    if (pixelFormat_ == glx::kFormatBGRA && pixelType_ == GL_UNSIGNED_BYTE) {
      uploadBGRATexture(w, h, bytes);
    } else {
      // Unpacked rows of three bytes are not 4-aligned.
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      glTexImage2D(GL_TEXTURE_2D, 0, pixelFormat_ == GL_RGB ? GL_RGB : GL_RGBA, w, h, 0, pixelFormat_, pixelType_,
                   bytes);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
  });
}

void GPURawDataInput::updateDataFromBytes(const std::uint8_t* bytes, gfx::Size size) {
  uploadedImageSize_ = size;
  uploadBytes(bytes);
}

void GPURawDataInput::processData() {
  bool idle = false;
  if (!sending_.compare_exchange_strong(idle, true)) return;
  performOnProcessingQueueAsync([this] {
    for (const TargetEntry& e : targetEntries()) {
      e.target->setInputSize(outputImageSize(), e.textureIndex);
      e.target->newFrameReadyAtTime(kCMTimeInvalid, e.textureIndex);
    }
    sending_ = false;
  });
}

// --- output


GPURawDataOutput::GPURawDataOutput(gfx::Size imageSize, bool resultsInBGRAFormat)
    : imageSize_(imageSize), outputBGRA_(resultsInBGRAFormat) {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    // glReadPixels always gives R, G, B, A: BGRA bytes need the swizzle.
    const char* fragment = outputBGRA_ ? kGPUSwizzlingFragmentShaderString : kGPUPassthroughFragmentShaderString;
    dataProgram_ = linkedFilterProgram(std::string(kGPUVertexShaderString), std::string(fragment));
    if (dataProgram_ == nullptr) return;
    dataInputTextureUniform_ = dataProgram_->uniformIndex("inputImageTexture");
    activateFilterProgram(dataProgram_);
  });
}

GPURawDataOutput::~GPURawDataOutput() { destroyDataFBO(); }

void GPURawDataOutput::newFrameReadyAtTime(CMTime, int) {
  hasReadFromTheCurrentFrame_ = false;
  if (newFrameAvailableBlock_) newFrameAvailableBlock_();
}

void GPURawDataOutput::setImageSize(gfx::Size size) {
  performOnProcessingQueueSync([&] {
    if (size == imageSize_) return;
    imageSize_ = size;
    hasReadFromTheCurrentFrame_ = false;
  });
}

void GPURawDataOutput::createDataFBO() {
  glActiveTexture(GL_TEXTURE1);
  dataFramebuffer_ = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, dataFramebuffer_.get());
  dataRenderbuffer_ = glx::RenderbufferHandle::make();
  glBindRenderbuffer(GL_RENDERBUFFER, dataRenderbuffer_.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8_OES, static_cast<GLsizei>(imageSize_.width),
                        static_cast<GLsizei>(imageSize_.height));
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, dataRenderbuffer_.get());
  glCheckFramebufferStatus(GL_FRAMEBUFFER);
  framebufferSize_ = imageSize_;
}

void GPURawDataOutput::destroyDataFBO() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    dataFramebuffer_.reset();
    dataRenderbuffer_.reset();
    inputReadFramebuffer_.reset();
  });
}

void GPURawDataOutput::setFilterFBO() {
  // The storage follows the output size: a framebuffer of an older size is
  // rebuilt before it is drawn into or read.
  if (dataFramebuffer_ && !(framebufferSize_ == imageSize_)) {
    dataFramebuffer_.reset();
    dataRenderbuffer_.reset();
  }
  if (!dataFramebuffer_) createDataFBO();
  glBindFramebuffer(GL_FRAMEBUFFER, dataFramebuffer_.get());
  glViewport(0, 0, static_cast<GLsizei>(imageSize_.width), static_cast<GLsizei>(imageSize_.height));
}

void GPURawDataOutput::renderAtInternalSize() {
  GPUOpenGLESContext::setActiveShaderProgram(dataProgram_);
  setFilterFBO();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glActiveTexture(GL_TEXTURE4);
  glBindTexture(GL_TEXTURE_2D, inputTextureForDisplay_);
  glUniform1i(dataInputTextureUniform_, 4);
  glVertexAttribPointer(dataProgram_->attributeIndex("position"), 2, GL_FLOAT, GL_FALSE, 0, kFullFrameVertices.data());
  glVertexAttribPointer(dataProgram_->attributeIndex("inputTextureCoordinate"), 2, GL_FLOAT, GL_FALSE, 0,
                        textureCoordinatesForRotation(RotationNone).data());
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

const std::uint8_t* GPURawDataOutput::rawBytesForImage() {
  performOnProcessingQueueSync([this] {
    // Sized for the output as it is now, on every read: the size may have
    // changed since the buffer was first made.
    const std::size_t needed =
        static_cast<std::size_t>(imageSize_.width) * static_cast<std::size_t>(imageSize_.height) * 4;
    if (rawBytes_.size() != needed) {
      rawBytes_.assign(needed, 0);
      hasReadFromTheCurrentFrame_ = false;
    }
    if (hasReadFromTheCurrentFrame_ || needed == 0 || dataProgram_ == nullptr) return;
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    if (!readInputTextureDirectly()) {
      renderAtInternalSize();
      glx::readPixels(0, 0, static_cast<int>(imageSize_.width), static_cast<int>(imageSize_.height),
                      rawBytes_.data());
    }
    hasReadFromTheCurrentFrame_ = true;
  });
  return rawBytes_.data();
}

bool GPURawDataOutput::readInputTextureDirectly() {
  // Drawing the input unscaled into the output's framebuffer copies every
  // texel as it is; reading the texture gives the same bytes one draw sooner.
  if (!(inputSize_ == imageSize_)) return false;
  return readTexturePixels(inputTextureForDisplay_, inputReadFramebuffer_, static_cast<int>(imageSize_.width),
                           static_cast<int>(imageSize_.height), rawBytes_.data(), outputBGRA_);
}

GPUByteColorVector GPURawDataOutput::colorAtLocation(gfx::Point location) {
  const std::uint8_t* bytes = rawBytesForImage();
  const float width = imageSize_.width, height = imageSize_.height;
  if (width < 1 || height < 1) return {};
  // The read-back rows run from the bottom of the framebuffer.
  const float column = std::clamp(location.x, 0.0f, width - 1);
  const float row = std::clamp(height - location.y, 0.0f, height - 1);
  const auto offset = static_cast<std::size_t>(std::lround(column + row * width)) * 4;
  const std::uint8_t* p = bytes + offset;
  if (outputBGRA_) return {p[2], p[1], p[0], p[3]};
  return {p[0], p[1], p[2], p[3]};
}
