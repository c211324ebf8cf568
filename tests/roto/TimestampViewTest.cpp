// The timeline under the replay: marks placed from times, handle rules under
// real touches through the window, and the elapsed-time timer and its text.
#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "roto/DDTimer.h"
#include "roto/DDTimestampView.h"
#include "ui/UiTestSupport.h"

namespace {

using roto::DDTimestampView;

struct Report {
  char kind;  // 'b' began, 'm' moved, 'e' ended
  float time;
  int style;
};

struct Recorder : roto::DDTimestampViewDelegate {
  std::vector<Report> reports;
  void ddTimestampViewDidIndicatorSelect(DDTimestampView*, int style) override {
    reports.push_back({'b', 0, style});
  }
  void ddTimestampView(DDTimestampView*, float t, int style) override { reports.push_back({'m', t, style}); }
  void ddTimestampViewDidIndicatorEndSelect(DDTimestampView*, float t, int style) override {
    reports.push_back({'e', t, style});
  }
};

// The timeline as the screen makes it: 480 wide, 76 high, at the top of the
// root view (which fills the window), so view and screen points agree.
class TimestampViewTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    view = std::make_shared<DDTimestampView>(ui::Rect{0, 0, 480, 76});
    view->setDelegate(&recorder);
    rootView()->addSubview(view);
  }
  void TearDown() override {
    view.reset();
    UiTest::TearDown();
  }
  float centreX(const ui::View* v) const { return v->frame().x + v->frame().width / 2; }

  std::shared_ptr<DDTimestampView> view;
  Recorder recorder;
};

TEST_F(TimestampViewTest, NewTimelineShowsIndicatorAtZeroAndHandlesAtThirtyAndSeventyPercent) {
  EXPECT_FLOAT_EQ(view->maxTime(), 1.0f);
  EXPECT_FLOAT_EQ(view->cropFirstTime(), 0.3f);
  EXPECT_FLOAT_EQ(view->cropLastTime(), 0.7f);
  EXPECT_FLOAT_EQ(view->indicatorTime(), 0);
  EXPECT_FALSE(view->timestampIndicator()->isHidden());
  EXPECT_TRUE(view->firstCropIndicator()->isHidden());
  EXPECT_TRUE(view->lastMaskView()->isHidden());
  // Indicator 5 wide centred on 0; handles 10 wide centred on their times.
  EXPECT_EQ(view->timestampIndicator()->frame(), (ui::Rect{-2.5f, 0, 5, 76}));
  EXPECT_NEAR(centreX(view->firstCropIndicator()), 0.3f * 480, 1e-3);
  EXPECT_NEAR(centreX(view->lastCropIndicator()), 0.7f * 480, 1e-3);
  EXPECT_FLOAT_EQ(view->firstCropIndicator()->frame().width, 10);
  // Back to front: thumbnails, indicator, first mask, first handle, last mask, last handle.
  const auto& subs = view->subviews();
  ASSERT_EQ(subs.size(), 6u);
  EXPECT_EQ(subs[1].get(), view->timestampIndicator());
  EXPECT_EQ(subs[2].get(), view->firstMaskView());
  EXPECT_EQ(subs[5].get(), view->lastCropIndicator());
}

TEST_F(TimestampViewTest, MasksCoverWhatTheTrimCutsAwayLeavingTheGapsAndTheThumbnailStrip) {
  view->setMaxTime(10);
  view->setCropMaskHight(16);
  view->setCropTrimFirstMaskWidth(5);
  view->setCropTrimLastMaskWidth(4);
  view->setMode(1);
  // 3 s and 7 s of 10 s on 480 points.
  EXPECT_EQ(view->firstMaskView()->frame(), (ui::Rect{0, 16, 144 - 5, 60}));
  EXPECT_EQ(view->lastMaskView()->frame(), (ui::Rect{336 + 4, 16, 480 - 336 - 4, 60}));
  EXPECT_FALSE(view->firstMaskView()->isHidden());
  EXPECT_TRUE(view->timestampIndicator()->isHidden());
  view->setCropMaskColor({1, 0, 0, 0.5f});
  EXPECT_EQ(view->lastMaskView()->backgroundColor(), (ui::Color{1, 0, 0, 0.5f}));
}

