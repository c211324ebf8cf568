#include "gpu/filters/blend/GPUBlendFilters.h"

#include <string>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/GPUStockFilterSupport.h"

namespace {

// The shared head of every blend: precision, both samplers, both
// coordinates; the body reads `base` and `overlay`.
std::string blendShader(const char* precision, const std::string& body) {
  return std::string("precision ") + precision +
         " float;\n"
         "varying highp vec2 textureCoordinate;\n"
         "varying highp vec2 textureCoordinate2;\n"
         "uniform sampler2D inputImageTexture;\n"
         "uniform sampler2D inputImageTexture2;\n" +
         body;
}

std::string mainOf(const std::string& statements) {
  return "void main() {\n"
         "  vec4 base = texture2D(inputImageTexture, textureCoordinate);\n"
         "  vec4 overlay = texture2D(inputImageTexture2, textureCoordinate2);\n" +
         statements + "}\n";
}

std::string lowp(const std::string& statements) { return blendShader("lowp", mainOf(statements)); }
std::string mediump(const std::string& statements) { return blendShader("mediump", mainOf(statements)); }

const std::string kColorBurn = mediump(
    // A zero overlay channel burns to black, or stays white where the base
    // is white (the 0/0 case), instead of dividing by zero.
    "  vec4 burnt = vec4(1.0) - (vec4(1.0) - base) / max(overlay, vec4(1.0e-4));\n"
    "  vec4 atZero = step(vec4(1.0), base);\n"
    "  gl_FragColor = mix(atZero, clamp(burnt, 0.0, 1.0), step(vec4(1.0e-4), overlay));\n");

const std::string kColorDodge = mediump(
    "  vec3 baseOverlayAlphaProduct = vec3(overlay.a * base.a);\n"
    "  vec3 rightHandProduct = overlay.rgb * (1.0 - base.a) + base.rgb * (1.0 - overlay.a);\n"
    "  vec3 firstBlendColor = baseOverlayAlphaProduct + rightHandProduct;\n"
    "  vec3 overlayRGB = clamp((overlay.rgb / clamp(overlay.a, 0.01, 1.0)) * step(0.0, overlay.a), 0.0, 0.99);\n"
    "  vec3 secondBlendColor = (base.rgb * overlay.a) / (1.0 - overlayRGB) + rightHandProduct;\n"
    "  vec3 colorChoice = step(overlay.rgb * base.a + base.rgb * overlay.a, baseOverlayAlphaProduct);\n"
    "  gl_FragColor = vec4(mix(firstBlendColor, secondBlendColor, colorChoice), 1.0);\n");

const std::string kDarken = lowp(
    "  gl_FragColor = vec4(min(overlay.rgb * base.a, base.rgb * overlay.a) + overlay.rgb * (1.0 - base.a)"
    " + base.rgb * (1.0 - overlay.a), 1.0);\n");

const std::string kLighten = lowp("  gl_FragColor = max(base, overlay);\n");

const std::string kDifference = mediump("  gl_FragColor = vec4(abs(overlay.rgb - base.rgb), base.a);\n");

const std::string kSubtract = lowp("  gl_FragColor = vec4(base.rgb - overlay.rgb, base.a);\n");

// Per channel; the ratio test is cross-multiplied so a zero overlay channel
// counts as an infinite ratio when the base has colour there, and the second
// branch's quotient is 0 when both are zero.
const std::string kDivide = blendShader("mediump",
    "highp float divideChannel(highp float b, highp float o, highp float ba, highp float oa) {\n"
    "  highp float rest = o * (1.0 - ba) + b * (1.0 - oa);\n"
    "  if (oa == 0.0 || b * oa > ba * o) return oa * ba + rest;\n"
    "  highp float quotient = o > 0.0 ? b * oa * oa / o : 0.0;\n"
    "  return quotient + rest;\n"
    "}\n" +
    mainOf("  gl_FragColor = vec4(divideChannel(base.r, overlay.r, base.a, overlay.a),\n"
           "                      divideChannel(base.g, overlay.g, base.a, overlay.a),\n"
           "                      divideChannel(base.b, overlay.b, base.a, overlay.a),\n"
           "                      overlay.a + base.a - overlay.a * base.a);\n"));

const std::string kExclusion = mediump(
    "  gl_FragColor = vec4((overlay.rgb * base.a + base.rgb * overlay.a - 2.0 * overlay.rgb * base.rgb)"
    " + overlay.rgb * (1.0 - base.a) + base.rgb * (1.0 - overlay.a), base.a);\n");

// Hard light tests the overlay, overlay the base: `t` is the tested colour.
std::string lightShader(const char* tested) {
  return blendShader("mediump",
      "highp float lightChannel(highp float b, highp float o, highp float ba, highp float oa, highp float t,"
      " highp float ta) {\n"
      "  highp float rest = o * (1.0 - ba) + b * (1.0 - oa);\n"
      "  if (2.0 * t < ta) return 2.0 * o * b + rest;\n"
      "  return oa * ba - 2.0 * (ba - b) * (oa - o) + rest;\n"
      "}\n" +
      mainOf(std::string("  vec4 t = ") + tested + ";\n" +
             "  gl_FragColor = vec4(lightChannel(base.r, overlay.r, base.a, overlay.a, t.r, t.a),\n"
             "                      lightChannel(base.g, overlay.g, base.a, overlay.a, t.g, t.a),\n"
             "                      lightChannel(base.b, overlay.b, base.a, overlay.a, t.b, t.a), 1.0);\n"));
}

const std::string kMultiply =
    lowp("  gl_FragColor = overlay * base + overlay * (1.0 - base.a) + base * (1.0 - overlay.a);\n");

const std::string kScreen = mediump("  gl_FragColor = vec4(1.0) - ((vec4(1.0) - overlay) * (vec4(1.0) - base));\n");

// A transparent base (whose premultiplied colour is 0) is not divided by.
const std::string kSoftLight = mediump(
    "  vec4 unpremultiplied = base / max(base.a, 1.0e-4);\n"
    "  gl_FragColor = base * (overlay.a * unpremultiplied + (2.0 * overlay * (1.0 - unpremultiplied)))"
    " + overlay * (1.0 - base.a) + base * (1.0 - overlay.a);\n");

const std::string kNormal = lowp(
    "  gl_FragColor = vec4(overlay.rgb + base.rgb * base.a * (1.0 - overlay.a),"
    " overlay.a + base.a * (1.0 - overlay.a));\n");

const std::string kSourceOver = lowp("  gl_FragColor = mix(base, overlay, overlay.a);\n");

const std::string kMask = lowp(
    "  float newAlpha = dot(overlay.rgb, vec3(0.33333334, 0.33333334, 0.33333334)) * overlay.a;\n"
    "  gl_FragColor = vec4(base.rgb, newAlpha);\n");

const std::string kAlpha = blendShader("lowp",
    "uniform lowp float mixturePercent;\n" +
    mainOf("  gl_FragColor = vec4(mix(base.rgb, overlay.rgb, overlay.a * mixturePercent), base.a);\n"));

const std::string kDissolve = blendShader("lowp",
    "uniform lowp float mixturePercent;\n" + mainOf("  gl_FragColor = mix(base, overlay, mixturePercent);\n"));

const std::string kChromaKey = blendShader("highp",
    "uniform float thresholdSensitivity;\n"
    "uniform float smoothing;\n"
    "uniform vec3 colorToReplace;\n" +
    mainOf("  float maskY = 0.2989 * colorToReplace.r + 0.5866 * colorToReplace.g + 0.1145 * colorToReplace.b;\n"
           "  float maskCr = 0.7132 * (colorToReplace.r - maskY);\n"
           "  float maskCb = 0.5647 * (colorToReplace.b - maskY);\n"
           "  float Y = 0.2989 * base.r + 0.5866 * base.g + 0.1145 * base.b;\n"
           "  float Cr = 0.7132 * (base.r - Y);\n"
           "  float Cb = 0.5647 * (base.b - Y);\n"
           "  float blendValue = 1.0 - smoothstep(thresholdSensitivity, thresholdSensitivity + smoothing,"
           " distance(vec2(Cr, Cb), vec2(maskCr, maskCb)));\n"
           "  gl_FragColor = mix(base, overlay, blendValue);\n"));

// Two tiles, the blue level below and above, each read at the cell of red
// and green, mixed by the fraction of the level.
const std::string kLookup = blendShader("highp",
    "vec2 cellOf(float level, vec4 c) {\n"
    "  float row = floor(level / 8.0);\n"
    "  float column = level - row * 8.0;\n"
    "  return vec2(column * 0.125 + 0.5 / 512.0 + (0.125 - 1.0 / 512.0) * c.r,\n"
    "              row * 0.125 + 0.5 / 512.0 + (0.125 - 1.0 / 512.0) * c.g);\n"
    "}\n"
    "void main() {\n"
    "  vec4 base = texture2D(inputImageTexture, textureCoordinate);\n"
    "  float blue = base.b * 63.0;\n"
    "  vec4 lower = texture2D(inputImageTexture2, cellOf(floor(blue), base));\n"
    "  vec4 upper = texture2D(inputImageTexture2, cellOf(ceil(blue), base));\n"
    "  gl_FragColor = vec4(mix(lower.rgb, upper.rgb, fract(blue)), base.a);\n"
    "}\n");

}  // namespace

