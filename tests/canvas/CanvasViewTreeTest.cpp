// The canvas as a view of the toolkit: synthetic touches of the headless
// screen reach it through the window and the view tree, its strokes reach
// the page file, and its presented pictures reach the compositor. The lasso
// lives in the same tree.
#include <gtest/gtest.h>

#include "canvas/ArbitraryPathClip.h"
#include "canvas/DrawsView.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/graphics/Image.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace {

class CanvasViewTreeTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    model().setPrjDataModel(ProjectDataModel::initWithProjectName("tree"));
    model().extendDataModel().setCurPage(1);
    host = std::make_unique<ui::HeadlessHost>(false, 1.0f);
    window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
    window->setBackgroundColor({1, 1, 1, 1});
    window->makeKeyAndVisible();
    canvas = DrawsView::initDrawViewWithScaleFactor(2);
    ASSERT_NE(canvas, nullptr);
    canvas->setAutoMark(true);
    canvas->setBrushColor(gfx::Color{0, 0, 1, 1});
    window->addSubview(canvas);
    canvas->setBaseRect({48, 16, 384, 288});
  }
  void TearDown() override {
    canvas.reset();
    window.reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
  }
  static ZTDataModel& model() { return ZTDataModel::sharedInstance(); }

  std::unique_ptr<ui::HeadlessHost> host;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<DrawsView> canvas;
};

}  // namespace

TEST_F(CanvasViewTreeTest, SyntheticStrokeReachesTheLayerFile) {
  // Screen (100, 100) to (300, 200) is page (52, 84) to (252, 184), top-left origin.
  host->drag({100, 100}, {300, 200}, 12);
  EXPECT_TRUE(canvas->operated());
  EXPECT_TRUE(canvas->canUndo()) << "the stroke is one undo step";

  canvas->writeToFileForLay(2);
  const auto path = model().prjDataModel()->layFullPathAtPage(1, false, 2);
  ASSERT_TRUE(path);
  const auto layer = gfx::readPNG(*path);
  ASSERT_TRUE(layer);
  ASSERT_EQ(layer->pixelWidth(), 768);
  // The layer file holds the stroke where the fingers went (2 pixels per
  // point, top row at the top) and nothing far from it.
  const std::uint8_t* middle = layer->pixel(2 * 152, 2 * 134);
  EXPECT_GT(middle[3], 0);
  EXPECT_GT(middle[2], middle[0]) << "blue paint";
  EXPECT_EQ(layer->pixel(2 * 52, 2 * 184)[3], 0);
  EXPECT_EQ(layer->pixel(2 * 300, 2 * 40)[3], 0);
}

TEST_F(CanvasViewTreeTest, PresentedPicturesReachTheScreen) {
  const gfx::Image before = host->screenshot();
  EXPECT_EQ(before.pixel(200, 150)[0], 255) << "a transparent canvas shows the window";
  host->drag({100, 100}, {300, 200}, 12);
  EXPECT_GT(canvas->presentCount(), 0u);
  const gfx::Image after = host->screenshot();
  const std::uint8_t* px = after.pixel(200, 150);
  EXPECT_LT(px[0], 200) << "the stroke shows on the screen";
  EXPECT_GT(px[2], px[0]);
  EXPECT_EQ(after.pixel(400, 40)[0], 255);
}

TEST_F(CanvasViewTreeTest, TwoFingersThroughTheTreePinchTheCanvas) {
  canvas->setEnabledZoom(true);
  host->touches({{1, {190, 160}, ui::TouchPhase::Began}, {2, {290, 160}, ui::TouchPhase::Began}});
  host->touches({{1, {140, 160}, ui::TouchPhase::Moved}, {2, {340, 160}, ui::TouchPhase::Moved}});
  host->touches({{1, {140, 160}, ui::TouchPhase::Ended}, {2, {340, 160}, ui::TouchPhase::Ended}});
  EXPECT_GT(canvas->factor(), 1.0f);
  EXPECT_EQ(canvas->frame(), canvas->drawRect());
  EXPECT_FALSE(canvas->operated()) << "a gesture draws nothing";
}

// Ctrl + double click in the window: the two fingers the mouse makes tap
// twice, and the canvas zooms to exactly 3x keeping the page point under the
// pointer in place; the next double tap brings back its base rectangle.
TEST_F(CanvasViewTreeTest, ATwoFingerDoubleTapZoomsAboutTheTouchAndBack) {
  canvas->setEnabledZoom(true);
  const ui::MouseModifiers ctrl{.ctrl = true};
  const ui::Point at{148, 66};  // page (100, 50)
  host->doubleClick(at, ctrl);
  EXPECT_EQ(canvas->drawRect(), (gfx::Rect{48 - 200, 16 - 100, 3 * 384, 3 * 288}));
  EXPECT_EQ(canvas->frame(), canvas->drawRect());
  const ui::Point page = canvas->convertPointFrom(at, window.get());
  EXPECT_FLOAT_EQ(page.x / canvas->factor(), 100);
  EXPECT_FLOAT_EQ(page.y / canvas->factor(), 50);
  EXPECT_FALSE(canvas->operated()) << "a gesture draws nothing";
  host->advance(1);
  host->doubleClick(at, ctrl);
  EXPECT_EQ(canvas->drawRect(), (gfx::Rect{48, 16, 384, 288}));
  EXPECT_EQ(canvas->frame(), canvas->drawRect());
  EXPECT_FALSE(canvas->operated());
}

TEST_F(CanvasViewTreeTest, LassoAboveTheCanvasTakesItsTouches) {
  auto lasso = std::make_shared<ArbitraryPathClip>(ui::Rect{48, 16, 192, 288});
  window->addSubview(lasso);
  host->drag({100, 100}, {200, 200}, 8);
  EXPECT_FALSE(lasso->points().empty());
  EXPECT_FALSE(canvas->operated()) << "the canvas under the lasso got nothing";
  // Beside the lasso the canvas still draws.
  host->drag({300, 100}, {400, 200}, 8);
  EXPECT_TRUE(canvas->operated());
}

TEST_F(CanvasViewTreeTest, ACancelledFingerEndsItsStrokeWhereItWas) {
  host->touchDown(1, {100, 100});
  for (float x : {125.0f, 150.0f, 175.0f}) host->touchMove(1, {x, 100});
  host->touchCancel(1);
  EXPECT_FALSE(canvas->strokeActive());
  EXPECT_TRUE(canvas->canUndo()) << "the stroke is one undo step";
  // The stroke reaches the finger's last place, page (127, 84): backing
  // pixels from the bottom at twice that.
  const int w = canvas->backingWidth(), h = canvas->backingHeight();
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
  canvas->readData(pixels.data(), {0, 0, static_cast<float>(w), static_cast<float>(h)});
  int painted = 0;
  for (int y = 2 * (288 - 84) - 2; y <= 2 * (288 - 84) + 2; ++y)
    for (int x = 2 * 127 - 2; x <= 2 * 127 + 2; ++x) painted += pixels[(static_cast<std::size_t>(y) * w + x) * 4 + 3] > 0;
  EXPECT_GT(painted, 0);
}
