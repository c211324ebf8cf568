#include "platform/gl/Context.h"

#include <EGL/eglext.h>
#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>

#include <mutex>
#include <unordered_map>

#include "platform/foundation/Log.h"
#include "platform/gl/Display.h"
#include "platform/gl/GLLayer.h"
#include "platform/gl/Util.h"

namespace glx {

namespace {

// EGL hands back raw handles; this maps them to our objects for current().
std::mutex registryMutex;
std::unordered_map<EGLContext, Context*>& registry() {
  static std::unordered_map<EGLContext, Context*> r;
  return r;
}

// Layers by the renderbuffer that holds their storage, per context (names are
// per share group, but a layer belongs to one canvas and its one context).
std::unordered_map<const Context*, std::unordered_map<GLuint, GLLayer*>>& layers() {
  static std::unordered_map<const Context*, std::unordered_map<GLuint, GLLayer*>> l;
  return l;
}

}  // namespace

std::unique_ptr<Context> Context::create(int apiVersion, const Context* shareWith) {
  Display& display = Display::shared();
  if (!display.valid()) return nullptr;
  eglBindAPI(EGL_OPENGL_ES_API);
  const EGLint attribs[] = {EGL_CONTEXT_CLIENT_VERSION, apiVersion, EGL_NONE};
  EGLContext share = shareWith != nullptr ? shareWith->handle() : EGL_NO_CONTEXT;
  EGLContext c = eglCreateContext(display.handle(), EGL_NO_CONFIG_KHR, share, attribs);
  if (c == EGL_NO_CONTEXT) {
    fd::Log("glx: cannot create an ES %d context (error 0x%x)\n", apiVersion, eglGetError());
    return nullptr;
  }
  std::unique_ptr<Context> context(new Context(c, apiVersion));
  std::lock_guard lock(registryMutex);
  registry()[c] = context.get();
  return context;
}

Context::~Context() {
  EGLDisplay d = Display::shared().handle();
  if (isCurrent()) clearCurrent();
  {
    std::lock_guard lock(registryMutex);
    registry().erase(context_);
    for (auto& [name, layer] : layers()[this]) layer->storageContext_ = nullptr;
    layers().erase(this);
  }
  eglDestroyContext(d, context_);
}

bool Context::makeCurrent() const {
  if (isCurrent()) return true;
  return eglMakeCurrent(Display::shared().handle(), EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
}

bool Context::isCurrent() const { return eglGetCurrentContext() == context_; }

void Context::clearCurrent() {
  eglMakeCurrent(Display::shared().handle(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

Context* Context::current() {
  EGLContext c = eglGetCurrentContext();
  if (c == EGL_NO_CONTEXT) return nullptr;
  std::lock_guard lock(registryMutex);
  auto it = registry().find(c);
  return it == registry().end() ? nullptr : it->second;
}

bool Context::renderbufferStorage(GLLayer& layer) {
  if (!isCurrent()) return false;
  GLint bound = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
  if (bound == 0) return false;
  const int w = layer.drawableWidth();
  const int h = layer.drawableHeight();
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8_OES, w, h);
  if (glGetError() != GL_NO_ERROR) return false;
  std::lock_guard lock(registryMutex);
  auto& mine = layers()[this];
  if (layer.storageContext_ != nullptr && layer.renderbuffer_ != 0) {
    layers()[layer.storageContext_].erase(layer.renderbuffer_);
  }
  layer.renderbuffer_ = static_cast<GLuint>(bound);
  layer.storageContext_ = this;
  layer.storageWidth_ = w;
  layer.storageChanged_ = true;
  layer.storageHeight_ = h;
  mine[layer.renderbuffer_] = &layer;
  return true;
}

bool Context::presentRenderbuffer() {
  if (!isCurrent()) return false;
  GLint bound = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
  GLLayer* layer = nullptr;
  {
    std::lock_guard lock(registryMutex);
    auto& mine = layers()[this];
    auto it = mine.find(static_cast<GLuint>(bound));
    if (it != mine.end()) layer = it->second;
  }
  if (layer == nullptr) return false;
  layer->present();
  return true;
}

void Context::forgetLayer(GLLayer& layer) {
  std::lock_guard lock(registryMutex);
  if (layer.storageContext_ == nullptr) return;
  auto it = layers().find(layer.storageContext_);
  if (it != layers().end()) {
    auto entry = it->second.find(layer.renderbuffer_);
    if (entry != it->second.end() && entry->second == &layer) it->second.erase(entry);
  }
  layer.storageContext_ = nullptr;
}

ContextGuard::ContextGuard(const Context& context)
    : previous_(eglGetCurrentContext()),
      previousDraw_(eglGetCurrentSurface(EGL_DRAW)),
      previousRead_(eglGetCurrentSurface(EGL_READ)) {
  if (previous_ == context.handle()) {
    ok_ = true;
    return;
  }
  changed_ = true;
  ok_ = context.makeCurrent();
}

ContextGuard::~ContextGuard() {
  if (!changed_) return;
  EGLDisplay d = Display::shared().handle();
  if (previous_ == EGL_NO_CONTEXT) {
    eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  } else {
    eglMakeCurrent(d, previousDraw_, previousRead_, previous_);
  }
}

}  // namespace glx
