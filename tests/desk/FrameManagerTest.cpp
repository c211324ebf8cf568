// The frame manager driven through the real view tree: opened from the desk,
// paged, frames selected, copied, deleted, repeated and dragged, with the
// project read back from disk after each change.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "FrameManagerTestSupport.h"
#include "platform/foundation/Localized.h"
#include "desk/frames/FrameArt.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using frame_test::FrameManagerTest;

TEST_F(FrameManagerTest, PagesThroughSevenFrames) {
  ZTPicManagerView& m = open();
  EXPECT_EQ(shownPages(m), (std::vector<int>{1, 2, 3, 4, 5}));
  tapView(m.rollForwardBtn());
  EXPECT_EQ(m.curImagesViewPage(), 2);
  EXPECT_EQ(shownPages(m), (std::vector<int>{6, 7, 0, 0, 0}));
  tapView(m.rollForwardBtn());
  EXPECT_EQ(m.curImagesViewPage(), 2);
  tapView(m.rollBackBtn());
  tapView(m.rollBackBtn());
  EXPECT_EQ(m.curImagesViewPage(), 1);
}

TEST_F(FrameManagerTest, FullScreenKeepsThePageOfTheSelection) {
  frames = 20;
  ZTPicManagerView& m = open();
  for (int i = 0; i < 3; ++i) m.forward();
  EXPECT_EQ(m.curImagesViewPage(), 4);
  m.fullButtonPressed(m.fullscreenBtn());
  EXPECT_EQ(m.curImagesViewPage(), 1);
  EXPECT_EQ(m.imagesViewArray().size(), 15u);
  EXPECT_EQ(m.editView()->frame().y, 0);
  m.fullButtonPressed(m.fullscreenBtn());
  EXPECT_EQ(m.curImagesViewPage(), 1);
  m.forward();
  m.forward();
  settle();
  m.selectedPage(12, false);
  m.fullButtonPressed(m.fullscreenBtn());
  EXPECT_EQ(m.curImagesViewPage(), 1);
  m.fullButtonPressed(m.fullscreenBtn());
  EXPECT_EQ(m.curImagesViewPage(), 3);
  EXPECT_EQ(shownPages(m), (std::vector<int>{11, 12, 13, 14, 15}));
}

TEST_F(FrameManagerTest, SelectCopyAndDeleteThroughTheMenu) {
  ZTPicManagerView& m = open();
  tapPaperOfFrame(m, 3);
  ASSERT_NE(m.frameMenu(), nullptr);
  EXPECT_EQ(m.selectedPage(), 3);
  EXPECT_TRUE(m.imagesViewArray()[2]->background()->isHighlighted());
  tapView(m.frameMenu()->button(FrameMenu::kCopy));
  EXPECT_EQ(project().imagesArray().size(), 8u);
  EXPECT_EQ(iconsOnDisk(), icons());
  const std::string third = icons()[2];
  tapView(m.frameMenu()->button(FrameMenu::kDelete));
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_TRUE(host->pressAlertButton("Cancel"));
  host->advance(0.5);
  EXPECT_EQ(project().imagesArray().size(), 8u);
  tapView(m.frameMenu()->button(FrameMenu::kDelete));
  EXPECT_TRUE(host->pressAlertButton("Delete"));
  host->advance(0.5);
  EXPECT_EQ(project().imagesArray().size(), 7u);
  EXPECT_EQ(m.selectedPage(), 0);
  EXPECT_EQ(m.frameMenu(), nullptr);
  EXPECT_EQ(iconsOnDisk(), icons());
  EXPECT_NE(icons()[2], third);
  expectReferencesRight();
}

