// The desk's and the frame manager's questions answered by touch with the
// fade on the clock, as a quick user does: a turn, a close or the second tap
// of a double tap made while the alert fades reaches nothing, and the answer
// acts on the page or frame it asked about; nothing drawn is lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "FrameManagerTestSupport.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/RunLoop.h"

namespace {

namespace fs = std::filesystem;

constexpr double kDelays[] = {0.0, 0.05, 0.1, 0.15};

// Taps the newest alert's button as a finger does, with the fade timed, and
// gives back where.
ui::Point tapAnswer(ui::HeadlessHost& host, const std::string& key) {
  host.setInstantAnimations(false);
  const std::optional<ui::Point> at = host.tapAlertButton(fd::Localized(key));
  EXPECT_TRUE(at.has_value()) << key;
  return at.value_or(ui::Point{});
}

ui::Point centreOf(const ui::View* v) {
  const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
  return {r.x + r.width / 2, r.y + r.height / 2};
}

// Lets the fade end and the answer act; animations end at once again.
void letTheAnswerAct(ui::HeadlessHost& host) {
  host.advance(ui::ButtonSheet::kFadeDuration + 0.1);
  host.runUntilIdle();
  host.setInstantAnimations(true);
}

class AlertAnswerDeskTest : public desk_test::DeskTest {
 protected:
  void prepareModel() override {
    while (project().imagesArray().size() < 3) ASSERT_TRUE(project().createImageAtPage(1));
    ASSERT_TRUE(project().saveData());
  }
  fs::path foregroundOf(int page) { return *project().layFullPathAtPage(page, false, 2); }
  void askFromDrawer(int tag) {
    if (!desk->tools() || desk->tools()->isHidden() || desk->tools()->frame().x != 0) tapView(desk->toolBtn());
    tapView(desk->drawerButton(tag));
    ASSERT_EQ(host->alerts().size(), 1u);
  }
  // The desk with strokes saved on pages 1 and 2, open on page 2.
  void onPageTwoWithPageOneDrawn() {
    start();
    ASSERT_EQ(curPage(), 3);
    tapView(desk->previousFrameBtn());
    tapView(desk->previousFrameBtn());
    ASSERT_EQ(curPage(), 1);
    stroke(onPage(40, 40), onPage(200, 150));
    tapView(desk->nextFrameBtn());
    stroke(onPage(60, 200), onPage(300, 60));
    ASSERT_EQ(curPage(), 2);
    ASSERT_GT(inkedPixels(foregroundOf(1)), 500);
  }
};

}  // namespace

// Clear, OK, then Previous at once: the page asked about is cleared and kept
// open; the page before keeps its drawing.
TEST_F(AlertAnswerDeskTest, ATurnDuringTheClearsFadeLeavesThePageAskedAbout) {
  for (const double delay : kDelays) {
    SCOPED_TRACE(delay);
    onPageTwoWithPageOneDrawn();
    const long pageOneInk = inkedPixels(foregroundOf(1));
    askFromDrawer(DesktopManagerController::kTagClear);
    tapAnswer(*host, "OK");
    host->advance(delay);
    host->tap(centreOf(desk->previousFrameBtn()));
    letTheAnswerAct(*host);
    EXPECT_EQ(curPage(), 2);
    EXPECT_EQ(canvasAlphaAt(180, 130), 0) << "the page asked about was not cleared";
    EXPECT_EQ(desk->pageIndicator()->text(), "002/003");
    // The user turns now: the cleared page is saved blank, page 1 as it was.
    tapView(desk->previousFrameBtn());
    EXPECT_EQ(curPage(), 1);
    EXPECT_EQ(inkedPixels(foregroundOf(2)), 0);
    EXPECT_EQ(inkedPixels(foregroundOf(1)), pageOneInk);
    EXPECT_GT(canvasAlphaAt(120, 95), 0) << "page 1 came back without its drawing";
    stop();
  }
}

// Should the desk leave the page by itself while the answer is on its way,
// the answer acts on no other page.
TEST_F(AlertAnswerDeskTest, AnAnswerAboutAPageTheDeskHasLeftClearsNoOther) {
  onPageTwoWithPageOneDrawn();
  askFromDrawer(DesktopManagerController::kTagClear);
  tapAnswer(*host, "OK");
  host->advance(0.1);
  desk->pageOperation(DesktopManagerController::kTagPreviousPage);
  ASSERT_EQ(curPage(), 1);
  letTheAnswerAct(*host);
  EXPECT_FALSE(desk->drawsView()->operated());
  EXPECT_GT(canvasAlphaAt(120, 95), 0) << "page 1 was cleared by an answer about page 2";
  tapView(desk->nextFrameBtn());
  EXPECT_GT(inkedPixels(foregroundOf(1)), 500);
  EXPECT_GT(inkedPixels(foregroundOf(2)), 500);
}

