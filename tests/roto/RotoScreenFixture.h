#pragma once
// The rotoscoping screen as a person reaches it: the program launched on the
// headless screen, the screen opened from the launch screen's carousel, and
// recordings handed over as the camera view hands them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/AppTestSupport.h"
#include "gpu/GPUView.h"
#include "desk/DeskPanels.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/ui/Application.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "roto/QTSystemAVCodec.h"
#include "roto/RotoTestSupport.h"
#include "roto/VTRotoscopingViewController.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace roto_test {

namespace fs = std::filesystem;
using roto::VTRotoscopingViewController;

class RotoscopingScreenTest : public app_test::AppTest {
 protected:
  void TearDown() override {
    ::unsetenv("FLIPDESK_CAMERA");
    AppTest::TearDown();
  }
  // The screen, once its camera has opened.
  VTRotoscopingViewController* openScreen(ZTLoadingViewController* launch) {
    launch->chooseEntry(ZTLoadingViewController::kRotoscoping);
    host->runUntilIdle();
    auto* screen = dynamic_cast<VTRotoscopingViewController*>(launch->presentedViewController());
    if (screen == nullptr || screen->videoView() == nullptr) return screen;
    EXPECT_TRUE(pumpUntil([&] { return screen->videoView()->isCameraOpen(); }));
    return screen;
  }
  // Pumps the main loop (in real time) until the condition holds or a minute passes.
  bool pumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      host->runUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    host->runUntilIdle();
    return true;
  }
  // The composed screen's pixels under the camera view, row by row.
  std::vector<std::uint32_t> cameraPixels(VTRotoscopingViewController* screen) {
    GPUView* camera = screen->videoView()->displayView();
    const ui::Rect r = camera->convertRectTo(camera->bounds(), nullptr);
    const float k = ui::Screen::main().scale();
    const ui::Compositor& c = ui::Application::shared().compositor();
    std::vector<std::uint32_t> px;
    for (int y = int(r.y * k); y < int((r.y + r.height) * k); ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(c.framePixels()) +
                                                               y * c.frameStride());
      px.insert(px.end(), row + int(r.x * k), row + int((r.x + r.width) * k));
    }
    return px;
  }
  // A recording of `seconds` at the recording path, handed over as the camera view does.
  fs::path record(VTRotoscopingViewController* screen, double seconds) {
    roto_test::MoviePlan plan;
    plan.seconds = seconds;
    plan.width = 160;
    plan.height = 120;
    plan.picture = [](int i) { return roto_test::squarePicture(160, 120, i); };
    return record(screen, plan);
  }
  fs::path record(VTRotoscopingViewController* screen, const roto_test::MoviePlan& plan) {
    const fs::path path = roto::VTRotoscopingFileManager::recordSaveFilePath();
    auto s = roto_test::writeTestMovie(path, plan);
    EXPECT_TRUE(s.ok()) << s.error();
    screen->ddGpuVideoViewDidEndRecordAtPath(nullptr, path.string());
    host->runUntilIdle();
    return path;
  }
  // The screen with a recording of `seconds` replayed under a full timeline.
  VTRotoscopingViewController* openWithRecording(ZTLoadingViewController* launch, double seconds) {
    VTRotoscopingViewController* screen = openScreen(launch);
    if (screen == nullptr) return nullptr;
    record(screen, seconds);
    EXPECT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
    return screen;
  }
  // The timeline's x for a time.
  float xAt(VTRotoscopingViewController* screen, float t) {
    roto::DDTimestampView* tl = screen->timestampView();
    return t / tl->maxTime() * tl->bounds().width;
  }
  float timelineY(VTRotoscopingViewController* screen) {
    roto::DDTimestampView* tl = screen->timestampView();
    return tl->frame().y + tl->frame().height / 2;
  }
  // Drags a handle from its time to another with real touches.
  void dragHandle(VTRotoscopingViewController* screen, float from, float to) {
    const float y = timelineY(screen);
    host->drag({xAt(screen, from), y}, {xAt(screen, to), y}, 6);
    host->runUntilIdle();
  }
};

}  // namespace roto_test
