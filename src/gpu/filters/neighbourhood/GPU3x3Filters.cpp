#include "gpu/filters/neighbourhood/GPU3x3Filters.h"

#include <string>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/GPUStockFilterSupport.h"

const char* const kGPUNearbyTexelSamplingVertexShaderString =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "uniform float texelWidth;\n"
    "uniform float texelHeight;\n"
    "varying vec2 textureCoordinate;\n"
    "varying vec2 leftTextureCoordinate;\n"
    "varying vec2 rightTextureCoordinate;\n"
    "varying vec2 topTextureCoordinate;\n"
    "varying vec2 topLeftTextureCoordinate;\n"
    "varying vec2 topRightTextureCoordinate;\n"
    "varying vec2 bottomTextureCoordinate;\n"
    "varying vec2 bottomLeftTextureCoordinate;\n"
    "varying vec2 bottomRightTextureCoordinate;\n"
    "void main() {\n"
    "  gl_Position = position;\n"
    "  vec2 widthStep = vec2(texelWidth, 0.0);\n"
    "  vec2 heightStep = vec2(0.0, texelHeight);\n"
    "  vec2 widthHeightStep = vec2(texelWidth, texelHeight);\n"
    "  vec2 widthNegativeHeightStep = vec2(texelWidth, -texelHeight);\n"
    "  textureCoordinate = inputTextureCoordinate.xy;\n"
    "  leftTextureCoordinate = inputTextureCoordinate.xy - widthStep;\n"
    "  rightTextureCoordinate = inputTextureCoordinate.xy + widthStep;\n"
    "  topTextureCoordinate = inputTextureCoordinate.xy - heightStep;\n"
    "  topLeftTextureCoordinate = inputTextureCoordinate.xy - widthHeightStep;\n"
    "  topRightTextureCoordinate = inputTextureCoordinate.xy + widthNegativeHeightStep;\n"
    "  bottomTextureCoordinate = inputTextureCoordinate.xy + heightStep;\n"
    "  bottomLeftTextureCoordinate = inputTextureCoordinate.xy - widthNegativeHeightStep;\n"
    "  bottomRightTextureCoordinate = inputTextureCoordinate.xy + widthHeightStep;\n"
    "}\n";

std::string nearbyTexelFragmentShader(const char* precision, const std::string& body) {
  return std::string("precision ") + precision +
         " float;\n"
         "uniform sampler2D inputImageTexture;\n"
         "varying highp vec2 textureCoordinate;\n"
         "varying highp vec2 leftTextureCoordinate;\n"
         "varying highp vec2 rightTextureCoordinate;\n"
         "varying highp vec2 topTextureCoordinate;\n"
         "varying highp vec2 topLeftTextureCoordinate;\n"
         "varying highp vec2 topRightTextureCoordinate;\n"
         "varying highp vec2 bottomTextureCoordinate;\n"
         "varying highp vec2 bottomLeftTextureCoordinate;\n"
         "varying highp vec2 bottomRightTextureCoordinate;\n" +
         body;
}

const char* const kGPUNeighbourRedsString =
    "  float bottomLeftIntensity = texture2D(inputImageTexture, bottomLeftTextureCoordinate).r;\n"
    "  float topRightIntensity = texture2D(inputImageTexture, topRightTextureCoordinate).r;\n"
    "  float topLeftIntensity = texture2D(inputImageTexture, topLeftTextureCoordinate).r;\n"
    "  float bottomRightIntensity = texture2D(inputImageTexture, bottomRightTextureCoordinate).r;\n"
    "  float leftIntensity = texture2D(inputImageTexture, leftTextureCoordinate).r;\n"
    "  float rightIntensity = texture2D(inputImageTexture, rightTextureCoordinate).r;\n"
    "  float bottomIntensity = texture2D(inputImageTexture, bottomTextureCoordinate).r;\n"
    "  float topIntensity = texture2D(inputImageTexture, topTextureCoordinate).r;\n";