// The second tap of a quick double tap on an alert's button lands where the
// button was, over the page: it draws nothing, and no page is saved changed.
TEST_F(AlertAnswerDeskTest, ADoubleTapOnAnAnswerDrawsNothingBeneath) {
  start();
  const int tags[] = {DesktopManagerController::kTagClear, DesktopManagerController::kTagDelete};
  for (const int tag : tags) {
    for (const double delay : {0.03, 0.1}) {
      SCOPED_TRACE(std::to_string(tag) + " " + std::to_string(delay));
      askFromDrawer(tag);
      const ui::Point at = tapAnswer(*host, "Cancel");
      ASSERT_TRUE(desk->canvas()->convertRectTo(desk->canvas()->bounds(), nullptr).contains(at))
          << "the button no longer lies over the page";
      host->advance(delay);
      host->tap(at);
      letTheAnswerAct(*host);
      EXPECT_TRUE(host->alerts().empty());
      EXPECT_EQ(project().imagesArray().size(), 3u);
      EXPECT_FALSE(desk->drawsView()->operated()) << "a dot was drawn under the alert";
    }
  }
  tapView(desk->previousFrameBtn());
  EXPECT_LE(inkedPixels(foregroundOf(3)), 0) << "page 3 was saved with ink";
}

// The program held up just after Cancel's lift (a slow frame, a page write, a
// loaded machine) reads the second tap of a double tap only once the fade's
// end and the answer have run: the tap was made while the answer was on its
// way and draws nothing; the page is saved without a dot. A tap made after
// the answer draws.
TEST_F(AlertAnswerDeskTest, ATapMadeDuringTheFadeButReadLateDrawsNothing) {
  start();
  fd::RunLoop& loop = fd::RunLoop::main();
  ui::Point at;
  for (const int tag : {DesktopManagerController::kTagClear, DesktopManagerController::kTagDelete}) {
    SCOPED_TRACE(tag);
    askFromDrawer(tag);
    at = tapAnswer(*host, "Cancel");
    const double lifted = loop.now();
    host->advance(0.03);
    loop.stall(0.57);
    host->runUntilIdle();
    ASSERT_TRUE(host->alerts().empty());
    host->touchDown(1, at, lifted + 0.1);
    host->touchUp(1, at, lifted + 0.15);
    host->setInstantAnimations(true);
    EXPECT_FALSE(desk->drawsView()->operated()) << "a dot was drawn under the alert";
    EXPECT_EQ(project().imagesArray().size(), 3u);
  }
  ASSERT_EQ(curPage(), 3);
  tapView(desk->toolBtn());  // the drawer covers the page buttons
  tapView(desk->previousFrameBtn());
  ASSERT_EQ(curPage(), 2);
  EXPECT_LE(inkedPixels(foregroundOf(3)), 0) << "page 3 was saved with a dot";

  tapView(desk->nextFrameBtn());
  ASSERT_EQ(curPage(), 3);
  host->tap(at);
  EXPECT_TRUE(desk->drawsView()->operated()) << "a tap after the answer drew nothing";
  tapView(desk->previousFrameBtn());
  EXPECT_GT(inkedPixels(foregroundOf(3)), 0);
}

// The frame manager's delete confirmed, then a touch on its side band during
// the fade: the manager stays until the answer has acted, so the desk it
// closes onto shows the project as it now is, and what is drawn there is
// saved on that page.
using AlertAnswerFrameManagerTest = frame_test::FrameManagerTest;

TEST_F(AlertAnswerFrameManagerTest, AFrameDeletedWhileTheManagerIsClosedInItsFadeIsGoneFromTheDesk) {
  for (const double delay : kDelays) {
    SCOPED_TRACE(delay);
    frames = 3;
    ZTPicManagerView& m = open();
    tapPaperOfFrame(m, 2);
    ASSERT_NE(m.frameMenu(), nullptr);
    const std::string deleted = project().imagesArray()[1].iconName;
    tapView(m.frameMenu()->button(FrameMenu::kDelete));
    tapAnswer(*host, "Delete");
    host->advance(delay);
    host->tap({5, 5});
    letTheAnswerAct(*host);
    settle();
    ASSERT_EQ(project().imagesArray().size(), 2u);
    for (const auto& f : project().imagesArray()) EXPECT_NE(f.iconName, deleted);
    ASSERT_EQ(desk->picManagerView(), &m) << "the close during the fade was heard";
    ASSERT_NO_FATAL_FAILURE(expectDiskModelAndScreenAgree(m));

    host->tap({5, 5});
    settle();
    EXPECT_EQ(desk->picManagerView(), nullptr);
    const int page = curPage();
    ASSERT_GE(page, 1);
    ASSERT_LE(page, 2);
    EXPECT_EQ(desk->pageIndicator()->text().substr(3), "/002");
    stroke(onPage(40, 40), onPage(300, 200));
    tapView(page == 2 ? desk->previousFrameBtn() : desk->nextFrameBtn());
    EXPECT_GT(inkedPixels(*project().layFullPathAtPage(page, false, 2)), 500) << "the stroke was not saved";
    stop();
  }
}
