// Painting a background is never lost on a road out of the desk: leaving by
// the back button ends the painting as a layer row does, so the next desk
// opens in its usual mode on its page over the painted background, and the
// launch screen shows the same; quitting, and a kill after the paused
// drawing's write, leave the project showing the painting; the folder comes
// back to the painting, and the frame manager cannot be opened meanwhile.
// A painting carried into another project opened from the file panel is
// that project's from then on: a kill on any road out of it leaves its list
// naming the background, and its desk, launch preview and card showing it.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "app/AppTestSupport.h"
#include "app/ProjectPreview.h"
#include "model/BackgroundCopies.h"
#include "model/Backgrounds.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ChildProcess.h"
#include "support/Pictures.h"

namespace {

using testing_support::inkedPixels;

class BackgroundPaintingRoadsTest : public app_test::AppTest {
 protected:
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    AppTest::TearDown();
  }
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
  // The painting paused long enough for its write, and the write done.
  void letThePausedWriteRun(DesktopManagerController* desk) {
    host->advance(2.1);
    desk->drawsView()->waitForPageWrites();
    host->runUntilIdle();
  }
  // The end of a child that ran to its kill: SIGKILL as a kill would, or
  // SIGABRT where the child failed.
  static void killHere() {
    std::fflush(nullptr);
    ::kill(::getpid(), ::testing::Test::HasFailure() ? SIGABRT : SIGKILL);
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
  // The screen is dark at a point of the page shown by a view that holds
  // the whole page (page points, 384 x 288).
  bool darkOnPageOf(const ui::View* view, float x, float y) {
    const ui::Rect r = view->convertRectTo(view->bounds(), nullptr);
    return darkOnScreen({r.x + x * r.width / 384, r.y + y * r.height / 288});
  }

  // The launch preview, the desk opened from it (looked at further by
  // `onDesk`) and the project's card in the file panel, each dark or not at
  // rows of the page across its middle, as `rows` says.
  void expectEachViewShows(const std::string& name, const std::vector<std::pair<float, bool>>& rows,
                           const std::function<void(DesktopManagerController*)>& onDesk = {}) {
    for (const auto& [y, dark] : rows)
      EXPECT_EQ(darkOnPageOf(launch_->projectPreview(), 192, y), dark) << "the launch preview, page row " << y;
    DesktopManagerController* desk = openDesk(launch_);
    ASSERT_NE(desk, nullptr);
    for (const auto& [y, dark] : rows)
      EXPECT_EQ(darkOnScreen(onPage(desk, 192, y)), dark) << "the desk, page row " << y;
    if (onDesk) onDesk(desk);
    FileManagerView* panel = openFilePanel(desk);
    ASSERT_NE(panel, nullptr);
    ProjectPreviewView* card = cardOf(panel, name);
    ASSERT_NE(card, nullptr);
    for (const auto& [y, dark] : rows) EXPECT_EQ(darkOnPageOf(card, 192, y), dark) << "the card, page row " << y;
  }

  // How the desk leaves the painting carried into the other project.
  enum class Road { Back, ForegroundRow, StayPainting };
  // Where the painting carried into the other project lies: a broad band
  // across the page's top, apart from the first project's stroke.
  static constexpr float kBandY = 50;

  FileManagerView* openFilePanel(DesktopManagerController* desk) {
    tap(desk->fileManagerBtn());
    return dynamic_cast<FileManagerView*>(desk->fileManeagerView());
  }
  // The strip scrolled to the project's card; its place in the strip.
  std::optional<std::size_t> scrollToCard(FileManagerView* panel, const std::string& name) {
    ProjectsView* projects = panel->projsView();
    const auto& names = projects->projectNames();
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) return std::nullopt;
    const auto index = static_cast<std::size_t>(it - names.begin());
    projects->setContentOffset(
        {std::clamp(projects->card(index)->frame().x - CardStrip::kCardGap, 0.0f, projects->maxContentOffset().x),
         0});
    host->runUntilIdle();
    return index;
  }
  // Scrolls the strip to the project's card and touches it.
  void chooseCard(FileManagerView* panel, const std::string& name) {
    const std::optional<std::size_t> index = scrollToCard(panel, name);
    ASSERT_TRUE(index.has_value()) << name;
    tap(panel->projsView()->card(*index));
  }
  // The card of the project, scrolled into sight.
  ProjectPreviewView* cardOf(FileManagerView* panel, const std::string& name) {
    const std::optional<std::size_t> index = scrollToCard(panel, name);
    return index ? panel->projsView()->cardPreview(*index) : nullptr;
  }

