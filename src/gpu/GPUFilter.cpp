#include "gpu/GPUFilter.h"

#include <algorithm>

#include "gpu/GPUOpenGLESContext.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/Util.h"

const char* const kGPUVertexShaderString =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "varying vec2 textureCoordinate;\n"
    "void main()\n"
    "{\n"
    "  gl_Position = position;\n"
    "  textureCoordinate = inputTextureCoordinate.xy;\n"
    "}\n";

const char* const kGPUPassthroughFragmentShaderString =
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "void main()\n"
    "{\n"
    "  gl_FragColor = texture2D(inputImageTexture, textureCoordinate);\n"
    "}\n";

const char* const kGPUSwizzlingFragmentShaderString =
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "void main()\n"
    "{\n"
    "  gl_FragColor = texture2D(inputImageTexture, textureCoordinate).bgra;\n"
    "}\n";

std::optional<std::string> shaderSourceFromResource(const std::string& name, const std::string& type) {
  const fd::Expected<fd::Data> bytes =
      fd::files::readFile(fd::paths::resource(name + "." + type), fd::paths::kMaxResourceTextBytes);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

const std::vector<std::string>& defaultFilterAttributes() {
  static const std::vector<std::string> attributes = {"position", "inputTextureCoordinate"};
  return attributes;
}

GPUFilter::GPUFilter() : GPUFilter(kGPUVertexShaderString, kGPUPassthroughFragmentShaderString) {}

GPUFilter::GPUFilter(const std::string& fragmentShader) : GPUFilter(kGPUVertexShaderString, fragmentShader) {}

GPUFilter::GPUFilter(const std::string& vertexShader, const std::string& fragmentShader)
    : GPUFilter(std::optional<std::string>(vertexShader), std::optional<std::string>(fragmentShader),
                defaultFilterAttributes()) {}

std::shared_ptr<GPUFilter> GPUFilter::withFragmentShaderFromFile(const std::string& name) {
  return std::shared_ptr<GPUFilter>(
      new GPUFilter(std::string(kGPUVertexShaderString), shaderSourceFromResource(name, "fsh"), defaultFilterAttributes()));
}

GLProgram* linkedFilterProgram(const std::optional<std::string>& vertexShader,
                               const std::optional<std::string>& fragmentShader,
                               const std::vector<std::string>& attributes) {
  GPUOpenGLESContext& shared = GPUOpenGLESContext::sharedImageProcessingOpenGLESContext();
  GLProgram* program = shared.programForVertexShaderString(vertexShader, fragmentShader);
  if (!program->initialized()) {
    for (const std::string& name : attributes) program->addAttribute(name);
    if (!program->link()) {
      program->logLinkFailure();
      return nullptr;
    }
  }
  return program;
}

void activateFilterProgram(GLProgram* program) {
  GPUOpenGLESContext::setActiveShaderProgram(program);
  glEnableVertexAttribArray(program->attributeIndex("position"));
  glEnableVertexAttribArray(program->attributeIndex("inputTextureCoordinate"));
}

GPUFilter::GPUFilter(const std::optional<std::string>& vertexShader, const std::optional<std::string>& fragmentShader,
                     const std::vector<std::string>& attributes) {
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    filterProgram_ = linkedFilterProgram(vertexShader, fragmentShader, attributes);
    if (filterProgram_ == nullptr) return;
    filterPositionAttribute_ = filterProgram_->attributeIndex("position");
    filterTextureCoordinateAttribute_ = filterProgram_->attributeIndex("inputTextureCoordinate");
    filterInputTextureUniform_ = filterProgram_->uniformIndex("inputImageTexture");
    activateFilterProgram(filterProgram_);
  });
}

GPUFilter::~GPUFilter() {
  // Waits out uniform updates still queued for this filter, then frees its
  // framebuffer on the queue's thread, where the context is current.
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) filterFramebuffer_.reset();
  });
}

// --- frames

void GPUFilter::newFrameReadyAtTime(CMTime frameTime, int) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  renderToTextureWithVertices(kFullFrameVertices, textureCoordinatesForRotation(inputRotation_), filterSourceTexture_);
  informTargetsAboutNewFrameAtTime(frameTime);
}

void GPUFilter::setClearColor(float r, float g, float b, float a) const {
  glClearColor(r, g, b, a);
  glClear(GL_COLOR_BUFFER_BIT);
}

