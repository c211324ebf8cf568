#include "gpu/filters/GPUStockFilterSupport.h"

#include "gpu/GPUOpenGLESContext.h"
#include "platform/gl/Util.h"

const char* const kGPUFourCornerVertexShaderString =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "uniform float texelWidth;\n"
    "uniform float texelHeight;\n"
    "varying vec2 upperLeftInputTextureCoordinate;\n"
    "varying vec2 upperRightInputTextureCoordinate;\n"
    "varying vec2 lowerLeftInputTextureCoordinate;\n"
    "varying vec2 lowerRightInputTextureCoordinate;\n"
    "void main() {\n"
    "  gl_Position = position;\n"
    "  vec2 tc = inputTextureCoordinate.xy;\n"
    "  upperLeftInputTextureCoordinate = tc + vec2(-texelWidth, -texelHeight);\n"
    "  upperRightInputTextureCoordinate = tc + vec2(texelWidth, -texelHeight);\n"
    "  lowerLeftInputTextureCoordinate = tc + vec2(-texelWidth, texelHeight);\n"
    "  lowerRightInputTextureCoordinate = tc + vec2(texelWidth, texelHeight);\n}\n";

gfx::Image stockImageFromFramebuffer(GLuint framebuffer, gfx::Size size) {
  const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
  if (w <= 0 || h <= 0 || framebuffer == 0) return {};
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  gfx::Image image(w, h);
  glx::readPixels(0, 0, w, h, image.pixels());
  return image;
}

GLint stockUniformIndex(const GPUFilter& filter, const std::string& name) {
  GLint location = -1;
  performOnProcessingQueueSync([&] {
    if (filter.filterProgram() != nullptr && GPUOpenGLESContext::useImageProcessingContext()) {
      location = filter.filterProgram()->uniformIndex(name);
    }
  });
  return location;
}

float stockAspectRatio(gfx::Size size, RotationMode rotation) {
  if (size.width <= 0 || size.height <= 0) return 0.0f;
  return rotationSwapsWidthAndHeight(rotation) ? size.width / size.height : size.height / size.width;
}

float stockMinimumCellWidth(gfx::Size inputSize) {
  return inputSize.width > 0 ? 1.0f / inputSize.width : 1.0f / 2048.0f;
}

void GPUAspectRatioFilter::setInputSize(gfx::Size size, int textureIndex) {
  const gfx::Size before = inputTextureSize_;
  GPUFilter::setInputSize(size, textureIndex);
  if (before == inputTextureSize_ || size == gfx::Size{}) return;
  setAspectRatio(stockAspectRatio(inputTextureSize_, inputRotation_));
}
