#include "gpu/filters/stylise/GPUStylisingFilters.h"

#include <algorithm>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"

namespace {

#define STYLE_HEAD                          \
  "precision highp float;\n"                \
  "varying highp vec2 textureCoordinate;\n" \
  "uniform sampler2D inputImageTexture;\n"

// The cell arithmetic the grid filters share: sp is the centre of the cell
// holding the pixel. An aspect ratio not yet known (0) counts as square
// rather than dividing by zero.
#define CELL                                                                  \
  "uniform float fractionalWidthOfPixel;\n"                                   \
  "uniform float aspectRatio;\n"                                              \
  "void main() {\n"                                                           \
  "  vec2 tc = textureCoordinate;\n"                                          \
  "  float a = aspectRatio > 0.0 ? aspectRatio : 1.0;\n"                      \
  "  vec2 divisor = vec2(fractionalWidthOfPixel, fractionalWidthOfPixel / a);\n" \
  "  vec2 sp = tc - mod(tc, divisor) + 0.5 * divisor;\n"

constexpr const char* kPixellateShader = STYLE_HEAD CELL
    "  gl_FragColor = texture2D(inputImageTexture, sp);\n}\n";

constexpr const char* kHalftoneShader = STYLE_HEAD CELL
    "  vec2 aspectTc = vec2(tc.x, tc.y * a + 0.5 - 0.5 * a);\n"
    "  vec2 aspectSp = vec2(sp.x, sp.y * a + 0.5 - 0.5 * a);\n"
    "  float e = distance(aspectSp, aspectTc);\n"
    "  float s = 1.0 - dot(texture2D(inputImageTexture, sp).rgb, vec3(0.2125, 0.7154, 0.0721));\n"
    "  float v = e <= (fractionalWidthOfPixel * 0.5) * s ? 0.0 : 1.0;\n"
    "  gl_FragColor = vec4(vec3(v), 1.0);\n}\n";

constexpr const char* kPolkaDotShader = STYLE_HEAD
    "uniform float dotScaling;\n" CELL
    "  vec2 aspectTc = vec2(tc.x, tc.y * a + 0.5 - 0.5 * a);\n"
    "  vec2 aspectSp = vec2(sp.x, sp.y * a + 0.5 - 0.5 * a);\n"
    "  float e = distance(aspectSp, aspectTc);\n"
    "  float inside = e <= (fractionalWidthOfPixel * 0.5) * dotScaling ? 1.0 : 0.0;\n"
    "  gl_FragColor = vec4(texture2D(inputImageTexture, sp).rgb * inside, 1.0);\n}\n";

constexpr const char* kPixellatePositionShader = STYLE_HEAD
    "uniform vec2 pixelateCenter;\n"
    "uniform float pixelateRadius;\n" CELL
    "  vec2 aspectTc = vec2(tc.x, tc.y * a + 0.5 - 0.5 * a);\n"
    "  if (distance(pixelateCenter, aspectTc) < pixelateRadius) {\n"
    "    gl_FragColor = texture2D(inputImageTexture, sp);\n"
    "  } else {\n"
    "    gl_FragColor = texture2D(inputImageTexture, tc);\n"
    "  }\n}\n";

constexpr const char* kPolarPixellateShader = STYLE_HEAD
    "uniform vec2 center;\n"
    "uniform vec2 pixelSize;\n"
    "void main() {\n"
    "  vec2 c = 2.0 * center - 1.0;\n"
    "  vec2 n = 2.0 * textureCoordinate - 1.0 - c;\n"
    "  float r = length(n);\n"
    "  float phi = atan(n.y, n.x);\n"
    // A zero step would be a remainder by zero: that coordinate stays as it is.
    "  if (pixelSize.x > 0.0) r = r - mod(r, pixelSize.x) + 0.03;\n"
    "  if (pixelSize.y > 0.0) phi = phi - mod(phi, pixelSize.y);\n"
    "  n = vec2(r * cos(phi), r * sin(phi)) + c;\n"
    "  gl_FragColor = texture2D(inputImageTexture, n / 2.0 + 0.5);\n}\n";

constexpr const char* kCrosshatchShader = STYLE_HEAD
    "uniform float crossHatchSpacing;\n"
    "uniform float lineWidth;\n"
    "void main() {\n"
    "  float l = dot(texture2D(inputImageTexture, textureCoordinate).rgb, vec3(0.2125, 0.7154, 0.0721));\n"
    "  float x = textureCoordinate.x;\n"
    "  float y = textureCoordinate.y;\n"
    "  float s = crossHatchSpacing;\n"
    "  vec4 colour = vec4(1.0);\n"
    "  if (l < 1.00 && mod(x + y, s) <= lineWidth) colour = vec4(0.0, 0.0, 0.0, 1.0);\n"
    "  if (l < 0.75 && mod(x - y, s) <= lineWidth) colour = vec4(0.0, 0.0, 0.0, 1.0);\n"
    "  if (l < 0.50 && mod(x + y - s / 2.0, s) <= lineWidth) colour = vec4(0.0, 0.0, 0.0, 1.0);\n"
    "  if (l < 0.3 && mod(x - y - s / 2.0, s) <= lineWidth) colour = vec4(0.0, 0.0, 0.0, 1.0);\n"
    "  gl_FragColor = colour;\n}\n";

constexpr const char* kCGAShader = STYLE_HEAD
    "void main() {\n"
    "  vec2 tc = textureCoordinate;\n"
    "  vec4 c = texture2D(inputImageTexture, tc - mod(tc, vec2(1.0 / 200.0, 1.0 / 320.0)));\n"
    "  vec4 cyan = vec4(85.0 / 255.0, 1.0, 1.0, 1.0);\n"
    "  vec4 magenta = vec4(1.0, 85.0 / 255.0, 1.0, 1.0);\n"
    "  vec4 white = vec4(1.0);\n"
    "  vec4 black = vec4(0.0, 0.0, 0.0, 1.0);\n"
    // Ties go to black, then white, then cyan, then magenta.
    "  vec4 best = magenta;\n"
    "  float d = distance(c, magenta);\n"
    "  float k = distance(c, cyan);\n"
    "  if (k <= d) { best = cyan; d = k; }\n"
    "  k = distance(c, white);\n"
    "  if (k <= d) { best = white; d = k; }\n"
    "  k = distance(c, black);\n"
    "  if (k <= d) { best = black; d = k; }\n"
    "  gl_FragColor = best;\n}\n";

// Four windows in order; the one of least variance wins, an earlier one a
// tie. One walk over the (2r + 1)^2 neighbourhood feeds every window a
// sample lies in (the windows share their middle row and column), so each
// texel is read once.
constexpr const char* kKuwaharaShader = STYLE_HEAD
    "uniform int radius;\n"
    "const vec2 src_size = vec2(1.0 / 768.0, 1.0 / 1024.0);\n"
    "void pick(vec3 m, vec3 s, float n, inout float bound, inout vec4 result) {\n"
    "  m /= n;\n"
    "  s = abs(s / n - m * m);\n"
    "  float sigma2 = s.r + s.g + s.b;\n"
    "  if (sigma2 < bound) {\n"
    "    bound = sigma2;\n"
    "    result = vec4(m, 1.0);\n"
    "  }\n"
    "}\n"
    "void main() {\n"
    "  vec3 m0 = vec3(0.0), m1 = vec3(0.0), m2 = vec3(0.0), m3 = vec3(0.0);\n"
    "  vec3 s0 = vec3(0.0), s1 = vec3(0.0), s2 = vec3(0.0), s3 = vec3(0.0);\n"
    "  for (int j = -radius; j <= radius; ++j) {\n"
    "    for (int i = -radius; i <= radius; ++i) {\n"
    "      vec3 c = texture2D(inputImageTexture, textureCoordinate + vec2(i, j) * src_size).rgb;\n"
    "      vec3 cc = c * c;\n"
    "      if (i <= 0 && j <= 0) { m0 += c; s0 += cc; }\n"
    "      if (i >= 0 && j <= 0) { m1 += c; s1 += cc; }\n"
    "      if (i >= 0 && j >= 0) { m2 += c; s2 += cc; }\n"
    "      if (i <= 0 && j >= 0) { m3 += c; s3 += cc; }\n"
    "    }\n"
    "  }\n"
    "  float n = float((radius + 1) * (radius + 1));\n"
    "  float bound = 100.0;\n"
    "  vec4 result = vec4(0.0);\n"
    "  pick(m0, s0, n, bound, result);\n"
    "  pick(m1, s1, n, bound, result);\n"
    "  pick(m2, s2, n, bound, result);\n"
    "  pick(m3, s3, n, bound, result);\n"
    "  gl_FragColor = result;\n}\n";

constexpr const char* kSharpenVertexShader =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "uniform float imageWidthFactor;\n"
    "uniform float imageHeightFactor;\n"
    "uniform float sharpness;\n"
    "varying vec2 textureCoordinate;\n"
    "varying vec2 leftTextureCoordinate;\n"
    "varying vec2 rightTextureCoordinate;\n"
    "varying vec2 topTextureCoordinate;\n"
    "varying vec2 bottomTextureCoordinate;\n"
    "varying float centerMultiplier;\n"
    "varying float edgeMultiplier;\n"
    "void main() {\n"
    "  gl_Position = position;\n"
    "  vec2 tc = inputTextureCoordinate.xy;\n"
    "  textureCoordinate = tc;\n"
    "  leftTextureCoordinate = tc - vec2(imageWidthFactor, 0.0);\n"
    "  rightTextureCoordinate = tc + vec2(imageWidthFactor, 0.0);\n"
    "  topTextureCoordinate = tc + vec2(0.0, imageHeightFactor);\n"
    "  bottomTextureCoordinate = tc - vec2(0.0, imageHeightFactor);\n"
    "  centerMultiplier = 1.0 + 4.0 * sharpness;\n"
    "  edgeMultiplier = sharpness;\n}\n";

constexpr const char* kSharpenShader = STYLE_HEAD
    "varying highp vec2 leftTextureCoordinate;\n"
    "varying highp vec2 rightTextureCoordinate;\n"
    "varying highp vec2 topTextureCoordinate;\n"
    "varying highp vec2 bottomTextureCoordinate;\n"
    "varying highp float centerMultiplier;\n"
    "varying highp float edgeMultiplier;\n"
    "void main() {\n"
    "  vec3 c = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
    "  vec3 l = texture2D(inputImageTexture, leftTextureCoordinate).rgb;\n"
    "  vec3 r = texture2D(inputImageTexture, rightTextureCoordinate).rgb;\n"
    "  vec3 t = texture2D(inputImageTexture, topTextureCoordinate).rgb;\n"
    "  vec4 b = texture2D(inputImageTexture, bottomTextureCoordinate);\n"
    "  gl_FragColor = vec4(c * centerMultiplier - (l + r + t + b.rgb) * edgeMultiplier, b.a);\n}\n";

constexpr const char* kVignetteShader = STYLE_HEAD
    "uniform vec2 vignetteCenter;\n"
    "uniform vec3 vignetteColor;\n"
    "uniform float vignetteStart;\n"
    "uniform float vignetteEnd;\n"
    "void main() {\n"
    "  vec3 c = texture2D(inputImageTexture, textureCoordinate).rgb;\n"
    "  float d = distance(textureCoordinate, vignetteCenter);\n"
    "  float p = smoothstep(vignetteStart, vignetteEnd, d);\n"
    "  gl_FragColor = vec4(mix(c, vignetteColor, p), 1.0);\n}\n";

}  // namespace

