// The editor canvas: brush presets, zoom and move, gates, `operated`, the
// fill at touch end, the page files of the model's current page, and a
// stroke that survives undo, redo, saving and loading.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cmath>
#include <thread>

#include "CanvasTestSupport.h"
#include "canvas/DrawsView.h"
#include "canvas/PageFiles.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/RunLoop.h"
#include "support/Sandbox.h"

namespace {

using canvas_test::Pixels;
using canvas_test::readAll;

struct Gate : OpenGLESDrawDelegate {
  bool can = true;
  void enableRedo() override {}
  void enableUndo() override {}
  void disableRedo() override {}
  void disableUndo() override {}
  bool isCanDraw() override { return can; }
};

struct Printer : PrintDrawViewDelegate {
  int prints = 0;
  void printImageInDrawview() override { ++prints; }
};

struct FrameWatcher : Zoom_MoveOperateDelegate {
  int changes = 0;
  gfx::Rect last;
  void drawViewFrameChanged(gfx::Rect r) override {
    ++changes;
    last = r;
  }
};

class DrawsViewTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    model().setPrjDataModel(ProjectDataModel::initWithProjectName("editor"));
    model().extendDataModel().setCurPage(1);
  }
  void TearDown() override { ZTDataModel::resetSharedInstanceForTesting(); }
  static ZTDataModel& model() { return ZTDataModel::sharedInstance(); }

  std::shared_ptr<DrawsView> make(float scale) {
    auto view = DrawsView::initDrawViewWithScaleFactor(scale);
    if (view) view->setAutoMark(true);
    return view;
  }
  static CanvasTouch finger(gfx::Point now, gfx::Point before, int taps = 1) { return {now, before, taps}; }
  static void tap(DrawsView& v, gfx::Point p) {
    v.touchesBegan({finger(p, p)});
    v.touchesEnded({finger(p, p)});
  }
  static void stroke(DrawsView& v, gfx::Point from, gfx::Point to) {
    v.touchesBegan({finger(from, from)});
    gfx::Point last = from;
    for (int i = 1; i <= 12; ++i) {
      const float f = i / 12.0f;
      const gfx::Point p{from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f};
      v.touchesMoved({finger(p, last)});
      last = p;
    }
    v.touchesEnded({finger(to, last)});
  }
  // Two fingers symmetric about `centre`, `before` and `now` apart.
  static std::vector<CanvasTouch> pinch(gfx::Point centre, float before, float now) {
    return {finger({centre.x - now / 2, centre.y}, {centre.x - before / 2, centre.y}),
            finger({centre.x + now / 2, centre.y}, {centre.x + before / 2, centre.y})};
  }
  static bool pumpFill(DrawsView& v) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (v.fillTool() != nullptr && v.fillTool()->hasPendingFill()) {
      fd::RunLoop::main().runUntilIdle();
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }
  // Loads a page whose backing holds a one-pixel ring [x0, x1] x [y0, y1]
  // (backing pixels, rows from the bottom).
  static void loadRingPage(DrawsView& v, int x0, int y0, int x1, int y1) {
    const int w = v.backingWidth(), h = v.backingHeight();
    std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4, 0);
    auto set = [&](int x, int y) { block[(static_cast<std::size_t>(y) * w + x) * 4 + 3] = 255; };
    for (int x = x0; x <= x1; ++x) set(x, y0), set(x, y1);
    for (int y = y0; y <= y1; ++y) set(x0, y), set(x1, y);
    v.setData(block.data(), {float(w), float(h)}, v.bounds());
  }
  static std::size_t countColour(const Pixels& p, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < p.bytes.size(); i += 4)
      n += p.bytes[i] == r && p.bytes[i + 1] == g && p.bytes[i + 2] == b && p.bytes[i + 3] == 255;
    return n;
  }
};

TEST_F(DrawsViewTest, CreationFixesThePageGeometry) {
  for (float scale : {1.0f, 2.0f}) {
    auto v = make(scale);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->backingWidth(), static_cast<int>(384 * scale));
    EXPECT_EQ(v->backingHeight(), static_cast<int>(288 * scale));
    EXPECT_EQ(v->frame(), (gfx::Rect{0, 0, 384, 288}));
    EXPECT_EQ(v->baseRect(), v->frame());
    EXPECT_EQ(v->drawRect(), v->frame());
    EXPECT_EQ(v->factor(), 1);
    EXPECT_EQ(v->cScaleFactor(), scale);
    EXPECT_FALSE(v->operated());
    EXPECT_FALSE(v->isFillTool());
    EXPECT_FALSE(v->isPrintView());
    EXPECT_EQ(v->bufferPointWithPoint({100, 50}), (gfx::Point{100 * scale, 50 * scale}));
  }
}

