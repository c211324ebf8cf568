// The papers' own messages that no control of the frame manager sends, driven
// on the real papers of an open manager: copies made through the model with
// the strip kept to its page, moves that count the sound tags' frames again,
// zooming, and the manager's list refreshes; after each frame change the
// project on disk, the model and the screen agree.
#include <gtest/gtest.h>

#include "FrameManagerTestSupport.h"

namespace {

using frame_test::FrameManagerTest;

// A delegate that counts the copy messages and answers the first question as told.
struct CopyWatcher : ZTPaperViewDelegate {
  std::optional<bool> paperViewWillCopy(ZTPaperView*) override {
    ++asked;
    return answer;
  }
  void paperViewCopy(ZTPaperView*) override { ++copies; }
  void paperViewDidCopy(ZTPaperView*) override { ++told; }
  std::optional<bool> answer;
  int asked = 0, copies = 0, told = 0;
};

TEST_F(FrameManagerTest, APapersCopyGoesThroughTheModelAndKeepsTheStripToItsPage) {
  ZTPicManagerView& m = open();
  EXPECT_EQ(m.paperViewWillCopy(m.imagesViewArray()[0].get()), true);
  EXPECT_EQ(m.paperViewWillDelete(m.imagesViewArray()[0].get()), true);
  m.forward();
  settle();
  ASSERT_EQ(shownPages(m), (std::vector<int>{6, 7, 0, 0, 0}));
  const auto before = icons();
  m.imagesViewArray()[0]->copyButtonPressed();
  settle();
  // The copy follows frame 6 and has layers of its own; frame 7 moves on.
  ASSERT_EQ(project().imagesArray().size(), 8u);
  EXPECT_EQ(icons()[5], before[5]);
  EXPECT_EQ(icons()[7], before[6]);
  EXPECT_NE(project().imagesArray()[6].laysArray, project().imagesArray()[5].laysArray);
  EXPECT_EQ(m.curImagesViewPage(), 2);
  EXPECT_EQ(shownPages(m), (std::vector<int>{6, 7, 8, 0, 0}));
  ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));
  expectReferencesRight();

  // A copy of a run's first frame goes after the run; the run stays whole.
  m.back();
  setRun(m, 2, 2);  // 1, run 2-3, 4, ...
  settle();
  m.imagesViewArray()[1]->copyButtonPressed();
  settle();
  ASSERT_EQ(project().imagesArray().size(), 10u);
  EXPECT_TRUE(project().isByReapeatFrame(2));
  EXPECT_EQ(project().reapeatFrameNumber(2), 2);
  EXPECT_FALSE(project().isReapeatFrame(4));
  EXPECT_FALSE(project().isByReapeatFrame(4));
  ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));
  expectReferencesRight();
}

TEST_F(FrameManagerTest, ACopyBeforeTheSelectionMovesTheSelectionWithItsFrame) {
  ZTPicManagerView& m = open();
  tapPaperOfFrame(m, 4);
  ASSERT_NE(m.frameMenu(), nullptr);
  m.imagesViewArray()[1]->copyButtonPressed();  // a new frame 3
  settle();
  EXPECT_EQ(m.selectedPage(), 5);
  EXPECT_EQ(m.frameMenu(), nullptr);  // it stood over the paper that now shows frame 4
  EXPECT_TRUE(m.imagesViewArray()[4]->background()->isHighlighted());
  EXPECT_FALSE(m.imagesViewArray()[3]->background()->isHighlighted());
  // A copy after the selection leaves it and its menu alone.
  tapPaperOfFrame(m, 1);
  ASSERT_NE(m.frameMenu(), nullptr);
  m.imagesViewArray()[3]->copyButtonPressed();
  settle();
  EXPECT_EQ(m.selectedPage(), 1);
  EXPECT_NE(m.frameMenu(), nullptr);
  // Deleting through the menu still deletes the frame the user chose.
  const std::vector<std::string> chosen = project().imagesArray()[0].laysArray;
  m.deleteSelectPaper();
  settle();
  for (const auto& frame : project().imagesArray()) EXPECT_NE(frame.laysArray, chosen);
  ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));
}

TEST_F(FrameManagerTest, CopiesNeedAWillingDelegateAndAFrame) {
  frames = 3;
  ZTPicManagerView& m = open();
  ZTPaperView* paper = m.imagesViewArray()[0].get();
  CopyWatcher watcher;
  paper->setDelegate(&watcher);
  paper->copyButtonPressed();  // no answer: no copy messages
  watcher.answer = false;
  paper->copyButtonPressed();  // a refusal stops at the question
  EXPECT_EQ(watcher.asked, 2);
  EXPECT_EQ(watcher.copies + watcher.told, 0);
  watcher.answer = true;
  paper->copyButtonPressed();
  EXPECT_EQ(watcher.copies, 1);
  EXPECT_EQ(watcher.told, 1);
  paper->setDelegate(&m);

  // A depository entry's number names no frame: its copy changes nothing.
  firstFramesIntoDepository(m, 1);
  const auto framesBefore = icons();
  m.temporaryViewArray()[0]->copyButtonPressed();
  settle();
  EXPECT_EQ(icons(), framesBefore);
  EXPECT_EQ(project().temporarysArray().size(), 1u);
  // Nor does a hidden paper past the last frame, whatever frame it showed before.
  ZTPaperView* hidden = m.imagesViewArray()[4].get();
  ASSERT_TRUE(hidden->isHidden());
  hidden->setPage(1);
  hidden->copyButtonPressed();
  settle();
  EXPECT_EQ(icons(), framesBefore);
  ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));
}