// --- pixellation

GPUPixellateFilter::GPUPixellateFilter() : GPUPixellateFilter(kPixellateShader) {}
GPUPixellateFilter::GPUPixellateFilter(const std::string& fragmentShader) : GPUAspectRatioFilter(fragmentShader) {
  fractionalWidthOfPixelUniform_ = stockUniformIndex(*this, "fractionalWidthOfPixel");
  aspectRatioUniform_ = stockUniformIndex(*this, "aspectRatio");
  setFractionalWidthOfAPixel(0.05f);
}
void GPUPixellateFilter::setFractionalWidthOfAPixel(float v) {
  fractionalWidthOfAPixel_ = std::max(stockMinimumCellWidth(inputTextureSize_), v);
  setFloat(fractionalWidthOfAPixel_, fractionalWidthOfPixelUniform_, filterProgram());
}
void GPUPixellateFilter::setAspectRatio(float v) {
  aspectRatio_ = v;
  setFloat(v, aspectRatioUniform_, filterProgram());
}

GPUHalftoneFilter::GPUHalftoneFilter() : GPUPixellateFilter(kHalftoneShader) { setFractionalWidthOfAPixel(0.01f); }

GPUPolkaDotFilter::GPUPolkaDotFilter() : GPUPixellateFilter(kPolkaDotShader) {
  dotScalingUniform_ = stockUniformIndex(*this, "dotScaling");
  setDotScaling(0.9f);
}
void GPUPolkaDotFilter::setDotScaling(float v) {
  dotScaling_ = v;
  setFloat(v, dotScalingUniform_, filterProgram());
}

