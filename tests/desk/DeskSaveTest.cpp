// When the desk writes what is drawn: two seconds after the last stroke,
// with no finger on the canvas, the page is written in the background while
// drawing goes on, so a kill keeps it; a page that cannot be written (a full
// disk) is said once, stays on the canvas and keeps the desk on it until it
// can be written, and what was on disk before survives; a page added is
// written with its icon before the project names it.
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include "desk/DeskTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ChildProcess.h"

namespace fs = std::filesystem;

namespace {

class DeskSaveTest : public desk_test::DeskTest {
 protected:
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    DeskTest::TearDown();
  }
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
  }
  fs::path layerFile(int page, int position = 2) {
    auto p = project().layFullPathAtPage(page, false, position);
    return p ? *p : fs::path();
  }
  int frameCount() { return static_cast<int>(project().imagesArray().size()); }
  // The desk's background writes finished and their outcome taken in.
  void settle() {
    desk->drawsView()->waitForPageWrites();
    ProjectDataModel::waitForImageWrites();
    host->runUntilIdle();
  }
  // Every write into the project's folder fails as on a full disk.
  void fillTheDisk() {
    const fs::path folder = project().projectDicPath();
    fd::files::setWriteFaultForTesting([folder](const fs::path& file) {
      return file.parent_path() == folder ? ENOSPC : 0;
    });
  }
  std::size_t alertCount() { return host->alerts().size(); }
  // The open project as the next start of the program finds it.
  std::shared_ptr<ProjectDataModel> projectAfterRestart() {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
    return ZTDataModel::sharedInstance().prjDataModel();
  }
  // In a child on a new sandbox: a stroke, then what saves it, then a kill;
  // the next start finds the stroke on page 1.
  void killAfterSaving(const std::function<void()>& savePoint) {
    testing_support::ChildResult child = testing_support::runInChild([&] {
      start();
      stroke(onPage(60, 60), onPage(300, 220));
      savePoint();
      EXPECT_FALSE(desk->drawsView()->operated()) << "the save point did not write the page";
      ::kill(::getpid(), HasFailure() ? SIGABRT : SIGKILL);
    });
    ASSERT_EQ(child.signal, SIGKILL);
    auto project = projectAfterRestart();
    ASSERT_TRUE(project);
    auto layer = project->layFullPathAtPage(1, false, 2);
    ASSERT_TRUE(layer);
    EXPECT_GT(inkedPixels(*layer), 100);
  }
  void dismissAlerts() {
    while (!host->alerts().empty() && host->pressAlertButton(0)) host->runUntilIdle();
  }

  int frames = 1;
};

TEST_F(DeskSaveTest, APausedDrawingIsWrittenTwoSecondsAfterTheLastStroke) {
  start();
  stroke(onPage(60, 60), onPage(300, 220));
  host->advance(1.8);
  settle();
  EXPECT_FALSE(fs::exists(layerFile(1))) << "not while the drawing may go on";
  host->advance(0.3);
  settle();
  EXPECT_GT(inkedPixels(layerFile(1)), 100);
  EXPECT_FALSE(desk->drawsView()->operated()) << "the page on disk is the page on screen";
  // The project's list on disk names the page: a new start finds it.
  auto onDisk = ProjectDataModel::initWithProjectName(project().curProjectName());
  ASSERT_TRUE(onDisk);
  EXPECT_EQ(onDisk->layFullPathAtPage(1, false, 2), layerFile(1));
  EXPECT_TRUE(fs::exists(*project().iconFullPathAtPage(1, false)));
  EXPECT_TRUE(host->alerts().empty());
}

TEST_F(DeskSaveTest, AFingerOnTheCanvasHoldsTheWriteOff) {
  start();
  stroke(onPage(60, 60), onPage(300, 220));
  host->advance(1.5);
  // A second stroke starts and rests: nothing is written under the finger.
  host->touchDown(1, onPage(60, 200));
  host->touchMove(1, onPage(200, 200));
  host->advance(5);
  settle();
  EXPECT_FALSE(fs::exists(layerFile(1)));
  host->touchUp(1, onPage(200, 200));
  host->advance(1.9);
  settle();
  EXPECT_FALSE(fs::exists(layerFile(1)));
  host->advance(0.2);
  settle();
  EXPECT_GT(inkedPixels(layerFile(1)), 100);
  EXPECT_FALSE(desk->drawsView()->operated());
}

// The write runs beside the drawing: a stroke made while it is under way is
// drawn at once, is not taken for written, and is written by the next one.
TEST_F(DeskSaveTest, DrawingGoesOnWhileThePageIsWritten) {
  start();
  stroke(onPage(40, 40), onPage(340, 40));
  // The write holds on the disk until the second stroke is drawn.
  std::atomic<bool> strokeDrawn{false};
  std::atomic<bool> heldTooLong{false};
  fd::files::setWriteFaultForTesting([&](const fs::path&) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!strokeDrawn && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    heldTooLong = !strokeDrawn;
    return 0;
  });
  host->advance(2.1);
  stroke(onPage(40, 250), onPage(340, 250));
  EXPECT_GT(canvasAlphaAt(190, 250), 0);
  strokeDrawn = true;
  settle();
  fd::files::setWriteFaultForTesting({});
  EXPECT_FALSE(heldTooLong) << "the stroke waited for the write";
  EXPECT_TRUE(desk->drawsView()->operated()) << "the second stroke is not on disk yet";
  const long first = inkedPixels(layerFile(1));
  EXPECT_GT(first, 100);
  host->advance(2.1);
  settle();
  EXPECT_FALSE(desk->drawsView()->operated());
  EXPECT_GT(inkedPixels(layerFile(1)), first + 100);
}

