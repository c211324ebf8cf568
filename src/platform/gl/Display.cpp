#include "platform/gl/Display.h"

#include <EGL/eglext.h>

#include <atomic>

#include "platform/foundation/Log.h"

namespace glx {

namespace {
std::atomic<bool> gOpened{false};
}  // namespace

bool Display::opened() { return gOpened; }

Display& Display::shared() {
  static Display display;
  return display;
}

Display::Display() {
  gOpened = true;
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  EGLDisplay d = EGL_NO_DISPLAY;
  if (getPlatformDisplay != nullptr) d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (d == EGL_NO_DISPLAY) d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  EGLint major = 0, minor = 0;
  if (d == EGL_NO_DISPLAY || eglInitialize(d, &major, &minor) != EGL_TRUE) {
    fd::Log("glx: no EGL display (error 0x%x)\n", eglGetError());
    return;
  }
  eglBindAPI(EGL_OPENGL_ES_API);
  display_ = d;
}

}  // namespace glx