GPUColorBurnBlendFilter::GPUColorBurnBlendFilter() : GPUPlainBlendFilter(kColorBurn) {}
GPUColorDodgeBlendFilter::GPUColorDodgeBlendFilter() : GPUPlainBlendFilter(kColorDodge) {}
GPUDarkenBlendFilter::GPUDarkenBlendFilter() : GPUPlainBlendFilter(kDarken) {}
GPULightenBlendFilter::GPULightenBlendFilter() : GPUPlainBlendFilter(kLighten) {}
GPUDifferenceBlendFilter::GPUDifferenceBlendFilter() : GPUPlainBlendFilter(kDifference) {}
GPUSubtractBlendFilter::GPUSubtractBlendFilter() : GPUPlainBlendFilter(kSubtract) {}
GPUDivideBlendFilter::GPUDivideBlendFilter() : GPUPlainBlendFilter(kDivide) {}
GPUExclusionBlendFilter::GPUExclusionBlendFilter() : GPUPlainBlendFilter(kExclusion) {}
GPUHardLightBlendFilter::GPUHardLightBlendFilter() : GPUPlainBlendFilter(lightShader("overlay")) {}
GPUOverlayBlendFilter::GPUOverlayBlendFilter() : GPUPlainBlendFilter(lightShader("base")) {}
GPUMultiplyBlendFilter::GPUMultiplyBlendFilter() : GPUPlainBlendFilter(kMultiply) {}
GPUScreenBlendFilter::GPUScreenBlendFilter() : GPUPlainBlendFilter(kScreen) {}
GPUSoftLightBlendFilter::GPUSoftLightBlendFilter() : GPUPlainBlendFilter(kSoftLight) {}
GPUNormalBlendFilter::GPUNormalBlendFilter() : GPUPlainBlendFilter(kNormal) {}
GPUSourceOverBlendFilter::GPUSourceOverBlendFilter() : GPUPlainBlendFilter(kSourceOver) {}
GPULookupFilter::GPULookupFilter() : GPUPlainBlendFilter(kLookup) {}