TEST_F(FrameManagerTest, RepeatPickerGrowsAndShrinksRunsThroughTheModel) {
  ZTPicManagerView& m = open();
  tapPaperOfFrame(m, 2);
  tapView(m.frameMenu()->button(FrameMenu::kRepeat));
  RepeatFrameView* picker = nullptr;
  for (const auto& v : m.subviews())
    if (auto* r = dynamic_cast<RepeatFrameView*>(v.get())) picker = r;
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->number(), 1);
  tapView(picker->button(RepeatFrameView::kMinus));
  EXPECT_EQ(picker->number(), 1);
  tapView(picker->button(RepeatFrameView::kPlus));
  tapView(picker->button(RepeatFrameView::kPlus));
  tapView(picker->button(RepeatFrameView::kOK));
  for (const auto& v : m.subviews()) EXPECT_EQ(dynamic_cast<RepeatFrameView*>(v.get()), nullptr);
  ASSERT_EQ(project().imagesArray().size(), 9u);
  EXPECT_TRUE(project().isByReapeatFrame(2));
  EXPECT_EQ(project().reapeatFrameNumber(2), 3);
  EXPECT_TRUE(project().isReapeatFrame(3));
  EXPECT_TRUE(project().isReapeatFrame(4));
  EXPECT_EQ(iconsOnDisk(), icons());
  expectReferencesRight();
  settle();
  // The copies are faded and untouchable; the run's first frame shows the badge.
  EXPECT_FLOAT_EQ(m.imagesViewArray()[2]->alpha(), 0.5f);
  EXPECT_FALSE(m.imagesViewArray()[2]->isUserInteractionEnabled());
  EXPECT_FALSE(m.imagesViewArray()[1]->reapeatBtn()->isHidden());

  // From the badge, a run of 4 down to 1.
  m.setReapeatFrameView(3);
  picker = nullptr;
  for (const auto& v : m.subviews())
    if (auto* r = dynamic_cast<RepeatFrameView*>(v.get())) picker = r;
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->number(), 1);  // a copy's own number; the picker works on the run
  picker->setNumber(4);
  tapView(picker->button(RepeatFrameView::kOK));
  EXPECT_EQ(project().imagesArray().size(), 10u);
  expectReferencesRight();
  m.setReapeatFrameView(2);
  for (const auto& v : m.subviews())
    if (auto* r = dynamic_cast<RepeatFrameView*>(v.get())) picker = r;
  EXPECT_EQ(picker->number(), 4);
  picker->setNumber(1);
  tapView(picker->button(RepeatFrameView::kOK));
  EXPECT_EQ(project().imagesArray().size(), 7u);
  EXPECT_FALSE(project().isByReapeatFrame(2));
  EXPECT_FALSE(project().imagesArray()[1].reapeatNumber.has_value());
  EXPECT_EQ(iconsOnDisk(), icons());
  expectReferencesRight();
  // Deleting the once-repeated frame drops its layers and files with it.
  const auto lays = project().imagesArray()[1].laysArray;
  ASSERT_TRUE(project().deleteImageAtPage(2, false));
  for (const auto& id : lays) EXPECT_EQ(project().laysDictionary().count(id), 0u);
}

TEST_F(FrameManagerTest, DraggingFrameTwoOntoSlotFour) {
  frames = 5;
  ZTPicManagerView& m = open();
  const auto before = icons();
  host->drag(slotCentre(m, 1), slotCentre(m, 3), 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{before[0], before[2], before[3], before[1], before[4]}));
  EXPECT_EQ(iconsOnDisk(), icons());
  expectReferencesRight(false);
  for (const auto& p : m.imagesViewArray()) EXPECT_EQ(p->superview(), m.imagesView());
  EXPECT_EQ(m.imagesViewArray().size(), 5u);
}

TEST_F(FrameManagerTest, ARunDroppedOnTheLastSlotLandsAtThree) {
  frames = 5;
  ZTPicManagerView& m = open();
  setRun(m, 2, 3);
  while (project().imagesArray().size() > 5) ASSERT_TRUE(project().deleteImageAtPage(6, false));
  m.reLoadImage();
  settle();
  const auto before = icons();  // 1, run 2-4, 5
  host->drag(slotCentre(m, 1), slotCentre(m, 4), 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{before[0], before[4], before[1], before[1], before[1]}));
  EXPECT_TRUE(project().isByReapeatFrame(3));
  // The run went to the end: its layers are referenced from their new pages,
  // so moving it back deletes no layer in use.
  expectReferencesRight(false);
  ASSERT_TRUE(project().moveImageFrom(3, 1));
  for (const auto& id : project().imagesArray()[0].laysArray) EXPECT_EQ(project().laysDictionary().count(id), 1u);
  expectReferencesRight(false);
}

TEST_F(FrameManagerTest, DepositoryRoundTripAndRunTarget) {
  frames = 6;
  ZTPicManagerView& m = open();
  const auto before = icons();
  // Frame 1 into the depository.
  ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  host->drag(slotCentre(m, 0), {dep.x + 40, dep.y + 32}, 6);
  settle();
  ASSERT_EQ(m.temporaryViewArray().size(), 1u);
  EXPECT_EQ(project().temporarysArray().size(), 1u);
  EXPECT_EQ(project().imagesArray().size(), 5u);
  // Frames 3-4 become a run; the depository frame dropped on its copy lands after it (frame 5).
  setRun(m, 3, 2);
  ASSERT_TRUE(project().deleteImageAtPage(5, false));
  m.reLoadImage();
  settle();
  host->drag({dep.x + 40, dep.y + 32}, slotCentre(m, 3), 6);
  settle();
  EXPECT_EQ(project().temporarysArray().size(), 0u);
  EXPECT_EQ(project().imagesArray()[4].iconName, before[0]);
  EXPECT_TRUE(m.temporaryViewArray().empty());
  EXPECT_EQ(iconsOnDisk(), icons());
}