void GPUFilter::drawQuad(GLProgram* program, const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                         GLuint sourceTexture, GLint samplerUniform, int textureUnit) const {
  glActiveTexture(GL_TEXTURE0 + textureUnit);
  glBindTexture(GL_TEXTURE_2D, sourceTexture);
  glUniform1i(samplerUniform, textureUnit);
  const GLint position = program->attributeIndex("position");
  const GLint coordinate = program->attributeIndex("inputTextureCoordinate");
  glVertexAttribPointer(position, 2, GL_FLOAT, GL_FALSE, 0, vertices.data());
  glVertexAttribPointer(coordinate, 2, GL_FLOAT, GL_FALSE, 0, textureCoordinates.data());
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void GPUFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                            GLuint sourceTexture) {
  if (preventRendering_ || filterProgram_ == nullptr) return;
  prepareToDraw();
  drawQuad(filterProgram_, vertices, textureCoordinates, sourceTexture, filterInputTextureUniform_, 2);
}

void GPUFilter::prepareToDraw() {
  GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
  // The framebuffer first: building it sets up the size-dependent values
  // (texel steps) that the uniforms below carry, so even the first frame
  // draws with them.
  setFilterFBO();
  applyStoredUniforms(filterProgram_);
  setUniformsForProgramAtIndex(0);
  setClearColor(backgroundColorRed_, backgroundColorGreen_, backgroundColorBlue_, backgroundColorAlpha_);
}

void GPUFilter::bindFramebufferAtFBOSize(const glx::FramebufferHandle& framebuffer) const {
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
  const gfx::Size size = sizeOfFBO();
  glViewport(0, 0, static_cast<GLsizei>(size.width), static_cast<GLsizei>(size.height));
}

void GPUFilter::informTargetsAboutNewFrameAtTime(CMTime frameTime) {
  if (frameProcessingCompletionBlock_) frameProcessingCompletionBlock_(this, frameTime);
  releaseInputTexturesIfNeeded();
  for (const TargetEntry& e : targetEntries()) {
    if (e.target.get() == targetToIgnoreForUpdates_) continue;
    e.target->setInputSize(outputFrameSize(), e.textureIndex);
    e.target->newFrameReadyAtTime(frameTime, e.textureIndex);
  }
}

void GPUFilter::releaseInputTexturesIfNeeded() {
  if (!shouldConserveMemoryForNextFrame_) return;
  if (firstTextureDelegate_ != nullptr) firstTextureDelegate_->textureNoLongerNeededForTarget(this);
  shouldConserveMemoryForNextFrame_ = false;
}

// --- GPUInput

void GPUFilter::setInputTexture(GLuint texture, int) { filterSourceTexture_ = texture; }
void GPUFilter::setTextureDelegate(GPUTextureDelegate* delegate, int) { firstTextureDelegate_ = delegate; }
void GPUFilter::setInputRotation(RotationMode rotation, int) { inputRotation_ = validRotation(rotation); }

void GPUFilter::endProcessing() {
  for (const TargetEntry& e : targetEntries()) e.target->endProcessing();
}

void GPUFilter::conserveMemoryForNextFrame() {
  if (overrideInputSize_) return;
  GPUOutput::conserveMemoryForNextFrame();
}

gfx::Size GPUFilter::rotatedSize(gfx::Size size, int) const {
  return rotationSwapsWidthAndHeight(inputRotation_) ? gfx::Size{size.height, size.width} : size;
}

namespace {
// The largest rectangle of the aspect ratio inside the box, centred.
gfx::Size aspectFitSize(gfx::Size aspect, gfx::Size box) {
  if (aspect.width <= 0 || aspect.height <= 0) return {};
  const float scale = std::min(box.width / aspect.width, box.height / aspect.height);
  return {aspect.width * scale, aspect.height * scale};
}
}  // namespace

void GPUFilter::setInputSize(gfx::Size size, int textureIndex) {
  if (preventRendering_) return;
  if (overrideInputSize_) {
    if (forcedMaximumSize_ == gfx::Size{}) return;
    inputTextureSize_ = aspectFitSize(size, forcedMaximumSize_);
    return;
  }
  const gfx::Size rotated = rotatedSize(size, textureIndex);
  if (rotated == gfx::Size{}) {
    inputTextureSize_ = rotated;
  } else if (!(rotated == inputTextureSize_)) {
    inputTextureSize_ = rotated;
    recreateFilterFBO();
  }
}

