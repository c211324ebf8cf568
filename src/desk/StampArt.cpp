#include "desk/StampArt.h"

#include <cmath>
#include <numbers>

#include "desk/DeskPalette.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace stamp_art {

namespace {

using gfx::Color, gfx::Context, gfx::Path, gfx::Point, gfx::Rect;
constexpr float kPi = std::numbers::pi_v<float>;

// The tool shares the desk's walnut and brass; the window is a pale glass.
using namespace desk_palette;
constexpr Color kGlass{0.85f, 0.93f, 1.0f, 0.18f};
constexpr Color kMaskInk{0, 0, 0, 1};

void fill(Context& c, const Path& p, Color color) {
  c.setFillColor(color);
  c.fillPath(p);
}

void stroke(Context& c, const Path& p, Color color, float width) {
  c.setStrokeColor(color);
  c.setLineWidth(width);
  c.setLineCap(gfx::LineCap::Round);
  c.setLineJoin(gfx::LineJoin::Round);
  c.strokePath(p);
}

Path rounded(Rect r, float radius) {
  Path p;
  p.addRoundedRect(r, radius);
  return p;
}

Path oval(Rect r) {
  Path p;
  p.addEllipse(r);
  return p;
}

Path polygon(const std::vector<Point>& pts) {
  Path p;
  p.addLines(pts, true);
  return p;
}

// A regular star or polygon about (cx, cy): n points, every other at the
// inner radius when inner > 0.
std::vector<Point> starPoints(float cx, float cy, float outer, float inner, int n) {
  std::vector<Point> pts;
  const int steps = inner > 0 ? n * 2 : n;
  for (int i = 0; i < steps; ++i) {
    const float r = (inner > 0 && i % 2) ? inner : outer;
    const float a = -kPi / 2 + i * 2 * kPi / steps;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return pts;
}

// --- the frame, the window and the handles

void paintBorder(Context& c, float w, float h, int) {
  // Stretched with caps at the middle: the corners carry the ornament. The
  // window's place stays open, so the page shows through the tool.
  Path ring = rounded({3, 3, w - 6, h - 6}, 16);
  ring.addRoundedRect({25, 24, w - 50, h - 49}, 4);
  c.setFillColor({kWood.r, kWood.g, kWood.b, 0.92f});
  c.fillPath(ring, gfx::FillRule::EvenOdd);
  stroke(c, rounded({25, 24, w - 50, h - 49}, 4), kWoodDark, 1.5f);
  stroke(c, rounded({3, 3, w - 6, h - 6}, 16), kBrass, 3);
  stroke(c, rounded({9, 9, w - 18, h - 18}, 12), {kBrass.r, kBrass.g, kBrass.b, 0.5f}, 1);
  for (Point p : {Point{14, 14}, Point{w - 14, 14}, Point{14, h - 14}, Point{w - 14, h - 14}})
    fill(c, oval({p.x - 3, p.y - 3, 6, 6}), kBrass);
}

void paintScreen(Context& c, float w, float h, int) {
  c.setFillColor(kGlass);
  c.fillRect({0, 0, w, h});
  c.setStrokeColor({1, 1, 1, 0.85f});
  c.setLineWidth(1.5f);
  c.setLineDash(0, {5, 3});
  c.strokeRect({1, 1, w - 2, h - 2});
  c.setLineDash(0, {});
}

void paintRotate(Context& c, float w, float h, int) {
  fill(c, oval({1, 1, w - 2, h - 2}), kBrass);
  Path arc;
  const float cx = w / 2, cy = h / 2, r = w * 0.28f;
  for (int i = 0; i <= 24; ++i) {
    const float a = -kPi * 0.9f + i * (kPi * 1.5f) / 24;
    Point p{cx + r * std::cos(a), cy + r * std::sin(a)};
    if (i == 0) arc.moveTo(p);
    else arc.lineTo(p);
  }
  stroke(c, arc, kInk, w * 0.08f);
  const float a = kPi * 0.6f;
  Point tip{cx + r * std::cos(a), cy + r * std::sin(a)};
  fill(c, polygon({{tip.x - w * 0.14f, tip.y - w * 0.02f}, {tip.x + w * 0.1f, tip.y - w * 0.1f}, {tip.x + w * 0.02f, tip.y + w * 0.14f}}),
       kInk);
}

// --- the command buttons: a brass plate (pressed: the accent) with an icon

enum Icon { kCopy, kPaste, kCut, kAlbum, kClear, kShade, kRubbing, kLasso, kSquare, kCircle, kTriangle };

void icon(Context& c, Rect r, int kind, Color ink) {
  const float cx = r.x + r.width / 2, cy = r.y + r.height / 2, s = std::min(r.width, r.height);
  switch (kind) {
    case kCopy:
      stroke(c, rounded({cx - s * 0.35f, cy - s * 0.3f, s * 0.45f, s * 0.5f}, 1.5f), ink, 1.2f);
      fill(c, rounded({cx - s * 0.1f, cy - s * 0.15f, s * 0.45f, s * 0.5f}, 1.5f), ink);
      break;
    case kPaste:
      stroke(c, rounded({cx - s * 0.3f, cy - s * 0.35f, s * 0.6f, s * 0.72f}, 1.5f), ink, 1.2f);
      fill(c, rounded({cx - s * 0.15f, cy - s * 0.42f, s * 0.3f, s * 0.16f}, 1), ink);
      break;
    case kCut: {
      stroke(c, oval({cx - s * 0.42f, cy + s * 0.05f, s * 0.28f, s * 0.28f}), ink, 1.2f);
      stroke(c, oval({cx + s * 0.14f, cy + s * 0.05f, s * 0.28f, s * 0.28f}), ink, 1.2f);
      Path blades;
      blades.moveTo({cx - s * 0.18f, cy + s * 0.1f});
      blades.lineTo({cx + s * 0.2f, cy - s * 0.42f});
      blades.moveTo({cx + s * 0.18f, cy + s * 0.1f});
      blades.lineTo({cx - s * 0.2f, cy - s * 0.42f});
      stroke(c, blades, ink, 1.4f);
      break;
    }
    case kAlbum: {
      stroke(c, rounded({cx - s * 0.45f, cy - s * 0.35f, s * 0.9f, s * 0.7f}, 1.5f), ink, 1.2f);
      fill(c, polygon({{cx - s * 0.38f, cy + s * 0.3f}, {cx - s * 0.08f, cy - s * 0.1f}, {cx + s * 0.12f, cy + s * 0.15f},
                       {cx + s * 0.22f, cy + s * 0.05f}, {cx + s * 0.4f, cy + s * 0.3f}}),
           ink);
      fill(c, oval({cx + s * 0.12f, cy - s * 0.28f, s * 0.16f, s * 0.16f}), ink);
      break;
    }
    case kClear: {
      Path x;
      x.moveTo({cx - s * 0.3f, cy - s * 0.3f});
      x.lineTo({cx + s * 0.3f, cy + s * 0.3f});
      x.moveTo({cx + s * 0.3f, cy - s * 0.3f});
      x.lineTo({cx - s * 0.3f, cy + s * 0.3f});
      stroke(c, x, ink, 2);
      break;
    }
    case kShade:
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
          fill(c, rounded({cx - s * 0.38f + i * s * 0.42f, cy - s * 0.38f + j * s * 0.42f, s * 0.34f, s * 0.34f}, 1), ink);
      break;
    case kRubbing: {
      Path z;
      z.moveTo({r.x + 4, cy + s * 0.25f});
      for (int i = 1; i <= 6; ++i) z.lineTo({r.x + 4 + i * (r.width - 8) / 6, cy + (i % 2 ? -s * 0.25f : s * 0.25f)});
      stroke(c, z, ink, 1.6f);
      break;
    }
    case kLasso:
      c.setLineDash(0, {3, 2});
      stroke(c, oval({r.x + 4, cy - s * 0.3f, r.width - 8, s * 0.6f}), ink, 1.4f);
      c.setLineDash(0, {});
      break;
    case kSquare:
      fill(c, {rounded({cx - s * 0.32f, cy - s * 0.32f, s * 0.64f, s * 0.64f}, 1)}, ink);
      break;
    case kCircle:
      fill(c, oval({cx - s * 0.34f, cy - s * 0.34f, s * 0.68f, s * 0.68f}), ink);
      break;
    case kTriangle:
      fill(c, polygon({{cx, cy - s * 0.34f}, {cx + s * 0.36f, cy + s * 0.3f}, {cx - s * 0.36f, cy + s * 0.3f}}), ink);
      break;
  }
}

void paintButton(Context& c, float w, float h, int variant) {
  const int kind = variant % 100;
  const bool pressed = variant >= 100;
  fill(c, rounded({0.5f, 0.5f, w - 1, h - 1}, h / 3), pressed ? kAccent : kBrass);
  stroke(c, rounded({0.5f, 0.5f, w - 1, h - 1}, h / 3), kWoodDark, 1);
  icon(c, {2, 2, w - 4, h - 4}, kind, pressed ? kPaper : kInk);
}

void paintShapeButton(Context& c, float w, float h, int kind) {
  fill(c, oval({1, 1, w - 2, h - 2}), kPaper);
  icon(c, {4, 4, w - 8, h - 8}, kind, kInk);
}

// --- the nine shape masks: opaque ink where the shape is

void paintMask(Context& c, float w, float h, int kind) {
  const float cx = w / 2, cy = h / 2, s = std::min(w, h);
  switch (kind) {
    case 1: fill(c, {rounded({s * 0.06f, s * 0.06f, w - s * 0.12f, h - s * 0.12f}, 0)}, kMaskInk); break;
    case 2: fill(c, oval({s * 0.05f, s * 0.05f, w - s * 0.1f, h - s * 0.1f}), kMaskInk); break;
    case 3: fill(c, polygon({{cx, h * 0.05f}, {w * 0.95f, h * 0.92f}, {w * 0.05f, h * 0.92f}}), kMaskInk); break;
    case 4: fill(c, polygon(starPoints(cx, cy * 1.06f, s * 0.47f, s * 0.2f, 5)), kMaskInk); break;
    case 5: {
      Path heart;
      heart.moveTo({cx, h * 0.9f});
      heart.curveTo({w * 0.1f, h * 0.6f}, {w * -0.05f, h * 0.15f}, {cx, h * 0.3f});
      heart.curveTo({w * 1.05f, h * 0.15f}, {w * 0.9f, h * 0.6f}, {cx, h * 0.9f});
      heart.close();
      fill(c, heart, kMaskInk);
      break;
    }
    case 6: fill(c, polygon({{cx, h * 0.04f}, {w * 0.92f, cy}, {cx, h * 0.96f}, {w * 0.08f, cy}}), kMaskInk); break;
    case 7: fill(c, polygon(starPoints(cx, cy, s * 0.47f, 0, 6)), kMaskInk); break;
    case 8:
      fill(c, polygon({{w * 0.05f, h * 0.35f}, {w * 0.55f, h * 0.35f}, {w * 0.55f, h * 0.12f}, {w * 0.95f, cy},
                       {w * 0.55f, h * 0.88f}, {w * 0.55f, h * 0.65f}, {w * 0.05f, h * 0.65f}}),
           kMaskInk);
      break;
    default: {
      // A cloud of overlapping puffs.
      for (Rect r : {Rect{w * 0.08f, h * 0.4f, w * 0.36f, h * 0.36f}, Rect{w * 0.26f, h * 0.2f, w * 0.44f, h * 0.44f},
                     Rect{w * 0.54f, h * 0.34f, w * 0.38f, h * 0.38f}, Rect{w * 0.22f, h * 0.48f, w * 0.56f, h * 0.3f}})
        fill(c, oval(r), kMaskInk);
    }
  }
}

// --- the pack list and the grid

void paintShapesIcon(Context& c, float w, float h, int) {
  fill(c, rounded({1, 1, w - 2, h - 2}, 8), kPaper);
  stroke(c, rounded({1, 1, w - 2, h - 2}, 8), kBrass, 2);
  fill(c, rounded({w * 0.12f, h * 0.14f, w * 0.32f, h * 0.32f}, 2), {0.25f, 0.5f, 0.85f, 1});
  fill(c, oval({w * 0.54f, h * 0.14f, w * 0.34f, h * 0.34f}), kAccent);
  fill(c, polygon({{w * 0.5f, h * 0.52f}, {w * 0.8f, h * 0.88f}, {w * 0.2f, h * 0.88f}}), {0.3f, 0.65f, 0.35f, 1});
}

void paintLibraryButton(Context& c, float w, float h, int downloaded) {
  fill(c, rounded({1, 1, w - 2, h - 2}, h / 3), downloaded ? Color{0.3f, 0.6f, 0.35f, 1} : kBrass);
  stroke(c, rounded({1, 1, w - 2, h - 2}, h / 3), kWoodDark, 1);
  Path mark;
  const float cx = w / 2, cy = h / 2, s = h * 0.6f;
  if (downloaded) {
    mark.moveTo({cx - s * 0.5f, cy});
    mark.lineTo({cx - s * 0.1f, cy + s * 0.4f});
    mark.lineTo({cx + s * 0.55f, cy - s * 0.4f});
    stroke(c, mark, kPaper, 2.5f);
  } else {
    mark.moveTo({cx, cy - s * 0.5f});
    mark.lineTo({cx, cy + s * 0.3f});
    mark.moveTo({cx - s * 0.35f, cy});
    mark.lineTo({cx, cy + s * 0.4f});
    mark.lineTo({cx + s * 0.35f, cy});
    stroke(c, mark, kInk, 2.5f);
  }
}

void paintBorderIn(Context& c, float w, float h, int) {
  stroke(c, rounded({1.5f, 1.5f, w - 3, h - 3}, 6), kBrass, 2);
  fill(c, rounded({3, 3, w - 6, h - 6}, 5), {1, 1, 1, 0.12f});
}

struct Entry {
  const char* name;
  float width, height;
  void (*paint)(Context&, float w, float h, int variant);
  int variant;
};

constexpr Entry kEntries[] = {
    {"Stamp_border.png", 190, 191, paintBorder, 0},
    {"Stamp_screen.png", 136, 139, paintScreen, 0},
    {"stamp_rotate.png", 36, 36, paintRotate, 0},
    {"Stamp_square.png", 30, 30, paintShapeButton, kSquare},
    {"Stamp_circle.png", 30, 30, paintShapeButton, kCircle},
    {"Stamp_triangle.png", 30, 30, paintShapeButton, kTriangle},
    {"Stamp_copy01.png", 36, 21, paintButton, kCopy},
    {"Stamp_copy02.png", 36, 21, paintButton, 100 + kCopy},
    {"Stamp_paste01.png", 36, 21, paintButton, kPaste},
    {"Stamp_paste02.png", 36, 21, paintButton, 100 + kPaste},
    {"Stamp_cut01.png", 36, 21, paintButton, kCut},
    {"Stamp_cut02.png", 36, 21, paintButton, 100 + kCut},
    {"Stamp_album01.png", 36, 21, paintButton, kAlbum},
    {"Stamp_album02.png", 36, 21, paintButton, 100 + kAlbum},
    {"Stamp_clear01.png", 36, 21, paintButton, kClear},
    {"Stamp_clear02.png", 36, 21, paintButton, 100 + kClear},
    {"Stamp_shade01.png", 36, 21, paintButton, kShade},
    {"Stamp_shade02.png", 36, 21, paintButton, 100 + kShade},
    {"Stamp_rubbing01.png", 77, 20, paintButton, kRubbing},
    {"Stamp_rubbing02.png", 77, 20, paintButton, 100 + kRubbing},
    {"Stamp_lasso01.png", 88, 20, paintButton, kLasso},
    {"Stamp_lasso02.png", 88, 20, paintButton, 100 + kLasso},
    {"shape_01.png", 100, 100, paintMask, 1},
    {"shape_02.png", 100, 100, paintMask, 2},
    {"shape_03.png", 100, 100, paintMask, 3},
    {"shape_04.png", 100, 100, paintMask, 4},
    {"shape_05.png", 100, 100, paintMask, 5},
    {"shape_06.png", 100, 100, paintMask, 6},
    {"shape_07.png", 100, 100, paintMask, 7},
    {"shape_08.png", 100, 100, paintMask, 8},
    {"shape_09.png", 100, 100, paintMask, 9},
    {"icon_shapes.png", 60, 60, paintShapesIcon, 0},
    {"stamp_library_open.png", 50, 30, paintLibraryButton, 1},
    {"stamp_library_download.png", 50, 30, paintLibraryButton, 0},
    {"stamp_borderIn.png", 60, 60, paintBorderIn, 0},
};

}  // namespace

gfx::Image draw(const std::string& name, float scale) {
  for (const Entry& e : kEntries) {
    if (name != e.name) continue;
    Context c(static_cast<int>(std::lround(e.width * scale)), static_cast<int>(std::lround(e.height * scale)), scale);
    e.paint(c, e.width, e.height, e.variant);
    return c.makeImage();
  }
  return {};
}

std::vector<std::string> names() {
  std::vector<std::string> out;
  for (const Entry& e : kEntries) out.emplace_back(e.name);
  return out;
}

std::vector<std::string> shapeNames() {
  std::vector<std::string> out;
  for (int i = 1; i <= 9; ++i) out.push_back("shape_0" + std::to_string(i) + ".png");
  return out;
}

}  // namespace stamp_art
