// Hit testing, touch ownership, several fingers, tap counts and the
// responder chain.
#include <gtest/gtest.h>

#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/foundation/RunLoop.h"

using namespace ui;

namespace {

// Records every touch message it gets, with locations in its own coordinates.
class Recorder : public View {
 public:
  using View::View;
  struct Entry {
    std::string phase;
    std::size_t count;
    Point location, previous;
    int tapCount;
    const View* touchView;
  };
  std::vector<Entry> log;
  bool forward = false;
  void record(const char* phase, const TouchSet& touches) {
    for (Touch* t : touches)
      log.push_back({phase, touches.size(), t->locationInView(this), t->previousLocationInView(this), t->tapCount(),
                     t->view()});
  }
  // The tap counts of the touches begun since the log was last taken.
  std::vector<int> takeTapCounts() {
    std::vector<int> counts;
    for (const Entry& e : log)
      if (e.phase == "began") counts.push_back(e.tapCount);
    log.clear();
    return counts;
  }
  void touchesBegan(const TouchSet& t, const Event& e) override {
    record("began", t);
    if (forward) View::touchesBegan(t, e);
  }
  void touchesMoved(const TouchSet& t, const Event& e) override {
    record("moved", t);
    if (forward) View::touchesMoved(t, e);
  }
  void touchesEnded(const TouchSet& t, const Event& e) override {
    record("ended", t);
    if (forward) View::touchesEnded(t, e);
  }
  void touchesCancelled(const TouchSet& t, const Event& e) override {
    record("cancelled", t);
    if (forward) View::touchesCancelled(t, e);
  }
};

class RecordingController : public ViewController {
 public:
  std::vector<std::string> log;
  void touchesBegan(const TouchSet&, const Event&) override { log.push_back("began"); }
  void touchesEnded(const TouchSet&, const Event&) override { log.push_back("ended"); }
};

}  // namespace

class TouchTest : public ui_test::UiTest {};

TEST_F(TouchTest, HitTestingSkipsHiddenFaintAndNonInteractiveViews) {
  auto back = std::make_shared<Recorder>(Rect{0, 0, 200, 200});
  auto front = std::make_shared<Recorder>(Rect{50, 50, 100, 100});
  rootView()->addSubview(back);
  rootView()->addSubview(front);
  EXPECT_EQ(window->hitTest({60, 60}, nullptr), front.get());
  front->setHidden(true);
  EXPECT_EQ(window->hitTest({60, 60}, nullptr), back.get());
  front->setHidden(false);
  front->setAlpha(0.009f);
  EXPECT_EQ(window->hitTest({60, 60}, nullptr), back.get());
  front->setAlpha(0.01f);
  EXPECT_EQ(window->hitTest({60, 60}, nullptr), front.get());
  front->setUserInteractionEnabled(false);
  EXPECT_EQ(window->hitTest({60, 60}, nullptr), back.get());
  // A child outside its parent's bounds is not reached, clipped or not.
  auto outside = std::make_shared<Recorder>(Rect{150, 150, 100, 100});
  back->addSubview(outside);
  EXPECT_EQ(window->hitTest({320, 320}, nullptr), nullptr);
  EXPECT_EQ(window->hitTest({170, 170}, nullptr), outside.get());
}

TEST_F(TouchTest, HitTestingFollowsTransforms) {
  auto v = std::make_shared<Recorder>(Rect{100, 100, 200, 20});
  rootView()->addSubview(v);
  EXPECT_EQ(window->hitTest({200, 150}, nullptr), rootView());
  v->setTransform(AffineTransform::makeRotation(std::numbers::pi_v<float> / 2));
  // Turned upright about its centre (200, 110): now 20 wide, 200 tall.
  EXPECT_EQ(window->hitTest({200, 150}, nullptr), v.get());
  EXPECT_EQ(window->hitTest({280, 110}, nullptr), rootView());
  v->setTransform(AffineTransform::makeScale(0.5f, 0.5f));
  EXPECT_EQ(window->hitTest({120, 110}, nullptr), rootView());
  EXPECT_EQ(window->hitTest({160, 110}, nullptr), v.get());
}

