// The legacy canvas's ES 1 surface: the five-state undo ring and its limits,
// stamps, page loads, and the page files at the live canvas's sizes, which
// the live canvas reads back.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "canvas/DrawsView.h"
#include "legacy/LegacyTestSupport.h"

using legacy_test::DeskRecorder;
using legacy_test::LegacyTest;
using legacy_test::solid;

namespace {

class LegacySurfaceTest : public LegacyTest {
 protected:
  void SetUp() override {
    LegacyTest::SetUp();
    view = DrawView::initDrawViewWithScaleFactor(1);
    ASSERT_NE(view, nullptr);
    view->setDelegate(&desk);
  }
  void TearDown() override {
    view.reset();
    LegacyTest::TearDown();
  }

  // State number k: the whole surface in a colour of its own.
  void paintState(int k) {
    const gfx::Image picture = solid(384, 288, static_cast<std::uint8_t>(40 * k), 0, 0);
    view->drawImage(&picture);
  }
  int shownState() {
    const auto picture = view->image();
    return picture ? picture->pixel(10, 10)[0] / 40 : -1;
  }

  DeskRecorder desk;
  std::shared_ptr<DrawView> view;
};

}  // namespace

TEST_F(LegacySurfaceTest, TheSurfaceIsAnES1FramebufferOfThePageTimesTheScale) {
  EXPECT_EQ(view->context()->apiVersion(), 1);
  EXPECT_EQ(view->backingWidth(), 384);
  EXPECT_EQ(view->backingHeight(), 288);
  auto twice = DrawView::initDrawViewWithScaleFactor(2);
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice->backingWidth(), 768);
  EXPECT_EQ(twice->backingHeight(), 576);
  EXPECT_EQ(twice->frame(), (gfx::Rect{0, 0, 384, 288}));
  const auto blank = twice->image();
  ASSERT_TRUE(blank);
  EXPECT_EQ(blank->pixel(400, 300)[3], 0) << "a new canvas is transparent";
}

TEST_F(LegacySurfaceTest, FiveStatesFourUndosAndTheirMessages) {
  view->initRedo_Undo();
  desk.log.clear();
  EXPECT_FALSE(view->canUndo());
  view->undo();
  EXPECT_TRUE(desk.log.empty()) << "undo right after the ring starts sends nothing";

  for (int k = 1; k <= 4; ++k) {
    paintState(k);
    view->saveToBuffer();
  }
  EXPECT_EQ(desk.log.size(), 8u);
  EXPECT_EQ(desk.log[0], "disableRedo");
  EXPECT_EQ(desk.log[1], "enableUndo");
  view->redo();
  EXPECT_EQ(desk.log.size(), 8u) << "redo right after a save does nothing";

  desk.log.clear();
  for (int k = 3; k >= 0; --k) {
    view->undo();
    EXPECT_EQ(shownState(), k);
  }
  EXPECT_EQ(desk.log.back(), "enableRedo");
  EXPECT_EQ(desk.log[desk.log.size() - 2], "disableUndo") << "the base state ends undo";
  EXPECT_TRUE(view->operated());
  desk.log.clear();
  view->undo();
  EXPECT_EQ(shownState(), 0);
  EXPECT_TRUE(desk.log.empty());

  for (int k = 1; k <= 4; ++k) view->redo();
  EXPECT_EQ(shownState(), 4);
  EXPECT_FALSE(view->canRedo());

  // A fifth save drops the base state: four undos now end at state 1.
  paintState(5);
  view->saveToBuffer();
  for (int i = 0; i < 6; ++i) view->undo();
  EXPECT_EQ(shownState(), 1);
}

TEST_F(LegacySurfaceTest, ASaveAfterUndoDropsTheRedoSteps) {
  paintState(1);
  view->saveToBuffer();
  paintState(2);
  view->saveToBuffer();
  view->undo();
  EXPECT_TRUE(view->canRedo());
  paintState(3);
  view->saveToBuffer();
  EXPECT_FALSE(view->canRedo());
  view->redo();
  EXPECT_EQ(shownState(), 3);
  view->undo();
  EXPECT_EQ(shownState(), 1);
}

