#pragma once
// A table of interface pictures drawn by code, kept by name at the main
// screen's scale and emptied on low memory. The desk, the frame manager and
// the rotoscoping screen each keep their pictures in one.
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"

namespace desk_art {

struct ArtEntry {
  const char* name;
  float width, height;  // points
  void (*paint)(gfx::Context&, float width, float height, int variant);
  int variant;
};

// "name@2x.png" asks for the picture "name.png": the catalogue draws it at the
// screen's scale.
std::string withoutScaleSuffix(const std::string& asked);

// What the painters share: a rounded rectangle filled, and edged unless the
// edge's width is 0.
void roundRect(gfx::Context& c, gfx::Rect r, float radius, gfx::Color fill, gfx::Color edge,
               float edgeWidth = 1.5f);

class ArtCatalogue {
 public:
  // normalise, when given, turns an asked-for name into the table's (a file
  // name with ".png" or "@2x", say).
  explicit ArtCatalogue(std::span<const ArtEntry> entries, std::string (*normalise)(const std::string&) = nullptr);

  const ArtEntry* find(const std::string& name) const;
  // Drawn at the scale (1 or 2), not kept; empty for an unknown name.
  gfx::Image draw(const std::string& name, float scale) const;
  // At the main screen's scale, drawn on first use.
  ui::Picture named(const std::string& name);
  std::vector<std::string> names() const;
  void purge();

 private:
  std::span<const ArtEntry> entries_;
  std::string (*normalise_)(const std::string&);
  std::mutex mutex_;
  std::map<std::string, ui::Picture> pictures_;
};

}  // namespace desk_art