TEST_F(TouchTest, ATouchStaysWithTheViewItBeganIn) {
  auto a = std::make_shared<Recorder>(Rect{0, 0, 100, 100});
  auto b = std::make_shared<Recorder>(Rect{200, 0, 100, 100});
  rootView()->addSubview(a);
  rootView()->addSubview(b);
  host->touchDown(1, {50, 50});
  host->touchMove(1, {250, 50});  // over b now
  host->touchUp(1, {260, 60});
  ASSERT_EQ(a->log.size(), 3u);
  EXPECT_TRUE(b->log.empty());
  EXPECT_EQ(a->log[1].phase, "moved");
  EXPECT_EQ(a->log[1].location, (Point{250, 50}));
  EXPECT_EQ(a->log[1].previous, (Point{50, 50}));
  EXPECT_EQ(a->log[2].location, (Point{260, 60}));
  EXPECT_EQ(a->log[2].touchView, a.get());
  // Removing the view mid-touch keeps the touch object valid.
  host->touchDown(2, {20, 20});
  a->removeFromSuperview();
  std::weak_ptr<Recorder> weak = a;
  host->touchMove(2, {30, 30});
  EXPECT_EQ(a->log.back().phase, "moved");
  a.reset();
  EXPECT_FALSE(weak.expired());
  host->touchUp(2, {30, 30});
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(Application::shared().touches().activeTouches(), 0u);
}

TEST_F(TouchTest, LocationsAreInTheAskingViewsCoordinates) {
  auto v = std::make_shared<Recorder>(Rect{100, 100, 100, 100});
  v->setTransform(AffineTransform::makeScale(2, 2));  // covers 50..250 on screen
  rootView()->addSubview(v);
  host->touchDown(1, {150, 150});
  ASSERT_EQ(v->log.size(), 1u);
  EXPECT_EQ(v->log[0].location, (Point{50, 50}));
  host->touchMove(1, {170, 130});
  EXPECT_EQ(v->log[1].location, (Point{60, 40}));
  EXPECT_EQ(v->log[1].previous, (Point{50, 50}));
  host->touchUp(1, {170, 130});
}

TEST_F(TouchTest, MultipleFingersNeedTheMultiTouchFlag) {
  auto v = std::make_shared<Recorder>(Rect{0, 0, 300, 300});
  rootView()->addSubview(v);
  host->touches({{1, {10, 10}, TouchPhase::Began}, {2, {100, 100}, TouchPhase::Began}});
  ASSERT_EQ(v->log.size(), 1u);  // the second finger is ignored
  host->touchMove(2, {120, 120});
  EXPECT_EQ(v->log.size(), 1u);
  host->touches({{1, {10, 10}, TouchPhase::Ended}, {2, {120, 120}, TouchPhase::Ended}});
  EXPECT_EQ(v->log.size(), 2u);

  v->log.clear();
  v->setMultipleTouchEnabled(true);
  host->touches({{1, {10, 10}, TouchPhase::Began}, {2, {100, 100}, TouchPhase::Began}});
  ASSERT_EQ(v->log.size(), 2u);
  EXPECT_EQ(v->log[0].count, 2u);  // one message with both fingers
  host->touchDown(3, {200, 200});  // a third joins later
  EXPECT_EQ(v->log.size(), 3u);
  EXPECT_EQ(v->log[2].count, 1u);
  host->touches({{1, {20, 20}, TouchPhase::Moved}, {2, {90, 90}, TouchPhase::Moved}});
  EXPECT_EQ(v->log[3].location, (Point{20, 20}));
  EXPECT_EQ(v->log[4].location, (Point{90, 90}));
  host->touchCancel(3);
  EXPECT_EQ(v->log.back().phase, "cancelled");
  host->touches({{1, {20, 20}, TouchPhase::Ended}, {2, {90, 90}, TouchPhase::Ended}});
  EXPECT_EQ(Application::shared().touches().activeTouches(), 0u);
}

TEST_F(TouchTest, QuickTapsCountUpAndSlowOnesStartAgain) {
  auto v = std::make_shared<Recorder>(Rect{0, 0, 300, 300});
  rootView()->addSubview(v);
  host->tap({50, 50});
  host->advance(0.1);
  host->tap({52, 50});
  host->advance(0.1);
  host->tap({50, 52});
  host->advance(0.5);
  host->tap({50, 50});
  host->advance(0.1);
  host->tap({150, 150});  // too far from the last tap
  EXPECT_EQ(v->takeTapCounts(), (std::vector<int>{1, 2, 3, 1, 1}));
}

