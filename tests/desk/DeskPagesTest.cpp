// Pages, layers and the onion skin driven through the desk's own controls:
// strokes land in the page's layer file when the page is left, turning and
// adding frames, repeat runs in the indicator, deleting the last frame,
// hidden layers refusing strokes, and the onion modes at the first pages.
#include <fstream>

#include "desk/DeskArt.h"
#include "desk/DeskTestSupport.h"
#include "platform/foundation/Localized.h"

namespace {

class DeskPagesTest : public desk_test::DeskTest {
 protected:
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    if (runAt > 0) makeRun(runAt, runLength);
  }
  // The frame at `page` followed by repeat copies of it.
  void makeRun(int page, int length) { ASSERT_TRUE(project().setRepeatRunAtPage(page, length)); }
  std::filesystem::path layerFile(int page, int position) {
    auto p = project().layFullPathAtPage(page, false, position);
    return p ? *p : std::filesystem::path();
  }
  int frameCount() { return static_cast<int>(project().imagesArray().size()); }
  void goTo(int page) {
    desk->saveCurPage();
    settings().setCurPage(page);
    desk->setPageData();
    desk->renewDesktopDisplay();
  }

  int frames = 1;
  int runAt = 0, runLength = 0;
};

TEST_F(DeskPagesTest, AStrokeIsSavedIntoItsPageWhenThePageIsTurned) {
  frames = 2;
  start();
  // The desk opens on the last frame; go to page 1 first.
  tapView(desk->previousFrameBtn());
  ASSERT_EQ(curPage(), 1);
  stroke(onPage(60, 60), onPage(300, 220));
  EXPECT_GT(canvasAlphaAt(180, 140), 0);
  EXPECT_FALSE(std::filesystem::exists(layerFile(1, 2)));  // nothing written while drawing
  tapView(desk->nextFrameBtn());
  EXPECT_EQ(curPage(), 2);
  EXPECT_GT(inkedPixels(layerFile(1, 2)), 100);
  EXPECT_EQ(canvasAlphaAt(180, 140), 0);  // page 2 is blank
  tapView(desk->nextFrameBtn());          // the last page: the button adds a frame
  tapView(desk->previousFrameBtn());
  EXPECT_EQ(curPage(), 2);
  EXPECT_LE(inkedPixels(layerFile(2, 2)), 0);
  tapView(desk->previousFrameBtn());
  EXPECT_EQ(curPage(), 1);
  EXPECT_GT(canvasAlphaAt(180, 140), 0);
  EXPECT_EQ(desk->pageIndicator()->text(), "001/003");
}

TEST_F(DeskPagesTest, AProjectOfOneFrameStaysOnPageOneInAddMode) {
  start();
  EXPECT_TRUE(desk->nextFrameBtn()->isSelected());
  tapView(desk->previousFrameBtn());
  EXPECT_EQ(curPage(), 1);
  desk->toNextPage();
  EXPECT_EQ(curPage(), 1);
  for (int mode = 0; mode < 3; ++mode) {
    desk->onionSkinDisplayorHidden();
    desk->desktopDisplay(desk->onionModeBtn(mode));
    EXPECT_TRUE(desk->frame1()->image().empty());
    EXPECT_TRUE(desk->frame2()->image().empty());
  }
}

TEST_F(DeskPagesTest, RepeatRunsInTheIndicatorAndTheNextPage) {
  frames = 8;
  runAt = 3;
  runLength = 3;
  start();
  ASSERT_EQ(frameCount(), 10);
  goTo(3);
  EXPECT_EQ(desk->pageIndicator()->text(), "003-005/010");
  tapView(desk->nextFrameBtn());
  EXPECT_EQ(curPage(), 6);
  EXPECT_EQ(desk->pageIndicator()->text(), "006/010");
}

