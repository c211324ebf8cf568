// The brush canvas's shape-recognition hook at stroke end.
#include <gtest/gtest.h>

#include "CanvasTestSupport.h"
#include "canvas/DabRandom.h"
#include "canvas/shape/Unitily.h"
#include "support/Sandbox.h"

using namespace canvas_test;

namespace {

class RecognitionTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { Unitily::resetHistory(); }
  void TearDown() override { Unitily::resetHistory(); }
};

void wobblyLine(VTEAGLView& canvas) {
  canvas.drawWithBeginPoint({40, 100});
  for (int i = 1; i < 40; ++i) canvas.drawWithMovePoint({40.0f + i * 7, 100.0f + (i % 3) * 1.5f});
  canvas.drawWithEndPoint({320, 100});
}

}  // namespace

TEST_F(RecognitionTest, AStrokeNoShapeAdmitsLeavesTheLastMarkedPicture) {
  auto canvas = makeCanvas(1);
  ASSERT_TRUE(canvas);
  canvas->setAutoMark(true);
  canvas->setBrushType(3);
  canvas->setEnableRecogition(true);
  canvas->setShapesMark(0);
  const auto before = readAll(*canvas);
  dab_random::seed(4);
  wobblyLine(*canvas);
  // The stroke is taken back and, with nothing new on the canvas, not marked.
  EXPECT_EQ(readAll(*canvas), before);
  EXPECT_FALSE(canvas->canUndo());
  ASSERT_TRUE(canvas->tempData());
  EXPECT_EQ(*canvas->tempData(), before.bytes);

  // Admitting lines again, the same stroke comes back as a line and is marked.
  canvas->setShapesMark(799);
  dab_random::seed(4);
  wobblyLine(*canvas);
  EXPECT_NE(readAll(*canvas), before);
  EXPECT_TRUE(canvas->canUndo());
}

TEST_F(RecognitionTest, ARecognisedLineReplacesTheStroke) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  canvas->setAutoMark(true);
  canvas->setBrushType(3);
  canvas->setEnableRecogition(true);
  ASSERT_TRUE(canvas->tempData());
  wobblyLine(*canvas);
  const Pixels after = readAll(*canvas);
  EXPECT_GT(after.at(180, 100)[3], 0);
  EXPECT_TRUE(canvas->canUndo());
  // The picture before the next stroke is kept for the next recognition.
  ASSERT_TRUE(canvas->tempData());
  EXPECT_EQ(*canvas->tempData(), after.bytes);
}

TEST_F(RecognitionTest, DrawShapeHonoursTheMask) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  const ShapeRecord line = ShapeRecord::makeLine({20, 20}, {200, 20});
  canvas->setShapesMark(0);
  EXPECT_FALSE(canvas->drawShape(line));
  canvas->setShapesMark(VTEAGLView::kDefaultShapesMark);
  EXPECT_TRUE(canvas->drawShape(line));
  EXPECT_GT(readAll(*canvas).at(100, 20)[3], 0);
  EXPECT_FALSE(canvas->drawShape(ShapeRecord{}));  // not recognised
  const ShapePoint poly[] = {{10, 10}, {50, 50}, {90, 10}};
  EXPECT_FALSE(canvas->drawShape(ShapeRecord::makePolyline(poly)));  // kind 6 is not in 799
  const ShapeRecord circle = ShapeRecord::makeCircle({200, 150}, 40);
  EXPECT_TRUE(canvas->drawShape(circle));
  const Pixels p = readAll(*canvas);
  EXPECT_GT(p.at(240, 150)[3], 0);
  EXPECT_EQ(p.at(200, 150)[3], 0);
}
