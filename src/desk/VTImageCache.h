#pragma once
// Bundle pictures by their exact resource names, read once and kept for the
// whole run until the system warns of low memory. Pictures the program draws
// itself (the stamp tool's) stand in the bundle under their names. Main
// thread only.
#include <cstddef>
#include <map>
#include <string>

#include "platform/ui/Picture.h"

class VTImageCache {
 public:
  static VTImageCache& sharedCache();
  // The singleton's picture; empty (nil) when the name is empty or no
  // picture of that name can be read.
  static ui::Picture imageNamed(const std::string& name);

  ui::Picture imageNamedInstance(const std::string& name);
  // The low-memory notification: every entry goes.
  void didReceiveMemoryWarning();

  std::size_t count() const { return imagesDic_.size(); }
  // Pictures read from the bundle or drawn since the start: a test sees a
  // second request for a name answered from memory.
  std::size_t loads() const { return loads_; }

 private:
  VTImageCache();
  std::map<std::string, ui::Picture> imagesDic_;
  std::size_t loads_ = 0;
};
