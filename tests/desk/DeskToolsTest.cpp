// The desk's strips driven through the real view tree: brush bands at their
// borders on touch-down and on move, opacity and size from the finger's y,
// presets stored on lift, bars excluding each other and the canvas, colours
// from the palette, the eraser ring following the finger.
#include <cmath>
#include <cstdlib>

#include "desk/DeskArt.h"
#include "desk/DeskTestSupport.h"

namespace {

class DeskToolsTest : public desk_test::DeskTest {
 protected:
  // A strip over the whole screen reporting as the brush strip, so that a
  // touch-down can land at any y.
  void coverWithStrip(const char* id) {
    cover = UserInteractView::initUserInteractView(desk->view()->bounds(), id);
    cover->setDelegate(desk.get());
    desk->view()->addSubview(cover);
  }
  float W() const { return desk->view()->bounds().width; }
  std::shared_ptr<UserInteractView> cover;
};

TEST_F(DeskToolsTest, BrushBandsOnTouchDownAtTheirBorders) {
  start();
  coverWithStrip("brush");
  struct Case {
    float y;
    int type;
  };
  const Case cases[] = {{0, 0}, {46, 0}, {47, 1}, {68, 1}, {99, 2}, {122, 3}, {141, 4}, {194, 5}, {218, 6}, {219, 7}, {268, 7}};
  for (const Case& c : cases) {
    host->touchDown(1, {W() - 20, c.y});
    EXPECT_EQ(desk->eaglBrushType(), c.type) << "y " << c.y;
    EXPECT_EQ(desk->drawsView()->brushTypeIndex(), c.type) << "y " << c.y;
    EXPECT_FALSE(desk->drawsView()->isFillTool());
    host->touchUp(1, {W() - 20, c.y});
  }
  // The fill keeps the last type.
  host->touchDown(1, {W() - 20, 280});
  EXPECT_TRUE(desk->drawsView()->isFillTool());
  EXPECT_EQ(desk->eaglBrushType(), 7);
  host->touchUp(1, {W() - 20, 280});
}

TEST_F(DeskToolsTest, BrushBandsOnMoveAreClosedAboveAndNeedTheRightEdge) {
  start();
  ui::Point strip = {W() - 20, 170};
  host->touchDown(1, strip);
  EXPECT_TRUE(settings().isBrush());
  EXPECT_FALSE(desk->brushAndEraserSelection()->isHidden());
  host->touchMove(1, {W() - 20, 194});
  EXPECT_EQ(desk->eaglBrushType(), 5);
  EXPECT_FLOAT_EQ(desk->brushAndEraserSelection()->toolTag(5)->alpha(), 1.0f);
  EXPECT_FLOAT_EQ(desk->brushAndEraserSelection()->toolTag(6)->alpha(), 0.5f);
  host->touchMove(1, {W() - 20, 219});
  EXPECT_EQ(desk->eaglBrushType(), 6);  // the smudge only on touch-down
  host->touchMove(1, {300, 100});       // left of x 400: nothing but the eraser band
  EXPECT_EQ(desk->eaglBrushType(), 6);
  host->touchMove(1, {300, 30});
  EXPECT_EQ(desk->eaglBrushType(), 0);
  EXPECT_EQ(desk->pensView()->image(), desk_art::named("s_erase.png"));
  host->touchUp(1, {300, 30});
  EXPECT_FALSE(settings().isBrush());
  EXPECT_TRUE(desk->brushAndEraserSelection()->isHidden());
}

TEST_F(DeskToolsTest, LiftAppliesThePresetOfTheChosenTypeAlsoAfterTheFill) {
  start();
  settings().setDicWithBrushMark(3, 12, 0.4f);
  host->touchDown(1, {W() - 20, 170});
  host->touchMove(1, {W() - 20, 110});  // pen 3
  host->touchMove(1, {W() - 20, 300});  // then the fill
  host->touchUp(1, {W() - 20, 300});
  EXPECT_TRUE(desk->drawsView()->isFillTool());
  EXPECT_EQ(desk->eaglBrushType(), 3);
  EXPECT_FLOAT_EQ(desk->toolSize(), 12);
  EXPECT_FLOAT_EQ(desk->drawsView()->brushAlpha(), 0.4f);
  EXPECT_FLOAT_EQ(desk->opacityDisplay()->alpha(), 0.4f);
  EXPECT_EQ(desk->sizeDisplay()->frame(), (ui::Rect{W() - 18 - 6, 132 - 6, 12, 12}));
  EXPECT_EQ(desk->pensView()->image(), desk_art::named("fill_tool_small.png"));
}

TEST_F(DeskToolsTest, OpacityFromYAndLiftStoresThePreset) {
  start();
  ui::Point strip{W() - 20, 80};
  host->touchDown(1, strip);
  EXPECT_TRUE(settings().isOpicaty());
  host->touchMove(1, {W() - 20, 20});
  EXPECT_EQ(desk->opacitySelection()->opacityLabel()->text(), "100");
  EXPECT_FLOAT_EQ(desk->opacitySelection()->curOpacity()->alpha(), 1.0f);
  host->touchMove(1, {W() - 20, 300});
  EXPECT_EQ(desk->opacitySelection()->opacityLabel()->text(), "1");
  EXPECT_FLOAT_EQ(desk->opacitySelection()->curOpacity()->alpha(), 0.01f);
  EXPECT_EQ(desk->opacitySelection()->opacitySlider()->frame(), (ui::Rect{17, 0.75f * 300 + 52, 45, 20}));
  // Outside 20..300 the bar keeps the last value; the lift applies it.
  host->touchMove(1, {W() - 20, 310});
  host->touchUp(1, {W() - 20, 315});
  EXPECT_FALSE(settings().isOpicaty());
  EXPECT_FLOAT_EQ(desk->drawsView()->brushAlpha(), 0.01f);
  EXPECT_FLOAT_EQ(desk->opacitySelection()->oriOpacity()->alpha(), 0.01f);
  auto preset = settings().dicWithBrushMark(desk->eaglBrushType());
  ASSERT_TRUE(preset);
  EXPECT_FLOAT_EQ(preset->opacity, 0.01f);
  EXPECT_EQ(preset->size, 32);
}

TEST_F(DeskToolsTest, SizeFromYAndLiftAppliesIt) {
  start();
  host->touchDown(1, {W() - 20, 120});
  EXPECT_TRUE(settings().isSize());
  host->touchMove(1, {W() - 20, 20});
  EXPECT_EQ(desk->sizeSelection()->sizeLabel()->text(), "100");
  EXPECT_FLOAT_EQ(desk->toolSize(), 32);
  host->touchMove(1, {W() - 20, 300});
  EXPECT_EQ(desk->sizeSelection()->sizeLabel()->text(), "2");
  EXPECT_FLOAT_EQ(desk->toolSize(), 2);
  EXPECT_EQ(desk->sizeSelection()->curSize()->frame().width, 1);
  host->touchMove(1, {W() - 20, 160});  // s = 51
  host->touchUp(1, {W() - 20, 160});
  const float expected = (51 - 2) * 30 / 98.0f + 2;
  EXPECT_FLOAT_EQ(desk->toolSize(), expected);
  EXPECT_FLOAT_EQ(desk->drawsView()->requestedBrushSize(), expected);
  EXPECT_EQ(settings().dicWithBrushMark(desk->eaglBrushType())->size, static_cast<int>(expected));
  EXPECT_FALSE(settings().isSize());
}

TEST_F(DeskToolsTest, AnOpenSizeBarBlocksTheOtherStripsAndTheCanvas) {
  start();
  auto before = desk->drawsView()->image();
  host->touchDown(1, {W() - 20, 120});  // size bar open
  host->touchDown(2, {W() - 20, 170});  // brush strip: nothing
  host->touchMove(2, {W() - 20, 110});
  host->touchUp(2, {W() - 20, 110});
  EXPECT_EQ(desk->eaglBrushType(), 2);
  EXPECT_TRUE(desk->brushAndEraserSelection()->isHidden());
  host->touchDown(3, {W() - 20, 80});  // opacity strip: nothing
  host->touchUp(3, {W() - 20, 80});
  EXPECT_TRUE(desk->opacitySelection()->isHidden());
  host->touchDown(4, onPage(50, 50));  // the canvas starts no stroke
  host->touchMove(4, onPage(120, 120));
  host->touchUp(4, onPage(200, 200));
  EXPECT_EQ(*desk->drawsView()->image(), *before);
  host->touchUp(1, {W() - 20, 120});
}

TEST_F(DeskToolsTest, ColourGridCellsReachTheBrushAndThePaintCan) {
  start();
  desk->colorSelected();
  host->runUntilIdle();
  ASSERT_FALSE(desk->colorSel()->isHidden());
  host->tap({14 + 41 * 4 + 20, 30 + 48 + 41 * 3 + 20});  // row 3, column 4
  EXPECT_EQ(desk->colorSel()->colorNum(), 37);
  host->tap({240, 310});
  host->runUntilIdle();
  const gfx::Color chosen = settings().colors()[37];
  ASSERT_TRUE(desk->drawsView()->brushColor());
  EXPECT_EQ(*desk->drawsView()->brushColor(), chosen);
  // The can shows the colour inside its mask, and nothing outside.
  const gfx::Image* can = desk->colorselect()->image().image();
  ASSERT_NE(can, nullptr);
  const std::uint8_t* mid = can->pixel(can->pixelWidth() / 2, can->pixelHeight() * 3 / 4);
  EXPECT_NEAR(mid[0], chosen.r * 255, 2);
  EXPECT_NEAR(mid[1], chosen.g * 255, 2);
  EXPECT_EQ(can->pixel(0, 0)[3], 0);
}

// The colour stands where the mask is opaque, pixel for pixel: the can's body
// and the paint at its rim, never the handle's arc above it.
TEST_F(DeskToolsTest, ThePaintCanIsColouredThroughItsUprightMask) {
  for (float scale : {1.0f, 2.0f}) {
    start(false, scale);
    const gfx::Image* can = desk->colorselect()->image().image();
    ASSERT_NE(can, nullptr);
    const gfx::Image mask = desk_art::draw("Paint_can_mask.png", scale);
    ASSERT_EQ(can->pixelWidth(), mask.pixelWidth());
    ASSERT_EQ(can->pixelHeight(), mask.pixelHeight());
    int wrong = 0;
    for (int y = 0; y < mask.pixelHeight(); ++y)
      for (int x = 0; x < mask.pixelWidth(); ++x)
        if (std::abs(can->pixel(x, y)[3] - mask.pixel(x, y)[3]) > 8) ++wrong;
    EXPECT_EQ(wrong, 0) << "scale " << scale;
    // The top fifth, where the handle arcs, holds no paint.
    int paintedAtTop = 0;
    for (int y = 0; y < can->pixelHeight() / 5; ++y)
      for (int x = 0; x < can->pixelWidth(); ++x) paintedAtTop += can->pixel(x, y)[3] > 0;
    EXPECT_EQ(paintedAtTop, 0) << "scale " << scale;
    stop();
  }
}

TEST_F(DeskToolsTest, EraserRingFollowsTheFinger) {
  start();
  host->touchDown(1, {W() - 20, 170});
  host->touchMove(1, {W() - 20, 20});  // the eraser
  host->touchUp(1, {W() - 20, 20});
  ASSERT_EQ(desk->eaglBrushType(), 0);
  const float size = desk->toolSize();
  host->touchDown(1, onPage(100, 100));
  EXPECT_FALSE(desk->erser()->isHidden());
  EXPECT_EQ(desk->erser()->frame(), (ui::Rect{100 - size / 2, 100 - size / 2, size, size}));
  host->touchMove(1, onPage(150, 120));
  EXPECT_EQ(desk->erser()->frame(), (ui::Rect{150 - size / 2, 120 - size / 2, size, size}));
  host->touchUp(1, onPage(150, 120));
  EXPECT_TRUE(desk->erser()->isHidden());
  // Pens show no ring.
  host->touchDown(1, {W() - 20, 170});
  host->touchUp(1, {W() - 20, 170});
  host->touchDown(1, onPage(100, 100));
  EXPECT_TRUE(desk->erser()->isHidden());
  host->touchUp(1, onPage(100, 100));
}

}  // namespace
