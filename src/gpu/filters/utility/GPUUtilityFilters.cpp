#include "gpu/filters/utility/GPUUtilityFilters.h"

#include <algorithm>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "platform/gl/Util.h"

namespace {

constexpr const char* kColorPackingShader =
    "precision lowp float;\n"
    "uniform sampler2D inputImageTexture;\n"
    "varying highp vec2 upperLeftInputTextureCoordinate;\n"
    "varying highp vec2 upperRightInputTextureCoordinate;\n"
    "varying highp vec2 lowerLeftInputTextureCoordinate;\n"
    "varying highp vec2 lowerRightInputTextureCoordinate;\n"
    "void main() {\n"
    "  float upperLeft = texture2D(inputImageTexture, upperLeftInputTextureCoordinate).r;\n"
    "  float upperRight = texture2D(inputImageTexture, upperRightInputTextureCoordinate).r;\n"
    "  float lowerLeft = texture2D(inputImageTexture, lowerLeftInputTextureCoordinate).r;\n"
    "  float lowerRight = texture2D(inputImageTexture, lowerRightInputTextureCoordinate).r;\n"
    "  gl_FragColor = vec4(upperLeft, upperRight, lowerLeft, lowerRight);\n}\n";

constexpr const char* kSuppressionShader =
    "precision mediump float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform highp float texelWidth;\n"
    "uniform highp float texelHeight;\n"
    "uniform mediump float upperThreshold;\n"
    "uniform mediump float lowerThreshold;\n"
    "void main() {\n"
    "  vec3 c = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
    "  highp vec2 d = (c.gb * 2.0 - 1.0) * vec2(texelWidth, texelHeight);\n"
    "  float m1 = texture2D(inputImageTexture, textureCoordinate + d).r;\n"
    "  float m2 = texture2D(inputImageTexture, textureCoordinate - d).r;\n"
    "  float k = (c.r >= m1 && c.r >= m2) ? 1.0 : 0.0;\n"
    "  k = k * smoothstep(lowerThreshold, upperThreshold, c.r);\n"
    "  gl_FragColor = vec4(k, k, k, 1.0);\n}\n";

}  // namespace

// --- frame delay

GPUBuffer::GPUBuffer() : GPUFilter() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    bufferedTextures_.push_back(generateTexture());
  });
}

GPUBuffer::~GPUBuffer() {
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) bufferedTextures_.clear();
  });
}

std::vector<GLuint> GPUBuffer::bufferedTextures() const {
  std::vector<GLuint> names;
  for (const auto& t : bufferedTextures_) names.push_back(t.get());
  return names;
}

GLuint GPUBuffer::textureForOutput() const {
  return bufferedTextures_.empty() ? 0 : bufferedTextures_.front().get();
}

glx::TextureHandle GPUBuffer::generateTexture() const {
  glActiveTexture(GL_TEXTURE0);
  glx::TextureHandle texture = glx::TextureHandle::make();
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  const gfx::Size size = sizeOfFBO();
  if (size.width >= 1 && size.height >= 1) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(size.width), static_cast<GLsizei>(size.height), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

void GPUBuffer::setBufferSize(unsigned size) {
  if (size == 0 || size == bufferSize()) return;
  // Textures are made and deleted on the processing queue, where the
  // context is current.
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    while (bufferSize() < size) bufferedTextures_.push_back(generateTexture());
    while (bufferSize() > size) bufferedTextures_.pop_back();
  });
}

void GPUBuffer::sizeTexturesToFBO() {
  const gfx::Size size = sizeOfFBO();
  if (size == textureSize_) return;
  textureSize_ = size;
  glActiveTexture(GL_TEXTURE0);
  for (const auto& t : bufferedTextures_) {
    glBindTexture(GL_TEXTURE_2D, t.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(size.width), static_cast<GLsizei>(size.height), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
}

void GPUBuffer::newFrameReadyAtTime(CMTime frameTime, int) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  if (bufferedTextures_.empty()) return;
  sizeTexturesToFBO();
  notifyTargetsAboutNewOutputTexture();
  informTargetsAboutNewFrameAtTime(frameTime);
  if (bufferSize() >= 2) {
    std::rotate(bufferedTextures_.begin(), bufferedTextures_.begin() + 1, bufferedTextures_.end());
  } else {
    glFinish();
  }
  renderToTextureWithVertices(kFullFrameVertices, textureCoordinatesForRotation(inputRotation_), filterSourceTexture_);
}

void GPUBuffer::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                            GLuint sourceTexture) {
  if (preventRendering() || filterProgram_ == nullptr || bufferedTextures_.empty()) return;
  GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
  setFilterFBO();
  sizeTexturesToFBO();
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, bufferedTextures_.back().get(), 0);
  applyStoredUniforms(filterProgram_);
  setClearColor(backgroundColorRed_, backgroundColorGreen_, backgroundColorBlue_, backgroundColorAlpha_);
  drawQuad(filterProgram_, vertices, textureCoordinates, sourceTexture, filterInputTextureUniform_, 2);
}

