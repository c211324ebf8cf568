#pragma once
// The one EGL display of the process. Headless it sits on Mesa's surfaceless
// platform, so rendering needs neither a window nor a display server.
#include <EGL/egl.h>

namespace glx {

class Display {
 public:
  // Opened and initialised on first use; thread-safe.
  static Display& shared();

  // Whether the display has been opened (the GL driver loaded), without
  // opening it.
  static bool opened();

  EGLDisplay handle() const { return display_; }
  bool valid() const { return display_ != EGL_NO_DISPLAY; }

 private:
  Display();
  EGLDisplay display_ = EGL_NO_DISPLAY;
};

}  // namespace glx
