// The screen is composed only where something changed, and every change of
// the desk still reaches it: dabs while a finger draws (only their part of
// the canvas is read and drawn, and reading the whole picture afterwards
// shows nothing else), the desk's playback, the frame manager's player
// stepping, and a page turn's animation; an idle desk composes nothing.
#include <cstdlib>
#include <cstring>

#include "desk/FrameManagerTestSupport.h"
#include "desk/frames/ZTPlayView.h"
#include "platform/ui/Compositor.h"

namespace {

class DeskScreenUpdatesTest : public frame_test::FrameManagerTest {
 protected:
  void prepareModel() override {
    frames = 4;
    FrameManagerTest::prepareModel();
    // Snapshots that differ from page to page, for the players to show.
    for (int page = 1; page <= frames; ++page) {
      gfx::Context c(384, 288, 1);
      c.setFillColor({0.1f * page, 0.5f, 1 - 0.1f * page, 1});
      c.fillRect({20.0f * page, 40, 60, 60});
      ASSERT_TRUE(gfx::writePNG(*project().snapshotFullPathAtPage(page, false), c.makeImage()));
    }
  }
  ui::Application& app() { return ui::Application::shared(); }
  const ui::Compositor& compositor() { return ui::Application::shared().compositor(); }
  long changedArea() const {
    long area = 0;
    for (const ui::PixelRect& r : ui::Application::shared().compositor().changedRects())
      area += long(r.width) * r.height;
    return area;
  }
  // The frame's pixels inside a view (frame pixels, top-down).
  std::vector<std::uint32_t> pixelsOf(const ui::View* v) {
    const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    const float k = ui::Screen::main().scale();
    std::vector<std::uint32_t> px;
    for (int y = int(r.y * k); y < int((r.y + r.height) * k); ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(
          reinterpret_cast<const std::uint8_t*>(compositor().framePixels()) + y * compositor().frameStride());
      px.insert(px.end(), row + int(r.x * k), row + int((r.x + r.width) * k));
    }
    return px;
  }
  // Drawn parts lie within the view (in frame pixels).
  bool changesWithin(const ui::View* v) {
    const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    const float k = ui::Screen::main().scale();
    for (const ui::PixelRect& c : compositor().changedRects())
      if (c.x < r.x * k - 4 || c.y < r.y * k - 4 || c.x + c.width > (r.x + r.width) * k + 4 ||
          c.y + c.height > (r.y + r.height) * k + 4)
        return false;
    return true;
  }
};

TEST_F(DeskScreenUpdatesTest, DabsReachTheScreenAndOnlyTheirPartIsDrawn) {
  start(false, 2.0f);
  DrawsView* canvas = desk->drawsView();
  app().composeScreen();
  EXPECT_FALSE(app().composeScreen()) << "an idle desk composes nothing";
  host->advance(2.0);
  EXPECT_FALSE(app().composeScreen()) << "nor does the time passing";

  host->touchDown(1, onPage(60, 60));
  host->runUntilIdle();
  app().composeScreen();
  const long canvasArea = long(canvas->bounds().width * 2) * long(canvas->bounds().height * 2);
  std::vector<std::uint32_t> before = pixelsOf(canvas);
  int moves = 0, shown = 0;
  for (int i = 1; i <= 12; ++i) {
    host->touchMove(1, onPage(60 + 20.0f * i, 60 + 8.0f * i));
    if (!app().composeScreen()) continue;
    ++moves;
    EXPECT_TRUE(changesWithin(canvas)) << "move " << i;
    EXPECT_LT(changedArea(), canvasArea / 4) << "move " << i;
    std::vector<std::uint32_t> now = pixelsOf(canvas);
    if (now != before) ++shown;
    before = std::move(now);
  }
  host->touchUp(1, onPage(300, 160));
  host->runUntilIdle();
  EXPECT_GE(moves, 10);
  EXPECT_EQ(shown, moves) << "every composed move shows new ink";
  app().composeScreen();
  const gfx::Image partly = host->screenshot();
  // A present that says nothing of its extent has the whole picture read.
  canvas->layoutSubviews();
  ASSERT_TRUE(app().composeScreen());
  const gfx::Image whole = host->screenshot();
  ASSERT_EQ(partly.pixelWidth(), whole.pixelWidth());
  long differing = 0;
  for (int y = 0; y < whole.pixelHeight(); ++y)
    for (int x = 0; x < whole.pixelWidth(); ++x)
      if (std::memcmp(partly.pixel(x, y), whole.pixel(x, y), 4) != 0) ++differing;
  EXPECT_EQ(differing, 0) << "the parts read while drawing are the whole picture";
}

TEST_F(DeskScreenUpdatesTest, PlaybackFramesReachTheScreen) {
  start(false, 2.0f);
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagLoop));
  desk->gotoFrame(0);
  app().composeScreen();
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
  ASSERT_TRUE(app().composeScreen());
  std::vector<std::uint32_t> before = pixelsOf(desk->playView());
  int page = curPage();
  for (int step = 0; step < 3; ++step) {
    while (curPage() == page) host->advance(0.01);
    page = curPage();
    ASSERT_TRUE(app().composeScreen()) << "step " << step;
    std::vector<std::uint32_t> now = pixelsOf(desk->playView());
    EXPECT_NE(now, before) << "page " << page << " shows";
    before = std::move(now);
  }
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
  EXPECT_TRUE(app().composeScreen()) << "the canvas comes back";
}

TEST_F(DeskScreenUpdatesTest, TheFrameManagerAndItsPlayerReachTheScreen) {
  ZTPicManagerView* m = &open();
  ASSERT_TRUE(app().composeScreen());
  EXPECT_FALSE(app().composeScreen());
  tapView(m->playButton());
  app().composeScreen();
  std::vector<std::uint32_t> before = pixelsOf(m->playView());
  for (int step = 0; step < 3; ++step) {
    host->advance(ZTPlayView::stepInterval());
    picture_load::waitAll();
    host->runUntilIdle();
    ASSERT_TRUE(app().composeScreen()) << "step " << step;
    EXPECT_TRUE(changesWithin(m->playView()) || step == 0) << "step " << step;
    std::vector<std::uint32_t> now = pixelsOf(m->playView());
    EXPECT_NE(now, before) << "step " << step;
    before = std::move(now);
  }
  tapView(m->playButton());
}

TEST_F(DeskScreenUpdatesTest, APageTurnAnimatesOnTheScreenAndThenRests) {
  start(false, 2.0f, false);
  app().composeScreen();
  stroke(onPage(50, 50), onPage(200, 120));
  app().composeScreen();
  desk->toNextPage();
  int composed = 0;
  for (int i = 0; i < 20; ++i) {
    host->advance(1.0 / 60);
    if (app().composeScreen()) ++composed;
  }
  EXPECT_GE(composed, 10) << "the turn is drawn while it runs";
  host->advance(2.0);
  app().composeScreen();
  EXPECT_FALSE(app().composeScreen()) << "and costs nothing once done";
}

}  // namespace
