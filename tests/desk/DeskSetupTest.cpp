// The desk as an object and a screen: the shared desk, what loading leaves
// behind, zoom, undo and redo buttons following the canvas, the tools drawer
// with its timed animations, the rest state, the tall layout, playback that
// keeps strokes off the hidden canvas, fills that arrive after the page
// changed, and page numbers the model cannot back.
#include <chrono>
#include <thread>

#include "desk/DeskTestSupport.h"
#include "platform/foundation/UserDefaults.h"

namespace {

class DeskSetupTest : public desk_test::DeskTest {
 protected:
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    // Deleting the only frame is as empty as a project gets: the model puts a
    // new, empty frame in its place.
    if (emptyProject) {
      ASSERT_TRUE(project().deleteImageAtPage(1, false));
    }
  }
  // Runs the main loop until the condition holds or a real second passes
  // (work handed back from other threads).
  template <typename F>
  bool waitFor(F done) {
    for (int i = 0; i < 200 && !done(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      host->runUntilIdle();
    }
    return done();
  }
  int frames = 1;
  bool emptyProject = false;
};

TEST_F(DeskSetupTest, ADeskBeingDestroyedClearsTheSharedDeskOnlyWhenItIsThatDesk) {
  ZTDataModel::sharedInstance();
  auto first = DesktopManagerController::initWithNibName("DesktopManagerController");
  EXPECT_EQ(DesktopManagerController::sharedViewController(), first.get());
  auto second = DesktopManagerController::initWithNibName("DesktopManagerController");
  EXPECT_EQ(DesktopManagerController::sharedViewController(), second.get());
  first.reset();
  EXPECT_EQ(DesktopManagerController::sharedViewController(), second.get());
  second.reset();
  EXPECT_EQ(DesktopManagerController::sharedViewController(), nullptr);
}

TEST_F(DeskSetupTest, LoadingSetsUpTheCanvasAndClearsTheFirstRunFlag) {
  start();
  EXPECT_FALSE(model().showDeskSimple());
  EXPECT_TRUE(fd::UserDefaults::standard().boolForKey("brush01"));
  EXPECT_TRUE(fd::UserDefaults::standard().boolForKey("brush06"));
  DrawsView* canvas = desk->drawsView();
  ASSERT_NE(canvas, nullptr);
  EXPECT_TRUE(canvas->autoMark());
  EXPECT_TRUE(canvas->enabledZoom());
  EXPECT_EQ(canvas->isCanDrawDelegate(), desk.get());
  EXPECT_EQ(canvas->brushTypeIndex(), 2);
  EXPECT_FLOAT_EQ(canvas->requestedBrushSize(), 32);
  EXPECT_FLOAT_EQ(project().animationSpeed(), 1.0f);
  EXPECT_EQ(desk->speedState(), 0);
  EXPECT_EQ(desk->contentPattern(), 1);
  EXPECT_EQ(desk->displayPattern(), 0);
  EXPECT_TRUE(desk->playView()->isHidden());
  EXPECT_TRUE(desk->erser()->isHidden());
  EXPECT_TRUE(desk->canvas()->clipsToBounds());
  EXPECT_TRUE(desk->shouldAutorotateToInterfaceOrientation(3));
  EXPECT_FALSE(desk->shouldAutorotateToInterfaceOrientation(1));
  EXPECT_EQ(desk->zoomLabel()->text(), "100%");
}

TEST_F(DeskSetupTest, ZoomMovesTheLayersWithTheCanvasAndUpdatesTheIndicator) {
  start();
  const gfx::Rect zoomed{-100, -50, 768, 576};
  desk->drawsView()->setDrawRect(zoomed);
  host->runUntilIdle();
  EXPECT_EQ(desk->zoomLabel()->text(), "200%");
  EXPECT_EQ(desk->background()->frame(), zoomed);
  EXPECT_EQ(desk->layer()->frame(), zoomed);
  EXPECT_EQ(desk->frame1()->frame(), zoomed);
  EXPECT_EQ(desk->canvasView()->frame(), zoomed);
}

TEST_F(DeskSetupTest, UndoAndRedoButtonsFollowTheCanvas) {
  start();
  ui::Button* undo = desk->undoBtn();
  ui::Button* redo = desk->redoBtn();
  stroke(onPage(50, 50), onPage(250, 200));
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_FLOAT_EQ(undo->alpha(), 0.5f);
  EXPECT_FALSE(redo->isEnabled());
  desk->redo_undoOperation(undo);
  EXPECT_FLOAT_EQ(undo->alpha(), 1.0f);  // the press flashes
  host->advance(0.6);
  EXPECT_FLOAT_EQ(undo->alpha(), 0.5f);
  EXPECT_EQ(canvasAlphaAt(150, 125), 0);
  EXPECT_TRUE(redo->isEnabled());
  EXPECT_FALSE(undo->isEnabled());
  desk->redo_undoOperation(redo);
  EXPECT_GT(canvasAlphaAt(150, 125), 0);
  EXPECT_FALSE(redo->isEnabled());
  EXPECT_TRUE(undo->isEnabled());
}

TEST_F(DeskSetupTest, TheToolsDrawerOpensAndClosesWithItsAnimations) {
  start(false, 1.0f, false);
  const float W = desk->view()->bounds().width;
  tapView(desk->toolBtn());
  ToolView* overlay = desk->tools();
  ASSERT_NE(overlay, nullptr);
  EXPECT_TRUE(desk->toolFootView()->isHidden());
  // First the button turns (0.2 s) while the drawer waits off screen.
  host->advance(0.1);
  EXPECT_EQ(overlay->presentationFrame().x, W);
  EXPECT_FALSE(desk->toolBtn()->isHidden());
  // Then the drawer slides in.
  host->advance(0.2);
  EXPECT_TRUE(desk->toolBtn()->isHidden());
  EXPECT_LT(overlay->presentationFrame().x, W);
  host->advance(0.3);
  EXPECT_EQ(overlay->presentationFrame().x, 0);
  EXPECT_EQ(desk->toolsView()->frame(), (ui::Rect{W - 469, 215, 469, 51}));
  // A touch outside the drawer and the page closes it.
  host->tap({10, 100});
  host->advance(0.1);
  EXPECT_GT(overlay->presentationFrame().x, 0);
  EXPECT_TRUE(desk->toolBtn()->isHidden());
  host->advance(0.2);
  EXPECT_EQ(overlay->frame().x, W + 20);
  EXPECT_FALSE(desk->toolBtn()->isHidden());
  EXPECT_FALSE(desk->toolFootView()->isHidden());
  host->advance(0.3);
  EXPECT_TRUE(desk->toolBtn()->transform().isIdentity());
}

// While the drawer slides in, a tap on the page where one of its buttons
// will stand reaches nothing: neither the button (Undo, Add frame, Clear)
// nor the page under that spot, at either scale.
TEST_F(DeskSetupTest, ATapWhereADrawerButtonWillStandDuringTheSlideDoesNothing) {
  for (const float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale);
    start(false, scale, false);
    stroke(onPage(40, 40), onPage(300, 60));
    host->advance(1);
    const std::optional<gfx::Image> drawn = desk->drawsView()->image();
    const std::size_t frames = project().imagesArray().size();
    tapView(desk->toolBtn());
    host->advance(0.21);  // the button has turned; the drawer sets off
    for (const int tag : {DesktopManagerController::kTagUndo, DesktopManagerController::kTagAddFrame,
                          DesktopManagerController::kTagClear}) {
      ui::Button* b = desk->drawerButton(tag);
      const ui::Rect at = b->convertRectTo(b->bounds(), nullptr);
      const ui::Point middle{at.x + at.width / 2, at.y + at.height / 2};
      ASSERT_TRUE(desk->canvas()->frame().contains(middle));
      const float shownAt = at.x + desk->tools()->presentationFrame().x - desk->tools()->frame().x;
      ASSERT_GT(shownAt, middle.x) << "the button is not there yet";
      host->tap(middle);
      host->advance(0.03);
    }
    host->advance(1);
    EXPECT_EQ(desk->tools()->frame().x, 0) << "the drawer opened";
    EXPECT_TRUE(host->alerts().empty());
    EXPECT_EQ(project().imagesArray().size(), frames);
    EXPECT_TRUE(desk->drawsView()->image() == drawn) << "nothing undone, nothing drawn";
    stop();
  }
}

