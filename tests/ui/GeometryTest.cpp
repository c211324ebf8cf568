// View geometry: frames under rotation and scale, conversions, autoresizing,
// the tree's order operations and tags.
#include <gtest/gtest.h>

#include <numbers>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

using namespace ui;

namespace {
constexpr float kPi = std::numbers::pi_v<float>;

void expectRect(const Rect& r, float x, float y, float w, float h) {
  EXPECT_NEAR(r.x, x, 1e-3f);
  EXPECT_NEAR(r.y, y, 1e-3f);
  EXPECT_NEAR(r.width, w, 1e-3f);
  EXPECT_NEAR(r.height, h, 1e-3f);
}
void expectPoint(Point p, float x, float y) {
  EXPECT_NEAR(p.x, x, 1e-3f);
  EXPECT_NEAR(p.y, y, 1e-3f);
}
}  // namespace

class GeometryTest : public testing_support::SandboxTest {};

TEST_F(GeometryTest, RotatedViewFrameIsItsBoundingBox) {
  auto v = std::make_shared<View>(Rect{50, 75, 100, 50});
  v->setTransform(AffineTransform::makeRotation(kPi / 2));
  expectRect(v->frame(), 75, 50, 50, 100);
  // Bounds and centre keep the model values.
  expectRect(v->bounds(), 0, 0, 100, 50);
  expectPoint(v->center(), 100, 100);
  v->setTransform(AffineTransform::makeRotation(kPi / 4));
  float half = (100 + 50) * std::sqrt(0.5f) / 2;
  expectRect(v->frame(), 100 - half, 100 - half, 2 * half, 2 * half);
}

TEST_F(GeometryTest, ScaleAndTranslationMoveTheFrameButNotTheBounds) {
  auto v = std::make_shared<View>(Rect{0, 0, 40, 20});
  v->setTransform(AffineTransform::makeScale(2, 3).translated(5, 0));
  expectRect(v->bounds(), 0, 0, 40, 20);
  // Scaled about the centre (20, 10), then the translation (scaled: 10).
  expectRect(v->frame(), -20 + 10, -20, 80, 60);
}

TEST_F(GeometryTest, SetFrameUnderATransformScalesTheBounds) {
  auto v = std::make_shared<View>(Rect{0, 0, 40, 20});
  v->setTransform(AffineTransform::makeScale(2, 2));
  v->setFrame({10, 10, 160, 40});
  expectRect(v->bounds(), 0, 0, 80, 20);
  expectRect(v->frame(), 10, 10, 160, 40);
  v->setTransform({});
  v->setFrame({1, 2, 3, 4});
  expectRect(v->frame(), 1, 2, 3, 4);
  // A negative size is standardised, as the phone does.
  v->setFrame({10, 10, -4, -6});
  expectRect(v->frame(), 6, 4, 4, 6);
}

TEST_F(GeometryTest, PointsConvertThroughRotatedScaledAndScrolledViews) {
  auto win = std::make_shared<Window>(Rect{0, 0, 480, 320});
  auto a = std::make_shared<View>(Rect{100, 50, 200, 100});
  auto b = std::make_shared<View>(Rect{10, 10, 50, 50});
  win->addSubview(a);
  a->addSubview(b);
  expectPoint(b->convertPointTo({0, 0}, nullptr), 110, 60);
  expectPoint(b->convertPointTo({0, 0}, a.get()), 10, 10);
  expectPoint(a->convertPointFrom({110, 60}, nullptr), 10, 10);
  // Scrolling the parent (bounds origin) moves its children on screen.
  a->setBounds({20, 5, 200, 100});
  expectPoint(b->convertPointTo({0, 0}, nullptr), 90, 55);
  a->setBounds({0, 0, 200, 100});
  // A quarter turn of the parent about its centre (200, 100).
  a->setTransform(AffineTransform::makeRotation(kPi / 2));
  Point p = b->convertPointTo({0, 0}, nullptr);
  expectPoint(p, 240, 10);
  expectPoint(b->convertPointFrom(p, nullptr), 0, 0);
  // Rects convert as bounding boxes.
  Rect r = b->convertRectTo(b->bounds(), nullptr);
  EXPECT_NEAR(r.width, 50, 1e-3f);
  EXPECT_NEAR(r.height, 50, 1e-3f);
  Rect back = a->convertRectFrom(r, nullptr);
  expectRect(back, 10, 10, 50, 50);
}