TEST_F(FrameManagerTest, ACopyMadeAsTheManagerClosesIsKept) {
  frames = 2;
  open().imagesViewArray()[0]->copyButtonPressed();
  host->tap({5, 5});  // the side band closes the manager before the copy is told
  settle();
  EXPECT_EQ(desk->picManagerView(), nullptr);
  ASSERT_EQ(project().imagesArray().size(), 3u);
  EXPECT_EQ(iconsOnDisk(), icons());
}

TEST_F(FrameManagerTest, AMovesEndCountsTheTagsFramesAgain) {
  frames = 10;
  // Frames stored stale: the tag's marker reads 1-8 on ten frames.
  tags = {SoundTag{"s.caf", {{49, 313}}, {{1, 1}}}};
  ZTPicManagerView& m = open();
  ZTPaperView* paper = m.imagesViewArray()[2].get();
  paper->beginMove();
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 1}));
  paper->cancelMove();
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 1}));
  paper->endMove();
  EXPECT_EQ(project().soundFrameArray(), (std::vector<int>{1, 8}));
  EXPECT_EQ(m.soundTrack()->framesCount(), 10);
  SoundTagView* marker = m.soundTrack()->soundTagArray().at(0).get();
  EXPECT_EQ(marker->beginFrameLb()->text(), "Start: 1");
  EXPECT_EQ(marker->endFrameLb()->text(), "End: 8");
  auto disk = ProjectDataModel::initWithProjectName(project().curProjectName());
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(disk->soundFrameArray(), (std::vector<int>{1, 8}));
}

TEST_F(FrameManagerTest, APaperZoomsAboutItsCentreAndBack) {
  ZTPicManagerView& m = open();
  ZTPaperView* paper = m.imagesViewArray()[2].get();
  const ui::Rect usual = paper->frame();
  ASSERT_EQ(usual, (ui::Rect{160, 20, 80, 64}));
  const ui::Rect icon = paper->imageView()->frame();
  paper->zoomIn();  // already at the usual size
  EXPECT_EQ(paper->frame(), usual);
  paper->zoomOut();
  EXPECT_EQ(paper->frame(), (ui::Rect{140, 4, 120, 96}));
  EXPECT_EQ(ui::rectCenter(paper->frame()), ui::rectCenter(usual));
  // The pictures grow with the paper.
  EXPECT_GT(paper->imageView()->frame().width, icon.width);
  EXPECT_GT(paper->imageView()->frame().height, icon.height);
  EXPECT_EQ(paper->background()->frame(), (ui::Rect{0, 0, 120, 96}));
  paper->zoomOut();  // only a paper of the usual size grows
  EXPECT_EQ(paper->frame(), (ui::Rect{140, 4, 120, 96}));
  paper->zoomIn();
  EXPECT_EQ(paper->frame(), usual);
  EXPECT_EQ(paper->imageView()->frame(), icon);
  EXPECT_EQ(paper->background()->frame(), (ui::Rect{0, 0, 80, 64}));
}

TEST_F(FrameManagerTest, ListRefreshesLineThePapersUpAgain) {
  frames = 9;
  ZTPicManagerView& m = open();
  firstFramesIntoDepository(m, 3);
  m.forward();
  settle();
  ASSERT_EQ(m.curImagesViewPage(), 2);  // frames 6 of 6: one paper shown
  // Delete buttons shown on two depository papers go, and their light.
  m.temporaryViewArray()[0]->changeButtonState();
  m.temporaryViewArray()[2]->changeButtonState();
  m.resetAllPapers();
  for (const auto& p : m.temporaryViewArray()) {
    EXPECT_TRUE(p->delButton()->isHidden());
    EXPECT_FALSE(p->background()->isHighlighted());
  }
  // Papers out of place go back to their slots, numbered again when asked.
  ZTPaperView* entry = m.temporaryViewArray()[1].get();
  entry->setFrame({300, 10, 80, 64});
  entry->setPage(9);
  m.updateTemporarysPaperListUI(false);
  EXPECT_EQ(entry->frame(), (ui::Rect{80, 0, 80, 64}));
  EXPECT_EQ(entry->page(), 9);
  m.updateTemporarysPaperListUI(true);
  EXPECT_EQ(entry->page(), 2);

  // Frames gone from the page shown: the strip comes back to the last page.
  ASSERT_TRUE(project().deleteImageAtPage(6, false));
  ASSERT_TRUE(project().saveData());
  m.imagesViewArray()[3]->setFrame({0, 0, 10, 10});
  m.updateImagesPaperListUI(true);
  EXPECT_EQ(m.curImagesViewPage(), 1);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(m.imagesViewArray()[k]->page(), k + 1);
  m.syncData();
  settle();
  EXPECT_EQ(shownPages(m), (std::vector<int>{1, 2, 3, 4, 5}));
  ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));
}

}  // namespace
