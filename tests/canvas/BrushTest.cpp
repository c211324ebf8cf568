// The brush canvas on headless GL: where dabs land, the blend tables, the
// eraser, smudge, touch gating and two canvases drawing in turn.
#include <gtest/gtest.h>

#include <random>

#include <cmath>
#include <string>

#include "CanvasTestSupport.h"
#include "canvas/DabRandom.h"
#include "support/Sandbox.h"

using namespace canvas_test;

namespace {

class BrushCanvasTest : public testing_support::SandboxTest, public ::testing::WithParamInterface<float> {
 protected:
  void SetUp() override { dab_random::seed(7); }
};

int channelDiff(std::uint8_t a, float expected01) { return std::abs(a - static_cast<int>(std::lround(expected01 * 255))); }

}  // namespace

// Every brush type leaves its dab centred on the touch point, in bottom-left
// coordinates, with a size in backing pixels.
TEST_P(BrushCanvasTest, EachBrushTypeDabLandsOnThePoint) {
  const float scale = GetParam();
  auto canvas = makeCanvas(scale);
  ASSERT_NE(canvas, nullptr);
  const gfx::Point p{100, 50};
  for (int type = 0; type <= 7; ++type) {
    SCOPED_TRACE(type);
    canvas->setBrushType(type);
    if (type == 0 || type == 7) {
      // The eraser and the smudge tip need paint to act on.
      paintAll(*canvas, 0, 0, 255, 255);
      if (type == 7) {
        const auto red = solidBlock(20, 20, 255, 0, 0, 255);
        canvas->drawData(red.data(), {20, 20}, gfx::Rect{p.x - 20, p.y - 5, 10, 10});
      }
    } else {
      canvas->clear();
    }
    const Pixels before = readAll(*canvas);
    if (type == 7) {
      stroke(*canvas, {p.x - 15, p.y}, {p.x + 5, p.y}, 10);
    } else {
      tap(*canvas, p);
    }
    const Pixels after = readAll(*canvas);
    const Box box = changedBox(before, after);
    ASSERT_FALSE(box.empty());
    const float half = canvas->brushSize() / 2 + 2;
    const gfx::Point bp = canvas->bufferPointWithPoint(p);
    if (type == 7) {
      // Red dragged rightwards along the stroke, beyond the square it came from.
      EXPECT_GT(box.maxX, canvas->bufferPointWithPoint({p.x - 10, 0}).x);
      EXPECT_LT(std::fabs(box.centerY() - bp.y), half);
      continue;
    }
    EXPECT_GE(box.minX, bp.x - half);
    EXPECT_LE(box.maxX, bp.x + half);
    EXPECT_GE(box.minY, bp.y - half);
    EXPECT_LE(box.maxY, bp.y + half);
    EXPECT_LT(std::fabs(box.centerX() - bp.x), 4.0f);
    if (type != 4 && type != 5) {
      EXPECT_LT(std::fabs(box.centerY() - bp.y), 4.0f);
    }
  }
}

TEST_P(BrushCanvasTest, TouchesArriveWithTheirYAxisTurned) {
  auto canvas = makeCanvas(GetParam());
  ASSERT_NE(canvas, nullptr);
  canvas->setBrushType(6);
  const Pixels before = readAll(*canvas);
  canvas->touchesBegan({100, kPageHeight - 50});
  canvas->touchesEnded({100, kPageHeight - 50});
  const Box box = changedBox(before, readAll(*canvas));
  ASSERT_FALSE(box.empty());
  const gfx::Point bp = canvas->bufferPointWithPoint({100, 50});
  EXPECT_LT(std::fabs(box.centerX() - bp.x), 2.0f);
  EXPECT_LT(std::fabs(box.centerY() - bp.y), 2.0f);
}

INSTANTIATE_TEST_SUITE_P(Scales, BrushCanvasTest, ::testing::Values(1.0f, 2.0f));

namespace {

class BlendTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    canvas = makeCanvas(1);
    ASSERT_NE(canvas, nullptr);
    canvas->setTextureImages(solidTips());
  }
  // One dab at the centre of a canvas painted with the premultiplied colour bg.
  const std::uint8_t* dabOver(const std::uint8_t bg[4]) {
    paintAll(*canvas, bg[0], bg[1], bg[2], bg[3]);
    tap(*canvas, {192, 144});
    result = readAll(*canvas);
    return result.at(192, 144);
  }
  std::shared_ptr<VTEAGLView> canvas;
  Pixels result;
};

}  // namespace

