#pragma once
// An X server of a test's own: Xvfb on a free display it picks itself, ended
// with the object. Tests that need a real window system (the window host's
// input, the program in a window) start one instead of using whatever
// display the machine has.
#include <sys/types.h>

#include <string>

namespace testing_support {

class VirtualXServer {
 public:
  // Whether Xvfb is installed, and xdotool too when asked for.
  static bool installed(bool withXdotool = false);

  VirtualXServer();
  ~VirtualXServer();
  VirtualXServer(const VirtualXServer&) = delete;
  VirtualXServer& operator=(const VirtualXServer&) = delete;

  // ":N", or "" when it could not start.
  const std::string& display() const { return display_; }
  // Ends the server now (a window system going away under a program).
  void stop();

 private:
  pid_t pid_ = 0;
  std::string display_;
};

}  // namespace testing_support
