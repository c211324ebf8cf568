// Animations on the virtual clock: presentation values interpolate while the
// model changes at once; stops come in order, replaced ones unfinished; the
// instant mode keeps that order; delayed performs and their cancellation.
#include <gtest/gtest.h>

#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"

using namespace ui;

namespace {
struct StopLog : AnimationDelegate {
  std::vector<std::string> events;
  void animationWillStart(const std::string& name, void*) override { events.push_back("start " + name); }
  void animationDidStop(const std::string& name, bool finished, void* ctx) override {
    events.push_back(name + (finished ? " done" : " cut") + (ctx ? " ctx" : ""));
  }
};
}  // namespace

class AnimationTest : public ui_test::UiTest {
 protected:
  std::shared_ptr<View> makeView(const Rect& r) {
    auto v = std::make_shared<View>(r);
    rootView()->addSubview(v);
    return v;
  }
};

TEST_F(AnimationTest, ModelChangesAtOncePresentationInterpolates) {
  auto v = makeView({0, 0, 100, 100});
  StopLog log;
  int ctx = 0;
  Animations::begin("Move", &ctx);
  Animations::setDuration(1.0);
  Animations::setCurve(AnimationCurve::Linear);
  Animations::setDelegate(&log);
  v->setFrame({200, 0, 100, 50});
  v->setAlpha(0.5f);
  Animations::commit();
  EXPECT_EQ(v->frame(), (Rect{200, 0, 100, 50}));
  EXPECT_FLOAT_EQ(v->alpha(), 0.5f);
  EXPECT_FLOAT_EQ(v->presentation().center.x, 50);
  host->advance(0.5);
  View::Geometry g = v->presentation();
  EXPECT_NEAR(g.center.x, 150, 0.01);
  EXPECT_NEAR(g.center.y, 37.5, 0.01);
  EXPECT_NEAR(g.bounds.height, 75, 0.01);
  EXPECT_NEAR(g.alpha, 0.75, 0.01);
  EXPECT_EQ(log.events, (std::vector<std::string>{"start Move"}));
  host->advance(0.5);
  EXPECT_EQ(log.events, (std::vector<std::string>{"start Move", "Move done ctx"}));
  EXPECT_EQ(v->presentationFrame(), v->frame());
  EXPECT_EQ(Animator::shared().runningGroups(), 0u);
}

TEST_F(AnimationTest, EaseInOutIsSlowAtTheEndsAndTheDelayHoldsTheStart) {
  auto v = makeView({0, 0, 10, 10});
  Animations::animate(1.0, 0.5, {}, [&] { v->setCenter({105, 5}); });
  host->advance(0.4);
  EXPECT_FLOAT_EQ(v->presentation().center.x, 5);
  host->advance(0.2);  // 0.1 s into the run
  float early = v->presentation().center.x - 5;
  host->advance(0.4);  // 0.5 s: the middle
  EXPECT_NEAR(v->presentation().center.x, 55, 0.5);
  EXPECT_LT(early, 10);  // linear would be 10
  EXPECT_GT(early, 0);
}

TEST_F(AnimationTest, TurnsInterpolateByAngle) {
  auto v = makeView({0, 0, 100, 20});
  Animations::begin("toolOpen");
  Animations::setCurve(AnimationCurve::Linear);
  Animations::setDuration(0.2);
  v->setTransform(AffineTransform::makeRotation(-std::numbers::pi_v<float> / 2));
  Animations::commit();
  host->advance(0.1);
  AffineTransform t = v->presentation().transform;
  // Half way is an eighth turn, not a shrunken matrix.
  EXPECT_NEAR(std::hypot(t.a, t.b), 1, 1e-4);
  EXPECT_NEAR(std::atan2(t.b, t.a), -std::numbers::pi_v<float> / 4, 1e-3);
}