TEST_F(BlendTest, BrushDabsBlendSourceOverWithAlphaEffect) {
  canvas->setBrushType(2);  // density 0.25: alpha scaled by its fourth root
  const gfx::Color c{0.2f, 0.6f, 1.0f, 0.8f};
  canvas->setBrushColor(c);
  canvas->setBrushAlpha(0.5f);
  const float as = c.a * std::sqrt(std::sqrt(0.25f)) * 0.5f;
  const std::uint8_t backgrounds[][4] = {{0, 0, 0, 0}, {200, 100, 50, 255}, {60, 30, 0, 120}};
  for (const auto& bg : backgrounds) {
    const std::uint8_t* px = dabOver(bg);
    for (int ch = 0; ch < 3; ++ch) {
      const float src = ch == 0 ? c.r : (ch == 1 ? c.g : c.b);
      EXPECT_LE(channelDiff(px[ch], src * as + bg[ch] / 255.0f * (1 - as)), 1) << ch;
    }
    EXPECT_LE(channelDiff(px[3], as + bg[3] / 255.0f * (1 - as)), 1);
  }
}

TEST_F(BlendTest, AlphaEffectFollowsDensity) {
  canvas->setBrushType(5);  // density 0.07
  canvas->setBrushColor(gfx::Color{1, 1, 1, 1});
  const std::uint8_t clear[4] = {0, 0, 0, 0};
  EXPECT_LE(channelDiff(dabOver(clear)[3], std::sqrt(std::sqrt(0.07f))), 1);
  canvas->setAlphaEffect(false);
  EXPECT_EQ(dabOver(clear)[3], 255);
}

TEST_F(BlendTest, EraserRemovesAlphaInProportion) {
  canvas->setBrushType(0);
  canvas->setBrushColor(gfx::Color{0, 0, 0, 1});
  const float as = std::sqrt(std::sqrt(0.25f));
  const std::uint8_t bg[4] = {200, 100, 50, 255};
  const std::uint8_t* px = dabOver(bg);
  for (int ch = 0; ch < 4; ++ch) EXPECT_LE(channelDiff(px[ch], bg[ch] / 255.0f * (1 - as)), 1) << ch;
  // Full strength clears to transparent.
  canvas->setAlphaEffect(false);
  const std::uint8_t* cleared = dabOver(bg);
  for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(cleared[ch], 0);
}

TEST_F(BlendTest, SmudgeTapOnUniformPaintChangesNothing) {
  canvas->setBrushType(7);
  const std::uint8_t bg[4] = {90, 60, 30, 255};
  const std::uint8_t* px = dabOver(bg);
  for (int ch = 0; ch < 4; ++ch) EXPECT_LE(std::abs(px[ch] - bg[ch]), 1) << ch;
}

TEST_F(BlendTest, SmudgeTapPicksUpFreshPaintNotThePreviousStrokes) {
  canvas->setBrushType(7);
  paintAll(*canvas, 255, 0, 0, 255);
  stroke(*canvas, {100, 100}, {140, 100}, 8);  // the last copy holds red
  paintAll(*canvas, 0, 0, 255, 255);
  tap(*canvas, {250, 150});
  const Pixels p = readAll(*canvas);
  EXPECT_EQ(p.at(250, 150)[0], 0);
  EXPECT_EQ(p.at(250, 150)[2], 255);
}

TEST_F(BlendTest, SmudgeAtTheEdgeReadsNothingOutsideTheCanvas) {
  canvas->setBrushType(7);
  paintAll(*canvas, 0, 200, 0, 255);
  const Pixels before = readAll(*canvas);
  stroke(*canvas, {2, 2}, {2, 60}, 12);
  const Pixels after = readAll(*canvas);
  // Off-canvas reads as transparent, which the smudge blend leaves alone: no
  // stray colour appears.
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 40; ++x) {
      EXPECT_EQ(after.at(x, y)[0], 0);
      EXPECT_EQ(after.at(x, y)[2], 0);
    }
  }
  EXPECT_EQ(before.at(200, 200)[1], after.at(200, 200)[1]);
}