TEST_F(DeskSetupTest, TheDrawerPassesStrokesOnThePageToTheCanvas) {
  start();
  tapView(desk->toolBtn());
  host->runUntilIdle();
  ASSERT_EQ(desk->tools()->frame().x, 0);
  stroke(onPage(40, 40), onPage(300, 60));
  EXPECT_GT(canvasAlphaAt(170, 50), 0);
  EXPECT_EQ(desk->tools()->frame().x, 0);  // still open
}

TEST_F(DeskSetupTest, RestStateLeavesHiddenBarsAndStopsPlayback) {
  frames = 3;
  start();
  const ui::Rect player = desk->playerView()->frame();
  desk->defaultState();
  EXPECT_EQ(desk->playerView()->frame(), player);
  EXPECT_EQ(desk->tools(), nullptr);
  desk->playerDisplayorHidden();
  host->runUntilIdle();
  EXPECT_EQ(desk->playerView()->frame().y, 262);
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
  EXPECT_EQ(desk->playState(), 1);
  desk->defaultState();
  host->runUntilIdle();
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_EQ(desk->playerView()->frame().y, 284);
  EXPECT_TRUE(desk->playView()->isHidden());
  EXPECT_FALSE(desk->canvasView()->isHidden());
}

TEST_F(DeskSetupTest, WhilePlayingNoStrokeReachesTheHiddenCanvas) {
  frames = 3;
  start();
  ASSERT_EQ(curPage(), 3);
  desk->playerDisplayorHidden();
  host->runUntilIdle();
  tapView(desk->playerButton(DesktopManagerController::kTagLoop));
  ASSERT_EQ(desk->playPattern(), 0);
  tapView(desk->playerButton(DesktopManagerController::kTagPlay));
  ASSERT_EQ(desk->playState(), 1);
  EXPECT_TRUE(desk->canvasView()->isHidden());
  for (int tick = 0; tick < 100 && curPage() == 3; ++tick) host->advance(0.01);  // a frame on
  ASSERT_EQ(desk->playState(), 1);
  ASSERT_NE(curPage(), 3);
  // Strokes on the page, and through the open drawer's pass-through.
  stroke(onPage(40, 40), onPage(300, 250));
  desk->touchesBegan({}, {});
  EXPECT_FALSE(desk->beginDraw());
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));  // stop
  host->runUntilIdle();
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_EQ(canvasAlphaAt(170, 145), 0);
  for (int page = 1; page <= 3; ++page) {
    auto path = project().layFullPathAtPage(page, false, 2);
    EXPECT_LE(inkedPixels(*path), 0) << "page " << page;
  }
}

