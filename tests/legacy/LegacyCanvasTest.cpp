// The legacy canvas under synthetic touches of the headless screen: strokes
// of the brushes and the pen, the eraser and its ring messages, the flood
// fill, pinch zoom, two-finger moves and double taps, the gates, the undo
// step's debounce and the print surface.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "legacy/LegacyTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Animation.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Window.h"

using legacy_test::DeskRecorder;
using legacy_test::LegacyTest;
using legacy_test::solid;

namespace {

struct EraserRing : EraserOperationDelegate {
  std::vector<std::string> log;
  std::vector<float> diameters;
  gfx::Point lastLocation;
  void respondToBeginEraserOperation(gfx::Point l, float d) override {
    log.push_back("begin");
    diameters.push_back(d);
    lastLocation = l;
  }
  void respondToMoveEraserOperation(gfx::Point l, float d) override {
    log.push_back("move");
    diameters.push_back(d);
    lastLocation = l;
  }
  void respondToEndEraserOperation() override { log.push_back("end"); }
};

struct FrameWatcher : Zoom_MoveOperateDelegate {
  std::vector<gfx::Rect> frames;
  void drawViewFrameChanged(gfx::Rect r) override { frames.push_back(r); }
};

struct PrintWatcher : PrintDrawViewDelegate {
  int prints = 0;
  void printImageInDrawview() override { ++prints; }
};

class LegacyCanvasTest : public LegacyTest {
 protected:
  void SetUp() override {
    LegacyTest::SetUp();
    host = std::make_unique<ui::HeadlessHost>(false, 1.0f);
    host->setInstantAnimations(true);
    window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
    window->makeKeyAndVisible();
    canvas = DrawView::initDrawViewWithScaleFactor(2);
    ASSERT_NE(canvas, nullptr);
    window->addSubview(canvas);
    canvas->setBaseRect({48, 16, 384, 288});
    canvas->setDelegate(&desk);
    canvas->setToolSize(10);
    canvas->setBrushColor({0, 0, 1, 1});
    canvas->setToolPattern(1);
  }
  void TearDown() override {
    canvas.reset();
    window.reset();
    host.reset();
    LegacyTest::TearDown();
  }

