#include "desk/frames/FrameArt.h"

#include "desk/ArtCatalogue.h"

#include <cmath>
#include <map>
#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Screen.h"

namespace frame_art {

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Path;
using gfx::Point;
using gfx::Rect;

// The manager's own palette: a dark slate table, cream paper, a warm accent.
constexpr Color kSlate{0.2f, 0.22f, 0.26f, 1};
constexpr Color kSlateLight{0.34f, 0.37f, 0.43f, 1};
constexpr Color kPaper{0.99f, 0.97f, 0.91f, 1};
constexpr Color kPaperLit{1.0f, 0.88f, 0.55f, 1};
constexpr Color kInk{0.16f, 0.13f, 0.11f, 1};
constexpr Color kAccent{0.86f, 0.36f, 0.16f, 1};
constexpr Color kPress{0.55f, 0.22f, 0.1f, 1};

void roundRect(Context& c, Rect r, float radius, Color fill, Color edge) {
  Path p;
  p.addRoundedRect(r, radius);
  c.setFillColor(fill);
  c.fillPath(p);
  c.setStrokeColor(edge);
  c.setLineWidth(1.5f);
  c.strokePath(p);
}

// A bar: a slate band with a lighter rim and a row of sprocket holes, the
// film the frames sit on.
void paintBar(Context& c, float w, float h, int holes) {
  c.setFillColor(kSlate);
  c.fillRect({0, 0, w, h});
  c.setFillColor(kSlateLight);
  c.fillRect({0, 0, w, 3});
  c.fillRect({0, h - 3, w, 3});
  c.setFillColor(Color::white(0, 0.25f));
  c.fillRect({0, 3, w, 2});
  if (holes)
    for (float x = 6; x + 8 < w; x += 16) {
      c.setFillColor(Color::white(1, 0.35f));
      c.fillRect({x, 5, 8, 5});
    }
}

void paintBackdrop(Context& c, float w, float h, int) {
  roundRect(c, {8, 2, w - 16, 166}, 8, kSlate, kSlateLight);
  c.setFillColor(Color::white(0, 0.6f));
  c.fillRect({118, 2, 244, 170});
}

enum Glyph { kFirst, kLast, kPlay, kReverse, kPause, kHelp, kBack, kForward, kFull, kDelete };

void glyph(Context& c, float w, float h, Glyph g, Color ink) {
  const float cx = w / 2, cy = h / 2, s = std::min(w, h) * 0.3f;
  c.setFillColor(ink);
  switch (g) {
    case kFirst:
      c.fillRect({cx - s, cy - s, s * 0.35f, 2 * s});
      c.fillPolygon({{cx + s, cy - s}, {cx + s, cy + s}, {cx - s * 0.5f, cy}});
      break;
    case kLast:
      c.fillRect({cx + s * 0.65f, cy - s, s * 0.35f, 2 * s});
      c.fillPolygon({{cx - s, cy - s}, {cx - s, cy + s}, {cx + s * 0.5f, cy}});
      break;
    case kPlay: c.fillPolygon({{cx - s, cy - s}, {cx - s, cy + s}, {cx + s, cy}}); break;
    case kReverse: c.fillPolygon({{cx + s, cy - s}, {cx + s, cy + s}, {cx - s, cy}}); break;
    case kPause:
      c.fillRect({cx - s, cy - s, s * 0.7f, 2 * s});
      c.fillRect({cx + s * 0.3f, cy - s, s * 0.7f, 2 * s});
      break;
    case kHelp: {
      Path p;
      p.addEllipse({cx - s * 0.3f, cy + s * 0.6f, s * 0.6f, s * 0.6f});
      c.fillPath(p);
      c.fillRect({cx - s * 0.2f, cy - s * 0.2f, s * 0.4f, s * 0.7f});
      c.fillRect({cx - s * 0.6f, cy - s * 1.1f, s * 1.2f, s * 0.45f});
      break;
    }
    case kBack: c.fillPolygon({{cx + s * 0.6f, cy - 1.5f * s}, {cx + s * 0.6f, cy + 1.5f * s}, {cx - s * 0.8f, cy}}); break;
    case kForward:
      c.fillPolygon({{cx - s * 0.6f, cy - 1.5f * s}, {cx - s * 0.6f, cy + 1.5f * s}, {cx + s * 0.8f, cy}});
      break;
    case kFull:
      for (int i = 0; i < 3; ++i) c.fillRect({w * 0.15f + i * w * 0.25f, h * 0.25f, w * 0.2f, h * 0.5f});
      break;
    case kDelete:
      c.setStrokeColor(ink);
      c.setLineWidth(std::max(2.0f, s * 0.4f));
      c.strokePolyline({{cx - s * 0.7f, cy - s * 0.7f}, {cx + s * 0.7f, cy + s * 0.7f}});
      c.strokePolyline({{cx + s * 0.7f, cy - s * 0.7f}, {cx - s * 0.7f, cy + s * 0.7f}});
      break;
  }
}

// A button: variant = glyph * 2 + (1 when pressed).
void paintButton(Context& c, float w, float h, int variant) {
  const bool pressed = variant & 1;
  roundRect(c, {1, 1, w - 2, h - 2}, std::min(w, h) * 0.25f, pressed ? kPress : kAccent, kPaper);
  glyph(c, w, h, static_cast<Glyph>(variant / 2), pressed ? kPaperLit : kPaper);
}

void paintDelete(Context& c, float w, float h, int pressed) {
  Path p;
  p.addEllipse({2, 4, w - 4, w - 4});
  c.setFillColor(pressed ? kPress : Color{0.75f, 0.1f, 0.1f, 1});
  c.fillPath(p);
  c.setStrokeColor(kPaper);
  c.setLineWidth(1.5f);
  c.strokePath(p);
  glyph(c, w, w + 4, kDelete, kPaper);
  (void)h;
}

void paintPaper(Context& c, float w, float h, int lit) {
  c.setFillColor(Color::white(0, 0.35f));
  c.fillRect({3, 3, w - 3, h - 3});
  roundRect(c, {1, 1, w - 4, h - 4}, 3, lit ? kPaperLit : kPaper, lit ? kAccent : kInk);
  c.setFillColor(Color::white(0.85f, 1));
  c.fillRect({7, 7, w - 13, h - 18});
}

void paintRepeat(Context& c, float w, float h, int) {
  roundRect(c, {2, 2, w - 4, h - 4}, 5, kAccent, kPaper);
  c.setStrokeColor(kPaper);
  c.setLineWidth(2);
  Path p;
  p.addEllipse({w * 0.2f, h * 0.38f, w * 0.6f, w * 0.6f});
  c.strokePath(p);
  c.setFillColor(kPaper);
  c.fillPolygon({{w * 0.7f, h * 0.36f}, {w * 0.9f, h * 0.42f}, {w * 0.72f, h * 0.48f}});
}

void paintTitle(Context& c, float w, float h, int) {
  roundRect(c, {1, 1, w - 2, h - 2}, 3, kSlateLight, kPaper);
  c.setFillColor(kPaper);
  for (int i = 0; i < 4; ++i) c.fillRect({w * 0.3f, 6 + i * (h - 12) / 4, w * 0.4f, (h - 12) / 8});
}

// The help picture: the manager's outline with arrows to what the captions name.
void paintHelp(Context& c, float w, float h, int) {
  c.setFillColor(Color::white(0, 0.55f));
  c.fillRect({0, 0, w, h});
  c.setStrokeColor(kPaperLit);
  c.setLineWidth(2);
  Path outline;
  outline.addRoundedRect({40, 150, 400, 90}, 6);
  c.strokePath(outline);
  for (float y : {118.0f, 180.0f, 226.0f}) c.strokePolyline({{w - 170, y}, {w - 120, y - 12}});
  c.setFillColor(kAccent);
  for (float y : {106.0f, 168.0f, 214.0f}) c.fillPolygon({{w - 120, y - 6}, {w - 112, y + 2}, {w - 124, y + 4}});
}

using Entry = desk_art::ArtEntry;

constexpr Entry kEntries[] = {
    {"Pics_manager.png", 480, 320, paintBackdrop, 0},
    {"pics_manager_fist_frame01.png", 18, 20, paintButton, kFirst * 2},
    {"pics_manager_fist_frame02.png", 18, 20, paintButton, kFirst * 2 + 1},
    {"pics_manager_reverse01.png", 18, 20, paintButton, kReverse * 2},
    {"pics_manager_reverse02.png", 18, 20, paintButton, kReverse * 2 + 1},
    {"pics_manager_pause01.png", 18, 20, paintButton, kPause * 2},
    {"pics_manager_play01.png", 18, 20, paintButton, kPlay * 2},
    {"pics_manager_play02.png", 18, 20, paintButton, kPlay * 2 + 1},
    {"pics_manager_last_frame01.png", 18, 20, paintButton, kLast * 2},
    {"pics_manager_last_frame02.png", 18, 20, paintButton, kLast * 2 + 1},
    {"help_ui01.png", 31, 31, paintButton, kHelp * 2},
    {"help_ui02.png", 31, 31, paintButton, kHelp * 2 + 1},
    {"editting_bar.png", 480, 256, paintBar, 1},
    {"editting_bar568h.png", 568, 256, paintBar, 1},
    {"roll_backward01.png", 37, 63, paintButton, kBack * 2},
    {"roll_backward02.png", 37, 63, paintButton, kBack * 2 + 1},
    {"roll_forward01.png", 37, 63, paintButton, kForward * 2},
    {"roll_forward02.png", 37, 63, paintButton, kForward * 2 + 1},
    {"editting_bar_full01.png", 63, 25, paintButton, kFull * 2},
    {"editting_bar_full02.png", 63, 25, paintButton, kFull * 2 + 1},
    {"temporary_bar.png", 480, 77, paintBar, 0},
    {"temporary_bar-568h.png", 568, 77, paintBar, 0},
    {"Temporary_bar_title.png", 14, 58, paintTitle, 0},
    {"paper_sample01.png", 80, 64, paintPaper, 0},
    {"paper_sample02.png", 80, 64, paintPaper, 1},
    {"paper_del01.png", 26, 30, paintDelete, 0},
    {"paper_del02.png", 26, 30, paintDelete, 1},
    {"frame_repeat.png", 23, 58, paintRepeat, 0},
    {"help_picsmanager.png", 480, 320, paintHelp, 0},
};

desk_art::ArtCatalogue& catalogue() {
  static desk_art::ArtCatalogue c(kEntries);
  return c;
}

}  // namespace

gfx::Image draw(const std::string& name, float scale) { return catalogue().draw(name, scale); }

ui::Picture named(const std::string& name) { return catalogue().named(name); }

std::vector<std::string> names() { return catalogue().names(); }

void purge() { catalogue().purge(); }

}  // namespace frame_art