void GPUFilter::forceProcessingAtSize(gfx::Size size) {
  performOnProcessingQueueSync([&] {
    if (size == gfx::Size{}) {
      overrideInputSize_ = false;
    } else {
      overrideInputSize_ = true;
      inputTextureSize_ = size;
      forcedMaximumSize_ = {};
    }
    destroyFilterFBO();
    for (const TargetEntry& e : targetEntries()) {
      if (auto* filter = dynamic_cast<GPUFilter*>(e.target.get())) filter->destroyFilterFBO();
    }
  });
}

void GPUFilter::forceProcessingAtSizeRespectingAspectRatio(gfx::Size size) {
  performOnProcessingQueueSync([&] {
    if (size == gfx::Size{}) {
      overrideInputSize_ = false;
      inputTextureSize_ = {};
      forcedMaximumSize_ = {};
    } else {
      overrideInputSize_ = true;
      forcedMaximumSize_ = size;
    }
    destroyFilterFBO();
    for (const TargetEntry& e : targetEntries()) {
      if (auto* filter = dynamic_cast<GPUFilter*>(e.target.get())) filter->destroyFilterFBO();
    }
  });
}

// --- framebuffer

gfx::Size GPUFilter::sizeOfFBO() const {
  const gfx::Size maximum = maximumOutputSize();
  if (maximum == gfx::Size{} || inputTextureSize_.width < maximum.width) return inputTextureSize_;
  return maximum;
}

void GPUFilter::attachNewTexture(glx::FramebufferHandle& framebuffer, glx::TextureHandle& texture, gfx::Size size) {
  glActiveTexture(GL_TEXTURE1);
  framebuffer = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
  if (!texture) texture = makeOutputTexture();
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(size.width), static_cast<GLsizei>(size.height), 0,
               GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture.get(), 0);
}

void GPUFilter::createFilterFBOofSize(gfx::Size size) {
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    attachNewTexture(filterFramebuffer_, outputTexture_, size);
    notifyTargetsAboutNewOutputTexture();
    glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindTexture(GL_TEXTURE_2D, 0);
  });
}

void GPUFilter::setFilterFBO() {
  if (!filterFramebuffer_) {
    const gfx::Size size = sizeOfFBO();
    createFilterFBOofSize(size);
    setupFilterForSize(size);
  }
  bindFramebufferAtFBOSize(filterFramebuffer_);
}

void GPUFilter::destroyFilterFBO() {
  performOnProcessingQueueSync([this] {
    if (filterFramebuffer_ && GPUOpenGLESContext::useImageProcessingContext()) filterFramebuffer_.reset();
  });
}

void GPUFilter::recreateFilterFBO() {
  if (!filterFramebuffer_) return;
  destroyFilterFBO();
  deleteOutputTexture();
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) setFilterFBO();
  });
}

void GPUFilter::cleanupOutputImage() {
  destroyFilterFBO();
  deleteOutputTexture();
}

// --- capture

gfx::Image GPUFilter::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation) {
  gfx::Image image;
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    const gfx::Size size = sizeOfFBO();
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    if (w <= 0 || h <= 0) return;
    setOutputFBO();
    image = gfx::Image(w, h);
    glx::readPixels(0, 0, w, h, image.pixels());
  });
  return image;
}

// --- uniforms

void GPUFilter::applyUniform(GLint location, const UniformValue& value) {
  std::visit(
      [location](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, GLint>) {
          glUniform1i(location, v);
        } else if constexpr (std::is_same_v<T, GLfloat>) {
          glUniform1f(location, v);
        } else if constexpr (std::is_same_v<T, std::array<GLfloat, 2>>) {
          glUniform2fv(location, 1, v.data());
        } else if constexpr (std::is_same_v<T, GPUVector3>) {
          glUniform3fv(location, 1, &v.one);
        } else if constexpr (std::is_same_v<T, GPUVector4>) {
          glUniform4fv(location, 1, &v.one);
        } else if constexpr (std::is_same_v<T, GPUMatrix3x3>) {
          glUniformMatrix3fv(location, 1, GL_FALSE, &v.one.one);
        } else if constexpr (std::is_same_v<T, GPUMatrix4x4>) {
          glUniformMatrix4fv(location, 1, GL_FALSE, &v.one.one);
        } else {
          glUniform1fv(location, static_cast<GLsizei>(v.size()), v.data());
        }
      },
      value);
}

