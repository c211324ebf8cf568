#include "roto/RotoArt.h"

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

struct Entry {
  const char* name;
  float width, height;  // points
  void (*paint)(Context&, float, float, int);
  int variant;
};

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
std::string baseName(std::string name) {
  for (const char* suffix : {".png", "@2x"})
    if (name.size() > std::string(suffix).size() && name.ends_with(suffix))
      name.resize(name.size() - std::string(suffix).size());
  return name;
}

const Entry* find(const std::string& name) {
  const std::string base = baseName(name);
  for (const Entry& e : kEntries)
    if (base == e.name) return &e;
  return nullptr;
}

struct Cache {
  std::mutex m;
  std::map<std::string, ui::Picture> pictures;
};
Cache& cache() {
  static Cache c;
  static const bool observing = [] {
    fd::NotificationCenter::defaultCenter().addObserver(fd::kLowMemoryNotification,
                                                        [](const fd::Notification&) { purge(); });
    return true;
  }();
  (void)observing;
  return c;
}

}  // namespace

gfx::Image draw(const std::string& name, float scale) {
  const Entry* e = find(name);
  if (!e) return {};
  Context c(static_cast<int>(std::lround(e->width * scale)), static_cast<int>(std::lround(e->height * scale)), scale);
  e->paint(c, e->width, e->height, e->variant);
  gfx::Image out = c.makeImage();
  out.setScale(scale);
  return out;
}

ui::Picture named(const std::string& name) {
  const Entry* e = find(name);
  if (!e) return {};
  const float scale = ui::Screen::main().scale() >= 2 ? 2.0f : 1.0f;
  const std::string key = std::string(e->name) + (scale >= 2 ? "@2" : "@1");
  Cache& c = cache();
  std::lock_guard lock(c.m);
  auto it = c.pictures.find(key);
  if (it != c.pictures.end()) return it->second;
  ui::Picture p(draw(e->name, scale));
  c.pictures[key] = p;
  return p;
}

std::vector<std::string> names() {
  std::vector<std::string> out;
  for (const Entry& e : kEntries) out.emplace_back(e.name);
  return out;
}

void purge() {
  std::lock_guard lock(cache().m);
  cache().pictures.clear();
}

}  // namespace roto_art
