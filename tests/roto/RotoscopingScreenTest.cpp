// The rotoscoping screen driven through the real view tree from the launch
// screen: a recorded movie replayed under the timeline, trimmed between the
// handles, exported into the project "Roto" and opened on the desk; the
// screen's alerts, its failure paths, a close in the middle of an export, and
// its pictures at both scales.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "app/AppDelegate.h"
#include "app/FileManagerView.h"
#include "app/ZTLoadingViewController.h"
#include "desk/DesktopManagerController.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/media/StreamCopy.h"
#include "platform/ui/Application.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUView.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"
#include "roto/QTSystemAVCodec.h"
#include "roto/RotoArt.h"
#include "roto/RotoScreenFixture.h"
#include "roto/RotoTestSupport.h"
#include "roto/VTRotoscopingViewController.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using roto::VTRotoscopingViewController;

using roto_test::RotoscopingScreenTest;

TEST_F(RotoscopingScreenTest, RecordingTrimmedAndExportedBecomesTheRotoProjectOpenOnTheDesk) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->videoCameraRect(), (ui::Rect{83, 13, 314, 236}));
  EXPECT_TRUE(screen->playButton()->isHidden());
  EXPECT_TRUE(screen->timestampView()->isHidden());

  const fs::path recording = record(screen, 5.0);
  const double recorded = *media::movieDuration(recording);
  ASSERT_NE(screen->moviePlayer(), nullptr);
  EXPECT_FALSE(screen->timestampView()->isHidden());
  EXPECT_TRUE(screen->recordButton()->isHidden());
  EXPECT_FALSE(screen->trimButton()->isHidden());
  EXPECT_TRUE(screen->saveButton()->isEnabled());
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  EXPECT_EQ(screen->timestampView()->backgroundImageView()->subviews().size(), 15u);
  EXPECT_NEAR(screen->timestampView()->cropFirstTime(), 0.3 * recorded, 1e-3);
  EXPECT_NEAR(screen->timestampView()->cropLastTime(), 0.7 * recorded, 1e-3);
  // Each handle is as wide as the timeline's mark picture.
  EXPECT_FLOAT_EQ(screen->timestampView()->firstCropIndicator()->frame().width,
                  roto_art::named("rotoscroping_trim_limited@2x.png").size().width);

  // Handles to 1.0 s and 4.0 s by touch, then confirm the trim.
  screen->trimAction();
  EXPECT_TRUE(screen->isCurrentTrim());
  screen->timestampView()->updateFirstCrop();
  screen->timestampView()->updateLastCrop();
  dragHandle(screen, screen->timestampView()->cropFirstTime(), 1.0f);
  dragHandle(screen, screen->timestampView()->cropLastTime(), 4.0f);
  EXPECT_NEAR(screen->timestampView()->cropFirstTime(), 1.0, 0.02);
  EXPECT_NEAR(screen->timestampView()->cropLastTime(), 4.0, 0.02);
  screen->trimAction();
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->message(), "Are you sure you want to trim this video?");
  ASSERT_TRUE(host->pressAlertButton("OK"));
  const fs::path trimmed = roto::FilmTrimerFileManager::folder() / "clipkeep_temp_file_A.mp4";
  ASSERT_TRUE(pumpUntil([&] { return screen->savedPath() == trimmed.string(); }));
  EXPECT_TRUE(screen->waitingView()->isHidden());
  host->advance(0.05);  // the reloaded replay plays for a moment, then pauses
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  const double d = *media::movieDuration(trimmed);
  EXPECT_NEAR(d, 3.0, 0.05);
  EXPECT_NEAR(screen->timestampView()->maxTime(), d, 1e-3);
  EXPECT_NEAR(screen->timestampView()->cropFirstTime(), 0.3 * d, 1e-3);

  // Export to the foreground.
  screen->saveAction();
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), "Export to...");
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Forground")));
  EXPECT_EQ(screen->position(), 2u);
  const int frames = static_cast<int>(d * 10 + 1);
  EXPECT_EQ(screen->totalExportNumber(), frames);
  ASSERT_TRUE(pumpUntil([&] {
    return dynamic_cast<DesktopManagerController*>(launch->presentedViewController()) != nullptr;
  }));
  ZTDataModel& model = ZTDataModel::sharedInstance();
  EXPECT_EQ(model.curProjectName(), "Roto");
  ProjectDataModel& project = *model.prjDataModel();
  ASSERT_EQ(static_cast<int>(project.imagesArray().size()), frames);
  for (int page = 1; page <= frames; ++page) {
    SCOPED_TRACE(page);
    auto path = project.layFullPathAtPage(page, false, 2);
    ASSERT_TRUE(path);
    auto layer = gfx::readImage(*path);
    ASSERT_TRUE(layer);
    const roto_test::Ink ink = roto_test::inkOf(*layer);
    EXPECT_GT(ink.count, 0);  // the square, in black
    EXPECT_EQ(layer->pixel(layer->pixelWidth() - 1, layer->pixelHeight() - 1)[3], 0);  // white paper gone
    const std::uint8_t* p = layer->pixel(static_cast<int>(ink.x), static_cast<int>(ink.y));
    EXPECT_GT(p[3], 200);
    EXPECT_LT(p[0] + p[1] + p[2], 30);
  }
  // The middle-ground layer holds nothing exported.
  auto middle = project.layFullPathAtPage(1, false, 1);
  if (middle && fs::exists(*middle)) {
    EXPECT_EQ(roto_test::inkOf(*gfx::readImage(*middle)).count, 0);
  }
  DesktopManagerController* desk = DesktopManagerController::sharedViewController();
  ASSERT_NE(desk, nullptr);
  const std::string count = (frames < 10 ? "00" : "0") + std::to_string(frames);
  EXPECT_EQ(desk->pageIndicator()->text(), count + "/" + count);
}

