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

void paintBackdrop(Context& c, float w, float, int) {
  roundRect(c, {8, 2, w - 16, 166}, 8, kSlate, kSlateLight);
  c.setFillColor(Color::white(0, 0.6f));
  c.fillRect({118, 2, 244, 170});
}

enum Glyph { kFirst, kLast, kPlay, kReverse, kPause, kHelp, kBack, kForward, kFull, kDelete, kTrash, kSheets, kLoop,
             kMinus, kPlus };

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
      // A question mark: the hook stroked round, the dot filled.
      Path hook;
      hook.moveTo({cx - s * 0.75f, cy - s * 0.45f});
      hook.curveTo({cx - s * 0.75f, cy - s * 1.35f}, {cx + s * 0.8f, cy - s * 1.35f}, {cx + s * 0.75f, cy - s * 0.5f});
      hook.curveTo({cx + s * 0.7f, cy - s * 0.05f}, {cx, cy - s * 0.05f}, {cx, cy + s * 0.45f});
      c.setStrokeColor(ink);
      c.setLineWidth(std::max(2.0f, s * 0.38f));
      c.setLineCap(gfx::LineCap::Round);
      c.strokePath(hook);
      Path dot;
      dot.addEllipse({cx - s * 0.25f, cy + s * 0.8f, s * 0.5f, s * 0.5f});
      c.fillPath(dot);
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
    case kTrash: {
      // A bin with a lid and a handle, ribbed.
      c.fillRect({cx - s * 1.1f, cy - s * 0.95f, s * 2.2f, s * 0.3f});
      c.fillRect({cx - s * 0.35f, cy - s * 1.2f, s * 0.7f, s * 0.3f});
      c.fillPolygon({{cx - s * 0.85f, cy - s * 0.55f}, {cx + s * 0.85f, cy - s * 0.55f}, {cx + s * 0.65f, cy + s * 1.2f},
                     {cx - s * 0.65f, cy + s * 1.2f}});
      c.setFillColor(kSlate);
      for (float dx : {-0.4f, 0.0f, 0.4f}) c.fillRect({cx + s * dx - s * 0.08f, cy - s * 0.3f, s * 0.16f, s * 1.2f});
      break;
    }
    case kSheets:
      // Two sheets, the copy in front and offset.
      c.setStrokeColor(ink);
      c.setLineWidth(std::max(1.5f, s * 0.18f));
      c.strokeRect({cx - s * 1.0f, cy - s * 1.1f, s * 1.3f, s * 1.6f});
      c.fillRect({cx - s * 0.3f, cy - s * 0.5f, s * 1.3f, s * 1.6f});
      c.setFillColor(kSlate);
      for (int i = 0; i < 3; ++i) c.fillRect({cx - s * 0.1f, cy - s * 0.15f + i * s * 0.4f, s * 0.9f, s * 0.14f});
      break;
    case kLoop: {
      // Two arrows chasing each other round: a frame shown again and again.
      c.setStrokeColor(ink);
      c.setLineWidth(std::max(1.5f, s * 0.26f));
      Path upper, lower;
      upper.moveTo({cx - s * 1.0f, cy});
      upper.curveTo({cx - s * 1.0f, cy - s * 1.2f}, {cx + s * 0.8f, cy - s * 1.2f}, {cx + s * 0.9f, cy - s * 0.25f});
      lower.moveTo({cx + s * 1.0f, cy});
      lower.curveTo({cx + s * 1.0f, cy + s * 1.2f}, {cx - s * 0.8f, cy + s * 1.2f}, {cx - s * 0.9f, cy + s * 0.25f});
      c.strokePath(upper);
      c.strokePath(lower);
      c.fillPolygon({{cx + s * 0.45f, cy - s * 0.45f}, {cx + s * 1.35f, cy - s * 0.45f}, {cx + s * 0.9f, cy + s * 0.2f}});
      c.fillPolygon({{cx - s * 0.45f, cy + s * 0.45f}, {cx - s * 1.35f, cy + s * 0.45f}, {cx - s * 0.9f, cy - s * 0.2f}});
      break;
    }
    case kMinus: c.fillRect({cx - s, cy - s * 0.18f, 2 * s, s * 0.36f}); break;
    case kPlus:
      c.fillRect({cx - s, cy - s * 0.18f, 2 * s, s * 0.36f});
      c.fillRect({cx - s * 0.18f, cy - s, s * 0.36f, 2 * s});
      break;
  }
}