TEST_F(DrawsViewTest, CreationEndsWithTheDesksRowForTypeOne) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->brushTypeIndex(), 1);
  EXPECT_EQ(v->useType(), 1) << "texture selection only, as the row's base call";
  EXPECT_EQ(v->sizeMax(), 2);
  EXPECT_EQ(v->sizeMin(), 36);
  EXPECT_FLOAT_EQ(v->densityFactor(), 0.3f);
  EXPECT_FLOAT_EQ(v->speedSenseFactor(), 0.12f);
  EXPECT_FALSE(v->operated());
}

TEST_F(DrawsViewTest, BrushTypeTable) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  for (int type : {8, -1}) {
    v->setBrushType(type);
    EXPECT_EQ(v->brushTypeIndex(), 1);
    EXPECT_EQ(v->sizeMax(), 2);
    EXPECT_EQ(v->sizeMin(), 36);
    EXPECT_TRUE(v->enableAutoresize());
    EXPECT_FLOAT_EQ(v->densityFactor(), 0.3141742f);
    EXPECT_FLOAT_EQ(v->speedSenseFactor(), 0.1213768f);
  }
  v->setBrushType(1);
  EXPECT_FLOAT_EQ(v->densityFactor(), 0.3f);
  EXPECT_FLOAT_EQ(v->speedSenseFactor(), 0.12f);
  v->setBrushType(3);
  EXPECT_EQ(v->radianMax(), 181);
  EXPECT_FALSE(v->alphaEffect());
  EXPECT_FLOAT_EQ(v->speedSenseFactor(), 0.7409f);
  v->setBrushType(4);
  EXPECT_EQ(v->brushTypeIndex(), 4);
  EXPECT_TRUE(v->directionFollow());
  EXPECT_FALSE(v->enableRotate());
  EXPECT_TRUE(v->tipEffectEnabled());
  EXPECT_EQ(v->sizeMax(), 64);
  EXPECT_EQ(v->sizeMin(), 24);
  v->setBrushType(7);
  EXPECT_TRUE(v->enableSmudge());
  EXPECT_FALSE(v->enableAutoresize());
  EXPECT_FLOAT_EQ(v->softnessSmudge(), 0.5f);
  EXPECT_FLOAT_EQ(v->presses(), 0.5f);
  EXPECT_EQ(v->sizeMin(), 64);
  v->setBrushType(0);
  EXPECT_EQ(v->sizeMax(), 10);
  EXPECT_EQ(v->sizeMin(), 64);
  EXPECT_FLOAT_EQ(v->densityFactor(), 0.25f);
}

// Every row of the desk's brush table, each applied after a row that differs
// from it in as many settings as possible.
TEST_F(DrawsViewTest, EveryBrushRowSendsItsValues) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  struct Row {
    int type, index, useType;
    int maxSize, minSize;
    bool autoResize, rotate;
    int radianMax;
    bool alphaEffect;
    float density;
    GLenum dc;  // destination colour factor
    bool smudge, directionFollow;
    float speed;
    bool tip;
  };
  const Row rows[] = {
      {0, 0, 0, 10, 64, true, true, 360, true, 0.25f, GL_ONE_MINUS_SRC_ALPHA, false, false, 0.5f, false},
      {1, 1, 1, 2, 36, true, true, 360, true, 0.3f, GL_ONE_MINUS_SRC_ALPHA, false, false, 0.12f, false},
      {2, 2, 0, 2, 32, true, true, 360, true, 0.5f, GL_ONE_MINUS_SRC_ALPHA, false, false, 0.5f, false},
      {3, 3, 0, 2, 55, true, true, 181, false, 0.01f, GL_ONE_MINUS_SRC_ALPHA, false, false, 0.7409f, false},
      {4, 4, 1, 64, 24, true, false, 0, false, 0.005f, GL_ONE_MINUS_SRC_ALPHA, false, true, 0.5f, true},
      {5, 5, 1, 24, 64, true, false, 0, true, 0.01f, GL_ONE_MINUS_SRC_ALPHA, false, true, 0.5f, false},
      {6, 6, 1, 0, 16, true, false, 0, true, 0.01f, GL_ONE_MINUS_SRC_ALPHA, false, false, 0.5f, true},
      {7, 7, 0, 64, 64, false, false, -1, true, 0.1f, GL_ONE_MINUS_SRC_ALPHA, true, false, 0.5f, false},
  };
  for (const Row& r : rows) {
    v->setBrushType(r.type == 7 ? 4 : 7);
    v->setTipValue(0.3f);
    v->setBrushType(r.type);
    SCOPED_TRACE(r.type);
    EXPECT_EQ(v->brushTypeIndex(), r.index);
    EXPECT_EQ(v->useType(), r.useType);
    EXPECT_EQ(v->sizeMax(), r.maxSize);
    EXPECT_EQ(v->sizeMin(), r.minSize);
    EXPECT_EQ(v->enableAutoresize(), r.autoResize);
    EXPECT_EQ(v->enableRotate(), r.rotate);
    if (r.radianMax >= 0) {
      EXPECT_EQ(v->radianMin(), 0);
      EXPECT_EQ(v->radianMax(), r.radianMax);
    }
    EXPECT_EQ(v->alphaEffect(), r.alphaEffect);
    EXPECT_FLOAT_EQ(v->densityFactor(), r.density);
    EXPECT_EQ(v->dcFactor(), r.dc);
    EXPECT_EQ(v->enableSmudge(), r.smudge);
    EXPECT_EQ(v->directionFollow(), r.directionFollow);
    EXPECT_FLOAT_EQ(v->speedSenseFactor(), r.speed);
    EXPECT_EQ(v->tipEffectEnabled(), r.tip);
    if (r.type >= 1 && r.type <= 6) {
      EXPECT_FLOAT_EQ(v->tipValue(), 1.0f);
    }
    if (r.type == 0) {
      EXPECT_EQ(v->scFactor(), static_cast<GLenum>(GL_ZERO)) << "the eraser keeps the base call's blend";
    } else if (r.type == 7) {
      EXPECT_EQ(v->scFactor(), static_cast<GLenum>(GL_ONE));
      EXPECT_FLOAT_EQ(v->softnessSmudge(), 0.5f);
      EXPECT_FLOAT_EQ(v->presses(), 0.5f);
    } else {
      EXPECT_EQ(v->scFactor(), static_cast<GLenum>(GL_SRC_ALPHA));
      EXPECT_EQ(v->saFactor(), static_cast<GLenum>(GL_ONE));
      EXPECT_EQ(v->daFactor(), static_cast<GLenum>(GL_ONE_MINUS_SRC_ALPHA));
    }
  }
}

