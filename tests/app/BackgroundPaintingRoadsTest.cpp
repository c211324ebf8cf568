// Painting a background is never lost on a road out of the desk: leaving by
// the back button ends the painting as a layer row does, so the next desk
// opens in its usual mode on its page over the painted background, and the
// launch screen shows the same; quitting, and a kill after the paused
// drawing's write, leave the project showing the painting; the folder comes
// back to the painting, and the frame manager cannot be opened meanwhile.
#include <cstdio>
#include <string>

#include "app/AppTestSupport.h"
#include "platform/foundation/UserDefaults.h"
#include "support/Pictures.h"

namespace {

using testing_support::inkedPixels;

class BackgroundPaintingRoadsTest : public app_test::AppTest {
 protected:
  ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
  ProjectDataModel& project() { return *model().prjDataModel(); }

  // The desk, open from the launch screen, painting a new background of the
  // user's with one stroke across the page's middle.
  DesktopManagerController* paintingANewBackground(bool tall = false, float scale = 1.0f) {
    launch_ = start(tall, scale);
    DesktopManagerController* desk = openDesk(launch_);
    if (desk == nullptr) return nullptr;
    paintNewBackground(desk);
    if (!model().extendDataModel().isBackground()) return nullptr;
    name_ = model().backgroundArray().back();
    host->drag(onPage(desk, 40, 144), onPage(desk, 340, 144), 10);
    host->runUntilIdle();
    return desk;
  }
  // The project's own copy of its background, as the next desk shows it.
  long inkOfTheProjectsBackground() {
    const OptionalPath copy = project().backgroundFullPath();
    return copy ? inkedPixels(*copy) : -1;
  }
  // A new start of the program on what is on disk.
  void startAgain() {
    ui::Application::shared().reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
  }
  // The next desk opens in its usual mode over the painted background, on a
  // page whose strokes go to the page.
  void expectTheDeskOnItsPageOverThePainting(DesktopManagerController* desk) {
    ASSERT_NE(desk, nullptr);
    EXPECT_FALSE(model().extendDataModel().isBackground());
    EXPECT_EQ(project().curBackgroundName(), name_);
    EXPECT_TRUE(desk->frameManagerBtn()->isEnabled());
    EXPECT_FALSE(desk->pageIndicator()->isHidden());
    const int page = model().extendDataModel().curPage();
    char indicator[16];
    std::snprintf(indicator, sizeof indicator, "%03d/%03d", page, static_cast<int>(project().imagesArray().size()));
    EXPECT_EQ(desk->pageIndicator()->text(), indicator);
    ASSERT_FALSE(desk->background()->image().empty()) << "the painted background is not shown";
    EXPECT_TRUE(darkOnScreen(onPage(desk, 190, 144))) << "the painting does not show under the page";
    const long painted = inkOfTheProjectsBackground();
    host->drag(onPage(desk, 100, 40), onPage(desk, 100, 250), 8);
    host->runUntilIdle();
    tap(desk->nextFrameBtn());
    EXPECT_GT(inkedPixels(*project().layFullPathAtPage(page, false, 2)), 100) << "the stroke missed the page";
    EXPECT_EQ(inkOfTheProjectsBackground(), painted) << "the stroke went onto the background";
  }
  // The screen shows the stroke's dark ink at that point.
  bool darkOnScreen(ui::Point p) {
    const gfx::Image screen = host->screenshot();
    const float k = ui::Screen::main().scale();
    const std::uint8_t* px = screen.pixel(static_cast<int>(p.x * k), static_cast<int>(p.y * k));
    return px[0] + px[1] + px[2] < 3 * 120;
  }
  ZTLoadingViewController* launch_ = nullptr;
  std::string name_;
};

TEST_F(BackgroundPaintingRoadsTest, TheBackButtonEndsThePaintingAndTheLaunchScreenShowsIt) {
  for (const float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale);
    DesktopManagerController* desk = paintingANewBackground(false, scale);
    ASSERT_NE(desk, nullptr);
    tap(desk->backBtn());
    EXPECT_EQ(launch_->presentedViewController(), nullptr);
    EXPECT_FALSE(model().extendDataModel().isBackground());
    EXPECT_GT(inkedPixels(*model().backgroundFullPathWithBackgroundName(name_)), 500);
    EXPECT_GT(inkOfTheProjectsBackground(), 500);
    // The launch screen's preview shows the stroke across the page.
    const ui::Rect preview = launch_->projectBackground()->convertRectTo(launch_->projectBackground()->bounds(), nullptr);
    EXPECT_TRUE(darkOnScreen({preview.x + preview.width / 2, preview.y + preview.height / 2}))
        << "the launch preview lacks the painting";
    expectTheDeskOnItsPageOverThePainting(openDesk(launch_));
    startAgain();
  }
}

TEST_F(BackgroundPaintingRoadsTest, QuittingWhilePaintingKeepsThePainting) {
  ASSERT_NE(paintingANewBackground(), nullptr);
  EXPECT_TRUE(ui::Application::shared().requestTermination());
  startAgain();
  launch_ = start();
  expectTheDeskOnItsPageOverThePainting(openDesk(launch_));
}

// A kill after the paused drawing's write: nothing more is saved, yet the
// project shows the painting at the next start.
TEST_F(BackgroundPaintingRoadsTest, AKillAfterThePausedWriteKeepsThePainting) {
  DesktopManagerController* desk = paintingANewBackground();
  ASSERT_NE(desk, nullptr);
  host->advance(2.1);
  desk->drawsView()->waitForPageWrites();
  host->runUntilIdle();
  EXPECT_GT(inkOfTheProjectsBackground(), 500);
  startAgain();
  launch_ = start();
  expectTheDeskOnItsPageOverThePainting(openDesk(launch_));
}

// The folder saves the painting and comes back to it; the frame manager's
// button does nothing meanwhile; then back ends it.
TEST_F(BackgroundPaintingRoadsTest, TheFolderComesBackToThePaintingAndTheFrameManagerStaysShut) {
  DesktopManagerController* desk = paintingANewBackground(true, 1.0f);
  ASSERT_NE(desk, nullptr);
  tap(desk->frameManagerBtn());
  EXPECT_EQ(desk->picManagerView(), nullptr);
  tap(desk->fileManagerBtn());
  auto* panel = dynamic_cast<FileManagerView*>(desk->fileManeagerView());
  ASSERT_NE(panel, nullptr);
  EXPECT_GT(inkOfTheProjectsBackground(), 500);
  tap(panel->closeButton());
  EXPECT_TRUE(model().extendDataModel().isBackground());
  ASSERT_TRUE(desk->drawsView()->image().has_value());
  EXPECT_GT(desk->drawsView()->image()->pixel(190, 144)[3], 0) << "the painting is not on the canvas";
  tap(desk->backBtn());
  expectTheDeskOnItsPageOverThePainting(openDesk(launch_));
}

}  // namespace