TEST_F(FrameManagerTest, AFullDepositoryTakesNoMore) {
  frames = 8;
  ZTPicManagerView& m = open();
  ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  for (int i = 0; i < 6; ++i) {
    host->drag(slotCentre(m, 0), {dep.x + 40 + 80 * std::min(i, 4), dep.y + 32}, 6);
    settle();
  }
  EXPECT_EQ(m.temporaryViewArray().size(), 5u);
  EXPECT_EQ(project().temporarysArray().size(), 5u);
  EXPECT_EQ(project().imagesArray().size(), 3u);
  EXPECT_EQ(m.imagesViewArray().size(), 5u);
}

TEST_F(FrameManagerTest, ADragEndingAtOnceLeavesNoPaperOnThePanel) {
  ZTPicManagerView& m = open();
  const ui::Point from = slotCentre(m, 2);
  host->touchDown(1, from);
  host->touchMove(1, {from.x + 2, from.y - 150});
  host->touchUp(1, {from.x + 2, from.y - 150});
  settle();
  for (const auto& v : m.subviews()) EXPECT_EQ(dynamic_cast<ZTPaperView*>(v.get()), nullptr);
  EXPECT_EQ(m.imagesViewArray().size(), 5u);
  for (const auto& p : m.imagesViewArray()) EXPECT_EQ(p->superview(), m.imagesView());
  EXPECT_EQ(project().imagesArray().size(), 7u);
}

TEST_F(FrameManagerTest, SideBandClosesAndTallScreenShifts) {
  ZTPicManagerView& m = open(true);
  EXPECT_EQ(m.offsetx(), 44);
  EXPECT_EQ(m.imagesView()->frame().x, 84);
  host->tap({60, 20});
  EXPECT_EQ(desk->picManagerView(), nullptr);
}

TEST_F(FrameManagerTest, NewerThumbnailLoadWins) {
  ZTPicManagerView& m = open();
  // Frame 1 gets an icon file, frame 2 none: whichever load ends last, the
  // paper re-pointed at frame 2 must show no icon.
  gfx::Context c(108, 81, 1);
  c.setFillColor(gfx::Color{1, 0, 0, 1});
  c.fillRect({0, 0, 108, 81});
  ASSERT_TRUE(gfx::writePNG(*project().iconFullPathAtPage(1, false), c.makeImage()));
  ZTPaperView* paper = m.imagesViewArray()[0].get();
  for (int i = 0; i < 20; ++i) {
    paper->setPaperWithPage(1, false);
    paper->setPaperWithPage(2, false);
    settle();
    EXPECT_TRUE(paper->imageView()->image().empty());
  }
  paper->setPaperWithPage(1, false);
  settle();
  EXPECT_FALSE(paper->imageView()->image().empty());
  paper->setPaperWithPage(0, false);
  EXPECT_EQ(paper->page(), 1);
  EXPECT_TRUE(paper->imageView()->image().empty());
}

// A seeded random run of 200 operations through the screen and the papers'
// own copies; after each the project read back from disk equals the model,
// the model keeps its invariants, and the papers show exactly the model's frames.
TEST_F(FrameManagerTest, RandomOperationsKeepDiskModelAndScreenEqual) {
  frames = 8;
  ZTPicManagerView& m = open();
  std::mt19937 rng(20261207);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  auto depositoryCentre = [&](int k) { return ui::Point{dep.x + 80 * k + 40, dep.y + 32}; };
  for (int step = 0; step < 200; ++step) {
    const int count = static_cast<int>(project().imagesArray().size());
    const int onPage = std::min(5, count - 5 * (m.curImagesViewPage() - 1));
    const int slot = pick(0, std::max(0, onPage - 1));
    const int frame = 5 * (m.curImagesViewPage() - 1) + slot + 1;
    const int op = pick(0, 8);
    SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
    if (op == 0) {
      m.forward();
    } else if (op == 1) {
      m.back();
    } else if (op == 2 && !project().isReapeatFrame(frame)) {
      tapPaperOfFrame(m, frame);
      if (m.frameMenu()) tapView(m.frameMenu()->button(FrameMenu::kCopy));
    } else if (op == 3 && !project().isReapeatFrame(frame)) {
      tapPaperOfFrame(m, frame);
      if (m.frameMenu()) {
        tapView(m.frameMenu()->button(FrameMenu::kDelete));
        ASSERT_TRUE(host->pressAlertButton("Delete"));
        host->advance(0.5);
      }
    } else if (op == 4) {
      m.setReapeatFrameView(frame);
      RepeatFrameView* picker = nullptr;
      for (const auto& v : m.subviews())
        if (auto* r = dynamic_cast<RepeatFrameView*>(v.get())) picker = r;
      ASSERT_NE(picker, nullptr);
      picker->setNumber(pick(1, 3));
      tapView(picker->button(RepeatFrameView::kOK));
    } else if (op == 5) {
      host->drag(slotCentre(m, slot), slotCentre(m, pick(0, 4)), 4);
    } else if (op == 6) {
      host->drag(slotCentre(m, slot), depositoryCentre(pick(0, 4)), 4);
    } else if (op == 7 && !m.temporaryViewArray().empty()) {
      const int k = pick(0, static_cast<int>(m.temporaryViewArray().size()) - 1);
      host->drag(depositoryCentre(k), slotCentre(m, pick(0, 4)), 4);
    } else if (op == 8) {
      // The paper's own copy, which no control sends.
      m.imagesViewArray()[slot]->copyButtonPressed();
    }
    settle();
    ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));
    const int n = static_cast<int>(project().imagesArray().size());
    if (m.curImagesViewPage() > (n - 1) / 5 + 1) m.back();
  }
}

