#include "gpu/filters/reduction/GPUReductionFilters.h"

#include <cmath>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/GPUStockFilterSupport.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Util.h"

namespace {

// Four samples a quarter of a destination texel (one source texel) from the
// centre, each on the corner shared by four source texels: with linear
// filtering each averages a 2 x 2 block, so one draw averages the 4 x 4 block
// under the destination texel. Half a destination texel would land the
// samples on the block's neighbours and skip its middle rows and columns.
#define FD_AVERAGING_SAMPLES                                  \
  "precision highp float;\n"                                  \
  "uniform sampler2D inputImageTexture;\n"                    \
  "varying highp vec2 upperLeftInputTextureCoordinate;\n"     \
  "varying highp vec2 upperRightInputTextureCoordinate;\n"    \
  "varying highp vec2 lowerLeftInputTextureCoordinate;\n"     \
  "varying highp vec2 lowerRightInputTextureCoordinate;\n"    \
  "void main() {\n"                                           \
  "  vec4 ul = texture2D(inputImageTexture, upperLeftInputTextureCoordinate);\n" \
  "  vec4 ur = texture2D(inputImageTexture, upperRightInputTextureCoordinate);\n" \
  "  vec4 ll = texture2D(inputImageTexture, lowerLeftInputTextureCoordinate);\n" \
  "  vec4 lr = texture2D(inputImageTexture, lowerRightInputTextureCoordinate);\n"

constexpr const char* kColorAveragingShader = FD_AVERAGING_SAMPLES
    "  gl_FragColor = 0.25 * (ul + ur + ll + lr);\n}\n";

constexpr const char* kLuminanceAveragingShader = FD_AVERAGING_SAMPLES
    "  const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "  float l = 0.25 * (dot(ul.rgb, W) + dot(ur.rgb, W) + dot(ll.rgb, W) + dot(lr.rgb, W));\n"
    "  gl_FragColor = vec4(l, l, l, 1.0);\n}\n";

constexpr const char* kRedAveragingShader = FD_AVERAGING_SAMPLES
    "  float l = 0.25 * (ul.r + ur.r + ll.r + lr.r);\n"
    "  gl_FragColor = vec4(l, l, l, 1.0);\n}\n";

#undef FD_AVERAGING_SAMPLES

constexpr float kLuminanceWeights[3] = {0.2125f, 0.7154f, 0.0721f};

// The position attribute carries a pixel's raw bytes (0..255). A value v
// lands on the centre of column v of the 256-wide target, so which column a
// value counts in never hangs on how a point on a pixel edge is rasterised.
#define FD_HISTOGRAM_VERTEX(value, factor)                                \
  "attribute vec4 position;\n"                                            \
  "varying vec3 colorFactor;\n"                                           \
  "void main() {\n"                                                       \
  "  colorFactor = " factor ";\n"                                         \
  "  float v = " value ";\n"                                              \
  "  gl_Position = vec4(-1.0 + (v + 0.5) * 0.0078125, 0.0, 0.0, 1.0);\n" \
  "  gl_PointSize = 1.0;\n}\n"

constexpr const char* kHistogramVertexShaders[] = {
    FD_HISTOGRAM_VERTEX("position.r", "vec3(1.0, 0.0, 0.0)"),
    FD_HISTOGRAM_VERTEX("position.g", "vec3(0.0, 1.0, 0.0)"),
    FD_HISTOGRAM_VERTEX("position.b", "vec3(0.0, 0.0, 1.0)"),
    FD_HISTOGRAM_VERTEX("dot(position.xyz, vec3(0.2125, 0.7154, 0.0721))", "vec3(1.0, 1.0, 1.0)"),
};
#undef FD_HISTOGRAM_VERTEX

// One step of an 8-bit channel per point: 1/256 rounds to 1/255.
constexpr const char* kHistogramFragmentShader =
    "varying mediump vec3 colorFactor;\n"
    "void main() {\n"
    "  gl_FragColor = vec4(colorFactor * 0.00390625, 1.0);\n}\n";

const char* histogramVertexShader(GPUHistogramType type) {
  switch (type) {
    case GPUHistogramType::Red:
    case GPUHistogramType::RGB:
      return kHistogramVertexShaders[0];
    case GPUHistogramType::Green:
      return kHistogramVertexShaders[1];
    case GPUHistogramType::Blue:
      return kHistogramVertexShaders[2];
    case GPUHistogramType::Luminance:
      return kHistogramVertexShaders[3];
  }
  return kHistogramVertexShaders[0];
}

constexpr const char* kHistogramGeneratorVertexShader =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "varying vec2 textureCoordinate;\n"
    "varying float height;\n"
    "void main() {\n"
    "  gl_Position = position;\n"
    "  textureCoordinate = vec2(inputTextureCoordinate.x, 0.5);\n"
    "  height = 1.0 - inputTextureCoordinate.y;\n}\n";

constexpr const char* kHistogramGeneratorShader =
    "varying highp vec2 textureCoordinate;\n"
    "varying highp float height;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform lowp vec4 backgroundColor;\n"
    "void main() {\n"
    "  lowp vec3 c = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
    "  lowp vec4 t = vec4(step(height, c.r), step(height, c.g), step(height, c.b), 1.0);\n"
    "  gl_FragColor = mix(backgroundColor, t, t.r + t.g + t.b);\n}\n";

// Reads a w x h texture through the framebuffer given (made on first use),
// into `pixels`, grown when it is too small for this size. The input's own
// texture is read, not whatever framebuffer an upstream stage left bound: a
// picture source has none. False, and nothing read, when the texture cannot
// back a framebuffer: its bytes would be another picture's.
bool readTexturePixels(glx::FramebufferHandle& framebuffer, GLuint texture, int w, int h,
                       std::vector<std::uint8_t>& pixels) {
  const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
  if (pixels.size() < bytes) pixels.resize(bytes);
  if (!framebuffer) framebuffer = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    fd::Log("Input texture of a reduction could not be read\n");
    return false;
  }
  glx::readPixels(0, 0, w, h, pixels.data());
  return true;
}

}  // namespace

