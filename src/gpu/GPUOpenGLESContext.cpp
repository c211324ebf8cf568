#include "gpu/GPUOpenGLESContext.h"

#include <atomic>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Extensions.h"
#include "platform/gl/Util.h"

namespace {
std::atomic<bool> bgraDisabledForTesting{false};
}

GPUOpenGLESContext::GPUOpenGLESContext() : contextQueue_("org.flipdesk.gpu.processing") {}

GPUOpenGLESContext& GPUOpenGLESContext::sharedImageProcessingOpenGLESContext() {
  // Never destroyed: the queue's thread and the GL objects of the cache live
  // until the process ends, and nothing may tear them down under a late job.
  static GPUOpenGLESContext* shared = new GPUOpenGLESContext();
  return *shared;
}

fd::DispatchQueue& GPUOpenGLESContext::sharedOpenGLESQueue() {
  return sharedImageProcessingOpenGLESContext().contextQueue_;
}

glx::Context* GPUOpenGLESContext::context() {
  if (!context_ && !contextFailed_) {
    context_ = glx::Context::create(2, sharegroup_);
    if (!context_ || !context_->makeCurrent()) {
      fd::Log("GPU: no OpenGL ES 2 context for image processing; the pipeline draws nothing\n");
      context_.reset();
      contextFailed_ = true;
      return nullptr;
    }
    glDisable(GL_DEPTH_TEST);
    bgraTextures_ = glx::supportsBGRATextures();
    if (!bgraTextures_) fd::Log("GPU: no BGRA textures; pixels are swizzled before upload\n");
  }
  return context_.get();
}

void GPUOpenGLESContext::useSharegroup(const glx::Context* shareWith) { sharegroup_ = shareWith; }

bool GPUOpenGLESContext::useImageProcessingContext() {
  GPUOpenGLESContext& shared = sharedImageProcessingOpenGLESContext();
  if (!shared.contextQueue_.isCurrent()) {
    fd::Log("GPU: GL work asked for off the processing queue; refused\n");
    return false;
  }
  glx::Context* c = shared.context();
  return c != nullptr && c->makeCurrent();
}

void GPUOpenGLESContext::setActiveShaderProgram(GLProgram* program) {
  if (!useImageProcessingContext()) return;
  GPUOpenGLESContext& shared = sharedImageProcessingOpenGLESContext();
  if (program != shared.currentShaderProgram_) {
    shared.currentShaderProgram_ = program;
    if (program != nullptr) program->use();
  }
}

int GPUOpenGLESContext::maximumTextureSizeForThisDevice() {
  static const int size = [] {
    int s = 0;
    performOnProcessingQueueSync([&] {
      if (useImageProcessingContext()) s = glx::maxTextureSize();
    });
    return s;
  }();
  return size;
}

int GPUOpenGLESContext::maximumTextureUnitsForThisDevice() {
  GLint units = 0;
  performOnProcessingQueueSync([&] {
    if (useImageProcessingContext()) glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
  });
  return units;
}

gfx::Size GPUOpenGLESContext::sizeThatFits(gfx::Size size, float m) {
  if (size.width < m && size.height < m) return size;
  if (size.width > size.height) return {m, size.height * m / size.width};
  return {size.width * m / size.height, m};
}

gfx::Size GPUOpenGLESContext::sizeThatFitsWithinATextureForSize(gfx::Size size) {
  return sizeThatFits(size, static_cast<float>(maximumTextureSizeForThisDevice()));
}

bool GPUOpenGLESContext::supportsBGRATextures() {
  bool supported = false;
  performOnProcessingQueueSync([&] {
    if (useImageProcessingContext()) supported = sharedImageProcessingOpenGLESContext().bgraTextures_;
  });
  return supported && !bgraDisabledForTesting.load();
}

void GPUOpenGLESContext::setBGRATexturesDisabledForTesting(bool disabled) { bgraDisabledForTesting = disabled; }

GLProgram* GPUOpenGLESContext::programForVertexShaderString(const std::optional<std::string>& vertexShader,
                                                            const std::optional<std::string>& fragmentShader) {
  const std::string key =
      "V: " + vertexShader.value_or("(null)") + " - F: " + fragmentShader.value_or("(null)");
  auto it = shaderProgramCache_.find(key);
  if (it != shaderProgramCache_.end()) return it->second.get();
  auto program = std::make_unique<GLProgram>(vertexShader, fragmentShader);
  GLProgram* p = program.get();
  shaderProgramCache_.emplace(key, std::move(program));
  return p;
}

void GPUOpenGLESContext::presentBufferForDisplay() {
  if (context_) context_->presentRenderbuffer();
}

void performOnMainQueueSync(const std::function<void()>& job) { fd::performOnMain(job, true); }

void performOnProcessingQueueSync(const std::function<void()>& job) {
  fd::DispatchQueue& queue = GPUOpenGLESContext::sharedOpenGLESQueue();
  if (queue.isCurrent()) {
    job();
  } else {
    queue.sync(job);
  }
}

void performOnProcessingQueueAsync(std::function<void()> job) {
  fd::DispatchQueue& queue = GPUOpenGLESContext::sharedOpenGLESQueue();
  if (queue.isCurrent()) {
    job();
  } else {
    queue.async(std::move(job));
  }
}
