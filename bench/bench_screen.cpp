// What a resting screen costs, on the real run loop and clock with the screen
// composed 60 times a second as the window does: an idle desk for 10 s
// (target: under 3% of a core), and the launch screen at rest, while its
// carousel is dragged and pages, and at rest again (target: the carousel
// costs only while it moves); each beside the same composed whole every time
// (the baseline: the screen drawn whether anything changed or not). The
// figure is the process's CPU time over the wall time.
#include <benchmark/benchmark.h>

#include <time.h>

#include "app/AppDelegate.h"
#include "app/ZTLoadingViewController.h"
#include "desk/DesktopManagerController.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace {

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The share of a core the process used while `work` ran.
template <typename Work>
double coreShare(Work&& work) {
  fd::RunLoop& loop = fd::RunLoop::main();
  const double cpu0 = processSeconds(), wall0 = loop.now();
  work();
  const double wall = loop.now() - wall0;
  return wall > 0 ? (processSeconds() - cpu0) / wall : 0;
}

// A sandbox on the real clock, a 2x headless screen and the window's 60 Hz
// compose; `whole` composes every frame whole.
struct ScreenRig {
  explicit ScreenRig(bool whole) {
    fd::RunLoop::resetMainForTesting(false);
    ZTDataModel::resetSharedInstanceForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    host = std::make_unique<ui::HeadlessHost>(false, 2.0f);
    const ui::Rect b = ui::Screen::main().bounds();
    DeviceScreen::setMainScreen(2.0f, b.height, b.width);
    ui::Application& app = ui::Application::shared();
    app.compositor().setIncremental(!whole);
    pump = fd::RunLoop::main().scheduleTimer(1.0 / 60, true, [&app] { app.composeScreen(); });
  }
  ~ScreenRig() {
    pump->invalidate();
    ui::Application::shared().compositor().setIncremental(true);
    ui::Application::shared().reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    DeviceScreen::resetForTesting();
  }
  void run(double seconds) { fd::RunLoop::main().advance(seconds); }

  testing_support::ScopedSandbox sandbox;
  std::unique_ptr<ui::HeadlessHost> host;
  fd::TimerRef pump;
};

void idleDesk(benchmark::State& state, bool whole) {
  ScreenRig rig(whole);
  auto window = std::make_shared<ui::Window>(ui::Screen::main().bounds());
  auto desk = DesktopManagerController::initWithNibName("DesktopManagerController");
  window->setRootViewController(desk);
  window->makeKeyAndVisible();
  rig.run(1.0);  // the desk settles
  double share = 0;
  for (auto _ : state) share = coreShare([&] { rig.run(10.0); });
  state.counters["core_percent"] = share * 100;
  window.reset();
  desk.reset();
}

void BM_IdleDesk10s(benchmark::State& state) { idleDesk(state, false); }
void BM_IdleDesk10sComposedWhole(benchmark::State& state) { idleDesk(state, true); }

void launchScreen(benchmark::State& state, bool whole) {
  ScreenRig rig(whole);
  auto delegate = std::make_shared<AppDelegate>();
  ui::Application::shared().setDelegate(delegate);
  ui::Application::shared().launch();
  rig.run(1.0);
  ZTLoadingViewController* launch = delegate->loadingViewController();
  ui::Button* first = launch->entryButton(ZTLoadingViewController::kPreviousWork);
  const ui::Rect r = first->convertRectTo(first->bounds(), nullptr);
  double resting = 0, moving = 0, after = 0;
  for (auto _ : state) {
    resting = coreShare([&] { rig.run(5.0); });
    // A swipe of a quarter second, then the page settles.
    moving = coreShare([&] {
      rig.host->touchDown(1, {r.x + r.width - 10, r.y + 40});
      for (int i = 1; i <= 15; ++i) {
        rig.run(1.0 / 60);
        rig.host->touchMove(1, {r.x + r.width - 10 - 8.0f * i, r.y + 40});
      }
      rig.host->touchUp(1, {r.x + r.width - 130, r.y + 40});
      rig.run(ui::ScrollView::kPagingDuration + 0.05);
    });
    after = coreShare([&] { rig.run(5.0); });
    launch->carousel()->setContentOffset({0, 0});
  }
  state.counters["resting_core_percent"] = resting * 100;
  state.counters["moving_core_percent"] = moving * 100;
  state.counters["after_core_percent"] = after * 100;
}

void BM_LaunchScreen(benchmark::State& state) { launchScreen(state, false); }
void BM_LaunchScreenComposedWhole(benchmark::State& state) { launchScreen(state, true); }

}  // namespace

BENCHMARK(BM_IdleDesk10s)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_IdleDesk10sComposedWhole)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_LaunchScreen)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_LaunchScreenComposedWhole)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