TEST_F(FrameManagerTest, TheTipShowsOnFirstUseOnly) {
  start();
  ASSERT_TRUE(model().showPicSimple());
  tapView(desk->frameManagerBtn());
  auto* panel = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
  ASSERT_NE(panel, nullptr);
  ShowSimpleView* tip = tipOf(*panel);
  ASSERT_NE(tip, nullptr);
  EXPECT_FALSE(model().showPicSimple());
  // The tip takes the touch: no frame gets selected under it.
  host->tap(panel->imagesViewArray()[1]->convertPointTo({40, 32}, nullptr));
  host->runUntilIdle();
  EXPECT_EQ(tipOf(*panel), nullptr);
  EXPECT_EQ(panel->selectedPage(), 0);
  host->tap({10, 20});  // the left band closes the manager
  host->runUntilIdle();
  ASSERT_EQ(desk->picManagerView(), nullptr);
  tapView(desk->frameManagerBtn());
  panel = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(tipOf(*panel), nullptr);
  tapView(panel->helpBtn());
  EXPECT_NE(tipOf(*panel), nullptr);
}

TEST_F(FrameManagerTest, TipCaptionsFollowLanguageAndScreen) {
  fd::UserDefaults::standard().setObject("AppleLanguages", fd::Value(fd::Array{fd::Value(std::string("zh-Hant"))}));
  start(true);
  PicManagerShowSimpleView chinese({0, 0, 568, 320});
  EXPECT_EQ(chinese.languagesTag(), 0);
  std::vector<ui::Label*> labels;
  for (const auto& v : chinese.subviews())
    if (auto* l = dynamic_cast<ui::Label*>(v.get())) labels.push_back(l);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0]->frame().x, 380);  // moved 60 on the tall screen
  EXPECT_EQ(labels[0]->frame().y, 100);
  EXPECT_FLOAT_EQ(labels[0]->font().size, 14);
  EXPECT_EQ(labels[0]->numberOfLines(), 1);
  fd::UserDefaults::standard().setObject("AppleLanguages", fd::Value(fd::Array{fd::Value(std::string("en"))}));
  PicManagerShowSimpleView english({0, 0, 568, 320});
  EXPECT_EQ(english.languagesTag(), 1);
  labels.clear();
  for (const auto& v : english.subviews())
    if (auto* l = dynamic_cast<ui::Label*>(v.get())) labels.push_back(l);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0]->frame().y, 98);
  EXPECT_EQ(labels[0]->frame().width, 160);
  EXPECT_FLOAT_EQ(labels[1]->font().size, 8);
  EXPECT_EQ(labels[1]->numberOfLines(), 3);
}

