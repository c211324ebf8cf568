// Composing only what changed: a quiet screen is not drawn again; after each
// kind of change (geometry, looks, content, the tree and its order, windows,
// animations and transitions, GL pictures) the kept frame equals a frame
// drawn whole, and only the changed part was drawn; a GL view that presents
// a part of its picture has only that part read and drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/GLView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"

using namespace ui;

namespace {

gfx::Image checker(int w, int h, std::uint8_t tint) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      const bool dark = ((x / 4) + (y / 4)) % 2 == 0;
      p[0] = dark ? tint : 240, p[1] = static_cast<std::uint8_t>(x * 7), p[2] = static_cast<std::uint8_t>(y * 5);
      p[3] = static_cast<std::uint8_t>(dark ? 255 : 180);
    }
  return img;
}

// Counts the layer pixels read.
class PaintedGLView : public ui_test::OwnContextGLView {
 public:
  explicit PaintedGLView(const Rect& frame) : OwnContextGLView(frame, 2.0f) {}
  long pixelsRead = 0;

 protected:
  bool readPresentedRect(const glx::PixelBox& box, std::uint8_t* out) override {
    pixelsRead += long(box.width) * box.height;
    readRect(box, out);
    return true;
  }
};

class ScreenComposeTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    Screen::configure(false, 2.0f);
  }
  Application& app() { return Application::shared(); }
  // Composes the kept frame, then one drawn whole, and compares them.
  bool composeAndCompare(const std::string& what) {
    const bool changed = app().composeScreen();
    Compositor whole;
    whole.setIncremental(false);
    const Rect b = Screen::main().bounds();
    whole.composeScreen(app().windows(), {b.width, b.height}, Screen::main().scale());
    const Compositor& kept = app().compositor();
    EXPECT_EQ(kept.frameWidth(), whole.frameWidth());
    EXPECT_EQ(kept.frameHeight(), whole.frameHeight());
    // A scaled picture drawn from the middle of a row steps through its
    // source from another start than the row drawn whole, and its filter
    // weights may round apart: a few levels at sharp edges, no more.
    int worst = 0;
    for (int y = 0; y < kept.frameHeight(); ++y) {
      const auto* a = reinterpret_cast<const std::uint8_t*>(kept.framePixels()) + y * kept.frameStride();
      const auto* c = reinterpret_cast<const std::uint8_t*>(whole.framePixels()) + y * whole.frameStride();
      for (int i = 0; i < kept.frameWidth() * 4; ++i) worst = std::max(worst, std::abs(int(a[i]) - int(c[i])));
    }
    EXPECT_LE(worst, 4) << what;
    return changed;
  }
  long changedArea() const {
    long area = 0;
    for (const PixelRect& r : Application::shared().compositor().changedRects()) area += long(r.width) * r.height;
    return area;
  }
  long frameArea() const {
    const Compositor& c = Application::shared().compositor();
    return long(c.frameWidth()) * c.frameHeight();
  }
};

TEST_F(ScreenComposeTest, AQuietScreenIsNotDrawnAgainAndAChangeRedrawsOnlyItsPart) {
  rootView()->setBackgroundColor({0.9f, 0.85f, 0.7f, 1});
  auto label = std::make_shared<Label>(Rect{20, 20, 80, 20});
  label->setText("one");
  rootView()->addSubview(label);
  EXPECT_TRUE(composeAndCompare("first frame"));
  EXPECT_EQ(changedArea(), frameArea());
  EXPECT_FALSE(app().composeScreen());
  EXPECT_TRUE(app().compositor().changedRects().empty());
  host->advance(5);
  EXPECT_FALSE(app().composeScreen()) << "time alone changes nothing";
  label->setText("two");
  EXPECT_TRUE(composeAndCompare("label text"));
  EXPECT_GT(changedArea(), 0);
  EXPECT_LT(changedArea(), long(84 * 24 * 4) + 200) << "only the label's pixels (and a margin)";
  // Setting what is already there is no change.
  label->setText("two");
  label->setFrame(label->frame());
  label->setHidden(false);
  EXPECT_FALSE(app().composeScreen());
}