std::vector<gfx::Size> reductionStageSizes(gfx::Size inputSize) {
  std::vector<gfx::Size> sizes;
  const long w = static_cast<long>(std::floor(inputSize.width));
  const long h = static_cast<long>(std::floor(inputSize.height));
  if (w < 1 || h < 1) return sizes;
  // Each stage quarters both sides; a side below 2 ends the chain. Integer
  // division: ln(64) / ln(4) in floating point may fall short of 3.
  for (long w4 = w / 4, h4 = h / 4; w4 >= 2 && h4 >= 2; w4 /= 4, h4 /= 4) {
    sizes.push_back({static_cast<float>(w4), static_cast<float>(h4)});
  }
  return sizes;
}

// --- mean colour

GPUAverageColor::GPUAverageColor() : GPUAverageColor(kColorAveragingShader) {}

GPUAverageColor::GPUAverageColor(const std::string& firstStageFragmentShader)
    : GPUFilter(kGPUFourCornerVertexShaderString, firstStageFragmentShader) {
  performOnProcessingQueueSync([this] { firstStage_ = stageProgram(filterProgram_); });
}

GPUAverageColor::~GPUAverageColor() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    stages_.clear();
    readFramebuffer_.reset();
  });
}

GPUAverageColor::StageProgram GPUAverageColor::stageProgram(GLProgram* program) {
  StageProgram s;
  if (program == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return s;
  s.program = program;
  s.inputTexture = program->uniformIndex("inputImageTexture");
  s.texelWidth = program->uniformIndex("texelWidth");
  s.texelHeight = program->uniformIndex("texelHeight");
  return s;
}

GPUAverageColor::StageProgram GPUAverageColor::programForStage(std::size_t) const { return firstStage_; }

void GPUAverageColor::setColorAverageProcessingFinishedBlock(ColorAverageProcessingFinishedBlock block) {
  performOnProcessingQueueSync([&] { colorAverageProcessingFinishedBlock_ = std::move(block); });
}

void GPUAverageColor::setInputRotation(RotationMode, int) { inputRotation_ = RotationNone; }

std::vector<gfx::Size> GPUAverageColor::stageSizes() const {
  std::vector<gfx::Size> sizes;
  performOnProcessingQueueSync([&] {
    for (const Stage& s : stages_) sizes.push_back(s.size);
  });
  return sizes;
}

void GPUAverageColor::planStages() {
  stages_.clear();
  plannedFor_ = inputTextureSize_;
  glActiveTexture(GL_TEXTURE1);
  for (const gfx::Size size : reductionStageSizes(inputTextureSize_)) {
    Stage stage{size, makeOutputTexture(), {}};
    attachNewTexture(stage.framebuffer, stage.texture, size);
    glCheckFramebufferStatus(GL_FRAMEBUFFER);
    stages_.push_back(std::move(stage));
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  notifyTargetsAboutNewOutputTexture();
}

void GPUAverageColor::setFilterFBO() {
  if (!(plannedFor_ == inputTextureSize_)) planStages();
  if (stages_.empty()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, stages_.back().framebuffer.get());
  glViewport(0, 0, static_cast<GLsizei>(stages_.back().size.width), static_cast<GLsizei>(stages_.back().size.height));
}

void GPUAverageColor::destroyFilterFBO() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    stages_.clear();
    plannedFor_ = {};
  });
}