TEST_F(DrawsViewTest, SizeRuleByBrushType) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  struct Case {
    int type;
    float size;
    float max, min;
    bool autoResize;
  };
  const Case cases[] = {{4, 30, 30, 0, true},  {5, 30, 0, 30, true},  {6, 30, 0, 30, true},
                        {7, 30, 30, 30, false}, {2, 30, 2, 30, true}, {0, 12.9f, 2, 12, true},
                        {4, 50, 50, 10, true}};
  for (const Case& c : cases) {
    v->setBrushType(c.type);
    v->setBrushSize(c.size);
    EXPECT_EQ(v->sizeMax(), c.max) << c.type;
    EXPECT_EQ(v->sizeMin(), c.min) << c.type;
    EXPECT_EQ(v->enableAutoresize(), c.autoResize) << c.type;
  }
  // Re-applying the settings keeps the size asked for.
  v->setBrushType(4);
  v->setBrushSize(60);
  v->reflushSettings();
  EXPECT_EQ(v->sizeMax(), 60);
  EXPECT_EQ(v->sizeMin(), 20);
}

// Re-applying the settings changes nothing: not the sizes a row of the
// brush table set itself, nor the ones a size asked for gave.
TEST_F(DrawsViewTest, ReflushKeepsEveryRowsSizes) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  struct Sizes {
    float max, min, brush;
    bool autoResize;
    int index;
    bool operator==(const Sizes&) const = default;
  };
  auto now = [&] { return Sizes{v->sizeMax(), v->sizeMin(), v->brushSize(), v->enableAutoresize(), v->brushTypeIndex()}; };
  const gfx::Color colour{0.1f, 0.5f, 0.9f, 1};
  v->setBrushColor(colour);
  for (int type = -1; type <= 8; ++type) {
    SCOPED_TRACE(type);
    v->setBrushType(type);
    const Sizes row = now();
    v->reflushSettings();
    EXPECT_EQ(now(), row) << "the row's own sizes";
    for (float asked : {12.0f, 50.0f, 63.7f}) {
      v->setBrushSize(asked);
      const Sizes sized = now();
      v->reflushSettings();
      EXPECT_EQ(now(), sized) << asked;
      v->reflushSettings();
      EXPECT_EQ(now(), sized) << "twice: " << asked;
    }
    EXPECT_EQ(v->brushColor(), colour);
  }
  // The rows' own sizes, for the record.
  v->setBrushType(1);
  v->reflushSettings();
  EXPECT_EQ(v->sizeMax(), 2);
  EXPECT_EQ(v->sizeMin(), 36);
  v->setBrushType(7);
  v->reflushSettings();
  EXPECT_EQ(v->sizeMax(), 64);
  EXPECT_EQ(v->sizeMin(), 64);
  v->setBrushType(0);
  v->reflushSettings();
  EXPECT_EQ(v->sizeMax(), 10);
  EXPECT_EQ(v->sizeMin(), 64);
}

