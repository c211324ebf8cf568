#include "gpu/filters/sketch/GPUSketchFilters.h"

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/sketch/GPUWhiteFilter.h"

namespace {

// The input's luminance l, written by `output`.
std::string luminanceFragment(const char* output) {
  return std::string(
             "precision highp float;\n"
             "varying vec2 textureCoordinate;\n"
             "uniform sampler2D inputImageTexture;\n"
             "const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
             "void main()\n"
             "{\n"
             "  vec4 c = texture2D(inputImageTexture, textureCoordinate);\n"
             "  float l = dot(c.rgb, W);\n") +
         output + "}\n";
}

// The height offset steps along x and the width offset along y.
const char* const kBlurVertex =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "uniform float texelWidthOffset;\n"
    "uniform float texelHeightOffset;\n"
    "uniform float blurSize;\n"
    "varying vec2 blurCoordinates[9];\n"
    "void main()\n"
    "{\n"
    "  gl_Position = position;\n"
    "  vec2 step = vec2(texelHeightOffset, texelWidthOffset) * blurSize;\n"
    "  vec2 c = inputTextureCoordinate.xy;\n"
    "  blurCoordinates[0] = c - 4.0 * step;\n"
    "  blurCoordinates[1] = c - 3.0 * step;\n"
    "  blurCoordinates[2] = c - 2.0 * step;\n"
    "  blurCoordinates[3] = c - step;\n"
    "  blurCoordinates[4] = c;\n"
    "  blurCoordinates[5] = c + step;\n"
    "  blurCoordinates[6] = c + 2.0 * step;\n"
    "  blurCoordinates[7] = c + 3.0 * step;\n"
    "  blurCoordinates[8] = c + 4.0 * step;\n"
    "}\n";

// The weighted sum is held in low precision.
std::string blurFragment(const char* output) {
  return std::string(
             "precision highp float;\n"
             "uniform sampler2D inputImageTexture;\n"
             "varying highp vec2 blurCoordinates[9];\n"
             "const highp vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
             "void main()\n"
             "{\n"
             "  lowp vec4 sum = vec4(0.0);\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[0]) * 0.05;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[1]) * 0.09;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[2]) * 0.12;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[3]) * 0.15;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[4]) * 0.18;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[5]) * 0.15;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[6]) * 0.12;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[7]) * 0.09;\n"
             "  sum += texture2D(inputImageTexture, blurCoordinates[8]) * 0.05;\n"
             "  highp float l = dot(sum.rgb, W);\n") +
         output + "}\n";
}

const std::string& plainBlurFragment() {
  static const std::string s = blurFragment("  gl_FragColor = vec4(vec3(l), 1.0);\n");
  return s;
}
const std::string& invertedBlurFragment() {
  static const std::string s = blurFragment("  gl_FragColor = vec4(vec3(1.0 - l), 1.0);\n");
  return s;
}

const char* const kAddBlendFragment =
    "precision mediump float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "float channel(float b, float o, float ba, float oa)\n"
    "{\n"
    "  if (o * ba + b * oa >= oa * ba) return oa * ba + o * (1.0 - ba) + b * (1.0 - oa);\n"
    "  return o + b;\n"
    "}\n"
    "void main()\n"
    "{\n"
    "  vec4 base = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec4 overlay = texture2D(inputImageTexture2, textureCoordinate2);\n"
    "  gl_FragColor = vec4(channel(base.r, overlay.r, base.a, overlay.a),\n"
    "                      channel(base.g, overlay.g, base.a, overlay.a),\n"
    "                      channel(base.b, overlay.b, base.a, overlay.a),\n"
    "                      overlay.a + base.a - overlay.a * base.a);\n"
    "}\n";

}  // namespace

GPUGrayscaleFilter::GPUGrayscaleFilter() : GPUFilter(luminanceFragment("  gl_FragColor = vec4(vec3(l), c.a);\n")) {}

GPUGrayscaleColorInvertFilter::GPUGrayscaleColorInvertFilter()
    : GPUFilter(luminanceFragment("  gl_FragColor = vec4(vec3(1.0 - l), 1.0);\n")) {}

GPUGrayscaleGaussianBlurFilter::GPUGrayscaleGaussianBlurFilter()
    : GPUGrayscaleGaussianBlurFilter(std::nullopt, std::nullopt, std::nullopt, std::nullopt) {}

GPUGrayscaleGaussianBlurFilter::GPUGrayscaleGaussianBlurFilter(const std::optional<std::string>& firstVertex,
                                                               const std::optional<std::string>& firstFragment,
                                                               const std::optional<std::string>& secondVertex,
                                                               const std::optional<std::string>& secondFragment)
    : GPUTwoPassTextureSamplingFilter(firstVertex.value_or(kBlurVertex), firstFragment.value_or(plainBlurFragment()),
                                      secondVertex.value_or(kBlurVertex),
                                      secondFragment.value_or(plainBlurFragment())) {
  performOnProcessingQueueSync([this] {
    if (filterProgram() != nullptr) horizontalBlurSizeUniform_ = filterProgram()->uniformIndex("blurSize");
    if (secondFilterProgram() != nullptr) verticalBlurSizeUniform_ = secondFilterProgram()->uniformIndex("blurSize");
  });
  setBlurSize(1.0f);
}

void GPUGrayscaleGaussianBlurFilter::setBlurSize(float size) {
  blurSize_ = size;
  setFloat(size, horizontalBlurSizeUniform_, filterProgram());
  setFloat(size, verticalBlurSizeUniform_, secondFilterProgram());
}

GPUGrayscaleGaussianBlurColorInvertFilter::GPUGrayscaleGaussianBlurColorInvertFilter()
    : GPUGrayscaleGaussianBlurFilter(std::nullopt, std::nullopt, std::string(kBlurVertex), invertedBlurFragment()) {}

GPUAddBlendFilter::GPUAddBlendFilter() : GPUTwoInputFilter(kAddBlendFragment) {}

void registerSketchFilters() {
  GPUFilterRegistry& r = GPUFilterRegistry::shared();
  r.registerClass(GPUFilterClass::of<GPUGrayscaleFilter>("GPUGrayscaleFilter"));
  r.registerClass(GPUFilterClass::of<GPUGrayscaleColorInvertFilter>("GPUGrayscaleColorInvertFilter"));
  r.registerClass(GPUFilterClass::of<GPUGrayscaleGaussianBlurFilter>("GPUGrayscaleGaussianBlurFilter")
                      .message("setBlurSize:", &GPUGrayscaleGaussianBlurFilter::setBlurSize));
  r.registerClass(
      GPUFilterClass::of<GPUGrayscaleGaussianBlurColorInvertFilter>("GPUGrayscaleGaussianBlurColorInvertFilter")
          .message("setBlurSize:", &GPUGrayscaleGaussianBlurFilter::setBlurSize));
  r.registerClass(GPUFilterClass::of<GPUAddBlendFilter>("GPUAddBlendFilter"));
  registerWhiteFilter();
}
