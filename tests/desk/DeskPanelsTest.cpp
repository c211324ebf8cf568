// The desk's panels and names driven through the real view tree: the onion
// skin back after background mode is left through a layer row, the stamp
// tool put away when the layer panel opens, layer and onion rows answering
// over the whole place their selection frame marks, no large page number
// left over the canvas after the frame manager, and the player and onion
// buttons named on both screens.
#include "desk/BackgroundsView.h"
#include "desk/DeskTestSupport.h"
#include "desk/GraphToolView.h"
#include "desk/StampLibrary.h"
#include "desk/frames/PictureLoad.h"
#include "desk/frames/ZTPicManagerView.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/UserDefaults.h"

namespace {

class DeskPanelsTest : public desk_test::DeskTest {
 protected:
  void SetUp() override {
    // The stamp library's list request goes nowhere: a closed port on this machine.
    fd::UserDefaults::standard().setObject(ResourceDownLoadManager::kServerDefaultsKey, "http://127.0.0.1:9");
    ResourceDownLoadManager::resetSharedForTesting();
  }
  void TearDown() override {
    picture_load::waitAll();
    desk_test::DeskTest::TearDown();
    ResourceDownLoadManager::resetSharedForTesting();
  }
  void prepareModel() override {
    model().setShowPicSimple(false);
    while (static_cast<int>(project().imagesArray().size()) < 4) ASSERT_TRUE(project().createImageAtPage(1));
  }