TEST_F(DrawsViewTest, PinchPastThreeTimesSnapsToThreeTimesAboutTheSameCentre) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  FrameWatcher watcher;
  v->setZoom_moveDelegate(&watcher);
  const gfx::Point c{192, 144};
  v->touchesBegan(pinch(c, 100, 100));
  v->touchesMoved(pinch(c, 100, 500));  // +400 points: the frame doubles
  EXPECT_EQ(v->drawRect(), (gfx::Rect{-192, -144, 768, 576}));
  v->touchesMoved(pinch(c, 100, 500));
  EXPECT_EQ(v->drawRect(), (gfx::Rect{-576, -432, 1536, 1152}));
  // Beyond 3x the frame follows at a quarter of the finger speed.
  v->touchesMoved(pinch(c, 100, 500));
  EXPECT_EQ(v->drawRect().width, 1536 * 1.25f);
  EXPECT_FALSE(v->isZoomEnd());
  v->touchesEnded(pinch(c, 100, 100));
  EXPECT_TRUE(v->isZoomEnd());
  const gfx::Rect r = v->drawRect();
  EXPECT_EQ(r.width, 3 * 384);
  EXPECT_EQ(r.height, 3 * 288);
  EXPECT_FLOAT_EQ(r.x + r.width / 2, -768 + 1920 / 2.0f) << "about the same centre";
  EXPECT_EQ(v->factor(), 3);
  EXPECT_EQ(v->frame(), r);
  EXPECT_EQ(watcher.last, r);
  EXPECT_FALSE(v->operated()) << "a gesture draws nothing";
}

TEST_F(DrawsViewTest, PinchBelowOneTimeSnapsBackToTheBase) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  const gfx::Point c{192, 144};
  v->touchesBegan(pinch(c, 300, 300));
  v->touchesMoved(pinch(c, 300, 100));
  EXPECT_LT(v->drawRect().width, 384);
  v->touchesEnded(pinch(c, 100, 100));
  EXPECT_EQ(v->drawRect(), (gfx::Rect{0, 0, 384, 288}));
  EXPECT_EQ(v->factor(), 1);
}

TEST_F(DrawsViewTest, ViolentPinchNeverCollapsesTheFrame) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  const gfx::Point c{192, 144};
  v->touchesBegan(pinch(c, 1000, 1000));
  for (int i = 0; i < 5; ++i) {
    v->touchesMoved(pinch(c, 1000, 0));  // fingers closing by 1000 points at once
    EXPECT_GT(v->drawRect().width, 0);
    EXPECT_GT(v->drawRect().height, 0);
  }
  EXPECT_GE(v->drawRect().width, DrawsView::kMinPinchZoom * 384 - 0.01f);
  const gfx::Point mapped = v->bufferPointWithPoint({10, 10});
  EXPECT_TRUE(std::isfinite(mapped.x) && std::isfinite(mapped.y));
  for (int i = 0; i < 10; ++i) v->touchesMoved(pinch(c, 0, 4000));
  EXPECT_LE(v->drawRect().width, DrawsView::kMaxPinchZoom * 384 + 0.01f);
  v->touchesEnded(pinch(c, 10, 10));
  EXPECT_EQ(v->drawRect().width, 3 * 384);
  // A rectangle without area is refused outright.
  v->setDrawRect({0, 0, 0, 288});
  EXPECT_EQ(v->drawRect().width, 3 * 384);
}

TEST_F(DrawsViewTest, ZoomEndAlwaysCoversTheBase) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  // Zoomed 2x, then dragged far to the left and up.
  v->touchesBegan(pinch({192, 144}, 100, 100));
  v->touchesMoved(pinch({192, 144}, 100, 500));
  v->touchesEnded({finger({-900, -900}, {0, 0}), finger({-800, -900}, {100, 0})});
  const gfx::Rect r = v->drawRect();
  EXPECT_GE(r.x + r.width, 384);
  EXPECT_GE(r.y + r.height, 288);
  EXPECT_LE(r.x, 0);
  EXPECT_LE(r.y, 0);
}

TEST_F(DrawsViewTest, TwoFingerDoubleTapZoomsAboutTheFingerAndBack) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  const std::vector<CanvasTouch> doubleTap = {finger({100, 50}, {100, 50}, 2), finger({120, 50}, {120, 50}, 2)};
  v->touchesBegan(doubleTap);
  EXPECT_EQ(v->drawRect(), (gfx::Rect{-200, -100, 1152, 864}));
  EXPECT_FALSE(v->isDraw());
  v->touchesEnded(doubleTap);
  v->touchesBegan(doubleTap);
  EXPECT_EQ(v->drawRect(), (gfx::Rect{0, 0, 384, 288}));
}

