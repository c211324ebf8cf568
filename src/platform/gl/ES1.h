#pragma once
// OpenGL ES 1.1 beside the ES 2 contexts (Context::create(1)): the entry
// points of the framebuffer-object extension, which the ES 1 library does not
// export and EGL hands out, and owners for the names it makes. Textures and
// buffers share glGen/glDelete with ES 2, so TextureHandle serves both.
#include <GLES/gl.h>
#include <GLES/glext.h>

#include "platform/gl/Handles.h"

namespace glx::es1 {

struct FramebufferObject {
  PFNGLGENFRAMEBUFFERSOESPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSOESPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFEROESPROC bindFramebuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSOESPROC checkFramebufferStatus = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFEROESPROC framebufferRenderbuffer = nullptr;
  PFNGLGENRENDERBUFFERSOESPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSOESPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFEROESPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEOESPROC renderbufferStorage = nullptr;
  PFNGLGETRENDERBUFFERPARAMETERIVOESPROC getRenderbufferParameteriv = nullptr;
};

// The extension's functions, looked up once; nullptr when the driver lacks
// any of them. Calling them still needs an ES 1 context current.
const FramebufferObject* framebufferObject();
// The current context lists GL_OES_framebuffer_object.
bool hasFramebufferObject();

namespace detail {
struct FramebufferTraits {
  static GLuint create() {
    GLuint n = 0;
    if (const FramebufferObject* f = framebufferObject()) f->genFramebuffers(1, &n);
    return n;
  }
  static void destroy(GLuint n) { framebufferObject()->deleteFramebuffers(1, &n); }
};
struct RenderbufferTraits {
  static GLuint create() {
    GLuint n = 0;
    if (const FramebufferObject* f = framebufferObject()) f->genRenderbuffers(1, &n);
    return n;
  }
  static void destroy(GLuint n) { framebufferObject()->deleteRenderbuffers(1, &n); }
};
}  // namespace detail

using FramebufferHandle = Handle<detail::FramebufferTraits>;
using RenderbufferHandle = Handle<detail::RenderbufferTraits>;

}  // namespace glx::es1