TEST_F(DeskPagesTest, DuplicateAndAddLandAfterTheRun) {
  frames = 8;
  runAt = 3;
  runLength = 3;
  start();
  goTo(3);
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagDuplicate));
  EXPECT_EQ(frameCount(), 11);
  EXPECT_EQ(curPage(), 6);
  goTo(1);
  stroke(onPage(40, 40), onPage(200, 40));
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagAddFrame));
  EXPECT_EQ(frameCount(), 12);
  EXPECT_EQ(curPage(), 2);
  EXPECT_EQ(canvasAlphaAt(120, 40), 0);  // the new frame is blank
  EXPECT_GT(inkedPixels(layerFile(1, 2)), 50);  // the page was saved first
}

TEST_F(DeskPagesTest, DeletingTheLastFrameMovesToTheStartOfTheNewLastRun) {
  frames = 3;
  runAt = 1;
  runLength = 2;  // run 1-2, then 3, 4
  start();
  ASSERT_EQ(frameCount(), 4);
  ASSERT_EQ(curPage(), 4);
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagDelete));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->runUntilIdle();
  EXPECT_EQ(frameCount(), 3);
  EXPECT_EQ(curPage(), 3);
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagDelete));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->runUntilIdle();
  EXPECT_EQ(curPage(), 1);  // the run 1-2 is now last
  // Cancel deletes nothing.
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagDelete));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->runUntilIdle();
  EXPECT_EQ(frameCount(), 2);
}

TEST_F(DeskPagesTest, ClearEmptiesTheEditedLayerOnlyOnOk) {
  start();
  stroke(onPage(60, 60), onPage(300, 220));
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagClear));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Cancel")));
  host->runUntilIdle();
  EXPECT_GT(canvasAlphaAt(180, 140), 0);
  desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagClear));
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("OK")));
  host->runUntilIdle();
  EXPECT_EQ(canvasAlphaAt(180, 140), 0);
}

TEST_F(DeskPagesTest, SwitchingAndHidingLayers) {
  frames = 2;
  start();
  stroke(onPage(60, 60), onPage(300, 60));  // on the foreground
  // The layer panel: choose the middle ground.
  tapView(desk->groundBtn());
  ASSERT_FALSE(desk->layerManager()->isHidden());
  tapView(desk->middleRowBtn());
  EXPECT_EQ(desk->contentPattern(), 0);
  EXPECT_TRUE(desk->groundBtn()->isSelected());
  EXPECT_EQ(desk->laySelected()->frame().y, 115);
  EXPECT_EQ(canvasAlphaAt(180, 60), 0);           // the middle ground is empty
  EXPECT_FALSE(desk->layer()->image().empty());   // the foreground shows beside it
  EXPECT_GT(inkedPixels(layerFile(2, 2)), 50);    // saved when the panel opened
  // Hide the middle ground: no stroke lands.
  tapView(desk->mVisibleBtn());
  EXPECT_TRUE(desk->mVisibleBtn()->isSelected());
  EXPECT_FALSE(project().layIsOpenAtPage(2, 1, false));
  EXPECT_FALSE(desk->isCanDraw());
  EXPECT_TRUE(desk->canvasView()->isHidden());
  host->tap({10, 10});  // close the panel (outside it)
  ASSERT_TRUE(desk->layerManager()->isHidden());
  stroke(onPage(60, 200), onPage(300, 200));
  EXPECT_EQ(canvasAlphaAt(180, 200), 0);
  desk->touchesBegan({}, {});  // the desk's own handler asks the same question
  EXPECT_FALSE(desk->beginDraw());
  // Switching back to the (visible) foreground allows drawing again.
  desk->selectGround(DesktopManagerController::kTagForegroundRow);
  EXPECT_TRUE(desk->isCanDraw());
  // Hiding the other layer hides its picture.
  desk->setEditingLayer();
  tapView(desk->mVisibleBtn());
  EXPECT_FALSE(desk->layer()->isHidden());
  tapView(desk->fVisibleBtn());
  EXPECT_TRUE(desk->canvasView()->isHidden());
  EXPECT_FALSE(project().layIsOpenAtPage(2, 2, false));
}