TEST_F(FrameManagerTest, DepositoryPaperDeletedThroughItsButton) {
  frames = 4;
  ZTPicManagerView& m = open();
  const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  firstFramesIntoDepository(m, 2);
  ASSERT_EQ(m.temporaryViewArray().size(), 2u);
  const std::string kept = project().temporarysArray()[1].iconName;
  ZTPaperView* first = m.temporaryViewArray()[0].get();
  // A tap shows the delete button and lights the paper; a second tap hides both.
  host->tap({dep.x + 40, dep.y + 40});
  host->runUntilIdle();
  EXPECT_FALSE(first->delButton()->isHidden());
  EXPECT_TRUE(first->background()->isHighlighted());
  host->tap({dep.x + 40, dep.y + 40});
  host->runUntilIdle();
  EXPECT_TRUE(first->delButton()->isHidden());
  host->tap({dep.x + 40, dep.y + 40});
  host->runUntilIdle();
  tapView(first->delButton());
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_TRUE(host->pressAlertButton("Cancel"));
  host->advance(0.5);
  EXPECT_EQ(project().temporarysArray().size(), 2u);
  tapView(first->delButton());
  EXPECT_TRUE(host->pressAlertButton(fd::Localized("Delete:")));
  host->advance(0.5);
  settle();
  ASSERT_EQ(project().temporarysArray().size(), 1u);
  EXPECT_EQ(project().temporarysArray()[0].iconName, kept);
  ASSERT_EQ(m.temporaryViewArray().size(), 1u);
  EXPECT_EQ(m.temporaryViewArray()[0]->page(), 1);
  EXPECT_EQ(m.temporaryViewArray()[0]->frame().x, 0);
  auto disk = ProjectDataModel::initWithProjectName(project().curProjectName());
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(disk->temporarysArray().size(), 1u);
}

TEST_F(FrameManagerTest, MenuAndPickerAreDrawnControlsPlacedUnderThePaper) {
  frames = 20;
  ZTPicManagerView& m = open();
  tapPaperOfFrame(m, 3);
  FrameMenu* menu = m.frameMenu();
  ASSERT_NE(menu, nullptr);
  auto expectUnderPaper = [&](int slot) {
    ZTPaperView* paper = m.imagesViewArray().at(slot).get();
    const ui::Rect r = paper->convertRectTo(paper->bounds(), &m);
    EXPECT_FLOAT_EQ(m.frameMenu()->center().x, r.x + 40);
    // The paper's y plus the band's y plus 72, the strip lying 14 down the band.
    EXPECT_FLOAT_EQ(m.frameMenu()->center().y, r.y + 58);
  };
  expectUnderPaper(2);
  EXPECT_EQ(menu->frame().width, FrameMenu::kWidth);
  EXPECT_EQ(menu->frame().height, FrameMenu::kHeight);
  for (int tag : {FrameMenu::kDelete, FrameMenu::kCopy, FrameMenu::kRepeat}) {
    ui::Button* b = menu->button(tag);
    ASSERT_NE(b, nullptr) << tag;
    const ui::Picture normal = b->imageForState(ui::StateNormal), lit = b->imageForState(ui::StateHighlighted);
    EXPECT_FALSE(normal.empty()) << tag;
    EXPECT_FALSE(lit.empty()) << tag;
    EXPECT_NE(normal.image(), lit.image()) << tag;
  }
  // Each field shows its own picture.
  EXPECT_NE(menu->button(FrameMenu::kDelete)->imageForState(ui::StateNormal).image(),
            menu->button(FrameMenu::kCopy)->imageForState(ui::StateNormal).image());
  // In the grid the menu follows the selected paper up with the band.
  m.fullButtonPressed(m.fullscreenBtn());
  ASSERT_NE(m.frameMenu(), nullptr);
  expectUnderPaper(2);

  tapView(m.frameMenu()->button(FrameMenu::kRepeat));
  RepeatFrameView* p = picker(m);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->reapeatView()->frame(), (ui::Rect{128, 98, 224, 124}));
  auto* face = dynamic_cast<ui::ImageView*>(p->reapeatView()->subviews().front().get());
  ASSERT_NE(face, nullptr);
  EXPECT_FALSE(face->image().empty());
  for (int tag : {RepeatFrameView::kMinus, RepeatFrameView::kPlus})
    EXPECT_FALSE(p->button(tag)->imageForState(ui::StateNormal).empty()) << tag;
  EXPECT_EQ(p->button(RepeatFrameView::kCancel)->currentTitle(), "Cancel");
  EXPECT_EQ(p->button(RepeatFrameView::kOK)->currentTitle(), "OK");
  for (int tag : {RepeatFrameView::kCancel, RepeatFrameView::kOK})
    EXPECT_FALSE(p->button(tag)->backgroundImageForState(ui::StateNormal).empty()) << tag;
  tapView(p->button(RepeatFrameView::kCancel));
  EXPECT_EQ(picker(m), nullptr);
  EXPECT_EQ(project().imagesArray().size(), 20u);
}

