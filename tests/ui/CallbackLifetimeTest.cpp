// Callbacks that close or free what called them: an alert whose fade ends
// while the screen is composed, layouts and drawings that close windows or
// take views out of the tree, touch answers that cancel every finger or close
// the window a finger is in, and animation delegates that are gone before
// their animation stops. Run under the sanitizer build, any use of what was
// freed is reported; the checks here say what the screen and the views must
// show afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Screen.h"

using namespace ui;

namespace {

constexpr Color kGreen{0, 0.8f, 0, 1};

class SheetLog : public ButtonSheetDelegate {
 public:
  std::vector<std::string> events;
  void clickedButtonAtIndex(ButtonSheet&, int i) override { events.push_back("clicked " + std::to_string(i)); }
  void didDismissWithButtonIndex(ButtonSheet&, int i) override { events.push_back("did " + std::to_string(i)); }
};

struct Pixel {
  int r, g, b;
};

// One screen point of the last composed frame (opaque there).
Pixel frameAt(Point p) {
  const Compositor& c = Application::shared().compositor();
  const float s = Screen::main().scale();
  const int x = static_cast<int>(p.x * s), y = static_cast<int>(p.y * s);
  const std::uint32_t w = c.framePixels()[y * (c.frameStride() / 4) + x];
  return {int((w >> 16) & 255), int((w >> 8) & 255), int(w & 255)};
}

bool isGreen(Pixel c) { return c.r < 10 && c.g > 190 && c.b < 10; }

// Runs a function once, at its next layout.
class LayoutHook : public View {
 public:
  using View::View;
  std::function<void()> onLayout;
  void layoutSubviews() override {
    if (auto fn = std::exchange(onLayout, nullptr)) fn();
  }
};

// Runs a function once, while the compositor draws it.
class DrawHook : public View {
 public:
  using View::View;
  std::function<void()> onDraw;
  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const Rect& r) override {
    ctx.setFillColor({0, 0, 0.9f, 1});
    ctx.fillRect(r);
    if (auto fn = std::exchange(onDraw, nullptr)) fn();
  }
};

// Records the touches it hears; a function may answer one phase.
class TouchLog : public View {
 public:
  using View::View;
  std::vector<std::string> heard;
  std::function<void()> onBegan, onEnded;
  void touchesBegan(const TouchSet& t, const Event&) override {
    heard.push_back("began " + std::to_string(t.size()));
    if (auto fn = std::exchange(onBegan, nullptr)) fn();
  }
  void touchesMoved(const TouchSet& t, const Event&) override { heard.push_back("moved " + std::to_string(t.size())); }
  void touchesEnded(const TouchSet& t, const Event&) override {
    heard.push_back("ended " + std::to_string(t.size()));
    if (auto fn = std::exchange(onEnded, nullptr)) fn();
  }
  void touchesCancelled(const TouchSet& t, const Event&) override {
    heard.push_back("cancelled " + std::to_string(t.size()));
  }
};

}  // namespace

class CallbackLifetimeTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    rootView()->setBackgroundColor(kGreen);
  }
  Application& app() { return Application::shared(); }
};

TEST_F(CallbackLifetimeTest, SheetsWhoseFadeEndsInsideACompositionAreNeverDrawnOnceFreed) {
  const Point middle{240, 160};
  app().composeScreen();
  ASSERT_TRUE(isGreen(frameAt(middle)));

  struct Case {
    const char* what;
    std::function<void(SheetLog*)> show;
    int cancelIndex;
  } cases[] = {
      {"an alert", [](SheetLog* log) { AlertView::make("Clear", "Clear this page?", log, "Cancel", {"Clear"})->show(); },
       0},
      {"an action sheet",
       [this](SheetLog* log) {
         ActionSheet::make("", log, "Cancel", std::nullopt, {"camera", "album"})->showInView(rootView());
       },
       2},
  };
  for (const Case& c : cases) {
    SheetLog log;
    c.show(&log);
    ASSERT_EQ(host->alerts().size(), 1u) << c.what;
    std::weak_ptr<View> sheetWindow = host->alerts()[0]->window()->self();
    host->advance(0.5);  // shown in full
    app().composeScreen();
    EXPECT_FALSE(isGreen(frameAt(middle))) << c.what << " darkens the screen";

    ASSERT_TRUE(host->pressAlertButton("Cancel")) << c.what;
    // The fade's end falls due while the main thread is busy; the next
    // composition is the first to run the animations, and the sheet's
    // window goes inside it.
    fd::RunLoop::main().stall(ButtonSheet::kFadeDuration + 0.05);
    EXPECT_FALSE(sheetWindow.expired()) << c.what;
    app().composeScreen();
    EXPECT_TRUE(sheetWindow.expired()) << c.what << "'s window is freed once the composition ends";
    EXPECT_TRUE(host->alerts().empty()) << c.what;
    EXPECT_EQ(log.events, (std::vector<std::string>{"clicked " + std::to_string(c.cancelIndex),
                                                    "did " + std::to_string(c.cancelIndex)}))
        << c.what;
    EXPECT_TRUE(isGreen(frameAt(middle))) << c.what << " leaves the screen as it was";
  }
}

