// From the launch screen to the desk and its file-manager panel: the first
// carousel entry builds a new desk at each press off the main thread and
// presents it; a stroke drawn on it lands in the project; the panel lists the
// projects as cards, opens and creates projects, closes, and its promotion
// has the desk show the store sheet.
#include "app/AppTestSupport.h"
#include "platform/foundation/Localized.h"

namespace {

class DeskLaunchTest : public app_test::AppTest {
 protected:
  FileManagerView* panelOf(DesktopManagerController* desk) {
    return dynamic_cast<FileManagerView*>(desk->fileManeagerView());
  }
};

TEST_F(DeskLaunchTest, TheFirstEntryOpensANewDeskAtEachPress) {
  ZTLoadingViewController* launch = start();
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(DesktopManagerController::sharedViewController(), desk);
  EXPECT_EQ(launch->desk(), desk);
  EXPECT_EQ(desk->nibName(), "DesktopManagerController");
  EXPECT_EQ(desk->view()->window(), ui::Application::shared().keyWindow());
  // Draw, turn the page (on the last page the button adds one): page 1's
  // layer file holds the stroke, page 2 is blank.
  host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
  host->runUntilIdle();
  tap(desk->nextFrameBtn());
  ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
  ASSERT_EQ(project.imagesArray().size(), 2u);
  EXPECT_EQ(ZTDataModel::sharedInstance().extendDataModel().curPage(), 2);
  auto layer = project.layFullPathAtPage(1, false, 2);
  ASSERT_TRUE(layer);
  auto saved = gfx::readImage(*layer);
  ASSERT_TRUE(saved);
  EXPECT_GT(saved->pixel(saved->pixelWidth() * 170 / 384, saved->pixelHeight() * 120 / 288)[3], 0);
  EXPECT_EQ(desk->drawsView()->image()->pixel(170, 120)[3], 0);
  EXPECT_EQ(desk->pageIndicator()->text(), "002/002");
  // Back to page 1 and leave.
  tap(desk->previousFrameBtn());
  tap(desk->backBtn());
  EXPECT_EQ(launch->presentedViewController(), nullptr);
  // A second press makes another desk, which replaces the first.
  DesktopManagerController* second = openDesk(launch);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(DesktopManagerController::sharedViewController(), second);
  // It opens on the last frame; page 1 still holds the stroke.
  EXPECT_EQ(second->pageIndicator()->text(), "002/002");
  tap(second->previousFrameBtn());
  EXPECT_GT(second->drawsView()->image()->pixel(170, 120)[3], 0);
}

TEST_F(DeskLaunchTest, TheTallScreenGetsTheTallDesk) {
  ZTLoadingViewController* launch = start(true);
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  EXPECT_EQ(desk->nibName(), "DesktopManagerController_iphone5");
  EXPECT_EQ(desk->view()->bounds().width, 568);
}

TEST_F(DeskLaunchTest, TheFilePanelListsOpensAndCreatesProjects) {
  ZTLoadingViewController* launch = start();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const std::string first = model.curProjectName();
  ASSERT_TRUE(model.createProject("Second", std::nullopt));
  ASSERT_TRUE(model.prjDataModel()->createImageAtPage(1));
  ASSERT_TRUE(model.prjDataModel()->createImageAtPage(1));
  model.prjDataModel()->setCurBackgroundName(std::string("SS_paper"));
  model.prjDataModel()->saveData();
  model.saveData();
  ASSERT_EQ(model.curProjectName(), "Second");
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  EXPECT_EQ(desk->pageIndicator()->text(), "003/003");

  tap(desk->fileManagerBtn());
  FileManagerView* panel = panelOf(desk);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->delegate(), desk);
  ProjectsView* projects = panel->projsView();
  ASSERT_EQ(projects->projectNames(), (std::vector<std::string>{first, "Second"}));
  ASSERT_NE(projects->card(1), nullptr);
  ASSERT_NE(projects->cardName(1), nullptr);
  EXPECT_EQ(projects->cardName(1)->text(), "Second");
  EXPECT_FALSE(projects->cardIcon(0)->image().empty());  // an icon, or the blank page
  // Name and icon inside the card, the name wide enough to be read whole.
  const ui::Rect cardBounds = projects->card(1)->bounds();
  for (const ui::Rect& r : {projects->cardName(1)->frame(), projects->cardIcon(1)->frame()}) {
    EXPECT_GE(r.x, cardBounds.x);
    EXPECT_GE(r.y, cardBounds.y);
    EXPECT_LE(r.x + r.width, cardBounds.x + cardBounds.width);
    EXPECT_LE(r.y + r.height, cardBounds.y + cardBounds.height);
  }
  EXPECT_LE(projects->cardName(1)->sizeThatFits({1000, 100}).width, projects->cardName(1)->frame().width);
  EXPECT_EQ(projects->selectedBackground(), std::nullopt);
  tap(projects->card(1));
  EXPECT_EQ(projects->selectedIndex(), 1);
  EXPECT_EQ(projects->selectedBackground(), std::optional<std::string>("SS_paper"));

