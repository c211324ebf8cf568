#include "gpu/GPUTextureEndpoints.h"

#include "gpu/GPUOpenGLESContext.h"

GPUTextureInput::GPUTextureInput(GLuint texture, gfx::Size size) : texture_(texture), textureSize_(size) {}

GPUTextureInput::~GPUTextureInput() {
  // A queued send still uses this source: wait it out.
  performOnProcessingQueueSync([] {});
}

void GPUTextureInput::processTextureWithFrameTime(CMTime frameTime) {
  performOnProcessingQueueAsync([this, frameTime] {
    for (const TargetEntry& e : targetEntries()) {
      e.target->setInputSize(textureSize_, e.textureIndex);
      e.target->newFrameReadyAtTime(frameTime, e.textureIndex);
    }
  });
}