TEST_F(LegacySurfaceTest, WritingTheLayerRestartsTheRingSoUndoIsRefusedCleanly) {
  paintState(1);
  view->saveToBuffer();
  paintState(2);
  view->saveToBuffer();
  view->setOperated(true);
  desk.log.clear();
  ASSERT_TRUE(view->writeToFileForLay(2));
  EXPECT_FALSE(view->operated());
  EXPECT_EQ(desk.log, (std::vector<std::string>{"disableRedo", "disableUndo"}));
  const OpenGLES2DView::RingState ring = view->ringState();
  EXPECT_EQ(ring.buffers, 1) << "the old snapshots are freed, the written surface kept";
  EXPECT_EQ(ring.indicator, ring.low);
  EXPECT_EQ(ring.indicator, ring.top);

  // Undo finds no older state and leaves the surface alone.
  desk.log.clear();
  view->undo();
  view->redo();
  EXPECT_TRUE(desk.log.empty());
  EXPECT_EQ(shownState(), 2);
  // A change after the write can be undone back to the written page.
  paintState(3);
  view->saveToBuffer();
  view->undo();
  EXPECT_EQ(shownState(), 2);

  // Nothing changed: nothing written, the ring still restarts.
  std::filesystem::remove(*project().layFullPathAtPage(1, false, 1));
  view->setOperated(false);
  desk.log.clear();
  EXPECT_TRUE(view->writeToFileForLay(1));
  EXPECT_FALSE(std::filesystem::exists(*project().layFullPathAtPage(1, false, 1)));
  EXPECT_EQ(desk.log, (std::vector<std::string>{"disableRedo", "disableUndo"}));
  EXPECT_FALSE(view->canUndo());
}

TEST_F(LegacySurfaceTest, AStampCutClearsExactlyWhereThePictureIsOpaque) {
  const gfx::Image red = solid(384, 288, 255, 0, 0);
  view->setBufferWithImage(&red);
  const gfx::Image block = solid(20, 10, 0, 0, 0);
  view->drawToolGraphImage(&block, {100, 50, 20, 10}, 0, false);
  const auto picture = view->image();
  ASSERT_TRUE(picture);
  for (int y = 45; y < 55; ++y)
    for (int x = 90; x < 110; ++x) ASSERT_EQ(picture->pixel(x, y)[3], 0) << x << "," << y;
  for (auto [x, y] : {std::pair{89, 50}, {110, 50}, {100, 44}, {100, 55}}) {
    EXPECT_EQ(picture->pixel(x, y)[3], 255) << x << "," << y;
    EXPECT_EQ(picture->pixel(x, y)[0], 255);
  }
  EXPECT_TRUE(view->operated());
  EXPECT_TRUE(view->canUndo()) << "a stamp is an undo step";
}

TEST_F(LegacySurfaceTest, APastedStampTurnsClockwiseByItsAngle) {
  const gfx::Image bar = solid(60, 6, 0, 0, 255);
  view->drawToolGraphImage(&bar, {200, 100, 60, 6}, static_cast<float>(M_PI / 2), true);
  const auto picture = view->image();
  ASSERT_TRUE(picture);
  EXPECT_GT(picture->pixel(200, 80)[2], 200) << "a quarter turn stands the bar up";
  EXPECT_GT(picture->pixel(200, 120)[2], 200);
  EXPECT_EQ(picture->pixel(180, 100)[3], 0);
  EXPECT_EQ(picture->pixel(220, 100)[3], 0);
}

TEST_F(LegacySurfaceTest, LoadingAPageMakesItTheOnlyStateAndTheFlagKeepsTheSurface) {
  // Top half red, bottom half blue: read back right way up.
  gfx::Image page = solid(384, 288, 255, 0, 0);
  for (int y = 144; y < 288; ++y)
    for (int x = 0; x < 384; ++x) page.pixel(x, y)[0] = 0, page.pixel(x, y)[2] = 255;
  view->setOperated(true);
  view->setBufferWithImage(&page);
  EXPECT_FALSE(view->operated());
  EXPECT_FALSE(view->canUndo());
  auto picture = view->image();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->pixel(10, 10)[0], 255);
  EXPECT_EQ(picture->pixel(10, 280)[2], 255);

  paintState(3);
  view->saveToBuffer();
  view->setIsNotSetBuffer(true);
  view->setBufferWithImage(&page);
  EXPECT_FALSE(view->isNotSetBuffer()) << "the flag holds for one load";
  EXPECT_EQ(shownState(), 3) << "the surface stayed";
  EXPECT_FALSE(view->canUndo()) << "the ring starts again from it";

  view->setBufferWithImage(nullptr);
  picture = view->image();
  EXPECT_EQ(picture->pixel(10, 10)[3], 0) << "no picture: a clear page";
}