  // Alpha of the backing pixel under a page point (top-left origin).
  int alphaAtPage(float x, float y) {
    const auto picture = canvas->image();
    return picture ? picture->pixel(static_cast<int>(x * 2), static_cast<int>(y * 2))[3] : -1;
  }
  const std::uint8_t* pixelAtPage(const gfx::Image& picture, float x, float y) {
    return picture.pixel(static_cast<int>(x * 2), static_cast<int>(y * 2));
  }
  void waitForFill() {
    for (int i = 0; i < 2000 && canvas->isFillState(); ++i) {
      fd::RunLoop::main().runUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  std::unique_ptr<ui::HeadlessHost> host;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<DrawView> canvas;
  DeskRecorder desk;
};

}  // namespace

TEST_F(LegacyCanvasTest, ABrushStrokeDrawsWhereTheFingerWentAndIsOneUndoStep) {
  // Screen (100, 100) to (300, 200) is page (52, 84) to (252, 184).
  host->drag({100, 100}, {300, 200}, 12);
  EXPECT_TRUE(canvas->operated());
  EXPECT_GT(canvas->dabCount(), 10u);
  EXPECT_TRUE(canvas->canUndo());
  EXPECT_FALSE(model().extendDataModel().isDrawing()) << "the drawing flag ends with the stroke";
  const auto picture = canvas->image();
  ASSERT_TRUE(picture);
  const std::uint8_t* middle = pixelAtPage(*picture, 152, 134);
  EXPECT_GT(middle[3], 0);
  EXPECT_GT(middle[2], middle[0]) << "blue paint";
  EXPECT_EQ(pixelAtPage(*picture, 52, 184)[3], 0);
  EXPECT_EQ(pixelAtPage(*picture, 300, 40)[3], 0);

  canvas->undo();
  EXPECT_EQ(alphaAtPage(152, 134), 0) << "undo takes the stroke away";
  canvas->redo();
  EXPECT_GT(alphaAtPage(152, 134), 0);
}

TEST_F(LegacyCanvasTest, EveryBrushAndThePenDraw) {
  for (int tool : {1, 2, 3, 4, 5, 6}) {
    const gfx::Image clear = solid(768, 576, 0, 0, 0, 0);
    canvas->setBufferWithImage(&clear);
    canvas->setToolPattern(tool);
    clock += 1;
    host->drag({100, 160}, {380, 160}, 14);
    EXPECT_GT(alphaAtPage(190, 144), 0) << "tool " << tool;
    EXPECT_EQ(alphaAtPage(190, 40), 0) << "tool " << tool;
  }
}

TEST_F(LegacyCanvasTest, TheBrushAlphaReachesTheTipOfTheNextStroke) {
  auto strongest = [&] {
    const auto picture = canvas->image();
    int most = 0;
    for (int x = 200; x < 700; ++x) most = std::max<int>(most, picture->pixel(x, 288)[3]);
    return most;
  };
  canvas->setToolPattern(5);
  host->drag({100, 160}, {380, 160}, 14);
  const int opaque = strongest();
  const gfx::Image clear = solid(768, 576, 0, 0, 0, 0);
  canvas->setBufferWithImage(&clear);
  canvas->setBrushAlpha(0.2f);
  clock += 1;
  host->drag({100, 160}, {380, 160}, 14);
  const int faint = strongest();
  EXPECT_GT(faint, 0);
  EXPECT_LT(faint, opaque) << "a fainter tip lays down less paint";
  EXPECT_EQ(canvas->brushTextureSide(), 64) << "128-pixel tips become 64-pixel textures";
}

TEST_F(LegacyCanvasTest, ThePenDrawsAConstantWidthUnlessItsSettingAsksForSpeed) {
  // Painted rows in the middle column after a slow and after a fast stroke.
  auto widths = [&] {
    std::pair<int, int> w;
    for (int* out : {&w.first, &w.second}) {
      const gfx::Image clear = solid(768, 576, 0, 0, 0, 0);
      canvas->setBufferWithImage(&clear);
      clock += 1;
      host->drag({60, 160}, {420, 160}, out == &w.first ? 60 : 4);
      const auto picture = canvas->image();
      for (int y = 0; y < 576; ++y) *out += picture->pixel(550, y)[3] > 0;
    }
    return w;
  };
  canvas->setToolSize(20);
  canvas->setToolPattern(6);
  const auto constant = widths();
  EXPECT_GT(constant.first, 0);
  EXPECT_NEAR(constant.first, constant.second, 2) << "slow and fast alike";
  fd::UserDefaults::standard().setObject("brush06", fd::Value(true));
  const auto bySpeed = widths();
  EXPECT_GT(bySpeed.second, 0);
  EXPECT_GT(bySpeed.first, bySpeed.second) << "the pen thins as it speeds up";
}

TEST_F(LegacyCanvasTest, SpeedSensitiveBrushOneThinsOnAFastStroke) {
  fd::UserDefaults::standard().setObject("brush01", fd::Value(true));
  canvas->setToolSize(30);
  host->drag({60, 160}, {420, 160}, 3);
  ASSERT_TRUE(canvas->isInduction());
  const auto fast = canvas->image();
  // A dab half-size of brush 1 stays within 0.25 to 0.6 of the tool's half
  // size: the line is narrower than the tool.
  int rows = 0;
  for (int y = 0; y < 576; ++y) rows += fast->pixel(2 * 240, y)[3] > 0;
  EXPECT_GT(rows, 0);
  EXPECT_LE(rows, static_cast<int>(2 * 30 * 0.6 * 2 + 4));
}

TEST_F(LegacyCanvasTest, TheEraserClearsAlongItsPathAndTellsTheRing) {
  const gfx::Image red = solid(768, 576, 255, 0, 0);
  canvas->setBufferWithImage(&red);
  EraserRing ring;
  canvas->setEraserDelegate(&ring);
  canvas->setToolPattern(0);
  host->drag({100, 160}, {380, 160}, 14);
  EXPECT_EQ(alphaAtPage(190, 144), 0) << "erased";
  EXPECT_EQ(alphaAtPage(190, 40), 255) << "untouched away from the path";
  ASSERT_GE(ring.log.size(), 3u);
  EXPECT_EQ(ring.log.front(), "begin");
  EXPECT_EQ(ring.log.back(), "end");
  EXPECT_FLOAT_EQ(ring.diameters.front(), 10) << "tool size times zoom";
  EXPECT_FLOAT_EQ(ring.lastLocation.x, 380) << "in the superview's points";
  EXPECT_TRUE(canvas->canUndo());

  // A tap gives no points but still begins and ends the ring.
  ring.log.clear();
  host->tap({200, 100});
  EXPECT_EQ(ring.log, (std::vector<std::string>{"begin", "end"}));
}

TEST_F(LegacyCanvasTest, TheFillToolReallyFillsTheTappedRegion) {
  // Left half red, right half empty: a tap on the right fills only it.
  gfx::Image half = solid(768, 576, 0, 0, 0, 0);
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < 384; ++x) half.pixel(x, y)[0] = 255, half.pixel(x, y)[3] = 255;
  canvas->setBufferWithImage(&half);
  canvas->setBrushColor({0, 1, 0, 1});
  canvas->setIsOpenFillTool(true);
  host->tap({48 + 300, 16 + 150});
  EXPECT_TRUE(canvas->isFillState()) << "further taps wait for this fill";
  ui::ActivityIndicatorView* spinner = canvas->activityIndicator();
  ASSERT_NE(spinner, nullptr);
  EXPECT_TRUE(spinner->isAnimating()) << "a spinner shows while the fill is on its way";
  EXPECT_FALSE(spinner->isHidden());
  const ui::Rect shown = canvas->superview()->bounds();
  EXPECT_FLOAT_EQ(spinner->center().x, shown.width / 2 - canvas->frame().x);
  EXPECT_FLOAT_EQ(spinner->center().y, shown.height / 2 - canvas->frame().y);
  waitForFill();
  ASSERT_FALSE(canvas->isFillState());
  EXPECT_FALSE(spinner->isAnimating());
  EXPECT_TRUE(spinner->isHidden());
  const auto picture = canvas->image();
  ASSERT_TRUE(picture);
  const std::uint8_t* right = pixelAtPage(*picture, 300, 150);
  EXPECT_EQ(right[1], 255);
  EXPECT_EQ(right[3], 255);
  EXPECT_EQ(pixelAtPage(*picture, 370, 20)[1], 255) << "the whole empty region";
  const std::uint8_t* left = pixelAtPage(*picture, 50, 150);
  EXPECT_EQ(left[0], 255);
  EXPECT_EQ(left[1], 0) << "the red region is another region";
  EXPECT_TRUE(canvas->canUndo()) << "the fill is an undo step";
  EXPECT_TRUE(canvas->operated());
}

TEST_F(LegacyCanvasTest, AFillStartedBeforeAPageLoadDoesNotLandOnTheNewPage) {
  canvas->setBrushColor({0, 1, 0, 1});
  canvas->setIsOpenFillTool(true);
  host->tap({200, 150});
  ASSERT_TRUE(canvas->isFillState());
  const gfx::Image next = solid(768, 576, 0, 0, 0, 0);
  canvas->setBufferWithImage(&next);
  EXPECT_FALSE(canvas->isFillState()) << "the new page takes fills at once";
  EXPECT_TRUE(canvas->activityIndicator()->isHidden());
  for (int i = 0; i < 200; ++i) {
    fd::RunLoop::main().runUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(alphaAtPage(152, 134), 0);
  EXPECT_FALSE(canvas->canUndo());
}

TEST_F(LegacyCanvasTest, ACancelledTouchEndsTheGestureWithoutAnUndoStep) {
  EraserRing ring;
  canvas->setEraserDelegate(&ring);
  canvas->setToolPattern(0);
  std::vector<CanvasTouch> finger = {{{100, 100}, {100, 100}, 1}};
  canvas->touchesBegan(finger);
  EXPECT_TRUE(model().extendDataModel().isDrawing());
  host->touchDown(1, {100, 100});
  host->touchCancel(1);
  EXPECT_FALSE(model().extendDataModel().isDrawing());
  EXPECT_EQ(ring.log.back(), "end");
  EXPECT_FALSE(canvas->canUndo());
}

TEST_F(LegacyCanvasTest, AFillTapOutsideTheShownPartDoesNothing) {
  canvas->setIsOpenFillTool(true);
  canvas->setDrawRect({48, 16, 1152, 864});
  // Page point (900, 600) of the 3x canvas lies beyond the window.
  std::vector<CanvasTouch> tap = {{{900, 600}, {900, 600}, 1}};
  canvas->touchesBegan(tap);
  canvas->touchesEnded(tap);
  EXPECT_FALSE(canvas->isFillState());
  EXPECT_EQ(canvas->fillTool(), nullptr);
}

TEST_F(LegacyCanvasTest, PinchZoomsAndTheEndClampsIntoOneToThreeTimes) {
  FrameWatcher watcher;
  canvas->setZoom_moveDelegate(&watcher);
  host->touches({{1, {190, 160}, ui::TouchPhase::Began}, {2, {290, 160}, ui::TouchPhase::Began}});
  host->touches({{1, {140, 160}, ui::TouchPhase::Moved}, {2, {340, 160}, ui::TouchPhase::Moved}});
  EXPECT_NEAR(canvas->factor(), 1.25f, 1e-4) << "100 points apart more: a quarter wider";
  host->touches({{1, {140, 160}, ui::TouchPhase::Ended}, {2, {340, 160}, ui::TouchPhase::Ended}});
  EXPECT_GT(canvas->factor(), 1.0f);
  EXPECT_EQ(canvas->frame(), canvas->drawRect());
  EXPECT_FALSE(canvas->operated()) << "a gesture draws nothing";
  EXPECT_FALSE(watcher.frames.empty());
  EXPECT_NEAR(canvas->widthZoomFactor(), 2 / canvas->factor(), 1e-5);

  // Far past 3x: slowed while moving, clamped at the end.
  for (int i = 0; i < 30; ++i) {
    host->touches({{1, {200, 160}, ui::TouchPhase::Began}, {2, {280, 160}, ui::TouchPhase::Began}});
    host->touches({{1, {40, 160}, ui::TouchPhase::Moved}, {2, {440, 160}, ui::TouchPhase::Moved}});
    host->touches({{1, {40, 160}, ui::TouchPhase::Ended}, {2, {440, 160}, ui::TouchPhase::Ended}});
  }
  EXPECT_FLOAT_EQ(canvas->frame().width, 3 * 384);
  const gfx::Rect f = canvas->frame();
  EXPECT_LE(f.x, 48);
  EXPECT_GE(f.x + f.width, 48 + 384) << "the base rectangle stays covered";

  // Pinching in below 1x snaps back to the base size.
  for (int i = 0; i < 30; ++i) {
    host->touches({{1, {40, 160}, ui::TouchPhase::Began}, {2, {440, 160}, ui::TouchPhase::Began}});
    host->touches({{1, {230, 160}, ui::TouchPhase::Moved}, {2, {250, 160}, ui::TouchPhase::Moved}});
    host->touches({{1, {230, 160}, ui::TouchPhase::Ended}, {2, {250, 160}, ui::TouchPhase::Ended}});
  }
  EXPECT_FLOAT_EQ(canvas->frame().width, 384);
  EXPECT_FLOAT_EQ(canvas->factor(), 1);
}

TEST_F(LegacyCanvasTest, TwoFingersMovingTogetherMoveTheZoomedCanvas) {
  canvas->setDrawRectEnd({-100, -100, 768, 576});
  const gfx::Rect before = canvas->frame();
  host->touches({{1, {200, 150}, ui::TouchPhase::Began}, {2, {260, 150}, ui::TouchPhase::Began}});
  host->touches({{1, {220, 160}, ui::TouchPhase::Moved}, {2, {280, 160}, ui::TouchPhase::Moved}});
  const gfx::Rect moved = canvas->frame();
  EXPECT_FLOAT_EQ(moved.width, before.width) << "no pinch, only a move";
  EXPECT_FLOAT_EQ(moved.x - before.x, 20);
  EXPECT_FLOAT_EQ(moved.y - before.y, 10);
  host->touches({{1, {220, 160}, ui::TouchPhase::Ended}, {2, {280, 160}, ui::TouchPhase::Ended}});
}

TEST_F(LegacyCanvasTest, ATwoFingerDoubleTapZoomsToThreeTimesAboutTheTouchAndBack) {
  const std::vector<CanvasTouch> doubleTap = {{{100, 50}, {100, 50}, 2}, {{120, 50}, {120, 50}, 2}};
  canvas->touchesBegan(doubleTap);
  canvas->touchesEnded(doubleTap);
  const gfx::Rect zoomed = canvas->frame();
  EXPECT_FLOAT_EQ(zoomed.width, 3 * 384);
  EXPECT_FLOAT_EQ(zoomed.height, 3 * 288);
  // The touched page point stays under the finger: x - 100·2, y - 50·2.
  EXPECT_FLOAT_EQ(zoomed.x, 48 - 200);
  EXPECT_FLOAT_EQ(zoomed.y, 16 - 100);
  EXPECT_FALSE(canvas->operated());
  canvas->touchesBegan(doubleTap);
  canvas->touchesEnded(doubleTap);
  EXPECT_EQ(canvas->frame(), (gfx::Rect{48, 16, 384, 288}));
}

// The same through the window as Ctrl + double click makes it: two fingers
// down and up together, twice, the first tap's end animating the canvas.
TEST_F(LegacyCanvasTest, ACtrlDoubleClickZoomsToThreeTimesAboutThePointerAndBack) {
  host->setInstantAnimations(false);
  const ui::MouseModifiers ctrl{.ctrl = true};
  const ui::Point at{148, 66};  // view point (100, 50)
  host->doubleClick(at, ctrl);
  EXPECT_EQ(canvas->frame(), (gfx::Rect{48 - 200, 16 - 100, 3 * 384, 3 * 288}));
  EXPECT_FALSE(canvas->operated());
  host->advance(1);
  host->doubleClick(at, ctrl);
  EXPECT_EQ(canvas->frame(), (gfx::Rect{48, 16, 384, 288}));
}

TEST_F(LegacyCanvasTest, AStrokeOnTheZoomedCanvasLandsOnThePagePointUnderTheFinger) {
  canvas->setDrawRectEnd({48 - 384, 16 - 288, 1152, 864});
  // Screen (100, 160) is view point (436, 432): page (145.3, 144).
  host->drag({100, 160}, {200, 160}, 10);
  const auto picture = canvas->image();
  EXPECT_GT(pixelAtPage(*picture, 160, 144)[3], 0);
  EXPECT_EQ(pixelAtPage(*picture, 160, 200)[3], 0);
}

TEST_F(LegacyCanvasTest, NothingHappensWhileAPickerIsOpenOrTheDeskForbidsDrawing) {
  model().extendDataModel().setIsSize(true);
  host->drag({100, 100}, {300, 200}, 12);
  EXPECT_FALSE(canvas->operated());
  EXPECT_EQ(canvas->dabCount(), 0u);
  model().extendDataModel().setIsSize(false);

  desk.canDraw = false;
  host->drag({100, 100}, {300, 200}, 12);
  EXPECT_FALSE(canvas->operated());
  EXPECT_EQ(alphaAtPage(152, 134), 0);
  desk.canDraw = true;
  host->drag({100, 100}, {300, 200}, 12);
  EXPECT_TRUE(canvas->operated());
}

TEST_F(LegacyCanvasTest, StrokesWithinAThirdOfASecondShareOneUndoStep) {
  host->drag({100, 100}, {300, 100}, 8);
  clock += 0.1;
  host->drag({100, 200}, {300, 200}, 8);
  // The second stroke took no step of its own: undo goes back past both to
  // the blank page, and redo brings back the first alone.
  canvas->undo();
  EXPECT_EQ(alphaAtPage(150, 84), 0);
  EXPECT_FALSE(canvas->canUndo());
  canvas->redo();
  EXPECT_GT(alphaAtPage(150, 84), 0);

  // Strokes further apart are a step each.
  const gfx::Image clear = solid(768, 576, 0, 0, 0, 0);
  canvas->setBufferWithImage(&clear);
  clock += 1;
  host->drag({100, 100}, {300, 100}, 8);
  clock += 0.5;
  host->drag({100, 200}, {300, 200}, 8);
  canvas->undo();
  EXPECT_GT(alphaAtPage(150, 84), 0);
  EXPECT_EQ(alphaAtPage(150, 184), 0);
  EXPECT_TRUE(canvas->canUndo());
}

TEST_F(LegacyCanvasTest, OnAPrintSurfaceTwoFingersDrawAndNoUndoStepIsTaken) {
  PrintWatcher printer;
  canvas->setPrintViewDelegate(&printer);
  canvas->setIsPrintView(true);
  host->touches({{1, {100, 160}, ui::TouchPhase::Began}, {2, {300, 160}, ui::TouchPhase::Began}});
  for (float x = 110; x <= 200; x += 10) {
    host->touches({{1, {x, 160}, ui::TouchPhase::Moved}, {2, {300 + x - 100, 160}, ui::TouchPhase::Moved}});
  }
  host->touches({{1, {200, 160}, ui::TouchPhase::Ended}, {2, {400, 160}, ui::TouchPhase::Ended}});
  EXPECT_FLOAT_EQ(canvas->factor(), 1) << "no zoom on a print surface";
  EXPECT_GT(alphaAtPage(100, 144), 0);
  EXPECT_FALSE(canvas->canUndo());
  EXPECT_EQ(printer.prints, 1);
}

TEST_F(LegacyCanvasTest, ASeededRotationRepeatsTheSameStroke) {
  auto stroke = [&] {
    const gfx::Image clear = solid(768, 576, 0, 0, 0, 0);
    canvas->setBufferWithImage(&clear);
    DrawView::seedDabRotation(42);
    host->drag({100, 160}, {380, 200}, 14);
    return *canvas->image();
  };
  canvas->setToolPattern(2);
  const gfx::Image first = stroke();
  const gfx::Image second = stroke();
  EXPECT_TRUE(first == second);
}