namespace {

const std::string kConvolution = nearbyTexelFragmentShader("highp",
    "uniform mediump mat3 convolutionMatrix;\n"
    "void main() {\n"
    "  vec4 bottomColor = texture2D(inputImageTexture, bottomTextureCoordinate);\n"
    "  vec4 bottomLeftColor = texture2D(inputImageTexture, bottomLeftTextureCoordinate);\n"
    "  vec4 bottomRightColor = texture2D(inputImageTexture, bottomRightTextureCoordinate);\n"
    "  vec4 centerColor = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec4 leftColor = texture2D(inputImageTexture, leftTextureCoordinate);\n"
    "  vec4 rightColor = texture2D(inputImageTexture, rightTextureCoordinate);\n"
    "  vec4 topColor = texture2D(inputImageTexture, topTextureCoordinate);\n"
    "  vec4 topRightColor = texture2D(inputImageTexture, topRightTextureCoordinate);\n"
    "  vec4 topLeftColor = texture2D(inputImageTexture, topLeftTextureCoordinate);\n"
    "  vec4 resultColor = topLeftColor * convolutionMatrix[0][0] + topColor * convolutionMatrix[0][1]"
    " + topRightColor * convolutionMatrix[0][2];\n"
    "  resultColor += leftColor * convolutionMatrix[1][0] + centerColor * convolutionMatrix[1][1]"
    " + rightColor * convolutionMatrix[1][2];\n"
    "  resultColor += bottomLeftColor * convolutionMatrix[2][0] + bottomColor * convolutionMatrix[2][1]"
    " + bottomRightColor * convolutionMatrix[2][2];\n"
    "  gl_FragColor = resultColor;\n"
    "}\n");

// A fixed network of exchanges over six slots; each exchange leaves the
// per-component minimum in the first slot and the maximum in the second.
const std::string kMedian = nearbyTexelFragmentShader("highp",
    "#define s2(a, b) temp = a; a = min(a, b); b = max(temp, b);\n"
    "#define mn3(a, b, c) s2(a, b); s2(a, c);\n"
    "#define mx3(a, b, c) s2(b, c); s2(a, c);\n"
    "#define mnmx3(a, b, c) mx3(a, b, c); s2(a, b);\n"
    "#define mnmx4(a, b, c, d) s2(a, b); s2(c, d); s2(a, c); s2(b, d);\n"
    "#define mnmx5(a, b, c, d, e) s2(a, b); s2(c, d); mn3(a, c, e); mx3(b, d, e);\n"
    "#define mnmx6(a, b, c, d, e, f) s2(a, d); s2(b, e); s2(c, f); mn3(a, b, c); mx3(d, e, f);\n"
    "void main() {\n"
    "  vec3 v[6];\n"
    "  v[0] = texture2D(inputImageTexture, bottomLeftTextureCoordinate).rgb;\n"
    "  v[1] = texture2D(inputImageTexture, topRightTextureCoordinate).rgb;\n"
    "  v[2] = texture2D(inputImageTexture, topLeftTextureCoordinate).rgb;\n"
    "  v[3] = texture2D(inputImageTexture, bottomRightTextureCoordinate).rgb;\n"
    "  v[4] = texture2D(inputImageTexture, leftTextureCoordinate).rgb;\n"
    "  v[5] = texture2D(inputImageTexture, rightTextureCoordinate).rgb;\n"
    "  vec3 temp;\n"
    "  mnmx6(v[0], v[1], v[2], v[3], v[4], v[5]);\n"
    "  v[5] = texture2D(inputImageTexture, bottomTextureCoordinate).rgb;\n"
    "  mnmx5(v[1], v[2], v[3], v[4], v[5]);\n"
    "  v[5] = texture2D(inputImageTexture, topTextureCoordinate).rgb;\n"
    "  mnmx4(v[2], v[3], v[4], v[5]);\n"
    "  v[5] = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
    "  mnmx3(v[3], v[4], v[5]);\n"
    "  gl_FragColor = vec4(v[4], 1.0);\n"
    "}\n");

const std::string kLocalBinaryPattern = nearbyTexelFragmentShader("highp",
    std::string("void main() {\n"
                "  float centerIntensity = texture2D(inputImageTexture, textureCoordinate).r;\n") +
        kGPUNeighbourRedsString +
        "  float byteTally = 1.0 / 255.0 * step(centerIntensity, topRightIntensity);\n"
        "  byteTally += 2.0 / 255.0 * step(centerIntensity, topIntensity);\n"
        "  byteTally += 4.0 / 255.0 * step(centerIntensity, topLeftIntensity);\n"
        "  byteTally += 8.0 / 255.0 * step(centerIntensity, leftIntensity);\n"
        "  byteTally += 16.0 / 255.0 * step(centerIntensity, bottomLeftIntensity);\n"
        "  byteTally += 32.0 / 255.0 * step(centerIntensity, bottomIntensity);\n"
        "  byteTally += 64.0 / 255.0 * step(centerIntensity, bottomRightIntensity);\n"
        "  byteTally += 128.0 / 255.0 * step(centerIntensity, rightIntensity);\n"
        "  gl_FragColor = vec4(byteTally, byteTally, byteTally, 1.0);\n"
        "}\n");

// The half-open test: strictly above t, tl, l and bl, at least b, br, r, tr.
const char* const kSuppressionTest =
    "  float multiplier = 1.0 - step(centerColor.r, topIntensity);\n"
    "  multiplier = multiplier * (1.0 - step(centerColor.r, topLeftIntensity));\n"
    "  multiplier = multiplier * (1.0 - step(centerColor.r, leftIntensity));\n"
    "  multiplier = multiplier * (1.0 - step(centerColor.r, bottomLeftIntensity));\n"
    "  float maxValue = max(centerColor.r, bottomIntensity);\n"
    "  maxValue = max(maxValue, bottomRightIntensity);\n"
    "  maxValue = max(maxValue, rightIntensity);\n"
    "  maxValue = max(maxValue, topRightIntensity);\n"
    "  multiplier = multiplier * step(maxValue, centerColor.r);\n";

const std::string kNonMaximumSuppression = nearbyTexelFragmentShader("mediump",
    std::string("void main() {\n"
                "  vec4 centerColor = texture2D(inputImageTexture, textureCoordinate);\n") +
        kGPUNeighbourRedsString + kSuppressionTest +
        "  gl_FragColor = vec4(centerColor.rgb * multiplier, 1.0);\n"
        "}\n");

const std::string kThresholdedNonMaximumSuppression = nearbyTexelFragmentShader("mediump",
    std::string("uniform float threshold;\n"
                "void main() {\n"
                "  vec4 centerColor = texture2D(inputImageTexture, textureCoordinate);\n") +
        kGPUNeighbourRedsString + kSuppressionTest +
        "  float finalValue = centerColor.r * multiplier;\n"
        "  finalValue = step(threshold, finalValue);\n"
        "  gl_FragColor = vec4(finalValue, finalValue, finalValue, 1.0);\n"
        "}\n");

const std::string kWeakPixelInclusion = nearbyTexelFragmentShader("lowp",
    std::string("void main() {\n"
                "  float centerIntensity = texture2D(inputImageTexture, textureCoordinate).r;\n") +
        kGPUNeighbourRedsString +
        "  float pixelIntensitySum = bottomLeftIntensity + topRightIntensity + topLeftIntensity"
        " + bottomRightIntensity + leftIntensity + rightIntensity + bottomIntensity + topIntensity"
        " + centerIntensity;\n"
        "  float sumTest = step(1.5, pixelIntensitySum);\n"
        "  float pixelTest = step(0.01, centerIntensity);\n"
        "  gl_FragColor = vec4(vec3(sumTest * pixelTest), 1.0);\n"
        "}\n");

const std::string kToon = nearbyTexelFragmentShader("highp",
    std::string("uniform float threshold;\n"
                "uniform float quantizationLevels;\n"
                "void main() {\n"
                "  vec4 textureColor = texture2D(inputImageTexture, textureCoordinate);\n") +
        kGPUNeighbourRedsString +
        "  float h = -topLeftIntensity - 2.0 * topIntensity - topRightIntensity + bottomLeftIntensity"
        " + 2.0 * bottomIntensity + bottomRightIntensity;\n"
        "  float v = -bottomLeftIntensity - 2.0 * leftIntensity - topLeftIntensity + bottomRightIntensity"
        " + 2.0 * rightIntensity + topRightIntensity;\n"
        "  float mag = length(vec2(h, v));\n"
        "  vec3 posterizedImageColor = floor((textureColor.rgb * quantizationLevels) + 0.5) / quantizationLevels;\n"
        "  float thresholdTest = 1.0 - step(threshold, mag);\n"
        "  gl_FragColor = vec4(posterizedImageColor * thresholdTest, textureColor.a);\n"
        "}\n");

const std::string kDirectionalSobel = nearbyTexelFragmentShader("mediump",
    std::string("void main() {\n") + kGPUNeighbourRedsString +
        "  vec2 gradientDirection;\n"
        "  gradientDirection.x = -bottomLeftIntensity - 2.0 * leftIntensity - topLeftIntensity"
        " + bottomRightIntensity + 2.0 * rightIntensity + topRightIntensity;\n"
        "  gradientDirection.y = -topLeftIntensity - 2.0 * topIntensity - topRightIntensity + bottomLeftIntensity"
        " + 2.0 * bottomIntensity + bottomRightIntensity;\n"
        "  float gradientMagnitude = length(gradientDirection);\n"
        // A zero gradient has no direction: normalising it would give NaN.
        "  vec2 normalizedDirection = gradientMagnitude > 0.0 ? gradientDirection / gradientMagnitude"
        " : vec2(0.0);\n"
        "  normalizedDirection = sign(normalizedDirection) * floor(abs(normalizedDirection) + 0.617316);\n"
        "  normalizedDirection = (normalizedDirection + 1.0) * 0.5;\n"
        "  gl_FragColor = vec4(gradientMagnitude, normalizedDirection.x, normalizedDirection.y, 1.0);\n"
        "}\n");

}  // namespace