TEST_F(CallbackLifetimeTest, ALayoutThatClosesItsWindowOrOpensAnotherIsComposedSafely) {
  app().composeScreen();
  // An overlay window whose content closes the window at its next layout;
  // the application held the last reference.
  {
    auto overlay = std::make_shared<Window>(Rect{0, 0, 480, 320});
    overlay->setWindowLevel(Window::kLevelAlert);
    auto closer = std::make_shared<LayoutHook>(Rect{100, 100, 50, 50});
    closer->setBackgroundColor({0.9f, 0, 0, 1});
    Window* raw = overlay.get();
    closer->onLayout = [raw] { Application::shared().removeWindow(raw); };
    overlay->addSubview(closer);
    overlay->makeKeyAndVisible();
  }
  std::weak_ptr<View> gone = app().windows().back()->self();
  app().composeScreen();
  EXPECT_TRUE(gone.expired());
  EXPECT_EQ(app().windows().size(), 1u);
  EXPECT_TRUE(isGreen(frameAt({125, 125}))) << "the closed window is not drawn";

  // A layout that opens a window: the new one is laid out and drawn in the
  // same composition.
  auto opener = std::make_shared<LayoutHook>(Rect{10, 10, 20, 20});
  std::shared_ptr<LayoutHook> inner;
  opener->onLayout = [&inner] {
    auto w = std::make_shared<Window>(Rect{0, 0, 480, 320});
    w->setWindowLevel(Window::kLevelAlert);
    inner = std::make_shared<LayoutHook>(Rect{200, 200, 40, 40});
    inner->setBackgroundColor({0.9f, 0, 0, 1});
    inner->onLayout = [] {};
    w->addSubview(inner);
    w->makeKeyAndVisible();
  };
  rootView()->addSubview(opener);
  app().composeScreen();
  EXPECT_EQ(app().windows().size(), 2u);
  EXPECT_EQ(inner->onLayout, nullptr) << "the window opened during layout was laid out";
  const Pixel red = frameAt({220, 220});
  EXPECT_GT(red.r, 200) << "and drawn";
}

TEST_F(CallbackLifetimeTest, ADrawingThatTakesViewsOutOfTheTreeFinishesTheFrame) {
  app().composeScreen();
  // Three siblings; the first one's drawing takes itself and the last out
  // of the tree, whose references it held alone.
  auto a = std::make_shared<DrawHook>(Rect{10, 10, 40, 40});
  auto b = std::make_shared<DrawHook>(Rect{60, 10, 40, 40});
  auto c = std::make_shared<DrawHook>(Rect{110, 10, 40, 40});
  View* parent = rootView();
  parent->addSubview(a);
  parent->addSubview(b);
  parent->addSubview(c);
  std::weak_ptr<View> weakA = a, weakC = c;
  View* rawA = a.get();
  View* rawC = c.get();
  a->onDraw = [rawA, rawC] {
    rawC->removeFromSuperview();
    rawA->removeFromSuperview();
  };
  a.reset();
  c.reset();
  EXPECT_TRUE(app().composeScreen());
  EXPECT_TRUE(weakA.expired()) << "freed once the frame is drawn";
  EXPECT_TRUE(weakC.expired());
  EXPECT_GT(frameAt({80, 30}).b, 200) << "the sibling between them is drawn";
  // The next frame shows what the tree now holds.
  EXPECT_TRUE(app().composeScreen());
  EXPECT_TRUE(isGreen(frameAt({30, 30})));
  EXPECT_TRUE(isGreen(frameAt({130, 30})));
  EXPECT_GT(frameAt({80, 30}).b, 200);
}