TEST_F(ScreenComposeTest, EveryKindOfChangeLeavesTheFrameAsAWholeDrawingWouldBe) {
  rootView()->setBackgroundColor({0.2f, 0.3f, 0.35f, 1});
  Picture pic(checker(40, 30, 20)), other(checker(40, 30, 200));
  auto a = std::make_shared<ImageView>(pic);
  a->setFrame({30, 30, 60, 45});
  auto b = std::make_shared<View>(Rect{70, 50, 80, 60});
  b->setBackgroundColor({0.8f, 0.2f, 0.1f, 0.7f});
  auto group = std::make_shared<View>(Rect{200, 40, 160, 120});
  group->setAlpha(0.6f);
  group->setBackgroundColor({0.1f, 0.6f, 0.3f, 1});
  auto inner = std::make_shared<ImageView>(pic);
  inner->setFrame({20, 20, 50, 40});
  group->addSubview(inner);
  auto clip = std::make_shared<View>(Rect{40, 180, 120, 80});
  clip->setClipsToBounds(true);
  clip->setBackgroundColor({0.95f, 0.95f, 0.9f, 1});
  auto clipped = std::make_shared<View>(Rect{90, 40, 60, 60});
  clipped->setBackgroundColor({0.1f, 0.1f, 0.8f, 1});
  clip->addSubview(clipped);
  // Aspect fill without clipping draws beyond the view's bounds.
  auto spill = std::make_shared<ImageView>(Rect{300, 200, 40, 80});
  spill->setContentMode(ContentMode::ScaleAspectFill);
  spill->setImage(pic);
  auto turned = std::make_shared<View>(Rect{380, 60, 50, 30});
  turned->setBackgroundColor({0.9f, 0.8f, 0.1f, 1});
  turned->setTransform(AffineTransform::makeRotation(std::numbers::pi_v<float> / 7));
  auto scroll = std::make_shared<ScrollView>(Rect{180, 230, 100, 60});
  scroll->setContentSize({300, 60});
  for (int i = 0; i < 3; ++i) {
    auto cell = std::make_shared<ImageView>(i % 2 ? other : pic);
    cell->setFrame({i * 100.0f + 10, 5, 80, 50});
    scroll->addSubview(cell);
  }
  for (auto v : std::vector<std::shared_ptr<View>>{a, b, group, clip, spill, turned, scroll}) rootView()->addSubview(v);
  ASSERT_TRUE(composeAndCompare("first frame"));

  std::vector<std::shared_ptr<Window>> keep;
  struct Step {
    std::string what;
    std::function<void()> change;
  };
  std::vector<Step> steps = {
      {"move", [&] { b->setCenter({140, 90}); }},
      {"alpha", [&] { b->setAlpha(0.3f); }},
      {"background", [&] { a->setBackgroundColor({0, 1, 0, 1}); }},
      {"picture", [&] { a->setImage(other); }},
      {"highlighted picture", [&] {
         a->setHighlightedImage(pic);
         a->setHighlighted(true);
       }},
      {"hidden", [&] { b->setHidden(true); }},
      {"shown", [&] { b->setHidden(false); }},
      {"to the front", [&] { rootView()->bringSubviewToFront(a.get()); }},
      {"to the back", [&] { rootView()->sendSubviewToBack(group.get()); }},
      {"inside a faded group", [&] { inner->setCenter({100, 70}); }},
      {"group alpha", [&] { group->setAlpha(0.9f); }},
      {"clipped child moves out", [&] { clipped->setCenter({140, 90}); }},
      {"spilling picture", [&] { spill->setImage(other); }},
      {"content mode", [&] { spill->setContentMode(ContentMode::Center); }},
      {"turn", [&] { turned->setTransform(AffineTransform::makeRotation(-0.3f)); }},
      {"scroll", [&] { scroll->setContentOffset({140, 0}); }},
      {"removed", [&] { inner->removeFromSuperview(); }},
      {"added", [&] {
         auto late = std::make_shared<View>(Rect{10, 250, 30, 30});
         late->setBackgroundColor({1, 1, 1, 1});
         rootView()->addSubview(late);
       }},
      {"window above", [&] {
         auto top = std::make_shared<Window>(Rect{100, 100, 120, 60});
         top->setBackgroundColor({0.3f, 0.3f, 0.3f, 0.8f});
         top->setWindowLevel(Window::kLevelAlert);
         top->makeKeyAndVisible();
         keep.push_back(top);
       }},
      {"window gone", [&] { app().removeWindow(keep.back().get()); }},
  };
  for (const Step& step : steps) {
    step.change();
    EXPECT_TRUE(composeAndCompare(step.what)) << step.what;
    EXPECT_LT(changedArea(), frameArea()) << step.what << ": only a part is drawn";
    EXPECT_FALSE(app().composeScreen()) << step.what << ": nothing more to draw";
  }
}