  // Open the first project with a second touch on its card.
  tap(projects->card(0));
  tap(projects->card(0));
  EXPECT_EQ(model.curProjectName(), first);
  EXPECT_EQ(desk->fileManeagerView(), nullptr);
  EXPECT_EQ(desk->pageIndicator()->text(), "001/001");
  bool panelOnScreen = false;
  for (const auto& v : desk->view()->subviews()) panelOnScreen |= dynamic_cast<FileManagerView*>(v.get()) != nullptr;
  EXPECT_FALSE(panelOnScreen);

  // New makes a project that becomes the current one; Close returns to it.
  tap(desk->fileManagerBtn());
  panel = panelOf(desk);
  ASSERT_NE(panel, nullptr);
  tap(panel->newButton());
  EXPECT_EQ(model.projectsNameArray().size(), 3u);
  EXPECT_EQ(panel->projsView()->projectNames().size(), 3u);
  EXPECT_EQ(panel->projsView()->selectedIndex(), 2);
  const std::string made = model.curProjectName();
  EXPECT_NE(made, first);
  tap(panel->closeButton());
  EXPECT_EQ(desk->fileManeagerView(), nullptr);
  EXPECT_EQ(model.prjDataModel()->curProjectName(), made);
  EXPECT_EQ(desk->pageIndicator()->text(), "001/001");
}

TEST_F(DeskLaunchTest, ScreensNotInTheProgramYetSaySo) {
  ZTLoadingViewController* launch = start();
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  // The frame manager is part of the program: it opens over the desk with its
  // first-use tip, a touch takes the tip away and one in the left band closes it.
  tap(desk->frameManagerBtn());
  EXPECT_TRUE(host->alerts().empty());
  ASSERT_NE(desk->picManagerView(), nullptr);
  host->tap({10, 20});
  host->runUntilIdle();
  ASSERT_NE(desk->picManagerView(), nullptr);
  host->tap({10, 20});
  host->runUntilIdle();
  EXPECT_EQ(desk->picManagerView(), nullptr);
  tap(desk->fileManagerBtn());
  FileManagerView* panel = panelOf(desk);
  ASSERT_NE(panel, nullptr);
  for (auto [button, title] : {std::pair{panel->exportButton(), "Export"}, std::pair{panel->shareButton(), "Share"}}) {
    tap(button);
    ASSERT_EQ(host->alerts().size(), 1u) << title;
    EXPECT_EQ(host->alerts()[0]->title(), title);
    EXPECT_EQ(host->alerts()[0]->message(), "This part of the program is not available yet.");
    ASSERT_TRUE(host->pressAlertButton(0));
    host->runUntilIdle();
  }
  EXPECT_EQ(panelOf(desk), panel);  // the panel stays open
}

TEST_F(DeskLaunchTest, ThePromotionHasTheDeskShowTheStoreSheet) {
  ZTLoadingViewController* launch = start();
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  tap(desk->fileManagerBtn());
  FileManagerView* panel = panelOf(desk);
  ASSERT_NE(panel, nullptr);
  tap(panel->promotionButton());
  ASSERT_EQ(host->alerts().size(), 1u);
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Store")));
  host->runUntilIdle();
  auto* sheet = dynamic_cast<ui::StoreProductViewController*>(desk->presentedViewController());
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->productIdentifier(), DesktopManagerController::kPdfAppStoreIdentifier);
  sheet->done();
  host->runUntilIdle();
  EXPECT_EQ(desk->presentedViewController(), nullptr);
}

}  // namespace