// --- base

GPU3x3TextureSamplingFilter::GPU3x3TextureSamplingFilter(const std::string& fragmentShader)
    : GPUFilter(kGPUNearbyTexelSamplingVertexShaderString, fragmentShader) {
  texelWidthUniform_ = stockUniformIndex(*this, "texelWidth");
  texelHeightUniform_ = stockUniformIndex(*this, "texelHeight");
}

void GPU3x3TextureSamplingFilter::setupFilterForSize(gfx::Size size) {
  if (!hasOverriddenImageSizeFactor_) {
    // A zero size leaves the neighbours on the pixel itself.
    texelWidth_ = size.width > 0 ? 1.0f / size.width : 0.0f;
    texelHeight_ = size.height > 0 ? 1.0f / size.height : 0.0f;
  }
  performOnProcessingQueueSync([this] {
    // A quarter-turned input is read with its axes exchanged.
    const bool swap = rotationSwapsWidthAndHeight(inputRotation_);
    setFloat(swap ? texelHeight_ : texelWidth_, texelWidthUniform_, filterProgram());
    setFloat(swap ? texelWidth_ : texelHeight_, texelHeightUniform_, filterProgram());
  });
}

void GPU3x3TextureSamplingFilter::setTexelWidth(float v) {
  hasOverriddenImageSizeFactor_ = true;
  texelWidth_ = v;
  setFloat(v, texelWidthUniform_, filterProgram());
}