TEST_F(BlendTest, PicturesOverAndReplaceAndClear) {
  canvas->setBrushType(1);
  paintAll(*canvas, 100, 100, 100, 255);
  const auto half = solidBlock(4, 4, 0, 64, 0, 128);  // premultiplied
  canvas->drawData(half.data(), {4, 4}, gfx::Rect{10, 10, 4, 4});
  Pixels p = readAll(*canvas);
  EXPECT_LE(std::abs(p.at(11, 11)[0] - 50), 1);
  EXPECT_LE(std::abs(p.at(11, 11)[1] - (64 + 50)), 1);
  EXPECT_EQ(p.at(11, 11)[3], 255);
  canvas->setData(half.data(), {4, 4}, gfx::Rect{20, 20, 4, 4});
  p = readAll(*canvas);
  EXPECT_EQ(p.at(21, 21)[1], 64);
  EXPECT_EQ(p.at(21, 21)[3], 128);
  canvas->setData(nullptr, {0, 0}, gfx::Size{10, 10}, gfx::Point{50, 50}, 0);
  p = readAll(*canvas);
  EXPECT_EQ(p.at(50, 50)[3], 0);
  EXPECT_EQ(p.at(46, 54)[3], 0);
  EXPECT_EQ(p.at(44, 50)[3], 255);
  EXPECT_EQ(p.at(56, 50)[3], 255);
  EXPECT_EQ(p.at(60, 60)[3], 255);
}

namespace {
class CanvasTouchTest : public testing_support::SandboxTest {};

struct TouchRecorder : EAGLViewDelegate {
  std::string events;
  void eaglViewDidTouchBegin(EAGLView*) override { events += 'b'; }
  void eaglViewDidTouchMove(EAGLView*) override { events += 'm'; }
  void eaglViewDidTouchEnd(EAGLView*) override { events += 'e'; }
};
}  // namespace

TEST_F(CanvasTouchTest, MovesAndEndsWithoutABeginNeverDraw) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  const Pixels blank = readAll(*canvas);
  canvas->touchesMoved({50, 50});
  canvas->touchesMoved({150, 80});
  canvas->touchesEnded({160, 90});
  EXPECT_EQ(readAll(*canvas), blank);
}

TEST_F(CanvasTouchTest, CancelEndsTheStrokeAsALiftDoes) {
  auto lifted = makeCanvas(1);
  auto cancelled = makeCanvas(1);
  ASSERT_TRUE(lifted && cancelled);
  Pixels beforeEnd;
  for (auto* c : {lifted.get(), cancelled.get()}) {
    dab_random::seed(11);
    c->setAutoMark(true);
    c->touchesBegan({50, 50});
    c->touchesMoved({80, 50});
    c->touchesMoved({110, 50});
    if (c == lifted.get()) {
      c->touchesEnded({200, 50});
    } else {
      beforeEnd = readAll(*c);
      c->touchesCancelled({200, 50});
    }
  }
  // The end segment is drawn, as for a lift at the same place.
  EXPECT_NE(readAll(*cancelled), beforeEnd);
  EXPECT_EQ(readAll(*cancelled), readAll(*lifted));
  EXPECT_FALSE(cancelled->strokeActive());
  EXPECT_TRUE(cancelled->canUndo());  // the whole stroke is one undo step
  const Pixels drawn = readAll(*cancelled);
  cancelled->touchesMoved({200, 100});
  cancelled->touchesEnded({220, 100});
  EXPECT_EQ(readAll(*cancelled), drawn) << "the stroke is over";
}

TEST_F(CanvasTouchTest, NonFinitePointsAreDropped) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  TouchRecorder recorder;
  canvas->setDelegate(&recorder);
  const Pixels blank = readAll(*canvas);
  canvas->touchesBegan({std::nanf(""), 10});
  EXPECT_FALSE(canvas->strokeActive());
  EXPECT_EQ(recorder.events, "");
  canvas->touchesBegan({10, 10});
  canvas->touchesMoved({INFINITY, 10});
  canvas->touchesEnded({std::nanf(""), 10});
  EXPECT_FALSE(canvas->strokeActive());
  // The stroke began and ended; the unusable move is not reported.
  EXPECT_EQ(recorder.events, "be");
  const Pixels after = readAll(*canvas);
  // Only what the begin itself drew (nothing: touch-down draws no dab).
  EXPECT_EQ(after, blank);
}

TEST_F(CanvasTouchTest, DelegateHearsEachTouchAfterItsStrokeCall) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  TouchRecorder recorder;
  canvas->setDelegate(&recorder);
  canvas->touchesBegan({10, 10});
  canvas->touchesMoved({40, 10});
  canvas->touchesEnded({60, 10});
  canvas->touchesBegan({10, 50});
  canvas->touchesCancelled({20, 50});
  canvas->touchesMoved({40, 10});  // no stroke under way: not a touch of a stroke
  EXPECT_EQ(recorder.events, "bmebe");
}