// With timed animations the papers closing the gap slide over a quarter
// second, while the dragged paper sits on the panel from the first move.
TEST_F(FrameManagerTest, PapersSlideWhileTheDraggedOneFollowsAtOnce) {
  ZTPicManagerView& m = open(false, false);
  const auto before = icons();
  const ui::Point from = slotCentre(m, 1);
  ZTPaperView* lifted = m.imagesViewArray()[1].get();
  ZTPaperView* third = m.imagesViewArray()[2].get();
  host->touchDown(1, from);
  host->touchMove(1, {from.x + 4, from.y - 60});
  EXPECT_EQ(lifted->superview(), &m);
  EXPECT_FLOAT_EQ(lifted->frame().y, from.y - 60 - 32);
  EXPECT_FLOAT_EQ(third->frame().x, 80);  // its new place...
  host->advance(0.1);
  const float midway = third->presentationFrame().x;
  EXPECT_GT(midway, 80);  // ...still on its way from 160
  EXPECT_LT(midway, 160);
  host->advance(0.3);
  EXPECT_FLOAT_EQ(third->presentationFrame().x, 80);
  EXPECT_FLOAT_EQ(m.imagesViewArray().back()->presentationFrame().x, 320);

  host->touchUp(1, slotCentre(m, 3));
  EXPECT_EQ(lifted->superview(), m.imagesView());
  host->advance(0.1);
  EXPECT_NE(lifted->presentationFrame(), lifted->frame());  // settling from where the finger left it
  host->advance(0.3);
  settle();
  for (int k = 0; k < 5; ++k) {
    ZTPaperView* paper = m.imagesViewArray()[k].get();
    EXPECT_EQ(paper->frame(), (ui::Rect{80.0f * k, 20, 80, 64})) << k;
    EXPECT_EQ(paper->presentationFrame(), paper->frame()) << k;
  }
  EXPECT_EQ(icons(), (std::vector<std::string>{before[0], before[2], before[3], before[1], before[4], before[5],
                                               before[6]}));
  EXPECT_EQ(iconsOnDisk(), icons());

  // A drag ending at its first move, while the others are still sliding,
  // puts the paper back in the strip: none is left floating on the panel.
  const ui::Point again = slotCentre(m, 2);
  host->touchDown(1, again);
  host->touchMove(1, {again.x, again.y - 150});
  host->touchUp(1, {again.x, again.y - 150});
  host->advance(0.4);
  settle();
  for (const auto& v : m.subviews()) EXPECT_EQ(dynamic_cast<ZTPaperView*>(v.get()), nullptr);
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(m.imagesViewArray()[k]->superview(), m.imagesView()) << k;
    EXPECT_EQ(m.imagesViewArray()[k]->presentationFrame(), (ui::Rect{80.0f * k, 20, 80, 64})) << k;
  }
  EXPECT_EQ(iconsOnDisk(), icons());
}

// The plain-strip drops: onto the first slot, into the second row's band
// (a full page: the last slot), and past the last frame.
TEST_F(FrameManagerTest, DropsOnAPlainStrip) {
  ZTPicManagerView& m = open();
  const auto f = icons();  // a..g
  host->drag(slotCentre(m, 3), slotCentre(m, 0), 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{f[3], f[0], f[1], f[2], f[4], f[5], f[6]}));
  // 75 points down in the strip is the second row: slot 7 of a full page.
  const ui::Point row2 = m.imagesView()->convertPointTo({120, 75}, nullptr);
  host->drag(slotCentre(m, 0), row2, 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{f[0], f[1], f[2], f[4], f[3], f[5], f[6]}));
  m.forward();
  settle();
  EXPECT_EQ(shownPages(m), (std::vector<int>{6, 7, 0, 0, 0}));
  host->drag(slotCentre(m, 0), slotCentre(m, 3), 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{f[0], f[1], f[2], f[4], f[3], f[6], f[5]}));
  EXPECT_EQ(iconsOnDisk(), icons());
  expectReferencesRight(false);
  EXPECT_EQ(shownPages(m), (std::vector<int>{6, 7, 0, 0, 0}));
}