GPUAlphaBlendFilter::GPUAlphaBlendFilter() : GPUTwoInputFilter(kAlpha) {
  mixUniform_ = stockUniformIndex(*this, "mixturePercent");
  setMix(0.5f);
}
void GPUAlphaBlendFilter::setMix(float mix) {
  mix_ = mix;
  setFloat(mix, mixUniform_, filterProgram());
}

GPUDissolveBlendFilter::GPUDissolveBlendFilter() : GPUTwoInputFilter(kDissolve) {
  mixUniform_ = stockUniformIndex(*this, "mixturePercent");
  setMix(0.5f);
}
void GPUDissolveBlendFilter::setMix(float mix) {
  mix_ = mix;
  setFloat(mix, mixUniform_, filterProgram());
}

GPUChromaKeyBlendFilter::GPUChromaKeyBlendFilter() : GPUChromaKeying<GPUTwoInputFilter>(kChromaKey) {}

GPUMaskFilter::GPUMaskFilter() : GPUTwoInputFilter(kMask) {}

void GPUMaskFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                GLuint sourceTexture) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  GPUTwoInputFilter::renderToTextureWithVertices(vertices, textureCoordinates, sourceTexture);
  glDisable(GL_BLEND);
}

void registerBlendFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  r.registerClass(C::of<GPUColorBurnBlendFilter>("GPUColorBurnBlendFilter"));
  r.registerClass(C::of<GPUColorDodgeBlendFilter>("GPUColorDodgeBlendFilter"));
  r.registerClass(C::of<GPUDarkenBlendFilter>("GPUDarkenBlendFilter"));
  r.registerClass(C::of<GPULightenBlendFilter>("GPULightenBlendFilter"));
  r.registerClass(C::of<GPUDifferenceBlendFilter>("GPUDifferenceBlendFilter"));
  r.registerClass(C::of<GPUSubtractBlendFilter>("GPUSubtractBlendFilter"));
  r.registerClass(C::of<GPUDivideBlendFilter>("GPUDivideBlendFilter"));
  r.registerClass(C::of<GPUExclusionBlendFilter>("GPUExclusionBlendFilter"));
  r.registerClass(C::of<GPUHardLightBlendFilter>("GPUHardLightBlendFilter"));
  r.registerClass(C::of<GPUOverlayBlendFilter>("GPUOverlayBlendFilter"));
  r.registerClass(C::of<GPUMultiplyBlendFilter>("GPUMultiplyBlendFilter"));
  r.registerClass(C::of<GPUScreenBlendFilter>("GPUScreenBlendFilter"));
  r.registerClass(C::of<GPUSoftLightBlendFilter>("GPUSoftLightBlendFilter"));
  r.registerClass(C::of<GPUNormalBlendFilter>("GPUNormalBlendFilter"));
  r.registerClass(C::of<GPUSourceOverBlendFilter>("GPUSourceOverBlendFilter"));
  r.registerClass(C::of<GPULookupFilter>("GPULookupFilter"));
  r.registerClass(C::of<GPUMaskFilter>("GPUMaskFilter"));
  r.registerClass(C::of<GPUAlphaBlendFilter>("GPUAlphaBlendFilter").message("setMix:", &GPUAlphaBlendFilter::setMix));
  r.registerClass(
      C::of<GPUDissolveBlendFilter>("GPUDissolveBlendFilter").message("setMix:", &GPUDissolveBlendFilter::setMix));
  using K = GPUChromaKeyBlendFilter;
  r.registerClass(C::of<K>("GPUChromaKeyBlendFilter")
                      .message("setThresholdSensitivity:", &K::setThresholdSensitivity)
                      .message("setSmoothing:", &K::setSmoothing));
}
