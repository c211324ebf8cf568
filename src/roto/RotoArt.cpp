#include "roto/RotoArt.h"

#include "desk/ArtCatalogue.h"
#include "desk/VTImageCache.h"

#include <cmath>
#include <map>
#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Screen.h"

namespace roto_art {

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Path;
using gfx::Point;
using gfx::Rect;

constexpr Color kFace{0.15f, 0.15f, 0.17f, 0.85f};
constexpr Color kEdge{0.85f, 0.85f, 0.88f, 1};
constexpr Color kRecord{0.86f, 0.16f, 0.12f, 1};
constexpr Color kSymbol{0.96f, 0.96f, 0.96f, 1};
constexpr Color kHandle{0.98f, 0.78f, 0.2f, 1};

void disc(Context& c, float w, float h, Color fill) {
  Path p;
  p.addEllipse({1.5f, 1.5f, w - 3, h - 3});
  c.setFillColor(fill);
  c.fillPath(p);
  c.setStrokeColor(kEdge);
  c.setLineWidth(1.5f);
  c.strokePath(p);
}

// Symbols drawn on a round face; `variant` picks the symbol.
enum Symbol { kRecordDot, kStopSquare, kPlayTriangle, kPauseBars, kScissors, kExportArrow, kCross };

void paintButton(Context& c, float w, float h, int variant) {
  disc(c, w, h, kFace);
  const float cx = w / 2, cy = h / 2, r = w * 0.22f;
  c.setFillColor(kSymbol);
  c.setStrokeColor(kSymbol);
  c.setLineWidth(2.5f);
  switch (variant) {
    case kRecordDot: {
      Path p;
      p.addEllipse({cx - r, cy - r, 2 * r, 2 * r});
      c.setFillColor(kRecord);
      c.fillPath(p);
      break;
    }
    case kStopSquare:
      c.setFillColor(kRecord);
      c.fillRect({cx - r * 0.8f, cy - r * 0.8f, r * 1.6f, r * 1.6f});
      break;
    case kPlayTriangle:
      c.fillPolygon({{cx - r * 0.7f, cy - r}, {cx + r, cy}, {cx - r * 0.7f, cy + r}});
      break;
    case kPauseBars:
      c.fillRect({cx - r * 0.8f, cy - r, r * 0.55f, 2 * r});
      c.fillRect({cx + r * 0.25f, cy - r, r * 0.55f, 2 * r});
      break;
    case kScissors: {
      Path a, b;
      a.addEllipse({cx - r, cy + r * 0.2f, r * 0.8f, r * 0.8f});
      b.addEllipse({cx + r * 0.2f, cy + r * 0.2f, r * 0.8f, r * 0.8f});
      c.strokePath(a);
      c.strokePath(b);
      c.strokePolyline({{cx - r * 0.4f, cy + r * 0.3f}, {cx + r, cy - r}});
      c.strokePolyline({{cx + r * 0.4f, cy + r * 0.3f}, {cx - r, cy - r}});
      break;
    }
    case kExportArrow:
      c.strokePolyline({{cx, cy + r}, {cx, cy - r}});
      c.strokePolyline({{cx - r * 0.6f, cy - r * 0.4f}, {cx, cy - r}, {cx + r * 0.6f, cy - r * 0.4f}});
      c.strokePolyline({{cx - r, cy + r * 0.3f}, {cx - r, cy + r}, {cx + r, cy + r}, {cx + r, cy + r * 0.3f}});
      break;
    case kCross:
      c.strokePolyline({{cx - r * 0.7f, cy - r * 0.7f}, {cx + r * 0.7f, cy + r * 0.7f}});
      c.strokePolyline({{cx + r * 0.7f, cy - r * 0.7f}, {cx - r * 0.7f, cy + r * 0.7f}});
      break;
    default: break;
  }
}

// The timeline's mark: a bar the height of the strip with a grip at the top.
void paintHandle(Context& c, float w, float h, int) {
  c.setFillColor(kHandle);
  c.fillRect({w / 2 - 1.5f, 0, 3, h});
  Path grip;
  grip.addRoundedRect({0, 0, w, 14}, 3);
  c.fillPath(grip);
  c.setStrokeColor({0.3f, 0.2f, 0, 1});
  c.setLineWidth(1);
  for (int i = 0; i < 2; ++i) c.strokePolyline({{w / 2 - 2 + 4 * i, 3}, {w / 2 - 2 + 4 * i, 11}});
}

using Entry = desk_art::ArtEntry;

constexpr Entry kEntries[] = {
    {"rotoscroping_trim_limited", 10, 76, paintHandle, 0},
    {"roto_record", 56, 56, paintButton, kRecordDot},
    {"roto_record_selected", 56, 56, paintButton, kStopSquare},
    {"roto_play", 56, 56, paintButton, kPlayTriangle},
    {"roto_pause", 56, 56, paintButton, kPauseBars},
    {"roto_trim", 56, 56, paintButton, kScissors},
    {"roto_save", 56, 56, paintButton, kExportArrow},
    {"roto_close", 44, 44, paintButton, kCross},
};

// Names may come as files ("…@2x.png"); the picture is the same.
std::string baseName(const std::string& asked) {
  std::string name = asked;
  for (const char* suffix : {".png", "@2x"})
    if (name.size() > std::string(suffix).size() && name.ends_with(suffix))
      name.resize(name.size() - std::string(suffix).size());
  return name;
}

desk_art::ArtCatalogue& catalogue() {
  static desk_art::ArtCatalogue c(kEntries, baseName);
  return c;
}

}  // namespace

gfx::Image draw(const std::string& name, float scale) { return catalogue().draw(name, scale); }

void registerWithImageCache() { VTImageCache::addDrawnPictures(&draw); }

ui::Picture named(const std::string& name) { return catalogue().named(name); }

std::vector<std::string> names() { return catalogue().names(); }

void purge() { catalogue().purge(); }

}  // namespace roto_art