TEST_F(CallbackLifetimeTest, ATouchAnswerThatCancelsEveryFingerEndsTheEventCleanly) {
  auto left = std::make_shared<TouchLog>(Rect{0, 0, 200, 320});
  auto right = std::make_shared<TouchLog>(Rect{240, 0, 200, 320});
  rootView()->addSubview(left);
  rootView()->addSubview(right);
  // Two fingers come down together; the first view's answer sends the
  // program to the background, which cancels every finger.
  left->onBegan = [] { Application::shared().enterBackground(); };
  host->touches({{1, {50, 50}, TouchPhase::Began}, {2, {300, 50}, TouchPhase::Began}});
  EXPECT_EQ(left->heard, (std::vector<std::string>{"began 1", "cancelled 1"}));
  EXPECT_EQ(right->heard, (std::vector<std::string>{"cancelled 1"})) << "a cancelled finger never begins";
  EXPECT_EQ(app().touches().activeTouches(), 0u);
  // The fingers' later moves and lifts reach nobody.
  host->touches({{1, {60, 60}, TouchPhase::Moved}, {2, {310, 60}, TouchPhase::Ended}});
  EXPECT_EQ(left->heard.size(), 2u);
  EXPECT_EQ(right->heard.size(), 1u);
  app().enterForeground();

  // A lift whose answer resets the application (every window and touch
  // dropped) while another finger moves in the same event.
  left->heard.clear();
  right->heard.clear();
  host->touches({{3, {50, 50}, TouchPhase::Began}, {4, {300, 50}, TouchPhase::Began}});
  left->onEnded = [] { Application::shared().reset(); };
  host->touches({{3, {50, 50}, TouchPhase::Ended}, {4, {300, 80}, TouchPhase::Moved}});
  EXPECT_EQ(left->heard, (std::vector<std::string>{"began 1", "ended 1"}));
  EXPECT_EQ(right->heard, (std::vector<std::string>{"began 1", "moved 1"}));
  EXPECT_EQ(app().touches().activeTouches(), 0u);
  EXPECT_TRUE(app().windows().empty());
}

TEST_F(CallbackLifetimeTest, AFingerOutlivesTheWindowItBeganIn) {
  auto overlay = std::make_shared<Window>(Rect{0, 0, 480, 320});
  overlay->setWindowLevel(Window::kLevelAlert);
  auto pad = std::make_shared<TouchLog>(Rect{0, 0, 480, 320});
  pad->setMultipleTouchEnabled(true);
  overlay->addSubview(pad);
  overlay->makeKeyAndVisible();
  Window* raw = overlay.get();
  overlay.reset();
  // The first finger's lift closes the window; the second finger, still
  // down in it, moves and lifts.
  host->touchDown(1, {100, 100});
  host->touchDown(2, {300, 100});
  pad->onEnded = [raw] { Application::shared().removeWindow(raw); };
  host->touchUp(1, {100, 100});
  EXPECT_EQ(app().windows().size(), 1u);
  host->touchMove(2, {310, 120});
  host->touchUp(2, {310, 120});
  EXPECT_EQ(pad->heard, (std::vector<std::string>{"began 1", "began 1", "ended 1", "moved 1", "ended 1"}));
  EXPECT_EQ(app().touches().touchFor(2), nullptr) << "the finger is gone once lifted";
}