// A button: variant = glyph * 2 + (1 when pressed).
void paintButton(Context& c, float w, float h, int variant) {
  const bool pressed = variant & 1;
  roundRect(c, {1, 1, w - 2, h - 2}, std::min(w, h) * 0.25f, pressed ? kPress : kAccent, kPaper);
  glyph(c, w, h, static_cast<Glyph>(variant / 2), pressed ? kPaperLit : kPaper);
}

// The frame menu: a slate pill under the selected paper, its nose pointing up
// at it, parted into three button fields.
void paintMenu(Context& c, float w, float h, int) {
  constexpr float nose = 5;
  Path shade;
  shade.addRoundedRect({3, nose + 3, w - 4, h - nose - 3}, (h - nose) / 2 - 2);
  c.setFillColor(Color::white(0, 0.35f));
  c.fillPath(shade);
  Path body;
  body.addRoundedRect({1, nose, w - 3, h - nose - 2}, (h - nose) / 2 - 2);
  c.setFillColor(kSlate);
  c.fillPath(body);
  c.fillPolygon({{w / 2 - 6, nose + 1}, {w / 2, 0}, {w / 2 + 6, nose + 1}});
  c.setStrokeColor(kPaper);
  c.setLineWidth(1.5f);
  c.strokePath(body);
  c.setFillColor(kSlateLight);
  c.fillRect({12, nose + 2, w - 26, 2});
  c.setFillColor(Color::white(1, 0.25f));
  for (int i = 1; i < 3; ++i) c.fillRect({w * i / 3 - 0.5f, nose + 6, 1, h - nose - 12});
}

// One field of the menu: the glyph alone, or on a lit pad while pressed.
// variant = glyph * 2 + (1 when pressed).
void paintMenuButton(Context& c, float w, float h, int variant) {
  const bool pressed = variant & 1;
  if (pressed) roundRect(c, {4, 3, w - 8, h - 6}, (h - 6) / 2, kAccent, kPaperLit);
  glyph(c, w, h, static_cast<Glyph>(variant / 2), pressed ? kPaperLit : kPaper);
}

// The repeat picker's panel: a slate card with a recessed window for the count
// and a groove over the two keys.
void paintRepeatPanel(Context& c, float w, float h, int) {
  Path shade;
  shade.addRoundedRect({4, 5, w - 4, h - 5}, 10);
  c.setFillColor(Color::white(0, 0.45f));
  c.fillPath(shade);
  roundRect(c, {1, 1, w - 5, h - 5}, 10, kSlate, kPaper);
  c.setFillColor(kSlateLight);
  c.fillRect({12, 3, w - 29, 3});
  roundRect(c, {70, 12, 84, 44}, 6, Color::white(0.05f, 1), kSlateLight);
  c.setFillColor(Color::white(1, 0.12f));
  c.fillRect({74, 14, 76, 10});
  c.setFillColor(Color::white(0, 0.4f));
  c.fillRect({12, 63, w - 29, 1});
  c.setFillColor(Color::white(1, 0.15f));
  c.fillRect({12, 64, w - 29, 1});
}

// A key of the picker with a title drawn over it by the button.
void paintKey(Context& c, float w, float h, int pressed) {
  c.setFillColor(Color::white(0, 0.35f));
  Path shade;
  shade.addRoundedRect({2, 3, w - 2, h - 3}, 7);
  c.fillPath(shade);
  roundRect(c, {1, 1, w - 3, h - 4}, 7, pressed ? kPress : kAccent, kPaper);
  c.setFillColor(Color::white(1, pressed ? 0.08f : 0.22f));
  c.fillRect({8, 3, w - 17, (h - 6) * 0.4f});
}

