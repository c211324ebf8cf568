// The frame manager's speed and memory on a 300-frame project at 2x, every
// frame with its icon file: opening the panel until its first page of
// thumbnails shows (target: within 100 ms), and loading all 300 thumbnails
// page by page (target: under 1 s); the peak memory is reported.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "desk/frames/ZTPicManagerView.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace {

constexpr int kFrames = 300;

struct FramesRig {
  FramesRig() : host(false, 2.0f) {
    ZTDataModel::resetSharedInstanceForTesting();
    DeviceScreen::setMainScreen(2.0f, 320, 480);
    ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
    while (static_cast<int>(project.imagesArray().size()) < kFrames) project.createImageAtPage(1);
    // Icons as the canvas writes them on a 2x screen.
    gfx::Context c(216, 162, 1);
    c.setFillColor({0.2f, 0.5f, 0.8f, 1});
    c.fillRect({10, 10, 150, 100});
    const gfx::Image icon = c.makeImage();
    const auto first = *project.iconFullPathAtPage(1, false);
    if (!gfx::writePNG(first, icon)) throw std::runtime_error("the benchmark's icon could not be written");
    for (int p = 2; p <= kFrames; ++p)
      std::filesystem::copy_file(first, *project.iconFullPathAtPage(p, false),
                                 std::filesystem::copy_options::overwrite_existing);
    project.saveData();
    host.setInstantAnimations(true);
    window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
    window->makeKeyAndVisible();
    host.runUntilIdle();
  }
  ~FramesRig() {
    window.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    DeviceScreen::resetForTesting();
  }
  std::shared_ptr<ZTPicManagerView> open() {
    auto panel = ZTPicManagerView::initWithFrame({0, 0, 480, 320});
    window->addSubview(panel);
    ZTPaperView::waitForLoads();
    return panel;
  }

  testing_support::ScopedSandbox sandbox;
  ui::HeadlessHost host;
  std::shared_ptr<ui::Window> window;
};

long peakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_OpenFirstPageOfThumbnails(benchmark::State& state) {
  FramesRig rig;
  for (auto _ : state) {
    auto panel = rig.open();
    if (panel->imagesViewArray()[0]->imageView()->image().empty()) state.SkipWithError("no thumbnail shown");
    state.PauseTiming();
    panel->removeFromSuperview();
    panel.reset();
    rig.host.runUntilIdle();
    state.ResumeTiming();
  }
  state.counters["peak_rss_MiB"] = double(peakRssKiB()) / 1024.0;
}

void BM_LoadAll300Thumbnails(benchmark::State& state) {
  FramesRig rig;
  for (auto _ : state) {
    auto panel = rig.open();
    int shown = 5;
    while (panel->curImagesViewPage() * 5 < kFrames) {
      panel->forward();
      ZTPaperView::waitForLoads();
      for (const auto& p : panel->imagesViewArray()) shown += p->imageView()->image().empty() ? 0 : 1;
    }
    if (shown != kFrames) state.SkipWithError("not every thumbnail was shown");
    state.PauseTiming();
    panel->removeFromSuperview();
    panel.reset();
    rig.host.runUntilIdle();
    state.ResumeTiming();
  }
  state.counters["thumbnails"] = kFrames;
  state.counters["peak_rss_MiB"] = double(peakRssKiB()) / 1024.0;
}

}  // namespace

BENCHMARK(BM_OpenFirstPageOfThumbnails)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadAll300Thumbnails)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