// Each finger of a tap counts on. Two fingers tapping twice, as Ctrl with the
// mouse makes them (down and up together) or a touch screen does (one after
// the other), are a double tap for both: a finger that goes down near any
// finger of the last tap continues its count, whichever finger it is. Only
// the last tap counts, and taps are timed by when they were made.
TEST_F(TouchTest, EveryFingerOfATapCountsOn) {
  auto v = std::make_shared<Recorder>(Rect{0, 0, 400, 300});
  v->setMultipleTouchEnabled(true);
  rootView()->addSubview(v);
  const MouseModifiers ctrl{.ctrl = true};
  host->click({100, 100}, ctrl);
  host->advance(0.1);
  host->click({100, 100}, ctrl);
  host->advance(0.1);
  host->click({101, 100}, ctrl);
  EXPECT_EQ(v->takeTapCounts(), (std::vector<int>{1, 1, 2, 2, 3, 3}));

  host->advance(1);
  host->touchDown(11, {50, 200});
  host->touchDown(12, {150, 200});
  host->advance(0.02);
  host->touchUp(12, {150, 200});
  host->advance(0.02);
  host->touchUp(11, {50, 200});
  host->advance(0.1);
  host->touchDown(13, {148, 202});
  host->touchDown(14, {52, 200});
  EXPECT_EQ(v->takeTapCounts(), (std::vector<int>{1, 1, 2, 2}));
  host->touchUp(13, {148, 202});
  host->touchUp(14, {52, 200});

  // A tap elsewhere in between begins again; a finger held elsewhere does not.
  host->advance(1);
  host->tap({50, 50});
  host->advance(0.1);
  host->tap({250, 50});
  host->advance(0.1);
  host->tap({50, 50});
  EXPECT_EQ(v->takeTapCounts(), (std::vector<int>{1, 1, 1}));
  host->advance(1);
  host->touchDown(7, {300, 250});
  host->tap({50, 50});
  host->advance(0.1);
  host->tap({50, 50});
  host->touchUp(7, {300, 250});
  EXPECT_EQ(v->takeTapCounts(), (std::vector<int>{1, 1, 2}));

  // Two taps a second apart, read together by a late loop, are two single taps.
  host->advance(2);
  const double t = fd::RunLoop::main().now();
  host->touchDown(1, {200, 100}, t - 1.5);
  host->touchUp(1, {200, 100}, t - 1.45);
  host->touchDown(1, {200, 100}, t - 0.45);
  host->touchUp(1, {200, 100}, t - 0.4);
  EXPECT_EQ(v->takeTapCounts(), (std::vector<int>{1, 1}));
}

// What a tap continues: the last tap's finger lifted within 25 points of
// where this one goes down (25 is near enough), on the same view, without
// having moved off before it lifted; timed by when each was made, however
// late the loop reads them, and no finger taken to lift before it went down.
TEST_F(TouchTest, ATapContinuesTheLastOnlyNearByOnTheSameViewUnmoved) {
  auto a = std::make_shared<Recorder>(Rect{0, 0, 200, 300});
  auto b = std::make_shared<Recorder>(Rect{200, 0, 200, 300});
  rootView()->addSubview(a);
  rootView()->addSubview(b);
  const auto tapAt = [&](Point p) { host->tap(p); };
  struct Case {
    const char* what;
    std::function<void()> first;
    Point second;
    int count;
  };
  const Case cases[] = {
      {"25 points away", [&] { tapAt({100, 100}); }, {115, 120}, 2},
      {"25.6 points away", [&] { tapAt({100, 100}); }, {116, 120}, 1},
      {"on the view beside", [&] { tapAt({195, 100}); }, {205, 100}, 1},
      {"after a finger that moved off and lifted there",
       [&] {
         host->touchDown(1, {100, 100});
         host->touchMove(1, {150, 100});
         host->touchUp(1, {150, 100});
       },
       {150, 100}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host->advance(1);
    c.first();
    host->advance(0.1);
    a->log.clear();
    b->log.clear();
    tapAt(c.second);
    const std::vector<Recorder::Entry>& log = c.second.x < 200 ? a->log : b->log;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().tapCount, c.count);
  }
  // Two taps made 0.2 s apart, read together by a late loop: a double tap.
  host->advance(2);
  a->log.clear();
  double t = fd::RunLoop::main().now();
  host->touchDown(1, {100, 200}, t - 0.9);
  host->touchUp(1, {100, 200}, t - 0.85);
  host->touchDown(1, {100, 200}, t - 0.65);
  host->touchUp(1, {100, 200}, t - 0.6);
  ASSERT_EQ(a->log.size(), 4u);
  EXPECT_EQ(a->log[2].tapCount, 2);
  // Ctrl clicks whose release is placed a millisecond before the press (the
  // loop reads in whole milliseconds): both fingers tap twice.
  host->advance(2);
  a->setMultipleTouchEnabled(true);
  a->log.clear();
  t = fd::RunLoop::main().now();
  for (const double at : {t - 0.3, t - 0.2}) {
    host->mouse(MouseFingers::Action::Down, {100, 100}, {.ctrl = true}, at);
    host->mouse(MouseFingers::Action::Up, {100, 100}, {.ctrl = true}, at - 0.001);
  }
  EXPECT_EQ(a->takeTapCounts(), (std::vector<int>{1, 1, 2, 2}));
}

