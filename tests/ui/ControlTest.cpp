// Buttons: per-state looks with fallback to normal, target-actions on
// touch-down and touch-up-inside, tracking margin, disabled buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/ui/Button.h"

using namespace ui;

namespace {
gfx::Image solid(int w, int h, std::uint8_t r) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = r, p[1] = 0, p[2] = 0, p[3] = 255;
    }
  return img;
}
}  // namespace

class ControlTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    button = Button::make(ButtonType::Custom, {100, 100, 80, 40});
    rootView()->addSubview(button);
    button->addTarget(this, [this](Control*, const Event*) { log.push_back("down"); }, TouchDown);
    button->addTarget(this, [this](Control*, const Event*) { log.push_back("up-inside"); }, TouchUpInside);
    button->addTarget(this, [this](Control*, const Event*) { log.push_back("up-outside"); }, TouchUpOutside);
    button->addTarget(this, [this](Control*, const Event*) { log.push_back("cancel"); }, TouchCancel);
  }
  std::shared_ptr<Button> button;
  std::vector<std::string> log;
};

TEST_F(ControlTest, StateValuesFallBackToNormal) {
  Picture normal(solid(10, 10, 10)), selected(solid(10, 10, 200)), bg(solid(4, 4, 50));
  button->setImage(normal);
  button->setImage(selected, StateSelected);
  button->setBackgroundImage(bg);
  button->setTitle("Forground");
  button->setTitle("Middle Ground", StateSelected);
  button->setTitleColor(Color{1, 0, 0, 1}, StateHighlighted);
  EXPECT_EQ(button->currentTitle(), "Forground");
  EXPECT_EQ(button->currentImage(), normal);
  button->setSelected(true);
  EXPECT_EQ(button->state(), unsigned(StateSelected));
  EXPECT_EQ(button->currentTitle(), "Middle Ground");
  EXPECT_EQ(button->currentImage(), selected);
  EXPECT_EQ(button->currentBackgroundImage(), bg);  // none for selected: normal's
  EXPECT_EQ(button->titleLabel()->text(), "Middle Ground");
  EXPECT_EQ(button->imageView()->image(), selected);
  button->setSelected(false);
  button->setEnabled(false);
  EXPECT_EQ(button->state(), unsigned(StateDisabled));
  EXPECT_EQ(button->currentTitle(), "Forground");
  EXPECT_FALSE(button->titleForState(StateDisabled).has_value());
  button->setTitle(std::nullopt);
  EXPECT_EQ(button->currentTitle(), "");
}

TEST_F(ControlTest, ContentAlignmentPlacesPictureAndTitleAcrossTheWidth) {
  button->setImage(Picture(solid(10, 10, 10)));
  button->setTitle("Go");
  button->layoutIfNeeded();
  const float centred = button->imageView()->frame().x;
  button->setContentHorizontalAlignment(ContentHorizontalAlignment::Left);
  button->layoutIfNeeded();
  EXPECT_EQ(button->imageView()->frame().x, 0);
  EXPECT_EQ(button->titleLabel()->frame().x, 10);
  button->setContentHorizontalAlignment(ContentHorizontalAlignment::Right);
  button->layoutIfNeeded();
  const Rect title = button->titleLabel()->frame();
  EXPECT_FLOAT_EQ(title.x + title.width, button->bounds().width);
  EXPECT_GT(button->imageView()->frame().x, centred);
}

TEST_F(ControlTest, HighlightFollowsTheFingerAndTitleColourWithIt) {
  button->setTitle("Go");
  host->touchDown(1, {120, 120});
  EXPECT_TRUE(button->isHighlighted());
  EXPECT_EQ(button->titleLabel()->textColor(), (Color{1, 1, 1, 1}));
  button->setTitleColor(Color{1, 0, 0, 1}, StateHighlighted);
  EXPECT_EQ(button->titleLabel()->textColor(), (Color{1, 0, 0, 1}));
  host->touchMove(1, {400, 300});  // far outside the tracking margin
  EXPECT_FALSE(button->isHighlighted());
  host->touchMove(1, {200, 150});  // inside the 70-point margin
  EXPECT_TRUE(button->isHighlighted());
  host->touchUp(1, {200, 150});
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_EQ(log, (std::vector<std::string>{"down", "up-inside"}));
}

TEST_F(ControlTest, TouchUpOutsideAndCancel) {
  host->touchDown(1, {120, 120});
  host->touchUp(1, {300, 120});  // 120 points right of the button
  host->touchDown(1, {120, 120});
  host->touchCancel(1);
  EXPECT_EQ(log, (std::vector<std::string>{"down", "up-outside", "down", "cancel"}));
  EXPECT_FALSE(button->isTracking());
}

TEST_F(ControlTest, DisabledButtonSwallowsTouchesWithoutActing) {
  struct Below : View {
    using View::View;
    int began = 0;
    void touchesBegan(const TouchSet&, const Event&) override { ++began; }
  };
  auto below = std::make_shared<Below>(Rect{0, 0, 480, 320});
  rootView()->insertSubview(below, 0);
  button->setEnabled(false);
  host->tap({120, 120});
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(below->began, 0);
  button->setEnabled(true);
  host->tap({120, 120});
  EXPECT_EQ(log, (std::vector<std::string>{"down", "up-inside"}));
}

TEST_F(ControlTest, TargetsRunInOrderAndCanBeRemoved) {
  int other = 0;
  button->addTarget(&other, [&other](Control* sender, const Event* e) {
    EXPECT_NE(sender, nullptr);
    EXPECT_NE(e, nullptr);
    ++other;
  }, TouchUpInside);
  host->tap({120, 120});
  EXPECT_EQ(other, 1);
  button->removeTarget(this, TouchUpInside);
  host->tap({120, 120});
  EXPECT_EQ(log, (std::vector<std::string>{"down", "up-inside", "down"}));
  EXPECT_EQ(other, 2);
  // An action that removes the button from the tree mid-dispatch is safe.
  button->addTarget(nullptr, [](Control* c, const Event*) { c->removeFromSuperview(); }, TouchUpInside);
  std::weak_ptr<Button> weak = button;
  button.reset();
  host->tap({120, 120});
  EXPECT_TRUE(weak.expired());
}

TEST_F(ControlTest, ButtonLaysOutImageAndTitleWithInsets) {
  button->setFrame({0, 0, 120, 40});
  button->setImage(Picture(solid(20, 20, 10)));
  button->setTitle("Ab");
  button->layoutIfNeeded();
  Rect ir = button->imageView()->frame(), tr = button->titleLabel()->frame();
  EXPECT_FLOAT_EQ(ir.y, 10);
  EXPECT_FLOAT_EQ(ir.x + ir.width, tr.x);  // side by side
  EXPECT_NEAR((ir.x + tr.x + tr.width) / 2, 60, 0.5f);  // centred together
  button->setTitleEdgeInsets({0, 10, 2, 0});
  button->layoutIfNeeded();
  Rect moved = button->titleLabel()->frame();
  EXPECT_FLOAT_EQ(moved.x, tr.x + 10);
  EXPECT_FLOAT_EQ(moved.height, tr.height - 2);
}