TEST_F(TimestampViewTest, MaxTimeResetsHandleTimesWithoutMovingTheMarks) {
  view->setMaxTime(20);
  EXPECT_FLOAT_EQ(view->cropFirstTime(), 6);
  EXPECT_FLOAT_EQ(view->cropLastTime(), 14);
  // Drawn where 0.3 of the old span put it, as the times say the same fraction.
  EXPECT_NEAR(centreX(view->firstCropIndicator()), 144, 1e-3);
  view->setCropFirstTime(2);
  view->setMinTime(0);
  EXPECT_FLOAT_EQ(view->cropFirstTime(), 6);
  view->setIndicatorTime(25);
  EXPECT_FLOAT_EQ(view->indicatorTime(), 20);
  EXPECT_NEAR(centreX(view->timestampIndicator()), 480, 1e-3);
  view->setIndicatorTime(-1);
  EXPECT_FLOAT_EQ(view->indicatorTime(), -1);
}

TEST_F(TimestampViewTest, MarkImagesSetTheMarkWidthWhateverTheState) {
  gfx::Image img(8, 30, 1.0f);
  view->setFirstCropImage(ui::Picture(img), roto::kDDTimestampItemHighlighted);
  EXPECT_FLOAT_EQ(view->firstCropIndicator()->frame().width, 8);
  EXPECT_TRUE(view->firstCropIndicator()->normalImageView()->image().empty());
  EXPECT_FALSE(view->firstCropIndicator()->hilightImageView()->image().empty());
  view->setTimestampIndicatorImage(ui::Picture(img), 7);  // no such state: width only
  EXPECT_FLOAT_EQ(view->timestampIndicator()->frame().width, 8);
  EXPECT_TRUE(view->timestampIndicator()->normalImageView()->image().empty());
  view->setLastCropImage(ui::Picture(), 0);
  EXPECT_FLOAT_EQ(view->lastCropIndicator()->frame().width, 0);
}

TEST_F(TimestampViewTest, HandleDragStopsShortOfTheOtherHandleByTheMinimumGap) {
  view->setMaxTime(10);
  view->setCropFirstTime(5.0f);
  view->setCropLastTime(5.4f);
  view->updateFirstCrop();
  view->updateLastCrop();
  view->setMode(1);
  // The first handle spans 235..245; touch it at its centre, 240 (5.0 s).
  host->touchDown(1, {238, 30});
  host->touchMove(1, {0.51f * 480, 30});  // 5.1 s > 5.4 - 0.35: refused without a report
  EXPECT_FLOAT_EQ(view->cropFirstTime(), 5.0f);
  host->touchMove(1, {0.502f * 480, 30});  // 5.02 s: accepted
  EXPECT_NEAR(view->cropFirstTime(), 5.02f, 1e-4);
  host->touchUp(1, {0.502f * 480, 30});
  ASSERT_EQ(recorder.reports.size(), 3u);
  EXPECT_EQ(recorder.reports[0].kind, 'b');
  EXPECT_EQ(recorder.reports[0].style, roto::kDDTimestampStyleFirstCrop);
  EXPECT_EQ(recorder.reports[1].kind, 'm');
  EXPECT_NEAR(recorder.reports[1].time, 5.02f, 1e-4);
  EXPECT_EQ(recorder.reports[2].kind, 'e');
  EXPECT_EQ(recorder.reports[2].style, roto::kDDTimestampStyleFirstCrop);
}

TEST_F(TimestampViewTest, LastHandleDraggedPastTheEndReportsATimeBeyondTheSpan) {
  view->setMaxTime(10);
  view->updateLastCrop();
  view->setMode(1);
  const float x = centreX(view->lastCropIndicator());
  host->touchDown(1, {x, 40});
  host->touchMove(1, {1.2f * 480, 40});
  host->touchUp(1, {1.2f * 480, 40});
  EXPECT_NEAR(view->cropLastTime(), 12.0f, 1e-3);
  ASSERT_FALSE(recorder.reports.empty());
  EXPECT_EQ(recorder.reports.back().style, roto::kDDTimestampStyleLastCrop);
  EXPECT_NEAR(recorder.reports.back().time, 12.0f, 1e-3);
}