TEST_F(DrawsViewTest, BaseRectMovesTheCanvasUnlessAGestureHasJustEnded) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  FrameWatcher watcher;
  v->setZoom_moveDelegate(&watcher);
  v->setBaseRect({48, 16, 384, 288});
  EXPECT_EQ(v->drawRect(), (gfx::Rect{48, 16, 384, 288}));
  EXPECT_EQ(v->frame(), v->drawRect());
  EXPECT_EQ(watcher.changes, 1);

  const gfx::Point c{192, 144};
  v->touchesBegan(pinch(c, 100, 100));
  v->touchesMoved(pinch(c, 100, 300));
  v->touchesEnded(pinch(c, 100, 100));
  ASSERT_TRUE(v->isZoomEnd());
  const gfx::Rect zoomed = v->drawRect();
  v->setBaseRect({0, 0, 384, 288});
  EXPECT_EQ(v->drawRect(), zoomed) << "a zoom that has just ended stays";
  EXPECT_EQ(v->baseRect(), (gfx::Rect{0, 0, 384, 288}));

  v->touchesBegan(pinch(c, 100, 100));
  EXPECT_FALSE(v->isZoomEnd());
  v->setBaseRect({0, 0, 384, 288});
  EXPECT_EQ(v->drawRect(), (gfx::Rect{0, 0, 384, 288}));
  EXPECT_EQ(v->factor(), 1);
}

TEST_F(DrawsViewTest, WithoutZoomTwoFingersDoNothing) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  const Pixels before = readAll(*v);
  const auto two = pinch({192, 144}, 100, 300);
  v->touchesBegan(two);
  v->touchesMoved(two);
  v->touchesEnded(two);
  v->touchesBegan({finger({100, 50}, {100, 50}, 2), finger({120, 50}, {120, 50}, 2)});
  EXPECT_EQ(v->drawRect(), (gfx::Rect{0, 0, 384, 288}));
  EXPECT_EQ(readAll(*v), before);
  EXPECT_FALSE(v->operated());
}

TEST_F(DrawsViewTest, OpenPickersAndTheDeskBlockEveryTouch) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  const Pixels before = readAll(*v);
  ExtendDataModel& settings = model().extendDataModel();
  settings.setIsBrush(true);
  stroke(*v, {50, 50}, {300, 200});
  settings.setIsBrush(false);
  settings.setIsSize(true);
  stroke(*v, {50, 50}, {300, 200});
  settings.setIsSize(false);
  Gate gate;
  gate.can = false;
  v->setIsCanDrawDelegate(&gate);
  stroke(*v, {50, 50}, {300, 200});
  EXPECT_FALSE(v->operated());
  EXPECT_EQ(readAll(*v), before);
  gate.can = true;
  stroke(*v, {50, 50}, {300, 200});
  EXPECT_TRUE(v->operated());
  EXPECT_NE(readAll(*v), before);
}

TEST_F(DrawsViewTest, LoadingAPageClearsOperatedAndTheHistory) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  stroke(*v, {50, 50}, {300, 200});
  ASSERT_TRUE(v->canUndo());
  gfx::Image page(384, 288);
  v->setImage(&page, v->bounds());
  EXPECT_FALSE(v->operated());
  EXPECT_FALSE(v->canUndo());
  const Pixels loaded = readAll(*v);
  v->undo();
  EXPECT_EQ(readAll(*v), loaded);
  EXPECT_TRUE(v->operated()) << "undo sets operated even when nothing changed";
}

TEST_F(DrawsViewTest, PrintViewPrintsAtEveryTouchEnd) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  Printer printer;
  v->setIsPrintView(true);
  v->setEnabledZoom(true);
  v->setPrintDrawViewDelegate(&printer);
  tap(*v, {40, 40});
  EXPECT_EQ(printer.prints, 1);
  const auto two = pinch({192, 144}, 100, 300);
  v->touchesBegan(two);
  v->touchesMoved(two);
  v->touchesEnded(two);
  EXPECT_EQ(printer.prints, 2) << "two fingers take the single-finger path on a print view";
  EXPECT_EQ(v->drawRect(), (gfx::Rect{0, 0, 384, 288}));
}

TEST_F(DrawsViewTest, FillInsideARingFillsExactlyTheInside) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  model().extendDataModel().setCuColorIndex(23);  // #88100F
  // Ring in backing pixels 100..299 x 300..449: 198 x 148 inside.
  loadRingPage(*v, 100, 300, 299, 449);
  v->setIsFillTool(true);
  // View point (100, 50) is backing (200, 100) from the top: row 475 from the bottom: outside.
  // View point (100, 80) is backing row 575 - 160 = 415: inside.
  tap(*v, {100, 80});
  EXPECT_TRUE(v->operated()) << "set at once, before the result is drawn";
  ASSERT_TRUE(pumpFill(*v));
  const Pixels after = readAll(*v);
  const std::size_t inside = 198 * 148;
  const std::size_t rim = 2 * 200 + 2 * 150 - 4 - 4;
  EXPECT_EQ(countColour(after, 0x88, 0x10, 0x0F), inside + rim);
  EXPECT_EQ(after.at(200, 400)[0], 0x88);
  EXPECT_EQ(after.at(200, 200)[3], 0) << "outside the ring";
  EXPECT_TRUE(v->canUndo()) << "the fill is an undo step";
}

