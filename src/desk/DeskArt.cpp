#include "desk/DeskArt.h"

#include "desk/ArtCatalogue.h"

#include <cmath>
#include <map>
#include <mutex>
#include <numbers>

#include "desk/DeskPalette.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/Text.h"
#include "platform/ui/Screen.h"

namespace desk_art {

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Path;
using gfx::Point;
using gfx::Rect;

constexpr float kPi = std::numbers::pi_v<float>;

using namespace desk_palette;

Color mix(Color a, Color b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

void ellipse(Context& c, Rect r, Color fill) {
  Path p;
  p.addEllipse(r);
  c.setFillColor(fill);
  c.fillPath(p);
}

void ring(Context& c, Rect r, Color stroke, float width) {
  Path p;
  p.addEllipse(r);
  c.setStrokeColor(stroke);
  c.setLineWidth(width);
  c.strokePath(p);
}

void line(Context& c, std::vector<Point> pts, Color color, float width) {
  c.setStrokeColor(color);
  c.setLineWidth(width);
  c.setLineCap(gfx::LineCap::Round);
  c.setLineJoin(gfx::LineJoin::Round);
  c.strokePolyline(pts);
}

// A vertical wooden panel with a brass rim, the body of every pop-up bar.
void panel(Context& c, Rect r) {
  int bands = 12;
  for (int i = 0; i < bands; ++i) {
    c.setFillColor(mix(kWoodLight, kWood, std::fabs(i - bands / 2.0f) / (bands / 2.0f)));
    c.fillRect({r.x + r.width * i / bands, r.y, r.width / bands + 0.5f, r.height});
  }
  c.setStrokeColor({0.2f, 0.12f, 0.06f, 0.35f});
  c.setLineWidth(0.6f);
  for (float y = r.y + 17; y < r.y + r.height; y += 23)
    c.strokePolyline({{r.x + 4, y}, {r.x + r.width * 0.4f, y + 3}, {r.x + r.width - 4, y - 2}});
  Path rim;
  rim.addRoundedRect({r.x + 1, r.y + 1, r.width - 2, r.height - 2}, 10);
  c.setStrokeColor(kBrass);
  c.setLineWidth(2);
  c.strokePath(rim);
}

// --- drawing tools, laid on their side with the point to the left

struct ToolLook {
  Color body;
  float tipLength;  // share of the width taken by the tip
  float thickness;  // share of the height
  int kind;         // 0 eraser, 1 pencil, 2 felt pen, 3 brush, 4 marker, 5 broad brush, 6 crayon, 7 smudge, 8 fill
};
constexpr ToolLook kTools[] = {
    {{0.95f, 0.55f, 0.6f, 1}, 0.0f, 0.55f, 0},  {{0.95f, 0.78f, 0.2f, 1}, 0.3f, 0.5f, 1},
    {{0.2f, 0.45f, 0.8f, 1}, 0.22f, 0.5f, 2},   {{0.55f, 0.3f, 0.15f, 1}, 0.35f, 0.42f, 3},
    {{0.25f, 0.6f, 0.3f, 1}, 0.2f, 0.6f, 4},    {{0.6f, 0.35f, 0.7f, 1}, 0.4f, 0.45f, 5},
    {{0.9f, 0.4f, 0.2f, 1}, 0.25f, 0.55f, 6},   {{0.85f, 0.8f, 0.72f, 1}, 0.0f, 0.55f, 7},
    {{0.35f, 0.55f, 0.85f, 1}, 0.0f, 0.6f, 8},
};

void tool(Context& c, float w, float h, int kind) {
  const ToolLook& t = kTools[kind];
  float th = std::min(h * t.thickness, 22.0f);
  float cy = h / 2;
  float x0 = w * 0.08f, x1 = w * 0.94f;
  if (t.kind == 0) {
    // A block eraser with a paper sleeve.
    roundRect(c, {x0, cy - th / 2, (x1 - x0) * 0.45f, th}, 3, t.body, mix(t.body, kInk, 0.5f));
    roundRect(c, {x0 + (x1 - x0) * 0.42f, cy - th / 2, (x1 - x0) * 0.58f, th}, 2, {0.3f, 0.4f, 0.75f, 1},
              {0.15f, 0.2f, 0.4f, 1});
    c.setFillColor(Color::white(1, 0.8f));
    c.fillRect({x0 + (x1 - x0) * 0.55f, cy - th / 6, (x1 - x0) * 0.3f, th / 3});
    return;
  }
  if (t.kind == 7) {
    // A finger smudging a grey streak.
    c.setFillColor({0.45f, 0.45f, 0.5f, 0.5f});
    Path streak;
    streak.addEllipse({x0, cy - th * 0.2f, (x1 - x0) * 0.5f, th * 0.5f});
    c.fillPath(streak);
    roundRect(c, {x0 + (x1 - x0) * 0.25f, cy - th / 2, (x1 - x0) * 0.75f, th}, th / 2, {0.96f, 0.8f, 0.68f, 1},
              {0.6f, 0.42f, 0.32f, 1});
    ellipse(c, {x0 + (x1 - x0) * 0.27f, cy - th * 0.35f, th * 0.6f, th * 0.7f}, {1, 0.9f, 0.85f, 1});
    return;
  }
  if (t.kind == 8) {
    // A tipping paint bucket with a drip.
    c.save();
    c.translate(w * 0.55f, cy);
    c.rotate(-0.5f);
    roundRect(c, {-th * 0.6f, -th * 0.6f, th * 1.2f, th * 1.2f}, 4, t.body, kInk);
    c.setFillColor({0.2f, 0.3f, 0.6f, 1});
    c.fillRect({-th * 0.6f, -th * 0.6f, th * 1.2f, th * 0.25f});
    c.restore();
    Path drip;
    drip.moveTo({w * 0.3f, cy - 2});
    drip.curveTo({w * 0.18f, cy + 4}, {w * 0.16f, cy + th * 0.5f}, {w * 0.22f, cy + th * 0.6f});
    drip.curveTo({w * 0.28f, cy + th * 0.5f}, {w * 0.3f, cy + 4}, {w * 0.3f, cy - 2});
    c.setFillColor(t.body);
    c.fillPath(drip);
    return;
  }
  float tipX = x0 + (x1 - x0) * t.tipLength;
  // Body.
  roundRect(c, {tipX, cy - th / 2, x1 - tipX, th}, t.kind == 4 ? th / 3 : 2, t.body, mix(t.body, kInk, 0.5f));
  c.setFillColor(Color::white(1, 0.35f));
  c.fillRect({tipX + 2, cy - th / 2 + 2, x1 - tipX - 4, th / 5});
  // Ferrule or cap band.
  c.setFillColor(kBrass);
  c.fillRect({tipX, cy - th / 2, th * 0.35f, th});
  // Tip.
  switch (t.kind) {
    case 1:
    case 6:
      c.setFillColor(t.kind == 1 ? Color{0.95f, 0.85f, 0.65f, 1} : t.body);
      c.fillPolygon({{tipX, cy - th / 2}, {x0, cy}, {tipX, cy + th / 2}});
      c.setFillColor(t.kind == 1 ? kInk : mix(t.body, kInk, 0.3f));
      c.fillPolygon({{x0 + (tipX - x0) * 0.35f, cy - th * 0.17f}, {x0, cy}, {x0 + (tipX - x0) * 0.35f, cy + th * 0.17f}});
      break;
    case 2:
    case 4:
      c.setFillColor(mix(t.body, kInk, 0.4f));
      c.fillPolygon({{tipX, cy - th * 0.3f}, {x0, cy - th * 0.1f}, {x0, cy + th * 0.1f}, {tipX, cy + th * 0.3f}});
      break;
    default: {
      // A brush head of hairs.
      Path head;
      head.moveTo({tipX, cy - th * 0.45f});
      head.curveTo({x0 + (tipX - x0) * 0.4f, cy - th * 0.6f}, {x0, cy - th * 0.1f}, {x0, cy});
      head.curveTo({x0, cy + th * 0.1f}, {x0 + (tipX - x0) * 0.4f, cy + th * 0.6f}, {tipX, cy + th * 0.45f});
      head.close();
      c.setFillColor(t.kind == 5 ? Color{0.3f, 0.25f, 0.2f, 1} : Color{0.35f, 0.22f, 0.12f, 1});
      c.fillPath(head);
      break;
    }
  }
}

// --- small glyphs for buttons

void glyph(Context& c, float w, float h, int which) {
  const float cx = w / 2, cy = h / 2, s = std::min(w, h);
  c.setFillColor(kPaper);
  c.setStrokeColor(kPaper);
  switch (which) {
    case 0: {  // folder (file manager)
      roundRect(c, {cx - s * 0.3f, cy - s * 0.2f, s * 0.6f, s * 0.42f}, 3, kBrass, kWoodDark, 1);
      roundRect(c, {cx - s * 0.3f, cy - s * 0.27f, s * 0.25f, s * 0.12f}, 2, kBrass, kWoodDark, 1);
      break;
    }
    case 1:  // back: a door arrow
      line(c, {{cx + s * 0.22f, cy}, {cx - s * 0.22f, cy}}, kPaper, 3);
      line(c, {{cx - s * 0.05f, cy - s * 0.17f}, {cx - s * 0.22f, cy}, {cx - s * 0.05f, cy + s * 0.17f}}, kPaper, 3);
      break;
    case 2:  // onion: three nested rings
      for (int i = 0; i < 3; ++i) {
        float r = s * (0.12f + 0.08f * i);
        ring(c, {cx - r, cy - r, 2 * r, 2 * r}, Color::white(1, 1 - 0.25f * i), 2);
      }
      break;
    case 3:  // frames: a film strip
      c.setFillColor(kPaper);
      c.fillRect({cx - s * 0.3f, cy - s * 0.2f, s * 0.6f, s * 0.4f});
      c.setFillColor(kWoodDark);
      for (int i = 0; i < 4; ++i) {
        c.fillRect({cx - s * 0.27f + i * s * 0.15f, cy - s * 0.18f, s * 0.07f, s * 0.06f});
        c.fillRect({cx - s * 0.27f + i * s * 0.15f, cy + s * 0.12f, s * 0.07f, s * 0.06f});
      }
      c.fillRect({cx - s * 0.22f, cy - s * 0.09f, s * 0.2f, s * 0.18f});
      c.fillRect({cx + s * 0.02f, cy - s * 0.09f, s * 0.2f, s * 0.18f});
      break;
    case 4: {  // stamp
      roundRect(c, {cx - s * 0.08f, cy - s * 0.28f, s * 0.16f, s * 0.28f}, 3, kBrass, kWoodDark, 1);
      roundRect(c, {cx - s * 0.25f, cy, s * 0.5f, s * 0.12f}, 2, kPaper, kWoodDark, 1);
      c.setFillColor(kAccent);
      c.fillRect({cx - s * 0.25f, cy + s * 0.14f, s * 0.5f, s * 0.06f});
      break;
    }
    case 5:  // play
      c.setFillColor(kPaper);
      c.fillPolygon({{cx - s * 0.13f, cy - s * 0.2f}, {cx + s * 0.2f, cy}, {cx - s * 0.13f, cy + s * 0.2f}});
      break;
    case 6:  // tools: a drawer handle with a chevron
      line(c, {{cx - s * 0.2f, cy + s * 0.08f}, {cx, cy - s * 0.12f}, {cx + s * 0.2f, cy + s * 0.08f}}, kPaper, 3.5f);
      break;
    case 7:  // undo
    case 8: {  // redo
      float dir = which == 7 ? -1 : 1;
      Path arc;
      arc.moveTo({cx - dir * s * 0.18f, cy + s * 0.18f});
      arc.curveTo({cx - dir * s * 0.2f, cy - s * 0.15f}, {cx + dir * s * 0.1f, cy - s * 0.2f}, {cx + dir * s * 0.12f, cy - s * 0.05f});
      c.setLineWidth(3);
      c.setStrokeColor(kPaper);
      c.strokePath(arc);
      c.setFillColor(kPaper);
      c.fillPolygon({{cx + dir * s * 0.02f, cy - s * 0.08f}, {cx + dir * s * 0.25f, cy - s * 0.08f}, {cx + dir * s * 0.14f, cy + s * 0.1f}});
      break;
    }
    case 9:  // duplicate: two sheets
      roundRect(c, {cx - s * 0.22f, cy - s * 0.22f, s * 0.3f, s * 0.36f}, 2, Color::white(0.8f), kInk, 1);
      roundRect(c, {cx - s * 0.08f, cy - s * 0.12f, s * 0.3f, s * 0.36f}, 2, kPaper, kInk, 1);
      break;
    case 10:  // add frame: sheet with plus
      roundRect(c, {cx - s * 0.18f, cy - s * 0.22f, s * 0.36f, s * 0.44f}, 2, kPaper, kInk, 1);
      line(c, {{cx, cy - s * 0.12f}, {cx, cy + s * 0.12f}}, kAccent, 3);
      line(c, {{cx - s * 0.12f, cy}, {cx + s * 0.12f, cy}}, kAccent, 3);
      break;
    case 11:  // delete: waste basket
      c.setFillColor(kPaper);
      c.fillPolygon({{cx - s * 0.18f, cy - s * 0.12f}, {cx + s * 0.18f, cy - s * 0.12f}, {cx + s * 0.13f, cy + s * 0.24f}, {cx - s * 0.13f, cy + s * 0.24f}});
      c.fillRect({cx - s * 0.22f, cy - s * 0.2f, s * 0.44f, s * 0.05f});
      line(c, {{cx - s * 0.05f, cy - s * 0.05f}, {cx - s * 0.04f, cy + s * 0.18f}}, kWoodDark, 1.5f);
      line(c, {{cx + s * 0.05f, cy - s * 0.05f}, {cx + s * 0.04f, cy + s * 0.18f}}, kWoodDark, 1.5f);
      break;
    case 12:  // clear: a sponge sweeping
      roundRect(c, {cx - s * 0.2f, cy - s * 0.1f, s * 0.4f, s * 0.22f}, 4, {0.98f, 0.85f, 0.35f, 1}, kWoodDark, 1);
      for (int i = 0; i < 3; ++i) line(c, {{cx - s * 0.25f + i * s * 0.2f, cy - s * 0.25f}, {cx - s * 0.2f + i * s * 0.2f, cy - s * 0.17f}}, kPaper, 1.5f);
      break;
    case 13:  // eye open
    case 14: {  // eye closed
      Path eye;
      eye.moveTo({cx - s * 0.28f, cy});
      eye.quadTo({cx, cy - s * 0.28f}, {cx + s * 0.28f, cy});
      eye.quadTo({cx, cy + s * 0.28f}, {cx - s * 0.28f, cy});
      c.setFillColor(which == 13 ? kPaper : Color::white(0.6f));
      c.fillPath(eye);
      if (which == 13) ellipse(c, {cx - s * 0.1f, cy - s * 0.1f, s * 0.2f, s * 0.2f}, kInk);
      else line(c, {{cx - s * 0.28f, cy + s * 0.22f}, {cx + s * 0.28f, cy - s * 0.22f}}, kAccent, 2.5f);
      break;
    }
    case 15:  // previous frame
    case 16: {  // next frame
      float dir = which == 15 ? -1 : 1;
      roundRect(c, {cx - s * 0.16f, cy - s * 0.2f, s * 0.32f, s * 0.4f}, 2, kPaper, kInk, 1);
      c.setFillColor(kAccent);
      c.fillPolygon({{cx + dir * s * 0.1f, cy - s * 0.12f}, {cx + dir * s * 0.32f, cy}, {cx + dir * s * 0.1f, cy + s * 0.12f}});
      break;
    }
    case 17:  // first frame
    case 18: {  // last frame
      float dir = which == 17 ? -1 : 1;
      c.fillPolygon({{cx - dir * s * 0.12f, cy - s * 0.16f}, {cx + dir * s * 0.1f, cy}, {cx - dir * s * 0.12f, cy + s * 0.16f}});
      c.fillRect({cx + dir * s * 0.12f - s * 0.03f, cy - s * 0.16f, s * 0.06f, s * 0.32f});
      break;
    }
    case 19:  // step back
    case 20: {  // step forward
      float dir = which == 19 ? -1 : 1;
      c.fillPolygon({{cx - dir * s * 0.16f, cy - s * 0.14f}, {cx, cy}, {cx - dir * s * 0.16f, cy + s * 0.14f}});
      c.fillPolygon({{cx, cy - s * 0.14f}, {cx + dir * s * 0.16f, cy}, {cx, cy + s * 0.14f}});
      break;
    }
    case 21:  // reverse
      c.fillPolygon({{cx + s * 0.13f, cy - s * 0.2f}, {cx - s * 0.2f, cy}, {cx + s * 0.13f, cy + s * 0.2f}});
      break;
    case 22: {  // mute: a speaker
      c.fillPolygon({{cx - s * 0.22f, cy - s * 0.07f}, {cx - s * 0.1f, cy - s * 0.07f}, {cx + s * 0.04f, cy - s * 0.2f},
                     {cx + s * 0.04f, cy + s * 0.2f}, {cx - s * 0.1f, cy + s * 0.07f}, {cx - s * 0.22f, cy + s * 0.07f}});
      Path wave;
      wave.moveTo({cx + s * 0.1f, cy - s * 0.1f});
      wave.quadTo({cx + s * 0.18f, cy}, {cx + s * 0.1f, cy + s * 0.1f});
      c.setLineWidth(2);
      c.strokePath(wave);
      break;
    }
    case 23: {  // loop
      Path loop;
      loop.addRoundedRect({cx - s * 0.22f, cy - s * 0.12f, s * 0.44f, s * 0.24f}, s * 0.12f);
      c.setLineWidth(2.5f);
      c.strokePath(loop);
      c.fillPolygon({{cx - s * 0.02f, cy - s * 0.2f}, {cx + s * 0.1f, cy - s * 0.12f}, {cx - s * 0.02f, cy - s * 0.04f}});
      break;
    }
    default:
      break;
  }
}

void roundButton(Context& c, float w, float h, int which) {
  float s = std::min(w, h);
  Rect plate{(w - s) / 2 + 1.5f, (h - s) / 2 + 1.5f, s - 3, s - 3};
  c.save();
  c.translate(0, 1.5f);
  ellipse(c, plate, {0, 0, 0, 0.3f});
  c.restore();
  ellipse(c, plate, kWood);
  ellipse(c, {plate.x + 2, plate.y + 2, plate.width - 4, plate.height * 0.55f}, Color::white(1, 0.12f));
  ring(c, plate, kBrass, 1.5f);
  glyph(c, w, h, which);
}

void speedButton(Context& c, float w, float h, int fps) {
  roundButton(c, w, h, -1);
  gfx::TextStyle style;
  style.font = {"DejaVu Sans", std::min(w, h) * 0.32f, true};
  style.color = kPaper;
  style.alignment = gfx::TextAlignment::Center;
  style.verticalAlignment = gfx::VerticalAlignment::Center;
  gfx::drawText(c, std::to_string(fps), {0, h * 0.12f, w, h * 0.5f}, style);
  style.font.size = std::min(w, h) * 0.18f;
  gfx::drawText(c, "fps", {0, h * 0.5f, w, h * 0.35f}, style);
}

// --- pictures by name

using Entry = desk_art::ArtEntry;

void paintDeskBackdrop(Context& c, float w, float h, int) {
  int bands = 40;
  for (int i = 0; i < bands; ++i) {
    float t = 0.5f + 0.5f * std::sin(i * 0.9f) * std::cos(i * 0.31f);
    c.setFillColor(mix(kWood, kWoodLight, t * 0.5f));
    c.fillRect({0, h * i / bands, w, h / bands + 0.5f});
  }
  c.setStrokeColor({0.15f, 0.08f, 0.03f, 0.25f});
  c.setLineWidth(0.8f);
  for (float y = 6; y < h; y += 13) c.strokePolyline({{0, y}, {w * 0.3f, y + 2}, {w * 0.7f, y - 1}, {w, y + 1}});
}

void paintPaper(Context& c, float w, float h, int) {
  roundRect(c, {3, 4, w - 4, h - 4}, 2, {0, 0, 0, 0.35f}, {}, 0);
  roundRect(c, {1, 1, w - 5, h - 5}, 2, kPaper, Color::white(0.75f), 1);
  // Registration holes of an animation sheet, at the top.
  for (int i = -1; i <= 1; ++i) ellipse(c, {w / 2 + i * 40 - 4, 3, 8, 4}, {0.55f, 0.45f, 0.35f, 1});
}

void paintOnionSheet(Context& c, float w, float h, int) {
  roundRect(c, {0.5f, 0.5f, w - 1, h - 1}, 1.5f, {0.93f, 0.9f, 0.82f, 1}, {0.6f, 0.55f, 0.45f, 1}, 1);
}

void paintEmpty(Context& c, float w, float h, int) {
  // A sheet whose picture is missing: faint paper, a dashed edge, a cross.
  c.setFillColor(Color::white(1, 0.35f));
  c.fillRect({0, 0, w, h});
  line(c, {{w / 2 - 14, h / 2 - 14}, {w / 2 + 14, h / 2 + 14}}, {0.5f, 0.5f, 0.55f, 0.35f}, 2);
  line(c, {{w / 2 + 14, h / 2 - 14}, {w / 2 - 14, h / 2 + 14}}, {0.5f, 0.5f, 0.55f, 0.35f}, 2);
  c.setStrokeColor({0.5f, 0.5f, 0.55f, 0.35f});
  c.setLineWidth(2);
  c.setLineDash(0, {8, 6});
  c.strokeRect({2, 2, w - 4, h - 4});
}

void paintEraserRing(Context& c, float w, float h, int) {
  ring(c, {2, 2, w - 4, h - 4}, {0, 0, 0, 0.55f}, 2);
  ring(c, {3.5f, 3.5f, w - 7, h - 7}, Color::white(1, 0.8f), 1.2f);
  line(c, {{w / 2 - 3, h / 2}, {w / 2 + 3, h / 2}}, {0, 0, 0, 0.5f}, 1);
  line(c, {{w / 2, h / 2 - 3}, {w / 2, h / 2 + 3}}, {0, 0, 0, 0.5f}, 1);
}

// The body turns the way the ellipses do, so that filled with the winding
// rule the opening and the drip add to it instead of cutting holes.
Path canOutline(float w, float h) {
  Path p;
  p.moveTo({w * 0.12f, h * 0.3f});
  p.quadTo({w * 0.5f, h * 0.4f}, {w * 0.88f, h * 0.3f});
  p.lineTo({w * 0.88f, h * 0.88f});
  p.quadTo({w * 0.5f, h * 1.0f}, {w * 0.12f, h * 0.88f});
  p.close();
  p.addEllipse({w * 0.12f, h * 0.22f, w * 0.76f, h * 0.16f});
  // The paint running over the rim.
  p.addEllipse({w * 0.18f, h * 0.3f, w * 0.2f, h * 0.3f});
  return p;
}

void paintCanMask(Context& c, float w, float h, int) {
  c.setFillColor(Color::white(1));
  c.fillPath(canOutline(w, h));
}

void paintCanRim(Context& c, float w, float h, int) {
  // What lies over the coloured can: the handle, highlights and the rim.
  Path handle;
  handle.moveTo({w * 0.14f, h * 0.3f});
  handle.curveTo({w * 0.14f, h * 0.0f}, {w * 0.86f, h * 0.0f}, {w * 0.86f, h * 0.3f});
  c.setStrokeColor({0.3f, 0.3f, 0.3f, 1});
  c.setLineWidth(2);
  c.strokePath(handle);
  c.setStrokeColor({0, 0, 0, 0.6f});
  c.setLineWidth(1.2f);
  c.strokePath(canOutline(w, h));
  c.setFillColor(Color::white(1, 0.35f));
  c.fillRect({w * 0.7f, h * 0.42f, w * 0.08f, h * 0.4f});
}

void paintPenBar(Context& c, float w, float h, int) {
  (void)w;
  panel(c, {322, 0, 80, h});
  // Slots the tools rest in.
  c.setFillColor({0, 0, 0, 0.18f});
  constexpr float kTops[] = {0, 46, 68, 99, 122, 141, 194, 219, 269, 320};
  for (int i = 0; i + 1 < 10; ++i) c.fillRect({328, kTops[i] + 1, 70, 1});
}

void paintTool(Context& c, float w, float h, int kind) { tool(c, w, h, kind); }

void paintValueBar(Context& c, float w, float h, int kind) {
  panel(c, {0, 0, w, h});
  // The track the slider runs on, from y 67 (top of the range) to y 277.
  Rect track{w / 2 - 9, 64, 18, 232};
  roundRect(c, track, 9, {0.15f, 0.09f, 0.05f, 0.6f}, kBrass, 1);
  if (kind == 0) {
    // Opacity: ink from full to faint.
    for (int i = 0; i < 29; ++i) {
      c.setFillColor({0.1f, 0.1f, 0.15f, 1.0f - i / 29.0f});
      c.fillRect({track.x + 3, track.y + 4 + i * 7.8f, track.width - 6, 8});
    }
  } else if (kind == 1) {
    // Size: a wedge from broad to fine.
    c.setFillColor(kPaper);
    c.fillPolygon({{track.x + 2, track.y + 6}, {track.x + track.width - 2, track.y + 6}, {w / 2 + 1, track.y + track.height - 6},
                   {w / 2 - 1, track.y + track.height - 6}});
  }
  // The window at the top where the value is shown.
  if (kind != 2) roundRect(c, {12, 2, w - 24, 50}, 8, kPaper, kBrass, 1.5f);
}

void paintSlider(Context& c, float w, float h, int) {
  roundRect(c, {1, 2, w - 2, h - 4}, (h - 4) / 2, kBrass, kWoodDark, 1.2f);
  c.setFillColor(Color::white(1, 0.4f));
  c.fillRect({6, 4, w - 12, 3});
  line(c, {{w / 2 - 6, h / 2}, {w / 2 + 6, h / 2}}, kWoodDark, 1.5f);
}

void paintOpacityDisplay(Context& c, float w, float h, int filled) {
  Path drop;
  drop.moveTo({w / 2, h * 0.08f});
  drop.curveTo({w * 0.65f, h * 0.35f}, {w * 0.85f, h * 0.5f}, {w * 0.85f, h * 0.64f});
  drop.curveTo({w * 0.85f, h * 0.85f}, {w * 0.65f, h * 0.94f}, {w / 2, h * 0.94f});
  drop.curveTo({w * 0.35f, h * 0.94f}, {w * 0.15f, h * 0.85f}, {w * 0.15f, h * 0.64f});
  drop.curveTo({w * 0.15f, h * 0.5f}, {w * 0.35f, h * 0.35f}, {w / 2, h * 0.08f});
  drop.close();
  if (filled) {
    c.setFillColor({0.12f, 0.18f, 0.45f, 1});
    c.fillPath(drop);
    ellipse(c, {w * 0.3f, h * 0.55f, w * 0.12f, h * 0.18f}, Color::white(1, 0.5f));
  } else {
    c.setStrokeColor({0.12f, 0.18f, 0.45f, 1});
    c.setLineWidth(2);
    c.strokePath(drop);
  }
}

void paintSizeDisplay(Context& c, float w, float h, int current) {
  if (current) ellipse(c, {1, 1, w - 2, h - 2}, kInk);
  else ring(c, {1.5f, 1.5f, w - 3, h - 3}, {0.4f, 0.4f, 0.4f, 0.8f}, 1.5f);
}

void paintShape(Context& c, float w, float h, int variant) {
  int shape = variant % 6;
  bool chosen = variant >= 6;
  bool solid = shape % 2 == 1;
  roundRect(c, {1, 1, w - 2, h - 2}, 6, chosen ? kBrass : Color{0, 0, 0, 0.15f}, chosen ? kPaper : Color{}, chosen ? 1.5f : 0);
  Color ink = chosen ? kWoodDark : kPaper;
  Path p;
  float m = 7;
  if (shape / 2 == 0) p.addLines({{w / 2, m}, {w - m, h - m}, {m, h - m}}, true);
  else if (shape / 2 == 1) p.addEllipse({m, m, w - 2 * m, h - 2 * m});
  else p.addRect({m, m + 2, w - 2 * m, h - 2 * m - 4});
  if (solid) {
    c.setFillColor(ink);
    c.fillPath(p);
  } else {
    c.setStrokeColor(ink);
    c.setLineWidth(2.5f);
    c.strokePath(p);
  }
}

void paintPalette(Context& c, float w, float h, int) {
  roundRect(c, {2, 2, w - 4, h - 4}, 16, kWood, kBrass, 2);
  gfx::TextStyle style;
  style.font = {"DejaVu Sans", 15, true};
  style.color = kPaper;
  style.alignment = gfx::TextAlignment::Center;
  gfx::drawText(c, "Colours", {0, 12, w, 22}, style);
  const auto& colors = ZTDataModel::sharedInstance().extendDataModel().colors();
  for (int n = 0; n < static_cast<int>(colors.size()); ++n) {
    int col = n % 11, row = n / 11;
    float x = 14 + col * 41.5f + 4, y = 48 + row * 42.0f + 4;
    Rect body{x + 2, y + 6, 30, 28};
    Path can;
    can.addRoundedRect(body, 4);
    c.setFillColor({0, 0, 0, 0.3f});
    c.save();
    c.translate(1, 2);
    c.fillPath(can);
    c.restore();
    c.setFillColor({0.75f, 0.75f, 0.78f, 1});
    c.fillPath(can);
    Color paint = colors[static_cast<std::size_t>(n)];
    paint.a = 1;
    ellipse(c, {x + 3, y + 3, 28, 9}, paint);
    c.setFillColor(paint);
    c.fillRect({x + 2, y + 16, 30, 10});
    ring(c, {x + 3, y + 3, 28, 9}, {0.35f, 0.35f, 0.38f, 1}, 1);
  }
}

void paintColorTag(Context& c, float w, float h, int) {
  ring(c, {2, 2, w - 4, h - 4}, Color::white(1), 3);
  ring(c, {4, 4, w - 8, h - 8}, kInk, 1.5f);
}

void paintRoller(Context& c, float w, float h, int state) {
  roundRect(c, {1, 1, w - 2, h - 2}, w / 2 - 1, kWoodDark, kBrass, 1.5f);
  // Grooves shift with the turn.
  float shift = state == 1 ? 5 : state == 2 ? -5 : 0;
  c.setStrokeColor(Color::white(1, 0.3f));
  c.setLineWidth(1.5f);
  for (float y = 10 + shift; y < h - 6; y += 9) c.strokePolyline({{4, y}, {w - 4, y}});
  if (state != 0) {
    c.setFillColor(kBrass);
    float y = state == 1 ? h - 14 : 14;
    float d = state == 1 ? 6 : -6;
    c.fillPolygon({{w / 2 - 6, y - d}, {w / 2 + 6, y - d}, {w / 2, y}});
  }
}

void paintLayerButton(Context& c, float w, float h, int which) {
  // Three sheets stacked as the layers lie on the page: the foreground on
  // top, the middle ground under it, the background at the bottom. The one
  // the picture stands for (0 foreground, 1 middle ground, 2 background) is
  // lit in the accent colour; the lowest is drawn first, so each sheet lies
  // over the one beneath it.
  roundButton(c, w, h, -1);
  for (int sheet = 2; sheet >= 0; --sheet) {
    const float y = h * 0.28f + sheet * h * 0.13f;
    c.setFillColor(sheet == which ? kAccent : Color::white(0.92f, 0.9f));
    c.fillPolygon({{w * 0.5f, y - h * 0.1f}, {w * 0.8f, y}, {w * 0.5f, y + h * 0.1f}, {w * 0.2f, y}});
  }
}

void paintRoundButton(Context& c, float w, float h, int which) { roundButton(c, w, h, which); }
void paintSpeed(Context& c, float w, float h, int fps) { speedButton(c, w, h, fps); }

void paintPlate(Context& c, float w, float h, int) {
  roundRect(c, {1, 1, w - 2, h - 2}, std::min(h / 2 - 1, 12.0f), {0.1f, 0.06f, 0.03f, 0.75f}, kBrass, 1.2f);
}

void paintDrawer(Context& c, float w, float h, int) {
  roundRect(c, {1, 1, w - 2, h + 10}, 12, kWoodDark, kBrass, 2);
  c.setFillColor(Color::white(1, 0.08f));
  c.fillRect({6, 4, w - 12, h * 0.4f});
}

void paintPanel(Context& c, float w, float h, int) {
  roundRect(c, {2, 3, w - 4, h - 4}, 14, {0, 0, 0, 0.35f}, {}, 0);
  roundRect(c, {1, 1, w - 3, h - 4}, 14, kWood, kBrass, 2);
  roundRect(c, {8, 40, w - 17, h - 86}, 8, {0, 0, 0, 0.15f}, {}, 0);
}

void paintSelection(Context& c, float w, float h, int) {
  roundRect(c, {1, 1, w - 2, h - 2}, 8, {1, 0.85f, 0.45f, 0.35f}, kBrass, 2);
}

void paintModeIcon(Context& c, float w, float h, int mode) {
  // Three sheets in a row; the drawn page in the accent colour, the shown
  // neighbours pale, the rest dotted.
  constexpr bool kShown[3][4] = {{true, true, false, false}, {false, true, false, true}, {false, false, true, true}};
  float sw = w / 5.5f;
  for (int i = 0; i < 5; ++i) {
    int slot = i < 2 ? i : i == 2 ? -1 : i - 1;
    Rect r{w * 0.06f + i * sw * 1.08f, h * 0.2f, sw, h * 0.6f};
    if (slot < 0) roundRect(c, r, 2, kAccent, kPaper, 1);
    else if (kShown[mode][slot]) roundRect(c, r, 2, Color::white(1, 0.75f), kPaper, 1);
    else roundRect(c, r, 2, Color::white(1, 0.1f), Color::white(1, 0.4f), 1);
  }
}


// The background gallery: the highlight around the chosen cell, the cell that
// adds a background, the close button.
void paintCellHighlight(Context& c, float w, float h, int) {
  roundRect(c, {3, 3, w - 6, h - 6}, 10, Color{1, 0.85f, 0.45f, 0.18f}, kAccent, 4);
}

void paintAddCell(Context& c, float w, float h, int) {
  roundRect(c, {8, 8, w - 16, h - 16}, 8, Color::white(1, 0.12f), kBrass, 2);
  const float cx = w / 2, cy = h / 2, arm = std::min(w, h) * 0.18f;
  line(c, {{cx - arm, cy}, {cx + arm, cy}}, kPaper, 5);
  line(c, {{cx, cy - arm}, {cx, cy + arm}}, kPaper, 5);
}

// The layer panel's two background marks: a small landscape while a
// background picture is shown under the layers, a brush tip while the
// background itself is being painted.
void paintBackgroundShownMark(Context& c, float w, float h, int) {
  roundRect(c, {0.5f, 0.5f, w - 1, h - 1}, w * 0.15f, {0.55f, 0.78f, 0.95f, 1}, kBrass, w * 0.1f);
  c.setFillColor({0.3f, 0.6f, 0.25f, 1});
  c.fillPolygon({{w * 0.1f, h * 0.9f}, {w * 0.4f, h * 0.45f}, {w * 0.65f, h * 0.75f}, {w * 0.9f, h * 0.55f},
                 {w * 0.9f, h * 0.9f}});
  ellipse(c, {w * 0.6f, h * 0.18f, w * 0.22f, h * 0.22f}, {1, 0.9f, 0.35f, 1});
}

void paintBackgroundPaintingMark(Context& c, float w, float h, int) {
  ellipse(c, {0.5f, 0.5f, w - 1, h - 1}, kAccent);
  line(c, {{w * 0.3f, h * 0.7f}, {w * 0.72f, h * 0.28f}}, kPaper, w * 0.16f);
  ellipse(c, {w * 0.2f, h * 0.62f, w * 0.2f, h * 0.2f}, kInk);
}

// The add dialog's box: a title band over a well that holds the dialog's
// three buttons (y 40 to 145) with a margin all round.
void paintDialogBox(Context& c, float w, float h, int) {
  roundRect(c, {2, 3, w - 4, h - 4}, 14, {0, 0, 0, 0.35f}, {}, 0);
  roundRect(c, {1, 1, w - 3, h - 4}, 14, kWood, kBrass, 2);
  line(c, {{14, 31}, {w - 16, 31}}, mix(kBrass, kWood, 0.35f), 1);
  roundRect(c, {10, 34, w - 21, 118}, 8, {0, 0, 0, 0.15f}, {}, 0);
}

// A dialog button: a walnut bar with a brass edge; pressed, it glows in the
// accent colour and loses its sheen.
void paintMessageButton(Context& c, float w, float h, int pressed) {
  const float radius = (h - 3) / 2;
  const Rect face{1, 1, w - 2, h - 3};
  roundRect(c, {1, 2, w - 2, h - 2}, radius, {0, 0, 0, 0.35f}, {}, 0);
  Path shape;
  shape.addRoundedRect(face, radius);
  c.save();
  c.clipToPath(shape);
  const Color top = pressed ? mix(kAccent, kBrass, 0.2f) : kWoodLight;
  const Color bottom = pressed ? mix(kAccent, kWoodDark, 0.35f) : kWoodDark;
  // Half-point bands read as a smooth shade at either scale.
  const int bands = static_cast<int>(face.height * 2);
  for (int i = 0; i < bands; ++i) {
    c.setFillColor(mix(top, bottom, i / float(bands - 1)));
    c.fillRect({face.x, face.y + face.height * i / bands, face.width, face.height / bands + 0.5f});
  }
  if (!pressed) {
    c.setFillColor(Color::white(1, 0.12f));
    c.fillRect({face.x + radius, face.y + 2, face.width - 2 * radius, face.height * 0.3f});
  }
  c.restore();
  c.setStrokeColor(kBrass);
  c.setLineWidth(1.2f);
  c.strokePath(shape);
}

void paintCloseButton(Context& c, float w, float h, int) {
  ellipse(c, {1, 1, w - 2, h - 2}, kWoodDark);
  ring(c, {1.5f, 1.5f, w - 3, h - 3}, kBrass, 1.5f);
  const float k = std::min(w, h) * 0.28f;
  line(c, {{w / 2 - k, h / 2 - k}, {w / 2 + k, h / 2 + k}}, kPaper, 2.5f);
  line(c, {{w / 2 + k, h / 2 - k}, {w / 2 - k, h / 2 + k}}, kPaper, 2.5f);
}

constexpr Entry kEntries[] = {
    {"desktop_background.png", 480, 320, paintDeskBackdrop, 0},
    {"desktop_background-568h.png", 568, 320, paintDeskBackdrop, 0},
    {"desktop_paper.png", 396, 300, paintPaper, 0},
    {"onion_sheet.png", 12, 290, paintOnionSheet, 0},
    {"emptyImage.png", 384, 288, paintEmpty, 0},
    {"erase.png", 64, 64, paintEraserRing, 0},
    {"Paint_can_mask.png", 43, 49, paintCanMask, 0},
    {"Paint_can.png", 43, 49, paintCanRim, 0},
    {"Pen_bar.png", 480, 320, paintPenBar, 0},
    {"b_erase.png", 64, 52, paintTool, 0},
    {"b_pen01.png", 67, 24, paintTool, 1},
    {"b_pen02.png", 68, 33, paintTool, 2},
    {"b_pen03.png", 68, 26, paintTool, 3},
    {"b_pen04.png", 69, 25, paintTool, 4},
    {"b_pen05.png", 70, 60, paintTool, 5},
    {"b_pen06.png", 67, 33, paintTool, 6},
    {"b_smudge.png", 64, 52, paintTool, 7},
    {"fill_tool.png", 64, 54, paintTool, 8},
    {"s_erase.png", 34, 24, paintTool, 0},
    {"s_pen01.png", 34, 19, paintTool, 1},
    {"s_pen02.png", 34, 22, paintTool, 2},
    {"s_pen03.png", 34, 20, paintTool, 3},
    {"s_pen04.png", 34, 20, paintTool, 4},
    {"s_pen05.png", 36, 30, paintTool, 5},
    {"s_pen06.png", 34, 22, paintTool, 6},
    {"s_smudge.png", 34, 26, paintTool, 7},
    {"fill_tool_small.png", 34, 28, paintTool, 8},
    {"Opacity_bar.png", 88, 320, paintValueBar, 0},
    {"Size_bar.png", 88, 320, paintValueBar, 1},
    {"Shape_bar.png", 88, 320, paintValueBar, 2},
    {"Opacity_Slider.png", 45, 20, paintSlider, 0},
    {"Size_Slider.png", 45, 20, paintSlider, 0},
    {"Opacity_Display_L.png", 48, 48, paintOpacityDisplay, 1},
    {"Opacity_Display_R.png", 48, 48, paintOpacityDisplay, 0},
    {"Size_display01.png", 50, 50, paintSizeDisplay, 1},
    {"Size_display02.png", 50, 50, paintSizeDisplay, 0},
    {"Shape_A01.png", 43, 40, paintShape, 0},
    {"Shape_B01.png", 43, 40, paintShape, 1},
    {"Shape_C01.png", 48, 48, paintShape, 2},
    {"Shape_D01.png", 48, 48, paintShape, 3},
    {"Shape_E01.png", 46, 47, paintShape, 4},
    {"Shape_F01.png", 46, 47, paintShape, 5},
    {"Shape_A02.png", 43, 40, paintShape, 6},
    {"Shape_B02.png", 43, 40, paintShape, 7},
    {"Shape_C02.png", 48, 48, paintShape, 8},
    {"Shape_D02.png", 48, 48, paintShape, 9},
    {"Shape_E02.png", 46, 47, paintShape, 10},
    {"Shape_F02.png", 46, 47, paintShape, 11},
    {"color_cans.png", 480, 262, paintPalette, 0},
    {"color_tag.png", 30, 30, paintColorTag, 0},
    {"desktop_Roller01.png", 20, 102, paintRoller, 0},
    {"desktop_Roller02.png", 20, 102, paintRoller, 1},
    {"desktop_Roller03.png", 20, 102, paintRoller, 2},
    {"Foreground.png", 44, 44, paintLayerButton, 0},
    {"Middle_ground.png", 44, 44, paintLayerButton, 1},
    {"Background.png", 44, 44, paintLayerButton, 2},
    {"desktop_file.png", 40, 40, paintRoundButton, 0},
    {"desktop_back.png", 40, 40, paintRoundButton, 1},
    {"desktop_onion.png", 40, 40, paintRoundButton, 2},
    {"desktop_frames.png", 40, 40, paintRoundButton, 3},
    {"desktop_stamp.png", 40, 40, paintRoundButton, 4},
    {"desktop_player.png", 40, 40, paintRoundButton, 5},
    {"desktop_tools.png", 40, 40, paintRoundButton, 6},
    {"tools_undo.png", 40, 40, paintRoundButton, 7},
    {"tools_redo.png", 40, 40, paintRoundButton, 8},
    {"tools_duplicate.png", 40, 40, paintRoundButton, 9},
    {"tools_add.png", 40, 40, paintRoundButton, 10},
    {"tools_delete.png", 40, 40, paintRoundButton, 11},
    {"tools_clear.png", 40, 40, paintRoundButton, 12},
    {"layer_visible.png", 36, 36, paintRoundButton, 13},
    {"layer_hidden.png", 36, 36, paintRoundButton, 14},
    {"desktop_pre_frame.png", 40, 40, paintRoundButton, 15},
    {"desktop_next_frame.png", 40, 40, paintRoundButton, 16},
    {"desktop_add_frame.png", 40, 40, paintRoundButton, 10},
    {"player_first.png", 32, 32, paintRoundButton, 17},
    {"player_last.png", 32, 32, paintRoundButton, 18},
    {"player_prev.png", 32, 32, paintRoundButton, 19},
    {"player_next.png", 32, 32, paintRoundButton, 20},
    {"player_reverse.png", 32, 32, paintRoundButton, 21},
    {"player_play.png", 32, 32, paintRoundButton, 5},
    {"player_mute.png", 32, 32, paintRoundButton, 22},
    {"player_loop.png", 32, 32, paintRoundButton, 23},
    {"player_12fps.png", 32, 32, paintSpeed, 12},
    {"player_6fps.png", 32, 32, paintSpeed, 6},
    {"player_3fps.png", 32, 32, paintSpeed, 3},
    {"page_indicator.png", 100, 22, paintPlate, 0},
    {"player_bar.png", 330, 38, paintPlate, 0},
    {"tools_drawer.png", 469, 51, paintDrawer, 0},
    {"onion_panel.png", 215, 201, paintPanel, 0},
    {"layer_panel.png", 224, 230, paintPanel, 0},
    {"panel_selection.png", 200, 50, paintSelection, 0},
    {"onion_mode_0.png", 60, 36, paintModeIcon, 0},
    {"onion_mode_1.png", 60, 36, paintModeIcon, 1},
    {"onion_mode_2.png", 60, 36, paintModeIcon, 2},
    {"background_library.png", 476, 318, paintPanel, 0},
    {"block_medium.png", 312, 181, paintDialogBox, 0},
    {"message_button_A01.png", 218, 25, paintMessageButton, 0},
    {"message_button_A02.png", 218, 25, paintMessageButton, 1},
    {"background_menu_bar.png", 568, 49, paintDrawer, 0},
    {"background_edit.png", 147, 44, paintPlate, 0},
    {"background_delete.png", 147, 44, paintPlate, 0},
    {"background_duplicate.png", 147, 44, paintPlate, 0},
    {"background_selection.png", 118, 93, paintCellHighlight, 0},
    {"background_add.png", 118, 93, paintAddCell, 0},
    {"close.png", 30, 30, paintCloseButton, 0},
    {"background_shown_mark.png", 10, 10, paintBackgroundShownMark, 0},
    {"background_painting_mark.png", 10, 10, paintBackgroundPaintingMark, 0},
};

desk_art::ArtCatalogue& catalogue() {
  static desk_art::ArtCatalogue c(kEntries, withoutScaleSuffix);
  return c;
}

}  // namespace

gfx::Image draw(const std::string& name, float scale) { return catalogue().draw(name, scale); }

ui::Picture named(const std::string& name) { return catalogue().named(name); }

std::vector<std::string> names() { return catalogue().names(); }

void purge() { catalogue().purge(); }

}  // namespace desk_art
