// Undo on the canvas: marks, step limits, bit-exact restores from memory and
// from files, pixel blocks and pictures placed without resampling.
#include <gtest/gtest.h>

#include <random>

#include "CanvasTestSupport.h"
#include "canvas/DabRandom.h"
#include "support/Sandbox.h"

using namespace canvas_test;

namespace {

class CanvasUndoTest : public testing_support::SandboxTest, public ::testing::WithParamInterface<float> {
 protected:
  void SetUp() override {
    dab_random::seed(11);
    canvas = makeCanvas(GetParam());
    ASSERT_NE(canvas, nullptr);
    canvas->setAutoMark(true);
  }
  // Stroke k: a short diagonal somewhere of its own.
  void strokeNumber(int k) {
    const float x = 20 + static_cast<float>((k * 37) % 340), y = 20 + static_cast<float>((k * 53) % 240);
    stroke(*canvas, {x, y}, {x + 15, y + 10}, 4);
  }
  std::shared_ptr<VTEAGLView> canvas;
};

struct Recorder : EAGLViewDelegate {
  std::vector<std::pair<char, bool>> events;
  void eaglViewNeedUpdateUndoState(EAGLView*, bool v) override { events.push_back({'u', v}); }
  void eaglViewNeedUpdateRedoState(EAGLView*, bool v) override { events.push_back({'r', v}); }
};

}  // namespace

TEST_P(CanvasUndoTest, UndoThenRedoRestoresEachPictureExactly) {
  canvas->setBrushType(2);
  std::vector<Pixels> states{readAll(*canvas)};
  for (int k = 0; k < 5; ++k) {
    strokeNumber(k);
    states.push_back(readAll(*canvas));
  }
  for (int k = 4; k >= 0; --k) {
    ASSERT_TRUE(canvas->undo());
    EXPECT_EQ(readAll(*canvas), states[static_cast<std::size_t>(k)]) << k;
  }
  EXPECT_FALSE(canvas->undo());
  for (int k = 1; k <= 5; ++k) {
    ASSERT_TRUE(canvas->redo());
    EXPECT_EQ(readAll(*canvas), states[static_cast<std::size_t>(k)]) << k;
  }
  EXPECT_FALSE(canvas->redo());
}

TEST_P(CanvasUndoTest, RestoresStayExactAfterSnapshotsSpillToFiles) {
  canvas->undoManager()->setMaxCacheCount(2);
  canvas->setBrushType(3);
  std::vector<Pixels> states{readAll(*canvas)};
  for (int k = 0; k < 6; ++k) {
    strokeNumber(k);
    states.push_back(readAll(*canvas));
  }
  canvas->undoManager()->waitForFiles();
  ASSERT_TRUE(std::filesystem::exists(*canvas->tempDirectory()));
  EXPECT_FALSE(std::filesystem::is_empty(*canvas->tempDirectory()));
  for (int k = 5; k >= 0; --k) {
    canvas->undoManager()->waitForFiles();
    ASSERT_TRUE(canvas->undo());
    EXPECT_EQ(readAll(*canvas), states[static_cast<std::size_t>(k)]) << k;
  }
  for (int k = 1; k <= 6; ++k) {
    canvas->undoManager()->waitForFiles();
    ASSERT_TRUE(canvas->redo());
    EXPECT_EQ(readAll(*canvas), states[static_cast<std::size_t>(k)]) << k;
  }
}

TEST_P(CanvasUndoTest, FiftyOneStrokesKeepFiftyStepsAndANewStrokeDropsRedo) {
  canvas->setBrushType(6);
  Pixels afterFirst;
  for (int k = 0; k < 51; ++k) {
    strokeNumber(k);
    if (k == 0) afterFirst = readAll(*canvas);
  }
  EXPECT_EQ(canvas->undoManager()->undoItems().size(), 50u);
  int steps = 0;
  for (;;) {
    canvas->undoManager()->waitForFiles();
    if (!canvas->undo()) break;
    ++steps;
  }
  EXPECT_EQ(steps, 50);
  EXPECT_EQ(readAll(*canvas), afterFirst);
  ASSERT_TRUE(canvas->redo());
  EXPECT_TRUE(canvas->canRedo());
  strokeNumber(99);
  EXPECT_FALSE(canvas->canRedo());
  EXPECT_FALSE(canvas->redo());
}

TEST_P(CanvasUndoTest, MissingSnapshotLeavesThePictureAndAnswersNo) {
  canvas->undoManager()->setMaxCacheCount(0);
  canvas->setBrushType(3);
  strokeNumber(1);
  strokeNumber(2);
  canvas->undoManager()->waitForFiles();
  // The files vanish (the app went to the background, say).
  canvas->undoManager()->waitForFiles();
  std::filesystem::remove(*canvas->undoManager()->pathWithName(canvas->undoManager()->undoItems().back()));
  const Pixels before = readAll(*canvas);
  EXPECT_FALSE(canvas->undo());
  EXPECT_EQ(readAll(*canvas), before);
  EXPECT_TRUE(canvas->canUndo());
}

