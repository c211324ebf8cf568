#pragma once
// Bundle pictures by their exact resource names, read once and kept for the
// whole run until the system warns of low memory. Pictures the program draws
// itself (the stamp tool's, and those of screens above the desk that plug
// their drawing in) stand in the bundle under their names. Main thread only.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

class VTImageCache {
 public:
  static VTImageCache& sharedCache();
  // The singleton's picture; empty (nil) when the name is empty or no
  // picture of that name can be read.
  static ui::Picture imageNamed(const std::string& name);

  // Draws the picture of a name at a scale (1 or 2); empty for a name it does
  // not draw.
  using Drawer = gfx::Image (*)(const std::string& name, float scale);
  // Asked after the bundle and the stamp tool's pictures, in the order added;
  // the program adds them at start-up. Adding one twice changes nothing.
  static void addDrawnPictures(Drawer drawer);

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
  std::vector<Drawer> drawers_;
  std::size_t loads_ = 0;
};