TEST_F(CanvasTouchTest, TwoCanvasesDrawingInTurnKeepTheirOwnPictures) {
  auto a = makeCanvas(1);
  auto b = makeCanvas(2);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(VTEAGLView::liveCanvasCount(), 2);
  a->setBrushType(6);
  a->setBrushColor(gfx::Color{1, 0, 0, 1});
  b->setBrushType(6);
  b->setBrushColor(gfx::Color{0, 0, 1, 1});
  tap(*a, {50, 50});
  tap(*b, {300, 200});
  tap(*a, {60, 200});
  tap(*b, {100, 100});
  const Pixels pa = readAll(*a), pb = readAll(*b);
  // a: red at its two points only.
  EXPECT_GT(pa.at(50, 50)[0], 0);
  EXPECT_GT(pa.at(60, 200)[0], 0);
  EXPECT_EQ(pa.at(300, 200)[3], 0);
  EXPECT_EQ(pa.at(100, 100)[3], 0);
  EXPECT_EQ(pa.at(50, 50)[2], 0);
  // b (scale 2): blue at its two points only.
  EXPECT_GT(pb.at(600, 400)[2], 0);
  EXPECT_GT(pb.at(200, 200)[2], 0);
  EXPECT_EQ(pb.at(100, 100)[3], 0);
  EXPECT_EQ(pb.at(120, 400)[3], 0);
  EXPECT_EQ(pb.at(600, 400)[0], 0);
  b.reset();
  EXPECT_EQ(VTEAGLView::liveCanvasCount(), 1);
  tap(*a, {200, 150});
  EXPECT_GT(readAll(*a).at(200, 150)[0], 0);
}

TEST_F(CanvasTouchTest, RequestedBrushSizeSurvivesASizeRule) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  canvas->setBrushSize(20);
  EXPECT_EQ(canvas->brushSize(), 20);
  EXPECT_EQ(canvas->sizeMax(), 2);
  EXPECT_TRUE(canvas->enableAutoresize());
  EXPECT_EQ(canvas->requestedBrushSize(), 20);
  canvas->setMaxSpeedSize(64, 24, true);  // a size rule deriving other sizes
  EXPECT_EQ(canvas->brushSize(), 24);
  EXPECT_EQ(canvas->requestedBrushSize(), 20);
}

TEST_F(CanvasTouchTest, BrushSettingsClampAndRandomSizes) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  canvas->setBrushAlpha(0);
  EXPECT_FLOAT_EQ(canvas->brushAlpha(), 0.0001f);
  canvas->setBrushAlpha(5);
  EXPECT_EQ(canvas->brushAlpha(), 1);
  canvas->setTipValue(0);
  EXPECT_FLOAT_EQ(canvas->tipValue(), 0.0001f);

  dab_random::seed(3);
  canvas->setMaxSpeedSize(10, 20, false);
  std::vector<float> sizes(200, 0);
  canvas->randSize(sizes.data(), 200);
  for (float s : sizes) {
    EXPECT_GE(s, 10);
    EXPECT_LE(s, 19);
    EXPECT_EQ(s, std::floor(s));
  }
  EXPECT_EQ(canvas->randWithMin(5, 5), 5);
}

TEST_F(CanvasTouchTest, BrushTypePresets) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  canvas->setBrushType(0);
  EXPECT_EQ(canvas->scFactor(), static_cast<GLenum>(GL_ZERO));
  EXPECT_FALSE(canvas->enableRotate());
  canvas->setBrushType(7);
  EXPECT_TRUE(canvas->enableSmudge());
  EXPECT_EQ(canvas->scFactor(), static_cast<GLenum>(GL_ONE));
  canvas->setBrushType(6);
  EXPECT_EQ(canvas->shaderObject()->curIndex(), 0);
  EXPECT_EQ(canvas->brushTypeIndex(), 6);
  canvas->setBrushType(9);
  EXPECT_EQ(canvas->shaderObject()->curIndex(), 9);
  EXPECT_TRUE(canvas->enableRotate());
  EXPECT_FLOAT_EQ(canvas->densityFactor(), 0.25f);
  canvas->setBrushType(5);
  EXPECT_FLOAT_EQ(canvas->densityFactor(), 0.07f);
  EXPECT_EQ(canvas->useType(), 0);
  canvas->setBrushTypeIndex(3);
  EXPECT_EQ(canvas->useType(), 1);
}