TEST_F(RotoscopingScreenTest, ShortSelectionsAreRefusedWhicheverButtonAndCancelledExportsDoNothing) {
  VTRotoscopingViewController* screen = openWithRecording(start(), 3.0);
  ASSERT_NE(screen, nullptr);
  screen->trimAction();
  screen->timestampView()->setCropFirstTime(1.0f);
  screen->timestampView()->setCropLastTime(1.99f);
  screen->trimAction();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("NO")));
  host->runUntilIdle();
  ASSERT_EQ(host->alerts().size(), 1u);
  // The refusal says in words what the selection lacks.
  const std::string refusal = host->alerts()[0]->message();
  EXPECT_EQ(refusal, fd::Localized("Invalid timeinterval"));
  EXPECT_NE(refusal.find("at least 1 second"), std::string::npos) << refusal;
  ASSERT_TRUE(host->pressAlertButton("Cancel"));
  host->runUntilIdle();
  EXPECT_FALSE(screen->timestampView()->firstCropIndicator()->isHidden());  // the handles stay
  EXPECT_FALSE(screen->isCurrentTrim());
  // "Cancel" in "Export to..." exports nothing and keeps the position.
  screen->saveAction();
  ASSERT_TRUE(host->pressAlertButton("Cancel"));
  EXPECT_EQ(screen->position(), 1u);
  EXPECT_EQ(screen->totalExportNumber(), 0);
  EXPECT_TRUE(screen->waitingView()->isHidden());
}