TEST_F(ScreenComposeTest, AnimationsAndTransitionsAreComposedWhileTheyRunAndNotAfter) {
  rootView()->setBackgroundColor({0.5f, 0.5f, 0.55f, 1});
  auto box = std::make_shared<View>(Rect{20, 20, 60, 40});
  box->setBackgroundColor({0.9f, 0.1f, 0.1f, 1});
  rootView()->addSubview(box);
  auto page = std::make_shared<View>(Rect{200, 100, 160, 120});
  page->setBackgroundColor({1, 1, 0.9f, 1});
  auto mark = std::make_shared<View>(Rect{10, 10, 40, 40});
  mark->setBackgroundColor({0, 0, 0.7f, 1});
  page->addSubview(mark);
  rootView()->addSubview(page);
  ASSERT_TRUE(composeAndCompare("first frame"));

  Animations::animate(0.5, [&] { box->setCenter({300, 260}); });
  Animations::begin("curl");
  Animations::setDuration(0.4);
  Animations::setTransition(AnimationTransition::CurlUp, page.get());
  mark->setBackgroundColor({0, 0.7f, 0, 1});
  Animations::commit();
  for (int i = 0; i < 5; ++i) {
    host->advance(0.08);
    EXPECT_TRUE(composeAndCompare("frame " + std::to_string(i) + " of the animations"));
  }
  host->advance(0.2);
  EXPECT_TRUE(composeAndCompare("the last step"));
  host->advance(0.1);
  app().composeScreen();
  EXPECT_FALSE(app().composeScreen()) << "ended animations cost nothing";
  EXPECT_EQ(box->presentationFrame(), box->frame());
}

TEST_F(ScreenComposeTest, AGLViewPresentingAPartHasOnlyThatPartReadAndDrawn) {
  rootView()->setBackgroundColor({0.3f, 0.2f, 0.1f, 1});
  auto gl = std::make_shared<PaintedGLView>(Rect{40, 20, 192, 144});
  rootView()->addSubview(gl);
  const int w = gl->layer().storageWidth(), h = gl->layer().storageHeight();
  ASSERT_EQ(w, 384);
  ASSERT_EQ(h, 288);
  gl->paint({0, 0, w, h}, 1, 1, 1, false);
  ASSERT_TRUE(composeAndCompare("first picture"));
  EXPECT_EQ(gl->pixelsRead, long(w) * h);

  // Two small presents between composes: only their pixels are read, and
  // only about their part of the frame is drawn.
  gl->pixelsRead = 0;
  gl->paint({10, 10, 20, 20}, 1, 0, 0, true);
  gl->paint({300, 200, 30, 10}, 0, 0, 1, true);
  EXPECT_TRUE(composeAndCompare("two painted parts"));
  EXPECT_LE(gl->pixelsRead, long(320 + 2) * (210 + 2));
  EXPECT_LT(changedArea(), frameArea() / 4);
  gfx::Image shot = host->screenshot();
  // Layer pixel (20, 20) from the bottom is frame point (40 + 10, 20 + 144 - 10).
  const std::uint8_t* red = shot.pixel(2 * 40 + 20, 2 * (20 + 144) - 20 - 1);
  EXPECT_EQ(red[0], 255);
  EXPECT_EQ(red[2], 0);

  // A present that tells nothing is read whole.
  gl->pixelsRead = 0;
  gl->paint({100, 100, 5, 5}, 0, 1, 0, false);
  EXPECT_TRUE(composeAndCompare("untold present"));
  EXPECT_EQ(gl->pixelsRead, long(w) * h);

  // An empty change presents nothing new.
  gl->layer().addDamage({});
  gl->paint({0, 0, 0, 0}, 0, 0, 0, true);
  EXPECT_FALSE(app().composeScreen());
}

TEST_F(ScreenComposeTest, AWholeDrawingCompositorReadsGLPicturesWhole) {
  auto gl = std::make_shared<PaintedGLView>(Rect{0, 0, 100, 100});
  rootView()->addSubview(gl);
  gl->paint({0, 0, 200, 200}, 0, 0, 0, false);
  app().composeScreen();
  app().compositor().setIncremental(false);
  gl->pixelsRead = 0;
  gl->paint({0, 0, 10, 10}, 1, 0, 0, true);
  EXPECT_TRUE(app().composeScreen());
  EXPECT_EQ(gl->pixelsRead, 200L * 200);
  EXPECT_EQ(changedArea(), frameArea());
  app().compositor().setIncremental(true);
}

}  // namespace