TEST_F(AnimationTest, StopsComeInEndOrderAndChainedOnesFollow) {
  auto a = makeView({0, 0, 10, 10}), b = makeView({0, 0, 10, 10});
  std::vector<std::string> order;
  auto stop = [&](const std::string& name, bool finished, void*) {
    order.push_back(name + (finished ? "" : "!"));
    if (name == "short") {
      Animations::begin("chained");
      Animations::setDuration(0.2);
      Animations::setDidStop([&](const std::string& n, bool, void*) { order.push_back(n); });
      a->setAlpha(0.2f);
      Animations::commit();
    }
  };
  Animations::begin("long");
  Animations::setDuration(0.5);
  Animations::setDidStop(stop);
  b->setCenter({50, 50});
  Animations::commit();
  Animations::begin("short");
  Animations::setDuration(0.2);
  Animations::setDidStop(stop);
  a->setCenter({50, 50});
  Animations::commit();
  Animations::begin("empty");  // nothing animatable changes: stops at once
  Animations::setDuration(0.3);
  Animations::setDidStop(stop);
  a->setHidden(true);
  Animations::commit();
  host->runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"empty"}));
  host->advance(0.2);
  EXPECT_EQ(order, (std::vector<std::string>{"empty", "short"}));
  host->advance(0.2);
  EXPECT_EQ(order, (std::vector<std::string>{"empty", "short", "chained"}));
  host->advance(0.1);
  EXPECT_EQ(order, (std::vector<std::string>{"empty", "short", "chained", "long"}));
}

TEST_F(AnimationTest, InstantModeKeepsTheTimedOrder) {
  host->setInstantAnimations(true);
  auto a = makeView({0, 0, 10, 10}), b = makeView({0, 0, 10, 10});
  std::vector<std::string> order;
  Animations::animate(0.5, [&] { b->setAlpha(0); }, [&](bool f) { order.push_back(f ? "long" : "long!"); });
  Animations::animate(0.2, [&] { a->setAlpha(0); }, [&](bool) {
    order.push_back("short");
    Animations::animate(0.2, [&] { a->setAlpha(1); }, [&](bool) { order.push_back("chained"); });
  });
  // Values are final at once, and nothing needs the clock to move.
  EXPECT_FLOAT_EQ(a->presentation().alpha, 0);
  host->runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"short", "chained", "long"}));
  EXPECT_DOUBLE_EQ(fd::RunLoop::main().now(), 0);
}

TEST_F(AnimationTest, ANewAnimationOfTheSamePropertyCutsTheOldOne) {
  auto v = makeView({0, 0, 10, 10});
  std::vector<std::string> order;
  Animations::animate(1.0, [&] { v->setCenter({100, 5}); }, [&](bool f) { order.push_back(f ? "first" : "first cut"); });
  host->advance(0.5);
  Animations::Options o;
  o.beginFromCurrentState = true;
  o.curve = AnimationCurve::Linear;
  float mid = v->presentation().center.x;
  Animations::animate(1.0, 0, o, [&] { v->setCenter({0, 5}); }, [&](bool f) { order.push_back(f ? "second" : "x"); });
  host->runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"first cut"}));
  EXPECT_NEAR(v->presentation().center.x, mid, 0.01);  // from where it was shown
  host->advance(1.0);
  EXPECT_EQ(order, (std::vector<std::string>{"first cut", "second"}));
  // A view freed mid-animation ends its group unfinished.
  Animations::animate(1.0, [&] { v->setAlpha(0); }, [&](bool f) { order.push_back(f ? "gone" : "gone cut"); });
  v->removeFromSuperview();
  v.reset();
  host->runUntilIdle();
  EXPECT_EQ(order.back(), "gone cut");
}

TEST_F(AnimationTest, NestedBlocksAndDisabledAnimations) {
  auto v = makeView({0, 0, 10, 10});
  std::vector<std::string> order;
  Animations::begin("outer");
  Animations::setDuration(0.4);
  Animations::setDidStop([&](const std::string& n, bool, void*) { order.push_back(n); });
  v->setAlpha(0.5f);
  Animations::begin("inner");
  Animations::setDuration(0.1);
  Animations::setDidStop([&](const std::string& n, bool, void*) { order.push_back(n); });
  v->setCenter({40, 40});
  Animations::commit();
  Animations::commit();
  host->advance(0.1);
  EXPECT_EQ(order, (std::vector<std::string>{"inner"}));
  host->advance(0.3);
  EXPECT_EQ(order, (std::vector<std::string>{"inner", "outer"}));
  Animations::setEnabled(false);
  Animations::animate(1.0, [&] { v->setCenter({0, 0}); });
  EXPECT_EQ(v->presentation().center, (Point{0, 0}));
  Animations::setEnabled(true);
}

