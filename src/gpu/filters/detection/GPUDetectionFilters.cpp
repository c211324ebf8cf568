#include "gpu/filters/detection/GPUDetectionFilters.h"

#include <algorithm>
#include <chrono>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/GPUStockFilterSupport.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Util.h"

const char* const kGPUDetectionLuminanceFragmentShaderString =
    "precision highp float;\n"
    "varying vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "const highp vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "void main() {\n"
    "  lowp vec4 textureColor = texture2D(inputImageTexture, textureCoordinate);\n"
    "  float luminance = dot(textureColor.rgb, W);\n"
    "  gl_FragColor = vec4(vec3(luminance), textureColor.a);\n"
    "}\n";

namespace {

// The second pass: the eight neighbours' reds (the first pass's luminance)
// with the uniforms given, then the body.
std::string gradientShader(const char* precision, const std::string& uniforms, const std::string& body) {
  return nearbyTexelFragmentShader(precision, uniforms + "void main() {\n" + kGPUNeighbourRedsString + body + "}\n");
}

const char* const kSobelMagnitude =
    "  float h = -topLeftIntensity - 2.0 * topIntensity - topRightIntensity + bottomLeftIntensity"
    " + 2.0 * bottomIntensity + bottomRightIntensity;\n"
    "  float v = -bottomLeftIntensity - 2.0 * leftIntensity - topLeftIntensity + bottomRightIntensity"
    " + 2.0 * rightIntensity + topRightIntensity;\n"
    "  float mag = length(vec2(h, v));\n";

const std::string kSobel = gradientShader("mediump", "", std::string(kSobelMagnitude) +
                                                             "  gl_FragColor = vec4(vec3(mag), 1.0);\n");
const std::string kPrewitt = gradientShader(
    "highp", "",
    "  float h = -topLeftIntensity - topIntensity - topRightIntensity + bottomLeftIntensity + bottomIntensity"
    " + bottomRightIntensity;\n"
    "  float v = -bottomLeftIntensity - leftIntensity - topLeftIntensity + bottomRightIntensity + rightIntensity"
    " + topRightIntensity;\n"
    "  float mag = length(vec2(h, v));\n"
    "  gl_FragColor = vec4(vec3(mag), 1.0);\n");
const std::string kSketch = gradientShader("mediump", "", std::string(kSobelMagnitude) +
                                                              "  gl_FragColor = vec4(vec3(1.0 - mag), 1.0);\n");
const std::string kThresholdEdge =
    gradientShader("mediump", "uniform lowp float threshold;\n",
                   std::string(kSobelMagnitude) + "  gl_FragColor = vec4(vec3(step(threshold, mag)), 1.0);\n");
const std::string kThresholdSketch =
    gradientShader("mediump", "uniform lowp float threshold;\n",
                   std::string(kSobelMagnitude) + "  gl_FragColor = vec4(vec3(step(threshold, 1.0 - mag)), 1.0);\n");
const std::string kXYDerivative = gradientShader(
    "highp", "",
    "  float verticalDerivative = -topLeftIntensity - topIntensity - topRightIntensity + bottomLeftIntensity"
    " + bottomIntensity + bottomRightIntensity;\n"
    "  float horizontalDerivative = -bottomLeftIntensity - leftIntensity - topLeftIntensity + bottomRightIntensity"
    " + rightIntensity + topRightIntensity;\n"
    "  gl_FragColor = vec4(horizontalDerivative * horizontalDerivative, verticalDerivative * verticalDerivative,"
    " ((verticalDerivative * horizontalDerivative) + 1.0) / 2.0, 1.0);\n");

// Cornerness from the blurred derivatives (x = Dx^2, y = Dy^2, c = Dx Dy),
// times the sensitivity, as grey.
std::string cornerShader(const std::string& cornerness) {
  return "precision highp float;\n"
         "varying highp vec2 textureCoordinate;\n"
         "uniform sampler2D inputImageTexture;\n"
         "uniform lowp float sensitivity;\n"
         "const mediump float harrisConstant = 0.04;\n"
         "void main() {\n"
         "  vec3 derivativeElements = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
         "  float derivativeSum = derivativeElements.x + derivativeElements.y;\n"
         "  float zElement = (derivativeElements.z * 2.0) - 1.0;\n"
         "  float cornerness = " +
         cornerness +
         ";\n"
         "  cornerness = cornerness * sensitivity;\n"
         "  gl_FragColor = vec4(vec3(cornerness), 1.0);\n"
         "}\n";
}
const std::string kHarrisCorner = cornerShader(
    "derivativeElements.x * derivativeElements.y - (zElement * zElement)"
    " - harrisConstant * derivativeSum * derivativeSum");
// A flat neighbourhood (no derivative at all) has no corner rather than 0/0.
const std::string kNobleCorner = cornerShader(
    "derivativeSum > 0.0 ? (derivativeElements.x * derivativeElements.y - (zElement * zElement)) / derivativeSum"
    " : 0.0");
const std::string kShiTomasiCorner = cornerShader(
    "derivativeSum - sqrt((derivativeElements.x - derivativeElements.y) * (derivativeElements.x"
    " - derivativeElements.y) + 4.0 * zElement * zElement)");

// Reads the filter's current output into the buffer, sized for that output
// at every read, so a frame larger than the last never overruns it.
// Answers the size read (zero when there is nothing to read).
gfx::Size readOutput(const GPUFilter& filter, std::vector<std::uint8_t>& pixels) {
  const gfx::Size size = filter.sizeOfFBO();
  const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
  if (w <= 0 || h <= 0 || filter.filterFramebuffer() == 0) return {};
  pixels.resize(static_cast<std::size_t>(w) * h * 4);
  glBindFramebuffer(GL_FRAMEBUFFER, filter.filterFramebuffer());
  glx::readPixels(0, 0, w, h, pixels.data());
  return size;
}

// Calls `lit` with (x, y) of every pixel whose red byte is not zero, in
// memory order.
template <typename F>
void forEachLitPixel(const std::vector<std::uint8_t>& pixels, gfx::Size size, F lit) {
  const std::size_t rowBytes = static_cast<std::size_t>(size.width) * 4;
  const std::size_t bytes = rowBytes * static_cast<std::size_t>(size.height);
  for (std::size_t offset = 0; offset < bytes; offset += 4) {
    if (pixels[offset] != 0) lit(static_cast<float>((offset % rowBytes) / 4), static_cast<float>(offset / rowBytes));
  }
}

}  // namespace