TEST_F(TimestampViewTest, TouchOnNothingReportsNoStyleAndHiddenMarksAreNotHit) {
  view->setMaxTime(10);
  view->setIndicatorTime(5);
  view->setMode(1);  // the indicator at 240 is hidden now
  host->touchDown(1, {240, 30});
  host->touchMove(1, {250, 30});
  host->touchUp(1, {250, 30});
  ASSERT_EQ(recorder.reports.size(), 3u);
  for (const Report& r : recorder.reports) EXPECT_EQ(r.style, roto::kDDTimestampStyleNone);
  EXPECT_FLOAT_EQ(view->indicatorTime(), 5);
  // The indicator, once shown, follows the finger.
  recorder.reports.clear();
  view->setMode(0);
  host->touchDown(1, {240, 30});
  host->touchMove(1, {360, 30});
  EXPECT_FLOAT_EQ(view->indicatorTime(), 7.5f);
  EXPECT_EQ(recorder.reports.back().style, roto::kDDTimestampStyleIndicator);
  // A cancel clears the selection: a later end reports no mark.
  host->touchCancel(1);
  view->touchesEnded({}, ui::Event());
  EXPECT_EQ(recorder.reports.size(), 2u);
}

struct CountingThumbs : roto::DDTimestampViewDataSource {
  std::optional<int> numberOfThumbnail() override { return 3; }
  std::shared_ptr<ui::View> ddTimestampViewThumbnailAtIndex(int i) override {
    return i == 1 ? nullptr : std::make_shared<ui::View>();
  }
};

TEST_F(TimestampViewTest, ThumbnailLayerTakesDataSourceViewsAndClears) {
  CountingThumbs thumbs;
  view->setDataSource(&thumbs);
  EXPECT_EQ(view->backgroundImageView()->subviews().size(), 2u);
  view->addBackgroundSubView(std::make_shared<ui::View>());
  EXPECT_EQ(view->backgroundImageView()->subviews().size(), 3u);
  view->clearBackgroundSubView();
  EXPECT_TRUE(view->backgroundImageView()->subviews().empty());
}

struct TickLog : roto::DDTimerDelegate {
  std::vector<double> totals;
  void ddTimerDidFiredWithTotalTime(double t) override { totals.push_back(t); }
};

TEST_F(TimestampViewTest, TimerSumsItsIntervalsAndRestartsFromZero) {
  TickLog log;
  roto::DDTimer timer;
  timer.setDelegate(&log);
  timer.startTimerWithTimeInterval(1.0);
  host->advance(1.0);
  ASSERT_EQ(log.totals.size(), 1u);
  EXPECT_DOUBLE_EQ(log.totals[0], 1.0);
  host->advance(2.0);
  EXPECT_DOUBLE_EQ(log.totals.back(), 3.0);
  timer.startTimerWithTimeInterval(0.1);
  host->advance(0.1);
  EXPECT_NEAR(log.totals.back(), 0.1, 1e-9);
  timer.endTimer();
  const std::size_t n = log.totals.size();
  host->advance(1.0);
  EXPECT_EQ(log.totals.size(), n);
}

TEST(DDTimerText, FormatsRoundedHoursMinutesSeconds) {
  const char* f = "%d%d:%d%d:%d%d";
  EXPECT_EQ(roto::DDTimer::timeIntervalToString(3599.5, f), "01:00:00");
  EXPECT_EQ(roto::DDTimer::timeIntervalToString(59.4, f), "00:00:59");
  EXPECT_EQ(roto::DDTimer::timeIntervalToString(0, f), "00:00:00");
  EXPECT_EQ(roto::DDTimer::timeIntervalToString(3725, f), "01:02:05");
  EXPECT_EQ(roto::DDTimer::timeIntervalToString(36000 + 610, f), "10:10:10");
}

}  // namespace
