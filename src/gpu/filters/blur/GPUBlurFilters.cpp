#include "gpu/filters/blur/GPUBlurFilters.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"

namespace {

// Tap positions in multiples of the pass's step, and their weights.
struct Kernel {
  std::vector<float> multiples;
  std::vector<float> weights;
};

const Kernel kGaussian{{-4, -3, -2, -1, 0, 1, 2, 3, 4}, {0.05f, 0.09f, 0.12f, 0.15f, 0.18f, 0.15f, 0.12f, 0.09f, 0.05f}};
const Kernel kBox{{0, 1.5f, -1.5f, 3.5f, -3.5f}, {0.2f, 0.2f, 0.2f, 0.2f, 0.2f}};
const Kernel kFast{{0, 1.3846153846f, -1.3846153846f, 3.2307692308f, -3.2307692308f},
                   {0.2270270270f, 0.3162162162f, 0.3162162162f, 0.0702702703f, 0.0702702703f}};
const Kernel kLanczos{{0, -1, 1, -2, 2, -3, 3, -4, 4},
                      {0.38026f, 0.27667f, 0.27667f, 0.08074f, 0.08074f, -0.02612f, -0.02612f, -0.02143f, -0.02143f}};
constexpr int kGaussianCentre = 4;

// A float literal with all the digits the weights carry.
std::string number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10f", static_cast<double>(v));
  return text;
}

// The tap coordinates as varyings; `step` is the expression of one step.
std::string samplingVertexShader(const std::vector<float>& multiples, const std::string& step, bool blurSize) {
  std::string s =
      "attribute vec4 position;\n"
      "attribute vec4 inputTextureCoordinate;\n"
      "uniform float texelWidthOffset;\n"
      "uniform float texelHeightOffset;\n";
  if (blurSize) s += "uniform float blurSize;\n";
  s += "varying vec2 blurCoordinates[" + std::to_string(multiples.size()) + "];\n";
  s += "void main() {\n  gl_Position = position;\n  vec2 singleStepOffset = " + step + (blurSize ? " * blurSize" : "") +
       ";\n";
  for (std::size_t i = 0; i < multiples.size(); ++i) {
    s += "  blurCoordinates[" + std::to_string(i) + "] = inputTextureCoordinate.xy + singleStepOffset * " +
         number(multiples[i]) + ";\n";
  }
  return s + "}\n";
}

const char* const kStep = "vec2(texelWidthOffset, texelHeightOffset)";
// The Gaussian family's step takes the height offset first.
const char* const kGaussianStep = "vec2(texelHeightOffset, texelWidthOffset)";

std::string fragmentHead(const char* precision, std::size_t taps) {
  return std::string("precision ") + precision +
         " float;\n"
         "uniform sampler2D inputImageTexture;\n"
         "varying highp vec2 blurCoordinates[" +
         std::to_string(taps) + "];\n";
}

// The weighted sum of the taps, of all four channels or of red as grey.
std::string weightedSumShader(const Kernel& k, bool redOnly) {
  std::string s = fragmentHead("highp", k.multiples.size()) + "void main() {\n";
  s += redOnly ? "  float sum = 0.0;\n" : "  vec4 sum = vec4(0.0);\n";
  for (std::size_t i = 0; i < k.multiples.size(); ++i) {
    s += "  sum += texture2D(inputImageTexture, blurCoordinates[" + std::to_string(i) + "])" + (redOnly ? ".r" : "") +
         " * " + number(k.weights[i]) + ";\n";
  }
  s += redOnly ? "  gl_FragColor = vec4(sum, sum, sum, 1.0);\n" : "  gl_FragColor = sum;\n";
  return s + "}\n";
}

