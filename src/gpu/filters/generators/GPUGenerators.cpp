#include "gpu/filters/generators/GPUGenerators.h"

#include <algorithm>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"

namespace {

constexpr const char* kSolidColorShader =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform vec4 color;\n"
    "void main() {\n"
    "  gl_FragColor = color;\n}\n";

constexpr const char* kPerlinNoiseShader =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform float scale;\n"
    "uniform vec4 colorStart;\n"
    "uniform vec4 colorFinish;\n"
    "vec4 mod289(vec4 x) { return x - floor(x * (1.0 / 289.0)) * 289.0; }\n"
    "vec4 permute(vec4 x) { return mod289(((x * 34.0) + 1.0) * x); }\n"
    "vec4 taylorInvSqrt(vec4 r) { return 1.79284291400159 - 0.85373472095314 * r; }\n"
    "vec2 fade(vec2 t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }\n"
    "float noise(vec2 P) {\n"
    "  vec4 Pi = floor(P.xyxy) + vec4(0.0, 0.0, 1.0, 1.0);\n"
    "  vec4 Pf = fract(P.xyxy) - vec4(0.0, 0.0, 1.0, 1.0);\n"
    "  Pi = mod289(Pi);\n"
    "  vec4 ix = Pi.xzxz;\n"
    "  vec4 iy = Pi.yyww;\n"
    "  vec4 fx = Pf.xzxz;\n"
    "  vec4 fy = Pf.yyww;\n"
    "  vec4 i = permute(permute(ix) + iy);\n"
    "  vec4 gx = fract(i * (1.0 / 41.0)) * 2.0 - 1.0;\n"
    "  vec4 gy = abs(gx) - 0.5;\n"
    "  gx = gx - floor(gx + 0.5);\n"
    "  vec2 g00 = vec2(gx.x, gy.x);\n"
    "  vec2 g10 = vec2(gx.y, gy.y);\n"
    "  vec2 g01 = vec2(gx.z, gy.z);\n"
    "  vec2 g11 = vec2(gx.w, gy.w);\n"
    "  vec4 norm = taylorInvSqrt(vec4(dot(g00, g00), dot(g01, g01), dot(g10, g10), dot(g11, g11)));\n"
    "  g00 *= norm.x;\n"
    "  g01 *= norm.y;\n"
    "  g10 *= norm.z;\n"
    "  g11 *= norm.w;\n"
    "  float n00 = dot(g00, vec2(fx.x, fy.x));\n"
    "  float n10 = dot(g10, vec2(fx.y, fy.y));\n"
    "  float n01 = dot(g01, vec2(fx.z, fy.z));\n"
    "  float n11 = dot(g11, vec2(fx.w, fy.w));\n"
    "  vec2 f = fade(Pf.xy);\n"
    "  vec2 nx = mix(vec2(n00, n01), vec2(n10, n11), f.x);\n"
    "  return 2.3 * mix(nx.x, nx.y, f.y);\n"
    "}\n"
    "void main() {\n"
    "  float n = (noise(textureCoordinate * scale) + 1.0) / 2.0;\n"
    "  gl_FragColor = colorStart + (colorFinish - colorStart) * n;\n}\n";

constexpr const char* kCrosshairVertexShader =
    "attribute vec4 position;\n"
    "uniform float crosshairWidth;\n"
    "varying vec2 centerLocation;\n"
    "varying float pointSpacing;\n"
    "void main() {\n"
    "  gl_Position = vec4(((position.xy * 2.0) - 1.0), 0.0, 1.0);\n"
    "  gl_PointSize = crosshairWidth + 1.0;\n"
    "  pointSpacing = crosshairWidth > 0.0 ? 1.0 / crosshairWidth : 2.0;\n"
    "  centerLocation = vec2(pointSpacing * ceil(crosshairWidth / 2.0));\n}\n";

// A spacing of 2 (for a width of 0 or less) lies past every point-sprite
// coordinate, so no bar is drawn.
constexpr const char* kCrosshairShader =
    "precision highp float;\n"
    "uniform vec3 crosshairColor;\n"
    "varying vec2 centerLocation;\n"
    "varying float pointSpacing;\n"
    "void main() {\n"
    "  vec2 pc = gl_PointCoord;\n"
    "  vec2 d = abs(centerLocation - pc);\n"
    "  float a = step(pointSpacing, pc.y) * (d.x <= 0.09 ? 1.0 : 0.0)\n"
    "          + step(pointSpacing, pc.x) * (d.y <= 0.09 ? 1.0 : 0.0);\n"
    "  gl_FragColor = vec4(crosshairColor * a, a);\n}\n";

constexpr const char* kPositionVertexShader =
    "attribute vec4 position;\n"
    "void main() {\n"
    "  gl_Position = position;\n}\n";

constexpr const char* kLineShader =
    "precision highp float;\n"
    "uniform vec3 lineColor;\n"
    "void main() {\n"
    "  gl_FragColor = vec4(lineColor, 1.0);\n}\n";

constexpr const char* kVoteShader =
    "precision highp float;\n"
    "void main() {\n"
    "  gl_FragColor = vec4(0.004, 0.004, 0.004, 1.0);\n}\n";

// Draws with only the position array: the texture-coordinate array that
// every filter program keeps enabled is switched off for the draw and back
// on after it, so the next filter's quad still has its coordinates.
template <typename Draw>
void drawWithPositionsOnly(GLProgram* program, const GLfloat* positions, Draw draw) {
  const GLint coordinate = program->attributeIndex("inputTextureCoordinate");
  const GLint position = program->attributeIndex("position");
  if (coordinate >= 0) glDisableVertexAttribArray(static_cast<GLuint>(coordinate));
  glDisableVertexAttribArray(1);
  glEnableVertexAttribArray(static_cast<GLuint>(position));
  glVertexAttribPointer(static_cast<GLuint>(position), 2, GL_FLOAT, GL_FALSE, 0, positions);
  draw();
  glEnableVertexAttribArray(1);
}

void additiveBlending(bool on) {
  if (on) {
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
  } else {
    glDisable(GL_BLEND);
  }
}

}  // namespace