TEST_F(RotoscopingScreenTest, TrimPastTheEndIsCutAtTheEndAndAFailedTrimSaysSoWithoutWaitingForever) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  const fs::path recording = record(screen, 3.0);
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  // The last handle dragged past the right end of the timeline.
  screen->trimAction();
  screen->timestampView()->updateLastCrop();
  dragHandle(screen, screen->timestampView()->cropLastTime(), 3.6f);
  EXPECT_GT(screen->timestampView()->cropLastTime(), screen->moviePlayer()->duration());
  screen->trimAction();
  ASSERT_TRUE(host->pressAlertButton("OK"));
  host->runUntilIdle();
  ASSERT_TRUE(pumpUntil([&] { return screen->waitingView()->isHidden(); }));
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(fs::path(screen->savedPath()).filename(), "clipkeep_temp_file_A.mp4");

  // A source gone before the trim: the waiting view goes and the failure is told.
  host->advance(0.05);
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  const std::string kept = screen->savedPath();
  fs::remove(kept);
  screen->trimAction();
  screen->timestampView()->setCropFirstTime(0.2f);
  screen->timestampView()->setCropLastTime(1.8f);
  screen->trimAction();
  ASSERT_TRUE(host->pressAlertButton("OK"));
  host->runUntilIdle();
  ASSERT_TRUE(pumpUntil([&] { return !host->alerts().empty(); }));
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->message(), "Video trim failed!");
  EXPECT_TRUE(screen->waitingView()->isHidden());
  EXPECT_EQ(screen->savedPath(), kept);
}

TEST_F(RotoscopingScreenTest, CameraRecordsThroughTheSketchChainAndTheReplayOpensTheWrittenMovie) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(screen->videoView(), nullptr);
  // The program's launch entered the sketch filters into the registry.
  EXPECT_NE(GPUFilterRegistry::shared().classNamed("GPUGrayscaleGaussianBlurColorInvertFilter"), nullptr);
  ASSERT_NE(screen->videoView()->videoCamera(), nullptr);  // the moving test pattern stands in
  EXPECT_EQ(screen->videoView()->frame(), screen->videoCameraRect());
  EXPECT_NE(dynamic_cast<GPUAddBlendFilter*>(screen->videoView()->filter()), nullptr);
  screen->recordAction();
  EXPECT_TRUE(screen->isCurrentRecord());
  EXPECT_TRUE(screen->recordButton()->isSelected());
  EXPECT_FALSE(screen->timeLabel()->isHidden());
  // Film for a while in real time; the label counts whole seconds on the loop's clock.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < until) {
    host->runUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  host->advance(2.0);
  EXPECT_EQ(screen->timeLabel()->text(), "00:00:02");
  screen->recordAction();
  EXPECT_FALSE(screen->isCurrentRecord());
  ASSERT_TRUE(pumpUntil([&] { return screen->moviePlayer() != nullptr; }));
  EXPECT_EQ(screen->videoView(), nullptr);  // the camera is gone, the movie written
  const fs::path recording = roto::VTRotoscopingFileManager::recordSaveFilePath();
  EXPECT_EQ(screen->savedPath(), recording.string());
  auto d = media::movieDuration(recording);
  ASSERT_TRUE(d.ok()) << d.error();
  EXPECT_GT(*d, 0.5);
  EXPECT_TRUE(screen->recordButton()->isHidden());
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  EXPECT_NEAR(screen->timestampView()->maxTime(), *d, 1e-3);
  // Recording never starts again.
  screen->recordAction();
  EXPECT_FALSE(screen->isCurrentRecord());
}

// The screen is composed only when something changed: each new camera
// picture must still reach it, and only about the camera's part is drawn.
TEST_F(RotoscopingScreenTest, EachCameraPictureReachesTheComposedScreen) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(screen->videoView(), nullptr);
  GPUView* camera = screen->videoView()->displayView();
  ASSERT_NE(camera, nullptr);
  ui::Application& app = ui::Application::shared();
  ASSERT_TRUE(pumpUntil([&] { return camera->presentCount() >= 2; }));
  app.composeScreen();
  const ui::Rect r = camera->convertRectTo(camera->bounds(), nullptr);
  const float k = ui::Screen::main().scale();
  int changedPictures = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t before = camera->presentCount();
    const std::vector<std::uint32_t> shown = cameraPixels(screen);
    ASSERT_TRUE(pumpUntil([&] { return camera->presentCount() > before; }));
    ASSERT_TRUE(app.composeScreen()) << "picture " << i;
    long inCamera = 0;
    for (const ui::PixelRect& c : app.compositor().changedRects()) {
      const ui::Rect box{c.x / k, c.y / k, c.width / k, c.height / k};
      const ui::Rect common = box.intersection(r);
      inCamera += long(common.width * common.height);
    }
    EXPECT_GT(inCamera, 0) << "picture " << i;
    if (cameraPixels(screen) != shown) ++changedPictures;
  }
  EXPECT_GE(changedPictures, 3) << "the moving pattern shows on the screen";
}