std::string bilateralShader() {
  std::string s = fragmentHead("highp", kGaussian.multiples.size()) +
                  "const float distanceNormalizationFactor = 1.5;\n"
                  "void main() {\n"
                  "  vec4 centralColor = texture2D(inputImageTexture, blurCoordinates[4]);\n"
                  "  float gaussianWeightTotal = 0.18;\n"
                  "  vec4 sum = centralColor * 0.18;\n"
                  "  vec4 sampleColor;\n"
                  "  float distanceFromCentralColor;\n"
                  "  float gaussianWeight;\n";
  for (std::size_t i = 0; i < kGaussian.multiples.size(); ++i) {
    if (static_cast<int>(i) == kGaussianCentre) continue;
    s += "  sampleColor = texture2D(inputImageTexture, blurCoordinates[" + std::to_string(i) + "]);\n"
         "  distanceFromCentralColor = min(distance(centralColor, sampleColor) * distanceNormalizationFactor, 1.0);\n"
         "  gaussianWeight = " + number(kGaussian.weights[i]) + " * (1.0 - distanceFromCentralColor);\n"
         "  gaussianWeightTotal += gaussianWeight;\n"
         "  sum += sampleColor * gaussianWeight;\n";
  }
  return s + "  gl_FragColor = sum / gaussianWeightTotal;\n}\n";
}

// The taps 0, +-1 ... +-r, reduced by max or min, of red as grey or per component.
std::vector<float> morphologyMultiples(unsigned r) {
  std::vector<float> m{0};
  for (unsigned i = 1; i <= r; ++i) {
    m.push_back(static_cast<float>(i));
    m.push_back(-static_cast<float>(i));
  }
  return m;
}
std::string morphologyShader(unsigned r, const char* reduce, bool rgb) {
  const std::size_t taps = 2 * r + 1;
  std::string s = fragmentHead(rgb ? "highp" : "lowp", taps) + "void main() {\n";
  s += std::string("  ") + (rgb ? "vec4 m = texture2D(inputImageTexture, blurCoordinates[0]);\n"
                                : "float m = texture2D(inputImageTexture, blurCoordinates[0]).r;\n");
  for (std::size_t i = 1; i < taps; ++i) {
    s += std::string("  m = ") + reduce + "(m, texture2D(inputImageTexture, blurCoordinates[" + std::to_string(i) +
         "])" + (rgb ? "" : ".r") + ");\n";
  }
  s += rgb ? "  gl_FragColor = m;\n" : "  gl_FragColor = vec4(m, m, m, 1.0);\n";
  return s + "}\n";
}

struct Morphology {
  std::string vertex, fragment;
};
Morphology morphology(unsigned radius, const char* reduce, bool rgb) {
  const unsigned r = morphologyShaderRadius(radius);
  return {samplingVertexShader(morphologyMultiples(r), kStep, false), morphologyShader(r, reduce, rgb)};
}

const std::string& gaussianVertex() {
  static const std::string s = samplingVertexShader(kGaussian.multiples, kGaussianStep, true);
  return s;
}
const std::string& fastVertex() {
  static const std::string s = samplingVertexShader(kFast.multiples, kStep, true);
  return s;
}

GLint uniformIn(GLProgram* program, const char* name) {
  GLint location = -1;
  performOnProcessingQueueSync([&] {
    if (program != nullptr && GPUOpenGLESContext::useImageProcessingContext()) location = program->uniformIndex(name);
  });
  return location;
}

}  // namespace

unsigned morphologyShaderRadius(unsigned radius) { return std::clamp(radius, 1u, 4u); }

// --- Gaussian

GPUGaussianBlurFilter::GPUGaussianBlurFilter() : GPUGaussianBlurFilter(std::nullopt, std::nullopt, std::nullopt, std::nullopt) {}