void GPU3x3TextureSamplingFilter::setTexelHeight(float v) {
  hasOverriddenImageSizeFactor_ = true;
  texelHeight_ = v;
  setFloat(v, texelHeightUniform_, filterProgram());
}

// --- convolution and emboss

GPU3x3ConvolutionFilter::GPU3x3ConvolutionFilter() : GPU3x3TextureSamplingFilter(kConvolution) {
  convolutionMatrixUniform_ = stockUniformIndex(*this, "convolutionMatrix");
  setConvolutionKernel(GPUMatrix3x3{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}});
}

void GPU3x3ConvolutionFilter::setConvolutionKernel(const GPUMatrix3x3& kernel) {
  convolutionKernel_ = kernel;
  setMatrix3f(kernel, convolutionMatrixUniform_, filterProgram());
}

GPUEmbossFilter::GPUEmbossFilter() { setIntensity(1.0f); }

void GPUEmbossFilter::setIntensity(float i) {
  intensity_ = i;
  setConvolutionKernel(GPUMatrix3x3{{-2 * i, -i, 0}, {-i, 1, i}, {0, i, 2 * i}});
}

// --- the rest

GPUMedianFilter::GPUMedianFilter() : GPU3x3TextureSamplingFilter(kMedian) {}
GPULocalBinaryPatternFilter::GPULocalBinaryPatternFilter() : GPU3x3TextureSamplingFilter(kLocalBinaryPattern) {}
GPUNonMaximumSuppressionFilter::GPUNonMaximumSuppressionFilter()
    : GPU3x3TextureSamplingFilter(kNonMaximumSuppression) {}