// --- solid colour

GPUSolidColorGenerator::GPUSolidColorGenerator() : GPUFilter(kSolidColorShader) {
  colorUniform_ = stockUniformIndex(*this, "color");
  setColor({0.0f, 0.0f, 0.5f, 1.0f});
}

void GPUSolidColorGenerator::renderIfSized() {
  if (inputTextureSize_ == gfx::Size{}) return;
  performOnProcessingQueueSync([this] { newFrameReadyAtTime(kCMTimeIndefinite, 0); });
}

void GPUSolidColorGenerator::setColorRed(float r, float g, float b, float a) {
  color_ = {r, g, b, a};
  setVec4(color_, colorUniform_, filterProgram());
  renderIfSized();
}

void GPUSolidColorGenerator::forceProcessingAtSize(gfx::Size size) {
  GPUFilter::forceProcessingAtSize(size);
  renderIfSized();
}

void GPUSolidColorGenerator::addTarget(const std::shared_ptr<GPUInput>& target, int textureLocation) {
  GPUFilter::addTarget(target, textureLocation);
  if (!target || inputTextureSize_ == gfx::Size{}) return;
  performOnProcessingQueueSync([&] {
    target->setInputSize(inputTextureSize_, textureLocation);
    target->newFrameReadyAtTime(kCMTimeIndefinite, textureLocation);
  });
}

// --- Perlin noise

GPUPerlinNoiseFilter::GPUPerlinNoiseFilter() : GPUFilter(kPerlinNoiseShader) {
  scaleUniform_ = stockUniformIndex(*this, "scale");
  colorStartUniform_ = stockUniformIndex(*this, "colorStart");
  colorFinishUniform_ = stockUniformIndex(*this, "colorFinish");
  setScale(8.0f);
  setColorStart({0, 0, 0, 1});
  setColorFinish({1, 1, 1, 1});
}
void GPUPerlinNoiseFilter::setScale(float v) {
  scale_ = v;
  setFloat(v, scaleUniform_, filterProgram());
}
void GPUPerlinNoiseFilter::setColorStart(GPUVector4 c) {
  colorStart_ = c;
  setVec4(c, colorStartUniform_, filterProgram());
}
void GPUPerlinNoiseFilter::setColorFinish(GPUVector4 c) {
  colorFinish_ = c;
  setVec4(c, colorFinishUniform_, filterProgram());
}