TEST_P(CanvasUndoTest, ASnapshotThatDoesNotFitLeavesPictureAndHistory) {
  ImagesUndoManager* m = canvas->undoManager();
  m->setMaxCacheCount(1);
  // A foreign block under the earlier state; each add spills the other to a file.
  m->addItemWithImageData(std::make_shared<const fd::Data>(16, 7));
  strokeNumber(3);
  const std::string present = m->currentStringItem();
  m->waitForFiles();
  const Pixels before = readAll(*canvas);
  // Reading the unusable state back into the cache spills the present one to
  // its file; the step back must happen all the same.
  EXPECT_FALSE(canvas->undo());
  EXPECT_EQ(m->currentStringItem(), present);
  EXPECT_EQ(readAll(*canvas), before);
  EXPECT_TRUE(canvas->canUndo());
  EXPECT_FALSE(canvas->canRedo());
}

TEST_P(CanvasUndoTest, MarksNeedAChangeAndRespectTheInterval) {
  double clock = 1000;
  EAGLView::setClockForTesting([&] { return clock; });
  canvas->loadUndoManager();  // restarts the mark clock
  canvas->setAutoMark(false);
  canvas->mark();  // takes the clear made at creation
  EXPECT_FALSE(canvas->mark());  // nothing drawn since
  Recorder recorder;
  canvas->setDelegate(&recorder);
  canvas->setMarkTimeInterval(2);
  tap(*canvas, {50, 50});
  clock += 1;
  EXPECT_FALSE(canvas->mark());
  EXPECT_TRUE(canvas->edited());
  clock += 1.5;
  EXPECT_TRUE(canvas->mark());
  EXPECT_FALSE(canvas->edited());
  EXPECT_TRUE(recorder.events.empty());  // availability unchanged: nothing sent
  ASSERT_TRUE(canvas->undo());
  ASSERT_TRUE(canvas->undo());
  ASSERT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(recorder.events[0], (std::pair<char, bool>{'r', true}));
  EXPECT_EQ(recorder.events[1], (std::pair<char, bool>{'u', false}));
  clock += 5;
  tap(*canvas, {80, 50});
  EXPECT_TRUE(canvas->mark());
  ASSERT_EQ(recorder.events.size(), 4u);
  EXPECT_EQ(recorder.events[2], (std::pair<char, bool>{'u', true}));
  EXPECT_EQ(recorder.events[3], (std::pair<char, bool>{'r', false}));
  EAGLView::setClockForTesting({});
}

TEST_P(CanvasUndoTest, PixelBlocksLandBitExactly) {
  const int w = canvas->backingWidth(), h = canvas->backingHeight();
  std::mt19937 rng(5);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4);
  for (std::size_t i = 0; i < block.size(); i += 4) {
    const std::uint8_t a = static_cast<std::uint8_t>(rng() % 256);
    for (int c = 0; c < 3; ++c) block[i + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(a ? rng() % (a + 1) : 0);
    block[i + 3] = a;
  }
  canvas->setData(block.data(), {static_cast<float>(w), static_cast<float>(h)}, canvas->bounds());
  EXPECT_EQ(readAll(*canvas).bytes, block);
  // A block smaller than the canvas, placed on whole pixels.
  const auto small = std::vector<std::uint8_t>(block.begin(), block.begin() + 37 * 23 * 4);
  canvas->clear();
  const float s = GetParam();
  canvas->setData(small.data(), {37, 23}, gfx::Rect{10, 20, 37 / s, 23 / s});
  const Pixels p = readAll(*canvas);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 37; ++x) {
      const std::uint8_t* got = p.at(static_cast<int>(10 * s) + x, static_cast<int>(20 * s) + y);
      ASSERT_TRUE(std::equal(got, got + 4, &small[(static_cast<std::size_t>(y) * 37 + x) * 4])) << x << "," << y;
    }
  }
}

TEST_P(CanvasUndoTest, PagePicturesLoadWithoutBlurAndSurviveAReloadCycle) {
  const int w = canvas->backingWidth(), h = canvas->backingHeight();
  gfx::Image page(w, h, GetParam());
  std::mt19937 rng(9);
  for (std::size_t i = 0; i < page.bytes().size(); i += 4) {
    for (int c = 0; c < 3; ++c) page.bytes()[i + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(rng());
    page.bytes()[i + 3] = static_cast<std::uint8_t>(rng() % 2 ? 255 : rng());
  }
  canvas->setImage(&page, canvas->bounds());
  auto first = canvas->image();
  ASSERT_TRUE(first);
  gfx::Image expected = page;
  expected.premultiply();
  EXPECT_EQ(first->bytes(), expected.bytes());
  // Save (straight alpha) and load again: the picture does not drift.
  gfx::Image saved = *first;
  saved.unpremultiply();
  canvas->setImage(&saved, canvas->bounds());
  auto second = canvas->image();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->bytes(), first->bytes());
}

TEST_P(CanvasUndoTest, ResetUndoManagerAfterALoadEmptiesTheHistory) {
  strokeNumber(1);
  ASSERT_TRUE(canvas->canUndo());
  const auto block = solidBlock(canvas->backingWidth(), canvas->backingHeight(), 0, 50, 0, 255);
  canvas->setAutoMark(false);
  canvas->setData(block.data(), {static_cast<float>(canvas->backingWidth()), static_cast<float>(canvas->backingHeight())},
                  canvas->bounds());
  canvas->resetUndoManager();
  EXPECT_FALSE(canvas->canUndo());
  const Pixels loaded = readAll(*canvas);
  EXPECT_FALSE(canvas->undo());
  EXPECT_EQ(readAll(*canvas), loaded);
}

INSTANTIATE_TEST_SUITE_P(Scales, CanvasUndoTest, ::testing::Values(1.0f, 2.0f));
