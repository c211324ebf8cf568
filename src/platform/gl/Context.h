#pragma once
// OpenGL ES contexts (the phone's EAGL context): created on the shared display,
// optionally sharing objects with another context, current on one thread at a
// time. Rendering goes to framebuffer objects, so no surface is ever bound.
#include <EGL/egl.h>

#include <memory>

namespace glx {

class GLLayer;

class Context {
 public:
  // apiVersion 2 (ES 2.0) or 1 (ES 1.1). nullptr when the display or the
  // context cannot be made.
  static std::unique_ptr<Context> create(int apiVersion = 2, const Context* shareWith = nullptr);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  int apiVersion() const { return apiVersion_; }
  EGLContext handle() const { return context_; }

  // Makes this context current on the calling thread.
  bool makeCurrent() const;
  bool isCurrent() const;
  // Leaves the calling thread with no current context.
  static void clearCurrent();
  // The context current on the calling thread, if it is one of ours.
  static Context* current();

  // Storage for the renderbuffer bound to GL_RENDERBUFFER, sized and formatted
  // from the layer; the layer remembers it for presentRenderbuffer.
  bool renderbufferStorage(GLLayer& layer);
  // Presents the renderbuffer bound to GL_RENDERBUFFER on its layer.
  bool presentRenderbuffer();

 private:
  friend class GLLayer;
  // A layer going away leaves no trace in its context's records.
  static void forgetLayer(GLLayer& layer);

  Context(EGLContext c, int apiVersion) : context_(c), apiVersion_(apiVersion) {}
  EGLContext context_;
  int apiVersion_;
};

// Makes a context current for a scope and restores whatever was current before
// (another context or none) when the scope ends.
class ContextGuard {
 public:
  explicit ContextGuard(const Context& context);
  ~ContextGuard();
  ContextGuard(const ContextGuard&) = delete;
  ContextGuard& operator=(const ContextGuard&) = delete;

  bool ok() const { return ok_; }

 private:
  EGLContext previous_;
  EGLSurface previousDraw_;
  EGLSurface previousRead_;
  bool changed_ = false;
  bool ok_ = false;
};

}  // namespace glx