void GPUAverageColor::recreateFilterFBO() {
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) planStages();
  });
}

gfx::Size GPUAverageColor::outputFrameSize() const { return stages_.empty() ? gfx::Size{} : stages_.back().size; }

GLuint GPUAverageColor::textureForOutput() const { return stages_.empty() ? 0 : stages_.back().texture.get(); }

void GPUAverageColor::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                  GLuint sourceTexture) {
  reduced_ = false;
  if (preventRendering_ || filterProgram_ == nullptr) return;
  setFilterFBO();
  GLuint current = sourceTexture;
  for (std::size_t i = 0; i < stages_.size(); ++i) {
    const StageProgram p = programForStage(i);
    if (p.program == nullptr) return;
    const Stage& stage = stages_[i];
    GPUOpenGLESContext::setActiveShaderProgram(p.program);
    glBindFramebuffer(GL_FRAMEBUFFER, stage.framebuffer.get());
    glViewport(0, 0, static_cast<GLsizei>(stage.size.width), static_cast<GLsizei>(stage.size.height));
    setClearColor(0, 0, 0, 1);
    glUniform1f(p.texelWidth, 0.25f / stage.size.width);
    glUniform1f(p.texelHeight, 0.25f / stage.size.height);
    drawQuad(p.program, vertices, textureCoordinates, current, p.inputTexture, 2);
    current = stage.texture.get();
  }
  reduced_ = true;
}

void GPUAverageColor::newFrameReadyAtTime(CMTime frameTime, int) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  renderToTextureWithVertices(kFullFrameVertices, textureCoordinatesForRotation(RotationNone), filterSourceTexture_);
  // Read before the targets run: they may bind framebuffers of their own.
  if (reduced_) extractAtFrameTime(frameTime);
  informTargetsAboutNewFrameAtTime(frameTime);
}

void GPUAverageColor::extractAtFrameTime(CMTime frameTime) {
  gfx::Size size;
  bool fromInput = stages_.empty();
  if (fromInput) {
    size = inputTextureSize_;
    if (filterSourceTexture_ == 0) return;
  } else {
    size = stages_.back().size;
  }
  const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
  if (w <= 0 || h <= 0) return;
  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (fromInput) {
    if (!readTexturePixels(readFramebuffer_, filterSourceTexture_, w, h, rawImagePixels_)) return;
  } else {
    if (rawImagePixels_.size() < n * 4) rawImagePixels_.resize(n * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, stages_.back().framebuffer.get());
    glx::readPixels(0, 0, w, h, rawImagePixels_.data());
  }
  reportPixels(rawImagePixels_, n, fromInput, frameTime);
}