// --- crosshairs

GPUCrosshairGenerator::GPUCrosshairGenerator() : GPUFilter(kCrosshairVertexShader, kCrosshairShader) {
  crosshairWidthUniform_ = stockUniformIndex(*this, "crosshairWidth");
  crosshairColorUniform_ = stockUniformIndex(*this, "crosshairColor");
  setCrosshairWidth(5.0f);
  setCrosshairColorRed(0.0f, 1.0f, 0.0f);
}
void GPUCrosshairGenerator::setCrosshairWidth(float v) {
  crosshairWidth_ = v;
  setFloat(v, crosshairWidthUniform_, filterProgram());
}
void GPUCrosshairGenerator::setCrosshairColorRed(float r, float g, float b) {
  setVec3({r, g, b}, crosshairColorUniform_, filterProgram());
}

void GPUCrosshairGenerator::renderCrosshairsFromArray(const float* points, int count, CMTime frameTime) {
  if (preventRendering() || filterProgram_ == nullptr) return;
  performOnProcessingQueueSync([&] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
    setFilterFBO();
    applyStoredUniforms(filterProgram_);
    setClearColor(0, 0, 0, 0);
    if (points != nullptr && count > 0) {
      drawWithPositionsOnly(filterProgram_, points, [&] { glDrawArrays(GL_POINTS, 0, count); });
    }
    informTargetsAboutNewFrameAtTime(frameTime);
  });
}

// --- lines

GPULineGenerator::GPULineGenerator() : GPUFilter(kPositionVertexShader, kLineShader) {
  lineColorUniform_ = stockUniformIndex(*this, "lineColor");
  setLineWidth(1.0f);
  setLineColorRed(0.0f, 1.0f, 0.0f);
}
void GPULineGenerator::setLineWidth(float v) {
  lineWidth_ = v;
  performOnProcessingQueueSync([&] {
    if (filterProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
    glLineWidth(v);
  });
}
void GPULineGenerator::setLineColorRed(float r, float g, float b) {
  setVec3({r, g, b}, lineColorUniform_, filterProgram());
}

void GPULineGenerator::generateLineCoordinates(std::size_t lines) { lineCoordinates_.assign(lines * 4, 0.0f); }

void GPULineGenerator::renderLinesFromArray(const float* lines, int count, CMTime frameTime) {
  if (preventRendering() || filterProgram_ == nullptr) return;
  const std::size_t n = lines != nullptr && count > 0 ? static_cast<std::size_t>(count) : 0;
  performOnProcessingQueueSync([&] {
    if (lineCoordinates_.empty()) generateLineCoordinates(kInitialLineCapacity);
    // More lines than the buffer holds: it grows rather than being overrun.
    if (n > lineCapacity()) generateLineCoordinates(n);
    for (std::size_t k = 0; k < n; ++k) {
      const float m = lines[2 * k], b = lines[2 * k + 1];
      GLfloat* out = &lineCoordinates_[4 * k];
      if (m > 9000.0f) {
        out[0] = b;
        out[1] = -1.0f;
        out[2] = b;
        out[3] = 1.0f;
      } else {
        out[0] = -1.0f;
        out[1] = b - m;
        out[2] = 1.0f;
        out[3] = b + m;
      }
    }
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
    setFilterFBO();
    applyStoredUniforms(filterProgram_);
    setClearColor(0, 0, 0, 0);
    additiveBlending(true);
    drawWithPositionsOnly(filterProgram_, lineCoordinates_.data(),
                          [&] { glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(2 * n)); });
    additiveBlending(false);
    informTargetsAboutNewFrameAtTime(frameTime);
  });
}

// --- parallel coordinates

GPUParallelCoordinateLineTransformFilter::GPUParallelCoordinateLineTransformFilter()
    : GPUFilter(std::optional<std::string>(kPositionVertexShader), std::optional<std::string>(kVoteShader),
                {"position"}) {}

GPUParallelCoordinateLineTransformFilter::~GPUParallelCoordinateLineTransformFilter() {
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) readFramebuffer_.reset();
  });
}