// The desk's news sheet: a dimmed desk with four lit cards where the captions
// sit, each joined by a dashed lead to the control it tells of.
void paintNewFeature(Context& c, float w, float h, int) {
  c.setFillColor(Color::white(0, 0.62f));
  c.fillRect({0, 0, w, h});
  struct Card {
    Rect box;
    Point from, to;
  };
  const Card cards[] = {
      {{228, 14, 212, 48}, {440, 38}, {462, 60}},
      {{198, 76, 222, 58}, {198, 105}, {120, 112}},
      {{18, 130, 182, 80}, {110, 210}, {80, 290}},
      {{198, 234, 218, 62}, {416, 265}, {452, 290}},
  };
  for (const Card& k : cards) {
    c.setFillColor(Color::white(0, 0.3f));
    Path shade;
    shade.addRoundedRect({k.box.x + 3, k.box.y + 3, k.box.width, k.box.height}, 8);
    c.fillPath(shade);
    roundRect(c, k.box, 8, {0.27f, 0.3f, 0.36f, 0.92f}, kPaperLit);
    c.setFillColor(kAccent);
    c.fillRect({k.box.x + 8, k.box.y + 4, 5, 16});
    c.setStrokeColor(kPaperLit);
    c.setLineWidth(1.5f);
    c.setLineDash(0, {4, 3});
    c.strokePolyline({k.from, k.to});
    c.setLineDash(0, {});
    Path dot;
    dot.addEllipse({k.to.x - 4, k.to.y - 4, 8, 8});
    c.setFillColor(kAccent);
    c.fillPath(dot);
  }
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

// A lead from a caption to what it names, its head at the far end.
void arrow(Context& c, Point from, Point to, Color colour) {
  c.setStrokeColor(colour);
  c.setLineWidth(2);
  c.setLineCap(gfx::LineCap::Round);
  const float dx = to.x - from.x, dy = to.y - from.y, len = std::max(1.0f, std::hypot(dx, dy));
  const float ux = dx / len, uy = dy / len, head = 8;
  c.strokePolyline({from, {to.x - ux * head, to.y - uy * head}});
  c.setFillColor(colour);
  c.fillPolygon({to, {to.x - ux * head - uy * head * 0.6f, to.y - uy * head + ux * head * 0.6f},
                 {to.x - ux * head + uy * head * 0.6f, to.y - uy * head - ux * head * 0.6f}});
}

// The help picture: the manager dimmed, with rings round the full-screen
// switch and the sound track's record and add-sound buttons, and leads from
// where the captions sit to them.
void paintHelp(Context& c, float w, float h, int) {
  c.setFillColor(Color::white(0, 0.55f));
  c.fillRect({0, 0, w, h});
  c.setStrokeColor(kPaperLit);
  c.setLineWidth(2);
  for (Rect ring : {Rect{405, 149, 73, 33}, Rect{387, 251, 92, 68}}) {
    Path p;
    p.addRoundedRect(ring, 8);
    c.strokePath(p);
  }
  c.setLineDash(0, {5, 4});
  Path track;
  track.addRoundedRect({40, 252, 340, 60}, 6);
  c.strokePath(track);
  c.setLineDash(0, {});
  arrow(c, {452, 124}, {444, 147}, kAccent);
  arrow(c, {345, 184}, {452, 249}, kAccent);
  arrow(c, {302, 231}, {408, 249}, kAccent);
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
    {"frame_menu.png", 145, 35, paintMenu, 0},
    {"frame_menu_delete01.png", 48, 30, paintMenuButton, kTrash * 2},
    {"frame_menu_delete02.png", 48, 30, paintMenuButton, kTrash * 2 + 1},
    {"frame_menu_copy01.png", 48, 30, paintMenuButton, kSheets * 2},
    {"frame_menu_copy02.png", 48, 30, paintMenuButton, kSheets * 2 + 1},
    {"frame_menu_repeat01.png", 48, 30, paintMenuButton, kLoop * 2},
    {"frame_menu_repeat02.png", 48, 30, paintMenuButton, kLoop * 2 + 1},
    {"repeat_panel.png", 224, 124, paintRepeatPanel, 0},
    {"repeat_minus01.png", 50, 40, paintButton, kMinus * 2},
    {"repeat_minus02.png", 50, 40, paintButton, kMinus * 2 + 1},
    {"repeat_plus01.png", 50, 40, paintButton, kPlus * 2},
    {"repeat_plus02.png", 50, 40, paintButton, kPlus * 2 + 1},
    {"repeat_key01.png", 94, 38, paintKey, 0},
    {"repeat_key02.png", 94, 38, paintKey, 1},
    {"new_feature.png", 480, 320, paintNewFeature, 0},
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