TEST_F(DrawsViewTest, FillOnAZoomedCanvasStartsUnderTheFinger) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  v->setEnabledZoom(true);
  model().extendDataModel().setCuColorIndex(23);  // #88100F
  // Ring in backing pixels 100..299 x 100..199, rows from the bottom.
  loadRingPage(*v, 100, 100, 299, 199);
  v->touchesBegan({finger({0, 0}, {0, 0}, 2), finger({10, 0}, {10, 0}, 2)});
  ASSERT_EQ(v->drawRect(), (gfx::Rect{0, 0, 1152, 864}));
  v->setIsFillTool(true);
  // Page point (150, 137) from the top is backing row 150 from the bottom,
  // inside the ring; three times that on the zoomed canvas.
  tap(*v, {450, 411});
  ASSERT_TRUE(pumpFill(*v));
  const Pixels after = readAll(*v);
  EXPECT_EQ(after.at(150, 150)[0], 0x88);
  EXPECT_EQ(after.at(150, 150)[3], 255);
  EXPECT_EQ(after.at(50, 50)[3], 0) << "outside the ring";
  EXPECT_EQ(countColour(after, 0x88, 0x10, 0x0F), 198u * 98u + 2 * 200 + 2 * 100 - 8);
}

TEST_F(DrawsViewTest, FillOnAnEmptyPageFillsItAll) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  model().extendDataModel().setCuColorIndex(16);  // #557886
  v->setIsFillTool(true);
  tap(*v, {383.5f, 0.2f});
  ASSERT_TRUE(pumpFill(*v));
  EXPECT_EQ(countColour(readAll(*v), 0x55, 0x78, 0x86), 384u * 288u);
}

TEST_F(DrawsViewTest, FillOutlivedByItsPageIsNotDrawn) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  v->setIsFillTool(true);
  tap(*v, {10, 10});
  gfx::Image page(384, 288);
  v->setImage(&page, v->bounds());
  const Pixels loaded = readAll(*v);
  ASSERT_TRUE(pumpFill(*v));
  EXPECT_EQ(readAll(*v), loaded);
  EXPECT_FALSE(v->operated());
}

TEST_F(DrawsViewTest, SecondFillTapWhilePendingIsIgnored) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  model().extendDataModel().setCuColorIndex(44);
  // Two rooms: a vertical wall at backing column 200.
  const int w = v->backingWidth(), h = v->backingHeight();
  std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4, 0);
  for (int y = 0; y < h; ++y) block[(static_cast<std::size_t>(y) * w + 200) * 4 + 3] = 128;
  v->setData(block.data(), {float(w), float(h)}, v->bounds());
  v->setIsFillTool(true);
  tap(*v, {20, 20});
  tap(*v, {300, 20});
  ASSERT_TRUE(pumpFill(*v));
  const Pixels after = readAll(*v);
  EXPECT_EQ(after.at(20, 200)[3], 255);
  EXPECT_EQ(after.at(300, 200)[3], 0);
}

TEST_F(DrawsViewTest, PageFilesOfTheCurrentPage) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  auto project = model().prjDataModel();
  const auto layer = *project->layFullPathAtPage(1, false, 2);
  const auto snapshot = *project->snapshotFullPathAtPage(1, false);
  const auto icon = *project->iconFullPathAtPage(1, false);
  v->writeToFileForLay(2);
  EXPECT_FALSE(std::filesystem::exists(layer)) << "nothing changed, nothing written";
  stroke(*v, {50, 50}, {300, 200});
  v->writeToFileForLay(2);
  EXPECT_FALSE(v->operated());
  EXPECT_EQ(gfx::readPNG(layer)->pixelWidth(), 768);
  EXPECT_EQ(gfx::readPNG(snapshot)->pixelWidth(), 384);
  EXPECT_EQ(gfx::readPNG(icon)->pixelWidth(), 216);
  std::filesystem::remove(layer);
  v->writeToFileForLay(2);
  EXPECT_FALSE(std::filesystem::exists(layer)) << "a second call without drawing writes nothing";
  std::filesystem::remove(snapshot);
  v->writeSnapAndIconImage(2);
  EXPECT_TRUE(std::filesystem::exists(snapshot));
  EXPECT_FALSE(v->operated());
}