  // In a child, as a person does: a second project made from the file
  // panel, a background painted in the first, the file panel opening the
  // second (or, with newThenOpen, a new one) while painting, a band painted
  // there, the paused write, the road out, four seconds, and a kill.
  void carryThePaintingAndKill(Road road, bool newThenOpen, bool tall = false, float scale = 1.0f) {
    const testing_support::ChildResult child = testing_support::runInChild([&] {
      launch_ = start(tall, scale);
      DesktopManagerController* desk = openDesk(launch_);
      ASSERT_NE(desk, nullptr);
      const std::string first = model().curProjectName();
      std::string second;
      if (!newThenOpen) {
        FileManagerView* panel = openFilePanel(desk);
        ASSERT_NE(panel, nullptr);
        tap(panel->newButton());
        second = model().curProjectName();
        ASSERT_NE(second, first);
        chooseCard(panel, first);
        tap(panel->openButton());
        ASSERT_EQ(model().curProjectName(), first);
      }
      paintNewBackground(desk);
      ASSERT_FALSE(HasFatalFailure());
      host->drag(onPage(desk, 40, 144), onPage(desk, 340, 144), 10);
      host->runUntilIdle();

      FileManagerView* panel = openFilePanel(desk);
      ASSERT_NE(panel, nullptr);
      if (newThenOpen) {
        tap(panel->newButton());
        ASSERT_NE(model().curProjectName(), first);
      } else {
        chooseCard(panel, second);
      }
      tap(panel->openButton());
      ASSERT_EQ(panel->superview(), nullptr) << "the panel stays";
      ASSERT_NE(model().curProjectName(), first);
      ASSERT_TRUE(model().extendDataModel().isBackground());
      for (float y = kBandY - 20; y <= kBandY + 20; y += 10) {
        host->drag(onPage(desk, 40, y), onPage(desk, 340, y), 40);
        host->runUntilIdle();
      }
      letThePausedWriteRun(desk);
      if (road == Road::Back) {
        tap(desk->backBtn());
        ASSERT_EQ(launch_->presentedViewController(), nullptr);
      } else if (road == Road::ForegroundRow) {
        tap(desk->groundBtn());
        tap(desk->foregroundRowBtn());
        ASSERT_FALSE(model().extendDataModel().isBackground());
      }
      host->advance(4);
      host->runUntilIdle();
      killHere();
    });
    ASSERT_EQ(child.signal, SIGKILL) << "the child failed before the kill";
  }
  // After the kill, the next start: the project the painting was carried
  // into is the open one, its list names the background, and its desk,
  // launch preview and card show the painting, the band painted in it too.
  void expectTheCarriedPaintingAfterTheKill(bool tall = false, float scale = 1.0f) {
    startAgain();
    const std::string carried = model().curProjectName();
    name_ = model().backgroundArray().back();
    {
      const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initWithProjectName(carried);
      ASSERT_NE(onDisk, nullptr);
      EXPECT_EQ(onDisk->curBackgroundName(), name_) << "the list names another background";
      EXPECT_EQ(onDisk->backgroundType(), kBackgroundUserStill);
      ASSERT_TRUE(onDisk->backgroundFullPath().has_value());
      EXPECT_GT(inkedPixels(*onDisk->backgroundFullPath()), 2000) << "its copy lacks the painting";
    }
    launch_ = start(tall, scale);
    ASSERT_EQ(model().curProjectName(), carried);
    expectEachViewShows(carried, {{kBandY, true}, {144, true}},
                        [&](DesktopManagerController* desk) { expectTheDeskOnItsPageOverThePainting(desk); });
  }
  void firstSaveKilledAtRename(int hit);
  void startAgainAfterTheKill(int hit);
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
  letThePausedWriteRun(desk);
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

TEST_F(BackgroundPaintingRoadsTest, APaintingCarriedIntoAnotherProjectAndTheBackButtonSurviveAKill) {
  ASSERT_NO_FATAL_FAILURE(carryThePaintingAndKill(Road::Back, false));
  expectTheCarriedPaintingAfterTheKill();
}

TEST_F(BackgroundPaintingRoadsTest, APaintingCarriedIntoAnotherProjectAtTwiceTheScaleSurvivesAKill) {
  ASSERT_NO_FATAL_FAILURE(carryThePaintingAndKill(Road::Back, false, true, 2.0f));
  expectTheCarriedPaintingAfterTheKill(true, 2.0f);
}

TEST_F(BackgroundPaintingRoadsTest, APaintingCarriedIntoAnotherProjectAndTheForegroundRowSurviveAKill) {
  ASSERT_NO_FATAL_FAILURE(carryThePaintingAndKill(Road::ForegroundRow, false));
  expectTheCarriedPaintingAfterTheKill();
}

// The kill comes while the painting goes on, after its paused write: the
// project's copy and icon written then are what its desk and card show.
TEST_F(BackgroundPaintingRoadsTest, APaintingCarriedIntoAnotherProjectSurvivesAKillWhilePainting) {
  ASSERT_NO_FATAL_FAILURE(carryThePaintingAndKill(Road::StayPainting, false));
  expectTheCarriedPaintingAfterTheKill();
}

TEST_F(BackgroundPaintingRoadsTest, APaintingCarriedIntoANewProjectSurvivesAKill) {
  ASSERT_NO_FATAL_FAILURE(carryThePaintingAndKill(Road::Back, true));
  expectTheCarriedPaintingAfterTheKill();
}

// The background being painted, deleted from the gallery with no stroke
// since the painting's last write, stays the project's on leaving, its copy
// shown on the desk and after a start: the copy had been deleted as the
// background was given again, the list still naming it.
TEST_F(BackgroundPaintingRoadsTest, ThePaintedBackgroundDeletedFromTheGalleryStaysTheProjectsOnLeaving) {
  DesktopManagerController* desk = paintingANewBackground();
  ASSERT_NE(desk, nullptr);
  letThePausedWriteRun(desk);
  const long painted = inkOfTheProjectsBackground();
  ASSERT_GT(painted, 500);
  BackgroundsView& gallery = openGallery(desk);
  BackgroundView* cell = gallery.cellNamed(name_);
  ASSERT_NE(cell, nullptr);
  ASSERT_TRUE(cell->selected());
  tap(gallery.editButton(1));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->runUntilIdle();
  ASSERT_EQ(gallery.cellNamed(name_), nullptr);
  ASSERT_FALSE(std::filesystem::exists(*model().backgroundFullPathWithBackgroundName(name_)));
  tap(desk->backgroundCloseButton());
  tap(desk->groundBtn());
  tap(desk->foregroundRowBtn());
  ASSERT_FALSE(model().extendDataModel().isBackground());
  EXPECT_EQ(project().curBackgroundName(), name_);
  EXPECT_EQ(inkOfTheProjectsBackground(), painted) << "the project's copy of the painting is gone";
  EXPECT_TRUE(darkOnScreen(onPage(desk, 190, 144))) << "the desk lacks the painting";
  startAgain();
  launch_ = start();
  host->runUntilIdle();
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(project().curBackgroundName(), name_);
  EXPECT_EQ(inkOfTheProjectsBackground(), painted);
  EXPECT_TRUE(darkOnPageOf(launch_->projectPreview(), 192, 144)) << "the launch preview lacks the painting";
}

// A painting's first save killed at any of its renames: the list names the
// painted background and the next start shows it wherever the gallery has
// it, telling a copy taken again. A kill between the gallery's picture and the
// project's copy had left the list naming a copy that never came. (Children
// are killed and started again, so that the parent starts no GL before a fork.)
void BackgroundPaintingRoadsTest::firstSaveKilledAtRename(int hit) {
  const testing_support::ChildResult child = testing_support::runInChild([&] {
    DesktopManagerController* desk = paintingANewBackground();
    ASSERT_NE(desk, nullptr);
    fd::armCrashPoint("file.atomic-write.renaming", hit);
    letThePausedWriteRun(desk);
    killHere();
  });
  ASSERT_TRUE(child.crashedAtPoint()) << "the child did not reach the rename";
  const testing_support::ChildResult next = testing_support::runInChild([&] { startAgainAfterTheKill(hit); });
  EXPECT_TRUE(next.ranThrough()) << "the start after the kill failed: " << next;
}

void BackgroundPaintingRoadsTest::startAgainAfterTheKill(int hit) {
  startAgain();
  // What the kill left, looked at before the program starts again.
  const fd::UserDefaults& defaults = fd::UserDefaults::standard();
  const std::string painted = defaults.stringForKey("CurProjectName");
  const fd::Value backgrounds = defaults.objectForKey("BackgroundsArray");
  ASSERT_TRUE(backgrounds.array() && !backgrounds.array()->empty());
  name_ = backgrounds.array()->back().stringValue();
  const std::shared_ptr<ProjectDataModel> killed = ProjectDataModel::initToShowWithProjectName(painted);
  ASSERT_NE(killed, nullptr);
  EXPECT_EQ(killed->curBackgroundName(), name_);
  const bool galleryHasIt = std::filesystem::exists(fd::paths::library() / "Background" / (name_ + ".png"));
  EXPECT_EQ(galleryHasIt, hit >= 2);
  EXPECT_EQ(std::filesystem::exists(*killed->backgroundFullPath()), hit >= 3);
  launch_ = start();
  host->runUntilIdle();
  ASSERT_EQ(model().curProjectName(), painted);
  EXPECT_EQ(project().curBackgroundName(), name_);
  const bool told = !host->alerts().empty() && host->alerts()[0]->title() == "Background mended";
  EXPECT_EQ(told, hit == 2 || hit == 4) << "a copy taken again is not told, or one in place is";
  if (told) {
    EXPECT_NE(host->alerts()[0]->message().find("\u201c\u2068" + painted + "\u2069\u201d"), std::string::npos);
    ASSERT_TRUE(host->pressAlertButton(0));
    host->runUntilIdle();
  }
  ASSERT_TRUE(host->alerts().empty()) << host->alerts()[0]->message();
  if (galleryHasIt) {
    EXPECT_GT(inkOfTheProjectsBackground(), 500) << "the project's copy lacks the painting";
  }
  expectEachViewShows(painted, {{144, galleryHasIt}});
}

TEST_F(BackgroundPaintingRoadsTest, APaintingsFirstSaveKilledAtAnyRenameShowsWhereTheGalleryHasIt) {
  for (int hit = 1; hit <= 4; ++hit) {
    SCOPED_TRACE("killed at rename " + std::to_string(hit));
    firstSaveKilledAtRename(hit);
  }
}

// A project opened while its folder refuses every write (a full disk)
// cannot take the painting: the user is told, and the project keeps the
// background it had, in memory and on disk, while the painting goes on; once
// the folder takes writes again, leaving the painting gives it the
// background, its list on disk naming it.
TEST_F(BackgroundPaintingRoadsTest, AProjectThatCannotTakeThePaintingIsToldAndKeepsItsBackground) {
  launch_ = start();
  DesktopManagerController* desk = openDesk(launch_);
  ASSERT_NE(desk, nullptr);
  const std::string first = model().curProjectName();
  FileManagerView* panel = openFilePanel(desk);
  ASSERT_NE(panel, nullptr);
  tap(panel->newButton());
  const std::string second = model().curProjectName();
  ASSERT_NE(second, first);
  ASSERT_NO_FATAL_FAILURE(chooseCard(panel, first));
  tap(panel->openButton());
  paintNewBackground(desk);
  ASSERT_FALSE(HasFatalFailure());
  name_ = model().backgroundArray().back();
  host->drag(onPage(desk, 40, 144), onPage(desk, 340, 144), 10);
  host->runUntilIdle();

  panel = openFilePanel(desk);
  ASSERT_NE(panel, nullptr);
  ASSERT_NO_FATAL_FAILURE(chooseCard(panel, second));
  const std::filesystem::path folder = *model().projectPathWithProjectName(second);
  const auto listBefore = testing_support::fileBytes(folder / "Project.plist");
  ASSERT_TRUE(listBefore.has_value());
  ASSERT_TRUE(host->alerts().empty());
  fd::files::setWriteFaultForTesting(
      [folder](const std::filesystem::path& file) { return file.parent_path() == folder ? ENOSPC : 0; });
  tap(panel->openButton());
  ASSERT_EQ(model().curProjectName(), second);
  ASSERT_EQ(host->alerts().size(), 1u) << "the user is not told";
  const std::string told = host->alerts()[0]->message();
  EXPECT_NE(told.find(second), std::string::npos) << told;
  EXPECT_NE(told.find(": the disk is full."), std::string::npos) << told;
  EXPECT_FALSE(project().curBackgroundName().has_value());
  EXPECT_EQ(testing_support::fileBytes(folder / "Project.plist"), listBefore);
  for (const std::string& file : fd::files::contentsOfDirectory(folder))
    EXPECT_FALSE(isBackgroundCopyName(file)) << file << " was left in the folder";
  EXPECT_TRUE(model().extendDataModel().isBackground());
  fd::files::setWriteFaultForTesting({});
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();

  tap(desk->groundBtn());
  tap(desk->foregroundRowBtn());
  const std::shared_ptr<ProjectDataModel> onDisk = ProjectDataModel::initToShowWithProjectName(second);
  ASSERT_NE(onDisk, nullptr);
  EXPECT_EQ(onDisk->curBackgroundName(), name_);
  EXPECT_GT(inkOfTheProjectsBackground(), 500);
}

// A background chosen in the gallery over another, killed between the two
// switches of copies: the next start brings the copies to the usual names,
// where the list had gone on naming "background-<id>.png", and every view
// shows the chosen painting, not the one it replaced. (In children, as above.)
TEST_F(BackgroundPaintingRoadsTest, AChoiceKilledBetweenTheSwitchesOfCopiesIsFinishedAtTheStartAndShown) {
  constexpr float kFirstY = 144, kSecondY = 60;
  const testing_support::ChildResult child = testing_support::runInChild([&] {
    launch_ = start();
    DesktopManagerController* desk = openDesk(launch_);
    ASSERT_NE(desk, nullptr);
    std::string first;
    for (const float y : {kFirstY, kSecondY}) {
      paintNewBackground(desk);
      ASSERT_FALSE(HasFatalFailure());
      if (first.empty()) first = model().backgroundArray().back();
      host->drag(onPage(desk, 40, y), onPage(desk, 340, y), 10);
      host->runUntilIdle();
      tap(desk->groundBtn());
      tap(desk->foregroundRowBtn());
      ASSERT_FALSE(model().extendDataModel().isBackground());
      host->advance(1.1);  // the next background's name takes another time
    }
    ASSERT_NE(project().curBackgroundName(), first);
    BackgroundsView& gallery = openGallery(desk);
    fd::armCrashPoint("project.save.written", 1);
    tap(gallery.cellNamed(first)->selectedButton());
    std::fflush(nullptr);
    ::kill(::getpid(), SIGABRT);
  });
  ASSERT_TRUE(child.crashedAtPoint()) << "the child did not reach the list naming the copies apart";
  const testing_support::ChildResult next = testing_support::runInChild([&] {
    startAgain();
    const fd::UserDefaults& defaults = fd::UserDefaults::standard();
    const std::string chosen = defaults.stringForKey("CurProjectName");
    const fd::Value backgrounds = defaults.objectForKey("BackgroundsArray");
    ASSERT_TRUE(backgrounds.array() && backgrounds.array()->size() == 2);
    name_ = backgrounds.array()->front().stringValue();
    const std::filesystem::path folder = fd::paths::library() / "Projects" / chosen;
    {
      const std::shared_ptr<ProjectDataModel> killed = ProjectDataModel::initToShowWithProjectName(chosen);
      ASSERT_NE(killed, nullptr);
      ASSERT_EQ(killed->curBackgroundName(), name_);
      ASSERT_NE(*killed->backgroundFullPath(), folder / "background.png") << "not killed between the switches";
    }
    launch_ = start();
    host->runUntilIdle();
    EXPECT_TRUE(host->alerts().empty()) << "finishing the switch is no news to the user";
    ASSERT_EQ(model().curProjectName(), chosen);
    EXPECT_EQ(project().curBackgroundName(), name_);
    EXPECT_EQ(project().backgroundFullPath(), folder / "background.png");
    background_copies::expectItsOwnCopies(project());
    background_copies::expectOnlyTheUsualCopies(folder);
    expectEachViewShows(chosen, {{kFirstY, true}, {kSecondY, false}});
  });
  EXPECT_TRUE(next.ranThrough()) << "the start after the kill failed: " << next;
}

}  // namespace
