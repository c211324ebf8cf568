#include <algorithm>

#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"

#include <cmath>
#include <numbers>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/filters/GPUStockFilterSupport.h"

namespace {

// Every colour shader begins the same way: c is the input colour.
#define COLOUR_SHADER_HEAD                              \
  "precision highp float;\n"                            \
  "varying highp vec2 textureCoordinate;\n"             \
  "uniform sampler2D inputImageTexture;\n"
#define READ_INPUT "  vec4 c = texture2D(inputImageTexture, textureCoordinate);\n"

constexpr const char* kBrightnessShader = COLOUR_SHADER_HEAD
    "uniform float brightness;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4(c.rgb + vec3(brightness), c.a);\n}\n";

constexpr const char* kExposureShader = COLOUR_SHADER_HEAD
    "uniform float exposure;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4(c.rgb * pow(2.0, exposure), c.a);\n}\n";

constexpr const char* kContrastShader = COLOUR_SHADER_HEAD
    "uniform float contrast;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4((c.rgb - vec3(0.5)) * contrast + vec3(0.5), c.a);\n}\n";

constexpr const char* kSaturationShader = COLOUR_SHADER_HEAD
    "uniform float saturation;\n"
    "const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "void main() {\n" READ_INPUT
    "  float l = dot(c.rgb, W);\n"
    "  gl_FragColor = vec4(mix(vec3(l), c.rgb, saturation), c.a);\n}\n";

constexpr const char* kGammaShader = COLOUR_SHADER_HEAD
    "uniform float gamma;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4(pow(c.rgb, vec3(gamma)), c.a);\n}\n";

constexpr const char* kColorInvertShader = COLOUR_SHADER_HEAD
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4(vec3(1.0) - c.rgb, c.a);\n}\n";

constexpr const char* kOpacityShader = COLOUR_SHADER_HEAD
    "uniform float opacity;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4(c.rgb, c.a * opacity);\n}\n";

constexpr const char* kRGBShader = COLOUR_SHADER_HEAD
    "uniform float red;\n"
    "uniform float green;\n"
    "uniform float blue;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = vec4(c.r * red, c.g * green, c.b * blue, 1.0);\n}\n";

constexpr const char* kPosterizeShader = COLOUR_SHADER_HEAD
    "uniform float colorLevels;\n"
    "void main() {\n" READ_INPUT
    "  gl_FragColor = floor(c * colorLevels + vec4(0.5)) / colorLevels;\n}\n";

constexpr const char* kLuminanceThresholdShader = COLOUR_SHADER_HEAD
    "uniform float threshold;\n"
    "const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "void main() {\n" READ_INPUT
    "  float l = dot(c.rgb, W);\n"
    "  gl_FragColor = vec4(vec3(step(threshold, l)), c.a);\n}\n";

constexpr const char* kColorMatrixShader = COLOUR_SHADER_HEAD
    "uniform mat4 colorMatrix;\n"
    "uniform float intensity;\n"
    "void main() {\n" READ_INPUT
    "  vec4 m = c * colorMatrix;\n"
    "  gl_FragColor = intensity * m + (1.0 - intensity) * c;\n}\n";

constexpr const char* kHueShader = COLOUR_SHADER_HEAD
    "uniform float hueAdjust;\n"
    "const vec4 kRGBToYPrime = vec4(0.299, 0.587, 0.114, 0.0);\n"
    "const vec4 kRGBToI = vec4(0.595716, -0.274453, -0.321263, 0.0);\n"
    "const vec4 kRGBToQ = vec4(0.211456, -0.522591, 0.31135, 0.0);\n"
    "const vec4 kYIQToR = vec4(1.0, 0.9563, 0.6210, 0.0);\n"
    "const vec4 kYIQToG = vec4(1.0, -0.2721, -0.6474, 0.0);\n"
    "const vec4 kYIQToB = vec4(1.0, -1.1070, 1.7046, 0.0);\n"
    "void main() {\n" READ_INPUT
    "  float y = dot(c, kRGBToYPrime);\n"
    "  float i = dot(c, kRGBToI);\n"
    "  float q = dot(c, kRGBToQ);\n"
    "  float hue = atan(q, i);\n"
    "  float chroma = sqrt(i * i + q * q);\n"
    "  hue -= hueAdjust;\n"
    "  q = chroma * sin(hue);\n"
    "  i = chroma * cos(hue);\n"
    "  vec4 yiq = vec4(y, i, q, 0.0);\n"
    "  gl_FragColor = vec4(dot(yiq, kYIQToR), dot(yiq, kYIQToG), dot(yiq, kYIQToB), c.a);\n}\n";

constexpr const char* kMonochromeShader = COLOUR_SHADER_HEAD
    "uniform float intensity;\n"
    "uniform vec3 filterColor;\n"
    "const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "void main() {\n" READ_INPUT
    "  float l = dot(c.rgb, W);\n"
    "  vec3 o;\n"
    "  o.r = l < 0.5 ? 2.0 * l * filterColor.r : 1.0 - 2.0 * (1.0 - l) * (1.0 - filterColor.r);\n"
    "  o.g = l < 0.5 ? 2.0 * l * filterColor.g : 1.0 - 2.0 * (1.0 - l) * (1.0 - filterColor.g);\n"
    "  o.b = l < 0.5 ? 2.0 * l * filterColor.b : 1.0 - 2.0 * (1.0 - l) * (1.0 - filterColor.b);\n"
    "  gl_FragColor = vec4(mix(c.rgb, o, intensity), c.a);\n}\n";

constexpr const char* kFalseColorShader = COLOUR_SHADER_HEAD
    "uniform vec3 firstColor;\n"
    "uniform vec3 secondColor;\n"
    "const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "void main() {\n" READ_INPUT
    "  float l = dot(c.rgb, W);\n"
    "  gl_FragColor = vec4(mix(firstColor, secondColor, l), c.a);\n}\n";

constexpr const char* kHazeShader = COLOUR_SHADER_HEAD
    "uniform float distance;\n"
    "uniform float slope;\n"
    "void main() {\n" READ_INPUT
    "  float d = textureCoordinate.y * slope + distance;\n"
    // Where the haze is total (d = 1) the quotient has no value: the divisor
    // is held away from zero, which gives transparent black there.
    "  float k = 1.0 - d;\n"
    "  if (abs(k) < 0.0001) k = 0.0001;\n"
    "  gl_FragColor = (c - vec4(d)) / k;\n}\n";

constexpr const char* kHighlightShadowShader = COLOUR_SHADER_HEAD
    "uniform float shadows;\n"
    "uniform float highlights;\n"
    "const vec3 W = vec3(0.3, 0.3, 0.3);\n"
    "void main() {\n" READ_INPUT
    "  float l = dot(c.rgb, W);\n"
    "  float shadow = clamp(pow(l, 1.0 / (shadows + 1.0)) - 0.76 * pow(l, 2.0 / (shadows + 1.0)) - l, 0.0, 1.0);\n"
    "  float highlight = clamp(1.0 - (pow(1.0 - l, 1.0 / (2.0 - highlights))\n"
    "      - 0.8 * pow(1.0 - l, 2.0 / (2.0 - highlights))) - l, -1.0, 0.0);\n"
    // Luminance 0 means red, green and blue are all 0: the limit is black.
    "  vec3 rgb = l > 0.0 ? (l + shadow + highlight) * c.rgb / l : vec3(0.0);\n"
    "  gl_FragColor = vec4(rgb, c.a);\n}\n";

constexpr const char* kWhiteBalanceShader = COLOUR_SHADER_HEAD
    "uniform float temperature;\n"
    "uniform float tint;\n"
    "const mat3 RGBtoYIQ = mat3(0.299, 0.587, 0.114, 0.596, -0.274, -0.322, 0.212, -0.523, 0.311);\n"
    "const mat3 YIQtoRGB = mat3(1.0, 0.956, 0.621, 1.0, -0.272, -0.647, 1.0, -1.105, 1.702);\n"
    "const vec3 warm = vec3(0.93, 0.54, 0.0);\n"
    "void main() {\n" READ_INPUT
    "  vec3 yiq = RGBtoYIQ * c.rgb;\n"
    "  yiq.b = clamp(yiq.b + tint * 0.5226 * 0.1, -0.5226, 0.5226);\n"
    "  vec3 rgb = YIQtoRGB * yiq;\n"
    "  vec3 w = vec3(\n"
    "    rgb.r < 0.5 ? 2.0 * rgb.r * warm.r : 1.0 - 2.0 * (1.0 - rgb.r) * (1.0 - warm.r),\n"
    "    rgb.g < 0.5 ? 2.0 * rgb.g * warm.g : 1.0 - 2.0 * (1.0 - rgb.g) * (1.0 - warm.g),\n"
    "    rgb.b < 0.5 ? 2.0 * rgb.b * warm.b : 1.0 - 2.0 * (1.0 - rgb.b) * (1.0 - warm.b));\n"
    "  gl_FragColor = vec4(mix(rgb, w, temperature), c.a);\n}\n";

constexpr const char* kChromaKeyShader = COLOUR_SHADER_HEAD
    "uniform float thresholdSensitivity;\n"
    "uniform float smoothing;\n"
    "uniform vec3 colorToReplace;\n"
    "void main() {\n" READ_INPUT
    "  float maskY = 0.2989 * colorToReplace.r + 0.5866 * colorToReplace.g + 0.1145 * colorToReplace.b;\n"
    "  float maskCr = 0.7132 * (colorToReplace.r - maskY);\n"
    "  float maskCb = 0.5647 * (colorToReplace.b - maskY);\n"
    "  float y = 0.2989 * c.r + 0.5866 * c.g + 0.1145 * c.b;\n"
    "  float cr = 0.7132 * (c.r - y);\n"
    "  float cb = 0.5647 * (c.b - y);\n"
    "  float blend = smoothstep(thresholdSensitivity, thresholdSensitivity + smoothing,\n"
    "                           distance(vec2(cr, cb), vec2(maskCr, maskCb)));\n"
    "  gl_FragColor = vec4(c.rgb, c.a * blend);\n}\n";

constexpr const char* kLevelsShader = COLOUR_SHADER_HEAD
    "uniform vec3 min;\n"
    "uniform vec3 mid;\n"
    "uniform vec3 max;\n"
    "uniform vec3 minOutput;\n"
    "uniform vec3 maxOutput;\n"
    "void main() {\n" READ_INPUT
    "  vec3 range = max - min;\n"
    // An empty input range is a step at min instead of a division by zero.
    "  vec3 t = vec3(\n"
    "    range.r != 0.0 ? clamp((c.r - min.r) / range.r, 0.0, 1.0) : float(c.r > min.r),\n"
    "    range.g != 0.0 ? clamp((c.g - min.g) / range.g, 0.0, 1.0) : float(c.g > min.g),\n"
    "    range.b != 0.0 ? clamp((c.b - min.b) / range.b, 0.0, 1.0) : float(c.b > min.b));\n"
    "  gl_FragColor = vec4(mix(minOutput, maxOutput, pow(t, 1.0 / mid)), c.a);\n}\n";

}  // namespace

GPUBrightnessFilter::GPUBrightnessFilter() : GPUFilter(kBrightnessShader) {
  brightnessUniform_ = stockUniformIndex(*this, "brightness");
  setBrightness(0.0f);
}
void GPUBrightnessFilter::setBrightness(float v) {
  brightness_ = v;
  setFloat(v, brightnessUniform_, filterProgram());
}

GPUExposureFilter::GPUExposureFilter() : GPUFilter(kExposureShader) {
  exposureUniform_ = stockUniformIndex(*this, "exposure");
  setExposure(0.0f);
}
void GPUExposureFilter::setExposure(float v) {
  exposure_ = v;
  setFloat(v, exposureUniform_, filterProgram());
}

GPUContrastFilter::GPUContrastFilter() : GPUFilter(kContrastShader) {
  contrastUniform_ = stockUniformIndex(*this, "contrast");
  setContrast(1.0f);
}
void GPUContrastFilter::setContrast(float v) {
  contrast_ = v;
  setFloat(v, contrastUniform_, filterProgram());
}

GPUSaturationFilter::GPUSaturationFilter() : GPUFilter(kSaturationShader) {
  saturationUniform_ = stockUniformIndex(*this, "saturation");
  setSaturation(1.0f);
}
void GPUSaturationFilter::setSaturation(float v) {
  saturation_ = v;
  setFloat(v, saturationUniform_, filterProgram());
}

GPUGammaFilter::GPUGammaFilter() : GPUFilter(kGammaShader) {
  gammaUniform_ = stockUniformIndex(*this, "gamma");
  setGamma(1.0f);
}
void GPUGammaFilter::setGamma(float v) {
  gamma_ = v;
  setFloat(v, gammaUniform_, filterProgram());
}

GPUColorInvertFilter::GPUColorInvertFilter() : GPUFilter(kColorInvertShader) {}

GPUOpacityFilter::GPUOpacityFilter() : GPUFilter(kOpacityShader) {
  opacityUniform_ = stockUniformIndex(*this, "opacity");
  setOpacity(1.0f);
}
void GPUOpacityFilter::setOpacity(float v) {
  opacity_ = v;
  setFloat(v, opacityUniform_, filterProgram());
}

GPURGBFilter::GPURGBFilter() : GPUFilter(kRGBShader) {
  redUniform_ = stockUniformIndex(*this, "red");
  greenUniform_ = stockUniformIndex(*this, "green");
  blueUniform_ = stockUniformIndex(*this, "blue");
  setRed(1.0f);
  setGreen(1.0f);
  setBlue(1.0f);
}
void GPURGBFilter::setRed(float v) {
  red_ = v;
  setFloat(v, redUniform_, filterProgram());
}
void GPURGBFilter::setGreen(float v) {
  green_ = v;
  setFloat(v, greenUniform_, filterProgram());
}
void GPURGBFilter::setBlue(float v) {
  blue_ = v;
  setFloat(v, blueUniform_, filterProgram());
}

GPUPosterizeFilter::GPUPosterizeFilter() : GPUFilter(kPosterizeShader) {
  colorLevelsUniform_ = stockUniformIndex(*this, "colorLevels");
  setColorLevels(10);
}
void GPUPosterizeFilter::setColorLevels(unsigned v) {
  colorLevels_ = v;
  // No levels at all would divide by zero: it posterizes as one level, each
  // channel rounded to 0 or 1.
  setFloat(static_cast<float>(std::max(v, 1u)), colorLevelsUniform_, filterProgram());
}

GPULuminanceThresholdFilter::GPULuminanceThresholdFilter() : GPUFilter(kLuminanceThresholdShader) {
  thresholdUniform_ = stockUniformIndex(*this, "threshold");
  setThreshold(0.5f);
}
void GPULuminanceThresholdFilter::setThreshold(float v) {
  threshold_ = v;
  setFloat(v, thresholdUniform_, filterProgram());
}

GPUColorMatrixFilter::GPUColorMatrixFilter() : GPUFilter(kColorMatrixShader) {
  colorMatrixUniform_ = stockUniformIndex(*this, "colorMatrix");
  intensityUniform_ = stockUniformIndex(*this, "intensity");
  setIntensity(1.0f);
  setColorMatrix({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
}
void GPUColorMatrixFilter::setColorMatrix(const GPUMatrix4x4& m) {
  colorMatrix_ = m;
  setMatrix4f(m, colorMatrixUniform_, filterProgram());
}
void GPUColorMatrixFilter::setIntensity(float v) {
  intensity_ = v;
  setFloat(v, intensityUniform_, filterProgram());
}

GPUSepiaFilter::GPUSepiaFilter() {
  setIntensity(1.0f);
  setColorMatrix({{0.3588f, 0.7044f, 0.1368f, 0.0f},
                  {0.2990f, 0.5870f, 0.1140f, 0.0f},
                  {0.2392f, 0.4696f, 0.0912f, 0.0f},
                  {0.0f, 0.0f, 0.0f, 1.0f}});
}

GPUHueFilter::GPUHueFilter() : GPUFilter(kHueShader) {
  hueAdjustUniform_ = stockUniformIndex(*this, "hueAdjust");
  setHue(90.0f);
}
void GPUHueFilter::setHue(float degrees) {
  hue_ = static_cast<float>(std::fmod(static_cast<double>(degrees), 360.0) * std::numbers::pi / 180.0);
  setFloat(hue_, hueAdjustUniform_, filterProgram());
}

GPUMonochromeFilter::GPUMonochromeFilter() : GPUFilter(kMonochromeShader) {
  intensityUniform_ = stockUniformIndex(*this, "intensity");
  filterColorUniform_ = stockUniformIndex(*this, "filterColor");
  setIntensity(1.0f);
  setColor({0.6f, 0.45f, 0.3f, 1.0f});
}
void GPUMonochromeFilter::setIntensity(float v) {
  intensity_ = v;
  setFloat(v, intensityUniform_, filterProgram());
}
void GPUMonochromeFilter::setColor(GPUVector4 c) {
  color_ = c;
  setColorRed(c.one, c.two, c.three);
}
void GPUMonochromeFilter::setColorRed(float r, float g, float b) {
  setVec3({r, g, b}, filterColorUniform_, filterProgram());
}

GPUFalseColorFilter::GPUFalseColorFilter() : GPUFilter(kFalseColorShader) {
  firstColorUniform_ = stockUniformIndex(*this, "firstColor");
  secondColorUniform_ = stockUniformIndex(*this, "secondColor");
  setFirstColor({0.0f, 0.0f, 0.5f, 1.0f});
  setSecondColor({1.0f, 0.0f, 0.0f, 1.0f});
}
void GPUFalseColorFilter::setFirstColor(GPUVector4 c) {
  firstColor_ = c;
  setFirstColorRed(c.one, c.two, c.three);
}
void GPUFalseColorFilter::setSecondColor(GPUVector4 c) {
  secondColor_ = c;
  setSecondColorRed(c.one, c.two, c.three);
}
void GPUFalseColorFilter::setFirstColorRed(float r, float g, float b) {
  setVec3({r, g, b}, firstColorUniform_, filterProgram());
}
void GPUFalseColorFilter::setSecondColorRed(float r, float g, float b) {
  setVec3({r, g, b}, secondColorUniform_, filterProgram());
}

GPUHazeFilter::GPUHazeFilter() : GPUFilter(kHazeShader) {
  distanceUniform_ = stockUniformIndex(*this, "distance");
  slopeUniform_ = stockUniformIndex(*this, "slope");
  setDistance(0.2f);
  setSlope(0.0f);
}
void GPUHazeFilter::setDistance(float v) {
  distance_ = v;
  setFloat(v, distanceUniform_, filterProgram());
}
void GPUHazeFilter::setSlope(float v) {
  slope_ = v;
  setFloat(v, slopeUniform_, filterProgram());
}

GPUHighlightShadowFilter::GPUHighlightShadowFilter() : GPUFilter(kHighlightShadowShader) {
  shadowsUniform_ = stockUniformIndex(*this, "shadows");
  highlightsUniform_ = stockUniformIndex(*this, "highlights");
  setShadows(0.0f);
  setHighlights(1.0f);
}
void GPUHighlightShadowFilter::setShadows(float v) {
  shadows_ = v;
  setFloat(v, shadowsUniform_, filterProgram());
}
void GPUHighlightShadowFilter::setHighlights(float v) {
  highlights_ = v;
  setFloat(v, highlightsUniform_, filterProgram());
}

GPUWhiteBalanceFilter::GPUWhiteBalanceFilter() : GPUFilter(kWhiteBalanceShader) {
  temperatureUniform_ = stockUniformIndex(*this, "temperature");
  tintUniform_ = stockUniformIndex(*this, "tint");
  setTemperature(5000);
  setTint(0);
}
void GPUWhiteBalanceFilter::setTemperature(int v) {
  temperature_ = v;
  const float difference = static_cast<float>(static_cast<double>(v) - 5000.0);
  setFloat(v < 5000 ? difference * 0.0004f : difference * 0.00006f, temperatureUniform_, filterProgram());
}
void GPUWhiteBalanceFilter::setTint(int v) {
  tint_ = v;
  setFloat(static_cast<float>(v) / 100.0f, tintUniform_, filterProgram());
}

GPUChromaKeyFilter::GPUChromaKeyFilter() : GPUChromaKeying<GPUFilter>(kChromaKeyShader) {}

GPULevelsFilter::GPULevelsFilter() : GPUFilter(kLevelsShader) {
  minUniform_ = stockUniformIndex(*this, "min");
  midUniform_ = stockUniformIndex(*this, "mid");
  maxUniform_ = stockUniformIndex(*this, "max");
  minOutputUniform_ = stockUniformIndex(*this, "minOutput");
  maxOutputUniform_ = stockUniformIndex(*this, "maxOutput");
  setRedMin(0.0f, 1.0f, 1.0f, 0.0f, 1.0f);
  setGreenMin(0.0f, 1.0f, 1.0f, 0.0f, 1.0f);
  setBlueMin(0.0f, 1.0f, 1.0f, 0.0f, 1.0f);
}
void GPULevelsFilter::setRedMin(float min, float gamma, float max, float minOut, float maxOut) {
  minVector_.one = min;
  midVector_.one = gamma;
  maxVector_.one = max;
  minOutputVector_.one = minOut;
  maxOutputVector_.one = maxOut;
  updateUniforms();
}
void GPULevelsFilter::setGreenMin(float min, float gamma, float max, float minOut, float maxOut) {
  minVector_.two = min;
  midVector_.two = gamma;
  maxVector_.two = max;
  minOutputVector_.two = minOut;
  maxOutputVector_.two = maxOut;
  updateUniforms();
}
void GPULevelsFilter::setBlueMin(float min, float gamma, float max, float minOut, float maxOut) {
  minVector_.three = min;
  midVector_.three = gamma;
  maxVector_.three = max;
  minOutputVector_.three = minOut;
  maxOutputVector_.three = maxOut;
  updateUniforms();
}
void GPULevelsFilter::setMin(float min, float gamma, float max, float minOut, float maxOut) {
  setRedMin(min, gamma, max, minOut, maxOut);
  setGreenMin(min, gamma, max, minOut, maxOut);
  setBlueMin(min, gamma, max, minOut, maxOut);
}
void GPULevelsFilter::updateUniforms() {
  setVec3(minVector_, minUniform_, filterProgram());
  setVec3(midVector_, midUniform_, filterProgram());
  setVec3(maxVector_, maxUniform_, filterProgram());
  setVec3(minOutputVector_, minOutputUniform_, filterProgram());
  setVec3(maxOutputVector_, maxOutputUniform_, filterProgram());
}

void registerColorAdjustmentFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUBrightnessFilter>("GPUBrightnessFilter")
                      .message("setBrightness:", &GPUBrightnessFilter::setBrightness));
  r.registerClass(C::of<GPUExposureFilter>("GPUExposureFilter").message("setExposure:", &GPUExposureFilter::setExposure));
  r.registerClass(C::of<GPUContrastFilter>("GPUContrastFilter").message("setContrast:", &GPUContrastFilter::setContrast));
  r.registerClass(
      C::of<GPUSaturationFilter>("GPUSaturationFilter").message("setSaturation:", &GPUSaturationFilter::setSaturation));
  r.registerClass(C::of<GPUGammaFilter>("GPUGammaFilter").message("setGamma:", &GPUGammaFilter::setGamma));
  r.registerClass(C::of<GPUColorInvertFilter>("GPUColorInvertFilter"));
  r.registerClass(C::of<GPUOpacityFilter>("GPUOpacityFilter").message("setOpacity:", &GPUOpacityFilter::setOpacity));
  r.registerClass(C::of<GPURGBFilter>("GPURGBFilter")
                      .message("setRed:", &GPURGBFilter::setRed)
                      .message("setGreen:", &GPURGBFilter::setGreen)
                      .message("setBlue:", &GPURGBFilter::setBlue));
  r.registerClass(C::of<GPUPosterizeFilter>("GPUPosterizeFilter")
                      .message("setColorLevels:", &GPUPosterizeFilter::setColorLevelsNumber));
  r.registerClass(C::of<GPULuminanceThresholdFilter>("GPULuminanceThresholdFilter")
                      .message("setThreshold:", &GPULuminanceThresholdFilter::setThreshold));
  r.registerClass(
      C::of<GPUColorMatrixFilter>("GPUColorMatrixFilter").message("setIntensity:", &GPUColorMatrixFilter::setIntensity));
  r.registerClass(C::of<GPUSepiaFilter>("GPUSepiaFilter").message("setIntensity:", &GPUColorMatrixFilter::setIntensity));
  r.registerClass(C::of<GPUHueFilter>("GPUHueFilter").message("setHue:", &GPUHueFilter::setHue));
  r.registerClass(
      C::of<GPUMonochromeFilter>("GPUMonochromeFilter").message("setIntensity:", &GPUMonochromeFilter::setIntensity));
  r.registerClass(C::of<GPUFalseColorFilter>("GPUFalseColorFilter"));
  r.registerClass(C::of<GPUHazeFilter>("GPUHazeFilter")
                      .message("setDistance:", &GPUHazeFilter::setDistance)
                      .message("setSlope:", &GPUHazeFilter::setSlope));
  r.registerClass(C::of<GPUHighlightShadowFilter>("GPUHighlightShadowFilter")
                      .message("setShadows:", &GPUHighlightShadowFilter::setShadows)
                      .message("setHighlights:", &GPUHighlightShadowFilter::setHighlights));
  r.registerClass(C::of<GPUWhiteBalanceFilter>("GPUWhiteBalanceFilter")
                      .message("setTemperature:", &GPUWhiteBalanceFilter::setTemperatureNumber)
                      .message("setTint:", &GPUWhiteBalanceFilter::setTintNumber));
  r.registerClass(C::of<GPUChromaKeyFilter>("GPUChromaKeyFilter")
                      .message("setThresholdSensitivity:", &GPUChromaKeyFilter::setThresholdSensitivity)
                      .message("setSmoothing:", &GPUChromaKeyFilter::setSmoothing));
  r.registerClass(C::of<GPULevelsFilter>("GPULevelsFilter"));
}