TEST_F(LegacySurfaceTest, PageFilesHaveTheLiveCanvasSizesAndTheLiveCanvasReadsThem) {
  auto legacy = DrawView::initDrawViewWithScaleFactor(2);
  ASSERT_NE(legacy, nullptr);
  gfx::Image page = solid(768, 576, 0, 0, 0, 0);
  for (int y = 100; y < 300; ++y)
    for (int x = 200; x < 500; ++x) page.pixel(x, y)[1] = 255, page.pixel(x, y)[3] = 255;
  legacy->setBufferWithImage(&page);
  legacy->setOperated(true);
  ASSERT_TRUE(legacy->writeToFileForLay(2));

  const auto layer = gfx::readPNG(*project().layFullPathAtPage(1, false, 2));
  const auto snapshot = gfx::readPNG(*project().snapshotFullPathAtPage(1, false));
  const auto icon = gfx::readPNG(*project().iconFullPathAtPage(1, false));
  ASSERT_TRUE(layer && snapshot && icon);
  EXPECT_EQ(layer->pixelWidth(), 768);
  EXPECT_EQ(layer->pixelHeight(), 576);
  EXPECT_EQ(snapshot->pixelWidth(), 384);
  EXPECT_EQ(snapshot->pixelHeight(), 288);
  EXPECT_EQ(icon->pixelWidth(), 216);
  EXPECT_EQ(icon->pixelHeight(), 162);
  EXPECT_EQ(snapshot->pixel(175, 100)[1], 255) << "the snapshot holds the layer, halved";
  EXPECT_EQ(snapshot->pixel(50, 20)[3], 0);

  // The live canvas loads the file and shows the same picture.
  auto live = DrawsView::initDrawViewWithScaleFactor(2);
  ASSERT_NE(live, nullptr);
  live->setImage(&*layer, live->bounds());
  const auto shown = live->image();
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->pixel(350, 200)[1], 255);
  EXPECT_EQ(shown->pixel(350, 200)[3], 255);
  EXPECT_EQ(shown->pixel(100, 50)[3], 0);

  // And the other way: a page the live canvas wrote loads on the legacy one.
  live->drawImage(solid(768, 576, 255, 0, 0), live->bounds());
  ASSERT_TRUE(live->writeToFileForLay(1));
  const auto liveLayer = gfx::readPNG(*project().layFullPathAtPage(1, false, 1));
  ASSERT_TRUE(liveLayer);
  legacy->setBufferWithImage(&*liveLayer);
  EXPECT_EQ(legacy->image()->pixel(10, 570)[0], 255);

  // The snapshot-only writer leaves the layer file alone.
  const auto before = std::filesystem::last_write_time(*project().layFullPathAtPage(1, false, 1));
  EXPECT_TRUE(legacy->writeSnapAndIconImage(1));
  EXPECT_EQ(std::filesystem::last_write_time(*project().layFullPathAtPage(1, false, 1)), before);
  EXPECT_EQ(gfx::readPNG(*project().snapshotFullPathAtPage(1, false))->pixel(10, 10)[0], 255);
}

TEST_F(LegacySurfaceTest, TheBackgroundAndItsIconAreWrittenOnlyWhenChanged) {
  model().extendDataModel().setBackgroundName(std::string("USlegacy"));
  const auto image = model().backgroundFullPathWithBackgroundName(std::string("USlegacy"));
  const auto icon = model().backgroundIconFullPathWithBackgroundName(std::string("USlegacy"));
  ASSERT_TRUE(image && icon);
  EXPECT_TRUE(view->writeToFileForBackground());
  EXPECT_FALSE(std::filesystem::exists(*image)) << "an unchanged background is not written";
  const gfx::Image sky = solid(384, 288, 0, 0, 255);
  view->drawImage(&sky);
  view->setOperated(true);
  ASSERT_TRUE(view->writeToFileForBackground());
  EXPECT_FALSE(view->operated());
  const auto written = gfx::readPNG(*image);
  const auto writtenIcon = gfx::readPNG(*icon);
  ASSERT_TRUE(written && writtenIcon);
  EXPECT_EQ(written->pixelWidth(), 384);
  EXPECT_EQ(writtenIcon->pixelWidth(), 108);
  EXPECT_EQ(writtenIcon->pixelHeight(), 81);
  EXPECT_EQ(writtenIcon->pixel(50, 40)[2], 255);
}
