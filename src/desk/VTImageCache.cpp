#include "desk/VTImageCache.h"

#include <algorithm>

#include "desk/StampArt.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Screen.h"

VTImageCache& VTImageCache::sharedCache() {
  static VTImageCache* cache = new VTImageCache();  // lives for the whole run, observing
  return *cache;
}

VTImageCache::VTImageCache() {
  fd::NotificationCenter::defaultCenter().addObserver(
      fd::kLowMemoryNotification, [this](const fd::Notification&) { didReceiveMemoryWarning(); });
}

ui::Picture VTImageCache::imageNamed(const std::string& name) { return sharedCache().imageNamedInstance(name); }

void VTImageCache::addDrawnPictures(Drawer drawer) {
  std::vector<Drawer>& drawers = sharedCache().drawers_;
  if (drawer != nullptr && std::find(drawers.begin(), drawers.end(), drawer) == drawers.end()) drawers.push_back(drawer);
}

ui::Picture VTImageCache::imageNamedInstance(const std::string& name) {
  if (name.empty()) return {};
  if (auto it = imagesDic_.find(name); it != imagesDic_.end()) return it->second;
  // The exact file of the bundle first, so that a picture put there wins;
  // then the pictures the program draws at the screen's scale.
  ui::Picture picture = ui::Picture::fromFile(fd::paths::resource(name));
  const float scale = ui::Screen::main().scale() >= 2 ? 2.0f : 1.0f;
  if (picture.empty()) picture = ui::Picture(stamp_art::draw(name, scale));
  for (auto drawer = drawers_.begin(); picture.empty() && drawer != drawers_.end(); ++drawer)
    picture = ui::Picture((*drawer)(name, scale));
  if (picture.empty()) return {};
  ++loads_;
  imagesDic_[name] = picture;
  return picture;
}

void VTImageCache::didReceiveMemoryWarning() { imagesDic_.clear(); }
