#include "platform/gl/Util.h"

#include <atomic>

#include "platform/foundation/Log.h"

namespace glx {

void readPixels(int x, int y, int width, int height, std::uint8_t* out) {
  if (width <= 0 || height <= 0 || out == nullptr) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
}

namespace {
int queryLimit(GLenum name, std::atomic<int>& cache) {
  int v = cache.load(std::memory_order_relaxed);
  if (v > 0) return v;
  GLint value = 0;
  glGetIntegerv(name, &value);
  if (value <= 0) return 2048;  // no context yet: the least ES 2 devices offer
  cache.store(value, std::memory_order_relaxed);
  return value;
}
std::atomic<int> textureLimit{0};
std::atomic<int> renderbufferLimit{0};
}  // namespace

int maxTextureSize() { return queryLimit(GL_MAX_TEXTURE_SIZE, textureLimit); }
int maxRenderbufferSize() { return queryLimit(GL_MAX_RENDERBUFFER_SIZE, renderbufferLimit); }

const char* errorName(GLenum error) {
  switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    default: return "(ERROR: Unknown Error Enum)";
  }
}

void logErrors(const char* file, int line) {
  for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) {
    fd::Log("GLError %s set in File:%s Line:%d\n", errorName(e), file, line);
  }
}

void clearErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

}  // namespace glx