// The window host may miss the button's release (the window unmapped, the
// pointer taken by another program), and the application may cancel the
// fingers meanwhile (the window minimised): the next press starts a stroke
// of its own, the one under way, if any, cancelled first.
TEST_F(TouchTest, APressAfterAMissedReleaseStartsAnew) {
  auto v = std::make_shared<Recorder>(Rect{0, 0, 400, 300});
  rootView()->addSubview(v);
  for (const bool minimised : {true, false}) {
    SCOPED_TRACE(minimised ? "minimised meanwhile" : "the stroke still under way");
    v->log.clear();
    host->mouse(MouseFingers::Action::Down, {50, 50});
    host->mouse(MouseFingers::Action::Move, {60, 50});
    if (minimised) {
      Application::shared().enterBackground();
      Application::shared().enterForeground();
    }
    host->mouse(MouseFingers::Action::Down, {200, 100});
    host->mouse(MouseFingers::Action::Move, {220, 100});
    host->mouse(MouseFingers::Action::Up, {220, 100});
    std::vector<std::string> phases;
    for (const Recorder::Entry& e : v->log) phases.push_back(e.phase);
    EXPECT_EQ(phases, (std::vector<std::string>{"began", "moved", "cancelled", "began", "moved", "ended"}));
    EXPECT_EQ(v->log.back().location, (Point{220, 100}));
  }
}

TEST_F(TouchTest, UnhandledTouchesWalkViewSuperviewController) {
  auto controller = std::make_shared<RecordingController>();
  auto container = std::make_shared<Recorder>(Rect{0, 0, 200, 200});
  container->forward = true;
  controller->setView(container);
  rootView()->addSubview(container);
  auto plain = std::make_shared<View>(Rect{10, 10, 50, 50});  // does not handle touches
  container->addSubview(plain);
  host->tap({20, 20});
  ASSERT_EQ(container->log.size(), 2u);
  EXPECT_EQ(container->log[0].touchView, plain.get());  // still the view it began in
  EXPECT_EQ(controller->log, (std::vector<std::string>{"began", "ended"}));
  EXPECT_EQ(plain->nextResponder(), container.get());
  EXPECT_EQ(container->nextResponder(), controller.get());
  EXPECT_EQ(controller->nextResponder(), rootView());
}

TEST_F(TouchTest, ExclusiveTouchKeepsOtherFingersOut) {
  auto a = std::make_shared<Recorder>(Rect{0, 0, 100, 100});
  auto b = std::make_shared<Recorder>(Rect{200, 0, 100, 100});
  a->setExclusiveTouch(true);
  rootView()->addSubview(a);
  rootView()->addSubview(b);
  host->touchDown(1, {50, 50});
  host->touchDown(2, {250, 50});
  EXPECT_TRUE(b->log.empty());
  host->touchUp(2, {250, 50});
  host->touchUp(1, {50, 50});
  host->touchDown(2, {250, 50});
  EXPECT_EQ(b->log.size(), 1u);
  host->touchDown(1, {50, 50});  // exclusive view while another finger is down
  EXPECT_EQ(a->log.size(), 2u);
}
