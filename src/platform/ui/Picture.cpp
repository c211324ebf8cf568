#include "platform/ui/Picture.h"

#include <map>
#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace {
std::shared_ptr<const gfx::Image> upright(gfx::Image image) {
  if (image.orientation() != gfx::Orientation::Up) image = image.normalizedOrientation();
  return std::make_shared<const gfx::Image>(std::move(image));
}

struct NamedCache {
  std::mutex m;
  std::map<std::string, std::shared_ptr<const gfx::Image>> pictures;
  bool observing = false;
};
NamedCache& namedCache() {
  static NamedCache cache;
  return cache;
}

std::filesystem::path twoTimesName(const std::string& name) {
  auto dot = name.rfind('.');
  if (dot == std::string::npos) return name + "@2x";
  return name.substr(0, dot) + "@2x" + name.substr(dot);
}
}  // namespace

Picture::Picture(gfx::Image image) : image_(image.empty() ? nullptr : upright(std::move(image))) {}
Picture::Picture(std::shared_ptr<const gfx::Image> image) {
  if (image && image->orientation() != gfx::Orientation::Up) image_ = upright(*image);
  else image_ = std::move(image);
}

Size Picture::size() const {
  if (!image_) return {};
  return image_->size();
}

Picture Picture::stretchable(int leftCap, int topCap) const {
  Picture p = *this;
  p.leftCap_ = std::max(0, leftCap);
  p.topCap_ = std::max(0, topCap);
  return p;
}

Picture Picture::fromFile(const std::filesystem::path& path) {
  gfx::ReadLimits limits;
  limits.scaleDownToFit = true;
  auto img = gfx::readImage(path, limits);
  if (!img) return {};
  return Picture(std::move(*img));
}

Picture Picture::named(const std::string& name) {
  if (name.empty()) return {};
  NamedCache& c = namedCache();
  std::lock_guard lock(c.m);
  if (!c.observing) {
    c.observing = true;
    fd::NotificationCenter::defaultCenter().addObserver(fd::kLowMemoryNotification,
                                                        [](const fd::Notification&) { purgeNamedCache(); });
  }
  float scale = Screen::main().scale();
  std::string key = name + (scale >= 2 ? "@2" : "@1");
  auto it = c.pictures.find(key);
  if (it != c.pictures.end()) return Picture(it->second);
  std::optional<gfx::Image> img;
  if (scale >= 2) {
    img = gfx::readImage(fd::paths::resource(twoTimesName(name).string())).toOptional();
    if (img) img->setScale(2);
  }
  if (!img) img = gfx::readImage(fd::paths::resource(name)).toOptional();
  if (!img) return {};
  Picture p(std::move(*img));
  c.pictures[key] = p.image_;
  return p;
}

void Picture::purgeNamedCache() {
  NamedCache& c = namedCache();
  std::unique_lock lock(c.m, std::try_to_lock);
  if (lock.owns_lock()) c.pictures.clear();
}

}  // namespace ui