TEST_F(DeskSetupTest, PlayOnceForwardFromTheLastFrameStopsAtTheFirstStep) {
  frames = 4;
  start();
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
  host->advance(0.2);
  EXPECT_EQ(desk->playState(), 0);
  EXPECT_EQ(curPage(), 1);
  EXPECT_FALSE(desk->canvasView()->isHidden());
}

TEST_F(DeskSetupTest, AFillThatArrivesAfterThePageChangedIsDropped) {
  frames = 2;
  start();
  settings().setCurPage(1);
  desk->setPageData();
  // A closed outline to fill.
  stroke(onPage(100, 100), onPage(200, 100), 4);
  stroke(onPage(200, 100), onPage(200, 200), 4);
  stroke(onPage(200, 200), onPage(100, 200), 4);
  stroke(onPage(100, 200), onPage(100, 100), 4);
  desk->drawsView()->setIsFillTool(true);
  host->touchDown(1, onPage(150, 150));
  host->touchUp(1, onPage(150, 150));
  // The page turns before the fill's result reaches the main thread.
  desk->toNextPage();
  ASSERT_EQ(curPage(), 2);
  waitFor([&] { return !desk->drawsView()->fillTool()->isRunning(); });
  host->runUntilIdle();
  EXPECT_EQ(canvasAlphaAt(150, 150), 0);
  EXPECT_EQ(canvasAlphaAt(300, 250), 0);
  EXPECT_LE(inkedPixels(*project().layFullPathAtPage(2, false, 2)), 0);
}