gfx::Image GPUBuffer::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation) {
  // What the targets read: entry 0.
  gfx::Image image;
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext() || bufferedTextures_.empty()) return;
    glx::FramebufferHandle framebuffer = glx::FramebufferHandle::make();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, bufferedTextures_.front().get(), 0);
    image = stockImageFromFramebuffer(framebuffer.get(), textureSize_);
  });
  return image;
}

// --- colour packing

GPUColorPackingFilter::GPUColorPackingFilter() : GPUFilter(kGPUFourCornerVertexShaderString, kColorPackingShader) {
  texelWidthUniform_ = stockUniformIndex(*this, "texelWidth");
  texelHeightUniform_ = stockUniformIndex(*this, "texelHeight");
}

gfx::Size GPUColorPackingFilter::packedSizeOfFBO() const {
  const gfx::Size m = maximumOutputSize();
  const gfx::Size half{inputTextureSize_.width / 2, inputTextureSize_.height / 2};
  if (m == gfx::Size{} || inputTextureSize_.width < m.width) return half;
  return m;
}

void GPUColorPackingFilter::setupFilterForSize(gfx::Size) {
  // A zero input size gives zero offsets instead of dividing by zero.
  texelWidth_ = inputTextureSize_.width > 0 ? 0.5f / inputTextureSize_.width : 0.0f;
  texelHeight_ = inputTextureSize_.height > 0 ? 0.5f / inputTextureSize_.height : 0.0f;
  performOnProcessingQueueSync([this] {
    setFloat(texelWidth_, texelWidthUniform_, filterProgram());
    setFloat(texelHeight_, texelHeightUniform_, filterProgram());
  });
}

void GPUColorPackingFilter::setFilterFBO() {
  const gfx::Size size = packedSizeOfFBO();
  if (!filterFramebuffer_) {
    createFilterFBOofSize(size);
    setupFilterForSize(size);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, filterFramebuffer_.get());
  glViewport(0, 0, static_cast<GLsizei>(size.width), static_cast<GLsizei>(size.height));
}

gfx::Image GPUColorPackingFilter::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation) {
  gfx::Image image;
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext() || !filterFramebuffer_) return;
    image = stockImageFromFramebuffer(filterFramebuffer_.get(), packedSizeOfFBO());
  });
  return image;
}

// --- directional non-maximum suppression

GPUDirectionalNonMaximumSuppressionFilter::GPUDirectionalNonMaximumSuppressionFilter()
    : GPUFilter(kSuppressionShader) {
  texelWidthUniform_ = stockUniformIndex(*this, "texelWidth");
  texelHeightUniform_ = stockUniformIndex(*this, "texelHeight");
  upperThresholdUniform_ = stockUniformIndex(*this, "upperThreshold");
  lowerThresholdUniform_ = stockUniformIndex(*this, "lowerThreshold");
  setUpperThreshold(0.5f);
  setLowerThreshold(0.1f);
}

void GPUDirectionalNonMaximumSuppressionFilter::setupFilterForSize(gfx::Size size) {
  if (hasOverriddenImageSizeFactor_) return;
  // A zero size leaves the neighbours on the pixel itself.
  texelWidth_ = size.width > 0 ? 1.0f / size.width : 0.0f;
  texelHeight_ = size.height > 0 ? 1.0f / size.height : 0.0f;
  performOnProcessingQueueSync([this] {
    setFloat(texelWidth_, texelWidthUniform_, filterProgram());
    setFloat(texelHeight_, texelHeightUniform_, filterProgram());
  });
}

void GPUDirectionalNonMaximumSuppressionFilter::setTexelWidth(float v) {
  hasOverriddenImageSizeFactor_ = true;
  texelWidth_ = v;
  setFloat(v, texelWidthUniform_, filterProgram());
}
void GPUDirectionalNonMaximumSuppressionFilter::setTexelHeight(float v) {
  hasOverriddenImageSizeFactor_ = true;
  texelHeight_ = v;
  setFloat(v, texelHeightUniform_, filterProgram());
}
void GPUDirectionalNonMaximumSuppressionFilter::setUpperThreshold(float v) {
  upperThreshold_ = v;
  setFloat(v, upperThresholdUniform_, filterProgram());
}
void GPUDirectionalNonMaximumSuppressionFilter::setLowerThreshold(float v) {
  lowerThreshold_ = v;
  setFloat(v, lowerThresholdUniform_, filterProgram());
}

void registerUtilityFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUBuffer>("GPUBuffer").message("setBufferSize:", &GPUBuffer::setBufferSizeNumber));
  r.registerClass(C::of<GPUColorPackingFilter>("GPUColorPackingFilter"));
  using S = GPUDirectionalNonMaximumSuppressionFilter;
  r.registerClass(C::of<S>("GPUDirectionalNonMaximumSuppressionFilter")
                      .message("setTexelWidth:", &S::setTexelWidth)
                      .message("setTexelHeight:", &S::setTexelHeight)
                      .message("setUpperThreshold:", &S::setUpperThreshold)
                      .message("setLowerThreshold:", &S::setLowerThreshold));
}
