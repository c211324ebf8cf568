// The lasso: outline from touches, marching dashes, mask and cut.
#include <gtest/gtest.h>

#include <memory>

#include "canvas/ArbitraryPathClip.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace {

using ui::TouchPhase;

struct StampToolStub : ArbitraryPathClipDelegate {
  std::shared_ptr<ui::ImageView> mask = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 10, 10});
  bool clipSelected = true;
  int switches = 0, shows = 0;
  bool albumEnabled = true;
  ui::ImageView* maskView() override { return mask.get(); }
  void switchInteface() override { ++switches; }
  void showPathViewImage(bool) override { ++shows; }
  bool arbitraryClipBtnIsSelected() override { return clipSelected; }
  void setAlbumBtnEnabled(bool on) override { albumEnabled = on; }
};

// The base view under the lasso records what it is handed on.
struct Below : ui::View {
  using ui::View::View;
  int began = 0, moved = 0, ended = 0;
  void touchesBegan(const ui::TouchSet&, const ui::Event&) override { ++began; }
  void touchesMoved(const ui::TouchSet&, const ui::Event&) override { ++moved; }
  void touchesEnded(const ui::TouchSet&, const ui::Event&) override { ++ended; }
};

class LassoTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ui::Application::shared().reset();
    ui::Screen::configure(false, 1);
    window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
    window->makeKeyAndVisible();
    below = std::make_shared<Below>(ui::Rect{0, 0, 480, 320});
    window->addSubview(below);
    lasso = std::make_shared<ArbitraryPathClip>(ui::Rect{0, 0, 200, 100});
    lasso->setDelegate(&stub);
    below->addSubview(lasso);
  }
  void TearDown() override {
    lasso.reset();
    ui::Application::shared().reset();
  }
  void finger(TouchPhase phase, ui::Point p, std::int64_t id = 1) {
    ui::Application::shared().touches().dispatch({{id, p, phase}});
  }
  // A triangle in the upper half of the lasso.
  void drawTriangle() {
    finger(TouchPhase::Began, {20, 10});
    finger(TouchPhase::Moved, {20, 10});
    finger(TouchPhase::Moved, {180, 10});
    finger(TouchPhase::Moved, {100, 45});
    finger(TouchPhase::Ended, {100, 45});
  }

  StampToolStub stub;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<Below> below;
  std::shared_ptr<ArbitraryPathClip> lasso;
};

TEST_F(LassoTest, OutlineFromMovesMarchesWithoutAPicture) {
  drawTriangle();
  ASSERT_EQ(lasso->points().size(), 3u);
  EXPECT_EQ(lasso->points()[1], (gfx::Point{180, 10}));
  ASSERT_TRUE(lasso->clipPath().has_value());
  EXPECT_TRUE(lasso->dotline());
  EXPECT_FALSE(stub.albumEnabled) << "with the lasso button selected the album button is disabled";
  EXPECT_TRUE(lasso->isMarching());
  fd::RunLoop::main().advance(0.051);
  EXPECT_FLOAT_EQ(lasso->offSet(), 2);
  fd::RunLoop::main().advance(0.05 * 4);
  EXPECT_FLOAT_EQ(lasso->offSet(), 10) << "2 points every 0.05 s";
  // The next touch stops the march and starts afresh.
  finger(TouchPhase::Began, {5, 5});
  EXPECT_FALSE(lasso->isMarching());
  EXPECT_FALSE(lasso->dotline());
  EXPECT_TRUE(lasso->points().empty());
}

TEST_F(LassoTest, WithAPictureTheOutlineStaysPlainAndTheToolShowsTheCut) {
  stub.mask->setImage(gfx::Image(10, 10));
  drawTriangle();
  EXPECT_FALSE(lasso->dotline());
  EXPECT_EQ(stub.switches, 1);
  EXPECT_EQ(stub.shows, 1);
  EXPECT_TRUE(stub.albumEnabled);
}

TEST_F(LassoTest, TapWithoutMovementLeavesNoOutline) {
  finger(TouchPhase::Began, {30, 30});
  finger(TouchPhase::Ended, {30, 30});
  EXPECT_TRUE(lasso->points().empty());
  EXPECT_FALSE(lasso->clipPath().has_value());
  EXPECT_FALSE(lasso->isMarching());
}

TEST_F(LassoTest, TwoFingersPassThroughAndAddNoPoints) {
  ui::Application::shared().touches().dispatch({{1, {50, 50}, TouchPhase::Began}, {2, {90, 50}, TouchPhase::Began}});
  ui::Application::shared().touches().dispatch({{1, {55, 50}, TouchPhase::Moved}, {2, {95, 50}, TouchPhase::Moved}});
  ui::Application::shared().touches().dispatch({{1, {55, 50}, TouchPhase::Ended}, {2, {95, 50}, TouchPhase::Ended}});
  EXPECT_TRUE(lasso->points().empty());
  EXPECT_EQ(below->began, 1);
  EXPECT_EQ(below->moved, 1);
  EXPECT_EQ(below->ended, 1);
}