TEST_F(DeskSetupTest, AFillOnItsWayWhenPlaybackStartsChangesNoPage) {
  frames = 3;
  start();
  settings().setCurPage(1);
  desk->setPageData();
  stroke(onPage(100, 100), onPage(200, 100), 4);
  stroke(onPage(200, 100), onPage(150, 200), 4);
  stroke(onPage(150, 200), onPage(100, 100), 4);
  desk->saveCurPage();
  const long before = inkedPixels(*project().layFullPathAtPage(1, false, 2));
  ASSERT_GT(before, 0);
  desk->drawsView()->setIsFillTool(true);
  host->touchDown(1, onPage(150, 130));
  host->touchUp(1, onPage(150, 130));
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagLoop));
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagPlay));
  waitFor([&] { return !desk->drawsView()->fillTool()->isRunning(); });
  for (int tick = 0; tick < 100 && curPage() == 1; ++tick) host->advance(0.01);
  ASSERT_EQ(desk->playState(), 1);
  ASSERT_NE(curPage(), 1);
  desk->gotoFrame(1);  // the last-frame button stops on page 3
  host->runUntilIdle();
  EXPECT_EQ(curPage(), 3);
  for (int page = 2; page <= 3; ++page) EXPECT_LE(inkedPixels(*project().layFullPathAtPage(page, false, 2)), 0) << page;
  EXPECT_EQ(inkedPixels(*project().layFullPathAtPage(1, false, 2)), before);
}

TEST_F(DeskSetupTest, AProjectEmptiedOfFramesStillGivesOnePageToDrawOn) {
  emptyProject = true;
  start();
  EXPECT_EQ(curPage(), 1);
  EXPECT_TRUE(desk->isCanDraw());
  EXPECT_EQ(desk->pageIndicator()->text(), "001/001");
  desk->toNextPage();
  desk->toPrePage();
  desk->adjustPaperSetting();
  EXPECT_EQ(curPage(), 1);
  EXPECT_EQ(project().imagesArray().size(), 1u);
}

TEST_F(DeskSetupTest, PageNumbersOutsideTheFrameListAreBroughtBack) {
  frames = 3;
  start();
  settings().setCurPage(0);
  EXPECT_FALSE(desk->isCanDraw());
  stroke(onPage(40, 40), onPage(300, 250));
  desk->saveCurPage();  // nothing to write to page 0
  settings().setCurPage(9);
  EXPECT_FALSE(desk->isCanDraw());
  desk->adjustPaperSetting();
  EXPECT_EQ(curPage(), 3);
  settings().setCurPage(-4);
  desk->adjustPaperSetting();
  EXPECT_EQ(curPage(), 1);
  EXPECT_TRUE(desk->isCanDraw());
}

TEST_F(DeskSetupTest, TheTallLayoutMovesThePageAndTheStrips) {
  start(true);
  EXPECT_EQ(desk->view()->bounds().width, 568);
  EXPECT_EQ(desk->canvas()->frame(), (ui::Rect{94, 9, 384, 288}));
  EXPECT_EQ(desk->brushAndEraInteractView()->frame(), (ui::Rect{528, 155, 39, 43}));
  EXPECT_EQ(desk->opacityInteractView()->frame(), (ui::Rect{528, 50, 41, 54}));
  EXPECT_EQ(desk->brushAndEraserSelection()->frame().x, 81);
  EXPECT_EQ(desk->sizeSelection()->frame().x, 101);
  EXPECT_EQ(desk->colorSel()->colorCans()->frame().x, 44);
  // A stroke in the moved page lands where it was drawn.
  stroke({94 + 50, 9 + 50}, {94 + 250, 9 + 50});
  EXPECT_GT(canvasAlphaAt(150, 50), 0);
}

}  // namespace