TEST_F(DrawsViewTest, AFailedPageWriteIsReportedAndWrittenAgainLater) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  const auto layer = *model().prjDataModel()->layFullPathAtPage(1, false, 2);
  stroke(*v, {50, 50}, {300, 200});
  // The layer's place is taken by a folder: the write fails.
  std::filesystem::create_directories(layer);
  EXPECT_FALSE(v->writeToFileForLay(2));
  EXPECT_TRUE(v->operated()) << "the page is still unsaved";
  std::filesystem::remove(layer);
  EXPECT_TRUE(v->writeToFileForLay(2)) << "the next call writes it";
  EXPECT_FALSE(v->operated());
  const auto picture = gfx::readPNG(layer);
  ASSERT_TRUE(picture.ok()) << picture.error();
  EXPECT_EQ(picture->pixelWidth(), 384);
  EXPECT_TRUE(v->writeToFileForLay(2)) << "nothing changed: nothing to write, nothing failed";

  const std::string name = "US20240101120000000";
  model().extendDataModel().setBackgroundName(name);
  const auto background = *model().backgroundFullPathWithBackgroundName(name);
  std::filesystem::create_directories(background);
  stroke(*v, {50, 50}, {300, 200});
  EXPECT_FALSE(v->writeToFileForBackground());
  EXPECT_TRUE(v->operated());
  std::filesystem::remove(background);
  EXPECT_TRUE(v->writeToFileForBackground());
  EXPECT_FALSE(v->operated());
  EXPECT_TRUE(std::filesystem::exists(background));
}

// A write in the background keeps the picture read when it was asked for:
// drawn on and written again while the first write is still under way, the
// canvas reads its picture into other memory, so each write's layer file
// holds the picture of its own time.
TEST_F(DrawsViewTest, ABackgroundWriteKeepsThePictureOfItsTime) {
  auto v = make(1);
  ASSERT_NE(v, nullptr);
  const auto layer = *model().prjDataModel()->layFullPathAtPage(1, false, 2);
  const auto snapshot = *model().prjDataModel()->snapshotFullPathAtPage(1, false);
  auto stored = [](const std::filesystem::path& file) {
    fd::Expected<gfx::Image> picture = gfx::readPNG(file);
    if (!picture) return gfx::Image();
    picture->premultiply();
    return std::move(*picture);
  };
  // The first write waits at its snapshot, before its layer is encoded,
  // until the canvas has drawn again; the second, at its snapshot, finds the
  // first's layer file written.
  std::mutex m;
  std::condition_variable cv;
  bool drawnAgain = false;
  int snapshots = 0;
  gfx::Image firstWritten;
  fd::files::setWriteFaultForTesting([&](const std::filesystem::path& file) {
    if (file != snapshot) return 0;
    std::unique_lock lock(m);
    if (++snapshots == 1) cv.wait(lock, [&] { return drawnAgain; });
    else if (snapshots == 2) firstWritten = stored(layer);
    return 0;
  });
  stroke(*v, {50, 50}, {300, 200});
  const gfx::Image first = *v->pagePicture();
  v->writeToFileForLayInBackground(2);
  stroke(*v, {40, 250}, {350, 30});
  const gfx::Image second = *v->pagePicture();
  v->writeToFileForLayInBackground(2);
  {
    std::lock_guard lock(m);
    drawnAgain = true;
  }
  cv.notify_all();
  v->waitForPageWrites();
  fd::files::setWriteFaultForTesting({});
  ASSERT_NE(first, second);
  EXPECT_TRUE(firstWritten == first) << "the first write kept its picture";
  EXPECT_TRUE(stored(layer) == second);
}

TEST_F(DrawsViewTest, BackgroundFilesOnlyAfterAChange) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  const std::string name = "US20240101120000000";
  model().extendDataModel().setBackgroundName(name);
  const auto picture = *model().backgroundFullPathWithBackgroundName(name);
  const auto icon = *model().backgroundIconFullPathWithBackgroundName(name);
  std::filesystem::create_directories(picture.parent_path());
  v->writeToFileForBackground();
  EXPECT_FALSE(std::filesystem::exists(picture));
  stroke(*v, {50, 50}, {300, 200});
  v->writeToFileForBackground();
  EXPECT_FALSE(v->operated());
  EXPECT_EQ(gfx::readPNG(picture)->pixelWidth(), 768);
  const auto iconImage = gfx::readPNG(icon);
  ASSERT_TRUE(iconImage.ok());
  EXPECT_EQ(iconImage->pixelWidth(), 216);
  EXPECT_EQ(iconImage->pixelHeight(), 162);
  std::filesystem::remove(picture);
  v->writeToFileForBackground();
  EXPECT_FALSE(std::filesystem::exists(picture)) << "a second call without drawing writes nothing";
}

