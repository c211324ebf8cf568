// The layer pictures stack three sheets as the layers lie on the page and
// light the one they stand for: the foreground on top, the middle ground in
// the middle, the background at the bottom. The desk's layer button shows the
// edited layer so, and the layer panel's rows, laid top to bottom in the
// same order, each light their own.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "DeskTestSupport.h"
#include "desk/BackgroundsView.h"
#include "desk/DeskArt.h"
#include "desk/DeskPalette.h"

namespace {

// Where the lit sheet lies: the mean height of the picture's accent-coloured
// pixels and their extent, as fractions of the picture's height; nullopt
// when nothing is lit.
struct Lit {
  float centre, top, bottom;
};

std::optional<Lit> litSheet(const gfx::Image& picture) {
  const gfx::Color accent = desk_palette::kAccent;
  const float want[3] = {accent.r * 255, accent.g * 255, accent.b * 255};
  double sum = 0;
  int n = 0, top = picture.pixelHeight(), bottom = -1;
  for (int y = 0; y < picture.pixelHeight(); ++y)
    for (int x = 0; x < picture.pixelWidth(); ++x) {
      const std::uint8_t* p = picture.pixel(x, y);
      if (p[3] < 250) continue;
      bool near = true;
      for (int c = 0; c < 3; ++c) near &= std::fabs(p[c] - want[c]) < 12;
      if (!near) continue;
      sum += y;
      ++n;
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  if (n < 4) return std::nullopt;
  const float h = static_cast<float>(picture.pixelHeight());
  return Lit{static_cast<float>(sum / n) / h, top / h, (bottom + 1) / h};
}

std::optional<Lit> litSheet(const ui::Picture& picture) {
  if (!picture.image()) return std::nullopt;
  return litSheet(*picture.image());
}

class LayerIconsTest : public desk_test::DeskTest {};

}  // namespace

TEST_F(LayerIconsTest, EachLayerPictureLightsOneSheetWhereItsLayerLies) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    const std::optional<Lit> fore = litSheet(desk_art::draw("Foreground.png", scale));
    const std::optional<Lit> middle = litSheet(desk_art::draw("Middle_ground.png", scale));
    const std::optional<Lit> back = litSheet(desk_art::draw("Background.png", scale));
    ASSERT_TRUE(fore && middle && back) << "a layer picture lights no sheet";
    EXPECT_LT(fore->centre, middle->centre) << "the foreground's sheet lies under the middle ground's";
    EXPECT_LT(middle->centre, back->centre) << "the middle ground's sheet lies under the background's";
    // One sheet each, not a stack: a lit band no taller than a third of the picture.
    for (const Lit& l : {*fore, *middle, *back}) EXPECT_LT(l.bottom - l.top, 0.34f);
    EXPECT_LT(fore->centre, 0.5f) << "the foreground is the top sheet";
    EXPECT_GT(back->centre, 0.5f) << "the background is the bottom sheet";
  }
}

TEST_F(LayerIconsTest, TheLayerButtonAndThePanelRowsLightTheLayerWhereItLies) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    stop();
    start(false, scale);
    // The desk opens on the foreground.
    ASSERT_EQ(desk->contentPattern(), 1);
    const std::optional<Lit> editingFore = litSheet(desk->groundBtn()->currentImage());

    tapView(desk->groundBtn());
    ui::Button* rows[] = {desk->foregroundRowBtn(), desk->middleRowBtn(), desk->backgroundRowButton()};
    std::optional<Lit> lit[3];
    for (int i = 0; i < 3; ++i) {
      ASSERT_NE(rows[i], nullptr);
      lit[i] = litSheet(rows[i]->currentImage());
      ASSERT_TRUE(lit[i]) << "row " << i << " lights no sheet";
    }
    // The rows lie top to bottom as the layers do, and so do their lit sheets.
    EXPECT_LT(rows[0]->frame().y, rows[1]->frame().y);
    EXPECT_LT(rows[1]->frame().y, rows[2]->frame().y);
    EXPECT_LT(lit[0]->centre, lit[1]->centre);
    EXPECT_LT(lit[1]->centre, lit[2]->centre);

    tapView(desk->middleRowBtn());
    ASSERT_EQ(desk->contentPattern(), 0);
    const std::optional<Lit> editingMiddle = litSheet(desk->groundBtn()->currentImage());

    // Painting a background of one's own: the button stands for the background.
    tapView(desk->backgroundRowButton());
    BackgroundsView& gallery = *desk->backgroundsView();
    tapView(gallery.backgroundsArray().back()->newButton());
    gallery.createBackground();
    BackgroundView* cell = gallery.cellNamed(model().backgroundArray().back());
    ASSERT_NE(cell, nullptr);
    tapView(cell->selectedButton());
    host->advance(0.05);
    tapView(cell->selectedButton());
    ASSERT_TRUE(settings().isBackground());
    const std::optional<Lit> editingBack = litSheet(desk->groundBtn()->currentImage());

    ASSERT_TRUE(editingFore && editingMiddle && editingBack) << "the layer button lights no sheet";
    EXPECT_LT(editingFore->centre, 0.5f) << "editing the foreground lights the top sheet";
    EXPECT_LT(editingFore->centre, editingMiddle->centre);
    EXPECT_LT(editingMiddle->centre, editingBack->centre);
    EXPECT_GT(editingBack->centre, 0.5f) << "painting the background lights the bottom sheet";
  }
}
