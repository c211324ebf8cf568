// Strokes on the desk's canvas as a person draws them, at both screen
// scales: the default brush and every pen whose tip is a plain round disc
// lay an even line along a slow straight stroke (no string of single dabs),
// the eraser takes a layer away evenly, and the grainy tips keep their grain.
#include <algorithm>

#include "canvas/DabRandom.h"
#include "desk/DeskTestSupport.h"

namespace {

class DeskBrushStrokeTest : public desk_test::DeskTest, public ::testing::WithParamInterface<float> {
 protected:
  void SetUp() override { dab_random::seed(11); }

  struct Range {
    int low = 255, high = 0;
    double spread() const { return (high - low) / 255.0; }
  };
  // A slow straight stroke across the page at page height y: two points a
  // step at sixty steps a second.
  void slowStroke(float y) {
    host->drag(onPage(40, y), onPage(340, y), 150, 1.0 / 60);
    host->runUntilIdle();
  }
  // The alpha along the stroke's centre line, away from its two ends.
  Range centreLine(float y) {
    Range r;
    for (float x = 100; x <= 280; x += 0.5f) {
      const int a = canvasAlphaAt(x, y);
      r.low = std::min(r.low, a);
      r.high = std::max(r.high, a);
    }
    return r;
  }
  // The alpha inside one dab, within a third of its radius of the centre.
  Range dabCore(float x, float y) {
    const float r = desk->drawsView()->brushSize() / GetParam() / 2 / 3;
    Range out;
    for (float dy = -r; dy <= r; dy += 0.5f)
      for (float dx = -r; dx <= r; dx += 0.5f) {
        if (dx * dx + dy * dy > r * r) continue;
        const int a = canvasAlphaAt(x + dx, y + dy);
        out.low = std::min(out.low, a);
        out.high = std::max(out.high, a);
      }
    return out;
  }
  void emptyPage() { desk->drawImage(nullptr); }
};

TEST_P(DeskBrushStrokeTest, RoundTipsLayEvenLinesAtFullOpacity) {
  start(false, GetParam());
  // The brush the desk opens with, in black at full opacity.
  ASSERT_EQ(desk->drawsView()->brushTypeIndex(), 2);
  ASSERT_FLOAT_EQ(desk->drawsView()->brushAlpha(), 1.0f);
  slowStroke(80);
  Range line = centreLine(80);
  EXPECT_LT(line.spread(), 0.1) << "default brush: " << line.low << ".." << line.high;
  EXPECT_GT(line.low, 0.8 * 255) << "a dark line, not a grey one";

  // The same pen chosen on the strip, and the small round liner.
  for (int type : {2, 6}) {
    SCOPED_TRACE(type);
    emptyPage();
    chooseBrush(type);
    ASSERT_FLOAT_EQ(desk->drawsView()->brushAlpha(), 1.0f);
    slowStroke(150);
    line = centreLine(150);
    EXPECT_LT(line.spread(), 0.1) << line.low << ".." << line.high;
    EXPECT_GT(line.low, 0.75 * 255);
  }
}

TEST_P(DeskBrushStrokeTest, TheEraserTakesALayerAwayEvenly) {
  start(false, GetParam());
  gfx::Image full(static_cast<int>(384 * GetParam()), static_cast<int>(288 * GetParam()));
  std::fill(full.bytes().begin(), full.bytes().end(), std::uint8_t{255});
  desk->drawImage(&full);
  chooseBrush(0);
  slowStroke(150);
  const Range left = centreLine(150);
  EXPECT_LT(left.spread(), 0.1) << left.low << ".." << left.high;
  EXPECT_LT(left.high, 0.1 * 255) << "the layer is gone along the stroke";
}

TEST_P(DeskBrushStrokeTest, GrainyTipsKeepTheirGrain) {
  start(false, GetParam());
  // A single dab of the soft marker is smooth in its core; the pencil's and
  // the charcoal's are full of holes and streaks.
  host->tap(onPage(100, 100));
  host->runUntilIdle();
  EXPECT_LT(dabCore(100, 100).spread(), 0.15);
  for (int type : {1, 3}) {
    SCOPED_TRACE(type);
    emptyPage();
    chooseBrush(type);
    host->tap(onPage(200, 150));
    host->runUntilIdle();
    const Range core = dabCore(200, 150);
    EXPECT_GT(core.spread(), 0.3) << core.low << ".." << core.high;
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, DeskBrushStrokeTest, ::testing::Values(1.0f, 2.0f),
                         [](const auto& info) { return info.param == 1.0f ? "OneX" : "TwoX"; });

}  // namespace
