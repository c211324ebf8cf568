#pragma once
// Small filters for the GPU pipeline's tests and benchmarks, written the way
// the pipeline's filters are: a shader string handed to the base, uniforms
// looked up once and set through the typed setters. Header-only, so the
// shared test library needs no GL.
#include <string>
#include <vector>

#include "gpu/GPUFilter.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/GPUTwoPassFilter.h"

namespace gputest {

// Luminance with the weights (0.2125, 0.7154, 0.0721), alpha kept.
inline const char* const kGrayscaleFragment =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "const vec3 W = vec3(0.2125, 0.7154, 0.0721);\n"
    "void main()\n"
    "{\n"
    "  vec4 c = texture2D(inputImageTexture, textureCoordinate);\n"
    "  float l = dot(c.rgb, W);\n"
    "  gl_FragColor = vec4(vec3(l), c.a);\n"
    "}\n";

class GrayscaleTestFilter : public GPUFilter {
 public:
  GrayscaleTestFilter() : GPUFilter(kGrayscaleFragment) {}
};

// Colour times a scalar intensity and a per-channel factor array.
inline const char* const kTintFragment =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform float intensity;\n"
    "uniform float channelFactors[3];\n"
    "void main()\n"
    "{\n"
    "  vec4 c = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec3 f = vec3(channelFactors[0], channelFactors[1], channelFactors[2]);\n"
    "  gl_FragColor = vec4(c.rgb * intensity * f, c.a);\n"
    "}\n";

class TintTestFilter : public GPUFilter {
 public:
  TintTestFilter() : GPUFilter(kTintFragment) {
    intensityUniform_ = uniformIndexOf("intensity");
    factorsUniform_ = uniformIndexOf("channelFactors");
    setIntensity(1.0f);
    const float ones[3] = {1, 1, 1};
    setChannelFactors(ones);
  }
  void setIntensity(float v) {
    intensity_ = v;
    setFloat(v, intensityUniform_, filterProgram());
  }
  float intensity() const { return intensity_; }
  void setChannelFactors(const float* three) { setFloatArray(three, 3, factorsUniform_, filterProgram()); }
  // For configurations: a list of three numbers.
  void setChannelFactorList(const std::vector<GPUFilterListElement>& list) {
    std::vector<float> values;
    for (const auto& e : list) values.push_back(std::get<float>(e));
    if (values.size() == 3) setChannelFactors(values.data());
  }
  std::string label;
  void setLabel(const std::string& text) { label = text; }
  gfx::Point anchor;
  void setAnchor(gfx::Point p) { anchor = p; }

 private:
  GLint uniformIndexOf(const char* name) {
    GLint location = -1;
    performOnProcessingQueueSync([&] {
      if (filterProgram() != nullptr && GPUOpenGLESContext::useImageProcessingContext()) {
        location = filterProgram()->uniformIndex(name);
      }
    });
    return location;
  }
  GLint intensityUniform_ = -1;
  GLint factorsUniform_ = -1;
  float intensity_ = 1;
};

// Adds the second input to the first, clamped; the first input's alpha.
inline const char* const kAddBlendFragment =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "varying highp vec2 textureCoordinate2;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D inputImageTexture2;\n"
    "void main()\n"
    "{\n"
    "  vec4 base = texture2D(inputImageTexture, textureCoordinate);\n"
    "  vec4 overlay = texture2D(inputImageTexture2, textureCoordinate2);\n"
    "  gl_FragColor = vec4(min(base.rgb + overlay.rgb, vec3(1.0)), base.a);\n"
    "}\n";

class AddBlendTestFilter : public GPUTwoInputFilter {
 public:
  AddBlendTestFilter() : GPUTwoInputFilter(kAddBlendFragment) {}
};

// Three taps (1/4, 1/2, 1/4) along the pass's texel step into c; the ending
// decides what is written.
inline const char* const kBlurSampling =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform float texelWidthOffset;\n"
    "uniform float texelHeightOffset;\n"
    "void main()\n"
    "{\n"
    "  vec2 step = vec2(texelWidthOffset, texelHeightOffset);\n"
    "  vec4 c = texture2D(inputImageTexture, textureCoordinate - step) * 0.25\n"
    "         + texture2D(inputImageTexture, textureCoordinate) * 0.5\n"
    "         + texture2D(inputImageTexture, textureCoordinate + step) * 0.25;\n";
inline const std::string kBlurFragment = std::string(kBlurSampling) + "  gl_FragColor = c;\n}\n";
// The colour limited to one half afterwards: the order of the passes shows.
inline const std::string kBlurLimitFragment =
    std::string(kBlurSampling) + "  gl_FragColor = vec4(min(c.rgb, vec3(0.5)), c.a);\n}\n";

class BlurTestFilter : public GPUTwoPassTextureSamplingFilter {
 public:
  // limitAfter: the second (horizontal) pass limits its result to one half.
  explicit BlurTestFilter(bool limitAfter = false)
      : GPUTwoPassTextureSamplingFilter(kGPUVertexShaderString, kBlurFragment, kGPUVertexShaderString,
                                        limitAfter ? kBlurLimitFragment : kBlurFragment) {}
};

}  // namespace gputest
