#include "gpu/filters/GPUStockFilterSupport.h"

#include "gpu/GPUOpenGLESContext.h"

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
