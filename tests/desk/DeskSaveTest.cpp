// When the desk writes what is drawn: once a change has waited two seconds,
// at a pause or at the next lift (never under a finger), however the strokes
// follow one another, the page is written in the background while drawing
// goes on, so a kill keeps all but the last moments; a page that cannot be
// written (a full disk) is said once, stays on the canvas and keeps the desk
// on it until it can be written, and what was on disk before survives; a
// page added is written with its icon before the project names it.
#include <signal.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <functional>
#include <ostream>
#include <thread>

#include "desk/DeskTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/RunLoop.h"
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
  // Alpha of the stored foreground of the page at page point (x, y); 0 with no file.
  int storedAlphaAt(float x, float y, int page = 1) {
    fd::Expected<gfx::Image> img = gfx::readImage(layerFile(page));
    if (!img.ok()) return 0;
    const float s = static_cast<float>(img->pixelWidth()) / DrawsView::kPageWidth;
    return img->pixel(static_cast<int>(x * s), static_cast<int>(y * s))[3];
  }
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

TEST_F(DeskSaveTest, AFingerOnTheCanvasHoldsTheWriteOffToItsLift) {
  start();
  stroke(onPage(60, 60), onPage(300, 60));
  host->advance(1.5);
  // A second stroke starts and rests: nothing is written under the finger.
  host->touchDown(1, onPage(60, 200));
  host->touchMove(1, onPage(200, 200));
  host->advance(5);
  settle();
  EXPECT_FALSE(fs::exists(layerFile(1)));
  // The first stroke has waited long enough: the lift writes both.
  host->touchUp(1, onPage(200, 200));
  settle();
  EXPECT_GT(storedAlphaAt(180, 60), 0);
  EXPECT_GT(storedAlphaAt(130, 200), 0);
  EXPECT_FALSE(desk->drawsView()->operated());
}

// Strokes of half a second, one after another with gaps shorter than the
// wait: after every lift, and 0.3 s after the last (where a kill came), the
// page on disk holds every stroke begun two seconds or more before; nothing
// is written while a finger is down. Times are those the fingers were made
// at, however late the loop reads them.
struct Drawing {
  const char* what;
  double gap;
  // The first stroke is read in one go, this long after it began.
  double firstReadLate = 0;
};

void PrintTo(const Drawing& d, std::ostream* out) { *out << d.what; }

class DeskSaveTimingTest : public DeskSaveTest, public testing::WithParamInterface<Drawing> {};

TEST_P(DeskSaveTimingTest, DrawingThatNeverPausesIsWrittenAsItGoes) {
  const Drawing& d = GetParam();
  start();
  fd::RunLoop& loop = fd::RunLoop::main();
  auto lineY = [](std::size_t i) { return 16.0f + 30.0f * static_cast<float>(i); };
  std::vector<double> began;
  auto expectKept = [&](const std::string& when) {
    settle();
    for (std::size_t i = 0; i < began.size(); ++i) {
      if (began[i] <= loop.now() - DesktopManagerController::kSaveDelay)
        EXPECT_GT(storedAlphaAt(190, lineY(i)), 0) << "stroke " << i + 1 << " lost " << when;
    }
  };
  constexpr int kStrokes = 9, kMoves = 10;
  constexpr double kStroke = 0.5;
  for (std::size_t i = 0; i < kStrokes; ++i) {
    if (i > 0) host->advance(d.gap);
    const double b = loop.now();
    began.push_back(b);
    const bool readLate = i == 0 && d.firstReadLate > 0;
    settle();
    if (readLate) loop.stall(d.firstReadLate);
    const std::optional<fd::Data> before = testing_support::fileBytes(layerFile(1));
    host->touchDown(1, onPage(40, lineY(i)), b);
    for (int k = 1; k <= kMoves; ++k) {
      if (!readLate) host->advance(kStroke / kMoves);
      host->touchMove(1, onPage(40 + 30.0f * k, lineY(i)), b + kStroke * k / kMoves);
      settle();
      ASSERT_EQ(testing_support::fileBytes(layerFile(1)), before) << "written under the finger, stroke " << i + 1;
    }
    host->touchUp(1, onPage(340, lineY(i)), b + kStroke);
    expectKept("at lift " + std::to_string(i + 1));
  }
  host->advance(0.3);
  expectKept("at the kill");
  EXPECT_TRUE(host->alerts().empty());
}

INSTANTIATE_TEST_SUITE_P(Gaps, DeskSaveTimingTest,
                         testing::Values(Drawing{"1.5 s apart", 1.5}, Drawing{"falling due under a finger", 1.2},
                                         Drawing{"1.8 s apart", 1.8},
                                         Drawing{"the first stroke read late", 1.2, 0.6}),
                         [](const testing::TestParamInfo<Drawing>& info) {
                           std::string name;
                           for (const char* c = info.param.what; *c; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

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

// Drawing that never pauses, killed outright 0.3 s after its last stroke:
// the next start finds the strokes drawn more than two seconds before.
TEST_F(DeskSaveTest, AKillWhileTheDrawingGoesOnKeepsAllButTheLastMoments) {
  testing_support::ChildResult child = testing_support::runInChild([&] {
    start();
    for (float y : {40.0f, 120.0f, 200.0f}) {
      if (y > 40) host->advance(1.5);
      host->drag(onPage(40, y), onPage(340, y), 10, 0.05);
    }
    host->advance(0.3);
    host->runUntilIdle();
    desk->drawsView()->waitForPageWrites();
    ::kill(::getpid(), SIGKILL);
  });
  ASSERT_EQ(child.signal, SIGKILL);
  auto project = projectAfterRestart();
  ASSERT_TRUE(project);
  auto layer = project->layFullPathAtPage(1, false, 2);
  ASSERT_TRUE(layer);
  fd::Expected<gfx::Image> stored = gfx::readImage(*layer);
  ASSERT_TRUE(stored.ok()) << stored.error();
  EXPECT_GT(stored->pixel(190, 40)[3], 0);
  EXPECT_GT(stored->pixel(190, 120)[3], 0);
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
  dismissAlerts();
  // The refused stroke has waited long enough: the next lift writes it.
  fd::files::setWriteFaultForTesting({});
  stroke(onPage(60, 275), onPage(300, 275));
  settle();
  EXPECT_GT(storedAlphaAt(180, 250, 2), 0);
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
