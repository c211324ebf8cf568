#include "gpu/filters/sketch/GPUWhiteFilter.h"

#include "gpu/GPUFilterRegistry.h"

const char* const kGPUWhiteFragmentShaderString =
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "void main()\n"
    "{\n"
    "  lowp vec4 c = texture2D(inputImageTexture, textureCoordinate);\n"
    "  gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0 - c.r);\n"
    "}\n";

GPUWhiteFilter::GPUWhiteFilter() : GPUFilter(kGPUWhiteFragmentShaderString) {}

void registerWhiteFilter() {
  GPUFilterRegistry::shared().registerClass(GPUFilterClass::of<GPUWhiteFilter>("GPUWhiteFilter"));
}