GPUWeakPixelInclusionFilter::GPUWeakPixelInclusionFilter() : GPU3x3TextureSamplingFilter(kWeakPixelInclusion) {}
GPUimageDirectionalSobelEdgeDetectionFilter::GPUimageDirectionalSobelEdgeDetectionFilter()
    : GPU3x3TextureSamplingFilter(kDirectionalSobel) {}

GPUThresholdedNonMaximumSuppressionFilter::GPUThresholdedNonMaximumSuppressionFilter()
    : GPU3x3TextureSamplingFilter(kThresholdedNonMaximumSuppression) {
  thresholdUniform_ = stockUniformIndex(*this, "threshold");
  setThreshold(0.9f);
}

void GPUThresholdedNonMaximumSuppressionFilter::setThreshold(float v) {
  threshold_ = v;
  setFloat(v, thresholdUniform_, filterProgram());
}

GPUToonFilter::GPUToonFilter() : GPU3x3TextureSamplingFilter(kToon) {
  thresholdUniform_ = stockUniformIndex(*this, "threshold");
  quantizationLevelsUniform_ = stockUniformIndex(*this, "quantizationLevels");
  setThreshold(0.2f);
  setQuantizationLevels(10.0f);
}

void GPUToonFilter::setThreshold(float v) {
  threshold_ = v;
  setFloat(v, thresholdUniform_, filterProgram());
}

void GPUToonFilter::setQuantizationLevels(float v) {
  quantizationLevels_ = v;
  setFloat(v, quantizationLevelsUniform_, filterProgram());
}

void register3x3Filters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  using B = GPU3x3TextureSamplingFilter;
  auto texels = [](C c) {
    return c.message("setTexelWidth:", &B::setTexelWidth).message("setTexelHeight:", &B::setTexelHeight);
  };
  r.registerClass(texels(C::of<GPU3x3ConvolutionFilter>("GPU3x3ConvolutionFilter")));
  r.registerClass(texels(C::of<GPUEmbossFilter>("GPUEmbossFilter")).message("setIntensity:", &GPUEmbossFilter::setIntensity));
  r.registerClass(texels(C::of<GPUMedianFilter>("GPUMedianFilter")));
  r.registerClass(texels(C::of<GPULocalBinaryPatternFilter>("GPULocalBinaryPatternFilter")));
  r.registerClass(texels(C::of<GPUNonMaximumSuppressionFilter>("GPUNonMaximumSuppressionFilter")));
  using T = GPUThresholdedNonMaximumSuppressionFilter;
  r.registerClass(texels(C::of<T>("GPUThresholdedNonMaximumSuppressionFilter")).message("setThreshold:", &T::setThreshold));
  r.registerClass(texels(C::of<GPUWeakPixelInclusionFilter>("GPUWeakPixelInclusionFilter")));
  r.registerClass(texels(C::of<GPUToonFilter>("GPUToonFilter"))
                      .message("setThreshold:", &GPUToonFilter::setThreshold)
                      .message("setQuantizationLevels:", &GPUToonFilter::setQuantizationLevels));
  r.registerClass(
      texels(C::of<GPUimageDirectionalSobelEdgeDetectionFilter>("GPUimageDirectionalSobelEdgeDetectionFilter")));
}
