// The desk under an address-space ceiling. Where no thread finds room for
// its stack, the desk's build, its undo manager's file queue and its
// page-write queue go on without threads of their own, and what is drawn is
// kept. The program started under a ceiling (ulimit -v) fits itself to it and
// enters the desk, or says in words that the desk needs more.
#include <sys/resource.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/AppTestSupport.h"
#include "app/DeskRoom.h"
#include "desk/frames/PictureLoad.h"
#include "desk/frames/ZTPaperView.h"
#include "desk/frames/ZTPicManagerView.h"
#include "graphics/MemoryCeiling.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/ProcessMemory.h"
#include "support/Pictures.h"

namespace {

using testing_support::inkedPixels;

std::string textOf(const std::filesystem::path& file) {
  std::ifstream in(file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class DeskUnderCeilingTest : public app_test::AppTest {
 protected:
  // As the test suite runs the test: runs it again in the test program
  // started under the ceiling, expects it to pass there (ended by itself with
  // status 0, its log saying the body ran) and answers true. In the program
  // so started: false, and the test goes on with its body, the process fitted
  // to the ceiling first thing, as the program's start does.
  bool ranUnderCeiling(std::uint64_t ceiling) {
    if (testing_support::startedUnderCeiling()) {
      fd::fitToAddressSpace();
      return false;
    }
    const std::filesystem::path log = root() / "under-ceiling.log";
    const auto child = testing_support::runTestUnderCeiling(ceiling, log);
    const std::string text = textOf(log);
    EXPECT_TRUE(child.exited && child.exitCode == 0)
        << "exit " << child.exitCode << ", signal " << child.signal << "\n" << text;
    EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
    return true;
  }
  // A desk entered where no new thread finds room for its stack (nullptr when
  // it could not be entered).
  DesktopManagerController* deskWithNoRoomForThreads() {
    ZTLoadingViewController* launch = start();
    // Once, to have the GL driver and the fonts make what they need.
    if (openDesk(launch) == nullptr) return nullptr;
    tap(launch->desk()->backBtn());
    testing_support::limitAddressSpaceGrowth(std::size_t{16} << 20);
    if (!testing_support::mapEveryNewThreadStackAnew()) return nullptr;
    return openDesk(launch);
  }
  // Runs body in a child, on such a desk with a stroke drawn on its page,
  // and expects the child to end well.
  void onADeskWithAStrokeWhereNoThreadCanStart(const std::function<void(DesktopManagerController*)>& body) {
    const auto child = testing_support::runInChild([&] {
      DesktopManagerController* desk = deskWithNoRoomForThreads();
      ASSERT_NE(desk, nullptr);
      host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
      host->runUntilIdle();
      body(desk);
    });
    EXPECT_TRUE(child.exited && child.exitCode == 0) << "exit " << child.exitCode << ", signal " << child.signal;
  }
};

// Entering the desk under a ceiling of 800 MB ended the program: its undo
// manager's queue could not start its thread.
TEST_F(DeskUnderCeilingTest, TheDeskEntersAndKeepsItsDrawingWhenNoThreadCanStart) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  onADeskWithAStrokeWhereNoThreadCanStart([&](DesktopManagerController* desk) {
    const long drawn = inkedPixels(*desk->drawsView()->image());
    EXPECT_GT(drawn, 500);
    tap(desk->toolBtn());  // the drawer that holds undo and redo
    tap(desk->undoBtn());
    EXPECT_EQ(inkedPixels(*desk->drawsView()->image()), 0) << "undone";
    tap(desk->redoBtn());
    EXPECT_EQ(inkedPixels(*desk->drawsView()->image()), drawn) << "redone";
    // The paused drawing is written in the background, on a queue made now.
    host->advance(2.1);
    desk->drawsView()->waitForPageWrites();
    host->runUntilIdle();
    ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
    EXPECT_EQ(inkedPixels(*project.layFullPathAtPage(1, false, 2)), drawn);
  });
}

// The frame manager's pictures and the player's pages are read on a thread of
// their own; with no room for one, opening either ended the process.
TEST_F(DeskUnderCeilingTest, TheFrameManagerAndThePlayerShowThePagesWhenNoThreadCanStart) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  onADeskWithAStrokeWhereNoThreadCanStart([&](DesktopManagerController* desk) {
    tap(desk->nextFrameBtn());  // on the last page it adds one, and writes the first
    ASSERT_EQ(ZTDataModel::sharedInstance().prjDataModel()->imagesArray().size(), 2u);

    tap(desk->frameManagerBtn());
    auto* manager = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
    ASSERT_NE(manager, nullptr);
    ZTPaperView::waitForLoads();
    host->runUntilIdle();
    ASSERT_GE(manager->imagesViewArray().size(), 2u);
    const ui::Picture& first = manager->imagesViewArray()[0]->imageView()->image();
    ASSERT_FALSE(first.empty());
    EXPECT_GT(inkedPixels(*first.image()), 0) << "page 1's picture shows its stroke";
    EXPECT_FALSE(manager->imagesViewArray()[1]->imageView()->image().empty());
    host->tap({10, 20});  // the left band closes the manager
    host->runUntilIdle();

    desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
    host->advance(0.05);
    picture_load::waitAll();
    EXPECT_FALSE(desk->playView()->image().empty());
  });
}

// Started under a ceiling of 800 MB on a machine of 8 cores, entering the
// desk ended the process: the GL rasteriser's sixteen thread stacks and
// malloc's spare arenas left no room for a thread the text layout library
// starts, and it ends the process when one cannot start.
TEST_F(DeskUnderCeilingTest, StartedUnder800MBTheProgramEntersTheDeskDrawsAndSaves) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  if (ranUnderCeiling(std::uint64_t{800} << 20)) return;
  DesktopManagerController* desk = openDesk(start());
  ASSERT_NE(desk, nullptr);
  host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
  host->runUntilIdle();
  const long drawn = inkedPixels(*desk->drawsView()->image());
  EXPECT_GT(drawn, 500);
  ui::Application::shared().terminate();  // as quitting does
  EXPECT_EQ(ui::Application::shared().exitStatus(), 0);
  auto project = ProjectDataModel::initWithProjectName(ZTDataModel::kDefaultProjectName);
  ASSERT_TRUE(project);
  auto layer = project->layFullPathAtPage(1, false, 2);
  ASSERT_TRUE(layer);
  EXPECT_EQ(inkedPixels(*layer), drawn) << "the page is saved";
}