  // Shown on screen: the view and every view above it are not hidden.
  static bool onScreen(ui::View* v) {
    if (v == nullptr || v->window() == nullptr) return false;
    for (; v != nullptr; v = v->superview())
      if (v->isHidden() || v->alpha() < 0.01f) return false;
    return true;
  }
  ui::Point screenPoint(ui::View* v, ui::Point p) { return v->convertPointTo(p, nullptr); }
  // Points spread over a rectangle of v, less those inside `except`.
  std::vector<ui::Point> spread(ui::View* v, const ui::Rect& r, const ui::Rect& except = {}) {
    std::vector<ui::Point> out;
    for (float fy : {0.15f, 0.5f, 0.85f})
      for (float fx : {0.03f, 0.15f, 0.3f, 0.5f, 0.7f, 0.85f, 0.97f}) {
        const ui::Point p{r.x + r.width * fx, r.y + r.height * fy};
        if (except.contains(p)) continue;
        out.push_back(screenPoint(v, p));
      }
    return out;
  }
  void openLayerPanel() {
    if (!desk->layerManager() || desk->layerManager()->isHidden()) tapView(desk->groundBtn());
    ASSERT_TRUE(onScreen(desk->layerManagerView()));
  }
};

TEST_F(DeskPanelsTest, LeavingBackgroundModeThroughALayerRowBringsTheOnionSkinBack) {
  start();
  // The last page with the two before it as onion skin.
  ASSERT_EQ(desk->displayPattern(), 0);
  ASSERT_TRUE(onScreen(desk->frame1()) && onScreen(desk->frame2()));
  ASSERT_FALSE(desk->frame2()->image().empty());

  // Into background mode: a new background of the user's, double-tapped.
  openLayerPanel();
  tapView(desk->backgroundRowButton());
  BackgroundsView& gallery = *desk->backgroundsView();
  tapView(gallery.backgroundsArray().back()->newButton());
  gallery.createBackground();
  BackgroundView* cell = gallery.cellNamed(model().backgroundArray().back());
  tapView(cell->selectedButton());
  host->advance(0.05);
  tapView(cell->selectedButton());
  ASSERT_TRUE(settings().isBackground());
  EXPECT_FALSE(onScreen(desk->frame1()));
  EXPECT_FALSE(onScreen(desk->frame2()));

  // Out again through the foreground row: the onion skin is back at once.
  openLayerPanel();
  tapView(desk->foregroundRowBtn());
  ASSERT_FALSE(settings().isBackground());
  EXPECT_EQ(desk->displayPattern(), 0);
  for (ui::View* v : {static_cast<ui::View*>(desk->frame1()), static_cast<ui::View*>(desk->frame2()),
                      static_cast<ui::View*>(desk->onionSkinStatusOne()),
                      static_cast<ui::View*>(desk->onionSkinStatusTwo())})
    EXPECT_TRUE(onScreen(v));
  EXPECT_FALSE(desk->frame1()->image().empty());
  EXPECT_FALSE(desk->frame2()->image().empty());
  EXPECT_FALSE(onScreen(desk->pageNumberShowDesk()));
}

TEST_F(DeskPanelsTest, OpeningTheLayerPanelPutsAnOpenStampToolAway) {
  start();
  tapView(desk->toolBtn());
  tapView(desk->stampBtn());
  ASSERT_TRUE(desk->stampBtn()->isSelected());
  ASSERT_TRUE(onScreen(desk->graphToolView()));

  tapView(desk->groundBtn());
  EXPECT_FALSE(onScreen(desk->graphToolView()));
  EXPECT_FALSE(desk->stampBtn()->isSelected());
  EXPECT_TRUE(onScreen(desk->layerManagerView()));

  // With the tool put away already, the panel opens as ever.
  desk->layerManager()->setHidden(true);
  tapView(desk->groundBtn());
  EXPECT_TRUE(onScreen(desk->layerManagerView()));
  EXPECT_FALSE(desk->stampBtn()->isSelected());
}

TEST_F(DeskPanelsTest, LayerRowsAnswerWhereTheirSelectionFrameStands) {
  for (bool tall : {false, true}) {
    SCOPED_TRACE(tall ? "tall" : "short");
    stop();
    start(tall);
    openLayerPanel();
    ui::View* panel = desk->layerManagerView();
    // The selection frame marks each row: at y 55 for the foreground and 115
    // for the middle ground, as wide as the frame. The eye keeps its own.
    struct Row {
      ui::Button* row;
      ui::Button* eye;
      float y;
      int pattern;
    };
    const Row rows[] = {{desk->middleRowBtn(), desk->mVisibleBtn(), 115, 0},
                        {desk->foregroundRowBtn(), desk->fVisibleBtn(), 55, 1}};
    const ui::Rect frame = desk->laySelected()->frame();
    for (const Row& r : rows) {
      const ui::Rect place{frame.x, r.y, frame.width, frame.height};
      EXPECT_EQ(r.row->frame(), place);
      // The icon that looks like a button is part of the row.
      r.row->layoutIfNeeded();
      ui::ImageView* icon = r.row->imageView();
      const ui::Rect iconRect = icon->convertRectTo(icon->bounds(), panel);
      EXPECT_TRUE(place.contains({iconRect.x, iconRect.y}));
      EXPECT_TRUE(place.contains({iconRect.x + iconRect.width - 1, iconRect.y + iconRect.height - 1}))
          << iconRect.x << "," << iconRect.y << " " << iconRect.width << "x" << iconRect.height;
    }
    // Every point of a row, icon and words alike, chooses that row and
    // leaves the panel up; the rows take turns so each tap changes the layer.
    const auto middlePoints = spread(panel, {frame.x, 115, frame.width, frame.height}, rows[0].eye->frame());
    const auto foregroundPoints = spread(panel, {frame.x, 55, frame.width, frame.height}, rows[1].eye->frame());
    ASSERT_EQ(middlePoints.size(), foregroundPoints.size());
    for (std::size_t i = 0; i < middlePoints.size(); ++i) {
      host->tap(middlePoints[i]);
      host->runUntilIdle();
      EXPECT_EQ(desk->contentPattern(), 0) << "middle ground at " << middlePoints[i].x << "," << middlePoints[i].y;
      EXPECT_TRUE(onScreen(panel));
      host->tap(foregroundPoints[i]);
      host->runUntilIdle();
      EXPECT_EQ(desk->contentPattern(), 1) << "foreground at " << foregroundPoints[i].x << "," << foregroundPoints[i].y;
      EXPECT_TRUE(onScreen(panel));
    }
    // The background row's icon opens the gallery.
    desk->backgroundRowButton()->layoutIfNeeded();
    ui::ImageView* bgIcon = desk->backgroundRowButton()->imageView();
    const ui::Rect b = bgIcon->convertRectTo(bgIcon->bounds(), nullptr);
    host->tap({b.x + b.width / 2, b.y + b.height / 2});
    host->runUntilIdle();
    EXPECT_EQ(desk->state(), 1);
    desk->closeBackgroundView(false);
  }
}

TEST_F(DeskPanelsTest, OnionRowsAnswerWhereTheirSelectionFrameStands) {
  start();
  tapView(desk->onionBtn());
  ui::View* panel = desk->onionSkinView();
  ASSERT_TRUE(onScreen(panel));
  const ui::Rect frame = desk->selectOneView()->frame();
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    // The row as far as the panel reaches.
    const float y = 40 + 60.0f * mode;
    const ui::Rect place{frame.x, y, frame.width, std::min(frame.height, panel->bounds().height - y)};
    for (const ui::Point& p : spread(panel, place)) {
      const int before = desk->displayPattern();
      host->tap(p);
      host->runUntilIdle();
      // A tap on the chosen mode turns the onion skin off, on another one
      // chooses it.
      EXPECT_EQ(desk->displayPattern(), before == mode ? -1 : mode) << "at " << p.x << "," << p.y;
      EXPECT_TRUE(onScreen(panel));
    }
  }
}

