#include "app/LaunchArt.h"

#include <cmath>
#include <numbers>

#include "desk/DeskPalette.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace launch_art {

namespace {
// Card colours by entry: face and emblem.
struct CardColors {
  gfx::Color face, emblem;
};
constexpr CardColors kCards[] = {
    {{0.98f, 0.93f, 0.78f, 1}, {0.75f, 0.35f, 0.15f, 1}},
    {{0.82f, 0.9f, 0.98f, 1}, {0.15f, 0.3f, 0.6f, 1}},
    {{0.86f, 0.96f, 0.84f, 1}, {0.2f, 0.5f, 0.25f, 1}},
};

void pencil(gfx::Context& c, float cx, float cy, float s) {
  c.save();
  c.translate(cx, cy);
  c.rotate(-std::numbers::pi_v<float> / 4);
  c.fillRect({-s * 0.5f, -s * 0.09f, s * 0.8f, s * 0.18f});
  c.fillPolygon({{s * 0.3f, -s * 0.09f}, {s * 0.5f, 0}, {s * 0.3f, s * 0.09f}});
  c.restore();
  // The stroke it drew.
  c.setLineWidth(s * 0.04f);
  c.strokePolyline({{cx - s * 0.5f, cy + s * 0.45f}, {cx - s * 0.2f, cy + s * 0.3f}, {cx + s * 0.1f, cy + s * 0.45f}});
}

void filmStrip(gfx::Context& c, float cx, float cy, float s) {
  c.fillRect({cx - s * 0.55f, cy - s * 0.3f, s * 1.1f, s * 0.6f});
  c.save();
  c.setFillColor(gfx::Color::white(1));
  for (int i = 0; i < 5; ++i) {
    float x = cx - s * 0.5f + i * s * 0.22f;
    c.fillRect({x, cy - s * 0.26f, s * 0.1f, s * 0.08f});
    c.fillRect({x, cy + s * 0.18f, s * 0.1f, s * 0.08f});
  }
  c.fillRect({cx - s * 0.4f, cy - s * 0.13f, s * 0.35f, s * 0.26f});
  c.fillRect({cx + s * 0.05f, cy - s * 0.13f, s * 0.35f, s * 0.26f});
  c.restore();
}

void people(gfx::Context& c, float cx, float cy, float s) {
  for (int i = -1; i <= 1; i += 2) {
    gfx::Path head, body;
    float x = cx + i * s * 0.22f;
    head.addEllipse({x - s * 0.12f, cy - s * 0.38f, s * 0.24f, s * 0.24f});
    body.addEllipse({x - s * 0.22f, cy - s * 0.08f, s * 0.44f, s * 0.4f});
    c.fillPath(head);
    c.fillPath(body);
  }
}
}  // namespace

gfx::Image backdrop(float width, float height, float scale) {
  gfx::Context c(static_cast<int>(width * scale), static_cast<int>(height * scale), scale);
  int bands = 32;
  for (int i = 0; i < bands; ++i) {
    float t = float(i) / (bands - 1);
    c.setFillColor({0.96f - 0.1f * t, 0.9f - 0.12f * t, 0.8f - 0.1f * t, 1});
    c.fillRect({0, height * i / bands, width, height / bands + 1});
  }
  c.setStrokeColor({0.55f, 0.65f, 0.8f, 0.25f});
  c.setLineWidth(1);
  for (float y = 24; y < height; y += 24) c.strokePolyline({{0, y}, {width, y}});
  return c.makeImage();
}

gfx::Image card(int entry, float width, float height, float scale) {
  gfx::Context c(static_cast<int>(width * scale), static_cast<int>(height * scale), scale);
  const CardColors& k = kCards[entry < 0 || entry > 2 ? 0 : entry];
  gfx::Path face;
  face.addRoundedRect({4, 4, width - 8, height - 8}, 14);
  c.setFillColor({0, 0, 0, 0.2f});
  c.save();
  c.translate(2, 3);
  c.fillPath(face);
  c.restore();
  c.setFillColor(k.face);
  c.fillPath(face);
  c.setStrokeColor(k.emblem);
  c.setLineWidth(2);
  c.strokePath(face);
  c.setFillColor(k.emblem);
  c.setStrokeColor(k.emblem);
  float s = std::min(width, height) * 0.5f;
  float cx = width / 2, cy = height * 0.42f;
  if (entry == 0) pencil(c, cx, cy, s);
  else if (entry == 1) filmStrip(c, cx, cy, s);
  else people(c, cx, cy, s);
  return c.makeImage();
}

gfx::Image blankPage(float width, float height, float scale) {
  gfx::Context c(static_cast<int>(width * scale), static_cast<int>(height * scale), scale);
  c.setFillColor(desk_palette::kPaper);
  c.fillRect({0, 0, width, height});
  c.setStrokeColor(gfx::Color::white(0.7f));
  c.setLineWidth(2);
  c.strokeRect({1, 1, width - 2, height - 2});
  return c.makeImage();
}

}  // namespace launch_art