void GPUParallelCoordinateLineTransformFilter::generateLineCoordinates() {
  bufferWidth_ = static_cast<int>(inputTextureSize_.width);
  bufferHeight_ = static_cast<int>(inputTextureSize_.height);
  const std::size_t pixels = static_cast<std::size_t>(std::max(bufferWidth_, 0)) * std::max(bufferHeight_, 0);
  rawImagePixels_.assign(pixels * 4, 0);
  maxLinePairsToRender_ = static_cast<unsigned>(pixels / 4);
  lineCoordinates_.assign(static_cast<std::size_t>(maxLinePairsToRender_) * 8, 0.0f);
}

void GPUParallelCoordinateLineTransformFilter::newFrameReadyAtTime(CMTime frameTime, int) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  // Sized from the first frame, and again whenever the input size changes,
  // so a larger later frame never runs past the buffers.
  if (static_cast<int>(inputTextureSize_.width) != bufferWidth_ ||
      static_cast<int>(inputTextureSize_.height) != bufferHeight_ || rawImagePixels_.empty()) {
    generateLineCoordinates();
  }
  renderLines();
  informTargetsAboutNewFrameAtTime(frameTime);
}

void GPUParallelCoordinateLineTransformFilter::renderLines() {
  if (preventRendering() || filterProgram_ == nullptr) return;
  if (!GPUOpenGLESContext::useImageProcessingContext()) return;
  const int w = bufferWidth_, h = bufferHeight_;
  linePairsToRender_ = 0;
  if (w > 0 && h > 0 && filterSourceTexture_ != 0) {
    glFinish();
    // The input read through a framebuffer of its own, not whatever happens
    // to be bound: a picture source binds none.
    if (!readFramebuffer_) readFramebuffer_ = glx::FramebufferHandle::make();
    glBindFramebuffer(GL_FRAMEBUFFER, readFramebuffer_.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, filterSourceTexture_, 0);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rawImagePixels_.data());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);

    const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
    const std::size_t end = rowBytes * static_cast<std::size_t>(h);
    const std::size_t lastPair = maxLinePairsToRender_ > 0 ? (maxLinePairsToRender_ - 1) * 8u : 0;
    std::size_t write = 0;
    for (std::size_t p = 0; p < end && maxLinePairsToRender_ > 0; p += 8) {
      if (rawImagePixels_[p] == 0) continue;
      const std::size_t row = p / rowBytes, column = (p % rowBytes) / 4;
      const float Y = 2.0f * static_cast<float>(row) / static_cast<float>(h) - 1.0f;
      const float X = 2.0f * static_cast<float>(column) / static_cast<float>(w) - 1.0f;
      const GLfloat pair[8] = {-1.0f, -Y, 0.0f, X, 0.0f, X, 1.0f, Y};
      std::copy(std::begin(pair), std::end(pair), lineCoordinates_.begin() + static_cast<std::ptrdiff_t>(write));
      write = std::min(write + 8, lastPair);
      linePairsToRender_ = std::min(linePairsToRender_ + 1, maxLinePairsToRender_);
    }
  }
  GPUOpenGLESContext::setActiveShaderProgram(filterProgram_);
  setFilterFBO();
  setClearColor(0, 0, 0, 1);
  if (linePairsToRender_ == 0) return;
  additiveBlending(true);
  drawWithPositionsOnly(filterProgram_, lineCoordinates_.data(),
                        [&] { glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(linePairsToRender_ * 4)); });
  additiveBlending(false);
}

void registerGenerators() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUSolidColorGenerator>("GPUSolidColorGenerator"));
  r.registerClass(C::of<GPUPerlinNoiseFilter>("GPUPerlinNoiseFilter").message("setScale:", &GPUPerlinNoiseFilter::setScale));
  r.registerClass(C::of<GPUCrosshairGenerator>("GPUCrosshairGenerator")
                      .message("setCrosshairWidth:", &GPUCrosshairGenerator::setCrosshairWidth));
  r.registerClass(C::of<GPULineGenerator>("GPULineGenerator").message("setLineWidth:", &GPULineGenerator::setLineWidth));
  r.registerClass(C::of<GPUParallelCoordinateLineTransformFilter>("GPUParallelCoordinateLineTransformFilter"));
}
