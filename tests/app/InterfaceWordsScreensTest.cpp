// The texts a screen takes from tables of its own (titles of the carousel,
// the tools drawer, the onion and layer panels, the layer button in each
// mode, the background gallery's bar and dialog, the help captions) are
// looked up only as the screen is built, so they are checked here the way a
// person meets them: every screen that holds such a table is opened, and the
// localiser must not have been asked for a key it has no text for.
#include <sstream>

#include "app/AppTestSupport.h"
#include "desk/frames/ShowSimpleView.h"
#include "platform/foundation/Localized.h"

namespace {

class InterfaceWordsScreensTest : public app_test::AppTest {
 protected:
  FileManagerView* panelOf(DesktopManagerController* desk) {
    return dynamic_cast<FileManagerView*>(desk->fileManeagerView());
  }
  void closeOverlay() {
    host->tap({10, 10});
    host->runUntilIdle();
  }
  static std::string unworded() {
    std::ostringstream out;
    for (const std::string& k : fd::keysWithoutText()) out << "\n  \"" << k << "\"";
    return out.str();
  }
};

}  // namespace

TEST_F(InterfaceWordsScreensTest, EveryScreensOwnTitlesAreWorded) {
  // The table read afresh: the record starts empty.
  fd::setLocalizationLanguage("en");
  ASSERT_TRUE(fd::keysWithoutText().empty());

  ZTLoadingViewController* launch = start();
  launch->chooseEntry(ZTLoadingViewController::kCommunity);
  ASSERT_EQ(host->alerts().size(), 1u);
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();

  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  // The tools drawer, the onion panel, the layer panel with each layer chosen.
  tap(desk->toolBtn());
  closeOverlay();
  tap(desk->onionBtn());
  closeOverlay();
  tap(desk->groundBtn());
  tap(desk->middleRowBtn());
  tap(desk->foregroundRowBtn());
  // The gallery, its add dialog, and a background painted and left.
  paintNewBackground(desk);
  if (HasFatalFailure()) return;
  tap(desk->groundBtn());
  tap(desk->foregroundRowBtn());
  closeOverlay();

  // The frame manager with its first-use help.
  tap(desk->frameManagerBtn());
  ASSERT_NE(desk->picManagerView(), nullptr);
  host->tap({10, 20});
  host->runUntilIdle();
  host->tap({10, 20});
  host->runUntilIdle();
  ASSERT_EQ(desk->picManagerView(), nullptr);
  // The desk's news sheet, which no control opens yet.
  DesktopShowSimpleView::initWithFrame(desk->view()->bounds());

  // The file panel on both tabs.
  tap(desk->fileManagerBtn());
  FileManagerView* panel = panelOf(desk);
  ASSERT_NE(panel, nullptr);
  tap(panel->packagesTabButton());
  tap(panel->projectsTabButton());
  tap(panel->closeButton());

  EXPECT_TRUE(fd::keysWithoutText().empty()) << "shown without wording:" << unworded();
}
