// The desk under an address-space ceiling, where no thread finds room for its
// stack: the desk's build, its undo manager's file queue and its page-write
// queue go on without threads of their own, and what is drawn is kept.
#include "app/AppTestSupport.h"
#include "graphics/MemoryCeiling.h"
#include "support/Pictures.h"

namespace {

using testing_support::inkedPixels;

class DeskUnderCeilingTest : public app_test::AppTest {};

// Entering the desk under a ceiling of 800 MB ended the program: its undo
// manager's queue could not start its thread.
TEST_F(DeskUnderCeilingTest, TheDeskEntersAndKeepsItsDrawingWhenNoThreadCanStart) {
#ifdef FD_TEST_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory: no address-space ceiling can be set";
#endif
  const auto child = testing_support::runInChild([&] {
    ZTLoadingViewController* launch = start();
    // Once, to have the GL driver and the fonts make what they need.
    ASSERT_NE(openDesk(launch), nullptr);
    tap(launch->desk()->backBtn());
    testing_support::limitAddressSpaceGrowth(std::size_t{16} << 20);
    ASSERT_TRUE(testing_support::mapEveryNewThreadStackAnew());

    DesktopManagerController* desk = openDesk(launch);
    ASSERT_NE(desk, nullptr);
    host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
    host->runUntilIdle();
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
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "exit " << child.exitCode << ", signal " << child.signal;
}

}  // namespace