GPUGaussianBlurFilter::GPUGaussianBlurFilter(const std::optional<std::string>& firstStageVertexShader,
                                             const std::optional<std::string>& firstStageFragmentShader,
                                             const std::optional<std::string>& secondStageVertexShader,
                                             const std::optional<std::string>& secondStageFragmentShader)
    : GPUTwoPassTextureSamplingFilter(firstStageVertexShader.value_or(gaussianVertex()),
                                      firstStageFragmentShader.value_or(weightedSumShader(kGaussian, false)),
                                      secondStageVertexShader.value_or(gaussianVertex()),
                                      secondStageFragmentShader.value_or(weightedSumShader(kGaussian, false))) {
  horizontalBlurSizeUniform_ = uniformIn(filterProgram_, "blurSize");
  verticalBlurSizeUniform_ = uniformIn(secondFilterProgram_, "blurSize");
  setBlurSize(1.0f);
}

void GPUGaussianBlurFilter::setBlurSize(float blurSize) {
  blurSize_ = blurSize;
  setFloat(blurSize, horizontalBlurSizeUniform_, filterProgram_);
  setFloat(blurSize, verticalBlurSizeUniform_, secondFilterProgram_);
}

GPUBilateralFilter::GPUBilateralFilter()
    : GPUGaussianBlurFilter(std::nullopt, bilateralShader(), std::nullopt, bilateralShader()) {}

GPUSingleComponentGaussianBlurFilter::GPUSingleComponentGaussianBlurFilter()
    : GPUGaussianBlurFilter(std::nullopt, weightedSumShader(kGaussian, true), std::nullopt,
                            weightedSumShader(kGaussian, true)) {}

// --- box

GPUBoxBlurFilter::GPUBoxBlurFilter()
    : GPUTwoPassTextureSamplingFilter(samplingVertexShader(kBox.multiples, kStep, true), weightedSumShader(kBox, false),
                                      samplingVertexShader(kBox.multiples, kStep, true), weightedSumShader(kBox, false)) {
  firstBlurSizeUniform_ = uniformIn(filterProgram_, "blurSize");
  secondBlurSizeUniform_ = uniformIn(secondFilterProgram_, "blurSize");
  setBlurSize(1.0f);
}

void GPUBoxBlurFilter::setBlurSize(float blurSize) {
  blurSize_ = blurSize;
  setFloat(blurSize, firstBlurSizeUniform_, filterProgram_);
  setFloat(blurSize, secondBlurSizeUniform_, secondFilterProgram_);
}

// --- fast

GPUFastBlurFilter::GPUFastBlurFilter() : GPUFastBlurFilter(weightedSumShader(kFast, false)) {}

GPUFastBlurFilter::GPUFastBlurFilter(const std::string& fragmentShader)
    : GPUTwoPassTextureSamplingFilter(fastVertex(), fragmentShader, fastVertex(), fragmentShader) {
  firstBlurSizeUniform_ = uniformIn(filterProgram_, "blurSize");
  secondBlurSizeUniform_ = uniformIn(secondFilterProgram_, "blurSize");
  setBlurSize(1.0f);
}

void GPUFastBlurFilter::setBlurSize(float blurSize) {
  blurSize_ = blurSize;
  setFloat(blurSize, firstBlurSizeUniform_, filterProgram_);
  setFloat(blurSize, secondBlurSizeUniform_, secondFilterProgram_);
}

void GPUFastBlurFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                    GLuint sourceTexture) {
  GPUTwoPassTextureSamplingFilter::renderToTextureWithVertices(vertices, textureCoordinates, sourceTexture);
  // Each further round reads the last round's upright output.
  for (unsigned pass = 1; pass < blurPasses_; ++pass) {
    GPUTwoPassTextureSamplingFilter::renderToTextureWithVertices(vertices, textureCoordinatesForRotation(RotationNone),
                                                                 secondFilterOutputTexture_.get());
  }
}

GPUSingleComponentFastBlurFilter::GPUSingleComponentFastBlurFilter()
    : GPUFastBlurFilter(weightedSumShader(kFast, true)) {}

// --- Lanczos

GPULanczosResamplingFilter::GPULanczosResamplingFilter()
    : GPUTwoPassTextureSamplingFilter(samplingVertexShader(kLanczos.multiples, kStep, false),
                                      weightedSumShader(kLanczos, false),
                                      samplingVertexShader(kLanczos.multiples, kStep, false),
                                      weightedSumShader(kLanczos, false)) {}