// Plain dab batches go through a variant of the brush program built for them;
// it must leave exactly the pixels the full program leaves.
TEST_F(CanvasTouchTest, PlainDabProgramDrawsWhatTheFullProgramDraws) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale);
    auto plain = makeCanvas(scale);
    auto full = makeCanvas(scale);
    ASSERT_TRUE(plain && full);
    full->shaderObject()->setPlainDabProgramEnabled(false);
    for (VTEAGLView* c : {plain.get(), full.get()}) {
      c->setBrushSize(scale == 1 ? 48 : 24);
      for (int type : {1, 2, 4, 5, 6, 0, 3}) {
        c->setBrushType(type);
        c->setTipEffectEnabled(type == 4);
        c->setTipValue(0.4f);
        c->setBrushColor(gfx::Color{0.3f, 0.7f, 0.2f, 0.9f});
        c->setBrushAlpha(0.6f);
        dab_random::seed(5);
        stroke(*c, {30, 40 + type * 30.0f}, {350, 60 + type * 25.0f}, 25);
      }
    }
    EXPECT_EQ(readAll(*plain), readAll(*full));
  }
}

// Dabs drawn as the renderer batches them (one draw, each dab only where its
// tip has coverage) leave the pixels that drawing every dab's whole square in
// a draw of its own leaves: overlapping dabs of every tip, size, turn and
// squash, painted and erased, to within a level of rounding. A blend under
// which zero coverage would still change the canvas gets whole squares.
TEST_F(CanvasTouchTest, BatchedDabsLeaveWhatDabByDabDrawingLeaves) {
  auto batched = makeCanvas(2);
  auto single = makeCanvas(2);
  ASSERT_TRUE(batched && single);
  single->shaderObject()->setPlainDabProgramEnabled(false);
  single->shaderObject()->setTrimmedDabsEnabled(false);
  // Dense, overlapping dabs along a wavy line: a stroke's worth.
  auto dabsOf = [](float size, bool turned, float squash, unsigned seed) {
    std::vector<Dab> dabs;
    std::mt19937 random(seed);
    for (int i = 0; i < 120; ++i) {
      Dab d;
      d.center = {30 + i * 2.6f, 140 + 60 * std::sin(i * 0.09f) + static_cast<float>(random() % 7)};
      d.width = size * squash;
      d.height = size;
      d.rotated = turned;
      d.angle = turned ? static_cast<float>(random() % 628) / 100 : 0;
      dabs.push_back(d);
    }
    return dabs;
  };
  auto draw = [](VTEAGLView& canvas, const std::vector<Dab>& dabs, bool oneByOne) {
    canvas.beginRender();
    if (oneByOne) {
      for (const Dab& d : dabs) canvas.shaderObject()->drawDabs({&d, 1});
    } else {
      canvas.shaderObject()->drawDabs(dabs);
    }
    canvas.finishRender();
  };
  struct Case {
    int type;
    float size;
    bool turned;
    float squash;
  };
  std::vector<Case> cases;
  for (int type : {1, 2, 3, 4, 5})
    for (float size : {5.0f, 19.0f, 32.0f, 57.0f, 128.0f}) cases.push_back({type, size, false, 1});
  cases.push_back({4, 40, true, 1});
  cases.push_back({5, 70, true, 0.3f});
  cases.push_back({1, 24, true, 0.5f});
  int worst = 0;
  long differing = 0;
  unsigned seed = 1;
  for (const Case& c : cases) {
    for (VTEAGLView* canvas : {batched.get(), single.get()}) {
      canvas->clear();
      canvas->setBrushType(c.type);
      canvas->setBrushColor(gfx::Color{0.2f, 0.5f, 0.9f, 0.8f});
      canvas->setBrushAlpha(0.7f);
    }
    const std::vector<Dab> dabs = dabsOf(c.size, c.turned, c.squash, ++seed);
    draw(*batched, dabs, false);
    draw(*single, dabs, true);
    // The eraser over what was painted, on another line.
    for (VTEAGLView* canvas : {batched.get(), single.get()}) canvas->setBrushType(0);
    std::vector<Dab> erase = dabsOf(c.size * 0.8f, c.turned, 1, seed + 100);
    for (Dab& d : erase) d.center.y += 12;
    draw(*batched, erase, false);
    draw(*single, erase, true);
    const Pixels a = readAll(*batched), b = readAll(*single);
    ASSERT_EQ(a.bytes.size(), b.bytes.size());
    for (std::size_t i = 0; i < a.bytes.size(); ++i) {
      const int d = std::abs(int(a.bytes[i]) - int(b.bytes[i]));
      worst = std::max(worst, d);
      differing += d > 0;
      if (d > 1) {
        ADD_FAILURE() << "tip " << c.type << " size " << c.size << " differs by " << d << " at byte " << i;
        break;
      }
    }
  }
  EXPECT_LE(worst, 1);
  EXPECT_LT(differing, 2000) << "rounding, not shapes";

  // Under an additive blend a fragment without coverage still adds its
  // colour: every dab keeps its whole square.
  for (VTEAGLView* canvas : {batched.get(), single.get()}) {
    canvas->clear();
    canvas->setBrushType(4);
    canvas->setBlendModelWithSCFactor(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  }
  const std::vector<Dab> dabs = dabsOf(40, false, 1, 77);
  draw(*batched, dabs, false);
  draw(*single, dabs, true);
  EXPECT_EQ(readAll(*batched), readAll(*single));
}

// A shape's lines are drawn in one batch, with the dabs (their turns along
// the way and at the corners, the random ones in the same order) that line
// after line would give.
TEST_F(CanvasTouchTest, AShapeInOneBatchLeavesWhatItsLinesOneByOneLeave) {
  auto whole = makeCanvas(1);
  auto lines = makeCanvas(1);
  ASSERT_TRUE(whole && lines);
  const std::vector<gfx::Point> corners = {{40, 40}, {300, 60}, {260, 240}, {80, 200}};
  for (bool follow : {false, true}) {
    for (VTEAGLView* c : {whole.get(), lines.get()}) {
      c->clear();
      c->setBrushType(follow ? 4 : 9);  // a tip turned along the way, or at random
      c->setDirectionFollow(follow);
      c->setBrushSize(12);
    }
    dab_random::seed(21);
    whole->beginRender();
    whole->shaderObject()->drawPolygon(corners.data(), static_cast<int>(corners.size()));
    whole->finishRender();
    dab_random::seed(21);
    lines->beginRender();
    RenderObject* r = lines->shaderObject();
    r->setLineBegin(true);
    r->setBeginPoint(corners[0]);
    for (std::size_t i = 0; i < corners.size(); ++i) r->drawLineFromPoint(corners[i], corners[(i + 1) % corners.size()]);
    lines->finishRender();
    EXPECT_EQ(readAll(*whole), readAll(*lines)) << (follow ? "following the direction" : "turned at random");
  }
}

// The brush is one value: after any change the renderer holds exactly the
// render part the canvas keeps, also after another canvas drew in between.
TEST_F(CanvasTouchTest, TheRendererHoldsTheCanvasesRenderSettings) {
  auto a = makeCanvas(1);
  auto b = makeCanvas(1);
  ASSERT_TRUE(a && b);
  for (int type = -1; type <= 9; ++type) {
    SCOPED_TRACE(type);
    a->setBrushType(type);
    EXPECT_EQ(a->shaderObject()->settings(), a->brushSettings().render);
  }
  a->setBrushType(4);
  a->setDirectionFollow(true);
  a->setTipEffectEnabled(true);
  a->setTipValue(0.3f);
  a->setBrushAlpha(0.4f);
  a->setBrushColor(gfx::Color{0.2f, 0.3f, 0.4f, 0.5f});
  a->setBlendModelWithSCFactor(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
  a->setSizeMax(48);
  const RenderSettings& render = a->brushSettings().render;
  EXPECT_EQ(a->shaderObject()->settings(), render);
  EXPECT_EQ(render.size, 48);
  EXPECT_TRUE(render.dab.directionFollow);
  EXPECT_FLOAT_EQ(render.dab.tipValue, 0.3f);
  EXPECT_FLOAT_EQ(render.color.a, 0.5f * std::sqrt(std::sqrt(a->densityFactor())));
  b->setBrushType(7);
  tap(*b, {10, 10});
  tap(*a, {20, 20});
  EXPECT_EQ(a->shaderObject()->settings(), render);
  EXPECT_EQ(a->shaderObject()->scFactor(), static_cast<GLenum>(GL_ONE));
}