// Under a ceiling too low for the GL driver the desk needs, the first entry
// ended the process the same way. The launch screen now says why the desk
// does not open, and the program goes on and ends as asked.
TEST_F(DeskUnderCeilingTest, StartedUnder480MBTheProgramSaysTheDeskNeedsMore) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  if (ranUnderCeiling(std::uint64_t{480} << 20)) return;
  ZTLoadingViewController* launch = start();
  for (int press = 0; press < 2; ++press) {
    SCOPED_TRACE(press);
    tap(launch->entryButton(ZTLoadingViewController::kPreviousWork));
    ASSERT_EQ(host->alerts().size(), 1u);
    EXPECT_EQ(host->alerts()[0]->title(), "Not Enough Memory");
    const std::string message = host->alerts()[0]->message();
    EXPECT_NE(message.find("The desk needs about "), std::string::npos) << message;
    EXPECT_NE(message.find("address-space limit (480 MiB)"), std::string::npos) << message;
    ASSERT_TRUE(host->pressAlertButton(0));
    host->runUntilIdle();
    EXPECT_EQ(launch->presentedViewController(), nullptr);
  }
  ui::Application::shared().terminate();
  EXPECT_EQ(ui::Application::shared().exitStatus(), 0);
}

// Between those ceilings the launch screen goes by the desk's figure: with
// that much room beyond what it holds, and a few megabytes more, the desk is
// entered, draws and saves; with a few less it is refused in words naming
// the figure. The figure is near what the desk then took, not far above it:
// a figure too low ended the process where it let the desk in, and one too
// high refuses a desk there was room for.
TEST_F(DeskUnderCeilingTest, Under640MBTheDeskIsRefusedOnlyWhereItsFigureDoesNotFit) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  if (ranUnderCeiling(std::uint64_t{640} << 20)) return;
  constexpr std::uint64_t kMB = std::uint64_t{1} << 20;
  ZTLoadingViewController* launch = start();
  host->runUntilIdle();
  const std::uint64_t need = desk_room::need();
  // The ceiling from now on: what the process holds and `room` more.
  const auto leave = [](std::uint64_t room) {
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &limit), 0);
    limit.rlim_cur = static_cast<rlim_t>(*fd::addressSpaceInUse() + room);
    ASSERT_LE(limit.rlim_cur, limit.rlim_max) << "the test's ceiling leaves the desk too little room";
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &limit), 0);
  };
  leave(need - 4 * kMB);
  tap(launch->entryButton(ZTLoadingViewController::kPreviousWork));
  ASSERT_EQ(host->alerts().size(), 1u) << "the desk was let in with less room than it needs";
  const std::string message = host->alerts()[0]->message();
  EXPECT_NE(message.find("The desk needs about " + fd::files::describeSize(need)), std::string::npos) << message;
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();

  const std::uint64_t before = *fd::addressSpaceInUse();
  leave(need + 4 * kMB);
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
  host->runUntilIdle();
  EXPECT_GT(inkedPixels(*desk->drawsView()->image()), 500);
  host->advance(2.1);  // the paused drawing is written
  desk->drawsView()->waitForPageWrites();
  host->runUntilIdle();
  const std::uint64_t took = *fd::addressSpaceInUse() - before;
  std::fprintf(stderr, "the desk needs %llu MB by its figure and took %llu MB\n",
               static_cast<unsigned long long>(need / kMB), static_cast<unsigned long long>(took / kMB));
  EXPECT_LE(need, took + took / 4) << "the figure is far above what the desk took";
  ui::Application::shared().terminate();
  EXPECT_EQ(ui::Application::shared().exitStatus(), 0);
  EXPECT_GT(inkedPixels(*ZTDataModel::sharedInstance().prjDataModel()->layFullPathAtPage(1, false, 2)), 500)
      << "the page is saved";
}

}  // namespace