TEST_F(GeometryTest, AutoresizingSharesTheChangeAmongFlexibleParts) {
  auto parent = std::make_shared<View>(Rect{0, 0, 100, 100});
  auto fill = std::make_shared<View>(Rect{10, 10, 80, 80});
  fill->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
  auto corner = std::make_shared<View>(Rect{80, 80, 10, 10});
  corner->setAutoresizingMask(FlexibleLeftMargin | FlexibleTopMargin);
  auto both = std::make_shared<View>(Rect{20, 0, 20, 10});
  both->setAutoresizingMask(FlexibleLeftMargin | FlexibleRightMargin);
  auto fixed = std::make_shared<View>(Rect{5, 5, 10, 10});
  for (auto& v : {fill, corner, both, fixed}) parent->addSubview(v);
  parent->setFrame({0, 0, 200, 150});
  expectRect(fill->frame(), 10, 10, 180, 130);
  expectRect(corner->frame(), 180, 130, 10, 10);
  // Margins 20 and 60 share the 100 extra points one to three.
  expectRect(both->frame(), 45, 0, 20, 10);
  expectRect(fixed->frame(), 5, 5, 10, 10);
  parent->setAutoresizesSubviews(false);
  parent->setFrame({0, 0, 100, 100});
  expectRect(fill->frame(), 10, 10, 180, 130);
}

TEST_F(GeometryTest, SubviewOrderOperationsAndTags) {
  auto root = std::make_shared<View>(Rect{0, 0, 10, 10});
  auto a = std::make_shared<View>(), b = std::make_shared<View>(), c = std::make_shared<View>();
  a->setTag(1), b->setTag(2), c->setTag(3);
  root->addSubview(a);
  root->addSubview(b);
  root->insertSubview(c, 0);
  auto tags = [&] {
    std::vector<int> t;
    for (auto& v : root->subviews()) t.push_back(v->tag());
    return t;
  };
  EXPECT_EQ(tags(), (std::vector<int>{3, 1, 2}));
  root->bringSubviewToFront(c.get());
  EXPECT_EQ(tags(), (std::vector<int>{1, 2, 3}));
  root->sendSubviewToBack(b.get());
  EXPECT_EQ(tags(), (std::vector<int>{2, 1, 3}));
  root->insertSubviewAbove(b, a.get());
  EXPECT_EQ(tags(), (std::vector<int>{1, 2, 3}));
  root->insertSubviewBelow(c, a.get());
  EXPECT_EQ(tags(), (std::vector<int>{3, 1, 2}));
  // Adding to another parent moves the view.
  auto grand = std::make_shared<View>();
  grand->setTag(9);
  a->addSubview(grand);
  EXPECT_EQ(root->viewWithTag(9), grand.get());
  b->addSubview(grand);
  EXPECT_TRUE(a->subviews().empty());
  EXPECT_EQ(grand->superview(), b.get());
  EXPECT_EQ(root->viewWithTag(42), nullptr);
  EXPECT_EQ(root->viewWithTag(0), root.get());
  // Removing the last reference's holder keeps the view alive while used.
  std::weak_ptr<View> weak = grand;
  grand.reset();
  b->subviews().front()->removeFromSuperview();
  EXPECT_TRUE(weak.expired());
}

TEST_F(GeometryTest, LayoutRunsOnSizeChangeAndOnRequestOnly) {
  struct Counting : View {
    int layouts = 0;
    void layoutSubviews() override { ++layouts; }
  };
  auto v = std::make_shared<Counting>();
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 1);
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 1);
  v->setCenter({5, 5});
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 1);
  v->setFrame({0, 0, 30, 30});
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 2);
  v->setNeedsLayout();
  v->layoutIfNeeded();
  EXPECT_EQ(v->layouts, 3);
}
