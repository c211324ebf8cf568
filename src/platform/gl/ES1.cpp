#include "platform/gl/ES1.h"

#include <EGL/egl.h>

#include "platform/gl/Extensions.h"

namespace glx::es1 {

namespace {

template <typename F>
bool load(F& f, const char* name) {
  f = reinterpret_cast<F>(eglGetProcAddress(name));
  return f != nullptr;
}

FramebufferObject lookUp(bool& complete) {
  FramebufferObject f;
  complete = load(f.genFramebuffers, "glGenFramebuffersOES") &&
             load(f.deleteFramebuffers, "glDeleteFramebuffersOES") &&
             load(f.bindFramebuffer, "glBindFramebufferOES") &&
             load(f.checkFramebufferStatus, "glCheckFramebufferStatusOES") &&
             load(f.framebufferRenderbuffer, "glFramebufferRenderbufferOES") &&
             load(f.genRenderbuffers, "glGenRenderbuffersOES") &&
             load(f.deleteRenderbuffers, "glDeleteRenderbuffersOES") &&
             load(f.bindRenderbuffer, "glBindRenderbufferOES") &&
             load(f.renderbufferStorage, "glRenderbufferStorageOES") &&
             load(f.getRenderbufferParameteriv, "glGetRenderbufferParameterivOES");
  return f;
}

}  // namespace

const FramebufferObject* framebufferObject() {
  static bool complete = false;
  static const FramebufferObject functions = lookUp(complete);
  return complete ? &functions : nullptr;
}

bool hasFramebufferObject() {
  return hasExtension("GL_OES_framebuffer_object") && framebufferObject() != nullptr;
}

}  // namespace glx::es1
