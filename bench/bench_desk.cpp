// The desk's speed and memory: composing a whole desk frame at 2x while the
// canvas draws and presents a new picture each frame (target: 120 fps or
// more), a page turn against a page save plus a page load of the same pages
// (target: the turn within 1.5 times), and the peak memory with a 300-frame
// project open on the desk.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>

#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace {

// A desk on a headless 2x screen over a project of `frames` frames.
struct DeskRig {
  explicit DeskRig(int frames) : host(false, 2.0f) {
    ZTDataModel::resetSharedInstanceForTesting();
    DeviceScreen::setMainScreen(2.0f, 320, 480);
    ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
    while (static_cast<int>(project.imagesArray().size()) < frames) project.createImageAtPage(1);
    host.setInstantAnimations(true);
    window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
    desk = DesktopManagerController::initWithNibName("DesktopManagerController");
    window->setRootViewController(desk);
    window->makeKeyAndVisible();
    host.runUntilIdle();
  }
  ~DeskRig() {
    window.reset();
    desk.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    DeviceScreen::resetForTesting();
  }
  ui::Point onPage(float x, float y) const {
    ui::Rect f = desk->canvas()->frame();
    return {f.x + x, f.y + y};
  }
  // One stroke across the page, as a finger draws it.
  void stroke(float y) {
    host.touchDown(1, onPage(30, y));
    for (int i = 1; i <= 6; ++i) host.touchMove(1, onPage(30 + i * 50.0f, y + (i % 2) * 20));
    host.touchUp(1, onPage(330, y));
  }

  testing_support::ScopedSandbox sandbox;
  ui::HeadlessHost host;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<DesktopManagerController> desk;
};

void BM_DeskFrameWhileDrawing(benchmark::State& state) {
  DeskRig rig(1);
  ui::Application& app = ui::Application::shared();
  DrawsView* canvas = rig.desk->drawsView();
  rig.host.touchDown(1, rig.onPage(40, 40));
  int n = 0;
  for (auto _ : state) {
    // One finger move draws dabs and presents a new canvas picture.
    const float t = static_cast<float>(n++);
    rig.host.touchMove(1, rig.onPage(192 + 150 * std::cos(t * 0.1f), 144 + 110 * std::sin(t * 0.13f)));
    app.composeScreen();
    benchmark::DoNotOptimize(app.compositor().framePixels());
  }
  rig.host.touchUp(1, rig.onPage(40, 40));
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["presents"] = double(canvas->layer().presentCount());
}

// Each round draws on page 1 and page 2 alternately. The turn is the desk's
// whole page change (save, load, onion skin, transition); the reference is
// the canvas writing the changed layer and the desk loading the other page.
void BM_PageTurnAgainstSaveAndLoad(benchmark::State& state) {
  DeskRig rig(2);
  DesktopManagerController& desk = *rig.desk;
  ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  using Clock = std::chrono::steady_clock;
  double turnSeconds = 0, referenceSeconds = 0;
  long rounds = 0;
  int page = 2;
  for (auto _ : state) {
    rig.stroke(60.0f + (rounds % 5) * 40);
    auto t0 = Clock::now();
    if (page == 2) desk.toPrePage();
    else desk.toNextPage();
    turnSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    page = settings.curPage();
    rig.host.runUntilIdle();

    state.PauseTiming();
    rig.stroke(80.0f + (rounds % 5) * 40);
    state.ResumeTiming();
    auto t1 = Clock::now();
    desk.saveCurPage();
    settings.setCurPage(page == 1 ? 2 : 1);
    desk.setPageData();
    referenceSeconds += std::chrono::duration<double>(Clock::now() - t1).count();
    page = settings.curPage();
    ++rounds;
  }
  state.counters["turn_ms"] = turnSeconds * 1000 / double(rounds);
  state.counters["save_load_ms"] = referenceSeconds * 1000 / double(rounds);
  state.counters["ratio"] = referenceSeconds > 0 ? turnSeconds / referenceSeconds : 0;
}

long peakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_PeakMemoryWith300Frames(benchmark::State& state) {
  for (auto _ : state) {
    DeskRig rig(300);
    // Walk through some of the pages so that layers, snapshots and onion
    // pictures have been written and read.
    for (int i = 0; i < 20; ++i) {
      rig.stroke(100);
      rig.desk->toPrePage();
    }
    rig.host.runUntilIdle();
    benchmark::DoNotOptimize(ui::Application::shared().screenshot());
    state.counters["frames"] = double(ZTDataModel::sharedInstance().prjDataModel()->imagesArray().size());
  }
  state.counters["peak_rss_MiB"] = double(peakRssKiB()) / 1024.0;
}

// The memory figure first: the peak is the process's, so nothing may run before it.
BENCHMARK(BM_PeakMemoryWith300Frames)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DeskFrameWhileDrawing)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PageTurnAgainstSaveAndLoad)->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace

BENCHMARK_MAIN();