GPUPixellatePositionFilter::GPUPixellatePositionFilter() : GPUPixellatePositionFilter(kPixellatePositionShader) {}
GPUPixellatePositionFilter::GPUPixellatePositionFilter(const std::string& fragmentShader)
    : GPUAspectRatioFilter(fragmentShader) {
  fractionalWidthOfPixelUniform_ = stockUniformIndex(*this, "fractionalWidthOfPixel");
  aspectRatioUniform_ = stockUniformIndex(*this, "aspectRatio");
  centerUniform_ = stockUniformIndex(*this, "pixelateCenter");
  radiusUniform_ = stockUniformIndex(*this, "pixelateRadius");
  setFractionalWidthOfAPixel(0.05f);
  setCenter({0.5f, 0.5f});
  setRadius(1.0f);
}
void GPUPixellatePositionFilter::setFractionalWidthOfAPixel(float v) {
  fractionalWidthOfAPixel_ = std::max(stockMinimumCellWidth(inputTextureSize_), v);
  setFloat(fractionalWidthOfAPixel_, fractionalWidthOfPixelUniform_, filterProgram());
}
void GPUPixellatePositionFilter::setAspectRatio(float v) {
  aspectRatio_ = v;
  setFloat(v, aspectRatioUniform_, filterProgram());
}
void GPUPixellatePositionFilter::setCenter(gfx::Point p) {
  center_ = p;
  setPoint(p, centerUniform_, filterProgram());
}
void GPUPixellatePositionFilter::setRadius(float v) {
  radius_ = v;
  setFloat(v, radiusUniform_, filterProgram());
}