TEST_F(CallbackLifetimeTest, AnAnimationDelegateDestroyedBeforeItsAnimationHearsNothing) {
  struct Heard : AnimationDelegate {
    int* starts = nullptr;
    int* stops = nullptr;
    void animationWillStart(const std::string&, void*) override { ++*starts; }
    void animationDidStop(const std::string&, bool, void*) override { ++*stops; }
  };
  int starts = 0, stops = 0;
  auto moving = std::make_shared<View>(Rect{0, 0, 10, 10});
  rootView()->addSubview(moving);

  // Gone before the start is told, and before the stop.
  std::optional<Heard> slot;
  slot.emplace();
  slot->starts = &starts;
  slot->stops = &stops;
  Animations::begin("slide");
  Animations::setDuration(0.2);
  Animations::setDelegate(&*slot);
  moving->setCenter({100, 100});
  Animations::commit();
  slot.reset();
  host->advance(0.5);
  EXPECT_EQ(starts, 0);
  EXPECT_EQ(stops, 0);

  // Told of the start, then gone before the stop.
  slot.emplace();
  slot->starts = &starts;
  slot->stops = &stops;
  Animations::begin("back");
  Animations::setDuration(0.2);
  Animations::setDelegate(&*slot);
  moving->setCenter({5, 5});
  Animations::commit();
  host->advance(0.05);
  EXPECT_EQ(starts, 1);
  slot.reset();
  host->advance(0.5);
  EXPECT_EQ(stops, 0);

  // One that lives hears both.
  Heard kept;
  kept.starts = &starts;
  kept.stops = &stops;
  Animations::begin("again");
  Animations::setDuration(0.2);
  Animations::setDelegate(&kept);
  moving->setCenter({50, 50});
  Animations::commit();
  host->advance(0.5);
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(stops, 1);
}

TEST_F(CallbackLifetimeTest, AFingerOnAControlWhoseOwnerHasGoneHearsNothingMore) {
  // A panel that owns its view and buttons; the buttons' actions reach the
  // panel, which closes (and is freed) when its close button is pressed.
  std::vector<std::string> heard;
  struct Panel {
    std::shared_ptr<View> view = std::make_shared<View>(Rect{0, 0, 480, 320});
    std::shared_ptr<Button> close = Button::make(ButtonType::Custom);
    std::shared_ptr<Button> ok = Button::make(ButtonType::Custom);
    std::vector<std::string>* heard;
    std::unique_ptr<Panel>* owner;
    Panel(View* parent, std::vector<std::string>* log, std::unique_ptr<Panel>* slot) : heard(log), owner(slot) {
      close->setFrame({20, 20, 100, 60});
      ok->setFrame({300, 20, 100, 60});
      view->addSubview(close);
      view->addSubview(ok);
      parent->addSubview(view);
      close->addTarget(this, [this](Control*, const Event*) {
        heard->push_back("close");
        owner->reset();
      }, TouchUpInside);
      ok->addTarget(this, [this](Control*, const Event*) { heard->push_back("ok"); },
                    TouchUpInside | TouchUpOutside | TouchCancel);
    }
    ~Panel() { view->removeFromSuperview(); }
  };

  // Lifted in one event: the close comes first and frees the panel.
  std::unique_ptr<Panel> panel = std::make_unique<Panel>(rootView(), &heard, &panel);
  host->touches({{1, {50, 50}, TouchPhase::Began}, {2, {350, 50}, TouchPhase::Began}});
  host->touches({{1, {50, 50}, TouchPhase::Ended}, {2, {350, 50}, TouchPhase::Ended}});
  EXPECT_EQ(panel, nullptr);
  EXPECT_EQ(heard, (std::vector<std::string>{"close"}));
  EXPECT_EQ(app().touches().activeTouches(), 0u);

  // Lifted one after the other: the second finger's later move and lift
  // reach nobody.
  heard.clear();
  panel = std::make_unique<Panel>(rootView(), &heard, &panel);
  host->touchDown(1, {50, 50});
  host->touchDown(2, {350, 50});
  host->touchUp(1, {50, 50});
  EXPECT_EQ(panel, nullptr);
  host->touchMove(2, {355, 55});
  host->touchUp(2, {355, 55});
  EXPECT_EQ(heard, (std::vector<std::string>{"close"}));
  EXPECT_EQ(app().touches().activeTouches(), 0u);

  // A view out of the tree that its owner still holds goes on hearing its
  // finger, as a view carried from one parent to another does.
  heard.clear();
  panel = std::make_unique<Panel>(rootView(), &heard, &panel);
  host->touchDown(2, {350, 50});
  panel->view->removeFromSuperview();
  host->touchUp(2, {350, 50});
  EXPECT_EQ(heard, (std::vector<std::string>{"ok"}));
}