void GPULanczosResamplingFilter::setInputSize(gfx::Size size, int textureIndex) {
  // A zero size comes with a detached source: the last image's size stays.
  if (size.width > 0 && size.height > 0) originalImageSize_ = size;
  GPUTwoPassTextureSamplingFilter::setInputSize(size, textureIndex);
}

void GPULanczosResamplingFilter::setupFilterForSize(gfx::Size) {
  const float w = originalImageSize_.width, h = originalImageSize_.height;
  // No recorded size yet leaves the taps on the pixel itself.
  const float stepW = w > 0 ? 1.0f / w : 0.0f, stepH = h > 0 ? 1.0f / h : 0.0f;
  performOnProcessingQueueSync([&] {
    if (rotationSwapsWidthAndHeight(inputRotation_)) {
      verticalPassTexelWidthOffset_ = stepH;
      verticalPassTexelHeightOffset_ = 0;
    } else {
      verticalPassTexelWidthOffset_ = 0;
      verticalPassTexelHeightOffset_ = stepH;
    }
    horizontalPassTexelWidthOffset_ = stepW;
    horizontalPassTexelHeightOffset_ = 0;
  });
}

// --- morphology

#define FD_MORPHOLOGY(Name, reduce, rgb)                                                         \
  Name::Name(unsigned radius)                                                                    \
      : GPUTwoPassTextureSamplingFilter(morphology(radius, reduce, rgb).vertex,                 \
                                        morphology(radius, reduce, rgb).fragment,               \
                                        morphology(radius, reduce, rgb).vertex,                 \
                                        morphology(radius, reduce, rgb).fragment) {}
FD_MORPHOLOGY(GPUDilationFilter, "max", false)
FD_MORPHOLOGY(GPUErosionFilter, "min", false)
FD_MORPHOLOGY(GPURGBDilationFilter, "max", true)
FD_MORPHOLOGY(GPURGBErosionFilter, "min", true)
#undef FD_MORPHOLOGY

void registerBlurFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUGaussianBlurFilter>("GPUGaussianBlurFilter")
                      .message("setBlurSize:", &GPUGaussianBlurFilter::setBlurSize));
  r.registerClass(C::of<GPUBilateralFilter>("GPUBilateralFilter")
                      .message("setBlurSize:", &GPUGaussianBlurFilter::setBlurSize));
  r.registerClass(C::of<GPUSingleComponentGaussianBlurFilter>("GPUSingleComponentGaussianBlurFilter")
                      .message("setBlurSize:", &GPUGaussianBlurFilter::setBlurSize));
  r.registerClass(C::of<GPUBoxBlurFilter>("GPUBoxBlurFilter").message("setBlurSize:", &GPUBoxBlurFilter::setBlurSize));
  r.registerClass(C::of<GPUFastBlurFilter>("GPUFastBlurFilter")
                      .message("setBlurSize:", &GPUFastBlurFilter::setBlurSize)
                      .message("setBlurPasses:", &GPUFastBlurFilter::setBlurPassesNumber));
  r.registerClass(C::of<GPUSingleComponentFastBlurFilter>("GPUSingleComponentFastBlurFilter")
                      .message("setBlurSize:", &GPUFastBlurFilter::setBlurSize)
                      .message("setBlurPasses:", &GPUFastBlurFilter::setBlurPassesNumber));
  r.registerClass(C::of<GPULanczosResamplingFilter>("GPULanczosResamplingFilter"));
  r.registerClass(C::of<GPUDilationFilter>("GPUDilationFilter"));
  r.registerClass(C::of<GPUErosionFilter>("GPUErosionFilter"));
  r.registerClass(C::of<GPURGBDilationFilter>("GPURGBDilationFilter"));
  r.registerClass(C::of<GPURGBErosionFilter>("GPURGBErosionFilter"));
}
