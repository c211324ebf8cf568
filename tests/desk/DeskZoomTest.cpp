// The page on the desk zooms with a two-finger double tap as the window makes
// it of Ctrl + double click: to 3x about the pointer and back to its place,
// with the layers beside it and the indicator, at either screen scale,
// drawing nothing.
#include <cmath>

#include "desk/DeskTestSupport.h"

namespace {

class DeskZoomTest : public desk_test::DeskTest {};

}  // namespace

TEST_F(DeskZoomTest, ACtrlDoubleClickOnThePageZoomsToThreeTimesAboutThePointerAndBack) {
  for (const float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale);
    start(false, scale, false);
    DrawsView* canvas = desk->drawsView();
    ASSERT_NE(canvas, nullptr);
    const gfx::Rect base = canvas->baseRect();
    const ui::Point at = onPage(base.x + 100, base.y + 50);
    host->doubleClick(at, {.ctrl = true});
    host->runUntilIdle();
    EXPECT_EQ(canvas->drawRect(), (gfx::Rect{base.x - 200, base.y - 100, 3 * base.width, 3 * base.height}));
    EXPECT_EQ(desk->background()->frame(), canvas->drawRect());
    EXPECT_EQ(desk->layer()->frame(), canvas->drawRect());
    EXPECT_EQ(desk->zoomLabel()->text(), "300%");
    host->advance(1);
    host->doubleClick(at, {.ctrl = true});
    host->runUntilIdle();
    EXPECT_EQ(canvas->drawRect(), base);
    EXPECT_EQ(desk->background()->frame(), base);
    EXPECT_EQ(desk->zoomLabel()->text(), "100%");
    EXPECT_FALSE(canvas->operated()) << "the taps drew nothing";
    stop();
  }
}

// Every zoom is undone by the next double tap, whether or not the page's
// left edge stands where it stood unzoomed: zoomed about a point half a
// point inside that edge, or zoomed mid-page and panned back (two fingers,
// Ctrl and Shift with the mouse) until the edge is home.
TEST_F(DeskZoomTest, ADoubleTapUndoesAZoomWhoseLeftEdgeIsBackInPlace) {
  for (const bool pan : {false, true}) {
    SCOPED_TRACE(pan ? "panned home" : "tapped at the edge");
    start(false, 1.0f, false);
    DrawsView* canvas = desk->drawsView();
    const gfx::Rect base = canvas->baseRect();
    const ui::Point at = pan ? onPage(100, 50) : onPage(0.4f, 50);
    host->doubleClick(at, {.ctrl = true});
    host->advance(1);
    ASSERT_EQ(desk->zoomLabel()->text(), "300%");
    if (pan) {
      host->mouse(ui::MouseFingers::Action::Down, {100, 150}, {.ctrl = true, .shift = true});
      for (int i = 1; i <= 10; ++i) {
        host->advance(1.0 / 60);
        host->mouse(ui::MouseFingers::Action::Move, {100.0f + 30 * i, 150});
      }
      host->mouse(ui::MouseFingers::Action::Up, {400, 150});
      host->advance(1);
    }
    ASSERT_LT(std::fabs(canvas->drawRect().x - base.x), 1) << "the left edge is home";
    ASSERT_EQ(desk->zoomLabel()->text(), "300%");
    host->doubleClick(onPage(150, 100), {.ctrl = true});
    host->advance(1);
    EXPECT_EQ(canvas->drawRect(), base);
    EXPECT_EQ(desk->zoomLabel()->text(), "100%");
    stop();
  }
}
