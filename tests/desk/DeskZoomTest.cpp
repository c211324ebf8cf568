// The page on the desk zooms with a two-finger double tap as the window makes
// it of Ctrl + double click: to 3x about the pointer and back to its place,
// with the layers beside it and the indicator, at either screen scale,
// drawing nothing.
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