TEST_F(DrawsViewTest, StrokeUndoRedoSaveReloadKeepsThePixels) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  model().extendDataModel().setCuColorIndex(13);
  v->setBrushColor(model().extendDataModel().cuColor());
  const Pixels blank = readAll(*v);
  stroke(*v, {40, 40}, {340, 240});
  stroke(*v, {40, 240}, {340, 40});
  const Pixels drawn = readAll(*v);
  ASSERT_NE(drawn, blank);
  ASSERT_TRUE(v->undo());
  EXPECT_NE(readAll(*v), drawn);
  ASSERT_TRUE(v->redo());
  EXPECT_EQ(readAll(*v), drawn);
  v->writeToFileForLay(1);

  auto reloaded = make(2);
  ASSERT_NE(reloaded, nullptr);
  auto picture = gfx::readPNG(*model().prjDataModel()->layFullPathAtPage(1, false, 1));
  ASSERT_TRUE(picture.ok());
  reloaded->setImage(&*picture, reloaded->bounds());
  EXPECT_EQ(readAll(*reloaded), drawn);
  EXPECT_FALSE(reloaded->operated());
}

}  // namespace

namespace {

// A cut held outside the canvas: it is one undo step, the page files store
// the page as before it until its piece is placed, and withdrawing it puts
// the cut pixels back under a stroke drawn over the hole since.
TEST_F(DrawsViewTest, ACutStaysOutOfThePageUntilItsPieceIsPlaced) {
  auto v = make(2);
  ASSERT_NE(v, nullptr);
  gfx::Context c(384, 288, 1.0f);
  c.setFillColor({0.8f, 0.2f, 0.1f, 0.5f});  // half covered: the over rule shows
  c.fillRect({100, 80, 160, 120});
  gfx::Image page = c.makeImage(true);
  v->setImage(&page, v->bounds());
  stroke(*v, {20, 260}, {360, 260});
  const Pixels before = readAll(*v);
  v->cutRegion(nullptr, {120, 80}, {180, 150}, 0.3f);
  EXPECT_TRUE(v->cutOutstanding());
  EXPECT_TRUE(v->operated());
  const Pixels hole = readAll(*v);
  ASSERT_FALSE(hole == before);
  ASSERT_TRUE(v->pagePicture() == gfx::Image::fromPixelBlock(before.bytes.data(), before.width, before.height))
      << "stored as before the cut";

  // Undo and redo follow the cut; a placing makes it stand.
  ASSERT_TRUE(v->undo());
  EXPECT_EQ(readAll(*v), before);
  EXPECT_FALSE(v->cutOutstanding());
  EXPECT_FALSE(v->withdrawCut()) << "an undone cut has nothing to give back";
  EXPECT_EQ(readAll(*v), before);
  v->cutRegion(nullptr, {120, 80}, {180, 150}, 0.3f);
  v->drawImage(page, {120, 80}, {180, 150}, 0.3f);
  v->cutPiecePlaced();
  EXPECT_FALSE(v->cutOutstanding());
  ASSERT_TRUE(v->undo());
  EXPECT_TRUE(v->cutOutstanding()) << "the placing undone";
  ASSERT_TRUE(v->redo());
  EXPECT_FALSE(v->cutOutstanding());
  EXPECT_FALSE(v->withdrawCut()) << "a placed piece stays";

  // A stroke over the hole, then the piece given back.
  v->setImage(&page, v->bounds());
  const Pixels loaded = readAll(*v);
  v->cutRegion(nullptr, {120, 80}, {180, 150}, 0);
  stroke(*v, {60, 150}, {300, 150});  // y 138 from the bottom
  const Pixels drawn = readAll(*v);
  ASSERT_TRUE(v->withdrawCut());
  EXPECT_FALSE(v->cutOutstanding());
  const Pixels back = readAll(*v);
  const int s = 2;
  auto same = [](const std::uint8_t* a, const std::uint8_t* b) { return std::equal(a, a + 4, b); };
  // Inside the hole, away from the stroke: exactly as loaded.
  EXPECT_TRUE(same(back.at(150 * s, 115 * s), loaded.at(150 * s, 115 * s)));
  EXPECT_TRUE(same(back.at(220 * s, 180 * s), loaded.at(220 * s, 180 * s)));
  // Under the stroke inside the hole: the stroke over what was cut.
  const std::uint8_t* d = drawn.at(180 * s, 138 * s);
  const std::uint8_t* l = loaded.at(180 * s, 138 * s);
  const std::uint8_t* b = back.at(180 * s, 138 * s);
  ASSERT_GT(d[3], 0);
  ASSERT_LT(d[3], 255) << "a soft stroke: what lies under it shows";
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(b[k], d[k] + l[k] * (255 - d[3]) / 255.0, 1.0) << k;
  // The stroke outside the hole is untouched.
  EXPECT_TRUE(same(back.at(70 * s, 138 * s), drawn.at(70 * s, 138 * s)));
  ASSERT_TRUE(v->undo());
  EXPECT_EQ(readAll(*v), drawn) << "the giving back is a step of its own";
}

}  // namespace