void GPUFilter::setUniform(UniformValue value, GLint uniform, GLProgram* program) {
  if (program == nullptr || uniform < 0) return;
  performOnProcessingQueueAsync([this, value = std::move(value), uniform, program] {
    auto it = std::find_if(uniformValues_.begin(), uniformValues_.end(), [&](const StoredUniform& s) {
      return s.program == program && s.location == uniform;
    });
    if (it == uniformValues_.end()) {
      uniformValues_.push_back({program, uniform, value});
    } else {
      it->value = value;
    }
    GPUOpenGLESContext::setActiveShaderProgram(program);
    applyUniform(uniform, value);
  });
}

void GPUFilter::applyStoredUniforms(GLProgram* program) const {
  for (const StoredUniform& s : uniformValues_) {
    if (s.program == program) applyUniform(s.location, s.value);
  }
}

void GPUFilter::setFloat(float value, GLint uniform, GLProgram* program) { setUniform(value, uniform, program); }
void GPUFilter::setInteger(GLint value, GLint uniform, GLProgram* program) { setUniform(value, uniform, program); }
void GPUFilter::setPoint(gfx::Point value, GLint uniform, GLProgram* program) {
  setUniform(std::array<GLfloat, 2>{value.x, value.y}, uniform, program);
}
void GPUFilter::setSize(gfx::Size value, GLint uniform, GLProgram* program) {
  setUniform(std::array<GLfloat, 2>{value.width, value.height}, uniform, program);
}
void GPUFilter::setVec3(GPUVector3 value, GLint uniform, GLProgram* program) { setUniform(value, uniform, program); }
void GPUFilter::setVec4(GPUVector4 value, GLint uniform, GLProgram* program) { setUniform(value, uniform, program); }
void GPUFilter::setMatrix3f(const GPUMatrix3x3& value, GLint uniform, GLProgram* program) {
  setUniform(value, uniform, program);
}
void GPUFilter::setMatrix4f(const GPUMatrix4x4& value, GLint uniform, GLProgram* program) {
  setUniform(value, uniform, program);
}
void GPUFilter::setFloatArray(const float* values, int length, GLint uniform, GLProgram* program) {
  if (values == nullptr || length <= 0) return;
  // Copied now: the caller's array may be gone before the queue runs the update.
  setUniform(std::vector<GLfloat>(values, values + length), uniform, program);
}

namespace {
GLint uniformLocation(GLProgram* program, const std::string& name) {
  GLint location = -1;
  if (program == nullptr) return location;
  performOnProcessingQueueSync([&] {
    if (GPUOpenGLESContext::useImageProcessingContext()) location = program->uniformIndex(name);
  });
  return location;
}
}  // namespace

void GPUFilter::setInteger(GLint value, const std::string& name) {
  setInteger(value, uniformLocation(filterProgram_, name), filterProgram_);
}
void GPUFilter::setFloat(float value, const std::string& name) {
  setFloat(value, uniformLocation(filterProgram_, name), filterProgram_);
}
void GPUFilter::setSize(gfx::Size value, const std::string& name) {
  setSize(value, uniformLocation(filterProgram_, name), filterProgram_);
}
void GPUFilter::setPoint(gfx::Point value, const std::string& name) {
  setPoint(value, uniformLocation(filterProgram_, name), filterProgram_);
}
void GPUFilter::setFloatVec3(GPUVector3 value, const std::string& name) {
  setVec3(value, uniformLocation(filterProgram_, name), filterProgram_);
}
void GPUFilter::setFloatVec4(GPUVector4 value, const std::string& name) {
  setVec4(value, uniformLocation(filterProgram_, name), filterProgram_);
}
void GPUFilter::setFloatArray(const float* values, int length, const std::string& name) {
  setFloatArray(values, length, uniformLocation(filterProgram_, name), filterProgram_);
}

void GPUFilter::setBackgroundColorRed(float red, float green, float blue, float alpha) {
  backgroundColorRed_ = red;
  backgroundColorGreen_ = green;
  backgroundColorBlue_ = blue;
  backgroundColorAlpha_ = alpha;
}