TEST_F(FrameManagerTest, RunAndDepositoryTargets) {
  frames = 4;
  ZTPicManagerView& m = open();
  // Frames 1-3 a run, 4-6 plain: frame 1 onto slot 5 goes to 5 + 1 - 3 = 3.
  setRun(m, 1, 3);
  settle();
  const auto g = icons();  // A A A B C D
  ASSERT_EQ(g.size(), 6u);
  host->drag(slotCentre(m, 0), slotCentre(m, 4), 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{g[3], g[4], g[0], g[0], g[0], g[5]}));
  EXPECT_TRUE(project().isByReapeatFrame(3));
  EXPECT_EQ(iconsOnDisk(), icons());

  // Frames 2-4 a run: a depository frame dropped on slot 3 goes to frame 5.
  const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  host->drag(slotCentre(m, 0), {dep.x + 40, dep.y + 32}, 6);  // B into the depository
  settle();
  ASSERT_EQ(project().temporarysArray().size(), 1u);
  // Now C A A A E: the run is frames 2-4.
  ASSERT_TRUE(project().isByReapeatFrame(2));
  host->drag({dep.x + 40, dep.y + 32}, slotCentre(m, 2), 6);
  settle();
  EXPECT_EQ(icons(), (std::vector<std::string>{g[4], g[0], g[0], g[0], g[3], g[5]}));
  EXPECT_TRUE(project().temporarysArray().empty());
  EXPECT_EQ(iconsOnDisk(), icons());
  expectReferencesRight(false);
}

TEST_F(FrameManagerTest, DepositoryPapersAndRepeatCopiesKeepTheirPlaces) {
  frames = 4;
  ZTPicManagerView& m = open();
  const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  firstFramesIntoDepository(m, 2);
  const auto tray = project().temporarysArray();
  ASSERT_EQ(tray.size(), 2u);
  // The depository cannot be reordered: the first paper dropped on the second comes back.
  host->drag({dep.x + 40, dep.y + 32}, {dep.x + 120, dep.y + 32}, 6);
  settle();
  ASSERT_EQ(project().temporarysArray().size(), 2u);
  EXPECT_EQ(project().temporarysArray()[0].iconName, tray[0].iconName);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(m.temporaryViewArray()[k]->page(), k + 1);
    EXPECT_EQ(m.temporaryViewArray()[k]->frame().x, 80.0f * k);
    EXPECT_EQ(m.temporaryViewArray()[k]->superview(), m.temporaryView());
  }
  // A repeat copy's paper neither selects nor drags.
  setRun(m, 1, 2);
  settle();
  const auto before = icons();
  const int selected = m.selectedPage();  // the picker's frame
  host->tap(slotCentre(m, 1));
  host->runUntilIdle();
  EXPECT_EQ(m.frameMenu(), nullptr);
  EXPECT_EQ(m.selectedPage(), selected);
  host->drag(slotCentre(m, 1), slotCentre(m, 3), 6);
  settle();
  EXPECT_EQ(icons(), before);
  for (const auto& v : m.subviews()) EXPECT_EQ(dynamic_cast<ZTPaperView*>(v.get()), nullptr);
}

// Growing a plain frame's run to 3, to 4, then back to 1: after each the
// frame's files are all there, no file comes or goes, and Project.plist
// holds the run.
TEST_F(FrameManagerTest, RepeatRunsKeepTheFramesFiles) {
  frames = 4;
  ZTPicManagerView& m = open();
  writeSwatch(*project().iconFullPathAtPage(2, false), 108, 81, {0, 0.5f, 1, 1});
  writeSwatch(*project().snapshotFullPathAtPage(2, false), 384, 288, {0, 0.5f, 1, 1});
  for (int position : {1, 2}) writeSwatch(*project().layFullPathAtPage(2, false, position), 384, 288, {1, 0, 0, 1});
  const auto files = projectFiles();
  for (int number : {3, 4, 1}) {
    SCOPED_TRACE("run of " + std::to_string(number));
    setRun(m, 2, number);
    settle();
    EXPECT_EQ(projectFiles(), files);
    auto disk = ProjectDataModel::initWithProjectName(project().curProjectName());
    ASSERT_NE(disk, nullptr);
    ASSERT_EQ(disk->imagesArray().size(), static_cast<std::size_t>(3 + number));
    EXPECT_EQ(disk->imagesArray()[1].reapeatNumber, number > 1 ? std::optional<int>(number) : std::nullopt);
    for (int k = 0; k < number; ++k) {
      const FrameRecord& r = disk->imagesArray()[1 + k];
      EXPECT_EQ(r.iconName, disk->imagesArray()[1].iconName);
      if (number > 1) EXPECT_EQ(r.frameInfo, k == 0 ? 1 : 2);
      else EXPECT_FALSE(r.frameInfo.has_value());
      EXPECT_TRUE(std::filesystem::exists(*disk->iconFullPathAtPage(2 + k, false)));
      EXPECT_TRUE(std::filesystem::exists(*disk->layFullPathAtPage(2 + k, false, 1)));
      // Every paper of the run shows the frame's picture.
      EXPECT_FALSE(m.imagesViewArray()[1 + k]->imageView()->image().empty()) << k;
    }
    expectReferencesRight();
  }
}