// Hiding and showing a layer never changes what is stored: the canvas holds
// the edited layer's stored picture whether it is shown or not, and each
// layer's view is shown exactly when its layer is visible on the page shown.
TEST_F(DeskPagesTest, HidingTheEditedLayerAcrossPageTurnsKeepsItsPicture) {
  frames = 2;
  start();
  tapView(desk->previousFrameBtn());
  ASSERT_EQ(curPage(), 1);
  for (float y = 40; y <= 240; y += 25) stroke(onPage(40, y), onPage(340, y + 10));
  tapView(desk->nextFrameBtn());
  tapView(desk->previousFrameBtn());
  const long drawn = inkedPixels(layerFile(1, 2));
  ASSERT_GT(drawn, 5000);

  // Hide the foreground (the edited layer) with its eye, turn away and back.
  inLayerPanel({desk->fVisibleBtn()});
  EXPECT_TRUE(desk->canvasView()->isHidden());
  tapView(desk->nextFrameBtn());
  ASSERT_EQ(curPage(), 2);
  EXPECT_FALSE(desk->canvasView()->isHidden()) << "the foreground is visible on page 2";
  EXPECT_TRUE(desk->isCanDraw());
  tapView(desk->previousFrameBtn());
  ASSERT_EQ(curPage(), 1);
  EXPECT_TRUE(desk->canvasView()->isHidden()) << "still hidden on page 1";
  EXPECT_GT(canvasAlphaAt(190, 65), 0) << "the hidden layer's picture is on the canvas all the same";

  // Show it again: the drawing is there, and a new stroke adds to it.
  inLayerPanel({desk->fVisibleBtn()});
  EXPECT_FALSE(desk->canvasView()->isHidden());
  EXPECT_GT(canvasAlphaAt(190, 65), 0);
  auto snapshot = project().snapshotFullPathAtPage(1, false);
  ASSERT_TRUE(snapshot);
  EXPECT_GT(inkedPixels(*snapshot), drawn / 8) << "the snapshot shows the foreground again";
  stroke(onPage(60, 270), onPage(320, 270));
  tapView(desk->nextFrameBtn());
  EXPECT_GT(inkedPixels(layerFile(1, 2)), drawn) << "the stored foreground kept every stroke";
  EXPECT_EQ(curPage(), 2);
}

TEST_F(DeskPagesTest, ChoosingAHiddenLayerToEditKeepsTheOtherLayerShown) {
  frames = 1;
  start();
  stroke(onPage(40, 60), onPage(340, 60));  // the foreground
  tapView(desk->groundBtn());
  tapView(desk->middleRowBtn());
  host->tap({10, 10});
  stroke(onPage(40, 200), onPage(340, 200));  // the middle ground
  // Hide the foreground (now the other layer), then choose it to edit.
  tapView(desk->groundBtn());
  tapView(desk->fVisibleBtn());
  EXPECT_TRUE(desk->layer()->isHidden());
  tapView(desk->foregroundRowBtn());
  ASSERT_EQ(desk->contentPattern(), 1);
  host->tap({10, 10});
  host->runUntilIdle();
  EXPECT_FALSE(desk->layer()->isHidden()) << "the visible middle ground stays on show";
  ASSERT_FALSE(desk->layer()->image().empty());
  EXPECT_GT(desk->layer()->image().image()->pixel(static_cast<int>(190 * desk->layer()->image().image()->scale()),
                                                  static_cast<int>(200 * desk->layer()->image().image()->scale()))[3],
            0);
  EXPECT_TRUE(desk->canvasView()->isHidden()) << "the hidden foreground is not shown";
  EXPECT_FALSE(desk->isCanDraw());
  EXPECT_GT(canvasAlphaAt(190, 60), 0) << "but the canvas holds its stored picture";
  // Back to the middle ground: the hidden foreground keeps its picture too.
  desk->setEditingLayer();
  tapView(desk->middleRowBtn());
  host->tap({10, 10});
  host->runUntilIdle();
  EXPECT_TRUE(desk->layer()->isHidden());
  ASSERT_FALSE(desk->layer()->image().empty());
  EXPECT_FALSE(desk->canvasView()->isHidden());
  EXPECT_GT(canvasAlphaAt(190, 200), 0);
  // Showing the foreground again shows its picture at once.
  desk->setEditingLayer();
  tapView(desk->fVisibleBtn());
  EXPECT_FALSE(desk->layer()->isHidden());
  EXPECT_GT(inkedPixels(layerFile(1, 2)), 50);
  EXPECT_GT(inkedPixels(layerFile(1, 1)), 50);
}