TEST(RotoscopingOrientation, CameraOrientationFollowsTheInterface) {
  EXPECT_EQ(VTRotoscopingViewController::invertInterfaceOrientation(1), 4);
  EXPECT_EQ(VTRotoscopingViewController::invertInterfaceOrientation(2), 2);
  EXPECT_EQ(VTRotoscopingViewController::invertInterfaceOrientation(3), 4);
  EXPECT_EQ(VTRotoscopingViewController::invertInterfaceOrientation(4), 3);
  EXPECT_EQ(VTRotoscopingViewController::invertInterfaceOrientation(7), 7);
}

struct CountingDelegate : roto::VTRotoscopingViewControllerDelegate {
  std::atomic<int> frames{0};
  std::atomic<bool> finished{false};
  void vtRotoscopingViewControllerExportImage(const std::shared_ptr<const gfx::Image>&, int, unsigned) override {
    ++frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a model write
  }
  bool answersDidFinishExport() const override { return true; }
  void vtRotoscopingViewControllerDidFinishExport(VTRotoscopingViewController*) override { finished = true; }
};

TEST_F(RotoscopingScreenTest, ClosingDuringAnExportStopsItCleanly) {
  ZTLoadingViewController* launch = start();
  CountingDelegate counting;
  std::weak_ptr<ui::ViewController> weak;
  {
    auto screen = std::make_shared<VTRotoscopingViewController>();
    weak = screen;
    screen->setDelegate(&counting);
    launch->presentViewController(screen, false);
    host->runUntilIdle();
    record(screen.get(), 8.0);
    ASSERT_TRUE(pumpUntil([&] { return screen->moviePlayer()->duration() > 0; }));
    screen->saveAction();
    ASSERT_TRUE(host->pressAlertButton("Middle Ground"));
    ASSERT_TRUE(pumpUntil([&] { return counting.frames.load() >= 3; }));
    screen->closeAction();
  }
  host->runUntilIdle();
  EXPECT_TRUE(weak.expired());  // the closed screen is gone
  const int atClose = counting.frames.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  host->runUntilIdle();
  EXPECT_EQ(counting.frames.load(), atClose);
  EXPECT_LT(atClose, 81);
  EXPECT_FALSE(counting.finished.load());
}

TEST_F(RotoscopingScreenTest, TallScreenPlacesTheCameraFurtherRightAndPicturesFollowTheScale) {
  ZTLoadingViewController* launch = start(true, 2.0f);
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->videoCameraRect().x, 127);
  EXPECT_EQ(screen->timestampView()->frame(), (ui::Rect{0, 320 - 76, 568, 76}));
  EXPECT_EQ(screen->waitingView()->frame().width, 568);
  for (const std::string& name : roto_art::names()) {
    SCOPED_TRACE(name);
    const gfx::Image one = roto_art::draw(name, 1), two = roto_art::draw(name, 2);
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(two.pixelWidth(), 2 * one.pixelWidth());
    EXPECT_EQ(two.pixelHeight(), 2 * one.pixelHeight());
    EXPECT_GT(roto_test::inkOf(two).count, 0);
    EXPECT_EQ(roto_art::named(name).scale(), 2.0f);
  }
  EXPECT_TRUE(roto_art::named("no such picture").empty());
  EXPECT_EQ(screen->recordButton()->imageForState(ui::StateNormal), roto_art::named("roto_record"));
}

}  // namespace
