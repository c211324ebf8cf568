// The desk's speed and memory: a desk frame at 2x while the canvas draws and
// presents a new picture each frame, only the changed part composed (target:
// 240 fps or more), beside the same frames composed whole, and with the
// page saved in the background as the drawing pauses (target: no slower
// than beside it without); a page turn
// against a page save plus a page load of the same pages (target: the turn
// within 1.5 times); the peak memory with a 300-frame project open on the
// desk; playback of a 300-frame project at 12 frames per second, each
// frame's snapshot loaded on the main thread as it comes (target: load and
// screen within a third of the 83 ms frame, no frame late, memory flat over
// the run); and the same playback on the real run loop and clock with every
// core but one kept busy by other threads, beside the former clock that
// counted the timer's calls as ticks (target: the mean frame interval within
// 2% of the 0.08 s frame, no frame more than one frame late).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>
#include <vector>

#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace {

// A desk on a headless 2x screen over a project of `frames` frames, on the
// sandbox's virtual clock or on the real one.
struct DeskRig {
  explicit DeskRig(int frames, bool realClock = false) : host(false, 2.0f) {
    if (realClock) fd::RunLoop::resetMainForTesting(false);
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

// `whole`: every frame composed whole with the canvas read whole, as before
// the screen kept its frame (the baseline).
void deskFrameWhileDrawing(benchmark::State& state, bool whole) {
  DeskRig rig(1);
  ui::Application& app = ui::Application::shared();
  app.compositor().setIncremental(!whole);
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
  app.compositor().setIncremental(true);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["presents"] = double(canvas->layer().presentCount());
}

void BM_DeskFrameWhileDrawing(benchmark::State& state) { deskFrameWhileDrawing(state, false); }
void BM_DeskFrameWhileDrawingComposedWhole(benchmark::State& state) { deskFrameWhileDrawing(state, true); }

// The same frame with the page saved as the drawing goes on. Baseline (0):
// no saving at all. Pending (1): the desk's saving looked at and armed again
// at every lift of the finger, as between strokes. Running (2): besides, a
// background write of the page (encoding and writing its files on the
// canvas's queue) is under way the whole time. The picture is read back for
// each write outside the timed part: the desk reads it at most once every
// two seconds, at a pause or a lift.
void BM_DeskFrameWhileDrawingWithPageSaves(benchmark::State& state) {
  enum Mode { kBaseline, kPending, kRunning };
  const auto mode = static_cast<Mode>(state.range(0));
  DeskRig rig(1);
  ui::Application& app = ui::Application::shared();
  DrawsView* canvas = rig.desk->drawsView();
  if (mode == kBaseline) canvas->setSaveHandler(0, {});
  bool writing = false;
  long writes = 0, framesBesideAWrite = 0;
  canvas->setPageWriteObserver([&](const fd::Status&) {
    writing = false;
    ++writes;
  });
  rig.host.touchDown(1, rig.onPage(40, 40));
  int n = 0;
  for (auto _ : state) {
    if (mode == kRunning && !writing) {
      state.PauseTiming();
      canvas->writeToFileForLayInBackground(2);
      writing = true;
      state.ResumeTiming();
    }
    const float t = static_cast<float>(n++);
    const ui::Point p = rig.onPage(192 + 150 * std::cos(t * 0.1f), 144 + 110 * std::sin(t * 0.13f));
    // A new stroke every 20 moves: the lift arms the save again.
    if (n % 20 == 0) {
      rig.host.touchUp(1, p);
      rig.host.touchDown(1, p);
    } else {
      rig.host.touchMove(1, p);
    }
    app.composeScreen();
    benchmark::DoNotOptimize(app.compositor().framePixels());
    if (writing) ++framesBesideAWrite;
    fd::RunLoop::main().runUntilIdle();
  }
  rig.host.touchUp(1, rig.onPage(40, 40));
  canvas->waitForPageWrites();
  fd::RunLoop::main().runUntilIdle();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["writes"] = double(writes);
  state.counters["frames_beside_a_write"] = double(framesBesideAWrite);
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

// Resident memory now, from the kernel's page count.
long currentRssKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A page snapshot as the canvas leaves one: a paper-white page with a figure
// that moves from frame to frame, so no two files are alike.
bool writeSnapshot(const std::filesystem::path& path, int frame) {
  gfx::Context c(384, 288, 1);
  c.setFillColor(gfx::Color::white(0.97f, 1));
  c.fillRect({0, 0, 384, 288});
  const float t = static_cast<float>(frame) * 0.07f;
  c.setStrokeColor({0.1f, 0.1f, 0.15f, 1});
  c.setLineWidth(4);
  std::vector<gfx::Point> line;
  for (int i = 0; i <= 40; ++i)
    line.push_back({10.0f + i * 9, 144 + 80 * std::sin(t + i * 0.3f) * std::cos(t * 0.5f + i * 0.11f)});
  c.strokePolyline(line);
  c.setFillColor({0.85f, 0.3f, 0.2f, 1});
  c.fillRect({40 + 280 * (0.5f + 0.5f * std::sin(t)), 30, 40, 40});
  return static_cast<bool>(gfx::writePNG(path, c.makeImage()));
}

// Every frame's snapshot written and the desk at 12 frames per second; false
// (the benchmark skipped) when a snapshot could not be written.
bool preparePlayback(benchmark::State& state, DeskRig& rig) {
  ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
  const int frames = static_cast<int>(project.imagesArray().size());
  for (int page = 1; page <= frames; ++page)
    if (!writeSnapshot(*project.snapshotFullPathAtPage(page, false), page)) {
      state.SkipWithError("a snapshot could not be written");
      return false;
    }
  DesktopManagerController& desk = *rig.desk;
  while (desk.speedState() != 0) desk.pressPlayBtnEvent(desk.playerButton(DesktopManagerController::kTagSpeed));
  rig.host.advance(1.0);  // the speed button's flash ends
  return true;
}

void BM_PlaybackOf300FramesAt12Fps(benchmark::State& state) {
  DeskRig rig(300);
  DesktopManagerController& desk = *rig.desk;
  ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  if (!preparePlayback(state, rig)) return;
  ui::Application& app = ui::Application::shared();
  using Clock = std::chrono::steady_clock;
  constexpr double kFrame = 1.0 / 12;  // 83 ms
  std::vector<double> steps;
  long rssAfterFirstFrames = 0, rssAtEnd = 0;
  for (auto _ : state) {
    desk.gotoFrame(0);
    steps.clear();
    desk.pressPlayBtnEvent(desk.playerButton(DesktopManagerController::kTagPlay));
    int shown = settings.curPage();
    // The desk's 0.01 s clock, tick by tick, until play-once stops at the wrap.
    while (desk.playState() != 0) {
      const auto t0 = Clock::now();
      rig.host.advance(0.01);
      if (settings.curPage() == shown) continue;
      shown = settings.curPage();
      app.composeScreen();
      benchmark::DoNotOptimize(app.compositor().framePixels());
      steps.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
      if (steps.size() == 10) rssAfterFirstFrames = currentRssKiB();
    }
    rssAtEnd = currentRssKiB();
  }
  std::vector<double> sorted = steps;
  std::sort(sorted.begin(), sorted.end());
  double sum = 0;
  for (double s : steps) sum += s;
  const auto late = std::count_if(steps.begin(), steps.end(), [&](double s) { return s > kFrame; });
  state.counters["frames_shown"] = double(steps.size());
  state.counters["load_ms_mean"] = steps.empty() ? 0 : sum / double(steps.size()) * 1000;
  state.counters["load_ms_max"] = sorted.empty() ? 0 : sorted.back() * 1000;
  state.counters["ratio_mean"] = steps.empty() ? 0 : sum / double(steps.size()) / kFrame;
  state.counters["ratio_p99"] = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100] / kFrame;
  state.counters["ratio_max"] = sorted.empty() ? 0 : sorted.back() / kFrame;
  state.counters["frames_late"] = double(late);
  // Holding every snapshot would add 300 x 384 x 288 x 4 bytes, about 127 MiB.
  state.counters["rss_growth_MiB"] = double(rssAtEnd - rssAfterFirstFrames) / 1024.0;
  state.counters["peak_rss_MiB"] = double(peakRssKiB()) / 1024.0;
}

// Other work on the machine: every core but one spins in a thread of its own.
class BusyCores {
 public:
  BusyCores() {
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i + 1 < cores; ++i)
      threads_.emplace_back([this] {
        double x = 1;
        while (!stop_.load(std::memory_order_relaxed)) x = std::sqrt(x + 1.0);
        sink_.store(x);
      });
  }
  ~BusyCores() {
    stop_ = true;
    for (auto& t : threads_) t.join();
  }
  std::size_t count() const { return threads_.size(); }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<double> sink_{0};
  std::vector<std::thread> threads_;
};

// 300 frames at 12 frames per second on the real clock, the screen composed
// 60 times a second as the window does. `countCalls` drives the same frame
// work from the former clock: a repeating 0.01 s timer each of whose calls
// counts as one tick.
void playbackUnderLoad(benchmark::State& state, bool countCalls) {
  DeskRig rig(300, true);
  DesktopManagerController& desk = *rig.desk;
  ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  const int frames = static_cast<int>(ZTDataModel::sharedInstance().prjDataModel()->imagesArray().size());
  if (!preparePlayback(state, rig)) return;
  fd::RunLoop& loop = fd::RunLoop::main();
  desk.pressPlayBtnEvent(desk.playerButton(DesktopManagerController::kTagLoop));  // loop
  ui::Application& app = ui::Application::shared();
  constexpr double kFrame = 0.08;
  constexpr int kFrames = 300;
  std::vector<double> steps;
  std::size_t busy = 0;
  for (auto _ : state) {
    BusyCores load;
    busy = load.count();
    desk.gotoFrame(0);
    steps.clear();
    fd::TimerRef pump = loop.scheduleTimer(1.0 / 60, true, [&app] { app.composeScreen(); });
    fd::TimerRef former;
    if (countCalls) {
      desk.prepareForPlay();
      desk.restoreState();
      desk.playView()->setHidden(false);
      int countdown = 8;
      former = loop.scheduleTimer(0.01, true, [&] {
        if (countdown == 0) {
          countdown = 8;
          settings.setCurPage(settings.curPage() % frames + 1);
          desk.setPlayViewImage();
          desk.setPageIndicator();
        }
        --countdown;
      });
    } else {
      desk.pressPlayBtnEvent(desk.playerButton(DesktopManagerController::kTagPlay));
    }
    int shown = settings.curPage();
    while (static_cast<int>(steps.size()) < kFrames) {
      loop.runOnce(0.5);
      const int now = settings.curPage();
      // Steps made up in one turn are counted one by one, at that turn.
      for (int k = (now - shown + frames) % frames; k > 0; --k) steps.push_back(loop.now());
      shown = now;
    }
    pump->invalidate();
    if (former) former->invalidate();
    else desk.pressPlayBtnEvent(desk.playerButton(DesktopManagerController::kTagPlay));  // stop
  }
  steps.resize(kFrames);
  const double mean = (steps.back() - steps.front()) / (kFrames - 1);
  double worstLate = 0;
  int late = 0;
  for (int k = 0; k < kFrames; ++k) {
    const double lateness = steps[static_cast<std::size_t>(k)] - (steps.front() + kFrame * k);
    worstLate = std::max(worstLate, lateness);
    if (lateness > kFrame) ++late;
  }
  state.counters["busy_threads"] = double(busy);
  state.counters["mean_interval_ms"] = mean * 1000;
  state.counters["mean_vs_frame"] = mean / kFrame;
  state.counters["mean_vs_twelfth"] = mean * 12;
  state.counters["worst_late_ms"] = worstLate * 1000;
  state.counters["frames_late"] = late;
}

void BM_PlaybackUnderLoad(benchmark::State& state) { playbackUnderLoad(state, false); }
void BM_PlaybackUnderLoadCountingCalls(benchmark::State& state) { playbackUnderLoad(state, true); }

// The memory figure first: the peak is the process's, so nothing may run before it.
BENCHMARK(BM_PeakMemoryWith300Frames)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DeskFrameWhileDrawing)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DeskFrameWhileDrawingComposedWhole)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DeskFrameWhileDrawingWithPageSaves)
    ->ArgName("saving")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_PageTurnAgainstSaveAndLoad)->Unit(benchmark::kMillisecond)->Iterations(40);
// Its peak figure is the playback's own when run alone (--benchmark_filter=Playback).
BENCHMARK(BM_PlaybackOf300FramesAt12Fps)->Unit(benchmark::kMillisecond)->Iterations(2);
// Each runs 24 s of playback on the real clock.
BENCHMARK(BM_PlaybackUnderLoad)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PlaybackUnderLoadCountingCalls)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