GPUPolarPixellateFilter::GPUPolarPixellateFilter() : GPUFilter(kPolarPixellateShader) {
  centerUniform_ = stockUniformIndex(*this, "center");
  pixelSizeUniform_ = stockUniformIndex(*this, "pixelSize");
  setCenter({0.5f, 0.5f});
  setPixelSize({0.05f, 0.05f});
}
void GPUPolarPixellateFilter::setCenter(gfx::Point p) {
  center_ = p;
  setPoint(rotatedPoint(p, inputRotation_), centerUniform_, filterProgram());
}
void GPUPolarPixellateFilter::setPixelSize(gfx::Size s) {
  pixelSize_ = s;
  setSize(s, pixelSizeUniform_, filterProgram());
}
void GPUPolarPixellateFilter::setInputRotation(RotationMode rotation, int textureIndex) {
  GPUFilter::setInputRotation(rotation, textureIndex);
  setCenter(center_);
}

// --- patterns

GPUCrosshatchFilter::GPUCrosshatchFilter() : GPUFilter(kCrosshatchShader) {
  crossHatchSpacingUniform_ = stockUniformIndex(*this, "crossHatchSpacing");
  lineWidthUniform_ = stockUniformIndex(*this, "lineWidth");
  setCrossHatchSpacing(0.03f);
  setLineWidth(0.003f);
}
void GPUCrosshatchFilter::setCrossHatchSpacing(float v) {
  crossHatchSpacing_ = std::max(stockMinimumCellWidth(inputTextureSize_), v);
  setFloat(crossHatchSpacing_, crossHatchSpacingUniform_, filterProgram());
}
void GPUCrosshatchFilter::setLineWidth(float v) {
  lineWidth_ = v;
  setFloat(v, lineWidthUniform_, filterProgram());
}

GPUCGAColorspaceFilter::GPUCGAColorspaceFilter() : GPUFilter(kCGAShader) {}

GPUKuwaharaFilter::GPUKuwaharaFilter() : GPUFilter(kKuwaharaShader) {
  radiusUniform_ = stockUniformIndex(*this, "radius");
  setRadius(3);
}
void GPUKuwaharaFilter::setRadius(unsigned v) {
  radius_ = v;
  setInteger(static_cast<GLint>(v), radiusUniform_, filterProgram());
}

