#include "app/FileManagerArt.h"

#include <algorithm>

#include "desk/ArtCatalogue.h"
#include "desk/DeskPalette.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace file_art {

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Path;
using namespace desk_palette;

// The desk dimmed behind the panel, and the walnut plate the cards lie on.
void paintBackdrop(Context& c, float w, float h, int) {
  c.setFillColor({0.1f, 0.06f, 0.03f, 0.82f});
  c.fillRect({0, 0, w, h});
  desk_art::roundRect(c, {10, kPlateTop, w - 20, h - kPlateTop - kPlateBottomMargin}, 14, kWood, kBrass, 2);
}

// A card: a rounded paper plate with a frame for the picture; the chosen
// one glows.
void paintCard(Context& c, float w, float h, int selected) {
  desk_art::roundRect(c, {3, 3, w - 6, h - 6}, 10, selected ? Color{1, 0.86f, 0.5f, 1} : Color{0.98f, 0.95f, 0.88f, 1},
          selected ? Color{0.86f, 0.45f, 0.1f, 1} : Color{0.55f, 0.4f, 0.25f, 1}, selected ? 3 : 1.5f);
  // Icons are transparent where nothing is drawn: they sit on paper.
  c.setFillColor({1, 0.99f, 0.96f, 1});
  c.fillRect({9, 9, w - 18, (w - 18) * 0.75f});
  c.setStrokeColor({0.55f, 0.4f, 0.25f, 0.6f});
  c.setLineWidth(1);
  c.strokeRect({9, 9, w - 18, (w - 18) * 0.75f});
}

// A package: a parcel tied with string, a zip running down its side; the
// older format's parcel is the paler one.
void paintPackage(Context& c, float w, float h, int older) {
  const Color box = older ? Color{0.8f, 0.68f, 0.5f, 1} : Color{0.72f, 0.52f, 0.3f, 1};
  const float bw = w * 0.56f, bh = h * 0.62f, x = (w - bw) / 2, y = (h - bh) / 2 + h * 0.04f;
  desk_art::roundRect(c, {x, y, bw, bh}, 4, box, kWoodDark, 1.5f);
  c.setFillColor({box.r * 0.82f, box.g * 0.82f, box.b * 0.82f, 1});
  c.fillPolygon({{x, y}, {x + bw * 0.18f, y - h * 0.1f}, {x + bw * 1.18f, y - h * 0.1f}, {x + bw, y}});
  c.setStrokeColor(kWoodDark);
  c.setLineWidth(1.2f);
  c.strokePolyline({{x, y}, {x + bw * 0.18f, y - h * 0.1f}, {x + bw * 1.18f, y - h * 0.1f}, {x + bw, y}});
  c.fillPolygon({{x + bw, y}, {x + bw * 1.18f, y - h * 0.1f}, {x + bw * 1.18f, y + bh - h * 0.1f}, {x + bw, y + bh}});
  c.strokePolyline({{x + bw * 1.18f, y - h * 0.1f}, {x + bw * 1.18f, y + bh - h * 0.1f}, {x + bw, y + bh}});
  // The string, and the zip's teeth.
  c.setStrokeColor(kPaper);
  c.setLineWidth(2);
  c.strokePolyline({{x + bw * 0.5f, y}, {x + bw * 0.5f, y + bh}});
  c.strokePolyline({{x, y + bh * 0.5f}, {x + bw, y + bh * 0.5f}});
  c.setFillColor(kInk);
  for (float ty = y + 4; ty < y + bh - 4; ty += 5) c.fillRect({x + bw * 0.2f + ((int(ty) / 5) % 2) * 3, ty, 3, 2.5f});
}

// The buttons of the action bars: a paper label on a brass-edged plate; the
// pressed one darkens, a disabled one fades.
void paintButton(Context& c, float w, float h, int state) {
  const Color fill = state == 1 ? Color{0.93f, 0.8f, 0.55f, 1} : Color{0.98f, 0.95f, 0.88f, 1};
  desk_art::roundRect(c, {1, 1, w - 2, h - 2}, std::min(h / 2 - 1, 9.0f), state == 2 ? fill.withAlpha(0.45f) : fill,
          state == 2 ? kBrass.withAlpha(0.45f) : kBrass, 2);
}

// The tabs over the plate: the open one in paper, the other in walnut.
void paintTab(Context& c, float w, float h, int open) {
  desk_art::roundRect(c, {1, 1, w - 2, h - 2}, 8, open ? kPaper : kWoodDark, kBrass, open ? 2 : 1.5f);
}

// The order of a card in a combination, its number drawn over it.
void paintBadge(Context& c, float w, float h, int) {
  Path p;
  p.addEllipse({1, 1, w - 2, h - 2});
  c.setFillColor(kAccent);
  c.fillPath(p);
  c.setStrokeColor(kPaper);
  c.setLineWidth(2);
  c.strokePath(p);
}

constexpr desk_art::ArtEntry kEntries[] = {
    {"file_backdrop.png", 480, 320, paintBackdrop, 0},
    {"file_backdrop-568h.png", 568, 320, paintBackdrop, 0},
    {"file_card.png", kCardWidth, kCardHeight, paintCard, 0},
    {"file_card_selected.png", kCardWidth, kCardHeight, paintCard, 1},
    {"file_package.png", kCardWidth - 18, (kCardWidth - 18) * 0.75f, paintPackage, 0},
    {"file_package_older.png", kCardWidth - 18, (kCardWidth - 18) * 0.75f, paintPackage, 1},
    {"file_button.png", kButtonWidth, kButtonHeight, paintButton, 0},
    {"file_button_pressed.png", kButtonWidth, kButtonHeight, paintButton, 1},
    {"file_button_disabled.png", kButtonWidth, kButtonHeight, paintButton, 2},
    {"file_tab.png", kTabWidth, kTabHeight, paintTab, 0},
    {"file_tab_open.png", kTabWidth, kTabHeight, paintTab, 1},
    {"file_badge.png", kBadgeSize, kBadgeSize, paintBadge, 0},
};

desk_art::ArtCatalogue& catalogue() {
  static desk_art::ArtCatalogue c(kEntries, desk_art::withoutScaleSuffix);
  return c;
}

}  // namespace

ui::Picture named(const std::string& name) { return catalogue().named(name); }

gfx::Image draw(const std::string& name, float scale) { return catalogue().draw(name, scale); }

std::vector<std::string> names() { return catalogue().names(); }

}  // namespace file_art