GPUDetectionLuminanceFilter::GPUDetectionLuminanceFilter() : GPUFilter(kGPUDetectionLuminanceFragmentShaderString) {}

// --- Sobel family

GPUSobelEdgeDetectionFilter::GPUSobelEdgeDetectionFilter() : GPUSobelEdgeDetectionFilter(kSobel) {}

GPUSobelEdgeDetectionFilter::GPUSobelEdgeDetectionFilter(const std::string& secondStageFragmentShader)
    : GPUTwoPassFilter(kGPUVertexShaderString, kGPUDetectionLuminanceFragmentShaderString,
                       kGPUNearbyTexelSamplingVertexShaderString, secondStageFragmentShader) {
  performOnProcessingQueueSync([this] {
    if (secondFilterProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    texelWidthUniform_ = secondFilterProgram_->uniformIndex("texelWidth");
    texelHeightUniform_ = secondFilterProgram_->uniformIndex("texelHeight");
  });
}

void GPUSobelEdgeDetectionFilter::setupFilterForSize(gfx::Size size) {
  if (hasOverriddenImageSizeFactor_) return;
  // A zero size leaves the neighbours on the pixel itself.
  texelWidth_ = size.width > 0 ? 1.0f / size.width : 0.0f;
  texelHeight_ = size.height > 0 ? 1.0f / size.height : 0.0f;
}

// The steps are set while the second program is the active one: the size
// is set up in the middle of the first pass, whose program must stay active.
void GPUSobelEdgeDetectionFilter::setUniformsForProgramAtIndex(int programIndex) {
  if (programIndex != 1) return;
  glUniform1f(texelWidthUniform_, texelWidth_);
  glUniform1f(texelHeightUniform_, texelHeight_);
}

void GPUSobelEdgeDetectionFilter::setTexelWidth(float v) {
  hasOverriddenImageSizeFactor_ = true;
  texelWidth_ = v;
}

void GPUSobelEdgeDetectionFilter::setTexelHeight(float v) {
  hasOverriddenImageSizeFactor_ = true;
  texelHeight_ = v;
}

GPUPrewittEdgeDetectionFilter::GPUPrewittEdgeDetectionFilter() : GPUSobelEdgeDetectionFilter(kPrewitt) {}
GPUSketchFilter::GPUSketchFilter() : GPUSobelEdgeDetectionFilter(kSketch) {}
GPUXYDerivativeFilter::GPUXYDerivativeFilter() : GPUSobelEdgeDetectionFilter(kXYDerivative) {}

GPUThresholdEdgeDetectionFilter::GPUThresholdEdgeDetectionFilter()
    : GPUThresholdEdgeDetectionFilter(kThresholdEdge) {}

GPUThresholdEdgeDetectionFilter::GPUThresholdEdgeDetectionFilter(const std::string& secondStageFragmentShader)
    : GPUSobelEdgeDetectionFilter(secondStageFragmentShader) {
  performOnProcessingQueueSync([this] {
    if (secondFilterProgram_ == nullptr || !GPUOpenGLESContext::useImageProcessingContext()) return;
    thresholdUniform_ = secondFilterProgram_->uniformIndex("threshold");
  });
  setThreshold(0.9f);
}

void GPUThresholdEdgeDetectionFilter::setThreshold(float v) {
  threshold_ = v;
  setFloat(v, thresholdUniform_, secondFilterProgram_);
}

GPUThresholdSketchFilter::GPUThresholdSketchFilter() : GPUThresholdEdgeDetectionFilter(kThresholdSketch) {}

// --- Canny

GPUCannyEdgeDetectionFilter::GPUCannyEdgeDetectionFilter()
    : luminanceFilter_(std::make_shared<GPUDetectionLuminanceFilter>()),
      blurFilter_(std::make_shared<GPUSingleComponentFastBlurFilter>()),
      edgeDetectionFilter_(std::make_shared<GPUimageDirectionalSobelEdgeDetectionFilter>()),
      nonMaximumSuppressionFilter_(std::make_shared<GPUDirectionalNonMaximumSuppressionFilter>()),
      weakPixelInclusionFilter_(std::make_shared<GPUWeakPixelInclusionFilter>()) {
  addFilter(luminanceFilter_);
  addFilter(blurFilter_);
  addFilter(edgeDetectionFilter_);
  addFilter(nonMaximumSuppressionFilter_);
  addFilter(weakPixelInclusionFilter_);
  luminanceFilter_->addTarget(blurFilter_);
  blurFilter_->addTarget(edgeDetectionFilter_);
  edgeDetectionFilter_->addTarget(nonMaximumSuppressionFilter_);
  nonMaximumSuppressionFilter_->addTarget(weakPixelInclusionFilter_);
  setInitialFilters({luminanceFilter_});
  setTerminalFilter(weakPixelInclusionFilter_);
  setBlurSize(1.0f);
  setUpperThreshold(0.4f);
  setLowerThreshold(0.1f);
}

// --- corners

GPUHarrisCornerDetectionFilter::GPUHarrisCornerDetectionFilter() : GPUHarrisCornerDetectionFilter(kHarrisCorner) {}

GPUHarrisCornerDetectionFilter::GPUHarrisCornerDetectionFilter(const std::string& cornerDetectionFragmentShader)
    : derivativeFilter_(std::make_shared<GPUXYDerivativeFilter>()),
      blurFilter_(std::make_shared<GPUFastBlurFilter>()),
      harrisCornerDetectionFilter_(std::make_shared<GPUFilter>(cornerDetectionFragmentShader)),
      nonMaximumSuppressionFilter_(std::make_shared<GPUThresholdedNonMaximumSuppressionFilter>()),
      cornersArray_(kCornerCapacity, 0.0f) {
  addFilter(derivativeFilter_);
  addFilter(blurFilter_);
  addFilter(harrisCornerDetectionFilter_);
  addFilter(nonMaximumSuppressionFilter_);
  // The group owns the suppression filter, so it outlives this block.
  nonMaximumSuppressionFilter_->setFrameProcessingCompletionBlock(
      [this](GPUOutput*, CMTime frameTime) { extractCornerLocationsFromImageAtFrameTime(frameTime); });
  derivativeFilter_->addTarget(blurFilter_);
  blurFilter_->addTarget(harrisCornerDetectionFilter_);
  harrisCornerDetectionFilter_->addTarget(nonMaximumSuppressionFilter_);
  setInitialFilters({derivativeFilter_});
  setTerminalFilter(nonMaximumSuppressionFilter_);
  setBlurSize(1.0f);
  setSensitivity(5.0f);
  setThreshold(0.2f);
}

void GPUHarrisCornerDetectionFilter::setSensitivity(float v) {
  sensitivity_ = v;
  harrisCornerDetectionFilter_->setFloat(v, "sensitivity");
}

void GPUHarrisCornerDetectionFilter::extractCornerLocationsFromImageAtFrameTime(CMTime frameTime) {
  const auto start = std::chrono::steady_clock::now();
  const gfx::Size size = readOutput(*nonMaximumSuppressionFilter_, rawImagePixels_);
  unsigned numberOfCorners = 0;
  std::size_t index = 0;
  forEachLitPixel(rawImagePixels_, size, [&](float x, float y) {
    cornersArray_[index] = x / size.width;
    cornersArray_[index + 1] = y / size.height;
    // Once 511 are stored, later corners overwrite the last pair. (Capping
    // the index at an odd slot would store them across two pairs, x in the
    // last pair's y.)
    numberOfCorners = std::min(numberOfCorners + 1, kMaximumCorners);
    index = std::min<std::size_t>(index + 2, 2 * (kMaximumCorners - 1));
  });
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  fd::Log("Processing time : %f ms", elapsed.count() * 1000.0);
  if (cornersDetectedBlock_) cornersDetectedBlock_(cornersArray_.data(), numberOfCorners, frameTime);
}

GPUNobleCornerDetectionFilter::GPUNobleCornerDetectionFilter() : GPUHarrisCornerDetectionFilter(kNobleCorner) {}

GPUShiTomasiFeatureDetectionFilter::GPUShiTomasiFeatureDetectionFilter()
    : GPUHarrisCornerDetectionFilter(kShiTomasiCorner) {
  setSensitivity(1.5f);
}

// --- lines

GPUHoughTransformLineDetector::GPUHoughTransformLineDetector()
    : thresholdEdgeDetectionFilter_(std::make_shared<GPUCannyEdgeDetectionFilter>()),
      parallelCoordinateLineTransformFilter_(std::make_shared<GPUParallelCoordinateLineTransformFilter>()),
      nonMaximumSuppressionFilter_(std::make_shared<GPUThresholdedNonMaximumSuppressionFilter>()),
      linesArray_(kLineCapacity, 0.0f) {
  addFilter(thresholdEdgeDetectionFilter_);
  addFilter(parallelCoordinateLineTransformFilter_);
  addFilter(nonMaximumSuppressionFilter_);
  nonMaximumSuppressionFilter_->setFrameProcessingCompletionBlock(
      [this](GPUOutput*, CMTime frameTime) { extractLineParametersFromImageAtFrameTime(frameTime); });
  thresholdEdgeDetectionFilter_->addTarget(parallelCoordinateLineTransformFilter_);
  parallelCoordinateLineTransformFilter_->addTarget(nonMaximumSuppressionFilter_);
  setInitialFilters({thresholdEdgeDetectionFilter_});
  setTerminalFilter(nonMaximumSuppressionFilter_);
  setEdgeThreshold(0.95f);
  setLineDetectionThreshold(0.2f);
}

void GPUHoughTransformLineDetector::extractLineParametersFromImageAtFrameTime(CMTime frameTime) {
  const gfx::Size size = readOutput(*nonMaximumSuppressionFilter_, rawImagePixels_);
  unsigned numberOfLines = 0;
  std::size_t index = 0;
  forEachLitPixel(rawImagePixels_, size, [&](float x, float y) {
    const float nx = -1.0f + 2.0f * x / size.width, ny = -1.0f + 2.0f * y / size.height;
    float first, second;
    if (nx > -0.05f && nx < 0.05f) {
      // The middle column: a line without a finite slope here.
      first = 100000.0f;
      second = ny;
    } else if (nx <= -0.05f) {
      first = -1.0f / nx - 1.0f;
      second = ny / nx;
    } else {
      first = 1.0f - 1.0f / nx;
      second = ny / nx;
    }
    linesArray_[index] = first;
    linesArray_[index + 1] = second;
    // Once 1023 are stored, later lines overwrite the last pair, so every
    // pair the count covers holds a line.
    numberOfLines = std::min(numberOfLines + 1, kMaximumLines);
    index = std::min<std::size_t>(index + 2, 2 * (kMaximumLines - 1));
  });
  if (linesDetectedBlock_) linesDetectedBlock_(linesArray_.data(), numberOfLines, frameTime);
}

void registerDetectionFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  using S = GPUSobelEdgeDetectionFilter;
  auto texels = [](C c) {
    return c.message("setTexelWidth:", &S::setTexelWidth).message("setTexelHeight:", &S::setTexelHeight);
  };
  r.registerClass(texels(C::of<GPUSobelEdgeDetectionFilter>("GPUSobelEdgeDetectionFilter")));
  r.registerClass(texels(C::of<GPUPrewittEdgeDetectionFilter>("GPUPrewittEdgeDetectionFilter")));
  r.registerClass(texels(C::of<GPUSketchFilter>("GPUSketchFilter")));
  r.registerClass(texels(C::of<GPUXYDerivativeFilter>("GPUXYDerivativeFilter")));
  using T = GPUThresholdEdgeDetectionFilter;
  r.registerClass(texels(C::of<T>("GPUThresholdEdgeDetectionFilter")).message("setThreshold:", &T::setThreshold));
  r.registerClass(texels(C::of<GPUThresholdSketchFilter>("GPUThresholdSketchFilter")).message("setThreshold:", &T::setThreshold));
  using K = GPUCannyEdgeDetectionFilter;
  r.registerClass(C::of<K>("GPUCannyEdgeDetectionFilter")
                      .message("setUpperThreshold:", &K::setUpperThreshold)
                      .message("setLowerThreshold:", &K::setLowerThreshold)
                      .message("setBlurSize:", &K::setBlurSize)
                      .message("setTexelWidth:", &K::setTexelWidth)
                      .message("setTexelHeight:", &K::setTexelHeight));
  using H = GPUHarrisCornerDetectionFilter;
  auto corners = [](C c) {
    return c.message("setSensitivity:", &H::setSensitivity)
        .message("setThreshold:", &H::setThreshold)
        .message("setBlurSize:", &H::setBlurSize);
  };
  r.registerClass(corners(C::of<GPUHarrisCornerDetectionFilter>("GPUHarrisCornerDetectionFilter")));
  r.registerClass(corners(C::of<GPUNobleCornerDetectionFilter>("GPUNobleCornerDetectionFilter")));
  r.registerClass(corners(C::of<GPUShiTomasiFeatureDetectionFilter>("GPUShiTomasiFeatureDetectionFilter")));
  using L = GPUHoughTransformLineDetector;
  r.registerClass(C::of<L>("GPUHoughTransformLineDetector")
                      .message("setEdgeThreshold:", &L::setEdgeThreshold)
                      .message("setLineDetectionThreshold:", &L::setLineDetectionThreshold));
}