// A kill (or a power cut) after the pause loses nothing: in a child, which is
// killed outright.
TEST_F(DeskSaveTest, AKillAfterThePauseKeepsTheDrawing) {
  killAfterSaving([&] {
    host->advance(2.1);
    settle();
  });
}

TEST_F(DeskSaveTest, BackgroundPaintingIsWrittenAfterThePauseToo) {
  start();
  const std::string name = "US20240101120000000";
  settings().setIsBackground(true);
  settings().setBackgroundName(name);
  desk->editBackground();
  stroke(onPage(60, 100), onPage(300, 100));
  host->advance(2.1);
  settle();
  EXPECT_GT(inkedPixels(*model().backgroundFullPathWithBackgroundName(name)), 100);
  EXPECT_FALSE(fs::exists(layerFile(1)));
}

TEST_F(DeskSaveTest, AFullDiskIsToldOnceAndThePageStaysUntilItCanBeWritten) {
  frames = 2;
  start();
  // Page 2 drawn and written while there is space.
  stroke(onPage(60, 60), onPage(300, 60));
  tapView(desk->previousFrameBtn());
  ASSERT_EQ(curPage(), 1);
  const auto page2Before = testing_support::fileBytes(layerFile(2));
  ASSERT_TRUE(page2Before);

  fillTheDisk();
  stroke(onPage(60, 150), onPage(300, 150));
  host->advance(2.1);
  settle();
  ASSERT_EQ(alertCount(), 1u) << "the failed write is told";
  // The page as the user knows it, and why in words: no path, no file name.
  EXPECT_EQ(host->alerts().back()->message(),
            "Page 1 of \u201c\u2068test\u2069\u201d could not be saved: the disk is full.\nThe drawing stays here and is saved "
            "again at the next save.");
  dismissAlerts();
  EXPECT_TRUE(desk->drawsView()->operated());
  // More drawing, more failed writes: told once only.
  stroke(onPage(60, 200), onPage(300, 200));
  host->advance(2.1);
  settle();
  EXPECT_EQ(alertCount(), 0u);

  // The page cannot be left while it cannot be written: turning, adding and
  // duplicating are refused, each with a word why.
  tapView(desk->nextFrameBtn());
  EXPECT_EQ(curPage(), 1);
  EXPECT_EQ(alertCount(), 1u);
  dismissAlerts();
  for (int tag : {DesktopManagerController::kTagAddFrame, DesktopManagerController::kTagDuplicate}) {
    desk->paperOperation(desk->drawerButton(tag));
    host->runUntilIdle();
    EXPECT_EQ(frameCount(), 2) << tag;
    EXPECT_EQ(curPage(), 1) << tag;
    ASSERT_EQ(alertCount(), 1u) << tag;
    EXPECT_EQ(host->alerts().back()->title(), fd::Localized("Page not saved"));
    dismissAlerts();
  }
  EXPECT_GT(canvasAlphaAt(180, 150), 0) << "the drawing is still on the canvas";
  EXPECT_GT(canvasAlphaAt(180, 200), 0);
  EXPECT_FALSE(fs::exists(layerFile(1)));
  EXPECT_EQ(testing_support::fileBytes(layerFile(2)), page2Before) << "what was on disk survives";

  // Space again: the next save point writes the page, and the desk moves on.
  fd::files::setWriteFaultForTesting({});
  tapView(desk->nextFrameBtn());
  EXPECT_EQ(curPage(), 2);
  EXPECT_GT(inkedPixels(layerFile(1)), 200);
  EXPECT_EQ(alertCount(), 0u);
  // A new failure later is told again.
  fillTheDisk();
  stroke(onPage(60, 250), onPage(300, 250));
  host->advance(2.1);
  settle();
  EXPECT_EQ(alertCount(), 1u);
}

// The first project of a new sandbox is on disk with its list from the
// start: a page that a save point other than the pause wrote (playing, the
// layer panel) is found after a kill, not left under names no list knows.
TEST_F(DeskSaveTest, TheFirstProjectKeepsAPagePlayingSavedBeforeAKill) {
  killAfterSaving([&] {
    tapView(desk->playerBtn());
    tapView(desk->playerButton(DesktopManagerController::kTagPlay));
  });
}

TEST_F(DeskSaveTest, TheFirstProjectKeepsAPageTheLayerPanelSavedBeforeAKill) {
  killAfterSaving([&] { inLayerPanel({}); });
}

// A page added just before a kill has its icon and snapshot: in a child,
// killed right after the add.
TEST_F(DeskSaveTest, APageAddedBeforeAKillHasItsIcon) {
  testing_support::ChildResult child = testing_support::runInChild([&] {
    start();
    desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagAddFrame));
    ::kill(::getpid(), SIGKILL);
  });
  EXPECT_EQ(child.signal, SIGKILL);
  auto project = projectAfterRestart();
  ASSERT_TRUE(project);
  ASSERT_EQ(project->imagesArray().size(), 2u);
  auto icon = gfx::readImage(*project->iconFullPathAtPage(2, false));
  ASSERT_TRUE(icon.ok()) << icon.error();
  EXPECT_EQ(icon->pixelWidth(), 108);
  EXPECT_TRUE(gfx::readImage(*project->snapshotFullPathAtPage(2, false)).ok());
}

}  // namespace