TEST_F(LassoTest, ScaleTwiceMultipliesThePoints) {
  drawTriangle();
  lasso->scale(2, 2);
  lasso->scale(2, 2);
  EXPECT_EQ(lasso->points()[1], (gfx::Point{720, 40}));
  lasso->pathDisappear();
  EXPECT_FALSE(lasso->isMarching());
  EXPECT_TRUE(lasso->points().empty());
  lasso->scale(2, 2);
  EXPECT_TRUE(lasso->points().empty()) << "no outline after the path disappeared";
}

TEST_F(LassoTest, MaskIsTheRightWayUp) {
  drawTriangle();
  gfx::Image mask = lasso->generateMaskImage();
  ASSERT_EQ(mask.pixelWidth(), 200);
  ASSERT_EQ(mask.pixelHeight(), 100);
  EXPECT_EQ(mask.pixel(100, 20)[3], 255) << "inside the triangle, near the top";
  EXPECT_EQ(mask.pixel(100, 80)[3], 0) << "the lower half is outside";
  EXPECT_EQ(mask.pixel(5, 5)[3], 0);
}

TEST_F(LassoTest, CutKeepsOnlyTheInsideUpright) {
  drawTriangle();
  // Top half green, bottom half blue.
  gfx::Image picture(200, 100);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      std::uint8_t* p = picture.pixel(x, y);
      p[0] = 0;
      p[1] = y < 50 ? 255 : 0;
      p[2] = y < 50 ? 0 : 255;
      p[3] = 255;
    }
  gfx::Image cut = lasso->clipImageWithMask(picture);
  ASSERT_EQ(cut.pixelHeight(), 100);
  const std::uint8_t* inside = cut.pixel(100, 20);
  EXPECT_EQ(inside[1], 255);
  EXPECT_EQ(inside[2], 0);
  EXPECT_EQ(inside[3], 255);
  EXPECT_EQ(cut.pixel(100, 80)[3], 0);
  EXPECT_EQ(cut.pixel(190, 90)[3], 0);
}

TEST_F(LassoTest, MaskFollowsTheScreenScale) {
  ui::Screen::configure(false, 2);
  drawTriangle();
  gfx::Image mask = lasso->generateMaskImage();
  EXPECT_EQ(mask.pixelWidth(), 400);
  EXPECT_EQ(mask.pixelHeight(), 200);
  EXPECT_EQ(mask.pixel(200, 40)[3], 255);
  EXPECT_EQ(mask.pixel(200, 160)[3], 0);
}

TEST_F(LassoTest, CutFollowsTheScreenScaleTheRightWayUp) {
  ui::Screen::configure(false, 2);
  drawTriangle();
  // A scale-2 picture: top half green, bottom half blue.
  gfx::Image picture(400, 200);
  picture.setScale(2);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 400; ++x) {
      std::uint8_t* p = picture.pixel(x, y);
      p[1] = y < 100 ? 255 : 0;
      p[2] = y < 100 ? 0 : 255;
      p[3] = 255;
    }
  gfx::Image cut = lasso->clipImageWithMask(picture);
  ASSERT_EQ(cut.pixelWidth(), 400);
  ASSERT_EQ(cut.pixelHeight(), 200);
  EXPECT_EQ(cut.pixel(200, 40)[1], 255);
  EXPECT_EQ(cut.pixel(200, 40)[3], 255);
  EXPECT_EQ(cut.pixel(200, 160)[3], 0);
  EXPECT_EQ(cut.pixel(20, 180)[3], 0);
}

TEST_F(LassoTest, SinglePointOutlineDrawsNothing) {
  finger(TouchPhase::Began, {60, 40});
  finger(TouchPhase::Moved, {60, 40});
  finger(TouchPhase::Ended, {60, 40});
  ASSERT_EQ(lasso->points().size(), 1u);
  ASSERT_TRUE(lasso->clipPath().has_value());
  EXPECT_TRUE(lasso->dotline());
  const gfx::Image shot = lasso->renderToImage(1);
  int marked = 0;
  for (int y = 0; y < shot.pixelHeight(); ++y)
    for (int x = 0; x < shot.pixelWidth(); ++x) marked += shot.pixel(x, y)[3] != 0;
  EXPECT_EQ(marked, 0);
  EXPECT_EQ(lasso->generateMaskImage().pixel(60, 40)[3], 0);
}

TEST_F(LassoTest, DashedOutlineIsDrawnInRed) {
  drawTriangle();
  gfx::Image shot = lasso->renderToImage(1);
  int red = 0;
  for (int y = 0; y < shot.pixelHeight(); ++y)
    for (int x = 0; x < shot.pixelWidth(); ++x) {
      const std::uint8_t* p = shot.pixel(x, y);
      if (p[3] > 128 && p[0] > 200 && p[1] < 50) ++red;
    }
  EXPECT_GT(red, 100);
  // Dashes leave gaps along the top edge of the triangle.
  int onTopEdge = 0;
  for (int x = 25; x < 175; ++x) onTopEdge += shot.pixel(x, 10)[3] > 128;
  EXPECT_GT(onTopEdge, 40);
  EXPECT_LT(onTopEdge, 110);
  lasso->setViewActivity(false);
  EXPECT_FALSE(lasso->clipPath().has_value());
  EXPECT_FALSE(lasso->isMarching());
}

}  // namespace
