#pragma once
// The screen in an SDL2 window: a point is `scale` pixels; the mouse makes
// fingers as `MouseFingers` says (Ctrl adds a second one); real touch events
// pass through. Closing the window asks the application to terminate (it may
// refuse); losing the window system (or the window) terminates it as the
// phone's termination does, after which the process ends.
#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Types.h"

union SDL_Event;

namespace ui {

class SdlHost {
 public:
  SdlHost();
  ~SdlHost();
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  // Opens the window for the main screen; false (with a reason) when SDL has
  // no video.
  bool open(const std::string& title, std::string* error = nullptr);
  // Runs the main run loop until the application terminates (or the loop is
  // stopped), reading input and showing what changed on the screen 60 times
  // a second.
  void run();
  // One pass: input, then what changed on the screen into the window.
  void pump();

  // The window system went away (the X server's connection broke, or it
  // refused a request, as when the window was destroyed under the program):
  // the application terminates without asking anyone (so its work is saved
  // where it can be), then the process ends with the application's exit
  // status, or kDisplayLostExitCode when that is 0. Does not return.
  [[noreturn]] static void displayLost(const char* why = "the connection to the display was lost");
  static constexpr int kDisplayLostExitCode = 1;

 private:
  void handleMouse(const SDL_Event& e, int x, int y);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
