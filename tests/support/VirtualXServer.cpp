#include "support/VirtualXServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace testing_support {

bool VirtualXServer::installed(bool withXdotool) {
  if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return false;
  return !withXdotool || std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

VirtualXServer::VirtualXServer() {
  // The server says on a pipe which display it took once it is ready.
  int ready[2];
  if (::pipe(ready) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    const std::string fd = std::to_string(ready[1]);
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  std::string number;
  char c = 0;
  while (pid_ > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(ready[0]);
  if (!number.empty()) display_ = ":" + number;
}

VirtualXServer::~VirtualXServer() { stop(); }

void VirtualXServer::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = 0;
}

}  // namespace testing_support