TEST_F(DeskPanelsTest, NoLargePageNumberStaysAfterTheFrameManagerCloses) {
  start();
  // Playing shows the large number; opening the frame manager stops playing.
  tapView(desk->playerBtn());
  tapView(desk->playerButton(DesktopManagerController::kTagPlay));
  ASSERT_TRUE(onScreen(desk->pageNumberShowDesk()));
  tapView(desk->frameManagerBtn());
  ASSERT_NE(desk->picManagerView(), nullptr);
  picture_load::waitAll();
  host->runUntilIdle();
  host->tap({10, 20});  // the left band closes the frame manager
  host->runUntilIdle();
  ASSERT_EQ(desk->picManagerView(), nullptr);
  EXPECT_FALSE(onScreen(desk->pageNumberShowDesk()));
  EXPECT_TRUE(onScreen(desk->pageIndicator()));

  // Also when nothing played before.
  tapView(desk->frameManagerBtn());
  picture_load::waitAll();
  host->runUntilIdle();
  host->tap({10, 20});
  host->runUntilIdle();
  EXPECT_FALSE(onScreen(desk->pageNumberShowDesk()));
}

TEST_F(DeskPanelsTest, ThePlayerAndOnionButtonsAreNamed) {
  for (bool tall : {false, true}) {
    SCOPED_TRACE(tall ? "tall" : "short");
    stop();
    start(tall);
    struct Named {
      ui::Label* label;
      const char* key;
      ui::Button* button;
      ui::View* next;  // the button below, which the name must leave clear
    };
    const Named names[] = {{desk->onionLabel(), "onion skin", desk->onionBtn(), desk->playerBtn()},
                           {desk->playerLabel(), "Player", desk->playerBtn(), desk->toolBtn()}};
    for (const Named& n : names) {
      SCOPED_TRACE(n.key);
      ASSERT_NE(n.label, nullptr);
      EXPECT_EQ(n.label->text(), fd::Localized(n.key));
      EXPECT_TRUE(onScreen(n.label));
      const ui::Rect l = n.label->convertRectTo(n.label->bounds(), nullptr);
      const ui::Rect b = n.button->convertRectTo(n.button->bounds(), nullptr);
      const ui::Rect next = n.next->convertRectTo(n.next->bounds(), nullptr);
      EXPECT_GE(l.y, b.y + b.height - 2) << "under its button";
      EXPECT_LE(l.y + l.height, next.y + 2) << "clear of the next button";
      EXPECT_LE(l.x, b.x + b.width / 2);
      EXPECT_GE(l.x + l.width, b.x + b.width / 2);
      EXPECT_LE(n.label->sizeThatFits({1000, l.height}).width, l.width + 0.5f) << "the whole name fits";
    }
  }
}

}  // namespace