void GPUAverageColor::reportPixels(const std::vector<std::uint8_t>& rgba, std::size_t n, bool, CMTime frameTime) {
  if (!colorAverageProcessingFinishedBlock_) return;
  std::uint64_t sums[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < n; ++i)
    for (int c = 0; c < 4; ++c) sums[c] += rgba[i * 4 + c];
  const double scale = 1.0 / (static_cast<double>(n) * 255.0);
  colorAverageProcessingFinishedBlock_(static_cast<float>(sums[0] * scale), static_cast<float>(sums[1] * scale),
                                       static_cast<float>(sums[2] * scale), static_cast<float>(sums[3] * scale),
                                       frameTime);
}

gfx::Image GPUAverageColor::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation) {
  gfx::Image image;
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext() || stages_.empty()) return;
    image = stockImageFromFramebuffer(stages_.back().framebuffer.get(), stages_.back().size);
  });
  return image;
}

// --- mean luminance

GPULuminosity::GPULuminosity() : GPUAverageColor(kLuminanceAveragingShader) {
  performOnProcessingQueueSync([this] {
    if (filterProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    GLProgram* second = linkedFilterProgram(std::string(kGPUFourCornerVertexShaderString), std::string(kRedAveragingShader));
    if (second == nullptr) {
      // Without its later stages the filter would report the first stage's
      // partial sums as the mean.
      filterProgram_ = nullptr;
      return;
    }
    secondStage_ = stageProgram(second);
    activateFilterProgram(second);
  });
}

void GPULuminosity::setLuminosityProcessingFinishedBlock(LuminosityProcessingFinishedBlock block) {
  performOnProcessingQueueSync([&] { luminosityProcessingFinishedBlock_ = std::move(block); });
}

GPUAverageColor::StageProgram GPULuminosity::programForStage(std::size_t index) const {
  return index == 0 ? firstStage_ : secondStage_;
}

void GPULuminosity::reportPixels(const std::vector<std::uint8_t>& rgba, std::size_t n, bool fromInput,
                                 CMTime frameTime) {
  if (!luminosityProcessingFinishedBlock_) return;
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* p = &rgba[i * 4];
    // The reduced stages hold the luminance in red; the raw input does not.
    sum += fromInput ? p[0] * kLuminanceWeights[0] + p[1] * kLuminanceWeights[1] + p[2] * kLuminanceWeights[2]
                     : p[0];
  }
  luminosityProcessingFinishedBlock_(static_cast<float>(sum / (static_cast<double>(n) * 255.0)), frameTime);
}

// --- histogram

GPUHistogramFilter::GPUHistogramFilter(GPUHistogramType type)
    : GPUFilter(histogramVertexShader(type), kHistogramFragmentShader), histogramType_(type) {
  if (type != GPUHistogramType::RGB) return;
  performOnProcessingQueueSync([this] {
    if (filterProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    const std::vector<std::string> attributes = {"position"};
    secondFilterProgram_ = linkedFilterProgram(std::string(kHistogramVertexShaders[1]),
                                               std::string(kHistogramFragmentShader), attributes);
    thirdFilterProgram_ = linkedFilterProgram(std::string(kHistogramVertexShaders[2]),
                                              std::string(kHistogramFragmentShader), attributes);
    // One channel missing would pass for an empty one.
    if (secondFilterProgram_ == nullptr || thirdFilterProgram_ == nullptr) filterProgram_ = nullptr;
  });
}

fd::Expected<std::shared_ptr<GPUHistogramFilter>> GPUHistogramFilter::withHistogramType(int type) {
  if (type < 0 || type > static_cast<int>(GPUHistogramType::Luminance)) {
    return fd::fail("no histogram of kind " + std::to_string(type) + " (0 red, 1 green, 2 blue, 3 RGB, 4 luminance)");
  }
  return std::make_shared<GPUHistogramFilter>(static_cast<GPUHistogramType>(type));
}

GPUHistogramFilter::~GPUHistogramFilter() {
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) readFramebuffer_.reset();
  });
}