// Choosing the layer already being edited keeps its undo history.
TEST_F(DeskPagesTest, ChoosingTheEditedLayerAgainKeepsItsHistory) {
  start();
  stroke(onPage(40, 60), onPage(340, 60));
  stroke(onPage(40, 200), onPage(340, 200));
  inLayerPanel({desk->foregroundRowBtn()});
  ASSERT_TRUE(desk->undoBtn()->isEnabled());
  tapView(desk->toolBtn());
  tapView(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 200), 0);
  EXPECT_GT(canvasAlphaAt(190, 60), 0);
}

// A window minimised and brought back keeps the canvas's undo history.
TEST_F(DeskPagesTest, MinimisingTheWindowKeepsTheHistory) {
  start();
  stroke(onPage(40, 60), onPage(340, 60));
  stroke(onPage(40, 200), onPage(340, 200));
  ui::Application::shared().enterBackground();
  host->runUntilIdle();
  ui::Application::shared().enterForeground();
  host->runUntilIdle();
  ASSERT_TRUE(desk->undoBtn()->isEnabled());
  tapView(desk->toolBtn());
  tapView(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 200), 0);
  tapView(desk->undoBtn());
  EXPECT_EQ(canvasAlphaAt(190, 60), 0);
}

TEST_F(DeskPagesTest, OnionModesAtTheFirstPages) {
  frames = 3;
  start();
  // Give every page a snapshot: draw and leave each.
  for (int page = 1; page <= 3; ++page) {
    goTo(page);
    stroke(onPage(20.0f + page * 40, 50), onPage(20.0f + page * 40, 250));
  }
  goTo(1);
  desk->onionSkinDisplayorHidden();
  ASSERT_FALSE(desk->skin()->isHidden());
  // Mode 1 at page 1: only the next frame.
  tapView(desk->onionModeBtn(1));
  EXPECT_EQ(desk->displayPattern(), 1);
  EXPECT_FALSE(desk->frame2()->image().empty());
  EXPECT_TRUE(desk->frame1()->image().empty());
  EXPECT_EQ(desk->selectOneView()->frame().y, 100);
  EXPECT_FLOAT_EQ(desk->onionModeBtn(1)->alpha(), 1.0f);
  EXPECT_FLOAT_EQ(desk->onionModeBtn(0)->alpha(), 0.5f);
  EXPECT_EQ(desk->onionSkinStatusOne()->frame().x, desk->desktopBackground()->frame().x + 12);
  // Mode 0 at page 2: only page 1.
  goTo(2);
  tapView(desk->onionModeBtn(0));
  EXPECT_EQ(desk->displayPattern(), 0);
  EXPECT_FALSE(desk->frame2()->image().empty());
  EXPECT_TRUE(desk->frame1()->image().empty());
  // Mode 2 at page 1: pages 2 and 3.
  goTo(1);
  tapView(desk->onionModeBtn(2));
  EXPECT_FALSE(desk->frame2()->image().empty());
  EXPECT_FALSE(desk->frame1()->image().empty());
  // Pressing the active mode again turns the onion skin off.
  tapView(desk->onionModeBtn(2));
  EXPECT_EQ(desk->displayPattern(), -1);
  EXPECT_TRUE(desk->frame2()->image().empty());
  EXPECT_TRUE(desk->onionSkinStatusOne()->isHidden());
}

TEST_F(DeskPagesTest, ASnapshotThatDoesNotLoadShowsTheEmptyPicture) {
  frames = 2;
  start();
  ASSERT_EQ(curPage(), 2);
  auto snapshot = project().snapshotFullPathAtPage(1, false);
  ASSERT_TRUE(snapshot);
  std::filesystem::create_directories(snapshot->parent_path());
  { std::ofstream(*snapshot) << "not a picture"; }
  desk->renewDesktopDisplay();
  EXPECT_EQ(desk->frame2()->image(), desk_art::named("emptyImage.png"));
}

}  // namespace