// A view an animation moves or resizes takes a finger where it is drawn at
// that moment when the animation allows it (a canvas zooming takes the second
// tap of a double tap), or none at all: put down where it shows or where it
// will stand, the finger reaches neither it nor what lies under it there.
// Named blocks and the block form hold their views' touches unless allowed.
TEST_F(AnimationTest, AMovingOrResizingViewTakesATouchWhereItIsDrawnOrNone) {
  struct Counter : View {
    using View::View;
    int began = 0;
    void touchesBegan(const TouchSet&, const Event&) override { ++began; }
  };
  enum class Kind { Named, Block, Allowing };
  struct Case {
    Kind kind;
    float x;  // the tap, mid-way: moved, drawn at 100..200, bound for 200..300
    int moving, under;
    Rect from = {0, 0, 100, 100}, to = {200, 0, 100, 100};
  };
  // Resized, drawn at 0..200 mid-way, whether growing or shrinking.
  const Rect narrow{0, 0, 100, 100}, wide{0, 0, 300, 100};
  for (const Case c : {Case{Kind::Named, 150, 0, 0}, Case{Kind::Named, 250, 0, 0}, Case{Kind::Block, 150, 0, 0},
                       Case{Kind::Block, 250, 0, 0}, Case{Kind::Allowing, 150, 1, 0},
                       Case{Kind::Allowing, 250, 0, 1}, Case{Kind::Named, 50, 0, 1},
                       Case{Kind::Allowing, 150, 1, 0, narrow, wide}, Case{Kind::Allowing, 250, 0, 1, narrow, wide},
                       Case{Kind::Allowing, 150, 1, 0, wide, narrow}}) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " at " << c.x << " to " << c.to.width);
    auto under = std::make_shared<Counter>(Rect{0, 0, 400, 100});
    auto v = std::make_shared<Counter>(c.from);
    rootView()->addSubview(under);
    rootView()->addSubview(v);
    const auto move = [&] { v->setFrame(c.to); };
    if (c.kind == Kind::Named) {
      Animations::begin("Move");
      move();
      Animations::commit();
    } else {
      Animations::animate(0.2, 0, {.allowUserInteraction = c.kind == Kind::Allowing}, move);
    }
    host->advance(0.1);
    ASSERT_FLOAT_EQ(v->presentationFrame().x, (c.from.x + c.to.x) / 2);
    ASSERT_FLOAT_EQ(v->presentationFrame().width, (c.from.width + c.to.width) / 2);
    host->tap({c.x, 50});
    EXPECT_EQ(v->began, c.moving);
    EXPECT_EQ(under->began, c.under);
    host->advance(1);
    v->removeFromSuperview();
    under->removeFromSuperview();
  }
}

TEST_F(AnimationTest, DelayedPerformsRunInTimeOrderAndCancelByTarget) {
  auto v = makeView({0, 0, 10, 10});
  std::vector<std::string> order;
  int target = 0, other = 0;
  fd::RunLoop& loop = fd::RunLoop::main();
  // As the desk's undo button: alpha 1 now, back to 0.5 after 0.5 s.
  v->setAlpha(1);
  loop.performAfterDelay(0.5, [&] {
    v->setAlpha(0.5f);
    order.push_back("alpha");
  }, &target);
  loop.performAfterDelay(0.3, [&] { order.push_back("other"); }, &other);
  loop.performAfterDelay(0.6, [&] { order.push_back("cancelled"); }, &target);
  Animations::animate(0.4, [&] { v->setCenter({1, 1}); }, [&](bool) { order.push_back("anim"); });
  host->advance(0.55);
  EXPECT_EQ(order, (std::vector<std::string>{"other", "anim", "alpha"}));
  loop.cancelPerforms(&target);
  host->advance(1);
  EXPECT_EQ(order.size(), 3u);
  EXPECT_FLOAT_EQ(v->alpha(), 0.5f);
}
