#include "desk/ArtCatalogue.h"

#include <cmath>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Screen.h"

namespace desk_art {

std::string withoutScaleSuffix(const std::string& asked) {
  std::string name = asked;
  if (const auto at = name.rfind("@2x.png"); at != std::string::npos && at + 7 == name.size())
    name.replace(at, 7, ".png");
  return name;
}

void roundRect(gfx::Context& c, gfx::Rect r, float radius, gfx::Color fill, gfx::Color edge, float edgeWidth) {
  gfx::Path p;
  p.addRoundedRect(r, radius);
  c.setFillColor(fill);
  c.fillPath(p);
  if (edgeWidth > 0) {
    c.setStrokeColor(edge);
    c.setLineWidth(edgeWidth);
    c.strokePath(p);
  }
}

ArtCatalogue::ArtCatalogue(std::span<const ArtEntry> entries, std::string (*normalise)(const std::string&))
    : entries_(entries), normalise_(normalise) {
  // Catalogues live for the whole process, as the observation does.
  fd::NotificationCenter::defaultCenter().addObserver(fd::kLowMemoryNotification,
                                                      [this](const fd::Notification&) { purge(); });
}

const ArtEntry* ArtCatalogue::find(const std::string& name) const {
  const std::string key = normalise_ ? normalise_(name) : name;
  for (const ArtEntry& e : entries_)
    if (key == e.name) return &e;
  return nullptr;
}

gfx::Image ArtCatalogue::draw(const std::string& name, float scale) const {
  const ArtEntry* e = find(name);
  if (!e) return {};
  gfx::Context c(static_cast<int>(std::lround(e->width * scale)), static_cast<int>(std::lround(e->height * scale)),
                 scale);
  e->paint(c, e->width, e->height, e->variant);
  gfx::Image out = c.makeImage();
  out.setScale(scale);
  return out;
}

ui::Picture ArtCatalogue::named(const std::string& name) {
  const ArtEntry* e = find(name);
  if (!e) return {};
  const float scale = ui::Screen::main().scale() >= 2 ? 2.0f : 1.0f;
  const std::string key = std::string(e->name) + (scale >= 2 ? "@2" : "@1");
  {
    std::lock_guard lock(mutex_);
    if (auto it = pictures_.find(key); it != pictures_.end()) return it->second;
  }
  ui::Picture p(draw(e->name, scale));
  std::lock_guard lock(mutex_);
  pictures_[key] = p;
  return p;
}

std::vector<std::string> ArtCatalogue::names() const {
  std::vector<std::string> out;
  for (const ArtEntry& e : entries_) out.emplace_back(e.name);
  return out;
}

void ArtCatalogue::purge() {
  std::lock_guard lock(mutex_);
  pictures_.clear();
}

}  // namespace desk_art