void GPUHistogramFilter::setDownsamplingFactor(unsigned factor) { downsamplingFactor_ = factor == 0 ? 1u : factor; }

void GPUHistogramFilter::setInputSize(gfx::Size size, int) {
  if (!preventRendering_) inputTextureSize_ = size;
}

void GPUHistogramFilter::setInputRotation(RotationMode, int) { inputRotation_ = RotationNone; }

void GPUHistogramFilter::setFilterFBO() {
  if (!filterFramebuffer_) createFilterFBOofSize(kHistogramSize);
  glBindFramebuffer(GL_FRAMEBUFFER, filterFramebuffer_.get());
  glViewport(0, 0, static_cast<GLsizei>(kHistogramSize.width), static_cast<GLsizei>(kHistogramSize.height));
}

void GPUHistogramFilter::renderToTextureWithVertices(const GPUQuad&, const GPUQuad&, GLuint sourceTexture) {
  if (preventRendering_ || filterProgram_ == nullptr) return;
  const int w = static_cast<int>(inputTextureSize_.width), h = static_cast<int>(inputTextureSize_.height);
  setFilterFBO();
  GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
  setClearColor(0, 0, 0, 1);
  if (w <= 0 || h <= 0 || sourceTexture == 0) return;
  if (!readTexturePixels(readFramebuffer_, sourceTexture, w, h, vertexSamplingCoordinates_)) return;
  setFilterFBO();

  const unsigned factor = downsamplingFactor_;
  // Consecutive points lie factor - 1 pixels apart (stride 0 is tightly
  // packed, the same as 4 bytes), so the last one read stays inside the frame.
  const GLsizei stride = static_cast<GLsizei>(factor * 4 - 4);
  const GLsizei count = static_cast<GLsizei>(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) / factor);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_ONE, GL_ONE);
  // The texture-coordinate array stays enabled for the other filters; no
  // program here reads it, and it must not be fetched for this many points.
  glDisableVertexAttribArray(1);
  for (GLProgram* program : {filterProgram_, secondFilterProgram_, thirdFilterProgram_}) {
    if (program == nullptr) continue;
    GPUOpenGLESContext::setActiveShaderProgram(program);
    const GLint position = program->attributeIndex("position");
    glEnableVertexAttribArray(position);
    glVertexAttribPointer(position, 4, GL_UNSIGNED_BYTE, GL_FALSE, stride, vertexSamplingCoordinates_.data());
    glDrawArrays(GL_POINTS, 0, count);
  }
  glEnableVertexAttribArray(1);
  glDisable(GL_BLEND);
}

gfx::Image GPUHistogramFilter::newCGImageFromCurrentlyProcessedOutputWithOrientation(gfx::Orientation) {
  gfx::Image image;
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext() || !filterFramebuffer_) return;
    image = stockImageFromFramebuffer(filterFramebuffer_.get(), kHistogramSize);
  });
  return image;
}

// --- histogram chart

GPUHistogramGenerator::GPUHistogramGenerator()
    : GPUFilter(kHistogramGeneratorVertexShader, kHistogramGeneratorShader) {
  backgroundColorUniform_ = stockUniformIndex(*this, "backgroundColor");
  setBackgroundColorRed(0, 0, 0, 0);
}

void GPUHistogramGenerator::setBackgroundColorRed(float red, float green, float blue, float alpha) {
  setVec4({red, green, blue, alpha}, backgroundColorUniform_, filterProgram());
}

void registerReductionFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUAverageColor>("GPUAverageColor"));
  r.registerClass(C::of<GPULuminosity>("GPULuminosity"));
  r.registerClass(C::of<GPUHistogramFilter>("GPUHistogramFilter")
                      .message("setDownsamplingFactor:", &GPUHistogramFilter::setDownsamplingFactorNumber));
  r.registerClass(C::of<GPUHistogramGenerator>("GPUHistogramGenerator"));
}