// A project of one frame: every control of the manager, the player and the
// menu work on it; taking the frame away or deleting it leaves the project a
// fresh blank frame, which the strip shows.
TEST_F(FrameManagerTest, ASingleFrameProject) {
  frames = 1;
  ZTPicManagerView& m = open();
  auto everyControl = [&] {
    tapView(m.playButton());
    host->advance(0.5);
    tapView(m.reverseButton());
    host->advance(0.5);
    m.firstPage();
    m.lastPage();
    EXPECT_FALSE(m.playView()->isPlay());
    EXPECT_EQ(m.playView()->page(), 1);
    tapView(m.rollForwardBtn());
    tapView(m.rollBackBtn());
    EXPECT_EQ(m.curImagesViewPage(), 1);
    m.fullButtonPressed(m.fullscreenBtn());
    EXPECT_EQ(m.curImagesViewPage(), 1);
    m.fullButtonPressed(m.fullscreenBtn());
    host->tap(slotCentre(m, 2));
    settle();
    EXPECT_EQ(shownPages(m), (std::vector<int>{1, 0, 0, 0, 0}));
  };
  everyControl();
  const std::string only = icons().at(0);
  const ui::Rect dep = m.temporaryView()->convertRectTo(m.temporaryView()->bounds(), nullptr);
  host->drag(slotCentre(m, 0), {dep.x + 40, dep.y + 32}, 6);
  settle();
  ASSERT_EQ(project().temporarysArray().size(), 1u);
  ASSERT_EQ(project().imagesArray().size(), 1u);
  EXPECT_NE(icons()[0], only);
  EXPECT_EQ(iconsOnDisk(), icons());
  everyControl();
  // The repeat picker on the blank frame, then the frame back from the depository.
  tapPaperOfFrame(m, 1);
  ASSERT_NE(m.frameMenu(), nullptr);
  tapView(m.frameMenu()->button(FrameMenu::kRepeat));
  ASSERT_NE(picker(m), nullptr);
  tapView(picker(m)->button(RepeatFrameView::kOK));
  EXPECT_EQ(project().imagesArray().size(), 1u);
  host->drag({dep.x + 40, dep.y + 32}, slotCentre(m, 0), 6);
  settle();
  ASSERT_EQ(project().imagesArray().size(), 2u);
  EXPECT_EQ(icons()[0], only);
  // Both deleted from the menu: the player stays on frame 1 and a blank frame
  // remains. Frame 1 is still selected from before (its menu went with the
  // drag), so a tap on it would keep things as they are: frame 2 first.
  tapPaperOfFrame(m, 2);
  for (int i = 0; i < 2; ++i) {
    tapPaperOfFrame(m, 1);
    ASSERT_NE(m.frameMenu(), nullptr);
    tapView(m.frameMenu()->button(FrameMenu::kDelete));
    ASSERT_TRUE(host->pressAlertButton("Delete"));
    host->advance(0.5);
    settle();
    EXPECT_EQ(m.playView()->page(), 1);
    EXPECT_EQ(m.selectedPage(), 0);
  }
  ASSERT_EQ(project().imagesArray().size(), 1u);
  EXPECT_EQ(iconsOnDisk(), icons());
  everyControl();
  host->tap({10, 20});
  host->runUntilIdle();
  ASSERT_EQ(desk->picManagerView(), nullptr);
  EXPECT_EQ(curPage(), 1);
}

// Every picture the frame manager, its menu and picker and the two overlays
// show is one the program draws.
TEST(FrameArtTest, EveryPictureTheScreensShowIsDrawn) {
  const std::set<std::string> drawn = [] {
    auto names = frame_art::names();
    return std::set<std::string>(names.begin(), names.end());
  }();
  for (const char* name :
       {"Pics_manager.png", "pics_manager_fist_frame01.png", "pics_manager_fist_frame02.png",
        "pics_manager_reverse01.png", "pics_manager_reverse02.png", "pics_manager_pause01.png",
        "pics_manager_play01.png", "pics_manager_play02.png", "pics_manager_last_frame01.png",
        "pics_manager_last_frame02.png", "help_ui01.png", "help_ui02.png", "editting_bar.png", "editting_bar568h.png",
        "roll_backward01.png", "roll_backward02.png", "roll_forward01.png", "roll_forward02.png",
        "editting_bar_full01.png", "editting_bar_full02.png", "temporary_bar.png", "temporary_bar-568h.png",
        "Temporary_bar_title.png", "paper_sample01.png", "paper_sample02.png", "paper_del01.png", "paper_del02.png",
        "frame_repeat.png", "help_picsmanager.png", "new_feature.png"})
    EXPECT_EQ(drawn.count(name), 1u) << name;
}

}  // namespace