GPUSharpenFilter::GPUSharpenFilter() : GPUFilter(kSharpenVertexShader, kSharpenShader) {
  sharpnessUniform_ = stockUniformIndex(*this, "sharpness");
  imageWidthFactorUniform_ = stockUniformIndex(*this, "imageWidthFactor");
  imageHeightFactorUniform_ = stockUniformIndex(*this, "imageHeightFactor");
  setSharpness(0.0f);
}
void GPUSharpenFilter::setSharpness(float v) {
  sharpness_ = v;
  setFloat(v, sharpnessUniform_, filterProgram());
}
void GPUSharpenFilter::setupFilterForSize(gfx::Size size) {
  if (size.width <= 0 || size.height <= 0) return;
  const bool swapped = rotationSwapsWidthAndHeight(inputRotation_);
  performOnProcessingQueueSync([&] {
    setFloat(1.0f / (swapped ? size.height : size.width), imageWidthFactorUniform_, filterProgram());
    setFloat(1.0f / (swapped ? size.width : size.height), imageHeightFactorUniform_, filterProgram());
  });
}

GPUVignetteFilter::GPUVignetteFilter() : GPUFilter(kVignetteShader) {
  vignetteCenterUniform_ = stockUniformIndex(*this, "vignetteCenter");
  vignetteColorUniform_ = stockUniformIndex(*this, "vignetteColor");
  vignetteStartUniform_ = stockUniformIndex(*this, "vignetteStart");
  vignetteEndUniform_ = stockUniformIndex(*this, "vignetteEnd");
  setVignetteCenter({0.5f, 0.5f});
  setVignetteColor({0, 0, 0});
  setVignetteStart(0.3f);
  setVignetteEnd(0.75f);
}
void GPUVignetteFilter::setVignetteCenter(gfx::Point p) {
  vignetteCenter_ = p;
  setPoint(p, vignetteCenterUniform_, filterProgram());
}
void GPUVignetteFilter::setVignetteColor(GPUVector3 c) {
  vignetteColor_ = c;
  setVec3(c, vignetteColorUniform_, filterProgram());
}
void GPUVignetteFilter::setVignetteStart(float v) {
  vignetteStart_ = v;
  setFloat(v, vignetteStartUniform_, filterProgram());
}
void GPUVignetteFilter::setVignetteEnd(float v) {
  vignetteEnd_ = v;
  setFloat(v, vignetteEndUniform_, filterProgram());
}

void registerStylisingFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUPixellateFilter>("GPUPixellateFilter")
                      .message("setFractionalWidthOfAPixel:", &GPUPixellateFilter::setFractionalWidthOfAPixel));
  r.registerClass(C::of<GPUHalftoneFilter>("GPUHalftoneFilter")
                      .message("setFractionalWidthOfAPixel:", &GPUPixellateFilter::setFractionalWidthOfAPixel));
  r.registerClass(C::of<GPUPolkaDotFilter>("GPUPolkaDotFilter")
                      .message("setFractionalWidthOfAPixel:", &GPUPixellateFilter::setFractionalWidthOfAPixel)
                      .message("setDotScaling:", &GPUPolkaDotFilter::setDotScaling));
  r.registerClass(C::of<GPUPixellatePositionFilter>("GPUPixellatePositionFilter")
                      .message("setFractionalWidthOfAPixel:", &GPUPixellatePositionFilter::setFractionalWidthOfAPixel)
                      .message("setCenter:", &GPUPixellatePositionFilter::setCenter)
                      .message("setRadius:", &GPUPixellatePositionFilter::setRadius));
  r.registerClass(C::of<GPUPolarPixellateFilter>("GPUPolarPixellateFilter")
                      .message("setCenter:", &GPUPolarPixellateFilter::setCenter)
                      .message("setPixelSize:", &GPUPolarPixellateFilter::setPixelSizePoint));
  r.registerClass(C::of<GPUCrosshatchFilter>("GPUCrosshatchFilter")
                      .message("setCrossHatchSpacing:", &GPUCrosshatchFilter::setCrossHatchSpacing)
                      .message("setLineWidth:", &GPUCrosshatchFilter::setLineWidth));
  r.registerClass(C::of<GPUCGAColorspaceFilter>("GPUCGAColorspaceFilter"));
  r.registerClass(C::of<GPUKuwaharaFilter>("GPUKuwaharaFilter").message("setRadius:", &GPUKuwaharaFilter::setRadiusNumber));
  r.registerClass(C::of<GPUSharpenFilter>("GPUSharpenFilter").message("setSharpness:", &GPUSharpenFilter::setSharpness));
  r.registerClass(C::of<GPUVignetteFilter>("GPUVignetteFilter")
                      .message("setVignetteCenter:", &GPUVignetteFilter::setVignetteCenter)
                      .message("setVignetteStart:", &GPUVignetteFilter::setVignetteStart)
                      .message("setVignetteEnd:", &GPUVignetteFilter::setVignetteEnd));
}
